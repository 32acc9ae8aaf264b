#pragma once

#include "dayview/DayView.h"

#include <QColor>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>

#include <optional>

class DayViewModel;
class SettingsStore;
class TreatmentColors;

// How the chair columns draw each treatment: in its own colour while colours are on, hatched grey
// when the treatment table no longer holds its code. Also the legend of the colours in use.
class TreatmentLooks {
public:
    explicit TreatmentLooks(SettingsStore& settings);
    ~TreatmentLooks();

    // Whether blocks are drawn in their treatment's colour (the stored choice at start).
    bool colorsShown() const { return m_colorsShown; }
    // Keeps the choice in the settings; throws LunarisError when they cannot be written.
    void setColorsShown(bool shown);
    // The colours were changed elsewhere (the treatment editor): read them afresh.
    void reloadColors();

    // Remembers which codes the treatment table holds; true when that changed what is drawn.
    bool setKnownCodes(const QSet<QString>& codes);
    BlockLook blockLook(const QString& code) const;
    // The colours of the day's treatments, in the order they first appear; empty while colours are off.
    QList<QPair<QString, QColor>> legend(const QList<const DayViewModel*>& chairs) const;

private:
    SettingsStore& m_settings;
    std::unique_ptr<TreatmentColors> m_colors;
    bool m_colorsShown = false;
    // The codes of table Behand as last read; until then no block counts as missing.
    std::optional<QSet<QString>> m_knownCodes;
};
