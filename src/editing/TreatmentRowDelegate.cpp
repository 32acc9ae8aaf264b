#include "editing/TreatmentRowDelegate.h"

#include "store/Tables.h"

#include <QStringList>

#include <QLocale>

namespace {
QString describe(const Treatment& treatment, const QString& minutesUnit)
{
    QStringList parts;
    const QString text = treatment.text.trimmed();
    parts.append(text.isEmpty() ? treatment.code : treatment.code + QStringLiteral(" – ") + text);
    // A field that is empty or no number (an older table) is left out rather than shown as 0.
    bool ok = false;
    const double minutes = treatment.dauer.toDouble(&ok);
    if (ok && !treatment.dauer.isNull())
        parts.append(QString::number(int(minutes)) + minutesUnit);
    const double fee = treatment.hon.toDouble(&ok);
    if (ok && !treatment.hon.isNull())
        // German amounts whatever the system's locale: the program speaks German.
        parts.append(QLocale(QLocale::German, QLocale::Germany).toString(fee, 'f', 2) + QStringLiteral(" €"));
    return parts.join(QStringLiteral(", "));
}
} // namespace

QString TreatmentRowDelegate::rowText(const Treatment& treatment)
{
    return describe(treatment, QStringLiteral(" min"));
}

QString TreatmentRowDelegate::spokenText(const Treatment& treatment)
{
    return describe(treatment, QStringLiteral(" Minuten"));
}

void TreatmentRowDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QString row = index.data(RowTextRole).toString();
    if (!row.isEmpty())
        option->text = row;
}
