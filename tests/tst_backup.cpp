#include "MainWindowFixture.h"
#include "NameDialogs.h"
#include "TestMain.h"
#include "TestPaths.h"
#include "TestServer.h"
#include "commands/BackupCommands.h"
#include "commands/frmDatensicherung.h"
#include "commands/frmVersionen.h"
#include "editing/OpenDay.h"
#include "kernel/LunarisError.h"
#include "store/BackupReader.h"
#include "store/BackupRotation.h"
#include "store/Database.h"
#include "store/DayVersions.h"
#include "store/PracticeBackup.h"
#include "store/Tables.h"
#include "ui/NoticeBar.h"

#include <QAction>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <functional>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {
QDateTime at(const QString& text)
{
    return QDateTime::fromString(text, "yyyy-MM-dd HH:mm");
}

QList<QDateTime> times(const QStringList& texts)
{
    QList<QDateTime> result;
    for (const QString& text : texts)
        result.append(at(text));
    return result;
}

// A small file system of its own at `path` (root only; tmpfs with these options); unmounted with the object.
class Mount {
public:
    Mount(const QString& path, const QString& options) : m_path(path)
    {
#ifdef Q_OS_WIN
        Q_UNUSED(options) // Windows mounts no tmpfs: the cases that need one report it
        m_mounted = false;
#else
        m_mounted = ::geteuid() == 0 && QProcess::execute("mount", {"-t", "tmpfs", "-o", options, "tmpfs", path}) == 0;
#endif
    }
    ~Mount()
    {
        if (m_mounted)
            QProcess::execute("umount", {m_path});
    }
    bool mounted() const
    {
        return m_mounted;
    }

private:
    QString m_path;
    bool m_mounted = false;
};

// Fills the practice file with `rows` rows of Template in days of 200 rows, as the benchmarks' largest practice.
void fillPractice(TempDatabase& db, int rows)
{
    db.exec("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < ?) "
            "INSERT INTO Template (IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT) "
            "SELECT 'Tag ' || (i / 200), 'Stuhl ' || (i % 10 + 1), 'KONT', "
            "printf('%02d:%02d', 7 + (i / 10 % 20) / 2, (i / 10 % 2) * 30), "
            "printf('%02d:%02d', 7 + (i / 10 % 20) / 2, (i / 10 % 2) * 30 + 20) FROM n",
            {rows});
    db.exec("INSERT INTO Idealtag (IDEALTAG) SELECT DISTINCT IDEALTAG FROM Template");
}

// The practice database "kavemo" on the test server, new and empty, as a workstation reaches it.
std::unique_ptr<Database> serverPractice()
{
    TestServer::createDatabase("kavemo");
    ServerAddress address = TestServer::tcpAddress("kavemo");
    address.host = qEnvironmentVariable("LUNARIS_PG_SOCKET");
    return std::make_unique<Database>(address, "sicherung-server");
}

QStringList backupNames(const QString& folder)
{
    return QDir(folder).entryList({"*"}, QDir::Files, QDir::Name);
}
} // namespace

class TestBackup : public QObject {
    Q_OBJECT
private slots:
    void rotation_data();
    void rotation();
    void rotatedInTheFolder_data();
    void rotatedInTheFolder();
    void partsOfBackupsCutShort_data();
    void partsOfBackupsCutShort();
    void folderChoice_data();
    void folderChoice();
    void consistentWhileAnotherProgramWrites();
    void failuresAreReported_data();
    void failuresAreReported();
    void firstCloseOfTheDay();
    void closeFailureToldOnceADay_data();
    void closeFailureToldOnceADay();
    void madeFromTheMenu();
    void restoredFromABackup_data();
    void restoredFromABackup();
    void serverTablesBackedUpAndRestored();
    void versionOfAGoneChairKeepsItsRows();
    void restoreTellsWhichDaysCameBack_data();
    void restoreTellsWhichDaysCameBack();
    void ownRestoreIsNoChangeElsewhere_data();
    void ownRestoreIsNoChangeElsewhere();
    void serverBackupIsOneState();
};

void TestBackup::rotation_data()
{
    QTest::addColumn<QStringList>("backups");
    QTest::addColumn<QString>("now");
    QTest::addColumn<QStringList>("expired");
    QStringList daily;
    for (int day = 1; day <= 12; ++day)
        daily.append(QString("2026-12-%1 18:00").arg(day, 2, 10, QChar('0')));
    QTest::newRow("ten or fewer: all kept") << daily.mid(0, 10) << "2026-12-12 18:00" << QStringList();
    // The 1st is the month's first: kept; the 2nd is the oldest of the rest.
    QTest::newRow("twelve in one month: the second goes")
        << daily << "2026-12-12 18:00" << QStringList{"2026-12-02 18:00"};
    // December 2025 is the thirteenth month back.
    QTest::newRow("first of each month for twelve months")
        << (QStringList{"2025-11-03 18:00", "2025-12-01 09:00", "2025-12-20 18:00", "2026-01-02 18:00"} + daily)
        << "2026-12-12 18:00"
        << QStringList{"2025-11-03 18:00", "2025-12-01 09:00", "2025-12-20 18:00", "2026-12-02 18:00"};
    QTest::newRow("two the same day: the earlier is the month's first")
        << QStringList{"2026-06-01 08:00", "2026-06-01 18:00"} << "2026-12-12 18:00" << QStringList();
    QTest::newRow("a year gone: only the newest ten stay")
        << daily << "2028-01-01 00:00" << QStringList{"2026-12-01 18:00", "2026-12-02 18:00"};
}

void TestBackup::rotation()
{
    QFETCH(QStringList, backups);
    QFETCH(QString, now);
    QFETCH(QStringList, expired);
    QCOMPARE(BackupRotation::expired(times(backups), at(now)), times(expired));
    // The names carry the minute, and nothing else reads as a backup.
    for (const QDateTime& time : times(backups))
        QCOMPARE(BackupRotation::timeOf(BackupRotation::fileName(time)), time);
    QCOMPARE(BackupRotation::fileName(at("2026-12-08 14:05")), QString("Kavemo-2026-12-08-1405.mdb"));
    QVERIFY(!BackupRotation::timeOf("Kavemo.mdb"));
    QVERIFY(!BackupRotation::timeOf("Kavemo-2026-13-08-1405.mdb"));
    QVERIFY(!BackupRotation::timeOf("Kavemo-2026-12-08-1405.mdb.teil"));
}

void TestBackup::rotatedInTheFolder_data()
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("file") << "file";
    QTest::newRow("server") << "server";
}

// Each new backup removes from its folder the ones no longer kept, whichever database it copies, and
// leaves every other file there alone.
void TestBackup::rotatedInTheFolder()
{
    QFETCH(QString, backend);
    TempDatabase practice;
    std::unique_ptr<Database> server;
    if (backend == "server") {
        SKIP_WITHOUT_SERVER();
        server = serverPractice();
    }
    QTemporaryDir folder;
    QStringList before{"2025-11-03 18:00"};
    for (int day = 1; day <= 12; ++day)
        before.append(QString("2026-12-%1 18:00").arg(day, 2, 10, QChar('0')));
    for (const QDateTime& time : times(before)) {
        QFile old(folder.filePath(BackupRotation::fileName(time)));
        QVERIFY(old.open(QIODevice::WriteOnly));
    }
    QFile other(folder.filePath("Kavemo-Notizen.mdb"));
    QVERIFY(other.open(QIODevice::WriteOnly));
    PracticeBackup(server ? *server : practice.database(), {folder.path(), false}).make(at("2026-12-13 18:00"));
    // The newest ten, and the first of December; November 2025 is thirteen months back.
    QStringList kept{"Kavemo-2026-12-01-1800.mdb", "Kavemo-Notizen.mdb"};
    for (int day = 4; day <= 13; ++day)
        kept.append(QString("Kavemo-2026-12-%1-1800.mdb").arg(day, 2, 10, QChar('0')));
    kept.sort();
    QCOMPARE(backupNames(folder.path()), kept);
}

void TestBackup::partsOfBackupsCutShort_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("minutesOld"); // last written to, before the new backup
    QTest::addColumn<bool>("removed");
    QTest::newRow("a day and a minute old") << "Kavemo-2026-12-10-1800.mdb.teil" << 24 * 60 + 1 << true;
    QTest::newRow("a week old") << "Kavemo-2026-12-06-0900.mdb.teil" << 7 * 24 * 60 << true;
    // Perhaps another workstation's backup under way.
    QTest::newRow("just under a day old") << "Kavemo-2026-12-12-1801.mdb.teil" << 24 * 60 - 1 << false;
    QTest::newRow("not named like a backup") << "Kavemo-Notizen.mdb.teil" << 7 * 24 * 60 << false;
    QTest::newRow("not a part") << "Kavemo-2026-12-06-0900.mdb.alt" << 7 * 24 * 60 << false;
}

void TestBackup::partsOfBackupsCutShort()
{
    QFETCH(QString, name);
    QFETCH(int, minutesOld);
    QFETCH(bool, removed);
    TempDatabase practice;
    QTemporaryDir folder;
    const QDateTime now = at("2026-12-13 18:00");
    QFile part(folder.filePath(name));
    QVERIFY(part.open(QIODevice::WriteOnly));
    part.write(QByteArray(4096, 'x'));
    QVERIFY(part.flush()); // a later write would set the time again
    QVERIFY(part.setFileTime(now.addSecs(-60 * minutesOld), QFileDevice::FileModificationTime));
    part.close();
    PracticeBackup(practice.database(), {folder.path(), false}).make(now);
    QStringList left{"Kavemo-2026-12-13-1800.mdb"};
    if (!removed)
        left.append(name);
    left.sort();
    QCOMPARE(backupNames(folder.path()), left);
}

void TestBackup::folderChoice_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("folder"); // "default": beside the practice file
    // Absolute paths on either system: without a drive, Windows puts the current one before them.
#ifdef Q_OS_WIN
    const QString drive = "D:";
#else
    const QString drive;
#endif
    QTest::newRow("the program's setting") << drive + "/srv/sicher" << drive + "/srv/familie" << drive + "/srv/sicher";
    QTest::newRow("the dialog's default: the family's") << "c:\\" << drive + "/srv/familie" << drive + "/srv/familie";
    QTest::newRow("nothing usable set") << "C:\\"
                                        << "  "
                                        << "default";
    QTest::newRow("nothing set") << ""
                                 << ""
                                 << "default";
    QTest::newRow("a trailing separator") << "" << drive + "/srv/sicher/" << drive + "/srv/sicher";
#ifdef Q_OS_WIN
    QTest::newRow("a Windows path") << "D:\\Sicherung\\"
                                    << ""
                                    << "D:/Sicherung";
#endif
}

void TestBackup::folderChoice()
{
    QFETCH(QString, program);
    QFETCH(QString, family);
    QFETCH(QString, folder);
#ifdef Q_OS_WIN
    const QString practice = "D:/praxis/Kavemo.mdb";
#else
    const QString practice = "/praxis/Kavemo.mdb";
#endif
    const BackupPlace place = BackupPlace::choose({program, family}, practice);
    QCOMPARE(place.folder, folder == "default" ? QFileInfo(practice).dir().filePath("Sicherungen") : folder);
    QCOMPARE(place.isDefault, folder == "default");
}

void TestBackup::consistentWhileAnotherProgramWrites()
{
    TempDatabase practice;
    fillPractice(practice, 600000);
    // Another program writes a row of Template and its day's name in one transaction, again and again.
    QProcess writer;
    writer.setProcessChannelMode(QProcess::ForwardedChannels);
    writer.start(TestPaths::helper(QStringLiteral("datasafety_helper")), {"add-days", practice.path(), "400"});
    QVERIFY(writer.waitForStarted());
    QTemporaryDir folder;
    const QString path = PracticeBackup(practice.database(), {folder.path(), false}).make(at("2026-12-08 14:05"));
    QVERIFY(writer.waitForFinished(60000));
    QCOMPARE(writer.exitCode(), 0);
    QCOMPARE(path, folder.filePath("Kavemo-2026-12-08-1405.mdb"));
    QCOMPARE(backupNames(folder.path()), QStringList{"Kavemo-2026-12-08-1405.mdb"});
    // The copy is one state of the file: every new day with its row, and the whole practice.
    const Database copy(path, "sicherung-gelesen");
    QSqlQuery q = copy.run("SELECT COUNT(*), SUM(IDEALTAG LIKE 'Neu %') FROM Template");
    QVERIFY(q.next());
    const int added = q.value(1).toInt();
    QCOMPARE(q.value(0).toInt(), 600000 + added);
    QCOMPARE(PracticeBackup::dayCount(path), 3000 + added);
}

void TestBackup::failuresAreReported_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason");
    for (const char* backend : {"file", "server"}) {
        QTest::addRow("%s, folder missing", backend) << backend << "missing"
                                                     << "Der Sicherungsordner „%1“ ist nicht vorhanden.";
        QTest::addRow("%s, read-only", backend) << backend << "ro"
                                                << "In den Sicherungsordner „%1“ darf nicht geschrieben werden.";
        QTest::addRow("%s, disk full", backend)
            << backend << "size=64k"
            << "Auf dem Datenträger des Sicherungsordners „%1“ ist nicht genug Platz.";
    }
    // SQLite's own (English) words only on the detail line.
    QTest::newRow("file, a folder in the way of the backup's part")
        << "file"
        << "blocked"
        << "Die Datensicherung kann im Sicherungsordner „%1“ nicht angelegt werden.";
}

void TestBackup::failuresAreReported()
{
    QFETCH(QString, backend);
    QFETCH(QString, fault);
    QFETCH(QString, reason);
    TempDatabase practice;
    std::unique_ptr<Database> server;
    if (backend == "server") {
        SKIP_WITHOUT_SERVER();
        server = serverPractice();
        // More than the small file system takes.
        server->run("INSERT INTO Template (IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT) SELECT 'Tag ' || (i / 200), "
                    "'Stuhl 1', 'KONT', '08:00', '08:20' FROM generate_series(0, 19999) AS i");
    } else {
        fillPractice(practice, 20000);
    }
    QTemporaryDir root;
    const QString folder = root.filePath("sicherung");
    std::unique_ptr<Mount> mount;
    if (fault == "blocked") {
        QVERIFY(QDir().mkpath(QDir(folder).filePath("Kavemo-2026-12-08-1405.mdb.teil")));
    } else if (fault != "missing") {
        QVERIFY(QDir().mkpath(folder));
        mount = std::make_unique<Mount>(folder, fault);
        if (!mount->mounted())
            QSKIP("a small file system of its own needs root");
    }
    try {
        PracticeBackup(server ? *server : practice.database(), {folder, false}).make(at("2026-12-08 14:05"));
        QFAIL("no failure");
    } catch (const LunarisError& e) {
        QCOMPARE(e.description().section('\r', 0, 0), reason.arg(QDir::toNativeSeparators(folder)));
        QCOMPARE(e.description().contains('\r'), fault == "blocked");
    }
    QCOMPARE(backupNames(folder), QStringList());
}

void TestBackup::firstCloseOfTheDay()
{
    MainWindowFixture f(2);
    f.ctx.tempSettings.write("Lunaris", "Programm", "Backup", "c:\\");
    f.start();
    BackupCommands& backups = f.window->backups();
    const QString folder = QFileInfo(f.ctx.tempDatabase.path()).dir().filePath("Sicherungen");
    QCOMPARE(backups.place().folder, folder);
    QCOMPARE(backups.atClose(at("2026-12-08 12:00")), QString());
    QCOMPARE(backups.atClose(at("2026-12-08 18:30")), QString());
    QCOMPARE(backups.atClose(at("2026-12-09 18:30")), QString());
    QCOMPARE(backupNames(folder), (QStringList{"Kavemo-2026-12-08-1200.mdb", "Kavemo-2026-12-09-1830.mdb"}));
}

void TestBackup::closeFailureToldOnceADay_data()
{
    // Closes and starts in their order: "close <time>" (the backup fails while the folder is missing,
    // "close <time> ok" with the folder there), "start <time>" (told: the box's time, or "-" for nothing).
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("told at the next start")
        << QStringList{"close 2026-12-08 18:30", "start 2026-12-09 07:50 08.12.2026 18:30"};
    QTest::newRow("not again at the same day's next start")
        << QStringList{"close 2026-12-08 12:00", "start 2026-12-08 12:05 08.12.2026 12:00", "close 2026-12-08 12:30",
                       "start 2026-12-08 13:00 -", "start 2026-12-09 07:50 08.12.2026 12:30"};
    QTest::newRow("past once a backup succeeded")
        << QStringList{"close 2026-12-08 12:00", "close 2026-12-08 18:30 ok", "start 2026-12-09 07:50 -"};
}

void TestBackup::closeFailureToldOnceADay()
{
    QFETCH(QStringList, steps);
    MainWindowFixture f(2);
    QTemporaryDir root;
    const QString folder = root.filePath("Laufwerk/Sicherung");
    f.ctx.tempSettings.write("Lunaris", "Programm", "Backup", folder);
    f.start();
    const QString reason =
        QString("Der Sicherungsordner „%1“ ist nicht vorhanden.").arg(QDir::toNativeSeparators(folder));
    for (const QString& step : steps) {
        const QStringList parts = step.split(' ');
        const QDateTime when = at(parts[1] + ' ' + parts[2]);
        if (parts[0] == "close") {
            const bool ok = parts.size() > 3;
            QVERIFY(ok ? QDir().mkpath(folder) : QDir(folder).removeRecursively());
            QCOMPARE(f.window->backups().atClose(when), ok ? QString() : reason);
            continue;
        }
        QString status;
        const bool told = parts[3] != "-";
        if (told)
            f.ctx.messages.answer(QMessageBox::Ok);
        f.window->backups().tellCloseFailure(
            f.window.get(), [&](const QString& text) { status = text; }, when);
        if (told)
            f.expectBox(
                QString("Die Datensicherung beim Beenden am %1 %2 ist fehlgeschlagen.\r").arg(parts[3], parts[4]) +
                    reason,
                "Datensicherung", QMessageBox::Warning);
        QCOMPARE(status, told ? "Datensicherung fehlgeschlagen: " + reason : QString());
        // The scripted messages fail the test on a box nobody expected.
        f.expectNothingPending();
    }
}

void TestBackup::madeFromTheMenu()
{
    MainWindowFixture f(2);
    QTemporaryDir folder;
    f.ctx.tempSettings.write("Kavemo", "Programm", "Backup", folder.path());
    f.start();
    f.ctx.messages.answer(QMessageBox::Ok);
    f.action("mnuFileBackup")->trigger();
    const QStringList names = backupNames(folder.path());
    QCOMPARE(names.size(), 1);
    f.expectBox("Die Datensicherung wurde erstellt:\r" + QDir::toNativeSeparators(folder.filePath(names.first())),
                "Datensicherung", QMessageBox::Information);
    QCOMPARE(f.window->findChild<QLabel*>("sbStatusBar_Panel1")->text(), "Datensicherung erstellt: " + names.first());

    // The folder gone (a network drive not there): the user is told why; the next try works again.
    QVERIFY(QDir(folder.path()).removeRecursively());
    f.ctx.messages.answer(QMessageBox::Ok);
    f.action("mnuFileBackup")->trigger();
    f.expectBox(QString("Die Datensicherung ist fehlgeschlagen.\rDer Sicherungsordner „%1“ ist nicht vorhanden.")
                    .arg(QDir::toNativeSeparators(folder.path())),
                "Datensicherung", QMessageBox::Warning);
    f.expectNothingPending();
}

namespace {
// Datei → Aus Datensicherung holen..., the newest backup, these days, Ja; the answer box is the caller's.
// `look` sees the dialog once the backup is chosen, before the days are.
void restoreFromMenu(MainWindowFixture& f, const QStringList& days,
                     const std::function<void(frmDatensicherung&)>& look = {})
{
    f.ctx.modals.handleNext([days, look](QDialog& dialog) {
        auto& restore = static_cast<frmDatensicherung&>(dialog);
        restore.backupList()->setCurrentItem(restore.backupList()->topLevelItem(0));
        if (look)
            look(restore);
        restore.dayList()->clearSelection();
        for (int i = 0; i < restore.dayList()->topLevelItemCount(); ++i)
            restore.dayList()->topLevelItem(i)->setSelected(days.contains(restore.dayList()->topLevelItem(i)->text(0)));
        restore.restoreButton()->click();
    });
    f.ctx.messages.answer(QMessageBox::Yes);
    f.ctx.messages.answer(QMessageBox::Ok);
    f.action("mnuFileRestore")->trigger();
}
} // namespace

void TestBackup::restoredFromABackup_data()
{
    QTest::addColumn<QStringList>("days");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("told");
    QTest::newRow("one day") << QStringList{"Montag"} << "den Idealtag „Montag“"
                             << "Zurückgeholt: „Montag“.";
    QTest::newRow("two days, one with a chair gone since")
        << QStringList{"Montag", "Dienstag"} << "die Idealtage „Montag“, „Dienstag“"
        << "Zurückgeholt: „Montag“, „Dienstag“.\r1 Block gehört zu einem Stuhl, den es nicht mehr gibt: Er wurde "
           "übernommen und wird als „nicht angezeigt“ geführt.";
}

void TestBackup::restoredFromABackup()
{
    QFETCH(QStringList, days);
    QFETCH(QString, question);
    QFETCH(QString, told);
    MainWindowFixture f(3);
    QTemporaryDir folder;
    f.ctx.tempSettings.write("Lunaris", "Programm", "Backup", folder.path());
    TempDatabase& db = f.ctx.tempDatabase;
    db.addTreatment("KONT", 30);
    db.addDayName("Montag");
    db.addBlock("Montag", "Stuhl 1", "KONT", "08:00", "08:30");
    db.addDayName("Dienstag");
    db.addBlock("Dienstag", "Stuhl 1", "KONT", "09:00", "09:30");
    db.addBlock("Dienstag", "Stuhl 3", "KONT", "10:00", "10:30");
    f.start();
    f.ctx.messages.answer(QMessageBox::Ok);
    f.action("mnuFileBackup")->trigger();
    const QStringList backups = backupNames(folder.path());
    QCOMPARE(backups.size(), 1);

    // Since the backup: Montag changed, Dienstag deleted, and chair 3 gone from the table.
    db.exec("UPDATE Template SET STARTZEIT = '11:00', ENDZEIT = '11:30' WHERE IDEALTAG = 'Montag'");
    db.exec("DELETE FROM Template WHERE IDEALTAG = 'Dienstag'");
    db.exec("DELETE FROM Idealtag WHERE IDEALTAG = 'Dienstag'");
    db.exec("DELETE FROM Stuhl WHERE STUHL = 'Stuhl 3'");

    restoreFromMenu(f, days, [&](frmDatensicherung& restore) {
        QCOMPARE(restore.windowTitle(), QString("Aus Datensicherung holen"));
        QTreeWidgetItem* backup = restore.backupList()->topLevelItem(0);
        QCOMPARE(backup->text(0), frmDatensicherung::timeText(*BackupRotation::timeOf(backups.first())));
        QCOMPARE(backup->text(2), QString("2"));
        QCOMPARE(restore.dayList()->topLevelItemCount(), 2);
        QCOMPARE(restore.dayList()->topLevelItem(1)->text(1), QString("2")); // Dienstag's blocks
        restore.dayList()->setCurrentItem(restore.dayList()->topLevelItem(1));
        QCOMPARE(restore.rows()->rowCount(), 2);
        QCOMPARE(restore.rows()->item(1, 0)->text(), QString("Stuhl 3"));
    });
    const QList<MessageRequest> shown = f.ctx.messages.shown();
    QCOMPARE(shown.size(), 3);
    compareBox(shown.at(shown.size() - 2),
               QString("Möchten Sie %1 aus der Datensicherung vom %2 zurückholen?\rDie jetzt gespeicherte Fassung "
                       "bleibt als Version erhalten (Datei → Versionen).")
                   .arg(question, frmDatensicherung::timeText(*BackupRotation::timeOf(backups.first()))),
               "Aus Datensicherung holen", QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(shown.at(shown.size() - 2).defaultButton, QMessageBox::No);
    f.expectBox(told, "Aus Datensicherung holen", QMessageBox::Information);

    QCOMPARE(f.stored("Montag"), QStringList{"Stuhl 1|KONT|08:00|08:30"});
    QCOMPARE(f.stored("Dienstag"), days.contains("Dienstag")
                                       ? (QStringList{"Stuhl 1|KONT|09:00|09:30", "Stuhl 3|KONT|10:00|10:30"})
                                       : QStringList());
    QCOMPARE(f.dayNames().contains("Dienstag"), days.contains("Dienstag"));
    // The replaced Montag is the newest version: the restore can be undone from there.
    const QList<DayVersion> versions = DayVersionTable(db.database()).versionsOf("Montag");
    QVERIFY(!versions.isEmpty());
    QCOMPARE(versions.first().rows.size(), 1);
    QCOMPARE(versions.first().rows.first().startTime.toString(), QString("11:00"));

    // Undone as a user would: Datei → Versionen, the newest version of Montag, Wiederherstellen, Speichern
    // (with chair 3 back, so that the day opens in every column).
    db.addChair("Stuhl 3");
    f.ctx.modals.handleNext(openName("Montag"));
    f.action("mnuFileOpen")->trigger();
    f.ctx.modals.handleNext([](QDialog& dialog) {
        auto& list = static_cast<frmVersionen&>(dialog);
        QTreeWidgetItem* montag = list.list()->topLevelItem(0);
        QCOMPARE(montag->text(0), QString("„Montag“"));
        list.list()->setCurrentItem(montag->child(0));
        QCOMPARE(list.rows()->item(0, 2)->text(), QString("11:00"));
        list.restoreButton()->click();
    });
    f.action("mnuFileVersions")->trigger();
    QCOMPARE(f.onScreen(0), QStringList{"11:00-11:30 KONT"});
    f.action("mnuFileSave")->trigger();
    QCOMPARE(f.stored("Montag"), QStringList{"Stuhl 1|KONT|11:00|11:30"});
    // And the restored state in turn is a version.
    QCOMPARE(DayVersionTable(db.database()).versionsOf("Montag").first().rows.first().startTime.toString(),
             QString("08:00"));
    f.expectNothingPending();
}

void TestBackup::serverTablesBackedUpAndRestored()
{
    SKIP_WITHOUT_SERVER();
    const std::unique_ptr<Database> practice = serverPractice();
    const Database& server = *practice;
    server.run("INSERT INTO Stuhl (STUHL, TEXT) VALUES ('Stuhl 1', 'vorne')");
    server.run("INSERT INTO Behand (BEH, DAUER, HON) VALUES ('KONT', 30, 12.5)");
    IdealDayStore(server).replaceDay("Montag", {{"Stuhl 1", "KONT", "08:00", "08:30"}});
    IdealDayStore(server).replaceDay("Montag", {{"Stuhl 1", "KONT", "09:00", "09:30"}});
    QTemporaryDir folder;
    const QString path = PracticeBackup(server, {folder.path(), false}).make(at("2026-12-08 14:05"));
    QCOMPARE(backupNames(folder.path()), QStringList{"Kavemo-2026-12-08-1405.mdb"});
    {
        // A practice file Lunaris opens: the tables, their rows in order, and the day's versions.
        const Database copy(path, "sicherung-vom-server");
        QCOMPARE(IdealDayStore(copy).blocksOfDay("Montag").size(), 1);
        QCOMPARE(IdealDayStore(copy).blocksOfDay("Montag").first().startTime.toString(), QString("09:00"));
        QCOMPARE(ChairTable(copy).names(), QStringList{"Stuhl 1"});
        QCOMPARE(TreatmentTable(copy).codes(), QStringList{"KONT"});
        QCOMPARE(DayVersionTable(copy).versionsOf("Montag").size(), 1);
    }
    // Back onto the server after a change: the changed day becomes a version there.
    IdealDayStore(server).replaceDay("Montag", {{"Stuhl 1", "KONT", "10:00", "10:30"}});
    const BackupReader::Restored restored = BackupReader(path).restoreInto(server, {"Montag"});
    QCOMPARE(restored.days, QStringList{"Montag"});
    QCOMPARE(restored.strangers.chairs + restored.strangers.treatments, 0);
    QCOMPARE(IdealDayStore(server).blocksOfDay("Montag").first().startTime.toString(), QString("09:00"));
    QCOMPARE(DayVersionTable(server).versionsOf("Montag").first().rows.first().startTime.toString(), QString("10:00"));
}

void TestBackup::versionOfAGoneChairKeepsItsRows()
{
    // A version from before Stuhl 3 was deleted (its entries kept), with a row before the opening time.
    MainWindowFixture f(3);
    TempDatabase& db = f.ctx.tempDatabase;
    db.addTreatment("KONT", 30);
    IdealDayStore(db.database())
        .replaceDay("Montag", {{"Stuhl 1", "KONT", "08:00", "08:30"},
                               {"Stuhl 3", "KONT", "10:00", "10:30"},
                               {"Stuhl 1", "KONT", "06:00", "06:30"}});
    IdealDayStore(db.database()).replaceDay("Montag", {{"Stuhl 1", "KONT", "11:00", "11:30"}});
    db.exec("DELETE FROM Stuhl WHERE STUHL = 'Stuhl 3'");
    f.start();
    f.ctx.modals.handleNext(openName("Montag"));
    f.action("mnuFileOpen")->trigger();
    f.ctx.modals.handleNext([](QDialog& dialog) {
        auto& list = static_cast<frmVersionen&>(dialog);
        list.list()->setCurrentItem(list.list()->topLevelItem(0)->child(0));
        list.restoreButton()->click();
    });
    f.action("mnuFileVersions")->trigger();

    // What fits is shown; the rest is named, kept and stored by the next save.
    QCOMPARE(f.onScreen(0), QStringList{"08:00-08:30 KONT"});
    const QString notice = "2 Blöcke werden nicht angezeigt: KONT Stuhl 3 10:00, KONT Stuhl 1 06:00";
    QCOMPARE(f.window->findChild<QLabel*>("sbStatusBar_Panel1")->text(), "Nicht gespeichert – " + notice);
    f.action("mnuFileSave")->trigger();
    QCOMPARE(f.stored("Montag"),
             QStringList({"Stuhl 1|KONT|08:00|08:30", "Stuhl 3|KONT|10:00|10:30", "Stuhl 1|KONT|06:00|06:30"}));
    // Saved again, they are not written twice; undone, the day before the restore comes back whole.
    f.window->openDay().history().undo();
    QCOMPARE(f.onScreen(0), QStringList{"11:00-11:30 KONT"});
    f.action("mnuFileSave")->trigger();
    QCOMPARE(f.stored("Montag"), QStringList{"Stuhl 1|KONT|11:00|11:30"});
    f.expectNothingPending();
}

void TestBackup::restoreTellsWhichDaysCameBack_data()
{
    QTest::addColumn<QString>("refused");      // the day whose rows the practice file refuses; empty: none
    QTest::addColumn<QStringList>("cameBack"); // the days stored as in the backup afterwards
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("icon");
    const QString rule = "Die Daten verletzen eine Regel der Tabelle.";
    QTest::newRow("all three") << "" << QStringList{"Montag", "Dienstag", "Mittwoch"}
                               << "Zurückgeholt: „Montag“, „Dienstag“, „Mittwoch“." << int(QMessageBox::Information);
    QTest::newRow("the second refused") << "Dienstag" << QStringList{"Montag"}
                                        << "Zurückgeholt: „Montag“.\rNicht zurückgeholt (unverändert): „Dienstag“, "
                                           "„Mittwoch“.\r" +
                                               rule
                                        << int(QMessageBox::Warning);
    QTest::newRow("the first refused") << "Montag" << QStringList{}
                                       << "Die Idealtage konnten nicht zurückgeholt werden.\r" + rule
                                       << int(QMessageBox::Critical);
    // A chosen folder not there is a network drive not connected; the program's own is made with the first backup.
    QTest::newRow("the chosen folder missing")
        << "" << QStringList{} << "Der Sicherungsordner „%1“ ist nicht vorhanden." << int(QMessageBox::Warning);
    QTest::newRow("the program's own folder not made yet")
        << "" << QStringList{} << "Im Sicherungsordner „%1“ gibt es keine Datensicherung."
        << int(QMessageBox::Information);
}

void TestBackup::restoreTellsWhichDaysCameBack()
{
    QFETCH(QString, refused);
    QFETCH(QStringList, cameBack);
    QFETCH(QString, text);
    QFETCH(int, icon);
    MainWindowFixture f(2);
    QTemporaryDir root;
    TempDatabase& db = f.ctx.tempDatabase;
    const bool ownFolder = text.startsWith("Im Sicherungsordner");
    const QString folder = ownFolder ? QFileInfo(db.path()).dir().filePath("Sicherungen") : root.filePath("Sicherung");
    f.ctx.tempSettings.write("Lunaris", "Programm", "Backup", ownFolder ? "c:\\" : folder);
    QVERIFY(QDir().mkpath(folder));
    db.addTreatment("KONT", 30);
    const QStringList days{"Montag", "Dienstag", "Mittwoch"};
    for (const QString& day : days) {
        db.addDayName(day);
        db.addBlock(day, "Stuhl 1", "KONT", "08:00", "08:30");
    }
    f.start();
    f.ctx.messages.answer(QMessageBox::Ok);
    f.action("mnuFileBackup")->trigger();
    db.exec("UPDATE Template SET STARTZEIT = '11:00', ENDZEIT = '11:30'");
    if (!refused.isEmpty()) // a trigger takes no bound values; the day's name is the test's own
        db.exec(QString("CREATE TRIGGER keep BEFORE INSERT ON Template WHEN NEW.IDEALTAG = '%1' BEGIN "
                        "SELECT RAISE(ABORT, 'gesperrt'); END")
                    .arg(refused));
    const bool missing = text.contains("%1");
    if (missing) {
        QVERIFY(QDir(folder).removeRecursively());
        f.ctx.messages.answer(QMessageBox::Ok);
        f.action("mnuFileRestore")->trigger();
        text = text.arg(QDir::toNativeSeparators(folder));
    } else {
        restoreFromMenu(f, days);
    }
    f.expectBox(text, "Aus Datensicherung holen", QMessageBox::Icon(icon));
    for (const QString& day : days)
        QCOMPARE(f.stored(day).value(0),
                 cameBack.contains(day) ? QString("Stuhl 1|KONT|08:00|08:30") : QString("Stuhl 1|KONT|11:00|11:30"));
    f.expectNothingPending();
}

void TestBackup::ownRestoreIsNoChangeElsewhere_data()
{
    QTest::addColumn<bool>("modified");
    QTest::newRow("unmodified: read again") << false;
    QTest::newRow("modified: the edits stay, the bar tells") << true;
}

void TestBackup::ownRestoreIsNoChangeElsewhere()
{
    QFETCH(bool, modified);
    MainWindowFixture f(2);
    QTemporaryDir folder;
    f.ctx.tempSettings.write("Lunaris", "Programm", "Backup", folder.path());
    TempDatabase& db = f.ctx.tempDatabase;
    db.addTreatment("KONT", 30);
    db.addDayName("Montag");
    db.addBlock("Montag", "Stuhl 1", "KONT", "08:00", "08:30");
    PracticeBackup(db.database(), {folder.path(), false}).make(QDateTime::currentDateTime());
    db.exec("UPDATE Template SET STARTZEIT = '11:00', ENDZEIT = '11:30'");
    f.start();
    f.ctx.modals.handleNext(openName("Montag"));
    f.action("mnuFileOpen")->trigger();
    QCOMPARE(f.onScreen(0), QStringList{"11:00-11:30 KONT"});
    if (modified)
        f.place(1, "09:00", "09:30", "KONT");
    QCOMPARE(f.window->openDay().isModified(), modified);

    restoreFromMenu(f, {"Montag"});
    f.expectBox("Zurückgeholt: „Montag“.", "Aus Datensicherung holen", QMessageBox::Information);
    QCOMPARE(f.stored("Montag"), QStringList{"Stuhl 1|KONT|08:00|08:30"});
    const QString status = f.window->findChild<QLabel*>("sbStatusBar_Panel1")->text();
    QVERIFY2(!status.contains("anderen Arbeitsplatz"), qPrintable(status));
    auto* bar = f.window->findChild<NoticeBar*>("barGeaendert");
    QCOMPARE(bar->isVisible(), modified);
    if (modified) {
        QCOMPARE(bar->text(), QString("„Montag“ wurde aus der Datensicherung zurückgeholt."));
        QCOMPARE(f.onScreen(0), QStringList{"11:00-11:30 KONT"});
        QCOMPARE(f.onScreen(1), QStringList{"09:00-09:30 KONT"});
    } else {
        QVERIFY2(status.startsWith("Aus der Datensicherung zurückgeholt "), qPrintable(status));
        QCOMPARE(f.onScreen(0), QStringList{"08:00-08:30 KONT"});
    }
    f.expectNothingPending();
}

void TestBackup::serverBackupIsOneState()
{
    SKIP_WITHOUT_SERVER();
    const std::unique_ptr<Database> practice = serverPractice();
    practice->run("INSERT INTO Stuhl (STUHL, TEXT) VALUES ('Stuhl 1', '')");
    IdealDayStore(*practice).replaceDay("Montag", {{"Stuhl 1", "KONT", "08:00", "08:30"}});
    ServerAddress address = TestServer::tcpAddress("kavemo");
    address.host = qEnvironmentVariable("LUNARIS_PG_SOCKET");
    const Database other(address, "sicherung-anderer-arbeitsplatz");
    QTemporaryDir folder;
    PracticeBackup backup(*practice, {folder.path(), false});
    // Another workstation stores a new day and changes Montag after the day names were read, before their rows.
    backup.setTableCopiedHook([&](const QString& table) {
        if (table != "Idealtag")
            return;
        IdealDayStore(other).replaceDay("Dienstag", {{"Stuhl 1", "KONT", "09:00", "09:30"}});
        IdealDayStore(other).replaceDay("Montag", {{"Stuhl 1", "KONT", "10:00", "10:30"}});
    });
    const QString path = backup.make(at("2026-12-08 14:05"));
    const Database copy(path, "sicherung-ein-stand");
    // The practice as it was when the backup began: no rows of a day it does not name, no version of a
    // state it does not hold.
    QCOMPARE(IdealtagTable(copy).names(), QStringList{"Montag"});
    QCOMPARE(IdealDayStore(copy).blocksOfDay("Dienstag").size(), 0);
    QCOMPARE(IdealDayStore(copy).blocksOfDay("Montag").first().startTime.toString(), QString("08:00"));
    QCOMPARE(DayVersionTable(copy).versionsOf("Montag").size(), 0);
    QCOMPARE(IdealDayStore(*practice).blocksOfDay("Dienstag").size(), 1);
}

LUNARIS_TEST_MAIN(TestBackup)
#include "tst_backup.moc"
