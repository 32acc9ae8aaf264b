#include "TestMain.h"
#include "TestPaths.h"

#include "ScriptedMessages.h"
#include "app/Program.h"
#include "app/SingleInstance.h"
#include "ui/WindowFocus.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

// Runs the real program as a user would start it: its own program folder, its own per-user folders.
class ProgramFolder {
public:
    ProgramFolder()
    {
        QDir(m_root.path()).mkpath("programm");
        QDir(m_root.path()).mkpath("runtime");
        QDir(m_root.path()).mkpath("config");
        QFile::setPermissions(runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::copy(TestPaths::program(), executable());
    }
    QString folder() const { return m_root.filePath("programm"); }
    QString executable() const { return m_root.filePath("programm/" + QFileInfo(TestPaths::program()).fileName()); }
    QString runtime() const { return m_root.filePath("runtime"); }
    QString root() const { return m_root.path(); }

    void start(QProcess& process, const QString& workingDirectory) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime());
        env.insert("XDG_CONFIG_HOME", m_root.filePath("config"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(workingDirectory);
        process.start(executable(), {});
    }

    // Starts the program for a user with this home folder, where the runtime folder the session
    // names is none of this user's (as after "su") and none can be made in the temporary folder
    // either. An ordinary user is "nobody".
    void startWithoutRuntimeFolder(QProcess& process, const QString& home, bool ordinaryUser) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", m_root.filePath("no-runtime-folder"));
        env.insert("TMPDIR", m_root.filePath("tmp"));
        env.insert("HOME", home);
        env.insert("XDG_CONFIG_HOME", home + "/.config");
        env.remove("XDG_CACHE_HOME");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(folder());
        if (ordinaryUser)
            process.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", executable()});
        else
            process.start(executable(), {});
    }
    // Lets an ordinary user run the program and create the database in its folder. Where a runtime
    // folder would be, there are files.
    void openToEveryone() const
    {
        QDir(m_root.path()).mkpath("tmp");
        for (const char* blocked : {"no-runtime-folder", "tmp/runtime-root", "tmp/runtime-nobody"}) {
            QFile file(m_root.filePath(blocked));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QFile::setPermissions(root(), QFileDevice::Permissions(0x7555));
        QFile::setPermissions(folder(), QFileDevice::Permissions(0x7777));
        QFile::setPermissions(m_root.filePath("tmp"), QFileDevice::Permissions(0x7777));
    }

private:
    QTemporaryDir m_root;
};

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void usesTheDatabaseInItsOwnFolder();
    void secondInstanceEndsAtOnce();
    void guardIsPerUserWithoutRuntimeFolder_data();
    void guardIsPerUserWithoutRuntimeFolder();
    void startMeetsAnEndingInstance_data();
    void startMeetsAnEndingInstance();
    void laterStartBringsTheRunningOneForward_data();
    void laterStartBringsTheRunningOneForward();
    void programFolderWithoutWriteRight_data();
    void programFolderWithoutWriteRight();
};

void TestStartup::usesTheDatabaseInItsOwnFolder()
{
    ProgramFolder program;
    QProcess process;
    program.start(process, program.root()); // started from elsewhere, as from a shortcut
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(program.folder() + "/Kavemo.mdb").size() > 0, 20000);
    QVERIFY(!QFileInfo::exists(program.root() + "/Kavemo.mdb"));
    QCOMPARE(process.state(), QProcess::Running);
    process.kill();
    process.waitForFinished();
}

void TestStartup::secondInstanceEndsAtOnce()
{
    ProgramFolder program;
    QProcess first;
    program.start(first, program.folder());
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(program.folder() + "/Kavemo.mdb").size() > 0, 20000);

    QProcess second;
    program.start(second, program.folder());
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);

    // Once the first has gone, the program starts again (no lock is left behind by a killed instance).
    first.kill();
    first.waitForFinished();
    QProcess third;
    program.start(third, program.folder());
    QVERIFY(third.waitForStarted());
    QVERIFY(!third.waitForFinished(1500));
    third.kill();
    third.waitForFinished();
}

void TestStartup::guardIsPerUserWithoutRuntimeFolder_data()
{
    QTest::addColumn<bool>("otherUser");
    QTest::newRow("another user starts beside the first") << true;
    QTest::newRow("the same user's second start ends") << false;
}

void TestStartup::guardIsPerUserWithoutRuntimeFolder()
{
    QFETCH(bool, otherUser);
#ifdef Q_OS_UNIX
    if (::geteuid() != 0)
        QSKIP("starting the program as a second user needs root");
#else
    QSKIP("the per-user runtime folder exists on this platform");
#endif
    ProgramFolder program;
    program.openToEveryone();
    QTemporaryDir homes;
    QFile::setPermissions(homes.path(), QFileDevice::Permissions(0x7555));
    QVERIFY(QDir(homes.path()).mkpath("first") && QDir(homes.path()).mkpath("second"));
    QFile::setPermissions(homes.filePath("first"), QFileDevice::Permissions(0x7777));

    // The ordinary user starts first, so nothing the administrator creates is in its way.
    QProcess first;
    program.startWithoutRuntimeFolder(first, homes.filePath("first"), otherUser);
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(program.folder() + "/Kavemo.mdb").size() > 0, 20000);
    QVERIFY2(!first.waitForFinished(1500), first.readAllStandardError().constData());

    QProcess second;
    program.startWithoutRuntimeFolder(second, homes.filePath(otherUser ? "second" : "first"), false);
    QVERIFY(second.waitForStarted());
    if (otherUser) {
        QVERIFY2(!second.waitForFinished(3000), "a running copy of another user ended this user's start");
        QCOMPARE(first.state(), QProcess::Running);
    } else {
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 0);
    }
    for (QProcess* process : {&second, &first}) {
        process->kill();
        process->waitForFinished();
    }
}

void TestStartup::startMeetsAnEndingInstance_data()
{
    // none, running, ending, ending too long, ended (its mark left), crashed (its lock left, naming this process)
    QTest::addColumn<QString>("other");
    QTest::addColumn<bool>("starts");
    QTest::addColumn<QString>("message");
    const QString tooLong = QStringLiteral("Lunaris wird gerade noch beendet. Bitte starten Sie das Programm in "
                                           "einigen Sekunden noch einmal.");
    QTest::newRow("no other instance") << "none" << true << "";
    QTest::newRow("another instance runs: ends silently") << "running" << false << "";
    QTest::newRow("another instance is ending: waits, then starts") << "ending" << true << "";
    QTest::newRow("another instance is still ending after the wait") << "ending too long" << false << tooLong;
    QTest::newRow("an instance ended while ending") << "ended" << true << "";
    QTest::newRow("a crashed instance whose process number this start got") << "crashed" << true << "";
}

// A start in the moment another instance closes its database waits for it instead of ending unseen.
void TestStartup::startMeetsAnEndingInstance()
{
    QFETCH(QString, other);
    QFETCH(bool, starts);
    QFETCH(QString, message);
    QTemporaryDir folder;
    auto first = std::make_unique<SingleInstance>(folder.path());
    if (other != QLatin1String("none") && other != QLatin1String("crashed"))
        QCOMPARE(first->acquire(), SingleInstance::Start::Alone);
    if (other.startsWith(QLatin1String("end")))
        first->announceClosing();
    if (other == QLatin1String("ended"))
        first.reset(); // crashed or ended: its mark stays behind
    if (other == QLatin1String("crashed")) {
        QLockFile left(QDir(folder.path()).filePath(QStringLiteral("Lunaris.lock")));
        QVERIFY(left.tryLock(0));
        QFile file(left.fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray contents = file.readAll();
        file.close();
        left.unlock();
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    int pauses = 0;
    // The ending instance lets go of the guard while the new start waits for it.
    SingleInstance second(folder.path(), other == QLatin1String("ending too long") ? 0 : 60000, [&] {
        ++pauses;
        if (other == QLatin1String("ending"))
            first.reset();
    });
    ScriptedMessages messages;
    if (!message.isEmpty())
        messages.answer(QMessageBox::Ok);
    QCOMPARE(claimSingleInstance(second, messages), starts);
    QCOMPARE(pauses, other == QLatin1String("ending") ? 1 : 0);
    if (message.isEmpty()) {
        QVERIFY(messages.shown().isEmpty());
    } else {
        QCOMPARE(messages.shown().size(), 1);
        const MessageRequest& box = messages.shown().first();
        QCOMPARE(box.text, message);
        QCOMPARE(box.title, QString("Lunaris"));
        QCOMPARE(box.icon, QMessageBox::Information);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
    // Whoever has the guard now: a third start finds it taken, by an instance that runs.
    if (starts) {
        SingleInstance third(folder.path(), 60000, [] { QFAIL("waited for an instance that runs"); });
        QCOMPARE(third.acquire(), SingleInstance::Start::AlreadyRunning);
    }
}

void TestStartup::laterStartBringsTheRunningOneForward_data()
{
    QTest::addColumn<QString>("first"); // running, minimised, hung (listens, never answers), gone (its name left)
    QTest::addColumn<bool>("starts");
    QTest::addColumn<bool>("broughtForward");
    QTest::newRow("first running behind another window") << "running" << false << true;
    QTest::newRow("first minimised") << "minimised" << false << true;
    QTest::newRow("first hung: ends silently, as before") << "hung" << false << false;
    QTest::newRow("first gone, its listening name left behind") << "gone" << true << false;
}

// A later start asks the running instance to bring its window to the front, and ends without a word; an
// instance that does not answer is left alone.
void TestStartup::laterStartBringsTheRunningOneForward()
{
    QFETCH(QString, first);
    QFETCH(bool, starts);
    QFETCH(bool, broughtForward);
    QTemporaryDir folder;
    const QString name = SingleInstance::listeningName(folder.path());
    QWidget mainWindow;
    QWidget other;
    int asked = 0;
    auto running = std::make_unique<SingleInstance>(folder.path());
    QCOMPARE(running->acquire(), SingleInstance::Start::Alone);
    QLocalServer hung;
    if (first == "hung")
        QVERIFY(hung.listen(name));
    else
        QVERIFY(running->listen([&] {
            ++asked;
            bringToFront(&mainWindow);
        }));
    mainWindow.show();
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    if (first == "minimised") {
        mainWindow.showMinimized();
        QTRY_VERIFY(mainWindow.isMinimized());
    }
    if (first == "gone") {
        running.reset();
#ifndef Q_OS_WIN // a pipe goes with its process
        QFile left(name);
        QVERIFY(left.open(QIODevice::WriteOnly));
#endif
    }

    // The later start waits for the answer, which the running one gives in its event loop: another thread.
    SingleInstance later(folder.path());
    ScriptedMessages messages;
    bool started = false;
    std::unique_ptr<QThread> start(QThread::create([&] { started = claimSingleInstance(later, messages); }));
    start->start();
    QTRY_VERIFY_WITH_TIMEOUT(start->isFinished(), 2 * SingleInstance::AnswerWaitMs + 5000);
    QCOMPARE(started, starts);
    QVERIFY(messages.shown().isEmpty());
    QCOMPARE(asked, broughtForward ? 1 : 0);
    if (broughtForward) {
        QTRY_VERIFY(mainWindow.isActiveWindow());
        QVERIFY(!mainWindow.isMinimized());
    } else {
        QVERIFY(other.isActiveWindow());
    }
    if (starts) {
        // The new instance listens under the name left behind: the next start is answered.
        QVERIFY(later.listen([&] { ++asked; }));
        SingleInstance third(folder.path());
        QCOMPARE(third.acquire(), SingleInstance::Start::AlreadyRunning);
        bool answered = false;
        std::unique_ptr<QThread> ask(QThread::create([&] { answered = third.askRunningToShow(); }));
        ask->start();
        QTRY_VERIFY_WITH_TIMEOUT(ask->isFinished(), SingleInstance::AnswerWaitMs + 5000);
        QVERIFY(answered);
        QCOMPARE(asked, 1);
    }
}

void TestStartup::programFolderWithoutWriteRight_data()
{
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QList<int>>("choices");    // the answers to the boxes, in turn
    QTest::addColumn<QList<bool>>("dialogOks"); // the "Datenbank" dialog closed with OK, in turn
    QTest::addColumn<int>("result");            // PracticeFolder
    QTest::newRow("writable folder: no question") << true << QList<int>{} << QList<bool>{} << 0;
    QTest::newRow("end") << false << QList<int>{1} << QList<bool>{} << 2;
    QTest::newRow("a server named instead") << false << QList<int>{0} << QList<bool>{true} << 1;
    QTest::newRow("dialog cancelled: asked again, then end") << false << QList<int>{0, 1} << QList<bool>{false} << 2;
}

// A program folder that takes no file (on Windows one under "C:\Program Files") is named at the start,
// with what to do; the practice database is never made anywhere else.
void TestStartup::programFolderWithoutWriteRight()
{
    QFETCH(bool, writable);
    QFETCH(QList<int>, choices);
    QFETCH(QList<bool>, dialogOks);
    QFETCH(int, result);
    QTemporaryDir root;
    // No file can be made in a folder that does not exist (root ignores the rights of one that does).
    const QString folder = writable ? root.path() : root.filePath("Programme/Lunaris");
    ScriptedMessages messages;
    for (int choice : choices)
        messages.answerChoice(choice);
    int dialogs = 0;
    const PracticeFolder outcome =
        checkPracticeFolder(folder + "/Kavemo.mdb", messages, [&] { return dialogOks.value(dialogs++); });
    QCOMPARE(int(outcome), result);
    QCOMPARE(dialogs, int(dialogOks.size()));
    QCOMPARE(messages.shown().size(), choices.size());
    for (const MessageRequest& box : messages.shown()) {
        QCOMPARE(box.text, QStringLiteral("Lunaris kann im Programmordner „%1“ nicht schreiben. Dort liegt die "
                                          "Praxisdatenbank Kavemo.mdb, die Lunaris beim ersten Start anlegt und bei "
                                          "jedem Speichern ändert.\r\rBitte installieren Sie Lunaris in einen Ordner, "
                                          "in dem die Benutzer der Praxis schreiben dürfen (etwa „C:\\Lunaris“), "
                                          "oder verbinden Sie Lunaris mit dem Datenbankserver der Praxis "
                                          "(„Verbindung ändern...“).")
                               .arg(QDir::toNativeSeparators(folder)));
        QCOMPARE(box.title, QString("Lunaris"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.choices, QStringList({"Verbindung ändern...", "Beenden"}));
        QCOMPARE(box.defaultChoice, 1);
    }
    QCOMPARE(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{});
}

LUNARIS_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
