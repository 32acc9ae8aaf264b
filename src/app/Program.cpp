#include "app/Program.h"

#include "app/SingleInstance.h"
#include "app/frmLunaris.h"
#include "commands/BackupCommands.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisError.h"
#include "kernel/LunarisState.h"
#include "settings/ConnectionSettingStore.h"
#include "settings/ServerPracticeSettings.h"
#include "settings/SettingsStore.h"
#include "settings/frmDatenbank.h"
#include "store/ConnectionSetting.h"
#include "store/Database.h"
#include "ui/MessageService.h"
#include "ui/ModalRunner.h"
#include "ui/ProgramIcon.h"
#include "ui/WindowFocus.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPointer>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTranslator>

#include <functional>
#include <memory>

std::unique_ptr<Database> openPracticeDatabase(const QString& filePath, MessageService& messages, int busyTimeoutMs,
                                               Database::StartCheck startCheck)
{
    try {
        return std::make_unique<Database>(filePath, QStringLiteral("lunaris"), busyTimeoutMs, startCheck);
    } catch (const LunarisError& e) {
        messages.inform(nullptr, QStringLiteral("Fehler: %1 %2").arg(e.number()).arg(e.description()),
                        QStringLiteral("Lunaris"), QMessageBox::Critical);
        return nullptr;
    }
}

bool confirmPracticeDatabase(const Database& database, MessageService& messages)
{
    try {
        database.confirmOwnTables();
        return true;
    } catch (const LunarisError& e) {
        messages.inform(nullptr, QStringLiteral("Fehler: %1 %2").arg(e.number()).arg(e.description()),
                        QStringLiteral("Lunaris"), QMessageBox::Critical);
        return false;
    }
}

bool claimSingleInstance(SingleInstance& instance, MessageService& messages)
{
    SingleInstance::Start start = instance.acquire();
    // The running instance shows its window instead; nothing new appears. One that does not answer may
    // be ending just now (its window gone, its guard not yet marked): a second look waits for it then.
    if (start == SingleInstance::Start::AlreadyRunning && !instance.askRunningToShow())
        start = instance.acquire();
    switch (start) {
    case SingleInstance::Start::Alone:
        return true;
    case SingleInstance::Start::AlreadyRunning:
        return false; // shown, or it hangs: left alone
    case SingleInstance::Start::StillClosing:
        break;
    }
    messages.inform(nullptr,
                    QStringLiteral("Lunaris wird gerade noch beendet. Bitte starten Sie das Programm in einigen "
                                   "Sekunden noch einmal."),
                    QStringLiteral("Lunaris"), QMessageBox::Information);
    return false;
}

QString connectSettingRefusal(const QString& connect)
{
    if (connect.isEmpty())
        return {};
    try {
        ConnectionSetting::parse(connect);
    } catch (const LunarisError& e) {
        return QStringLiteral("Fehler: %1 %2").arg(e.number()).arg(e.description());
    }
    return {};
}

namespace {
// What the user does when the start finds no usable database: 0 "Erneut versuchen", 1 "Verbindung
// ändern...", 2 "Beenden".
int chooseAfterStartFailure(const QString& failure, MessageService& messages)
{
    MessageRequest box;
    box.text = failure;
    box.title = QStringLiteral("Lunaris");
    box.icon = QMessageBox::Critical;
    box.choices = {QStringLiteral("Erneut versuchen"), QStringLiteral("Verbindung ändern..."),
                   QStringLiteral("Beenden")};
    return messages.choose(box);
}
} // namespace

ServerStart openServerAtStart(const ServerAddress& server, MessageService& messages,
                              const std::function<bool()>& changeConnection)
{
    for (;;) {
        QString failure;
        try {
            return {std::make_unique<Database>(server), false};
        } catch (const LunarisError& e) {
            // Plain German that names the server and the reason; an error number tells a practice nothing here.
            failure = e.description();
        }
        // The user decides: the server may be back in a moment, the setting may be wrong, or it is time to stop.
        switch (chooseAfterStartFailure(failure, messages)) {
        case 0:
            continue;
        case 1:
            if (changeConnection())
                return {nullptr, true};
            continue;
        default:
            return {nullptr, false};
        }
    }
}

bool folderTakesFiles(const QString& folder)
{
    // Asked by making a file: on Windows QFileInfo reads no access lists, and "C:\Program Files" is not read-only.
    QTemporaryFile probe(folder + QStringLiteral("/lunaris-XXXXXX.tmp"));
    return probe.open();
}

PracticeFolder checkPracticeFolder(const QString& practiceFile, MessageService& messages,
                                   const std::function<bool()>& changeConnection)
{
    const QString folder = QFileInfo(practiceFile).absolutePath();
    while (!folderTakesFiles(folder)) {
        MessageRequest box;
        box.text = QStringLiteral("Lunaris kann im Programmordner „%1“ nicht schreiben. Dort liegt die "
                                  "Praxisdatenbank Kavemo.mdb, die Lunaris beim ersten Start anlegt und bei jedem "
                                  "Speichern ändert.\r\rBitte installieren Sie Lunaris in einen Ordner, in dem die "
                                  "Benutzer der Praxis schreiben dürfen (etwa „C:\\Lunaris“), oder verbinden Sie "
                                  "Lunaris mit dem Datenbankserver der Praxis („Verbindung ändern...“).")
                       .arg(QDir::toNativeSeparators(folder));
        box.title = QStringLiteral("Lunaris");
        box.icon = QMessageBox::Critical;
        box.choices = {QStringLiteral("Verbindung ändern..."), QStringLiteral("Beenden")};
        box.defaultChoice = 1;
        if (messages.choose(box) != 0)
            return PracticeFolder::End;
        if (changeConnection())
            return PracticeFolder::ConnectionChanged;
    }
    return PracticeFolder::Usable;
}

bool changeConnectionAtStart(SettingsStore& settings, MessageService& messages, ModalRunner& modals,
                             const QString& practiceFile)
{
    frmDatenbank dialog(settings, messages, modals, std::nullopt, practiceFile);
    return modals.run(dialog) == QDialog::Accepted;
}

std::unique_ptr<Database> openStartDatabase(LunarisState& state, SettingsStore& settings, MessageService& messages,
                                            ModalRunner& modals)
{
    const QString practiceFile = QDir::current().absoluteFilePath(state.DatabaseFile);
    for (;;) {
        state.DatabaseConnect = ConnectionSetting::read(settings);
        const auto changeConnection = [&] { return changeConnectionAtStart(settings, messages, modals, practiceFile); };
        // Also a value of the family's programs: the dialog writes Lunaris's own, which wins over it.
        if (const QString refusal = connectSettingRefusal(state.DatabaseConnect); !refusal.isEmpty()) {
            switch (chooseAfterStartFailure(refusal, messages)) {
            case 0:
                continue;
            case 1:
                changeConnection();
                continue;
            default:
                return nullptr;
            }
        }
        if (state.DatabaseConnect.isEmpty()) {
#ifdef Q_OS_WIN
            // Installed under "C:\Program Files", the program folder takes no file for most users: said at once,
            // not at the first save. (Elsewhere a read-only folder still opens its database for reading.)
            switch (checkPracticeFolder(practiceFile, messages, changeConnection)) {
            case PracticeFolder::Usable:
                break;
            case PracticeFolder::ConnectionChanged:
                continue;
            case PracticeFolder::End:
                return nullptr;
            }
#endif
            return openPracticeDatabase(practiceFile, messages, Database::BusyTimeoutMs,
                                        Database::StartCheck::Overlapped);
        }
        ServerStart start =
            openServerAtStart(ConnectionSetting::parse(state.DatabaseConnect), messages, changeConnection);
        // A changed connection is tried at once, whichever database it names now.
        if (!start.connectionChanged)
            return std::move(start.database);
    }
}

int Main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lunaris"));
    QApplication::setOrganizationName(SettingsStore::FamilyApp);
    QApplication::setWindowIcon(programIcon());
    // Lets the desktop match the window to the installed menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("lunaris"));

    // German texts on Qt's own buttons ("Ja", "Nein", "Abbrechen").
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    // Relative file names (database, help) resolve in the program folder, wherever we were started from.
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    LunarisState state;
    state.DatabaseFile = QStringLiteral("Kavemo.mdb");
    state.HelpFile = QStringLiteral("hilfe/inhalt.html");
    state.MaxChairs = 10;

    QtMessageService messages;
    SingleInstance instance;
    if (!claimSingleInstance(instance, messages))
        return 0;
    // A later start brings this one forward: its start-up dialog first, the main window once shown.
    QPointer<QWidget> mainWindow;
    instance.listen([&mainWindow] { bringToFront(mainWindow); });

    SettingsStore settings;
    ExecModalRunner modals;

    const std::unique_ptr<Database> database = openStartDatabase(state, settings, messages, modals);
    if (!database)
        return 1;

    // On the server the practice's values are the practice's, the same at every workstation.
    std::unique_ptr<SettingsStore> serverSettings;
    if (database->isServer())
        serverSettings = std::make_unique<ServerPracticeSettings>(settings, *database);
    AppServices services{*database, serverSettings ? *serverSettings : settings, messages, modals};
    services.recoveryFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    frmLunaris window(state, services);
    mainWindow = &window;
    if (!window.Form_Load())
        return 1;
    // The platform's window is made now, hidden, so that little is left to do once the check has passed.
    window.winId();
    // The window was built while the check of the stored days ran; damage there is refused before it appears.
    if (!confirmPracticeDatabase(*database, messages))
        return 1;
    window.show();
    window.offerRecovery();
    window.backups().tellCloseFailure(
        &window, [&window](const QString& text) { window.setStatusText(text); }, QDateTime::currentDateTime());
    const int status = QApplication::exec();
    // A start from now on waits until the database is closed and the guard released.
    instance.announceClosing();
    // The window is gone; the day's first close copies the practice file (read only, so a new start may
    // already work on it).
    window.backups().atClose(QDateTime::currentDateTime());
    return status;
}
