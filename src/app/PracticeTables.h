#pragma once

#include "editing/ChairChange.h"

#include <QList>

#include <functional>

class ColumnLayout;
class DayColumns;
class DayStatus;
class EditingControls;
class FirstStartGuide;
class OpenDay;
class QWidget;
class TreatmentLooks;
struct AppServices;
struct LunarisState;

// The practice's tables and settings as the main window follows them: the treatment and chair editors, the
// settings dialog, the demo practice and the first start's guide. What they change shows at once: the
// treatment list, the blocks' looks, the columns for the chairs, the hours, the doctor column and the fee.
class PracticeTables {
public:
    struct Parts {
        QWidget& window;    // parent of the editors and dialogs
        QWidget* tabBefore; // the chair columns follow it in the tab order
        ColumnLayout& layout;
        DayColumns& screen;
        EditingControls& editing;
        TreatmentLooks& looks;
        FirstStartGuide& guide;
        DayStatus& status;
    };
    // What only the window can do: lay itself out again, show the status, wait for the database's check.
    struct Calls {
        std::function<void()> relayout;
        std::function<void()> showStatus;
        std::function<bool()> databaseWritable;
        std::function<void(const QString&)> openDay; // opens a stored day
    };

    PracticeTables(Parts parts, Calls calls, OpenDay& day, LunarisState& state, AppServices& services);

    void editTreatments();
    void editChairs();
    // "Einstellungen bearbeiten...": the values take effect at once.
    void editSettings();
    void loadDemo();
    // Another workstation changed the practice's values kept on the server: the hours, the row length and the
    // colours follow (blocks outside new hours stay the day's, unshown and named, as one undoable step).
    void followPracticeValuesElsewhere();
    // The practice's hours and row length from the settings; values replaced by defaults are told.
    void readPracticeSettings();
    // The names of table Stuhl for the window's first columns; the chairs' identities are remembered, so that
    // changes elsewhere are followed by identity. Throws LunarisError.
    QStringList readChairs();
    // The treatment list and the blocks' looks follow table Behand as it is now.
    void followTreatmentTable();
    // The columns and the open day follow the table's chairs (renamed and deleted in the editor: `changes`;
    // without them, what became of each chair is told by its identity).
    void followChairTable(const ChairChanges& changes);
    // The columns follow chairs renamed, deleted or added elsewhere. The blocks of a deleted chair's column are
    // kept as unshown rows; the notice returned names them (empty when no block left the screen).
    QString followChairsElsewhere();
    // The guide shows while the practice lacks chairs or treatments, and goes once both exist.
    void followContents();

private:
    // The columns and the open day take the hours and the row length now in the state.
    void followHours();
    // The values as the server holds them now: the colours, the hours and the row length follow what changed.
    void followPracticeValues();
    void setStatusText(const QString& text);
    void followChairRows(const ChairChanges& changes, const QList<ChairRow>& rows);

    Parts m_parts;
    Calls m_calls;
    OpenDay& m_day;
    LunarisState& m_state;
    AppServices& m_services;
    // Table Stuhl as the columns were last given it.
    QList<ChairRow> m_chairs;
};
