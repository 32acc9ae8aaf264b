#include "print/PrintSettings.h"

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
