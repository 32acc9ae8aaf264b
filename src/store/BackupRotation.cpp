#include "store/BackupRotation.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace {
const QString Format = QStringLiteral("yyyy-MM-dd-HHmm");
} // namespace

QString BackupRotation::fileName(const QDateTime& time)
{
    return QStringLiteral("Kavemo-%1.mdb").arg(time.toString(Format));
}

std::optional<QDateTime> BackupRotation::timeOf(const QString& fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^Kavemo-(\\d{4}-\\d{2}-\\d{2}-\\d{4})\\.mdb$"));
    const QRegularExpressionMatch match = pattern.match(fileName);
    if (!match.hasMatch())
        return std::nullopt;
    const QDateTime time = QDateTime::fromString(match.captured(1), Format);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

QList<QDateTime> BackupRotation::expired(QList<QDateTime> backups, const QDateTime& now)
{
    std::sort(backups.begin(), backups.end());
    QSet<QDateTime> kept;
    for (qsizetype i = std::max<qsizetype>(0, backups.size() - Newest); i < backups.size(); ++i)
        kept.insert(backups[i]);
    // Months counted back from the current one; the oldest backup comes first in each.
    const int thisMonth = now.date().year() * 12 + now.date().month();
    QSet<int> monthsSeen;
    for (const QDateTime& time : std::as_const(backups)) {
        const int month = time.date().year() * 12 + time.date().month();
        if (thisMonth - month < Months && !monthsSeen.contains(month)) {
            monthsSeen.insert(month);
            kept.insert(time);
        }
    }
    QList<QDateTime> gone;
    for (const QDateTime& time : std::as_const(backups))
        if (!kept.contains(time))
            gone.append(time);
    return gone;
}
