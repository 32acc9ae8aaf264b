#pragma once

#include <QColor>
#include <QHash>
#include <QString>

class SettingsStore;

// The colour of each treatment, kept in the program's settings (section "Farben", key = treatment
// code, value "#rrggbb"), never in the shared tables. Each code is read once; changes are written at once.
class TreatmentColors {
public:
    static inline const QString Section = QStringLiteral("Farben");

    explicit TreatmentColors(SettingsStore& settings);

    // Forgets what was read, so the next look-ups read the settings afresh.
    void reload();
    // The chosen colour of a code; invalid when none was chosen.
    QColor colorOf(const QString& code) const;
    // Stores the colour; throws LunarisError when the settings cannot be written.
    void setColor(const QString& code, const QColor& color);

    // Black or white, whichever reads better on the fill.
    static QColor textColorOn(const QColor& fill);

private:
    SettingsStore& m_settings;
    mutable QHash<QString, QColor> m_colors;
};
