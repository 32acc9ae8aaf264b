#include "editing/RecoveryCopy.h"

#include "kernel/LunarisError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>

namespace {
// Raised for a copy that cannot be written or read.
constexpr int RecoveryFailed = 75;
constexpr int Format = 1;

QJsonValue jsonOf(const QVariant& field)
{
    return field.isNull() ? QJsonValue() : QJsonValue(field.toString());
}

QVariant fieldOf(const QJsonValue& value)
{
    return value.isString() ? QVariant(value.toString()) : QVariant(QMetaType::fromType<QString>());
}

QJsonObject rowJson(const TemplateRow& row)
{
    return {{QStringLiteral("STUHL"), row.chair},
            {QStringLiteral("BEH"), jsonOf(row.code)},
            {QStringLiteral("STARTZEIT"), jsonOf(row.startTime)},
            {QStringLiteral("ENDZEIT"), jsonOf(row.endTime)}};
}

TemplateRow rowOf(const QJsonObject& object)
{
    return {object.value(QStringLiteral("STUHL")).toString(), fieldOf(object.value(QStringLiteral("BEH"))),
            fieldOf(object.value(QStringLiteral("STARTZEIT"))), fieldOf(object.value(QStringLiteral("ENDZEIT")))};
}

QJsonArray storedJson(const QList<StoredBlock>& blocks)
{
    QJsonArray array;
    for (const StoredBlock& block : blocks) {
        QJsonObject object = rowJson(block.row);
        // As text: a JSON number holds only 53 bits.
        object.insert(QStringLiteral("ROWID"), QString::number(block.rowId));
        array.append(object);
    }
    return array;
}

QList<StoredBlock> storedOf(const QJsonValue& value)
{
    QList<StoredBlock> blocks;
    for (const QJsonValue& item : value.toArray()) {
        const QJsonObject object = item.toObject();
        bool ok = false;
        const qint64 id = object.value(QStringLiteral("ROWID")).toString().toLongLong(&ok);
        if (!ok)
            throw LunarisError(RecoveryFailed, QStringLiteral("Die Wiederherstellungskopie ist beschädigt."));
        blocks.append({id, rowOf(object)});
    }
    return blocks;
}
} // namespace

QByteArray RecoveryCopy::encode() const
{
    QJsonArray rows;
    for (const TemplateRow& row : blocks)
        rows.append(rowJson(row));
    QJsonArray ids;
    for (qint64 id : onScreen.rowIds)
        ids.append(QString::number(id));
    QJsonArray chairs;
    for (const QString& chair : onScreen.chairs)
        chairs.append(chair);
    const QJsonObject stored{{QStringLiteral("day"), onScreen.day},
                             {QStringLiteral("rowIds"), ids},
                             {QStringLiteral("unshown"), storedJson(onScreen.unshown)},
                             {QStringLiteral("stored"), storedJson(onScreen.stored)},
                             {QStringLiteral("listed"), onScreen.listed},
                             {QStringLiteral("listingId"), QString::number(onScreen.listingId)},
                             {QStringLiteral("complete"), onScreen.complete},
                             {QStringLiteral("chairs"), chairs}};
    const QJsonObject object{{QStringLiteral("format"), Format},
                             {QStringLiteral("day"), day},
                             {QStringLiteral("time"), time.toString(Qt::ISODate)},
                             {QStringLiteral("host"), host},
                             {QStringLiteral("treatment"), treatment},
                             {QStringLiteral("database"), database},
                             {QStringLiteral("blocks"), rows},
                             {QStringLiteral("onScreen"), stored}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

RecoveryCopy RecoveryCopy::decode(const QByteArray& text)
{
    const QJsonDocument document = QJsonDocument::fromJson(text);
    const QJsonObject object = document.object();
    const QDateTime time = QDateTime::fromString(object.value(QStringLiteral("time")).toString(), Qt::ISODate);
    if (object.value(QStringLiteral("format")).toInt() != Format || !time.isValid() ||
        !object.value(QStringLiteral("blocks")).isArray())
        throw LunarisError(RecoveryFailed, QStringLiteral("Die Wiederherstellungskopie ist beschädigt."));
    RecoveryCopy copy;
    copy.day = object.value(QStringLiteral("day")).toString();
    copy.time = time;
    copy.host = object.value(QStringLiteral("host")).toString();
    copy.treatment = object.value(QStringLiteral("treatment")).toString();
    copy.database = object.value(QStringLiteral("database")).toString();
    for (const QJsonValue& row : object.value(QStringLiteral("blocks")).toArray())
        copy.blocks.append(rowOf(row.toObject()));
    const QJsonObject stored = object.value(QStringLiteral("onScreen")).toObject();
    copy.onScreen.day = stored.value(QStringLiteral("day")).toString();
    for (const QJsonValue& id : stored.value(QStringLiteral("rowIds")).toArray())
        copy.onScreen.rowIds.insert(id.toString().toLongLong());
    copy.onScreen.unshown = storedOf(stored.value(QStringLiteral("unshown")));
    copy.onScreen.stored = storedOf(stored.value(QStringLiteral("stored")));
    copy.onScreen.listed = stored.value(QStringLiteral("listed")).toBool();
    copy.onScreen.listingId = stored.value(QStringLiteral("listingId")).toString().toLongLong();
    copy.onScreen.complete = stored.value(QStringLiteral("complete")).toBool(true);
    for (const QJsonValue& chair : stored.value(QStringLiteral("chairs")).toArray())
        copy.onScreen.chairs.insert(chair.toString());
    // The file's change counter is not known after a restart: a save compares the rows.
    copy.onScreen.stamp = ChangeStamp();
    return copy;
}

RecoveryFile::RecoveryFile(const QString& folder, const QString& host)
    : m_path(QDir(folder).filePath(QStringLiteral("Wiederherstellung-%1.json").arg(host)))
{
}

void RecoveryFile::write(const RecoveryCopy& copy) const
{
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder))
        throw LunarisError(
            RecoveryFailed,
            QStringLiteral("Der Ordner %1 kann nicht angelegt werden.").arg(QDir::toNativeSeparators(folder)));
    const QByteArray text = copy.encode();
    const qsizetype half = m_midWrite ? text.size() / 2 : text.size();
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.left(half)) < 0)
        throw LunarisError(RecoveryFailed, file.errorString());
    if (m_midWrite) {
        file.flush();
        m_midWrite();
    }
    if (file.write(text.mid(half)) < 0 || !file.commit())
        throw LunarisError(RecoveryFailed, file.errorString());
}

std::optional<RecoveryCopy> RecoveryFile::read() const
{
    QFile file(m_path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        throw LunarisError(RecoveryFailed, file.errorString());
    return RecoveryCopy::decode(file.readAll());
}

void RecoveryFile::remove() const
{
    QFile::remove(m_path);
}

QString RecoveryFile::setAside(const QDateTime& now) const
{
    QString aside = m_path;
    aside.replace(QStringLiteral(".json"),
                  QStringLiteral("-beschaedigt-%1.json").arg(now.toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    return QFile::rename(m_path, aside) ? aside : QString();
}

bool RecoveryFile::postpone(const QDateTime& now) const
{
    const QString later =
        QStringLiteral("%1-spaeter-%2.json").arg(m_path.chopped(5), now.toString(QStringLiteral("yyyyMMdd-HHmmsszzz")));
    return QFile::rename(m_path, later);
}

QList<RecoveryFile> RecoveryFile::offered() const
{
    QList<RecoveryFile> copies;
    if (QFile::exists(m_path))
        copies.append(*this);
    const QFileInfo own(m_path);
    const QDir folder = own.dir();
    // The time in the name sorts them; a damaged one set aside carries "-beschaedigt-" after it.
    QStringList later =
        folder.entryList({own.completeBaseName() + QStringLiteral("-spaeter-*.json")}, QDir::Files, QDir::Name);
    std::reverse(later.begin(), later.end());
    for (const QString& name : std::as_const(later))
        if (!name.contains(QLatin1String("-beschaedigt-")))
            copies.append(RecoveryFile(folder.filePath(name)));
    return copies;
}
