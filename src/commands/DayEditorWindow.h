#pragma once

class QString;
class QWidget;
struct RowsOnScreen;

// What the ideal-day commands need of the window that holds the open day: loading, saving and
// switching the editor on. The main window implements it, so the commands do not depend on it.
class DayEditorWindow {
public:
    virtual ~DayEditorWindow() = default;

    // The window the commands' dialogs and message boxes belong to; its caption names the day.
    virtual QWidget* editorWindow() = 0;
    // Draws the day named CurrentIdealtag, with no history of edits.
    virtual void Termin_load() = 0;
    // False when there was something to save and it was not saved.
    virtual bool Speichern() = 0;
    // Saves also an unmodified day (Save As): the history is touched only by a save that succeeds.
    virtual bool saveEvenUnmodified() = 0;
    virtual void switchOn(bool deleteEnabled) = 0;
    // The open day is stored under this name now (renamed here or elsewhere): the caption follows; its
    // blocks, history and whether it is modified stay.
    virtual void followRename(const QString& name) = 0;
    // Waits for the running check of the database file; false (after its message) when nothing may be written.
    virtual bool databaseWritable() = 0;
    // The stored rows of the open day as the window last read or wrote them.
    virtual const RowsOnScreen& rowsOnScreen() const = 0;

    // Draws the open day again as stored, keeping the scroll position; its history starts anew.
    virtual void reloadInPlace() = 0;
    // The treatment list and the blocks' looks follow table Behand as it is now.
    virtual void followTreatmentTable() = 0;
    // The columns follow table Stuhl as changed elsewhere, each chair by its identity. Returns the notice naming
    // the blocks that left the screen with a deleted chair (empty: none did).
    virtual QString followChairsElsewhere() = 0;
    // The guide for a practice without chairs or treatments shows or goes; new chairs get their columns.
    virtual void followPracticeContents() = 0;
    virtual void repaintChairs() = 0;
    // The status bar shows the open day's status as it is now.
    virtual void showStatus() = 0;
    // A name dialog was left without its command (Enter and Esc cancel it) although a name was typed or
    // chosen: the status bar and a screen reader say so (`command`: the command's name, as in the menu).
    virtual void tellCancelled(const QString& command) = 0;
    // The bar above the columns tells of a change elsewhere to a day with unsaved edits.
    virtual void showChangedNotice(const QString& text) = 0;
};
