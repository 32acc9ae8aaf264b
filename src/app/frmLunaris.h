#pragma once

#include "commands/DayEditorWindow.h"
#include "dayview/DayView.h"
#include "editing/ChairChange.h"
#include "editing/DayAnalysis.h"
#include "editing/DayPlacement.h"
#include "editing/DayStatus.h"
#include "store/SharedTables.h"
#include "store/Tables.h"

#include <QMainWindow>
#include <QTime>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class AnalysisDock;
class ColumnLayout;
class CommandStates;
class PracticeTables;
class HistoryActions;
class DayFeedback;
class DayColumns;
class FirstStartGuide;
class MainStatusBar;
class BackupCommands;
class BalanceCommands;
class DatabaseCheckWait;
class TreatmentLooks;
class WindowPlacement;
class DayView;
class LunarisError;
class IdealDayCommands;
class ColumnClickHandler;
class ChangeWatcher;
class NoticeBar;
class EditingControls;
class EditAnnouncements;
class DayViewModel;
class OpenDay;
class RecoveryFile;
class RecoveryKeeper;
class QAction;
class QComboBox;
class QDockWidget;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolBar;
struct AppServices;
struct LunarisState;

// The program's main window: one day-view column per chair plus the doctor column, the treatment
// list, the fee box, menus, tool bar and status bar. Positions are designed in twips (15 per pixel)
// in the window's client area (below the menu bar).
class ServerStatusPanel;

class frmLunaris : public QMainWindow, public DayEditorWindow {
    Q_OBJECT
public:
    static constexpr int TwipsPerPixel = 15;
    static constexpr int ColumnCount = 11;

    frmLunaris(LunarisState& state, AppServices& services, QWidget* parent = nullptr);
    ~frmLunaris() override;
    // The status bar's server panel; null on the file.
    ServerStatusPanel* serverPanel() const;

    // Opens the data, counts the chairs, prepares the columns and restores the position.
    // Returns false when the program has to end (screen too narrow, chair table unreadable).
    bool Form_Load();
    bool Form_Load(int screenWidthPixels);

    // Draws the day named CurrentIdealtag into the chair columns and rebuilds the doctor column.
    void Termin_load() override;
    // Rebuilds the doctor column and the fee total from the chair columns.
    void DR_Load();
    // Writes the open day's blocks under CurrentIdealtag (asks for a name first when it has none).
    // False when there was something to save and it was not saved (name dialog cancelled, save failed).
    bool Speichern() override;
    bool saveEvenUnmodified() override;
    QWidget* editorWindow() override { return this; }
    // At the start: a copy of unsaved work left by a crash, or put off before, is offered back (or
    // discarded, or put off again, as the user says).
    void offerRecovery();
    RecoveryKeeper* recovery() const { return m_recovery.get(); }
    BackupCommands& backups() { return *m_backups; }
    // The day in the editor, which the columns show.
    OpenDay& openDay() { return *m_day; }

    DayView* SSDay1(int index) const;
    QList<const DayViewModel*> chairColumns() const;
    // The chair columns followed by the doctor column.
    QList<const DayViewModel*> printColumns() const;
    // The window's outer size, frame and title bar included, in twips: what the column layout is
    // computed from.
    QSize outerSizeTwips() const;

    // Handlers of menu items and tool-bar buttons.
    void mnuFileNew_Click();
    void mnuFileOpen_Click();
    void mnuFileSave_Click();
    void mnuFileSaveAs_Click();
    void mnuFileRename_Click();
    void mnuFileDelete_Click();
    void mnuFilePrint_Click();
    void mnuViewToolbar_Click();
    void mnuViewStatusBar_Click();
    // Runs the command of the tool-bar button with this key ("New", "Open", "Save", "Print").
    void tbToolBar_ButtonClick(const QString& key);

    // Waits for the background check of the whole database file (busy pointer, status text). False
    // when the file must not be written: the check found damage, and the message naming the file was shown.
    bool databaseWritable() override;
    const RowsOnScreen& rowsOnScreen() const override;
    // Another workstation or the planner changed the shared tables: the open dialogs' lists, the
    // treatments, the chair captions and the open day follow (reloaded when unmodified, else the bar).
    void followSharedChange(SharedTables tables);
    // Where the columns would be while the practice has no chair or no treatment; null before the load.
    FirstStartGuide* firstStartGuide() const { return m_guide; }
    // The bar above the columns that tells of a change elsewhere to a day with unsaved edits.
    NoticeBar* changedBar() const { return m_changedBar; }

    void reloadInPlace() override;
    void followTreatmentTable() override;
    // The guide shows while the practice lacks chairs or treatments, and goes once both exist.
    QString followChairsElsewhere() override;
    void followPracticeContents() override;
    void repaintChairs() override;
    void showStatus() override;
    void tellCancelled(const QString& command) override;
    void showChangedNotice(const QString& text) override;

    // Enables the day views and the commands once a day is created or opened.
    void switchOn(bool deleteEnabled) override;
    void followRename(const QString& name) override;
    void setStatusText(const QString& text);
    // The analysis of the day on screen, as the Auswertung panel shows it.
    // `load`: what DR_Load has just filled the doctor column from.
    DayAnalysis analysis(const QHash<QString, Treatment>& treatments, const DoctorLoad* load = nullptr) const;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void createMenus();
    void createToolBar();
    void createControls();
    QAction* addMenuItem(QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut,
                         void (frmLunaris::*handler)());
    QAction* addMenuItem(QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut,
                         const std::function<void()>& handler);
    void Form_Resize();
    // Ends a drag under way: outline gone, nothing moved (a dialog or a command came in between).
    void cancelDrags();
    // False when the window has to stay open: the user cancelled, or wanted to save and the day was not saved.
    bool Form_QueryUnload();
    void Form_Unload();

    LunarisState& m_state;
    AppServices& m_services;
    bool m_unloaded = false;
    std::unique_ptr<OpenDay> m_day;
    // The first panel of the status bar.
    DayStatus m_status;
    std::unique_ptr<IdealDayCommands> m_commands;
    std::unique_ptr<ColumnClickHandler> m_clicks;
    EditingControls* m_editing = nullptr;
    EditAnnouncements* m_announcements = nullptr;

    std::unique_ptr<ColumnLayout> m_layout;
    std::unique_ptr<CommandStates> m_commandStates;
    std::unique_ptr<PracticeTables> m_practice;
    std::unique_ptr<HistoryActions> m_historyActions;
    std::unique_ptr<DayFeedback> m_feedback;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_lblBehAuswahl = nullptr;
    QLabel* m_lblHon = nullptr;
    QPushButton* m_cmdZeit = nullptr;
    QComboBox* m_DBComboBeh = nullptr;
    QLineEdit* m_txtHon = nullptr;
    std::unique_ptr<MainStatusBar> m_statusBar;
    QLabel* m_statusPanel = nullptr;
    std::unique_ptr<AnalysisDock> m_analysisDock;
    std::unique_ptr<DayColumns> m_screen;
    std::unique_ptr<TreatmentLooks> m_looks;
    std::unique_ptr<WindowPlacement> m_placement;
    std::unique_ptr<BackupCommands> m_backups;
    BalanceCommands* m_balancing = nullptr; // owned by the window
    std::unique_ptr<DatabaseCheckWait> m_checkWait;
    // Null when no folder for it was given.
    std::unique_ptr<RecoveryKeeper> m_recovery;

    QAction* m_mnuFileSave = nullptr;
    QAction* m_mnuFileSaveAs = nullptr;
    QAction* m_mnuFileRename = nullptr;
    QAction* m_mnuFileDelete = nullptr;
    QAction* m_mnuFileVersions = nullptr;
    NoticeBar* m_changedBar = nullptr;
    FirstStartGuide* m_guide = nullptr;
    ChangeWatcher* m_watcher = nullptr;
    QAction* m_mnuFilePrint = nullptr;
    QAction* m_mnuFilePreview = nullptr;
    QAction* m_mnuFilePdf = nullptr;
    QAction* m_mnuViewAnalysis = nullptr;
    QAction* m_mnuViewColors = nullptr;
    QAction* m_mnuViewToolbar = nullptr;
    QAction* m_mnuViewStatusBar = nullptr;
    QAction* m_tbSave = nullptr;
    QAction* m_tbPrint = nullptr;
};
