#include "MainWindowFixture.h"
#include "NameDialogs.h"
#include "TestMain.h"
#include "dayview/DayView.h"
#include "editing/OpenDay.h"
#include "editing/RecoveryKeeper.h"
#include "kernel/LunarisError.h"

#include <QAction>
#include <QProcess>
#include <QRandomGenerator>
#include <QSysInfo>
#include <QTemporaryDir>

#include <csignal>

namespace {
const QString Question = QStringLiteral("Beim letzten Mal wurde Lunaris nicht ordnungsgemäß beendet. Ungespeicherte "
                                        "Änderungen an „%1“ (Stand %2) wiederherstellen?");
const QStringList Choices{QStringLiteral("Wiederherstellen"), QStringLiteral("Verwerfen")};

// A practice with a stored day "Montag" (one block) and a home folder for the copies of unsaved work.
struct Workstation {
    Workstation()
    {
        f.ctx.tempDatabase.addTreatment("KONT", 30);
        f.ctx.tempDatabase.addTreatment("BEB", 20);
        f.ctx.tempDatabase.addDayName("Montag");
        f.ctx.tempDatabase.addBlock("Montag", "Stuhl 1", "KONT", "08:00", "08:30");
        f.ctx.services.recoveryFolder = home.path();
        f.start();
    }
    QString copyPath() const { return RecoveryFile(home.path(), QSysInfo::machineHostName()).path(); }
    // The program ends without closing its window, as at a crash.
    void crashAndStart()
    {
        f.window.reset();
        f.start();
    }
    QString undoText() const { return f.action("mnuEditUndo")->text(); }

    MainWindowFixture f{3};
    QTemporaryDir home;
};

void openDay(Workstation& w, const QString& name)
{
    w.f.ctx.modals.handleNext(openName(name));
    w.f.action("mnuFileOpen")->trigger();
    QCOMPARE(w.f.ctx.state.CurrentIdealtag, name);
}
} // namespace

class TestRecovery : public QObject {
    Q_OBJECT
private slots:
    void offeredAtNextStart_data();
    void offeredAtNextStart();
    void noCopyLeftBehind_data();
    void noCopyLeftBehind();
    void damagedCopyIsSetAside();
    void otherWorkstationsCopyIsNotTaken();
    void saveAfterRecoveryAsksWhenChangedElsewhere();
    void copyKeepsEveryField();
    void killedAtRandomMoments();
};

void TestRecovery::offeredAtNextStart_data()
{
    QTest::addColumn<QString>("day"); // empty: a new day
    QTest::addColumn<int>("choice");
    QTest::newRow("stored day, Wiederherstellen") << "Montag" << 0;
    QTest::newRow("new day, Wiederherstellen") << "" << 0;
    QTest::newRow("stored day, Verwerfen") << "Montag" << 1;
}

void TestRecovery::offeredAtNextStart()
{
    QFETCH(QString, day);
    QFETCH(int, choice);
    Workstation w;
    if (day.isEmpty())
        w.f.newDay();
    else
        openDay(w, day);
    const QStringList before = w.f.onScreen(1);
    w.f.choose("BEB");
    QCOMPARE(w.f.window->openDay().place(1, "09:00", "BEB", 20), OpenDay::Refusal::None);
    QCOMPARE(w.f.window->openDay().place(2, "10:00", "KONT", 30), OpenDay::Refusal::None);
    QVERIFY(!QFile::exists(w.copyPath()));
    QSignalSpy written(w.f.window->recovery(), &RecoveryKeeper::written);
    // Both steps in one copy, within the delay of the first.
    QVERIFY(written.wait(2 * RecoveryKeeper::DelayMs));
    QCOMPARE(written.count(), 1);
    const QString stand = QTime::currentTime().toString("HH:mm");
    w.f.ctx.state = LunarisState();

    w.crashAndStart();
    w.f.ctx.messages.answerChoice(choice);
    w.f.window->offerRecovery();
    const MessageRequest box = w.f.ctx.messages.last();
    QCOMPARE(box.text, Question.arg(day.isEmpty() ? "Unbenannt" : day, stand));
    QCOMPARE(box.title, QString("Lunaris"));
    QCOMPARE(box.icon, QMessageBox::Question);
    QCOMPARE(box.choices, Choices);
    QCOMPARE(box.defaultChoice, 0);
    if (choice == 1) {
        QVERIFY(!QFile::exists(w.copyPath()));
        QVERIFY(!w.f.ctx.state.DayOpen);
        QCOMPARE(w.f.onScreen(1), QStringList());
        return;
    }
    QCOMPARE(w.f.ctx.state.CurrentIdealtag, day);
    QVERIFY(w.f.ctx.state.Modified);
    QCOMPARE(w.f.ctx.state.CurrentBeh, QString("BEB"));
    QCOMPARE(w.f.onScreen(1), before + QStringList{"09:00-09:20 BEB"});
    QCOMPARE(w.f.onScreen(2), QStringList{"10:00-10:30 KONT"});
    QCOMPARE(w.undoText(), QString("&Rückgängig: Wiederhergestellt"));
    // Nothing is written to the database before the user saves, and the copy stays until then.
    QCOMPARE(w.f.stored("Montag"), QStringList{"Stuhl 1|KONT|08:00|08:30"});
    QVERIFY(QFile::exists(w.copyPath()));
    if (day.isEmpty())
        w.f.ctx.modals.handleNext(saveAs("Dienstag"));
    w.f.action("mnuFileSave")->trigger();
    const QStringList saved = QStringList(day.isEmpty() ? QStringList() : QStringList{"Stuhl 1|KONT|08:00|08:30"}) +
                              QStringList{"Stuhl 2|BEB|09:00|09:20", "Stuhl 3|KONT|10:00|10:30"};
    QCOMPARE(w.f.stored(day.isEmpty() ? "Dienstag" : day), saved);
    QVERIFY(!QFile::exists(w.copyPath()));
    w.f.expectNothingPending();
}

void TestRecovery::noCopyLeftBehind_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("saved") << "save";
    QTest::newRow("undone to the stored day") << "undo";
    QTest::newRow("closed without saving") << "close";
    QTest::newRow("another day opened, changes discarded") << "open";
}

void TestRecovery::noCopyLeftBehind()
{
    QFETCH(QString, how);
    Workstation w;
    openDay(w, "Montag");
    QCOMPARE(w.f.window->openDay().place(1, "09:00", "KONT", 30), OpenDay::Refusal::None);
    w.f.window->recovery()->flush();
    QVERIFY(QFile::exists(w.copyPath()));
    if (how == "save") {
        w.f.action("mnuFileSave")->trigger();
    } else if (how == "undo") {
        w.f.action("mnuEditUndo")->trigger();
    } else if (how == "close") {
        w.f.ctx.messages.answer(QMessageBox::No); // "Möchten Sie noch Speichern?"
        QVERIFY(w.f.window->close());
    } else {
        w.f.ctx.messages.answer(QMessageBox::No);
        openDay(w, "Montag");
    }
    QVERIFY(!QFile::exists(w.copyPath()));
    // Nor does one come later from a timer still running.
    QTest::qWait(RecoveryKeeper::DelayMs + 200);
    QVERIFY(!QFile::exists(w.copyPath()));
    w.f.expectNothingPending();
}

void TestRecovery::damagedCopyIsSetAside()
{
    Workstation w;
    QFile file(w.copyPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\"format\":1,\"day\":\"Mon"); // cut off by the crash of a disk, not by ours
    file.close();
    w.crashAndStart();
    w.f.ctx.messages.answer(QMessageBox::Ok);
    w.f.window->offerRecovery();
    const QStringList aside = QDir(w.home.path()).entryList({"Wiederherstellung-*-beschaedigt-*.json"});
    QCOMPARE(aside.size(), 1);
    w.f.expectBox(QString("Die Kopie ungespeicherter Änderungen vom letzten Mal kann nicht gelesen werden. Sie wurde "
                          "unverändert beiseitegelegt:\r%1")
                      .arg(QDir::toNativeSeparators(w.home.filePath(aside.first()))),
                  "Lunaris", QMessageBox::Warning);
    QVERIFY(!QFile::exists(w.copyPath()));
    QFile kept(w.home.filePath(aside.first()));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("{\"format\":1,\"day\":\"Mon"));
    QVERIFY(!w.f.ctx.state.DayOpen);
}

void TestRecovery::otherWorkstationsCopyIsNotTaken()
{
    Workstation w;
    openDay(w, "Montag");
    QCOMPARE(w.f.window->openDay().place(1, "09:00", "KONT", 30), OpenDay::Refusal::None);
    RecoveryCopy other = w.f.window->recovery()->snapshot();
    other.host = "empfang";
    RecoveryFile(w.home.path(), "empfang").write(other);
    w.f.ctx.messages.answer(QMessageBox::No);
    QVERIFY(w.f.window->close());
    w.crashAndStart();
    // No box: the scripted messages fail the test on one nobody expected.
    w.f.window->offerRecovery();
    QVERIFY(w.f.ctx.messages.shown().size() == 1);
    QVERIFY(RecoveryFile(w.home.path(), "empfang").read().has_value());
}

void TestRecovery::saveAfterRecoveryAsksWhenChangedElsewhere()
{
    Workstation w;
    openDay(w, "Montag");
    QCOMPARE(w.f.window->openDay().place(1, "09:00", "KONT", 30), OpenDay::Refusal::None);
    w.f.window->recovery()->flush();
    w.crashAndStart();
    // Meanwhile another workstation saved the day.
    w.f.ctx.tempDatabase.addBlock("Montag", "Stuhl 3", "BEB", "11:00", "11:20");
    w.f.ctx.messages.answerChoice(0);
    w.f.window->offerRecovery();
    w.f.ctx.messages.answer(QMessageBox::No);
    w.f.action("mnuFileSave")->trigger();
    w.f.expectBox("Der Idealtag „Montag“ wurde inzwischen an einem anderen Arbeitsplatz geändert.\r"
                  "Möchten Sie ihn trotzdem überschreiben?",
                  "Lunaris", QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(w.f.stored("Montag"), (QStringList{"Stuhl 1|KONT|08:00|08:30", "Stuhl 3|BEB|11:00|11:20"}));
    QVERIFY(w.f.ctx.state.Modified);
    QVERIFY(QFile::exists(w.copyPath()));
}

void TestRecovery::copyKeepsEveryField()
{
    RecoveryCopy copy;
    copy.day = "Mo „früh“ / 50%";
    copy.time = QDateTime(QDate(2026, 12, 8), QTime(14, 5));
    copy.host = "praxis-1";
    copy.treatment = "KONT";
    copy.blocks = {{"Stuhl 1", "KONT", "08:00", "08:30"}, {"Stuhl 2", QVariant(), "09:00", QVariant()}};
    copy.onScreen.day = copy.day;
    copy.onScreen.rowIds = {7, 9007199254740993}; // beyond what a JSON number holds exactly
    copy.onScreen.stored = {{7, {"Stuhl 1", "KONT", "08:00", "08:30"}}};
    copy.onScreen.unshown = {{9007199254740993, {"Stuhl 9", "ALT", "07:00", "07:10"}}};
    copy.onScreen.listed = true;
    copy.onScreen.complete = false;
    copy.onScreen.chairs = {"Stuhl 1", "Stuhl 2"};
    const RecoveryCopy back = RecoveryCopy::decode(copy.encode());
    QCOMPARE(back.day, copy.day);
    QCOMPARE(back.time, copy.time);
    QCOMPARE(back.host, copy.host);
    QCOMPARE(back.treatment, copy.treatment);
    QCOMPARE(back.blocks.size(), 2);
    QVERIFY(back.blocks[1].code.isNull() && back.blocks[1].endTime.isNull());
    QCOMPARE(back.blocks[1].startTime.toString(), QString("09:00"));
    QCOMPARE(back.onScreen.rowIds, copy.onScreen.rowIds);
    QVERIFY(sameStoredRows(back.onScreen.stored, copy.onScreen.stored));
    QVERIFY(sameStoredRows(back.onScreen.unshown, copy.onScreen.unshown));
    QCOMPARE(back.onScreen.listed, true);
    QCOMPARE(back.onScreen.complete, false);
    QCOMPARE(back.onScreen.chairs, copy.onScreen.chairs);
    QVERIFY(!back.onScreen.stamp.isValid());
    QVERIFY_THROWS_EXCEPTION(LunarisError, RecoveryCopy::decode("[]"));
}

void TestRecovery::killedAtRandomMoments()
{
    // Kills a workstation building a day at random moments, also while it writes its copy; the copy
    // then holds the blocks of the last step, or of the one before when the kill came before its copy
    // was complete, and never a mixture.
    for (int round = 0; round < 6; ++round) {
        Workstation w;
        w.f.window.reset();
        QProcess helper;
        helper.setProgram(RECOVERY_HELPER);
        helper.setArguments({w.f.ctx.tempDatabase.path(), w.home.path(), QString::number(round % 2 ? 0 : 15)});
        helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        helper.start();
        QVERIFY(helper.waitForStarted());
        QDeadlineTimer until(300 + QRandomGenerator::global()->bounded(2500));
        int steps = 0, copies = 0;
        QByteArray pending;
        const auto readLines = [&] {
            pending += helper.readAllStandardOutput();
            for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
                const QList<QByteArray> words = pending.left(end).split(' ');
                pending.remove(0, end + 1);
                if (words.value(0) == "SCHRITT")
                    steps = words.value(1).toInt();
                else if (words.value(0) == "GESICHERT")
                    copies = words.value(1).toInt();
                else
                    QFAIL(qPrintable("unexpected: " + words.join(' ')));
            }
        };
        while (!until.hasExpired() && helper.state() == QProcess::Running) {
            helper.waitForReadyRead(10);
            readLines();
        }
        QCOMPARE(helper.state(), QProcess::Running);
#ifdef Q_OS_WIN
        helper.kill(); // TerminateProcess: no chance to clean up either
#else
        ::kill(pid_t(helper.processId()), SIGKILL);
#endif
        QVERIFY(helper.waitForFinished());
        readLines();
        QVERIFY2(steps > 0, "no step made before the kill");

        std::optional<RecoveryCopy> copy = RecoveryFile(w.home.path(), QSysInfo::machineHostName()).read();
        const int kept = copy ? int(copy->blocks.size()) : 0;
        QVERIFY2(kept == steps || (kept == steps - 1 && copies < steps),
                 qPrintable(QString("%1 blocks kept after step %2 (copy %3)").arg(kept).arg(steps).arg(copies)));
        if (!copy)
            continue;
        // Exactly the first blocks placed: chairs in turn, a row further down every three steps.
        QStringList expected;
        for (int step = 0; step < kept; ++step)
            expected.append(
                QString("Stuhl %1|%2").arg(step % 3 + 1).arg(QTime(8, 0).addSecs(step / 3 * 600).toString("HH:mm")));
        QStringList inCopy;
        for (const TemplateRow& row : copy->blocks)
            inCopy.append(row.chair + '|' + row.startTime.toString());
        inCopy.sort();
        expected.sort();
        QCOMPARE(inCopy, expected);
        // At the next start Wiederherstellen puts them on screen.
        w.f.start();
        w.f.ctx.messages.answerChoice(0);
        w.f.window->offerRecovery();
        int shown = 0;
        for (int chair = 0; chair < 3; ++chair)
            shown += int(w.f.onScreen(chair).size());
        QCOMPARE(shown, kept);
        QVERIFY(w.f.ctx.state.Modified);
    }
}

LUNARIS_TEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
