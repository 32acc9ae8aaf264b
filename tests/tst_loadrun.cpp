#include "FaultProxy.h"
#include "TestMain.h"
#include "TestPaths.h"
#include "TestServer.h"
#include "kernel/LunarisError.h"
#include "store/Database.h"
#include "store/DayVersions.h"
#include "store/PasswordFile.h"
#include "store/Tables.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace {
// One save as a workstation reported it.
struct Save {
    QString tag;
    QString day;
    QString expected; // the tag of the rows the workstation believed stored
    bool asked = false;
    QString outcome; // saved, refused, failed:<number>
};

struct Run {
    QHash<QString, Save> saves; // by tag
    int questions = 0;
    int failures = 0;
    qint64 longestMs = 0;
    QString longestWhat;
    int cuts = 0;
};

const QStringList Days{"Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};

// Several workstations for `seconds`; `fault` runs every tenth of a second with the time gone by.
void runWorkstations(Run& run, const QString& where, int count, double seconds, const QProcessEnvironment& env,
                     const std::function<void(double elapsed, Run&)>& fault)
{
    std::vector<std::unique_ptr<QProcess>> workstations;
    QTemporaryDir reports;
    const auto reportOf = [&](std::size_t i) { return reports.filePath(QStringLiteral("W%1").arg(i + 1)); };
    const auto readReport = [&](std::size_t i) {
        QFile file(reportOf(i));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    for (int i = 0; i < count; ++i) {
        auto& process = workstations.emplace_back(std::make_unique<QProcess>());
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(TestPaths::helper(QStringLiteral("load_workstation")),
                       {where, QStringLiteral("W%1").arg(i + 1), QString::number(seconds), QString::number(1000 + i),
                        Days.join(','), reportOf(std::size_t(i))});
        QVERIFY(process->waitForStarted());
    }
    // The faults begin once every workstation is logged in: on a busy machine or under Wine a start may take
    // longer than the first cut, and a login cut short ends the workstation before its run began.
    const QDeadlineTimer ready(60000);
    const auto isReady = [&](std::size_t i) {
        return readReport(i).startsWith("BEREIT") || workstations[i]->state() == QProcess::NotRunning;
    };
    for (std::size_t i = 0; i < workstations.size(); ++i)
        while (!ready.hasExpired() && !isReady(i))
            QTest::qWait(20);
    QElapsedTimer clock;
    clock.start();
    const auto running = [&] {
        return std::any_of(workstations.cbegin(), workstations.cend(),
                           [](const auto& p) { return p->state() != QProcess::NotRunning; });
    };
    while (running() && clock.elapsed() < (seconds + 60) * 1000) {
        QTest::qWait(100);
        fault(clock.elapsed() / 1000.0, run);
    }
    for (std::size_t i = 0; i < workstations.size(); ++i) {
        QProcess* process = workstations[i].get();
        process->waitForFinished(1000);
        QVERIFY2(process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0,
                 qPrintable(QString::number(process->exitCode())));
        const QByteArray output = readReport(i);
        QVERIFY2(output.contains("SUM\t"), qPrintable(QStringLiteral("a workstation ended without its sum (state %1, "
                                                                     "exit %2): %3")
                                                          .arg(process->state())
                                                          .arg(process->exitCode())
                                                          .arg(QString::fromUtf8(output.right(300)))));
        for (const QByteArray& line : output.split('\n')) {
            const QStringList f = QString::fromUtf8(line).split('\t');
            if (f.value(0) == "SAVE" && f.size() == 7)
                run.saves.insert(f[1], {f[1], f[2], f[3], f[4] == "1", f[5]});
            else if (f.value(0) == "SUM" && f.size() == 6) {
                run.questions += f[2].toInt();
                run.failures += f[3].toInt();
                if (f[4].toLongLong() > run.longestMs) {
                    run.longestMs = f[4].toLongLong();
                    run.longestWhat = f[5];
                }
            }
        }
    }
}

QString tagOf(const QList<TemplateRow>& rows)
{
    return rows.isEmpty() ? QString() : rows.first().code.toString();
}

// Every version as it is written, before the version limit prunes the oldest: the check of lost saves
// never has to give up on a day with many saves. `server` names the server's database; empty: the file.
void archiveEveryVersion(const Database& db, const QString& server)
{
    if (server.isEmpty()) {
        DayVersionTable::ensure(db);
        db.run("CREATE TABLE LastlaufArchiv (IDEALTAG TEXT, ZEILEN TEXT)");
        db.run("CREATE TRIGGER lastlauf_archiv AFTER INSERT ON IdealtagVersion BEGIN "
               "INSERT INTO LastlaufArchiv VALUES (NEW.IDEALTAG, NEW.ZEILEN); END");
        return;
    }
    QCOMPARE(TestServer::asAdmin(server, R"(SELECT to_regclass('"IdealtagVersion"') IS NOT NULL)"),
             QStringList{"true"});
    TestServer::asAdmin(server, R"(CREATE TABLE "LastlaufArchiv" ("IDEALTAG" text, "ZEILEN" text))");
    TestServer::asAdmin(server, R"(GRANT INSERT ON "LastlaufArchiv" TO PUBLIC)");
    TestServer::asAdmin(server, R"(CREATE FUNCTION lastlauf_archiv() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN
        INSERT INTO "LastlaufArchiv" VALUES (NEW."IDEALTAG", NEW."ZEILEN"); RETURN NULL; END $f$)");
    TestServer::asAdmin(server, R"(CREATE TRIGGER lastlauf_archiv AFTER INSERT ON "IdealtagVersion"
        FOR EACH ROW EXECUTE FUNCTION lastlauf_archiv())");
}

// The tags of every state the day ever had as a version.
QSet<QString> archivedTags(const Database& db, const QString& server, const QString& day)
{
    QStringList texts;
    if (server.isEmpty()) {
        QSqlQuery q = db.run("SELECT ZEILEN FROM LastlaufArchiv WHERE IDEALTAG = ?", {day});
        while (q.next())
            texts.append(q.value(0).toString());
    } else {
        texts = TestServer::asAdmin(
            server, QString(R"(SELECT "ZEILEN" FROM "LastlaufArchiv" WHERE "IDEALTAG" = '%1')").arg(day));
    }
    QSet<QString> tags;
    for (const QString& text : texts)
        tags.insert(tagOf(DayVersionTable::decode(text)));
    return tags;
}

// What the database holds afterwards, against what the workstations reported.
QStringList violations(const Database& db, const QString& server, const Run& run)
{
    QStringList found;
    bool archivedAny = false;
    for (const QString& day : Days) {
        // The day's states from the oldest kept version to the rows stored now.
        QList<QList<TemplateRow>> chain;
        const QList<DayVersion> versions = DayVersionTable(db).versionsOf(day);
        for (auto v = versions.crbegin(); v != versions.crend(); ++v)
            chain.append(v->rows);
        chain.append(IdealDayStore(db).blocksOfDay(day));
        QSet<QString> inChain;
        for (qsizetype i = 0; i < chain.size(); ++i) {
            const QString tag = tagOf(chain[i]);
            QSet<QString> places;
            for (const TemplateRow& row : chain[i]) {
                if (row.code.toString() != tag)
                    found.append(
                        QStringLiteral("%1: rows of %2 and %3 in one state").arg(day, tag, row.code.toString()));
                // A save's rows have distinct times, whatever their chairs.
                const QString place = row.startTime.toString();
                if (places.contains(place))
                    found.append(QStringLiteral("%1: two rows at %2 in %3").arg(day, place, tag));
                places.insert(place);
            }
            if (tag.isEmpty())
                continue;
            inChain.insert(tag);
            const Save writer = run.saves.value(tag);
            if (writer.tag.isEmpty() || writer.outcome == "refused" || writer.day != day)
                found.append(QStringLiteral("%1: rows of %2, which saved nothing there").arg(day, tag));
            // Replacing what the writer did not expect was asked first.
            if (i > 0 && writer.expected != tagOf(chain[i - 1]) && !writer.asked)
                found.append(QStringLiteral("%1: %2 replaced %3 unasked (it expected %4)")
                                 .arg(day, tag, tagOf(chain[i - 1]), writer.expected));
        }
        // Every save that said so is there, as the day or as a version, pruned since or not.
        const QSet<QString> archived = archivedTags(db, server, day);
        archivedAny = archivedAny || !archived.isEmpty();
        inChain.unite(archived);
        for (const Save& save : run.saves)
            if (save.day == day && save.outcome == "saved" && !inChain.contains(save.tag))
                found.append(QStringLiteral("%1: the save %2 is lost").arg(day, save.tag));
    }
    if (run.saves.size() > 0 && !archivedAny)
        found.append(QStringLiteral("no version was archived"));
    // A statement's bound is 15 s, held to the half second (a busy machine may start the clock late).
    constexpr qint64 longestAllowedMs = 15500;
    if (run.longestMs > longestAllowedMs)
        found.append(QStringLiteral("a workstation waited %1 ms (%2)").arg(run.longestMs).arg(run.longestWhat));
    return found;
}

double secondsOr(double fallback)
{
    const double seconds = qEnvironmentVariable("LUNARIS_LOAD_SECONDS").toDouble();
    return seconds > 0 ? seconds : fallback;
}

void report(const char* what, const Run& run)
{
    int saved = 0, refused = 0;
    for (const Save& save : run.saves) {
        saved += save.outcome == "saved";
        refused += save.outcome == "refused";
    }
    qInfo("%s: %lld saves (%d written, %d refused at the question), %d questions, %d failures reported, %d "
          "cuts, longest wait %lld ms",
          what, qint64(run.saves.size()), saved, refused, run.questions, run.failures, run.cuts, run.longestMs);
}
} // namespace

// Many workstations saving the same days at once, on the file and on a server whose connections are
// cut, whose path goes dead for longer than a statement may wait, and which is restarted once: afterwards
// every day is wholly one save, every save that said so is the day or a version, every replaced state is a
// version, every overwrite of something unexpected was asked, and no workstation waited long.
class TestLoadRun : public QObject {
    Q_OBJECT
private slots:
    void fileWithFourWorkstations();
    void serverWithEightWorkstationsAndFaults();
};

void TestLoadRun::fileWithFourWorkstations()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("Kavemo.mdb");
    {
        Database create(file, "anlegen");
        archiveEveryVersion(create, {});
    }
    Run run;
    runWorkstations(run, file, 4, secondsOr(10), QProcessEnvironment::systemEnvironment(), [](double, Run&) {});
    QVERIFY(!QTest::currentTestFailed());
    report("file", run);
    QVERIFY(run.saves.size() > 20);
    QVERIFY(run.questions > 0); // the workstations did meet
    Database db(file, "pruefen");
    const QStringList found = violations(db, {}, run);
    QVERIFY2(found.isEmpty(), qPrintable(found.join('\n')));
}

void TestLoadRun::serverWithEightWorkstationsAndFaults()
{
    SKIP_WITHOUT_SERVER();
    TestServer::createDatabase("last");
    FaultProxy network(QHostAddress::LocalHost, quint16(TestServer::port()));
    ServerAddress address = TestServer::tcpAddress("last");
    address.port = network.port();
    QTemporaryDir dir;
    const QString passwords = dir.filePath("pgpass");
    PasswordFile(passwords).store(address.host, address.port, address.database, address.user, TestServer::password());
    qputenv("PGPASSFILE", QFile::encodeName(passwords));
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    try {
        Database create(address, "anlegen"); // the tables, before eight first starts at once
        archiveEveryVersion(create, "last");
    } catch (const LunarisError& e) {
        QFAIL(qPrintable(e.description()));
    }
    const double seconds = secondsOr(40);
    // A dead path for longer than a statement may wait: nothing forwarded, nothing refused.
    const double deadFrom = seconds / 5, deadUntil = deadFrom + 17;
    double nextCut = 2;
    bool crashed = false, restarted = false; // once, for a second
    bool dead = false;
    Run run;
    runWorkstations(run, address.uri(), 8, seconds, env, [&](double elapsed, Run& r) {
        if (dead != (elapsed > deadFrom && elapsed < deadUntil)) {
            dead = !dead;
            network.setBlackHole(dead);
            return;
        }
        if (dead)
            return; // the dead path is the only fault meanwhile
        if (!crashed && elapsed > seconds * 0.75) {
            crashed = true;
            TestServer::crash();
        } else if (crashed && !restarted && elapsed > seconds * 0.75 + 1) {
            restarted = true;
            TestServer::restart();
        } else if (elapsed > nextCut && elapsed < seconds) {
            network.cutAll();
            ++r.cuts;
            nextCut = elapsed + 1.5 + QRandomGenerator::global()->bounded(3.0);
        }
    });
    network.setBlackHole(false); // a short run may end on the dead path
    QVERIFY(!QTest::currentTestFailed());
    report("server", run);
    QVERIFY(run.saves.size() > 40);
    QVERIFY(run.questions > 0);
    QVERIFY(run.failures > 0); // the faults reached the workstations, and they went on
    Database db(address, "pruefen");
    const QStringList found = violations(db, "last", run);
    QVERIFY2(found.isEmpty(), qPrintable(found.join('\n')));
}

LUNARIS_TEST_MAIN(TestLoadRun)
#include "tst_loadrun.moc"
