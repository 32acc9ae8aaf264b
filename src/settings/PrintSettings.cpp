#include "settings/PrintSettings.h"

#include "settings/SettingsStore.h"

#include <QLocale>

#include <cfloat>
#include <cmath>

PrintSettings PrintSettings::read(const SettingsStore& settings)
{
    const QString section = QStringLiteral("Printer");
    const PrintSettings defaults;
    PrintSettings values;
    values.fontName = settings.getSharedSetting(section, QStringLiteral("Schriftart"), defaults.fontName);
    values.fontSize = settings.getSharedSetting(section, QStringLiteral("Fontsize"), defaults.fontSize);
    values.horOffset = settings.getSharedSetting(section, QStringLiteral("Hor"), defaults.horOffset);
    values.vertOffset = settings.getSharedSetting(section, QStringLiteral("Vert"), defaults.vertOffset);
    return values;
}

namespace {
const QString ViewKey = QStringLiteral("Darstellung");
const QString ListText = QStringLiteral("Liste");
const QString DayPlanText = QStringLiteral("Tagesplan");
} // namespace

PrintView PrintSettings::view(const SettingsStore& settings)
{
    const QString stored =
        settings.getSetting(SettingsStore::ProgramApp, QStringLiteral("Printer"), ViewKey, ListText).trimmed();
    return stored.compare(DayPlanText, Qt::CaseInsensitive) == 0 ? PrintView::DayPlan : PrintView::List;
}

void PrintSettings::saveView(SettingsStore& settings, PrintView view)
{
    settings.saveSetting(SettingsStore::ProgramApp, QStringLiteral("Printer"), ViewKey,
                         view == PrintView::DayPlan ? DayPlanText : ListText);
}

std::optional<double> printNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    double value = QLocale(QLocale::German, QLocale::Germany).toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::c().toDouble(trimmed, &ok);
    // The C locale reads "nan" and "inf"; neither is a position or a size.
    if (!ok || !std::isfinite(value) || std::abs(value) > FLT_MAX)
        return std::nullopt;
    return value;
}
