#include "app/TreatmentLooks.h"

#include "dayview/DayViewModel.h"
#include "editing/TreatmentColors.h"
#include "settings/SettingsStore.h"

namespace {
const QString Section = QStringLiteral("Settings");
const QString ColorsKey = QStringLiteral("FarbenJeBehandlung");
} // namespace

TreatmentLooks::TreatmentLooks(SettingsStore& settings)
    : m_settings(settings), m_colors(std::make_unique<TreatmentColors>(settings)),
      m_colorsShown(settings.getSetting(SettingsStore::ProgramApp, Section, ColorsKey, QStringLiteral("0")).trimmed() ==
                    QLatin1String("1"))
{
}

TreatmentLooks::~TreatmentLooks() = default;

void TreatmentLooks::setColorsShown(bool shown)
{
    m_colorsShown = shown;
    m_settings.saveSetting(SettingsStore::ProgramApp, Section, ColorsKey,
                           shown ? QStringLiteral("1") : QStringLiteral("0"));
}

void TreatmentLooks::reloadColors()
{
    m_colors->reload();
}

bool TreatmentLooks::setKnownCodes(const QSet<QString>& codes)
{
    if (m_knownCodes == codes)
        return false;
    m_knownCodes = codes;
    return true;
}

BlockLook TreatmentLooks::blockLook(const QString& code) const
{
    BlockLook look;
    if (m_knownCodes && !m_knownCodes->contains(code)) {
        look.missing = true;
        return look;
    }
    if (m_colorsShown) {
        const QColor color = m_colors->colorOf(code);
        if (color.isValid()) {
            look.fill = color;
            look.text = TreatmentColors::textColorOn(color);
        }
    }
    return look;
}

QList<QPair<QString, QColor>> TreatmentLooks::legend(const QList<const DayViewModel*>& chairs) const
{
    QList<QPair<QString, QColor>> entries;
    if (!m_colorsShown)
        return entries;
    QSet<QString> seen;
    for (const DayViewModel* chair : chairs)
        for (const DayBlock& block : chair->blocks()) {
            if (seen.contains(block.text))
                continue;
            seen.insert(block.text);
            const QColor color = m_colors->colorOf(block.text);
            if (color.isValid() && !blockLook(block.text).missing)
                entries.append({block.text, color});
        }
    return entries;
}
