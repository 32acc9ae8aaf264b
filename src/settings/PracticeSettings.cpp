#include "settings/PracticeSettings.h"

#include "dayview/ClockTime.h"
#include "settings/SettingsStore.h"

PracticeSettings PracticeSettings::read(const SettingsStore& settings)
{
    const QString section = QStringLiteral("Praxis");
    const QString slot = settings.getSharedSetting(section, QStringLiteral("Slot"), QStringLiteral("1"));
    const QString open = settings.getSharedSetting(section, QStringLiteral("OpenZeit"), DefaultOpen);
    const QString close = settings.getSharedSetting(section, QStringLiteral("ZuZeit"), DefaultClose);

    PracticeSettings result;
    // A whole number: "02" and "+2" are 2. Only 10- and 15-minute rows exist.
    bool isNumber = false;
    const int slotNumber = slot.trimmed().toInt(&isNumber);
    if (isNumber && (slotNumber == 1 || slotNumber == 2))
        result.slotSetting = slotNumber;
    else
        result.replaced.append(QStringLiteral("Slot „%1“ ungültig, 10 Minuten verwendet").arg(slot));

    const auto openMinutes = ClockTime::minutesOf(open);
    const auto closeMinutes = ClockTime::minutesOf(close);
    const int usedOpen = openMinutes.value_or(*ClockTime::minutesOf(DefaultOpen));
    const int usedClose = closeMinutes.value_or(*ClockTime::minutesOf(DefaultClose));
    if (usedClose <= usedOpen) {
        result.replaced.append(QStringLiteral("Öffnungszeiten „%1“–„%2“ ungültig, %3–%4 verwendet")
                                   .arg(open, close, DefaultOpen, DefaultClose));
        return result;
    }
    if (openMinutes)
        result.openTime = open;
    else
        result.replaced.append(QStringLiteral("Öffnungszeit „%1“ ungültig, %2 verwendet").arg(open, DefaultOpen));
    if (closeMinutes)
        result.closeTime = close;
    else
        result.replaced.append(QStringLiteral("Schlußzeit „%1“ ungültig, %2 verwendet").arg(close, DefaultClose));
    return result;
}
