#pragma once

#include "editing/DayAnalysis.h"
#include "editing/DayPlacement.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>

#include <functional>

class AnalysisDock;
class DayView;
class OpenDay;
class QLineEdit;
class QWidget;
class TreatmentLooks;
struct AppServices;
struct DoctorLoad;
struct LunarisState;
struct Treatment;

// The open day on screen: the chair columns read from the store, the doctor column and the fee drawn from
// them, and the Auswertung panel with the rows no column shows.
class DayColumns {
public:
    struct Parts {
        QList<DayView*> columns; // the chairs, then the doctor column
        QLineEdit& fee;
        AnalysisDock& analysis;
        TreatmentLooks& looks;
    };

    // `showStatus`: the status bar follows the day; `window`: where the data errors are shown.
    DayColumns(Parts parts, OpenDay& day, LunarisState& state, AppServices& services, QWidget* window,
               std::function<void()> showStatus);

    // Reads the day named CurrentIdealtag into the chairs, with no history of edits, and scrolls to its first
    // block. False when the day could not be read (the panel and a message say so).
    bool load(DayReplacement reason);
    // Rebuilds the doctor column, the fee total and the panel from the chair columns.
    void drawDoctorColumn();
    // The day's rows were replaced: every chair is drawn again and the unshown rows are read anew.
    void showAllChairs();
    void readUnshownEntries();

    // The practice's hours and row length as the columns have them.
    DayHours hours() const;
    // `load`: what the doctor column has just been drawn from.
    DayAnalysis analysis(const QHash<QString, Treatment>& treatments, const DoctorLoad* load = nullptr) const;
    // Shows the analysis when the panel is visible; null treatments: the table could not be read; a
    // failure text: what else went wrong.
    void refreshAnalysis(const QHash<QString, Treatment>* treatments, const QString& failure = QString(),
                         const DoctorLoad* load = nullptr);
    // The colours of the day's treatments, when colours are on.
    QList<QPair<QString, QColor>> legend() const;
    // Remembers which codes the treatment table holds; repaints the chairs when that changed.
    void setKnownCodes(const QSet<QString>& codes);
    void repaintChairs();
    // Colours per treatment on or off: the chairs and the panel's legend follow.
    void setColorsShown(bool shown);
    // Shown, the Auswertung panel shows the day as it is now; before New or Open the columns are empty.
    void setAnalysisShown(bool shown);
    void showDataError(int number);

private:
    void scrollToFirstBlock();

    Parts m_parts;
    OpenDay& m_day;
    LunarisState& m_state;
    AppServices& m_services;
    QWidget* m_window;
    std::function<void()> m_showStatus;
    // Stored rows of the open day that no column shows, for the panel's warnings.
    QList<UnshownEntry> m_unshown;
};
