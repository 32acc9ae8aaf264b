#include "store/RowsJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
// Written by hand: QJsonDocument costs a millisecond for the largest day, several times the insert.
void appendText(QString& out, const QString& text)
{
    out += QLatin1Char('"');
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'"' || u == u'\\') {
            out += QLatin1Char('\\');
            out += c;
        } else if (u < 0x20) {
            out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    out += QLatin1Char('"');
}

void appendField(QString& out, const QVariant& field)
{
    if (hasNoValue(field))
        out += QLatin1String("null");
    else
        appendText(out, field.toString());
}

QVariant fieldOf(const QJsonValue& value)
{
    return value.isNull() || value.isUndefined() ? QVariant(QMetaType::fromType<QString>())
                                                 : QVariant(value.toString());
}
} // namespace

bool hasNoValue(const QVariant& field)
{
    return field.isNull() || field.toString().isNull();
}

QVariant storedField(const QVariant& field)
{
    return hasNoValue(field) ? QVariant(QMetaType::fromType<QString>()) : QVariant(field.toString());
}

namespace {
void appendRow(QString& out, const TemplateRow& row)
{
    appendText(out, row.chair);
    out += QLatin1Char(',');
    appendField(out, row.code);
    out += QLatin1Char(',');
    appendField(out, row.startTime);
    out += QLatin1Char(',');
    appendField(out, row.endTime);
    out += QLatin1Char(']');
}
} // namespace

namespace {
// "[[…],[…]]", each row written by `append`.
template <typename Row, typename Append> QString jsonArrayOf(const QList<Row>& rows, Append append)
{
    QString out;
    out.reserve(rows.size() * 50 + 2);
    out += QLatin1Char('[');
    for (qsizetype i = 0; i < rows.size(); ++i) {
        out += i == 0 ? QLatin1String("[") : QLatin1String(",[");
        append(out, rows[i]);
    }
    out += QLatin1Char(']');
    return out;
}
} // namespace

QString rowsToJson(const QList<TemplateRow>& rows)
{
    return jsonArrayOf(rows, appendRow);
}

QString storedRowsToJson(const QList<StoredBlock>& rows)
{
    return jsonArrayOf(rows, [](QString& out, const StoredBlock& block) {
        out += QString::number(block.rowId) + QLatin1Char(',');
        appendRow(out, block.row);
    });
}

QList<TemplateRow> rowsFromJson(const QString& text)
{
    QList<TemplateRow> rows;
    for (const QJsonValue& value : QJsonDocument::fromJson(text.toUtf8()).array()) {
        if (value.isArray()) {
            const QJsonArray row = value.toArray();
            rows.append({row.at(0).toString(), fieldOf(row.at(1)), fieldOf(row.at(2)), fieldOf(row.at(3))});
            continue;
        }
        const QJsonObject row = value.toObject();
        rows.append({row.value(QStringLiteral("STUHL")).toString(), fieldOf(row.value(QStringLiteral("BEH"))),
                     fieldOf(row.value(QStringLiteral("STARTZEIT"))), fieldOf(row.value(QStringLiteral("ENDZEIT")))});
    }
    return rows;
}
