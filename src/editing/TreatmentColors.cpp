#include "editing/TreatmentColors.h"

#include "settings/SettingsStore.h"

TreatmentColors::TreatmentColors(SettingsStore& settings) : m_settings(settings)
{
    reload();
}

void TreatmentColors::reload()
{
    m_colors.clear();
}

QColor TreatmentColors::colorOf(const QString& code) const
{
    // Read once per code; a code without a colour is remembered as invalid.
    auto found = m_colors.constFind(code);
    if (found == m_colors.constEnd())
        found = m_colors.insert(
            code, QColor::fromString(m_settings.getSetting(SettingsStore::ProgramApp, Section, code, QString())));
    return *found;
}

void TreatmentColors::setColor(const QString& code, const QColor& color)
{
    m_settings.saveSetting(SettingsStore::ProgramApp, Section, code, color.name(QColor::HexRgb));
    m_colors.insert(code, color);
}

QColor TreatmentColors::textColorOn(const QColor& fill)
{
    // Relative luminance after ITU-R BT.709, on the 0..255 scale.
    const double luminance = 0.2126 * fill.red() + 0.7152 * fill.green() + 0.0722 * fill.blue();
    return luminance < 128 ? QColor(Qt::white) : QColor(Qt::black);
}
