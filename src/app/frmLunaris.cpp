#include "app/frmLunaris.h"

#include "about/frmAbout.h"
#include "app/AnalysisDock.h"
#include "app/ColumnLayout.h"
#include "app/CommandStates.h"
#include "app/DatabaseCheckWait.h"
#include "app/DayColumns.h"
#include "app/DayFeedback.h"
#include "app/FirstStartGuide.h"
#include "app/HelpWindow.h"
#include "app/HistoryActions.h"
#include "app/MainStatusBar.h"
#include "app/PracticeTables.h"
#include "app/TreatmentLooks.h"
#include "app/WindowPlacement.h"
#include "commands/BackupCommands.h"
#include "commands/BalanceCommands.h"
#include "commands/DayClose.h"
#include "commands/DaySave.h"
#include "commands/IdealDayCommands.h"
#include "commands/RecoveryOffer.h"
#include "commands/SharedChanges.h"
#include "commands/VersionRestore.h"
#include "dayview/DayView.h"
#include "editing/ColumnClickHandler.h"
#include "editing/EditAnnouncements.h"
#include "editing/EditingControls.h"
#include "editing/OpenDay.h"
#include "editing/RecoveryKeeper.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisError.h"
#include "kernel/LunarisState.h"
#include "print/PdfExport.h"
#include "print/PrintPreview.h"
#include "print/TemplatePrintout.h"
#include "settings/frmDatenbank.h"
#include "store/ChangeWatcher.h"
#include "store/Database.h"
#include "ui/CaptionText.h"
#include "ui/EarlyTextFocus.h"
#include "ui/MessageService.h"
#include "ui/ModalRunner.h"
#include "ui/NoticeBar.h"
#include "ui/ProgramIcon.h"
#include "ui/ServerStatusPanel.h"
#include "ui/ToolBarLooks.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QSysInfo>
#include <QToolBar>

#include <algorithm>
#include <utility>

namespace {
const QString kTitle = QStringLiteral("Lunaris");
constexpr int MinimumScreenWidth = 800;

int px(double twips)
{
    return qRound(twips / frmLunaris::TwipsPerPixel);
}

const QHash<QString, Treatment> NoTreatments;

} // namespace

frmLunaris::frmLunaris(LunarisState& state, AppServices& services, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_services(services), m_day(std::make_unique<OpenDay>(state)),
      m_status(*m_day, state), m_commands(std::make_unique<IdealDayCommands>(*this, state, services)),
      m_looks(std::make_unique<TreatmentLooks>(services.settings)),
      m_placement(std::make_unique<WindowPlacement>(*this, services.settings)),
      m_backups(std::make_unique<BackupCommands>(services, QDir::current().absoluteFilePath(state.DatabaseFile)))
{
    setObjectName(QStringLiteral("frmLunaris"));
    setWindowTitle(kTitle);
    setWindowIcon(programIcon());
    createMenus();
    createControls();
    createToolBar();
    m_commandStates = std::make_unique<CommandStates>(
        CommandStates::Actions{m_mnuFileSave, m_mnuFileSaveAs, m_mnuFileRename, m_mnuFileDelete, m_mnuFilePrint,
                               m_mnuFilePreview, m_mnuFilePdf, m_tbSave, m_tbPrint},
        state, [&database = services.database] { return database.readOnlyReason().isEmpty(); });
    m_statusBar = std::make_unique<MainStatusBar>(*statusBar(), services.database);
    m_statusPanel = m_statusBar->statusPanel();
    m_changedBar = new NoticeBar(QStringLiteral("Neu laden"), centralWidget());
    m_changedBar->setObjectName(QStringLiteral("barGeaendert"));
    connect(m_changedBar, &NoticeBar::visibilityChanged, this, [this] { Form_Resize(); });
    connect(m_changedBar, &NoticeBar::actionClicked, this, [this] {
        if (!SharedChanges(*this, *m_day, m_status, m_state, m_services).reloadWanted())
            return;
        m_changedBar->hide();
        reloadInPlace();
    });
    m_guide = new FirstStartGuide(centralWidget());
    m_guide->hide();
    connect(m_guide, &FirstStartGuide::chairsRequested, this, [this] { m_practice->editChairs(); });
    connect(m_guide, &FirstStartGuide::treatmentsRequested, this, [this] { m_practice->editTreatments(); });
    connect(m_guide, &FirstStartGuide::demoRequested, this, [this] { m_practice->loadDemo(); });
    m_analysisDock = std::make_unique<AnalysisDock>(*this, m_services.settings);
    connect(m_analysisDock.get(), &AnalysisDock::shownChanged, m_mnuViewAnalysis, &QAction::setChecked);
    const QList<DayView*> columns = m_layout->columns();
    m_screen = std::make_unique<DayColumns>(DayColumns::Parts{columns, *m_txtHon, *m_analysisDock, *m_looks}, *m_day,
                                            state, services, this, [this] { showStatus(); });
    m_clicks = std::make_unique<ColumnClickHandler>(*m_day, columns, *this, state, services);
    m_editing = new EditingControls(this, columns, *m_DBComboBeh, *m_cmdZeit, state, services);
    m_practice = std::make_unique<PracticeTables>(
        PracticeTables::Parts{*this, m_DBComboBeh, *m_layout, *m_screen, *m_editing, *m_looks, *m_guide, m_status},
        PracticeTables::Calls{[this] { Form_Resize(); }, [this] { showStatus(); },
                              [this] { return databaseWritable(); },
                              [this](const QString& day) { m_commands->openStored(day); }},
        *m_day, state, services);
    m_feedback = std::make_unique<DayFeedback>(
        DayFeedback::Parts{*this, *m_statusPanel, *m_changedBar, *m_analysisDock, *m_layout, *m_screen, m_status},
        *m_day, state, services);
    // Made after the redraw above, so a screen reader hears each step with the new doctor column and fee.
    m_announcements = new EditAnnouncements(
        *m_day, [this] { return m_txtHon->text(); }, this);
    m_feedback->setAnnouncements(*m_announcements);
    // Every text field of the program says its name when the focus reaches it.
    qApp->installEventFilter(new EarlyTextFocus(this));
    m_clicks->listen();
    m_checkWait = std::make_unique<DatabaseCheckWait>(
        services.database, services.messages, *this,
        DatabaseCheckWait::StatusText{[this] { return m_status.notice(); },
                                      [this](const QString& text) { setStatusText(text); }});
    // The database turned out to be only readable (damage found): the commands that write go off.
    connect(m_checkWait.get(), &DatabaseCheckWait::becameReadOnly, this, [this] {
        m_commandStates->followReadOnly();
        showStatus();
    });
    if (!services.recoveryFolder.isEmpty()) {
        m_recovery = std::make_unique<RecoveryKeeper>(
            *m_day, state, RecoveryFile(services.recoveryFolder, QSysInfo::machineHostName()));
        connect(m_recovery.get(), &RecoveryKeeper::failed, this, [this](const QString& reason) {
            m_feedback->setStatusText(QStringLiteral("Wiederherstellungskopie nicht geschrieben: ") + reason,
                                      DayStatus::Topic::RecoveryCopy);
        });
        connect(m_recovery.get(), &RecoveryKeeper::caughtUp, this,
                [this] { m_feedback->noticeSettled(DayStatus::Topic::RecoveryCopy); });
    }
}

frmLunaris::~frmLunaris()
{
    // The bar hides as the window's parts go: nothing may be laid out then.
    m_changedBar->disconnect(this);
}

DayView* frmLunaris::SSDay1(int index) const
{
    return m_layout->column(index);
}

ServerStatusPanel* frmLunaris::serverPanel() const
{
    return m_statusBar->serverPanel();
}

bool frmLunaris::databaseWritable()
{
    return m_checkWait->writable();
}

QAction* frmLunaris::addMenuItem(QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut,
                                 const std::function<void()>& handler)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, [this, handler] {
        cancelDrags();
        handler();
    });
    return action;
}

QAction* frmLunaris::addMenuItem(QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut,
                                 void (frmLunaris::*handler)())
{
    return addMenuItem(menu, name, caption, shortcut, [this, handler] { (this->*handler)(); });
}

void frmLunaris::createMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&Datei"));
    file->setObjectName(QStringLiteral("mnuFile"));
    addMenuItem(file, "mnuFileNew", QStringLiteral("&Neu"), QKeySequence(QStringLiteral("Ctrl+N")),
                &frmLunaris::mnuFileNew_Click);
    addMenuItem(file, "mnuFileOpen", QStringLiteral("Ö&ffnen..."), QKeySequence(QStringLiteral("Ctrl+O")),
                &frmLunaris::mnuFileOpen_Click);
    m_mnuFileSave = addMenuItem(file, "mnuFileSave", QStringLiteral("&Speichern"),
                                QKeySequence(QStringLiteral("Ctrl+S")), &frmLunaris::mnuFileSave_Click);
    m_mnuFileSaveAs = addMenuItem(file, "mnuFileSaveAs", QStringLiteral("Speichern &unter..."), QKeySequence(),
                                  &frmLunaris::mnuFileSaveAs_Click);
    m_mnuFileRename = addMenuItem(file, "mnuFileRename", QStringLiteral("U&mbenennen..."), QKeySequence(),
                                  &frmLunaris::mnuFileRename_Click);
    m_mnuFileDelete = addMenuItem(file, "mnuFileDelete", QStringLiteral("&Löschen"), QKeySequence(),
                                  &frmLunaris::mnuFileDelete_Click);
    m_mnuFileVersions = addMenuItem(file, "mnuFileVersions", QStringLiteral("&Versionen..."), QKeySequence(),
                                    [this] { VersionRestore(*this, *m_day, *m_commands, m_state, m_services).run(); });
    m_mnuFilePrint = addMenuItem(file, "mnuFilePrint", QStringLiteral("&Drucken..."),
                                 QKeySequence(QStringLiteral("Ctrl+P")), &frmLunaris::mnuFilePrint_Click);
    m_mnuFilePreview = addMenuItem(file, "mnuFilePreview", QStringLiteral("Seitena&nsicht..."), QKeySequence(), [this] {
        PrintPreview(m_services, m_services.printers).show(this, m_state.CurrentIdealtag, printColumns());
    });
    m_mnuFilePdf = addMenuItem(file, "mnuFilePdf", QStringLiteral("Als &PDF exportieren..."), QKeySequence(), [this] {
        PdfExport(m_services).exportDay(this, m_state.CurrentIdealtag, printColumns());
    });
    file->addSeparator();
    addMenuItem(file, "mnuFileBackup", QStringLiteral("Datensicherung &erstellen"), QKeySequence(),
                [this] { m_backups->makeNow(this, [this](const QString& text) { setStatusText(text); }); });
    addMenuItem(file, "mnuFileRestore", QStringLiteral("Aus Datensicherung &holen..."), QKeySequence(), [this] {
        if (databaseWritable())
            m_feedback->followRestoredDays(m_backups->restoreDays(this));
    });
    file->addSeparator()->setObjectName(QStringLiteral("mnuFile6"));
    addMenuItem(file, "mnuFileExit", QStringLiteral("&Beenden"), QKeySequence(QStringLiteral("Ctrl+E")),
                [this] { close(); });
    // The day's name changes on many ways (Save As, a rename elsewhere): the menu looks at it when it opens.
    connect(file, &QMenu::aboutToShow, this, [this] { m_commandStates->followName(); });

    QMenu* edit = menuBar()->addMenu(QStringLiteral("Bearbeiten"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    m_historyActions = std::make_unique<HistoryActions>(m_day->history(), *edit);
    m_balancing = new BalanceCommands(*m_day, m_state, m_services, this,
                                      [this](const QString& text) { m_announcements->announcer().announce(text); });
    m_balancing->addTo(edit, edit->actions().constLast()); // after Wiederherstellen, before its separator
    addMenuItem(edit, "mnuBeh", QStringLiteral("Behandlungskürzel bearbeiten..."), QKeySequence(),
                [this] { m_practice->editTreatments(); });
    addMenuItem(edit, "mnuStuhl", QStringLiteral("Stühle bearbeiten..."), QKeySequence(),
                [this] { m_practice->editChairs(); });
    edit->addSeparator()->setObjectName(QStringLiteral("mnuFile8"));
    addMenuItem(edit, "mnuPref", QStringLiteral("Einstellungen bearbeiten..."), QKeySequence(),
                [this] { m_practice->editSettings(); });
    addMenuItem(edit, "mnuDatenbank", QStringLiteral("Datenbank..."), QKeySequence(), [this] {
        frmDatenbank dialog(m_services, m_state.DatabaseConnect, QDir::current().absoluteFilePath(m_state.DatabaseFile),
                            this);
        m_services.modals.run(dialog);
    });

    QMenu* view = menuBar()->addMenu(QStringLiteral("&Ansicht"));
    view->setObjectName(QStringLiteral("mnuView"));
    m_mnuViewToolbar = addMenuItem(view, "mnuViewToolbar", QStringLiteral("&Symbolleiste"), QKeySequence(),
                                   &frmLunaris::mnuViewToolbar_Click);
    m_mnuViewStatusBar = addMenuItem(view, "mnuViewStatusBar", QStringLiteral("S&tatusleiste"), QKeySequence(),
                                     &frmLunaris::mnuViewStatusBar_Click);
    for (QAction* toggle : {m_mnuViewToolbar, m_mnuViewStatusBar}) {
        toggle->setCheckable(true);
        toggle->setChecked(true);
    }
    m_mnuViewAnalysis = addMenuItem(view, "mnuViewAnalysis", QStringLiteral("&Auswertung"), QKeySequence(), [this] {
        const bool show = !m_analysisDock->isShown();
        m_mnuViewAnalysis->setChecked(show);
        m_screen->setAnalysisShown(show);
    });
    m_mnuViewAnalysis->setCheckable(true);
    m_mnuViewColors =
        addMenuItem(view, "mnuViewColors", QStringLiteral("&Farben je Behandlung"), QKeySequence(), [this] {
            m_screen->setColorsShown(m_mnuViewColors->isChecked()); // the action has flipped its own tick
        });
    m_mnuViewColors->setCheckable(true);
    m_mnuViewColors->setChecked(m_looks->colorsShown());

    QMenu* help = menuBar()->addMenu(QStringLiteral("&?"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    addMenuItem(help, "mnuHelpContents", QStringLiteral("&Inhalt"), QKeySequence(Qt::Key_F1), [this] {
        HelpWindow::showFor(this, m_services.messages, m_state.HelpFile, HelpWindow::Page::Contents);
    });
    addMenuItem(help, "mnuHelpSearch", QStringLiteral("&Suchen in der Hilfe..."), QKeySequence(),
                [this] { HelpWindow::showFor(this, m_services.messages, m_state.HelpFile, HelpWindow::Page::Index); });
    help->addSeparator()->setObjectName(QStringLiteral("mnuHelpBar1"));
    addMenuItem(help, "mnuHelpAbout", QStringLiteral("In&fo über Lunaris..."), QKeySequence(), [this] {
        frmAbout box(this);
        m_services.modals.run(box);
    });
}

void frmLunaris::createToolBar()
{
    // The tool bar lies in the client area along its top edge, as the design positions assume.
    m_toolBar = new QToolBar(QStringLiteral("Symbolleiste"), centralWidget());
    m_toolBar->setObjectName(QStringLiteral("tbToolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    auto addButton = [this](const QString& key, const QString& tip, const QIcon& icon) {
        QAction* action = m_toolBar->addAction(icon, tip);
        action->setObjectName(QStringLiteral("tbToolBar_") + key);
        action->setData(key);
        action->setToolTip(tip);
        connect(action, &QAction::triggered, this, [this, key] { tbToolBar_ButtonClick(key); });
        return action;
    };
    m_toolBar->addSeparator();
    addButton(QStringLiteral("New"), QStringLiteral("Neu"),
              ToolBarLooks::icon(this, "document-new", QStyle::SP_FileIcon));
    addButton(QStringLiteral("Open"), QStringLiteral("Öffnen"),
              ToolBarLooks::icon(this, "document-open", QStyle::SP_DialogOpenButton));
    m_tbSave = addButton(QStringLiteral("Save"), QStringLiteral("Speichern"),
                         ToolBarLooks::icon(this, "document-save", QStyle::SP_DialogSaveButton));
    m_toolBar->addSeparator();
    m_tbPrint = addButton(QStringLiteral("Print"), QStringLiteral("Ducken"),
                          QIcon::fromTheme(QStringLiteral("document-print"), ToolBarLooks::printerIcon()));
    // The tooltip stays as designed; a screen reader names the button by its text.
    m_tbPrint->setText(QStringLiteral("Drucken"));
    m_toolBar->addSeparator();
    // Undo and redo share the menu items' state and captions.
    m_historyActions->addButtons(*m_toolBar);
}

void frmLunaris::createControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    client->installEventFilter(this);

    m_lblBehAuswahl = new QLabel(QStringLiteral("Auswahl:"), client);
    m_lblBehAuswahl->setObjectName(QStringLiteral("lblBehAuswahl"));
    m_lblHon = new QLabel(QStringLiteral("Honorar:"), client);
    m_lblHon->setObjectName(QStringLiteral("lblHon"));
    m_cmdZeit = new QPushButton(QStringLiteral("AM<>PM"), client);
    m_cmdZeit->setObjectName(QStringLiteral("cmdZeit"));
    m_DBComboBeh = new QComboBox(client);
    m_DBComboBeh->setObjectName(QStringLiteral("DBComboBeh"));
    m_txtHon = new QLineEdit(client);
    m_txtHon->setObjectName(QStringLiteral("txtHon"));
    m_txtHon->setReadOnly(true);
    m_txtHon->setAlignment(Qt::AlignRight);
    // Screen readers name the list and the fee box by their labels.
    m_lblBehAuswahl->setBuddy(m_DBComboBeh);
    m_lblHon->setBuddy(m_txtHon);
    for (QWidget* hidden : std::initializer_list<QWidget*>{m_lblBehAuswahl, m_lblHon, m_DBComboBeh, m_txtHon})
        hidden->hide();

    m_layout = std::make_unique<ColumnLayout>(*m_day, *client, *m_looks, m_state);
}

void frmLunaris::followPracticeContents()
{
    m_practice->followContents();
}

QString frmLunaris::followChairsElsewhere()
{
    return m_practice->followChairsElsewhere();
}

void frmLunaris::setStatusText(const QString& text)
{
    m_feedback->setStatusText(text);
}

bool frmLunaris::Form_Load()
{
    const QScreen* current = screen() ? screen() : QGuiApplication::primaryScreen();
    return Form_Load(current ? current->geometry().width() : MinimumScreenWidth);
}

bool frmLunaris::Form_Load(int screenWidthPixels)
{
    QStringList chairs;
    try {
        chairs = m_practice->readChairs();
    } catch (const LunarisError& e) {
        m_services.messages.inform(this, QStringLiteral("Fehler: %1 %2").arg(e.number()).arg(e.description()), kTitle,
                                   QMessageBox::Critical);
        return false;
    }
    // The window has columns for MaxChairs chairs; further chairs get none.
    m_state.ChairCount = std::min(int(chairs.size()), m_state.MaxChairs);

    if (screenWidthPixels < MinimumScreenWidth) {
        m_services.messages.inform(
            this, QStringLiteral("Bitte ändern Sie die Bildschirmauflösung auf\rmindestens 800 x 600 Pixel!"), kTitle,
            QMessageBox::Critical);
        return false;
    }

    m_practice->readPracticeSettings();
    m_layout->applyHours(m_state.ChairCount);
    m_layout->assignChairs(chairs, m_DBComboBeh);
    m_placement->restore();
    m_analysisDock->restore();
    m_mnuViewAnalysis->setChecked(m_analysisDock->isShown());
    if (m_analysisDock->isShown())
        m_screen->refreshAnalysis(&NoTreatments);
    Form_Resize();
    m_editing->refreshTreatments();
    m_watcher = new ChangeWatcher(m_services.database, this);
    connect(m_watcher, &ChangeWatcher::changed, this, &frmLunaris::followSharedChange);
    connect(m_watcher, &ChangeWatcher::changed, this, [this] { m_practice->followPracticeValuesElsewhere(); });
    m_statusBar->followConnection();
    showStatus();
    followPracticeContents();
    return true;
}

void frmLunaris::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    m_placement->followFrame();
}

void frmLunaris::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    m_placement->followFrame();
}

QSize frmLunaris::outerSizeTwips() const
{
    return frameGeometry().size() * TwipsPerPixel;
}

void frmLunaris::Form_Resize()
{
    if (isMinimized())
        return;
    // From the outer size: the 2700 twips left over cover title, menu, tool and status bars. The
    // Auswertung panel, when shown, takes its room from the columns.
    const QSize outer = outerSizeTwips() - (m_analysisDock ? m_analysisDock->roomTaken() : QSize(0, 0)) * TwipsPerPixel;
    const double w = double(outer.width() - 600) / (m_state.ChairCount + 1);
    const int h = outer.height() - 2700;
    m_toolBar->setGeometry(0, 0, centralWidget()->width(), m_toolBar->sizeHint().height());
    // The bar about a change elsewhere, when shown, takes its room from the top of the columns.
    const int bar = m_changedBar && !m_changedBar->isHidden() ? m_changedBar->sizeHint().height() : 0;
    if (bar)
        m_changedBar->setGeometry(px(240), px(1560), px(240 + w * (m_state.ChairCount + 1)) - px(240), bar);
    if (m_guide)
        m_guide->setGeometry(px(240), px(1560), px(240 + w * (m_state.ChairCount + 1)) - px(240), std::max(0, px(h)));
    m_layout->place(240, w, px(1560) + bar, px(h) - bar);
    m_lblBehAuswahl->setGeometry(px(5040), px(600), px(2295), px(240));
    m_lblHon->setGeometry(px(7800), px(600), px(1200), px(240));
    m_cmdZeit->setGeometry(px(960), px(840), px(2055), px(375));
    m_DBComboBeh->setGeometry(px(5040), px(840), px(2295), px(375));
    m_txtHon->setGeometry(px(7800), px(840), px(855), px(375));
}

bool frmLunaris::event(QEvent* event)
{
    // A dialog or message over the window takes the mouse: the release of a drag would never come.
    if (event->type() == QEvent::WindowBlocked)
        cancelDrags();
    return QMainWindow::event(event);
}

void frmLunaris::cancelDrags()
{
    m_layout->cancelDrags();
}

bool frmLunaris::eventFilter(QObject* watched, QEvent* event)
{
    // The client area has its new size only once the window's layout has placed it.
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        Form_Resize();
    return QMainWindow::eventFilter(watched, event);
}

void frmLunaris::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void frmLunaris::closeEvent(QCloseEvent* event)
{
    if (m_checkWait->waiting()) {
        event->ignore();
        return;
    }
    if (!m_unloaded) {
        if (!Form_QueryUnload()) {
            event->ignore();
            return;
        }
        Form_Unload();
        m_unloaded = true;
    }
    m_analysisDock->keepPlace();
    event->accept();
}

bool frmLunaris::Form_QueryUnload()
{
    return DayClose(this, *m_commands, m_recovery.get(), m_state, m_services).mayClose();
}

void frmLunaris::Form_Unload()
{
    DayClose(this, *m_commands, m_recovery.get(), m_state, m_services).settleRecoveryCopy();
    // Other windows of the program (help), the most recently opened first.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (auto it = windows.crbegin(); it != windows.crend(); ++it)
        if (*it != this && (*it)->isVisible())
            (*it)->close();
    m_placement->store();
}

QList<const DayViewModel*> frmLunaris::chairColumns() const
{
    return std::as_const(*m_day).chairs();
}

QList<const DayViewModel*> frmLunaris::printColumns() const
{
    return std::as_const(*m_day).columnsWithDoctor();
}

void frmLunaris::Termin_load()
{
    m_feedback->load();
}

void frmLunaris::showStatus()
{
    m_feedback->showStatus();
}

void frmLunaris::tellCancelled(const QString& command)
{
    m_feedback->tellCancelled(command);
}

void frmLunaris::DR_Load()
{
    m_screen->drawDoctorColumn();
}

DayAnalysis frmLunaris::analysis(const QHash<QString, Treatment>& treatments, const DoctorLoad* load) const
{
    return m_screen->analysis(treatments, load);
}

void frmLunaris::repaintChairs()
{
    m_screen->repaintChairs();
}

void frmLunaris::switchOn(bool deleteEnabled)
{
    m_editing->refreshTreatments();
    for (int i = 0; i <= m_state.MaxChairs; ++i)
        m_layout->column(i)->setEnabled(true);
    for (QWidget* control : std::initializer_list<QWidget*>{m_DBComboBeh, m_lblBehAuswahl, m_lblHon, m_txtHon})
        control->show();
    m_commandStates->dayOpened(deleteEnabled);
}

void frmLunaris::tbToolBar_ButtonClick(const QString& key)
{
    cancelDrags();
    if (key == QLatin1String("New"))
        mnuFileNew_Click();
    else if (key == QLatin1String("Open"))
        mnuFileOpen_Click();
    else if (key == QLatin1String("Save"))
        mnuFileSave_Click();
    else if (key == QLatin1String("Print"))
        mnuFilePrint_Click();
}

// The tick follows the bar: ticked while it is shown. (The action has already flipped its own tick.)
void frmLunaris::mnuViewToolbar_Click()
{
    const bool wasShown = !m_toolBar->isHidden();
    m_toolBar->setVisible(!wasShown);
    m_mnuViewToolbar->setChecked(!wasShown);
}

void frmLunaris::mnuViewStatusBar_Click()
{
    const bool wasShown = !statusBar()->isHidden();
    statusBar()->setVisible(!wasShown);
    m_mnuViewStatusBar->setChecked(!wasShown);
}

void frmLunaris::mnuFileNew_Click()
{
    m_commands->newDay();
}

void frmLunaris::mnuFileOpen_Click()
{
    m_commands->open();
}

void frmLunaris::mnuFileSave_Click()
{
    m_commands->save();
}

void frmLunaris::mnuFileSaveAs_Click()
{
    m_commands->saveAs();
}

void frmLunaris::mnuFileRename_Click()
{
    m_commands->rename();
}

void frmLunaris::followRename(const QString& name)
{
    // The rows keep their identities under the new name: the next save sees them as its own.
    RowsOnScreen& rows = m_day->rowsOnScreen();
    if (rows.day == m_state.CurrentIdealtag) {
        rows.day = name;
        rows.stamp = {};
    }
    m_state.CurrentIdealtag = name;
    setWindowTitle(QStringLiteral("Template: ") + captionText(name));
    m_commandStates->followName();
    // A copy of unsaved edits names the day as it is stored now.
    if (m_recovery && m_state.modified())
        m_recovery->flush();
}

void frmLunaris::mnuFileDelete_Click()
{
    m_commands->deleteDay();
}

void frmLunaris::mnuFilePrint_Click()
{
    if (m_services.printers)
        TemplatePrintout(m_services, *m_services.printers).print(this, m_state.CurrentIdealtag, printColumns());
    else
        TemplatePrintout(m_services).print(this, m_state.CurrentIdealtag, printColumns());
}

const RowsOnScreen& frmLunaris::rowsOnScreen() const
{
    return m_day->rowsOnScreen();
}

bool frmLunaris::Speichern()
{
    return !m_state.modified() || saveEvenUnmodified();
}

bool frmLunaris::saveEvenUnmodified()
{
    if (!m_state.DayOpen)
        return true;
    const DaySave::Outcome outcome = DaySave(*this, *m_day, m_state, m_services).save([this] { m_commands->saveAs(); });
    m_commandStates->followName();
    return m_feedback->followSave(outcome);
}

void frmLunaris::reloadInPlace()
{
    m_feedback->reloadInPlace();
}

void frmLunaris::followSharedChange(SharedTables tables)
{
    SharedChanges(*this, *m_day, m_status, m_state, m_services).follow(tables, [this, tables] {
        followSharedChange(tables);
    });
}

void frmLunaris::followTreatmentTable()
{
    m_practice->followTreatmentTable();
}

void frmLunaris::showChangedNotice(const QString& text)
{
    m_changedBar->showText(text);
}

void frmLunaris::offerRecovery()
{
    if (m_recovery)
        RecoveryOffer(*this, *m_day, *m_recovery, m_state, m_services, [this](const QString& text) {
            setStatusText(text);
        }).offer();
}
