#include "TempDatabase.h"
#include "TestMain.h"
#include "kernel/LunarisError.h"
#include "store/Database.h"
#include "store/SqliteInterrupt.h"
#include "store/Tables.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QMutex>
#include <QSqlRecord>
#include <QThread>
#include <QtEndian>

#include <functional>

namespace {
QByteArray fileHash(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}
} // namespace

class TestDatabase : public QObject {
    Q_OBJECT
private slots:
    void missingFileIsCreatedWithTheSchema();
    void killedFirstStartLeavesNothingInTheWay();
    void rowsComeBackInInsertionOrder();
    void oddNamesRoundTrip_data();
    void oddNamesRoundTrip();
    void duplicatesAreRefusedInGerman_data();
    void duplicatesAreRefusedInGerman();
    void numericFieldsRefuseText();
    void replaceDayReplacesOnlyThatDay();
    void failedReplaceLeavesTheDayAsItWas();
    void deleteDayRemovesBlocksAndName();
    void foreignFilesAreRefusedAndLeftAlone_data();
    void foreignFilesAreRefusedAndLeftAlone();
    void olderSchemaStillWorks();
    void fieldConversions_data();
    void fieldConversions();
    void readErrorsHalfWayAreFailures_data();
    void readErrorsHalfWayAreFailures();
    void stopReachesAStatementInAnotherThread();
    void changeStampTellsWhetherAnyoneWrote_data();
    void changeStampTellsWhetherAnyoneWrote();
    void failuresInWordsOfOurOwn_data();
    void failuresInWordsOfOurOwn();
};

void TestDatabase::missingFileIsCreatedWithTheSchema()
{
    TempDatabase temp;
    const QSqlDatabase db = temp.database().connection();
    QCOMPARE(QStringList(db.tables()).size(), 4);
    const QList<QPair<QString, QStringList>> expected = {
        {"Template", {"IDEALTAG", "STUHL", "BEH", "STARTZEIT", "ENDZEIT"}},
        {"Idealtag", {"IDEALTAG"}},
        {"Behand", {"BEH", "TEXT", "DAUER", "DR_START", "DR_DAUER", "DR_START2", "DR_DAUER2", "HON"}},
        {"Stuhl", {"STUHL", "TEXT"}},
    };
    for (const auto& [table, fields] : expected) {
        const QSqlRecord record = db.record(table);
        QStringList names;
        for (int i = 0; i < record.count(); ++i)
            names.append(record.fieldName(i));
        QCOMPARE(names, fields);
    }
    // A new treatment's numbers default to 0.
    temp.exec("INSERT INTO Behand (BEH) VALUES ('X')");
    QCOMPARE(temp.rows("SELECT DAUER, DR_START, DR_DAUER, DR_START2, DR_DAUER2, HON FROM Behand"),
             QStringList{"0|0|0|0|0|0"});
}

void TestDatabase::killedFirstStartLeavesNothingInTheWay()
{
    // A first start killed while building the file leaves only the temporary file behind.
    QTemporaryDir dir;
    const QString path = dir.filePath("Kavemo.mdb");
    QFile leftover(path + ".neu");
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.write("SQLite format 3", 15);
    leftover.close();
    {
        Database db(path, "after-crash");
        IdealDayStore(db).replaceDay("Montag", {{"S1", "A", "08:00", "08:10"}});
    }
    QVERIFY(!QFileInfo::exists(path + ".neu"));
    Database reopened(path, "reopened");
    QCOMPARE(IdealDayStore(reopened).blocksOfDay("Montag").size(), 1);
}

void TestDatabase::rowsComeBackInInsertionOrder()
{
    TempDatabase temp;
    for (const QString name : {"Zeta", "Alpha", "Mitte"}) {
        temp.addChair(name);
        temp.addDayName(name + " Tag");
    }
    QCOMPARE(ChairTable(temp.database()).names(), QStringList({"Zeta", "Alpha", "Mitte"}));
    QCOMPARE(ChairTable(temp.database()).count(), 3);
    QCOMPARE(IdealtagTable(temp.database()).names(), QStringList({"Zeta Tag", "Alpha Tag", "Mitte Tag"}));
}

void TestDatabase::oddNamesRoundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("apostrophe") << "Dr. O'Neil's Montag";
    QTest::newRow("double quote") << "Der \"lange\" Tag";
    QTest::newRow("semicolon and SQL") << "x'; DROP TABLE Template; --";
    QTest::newRow("umlauts") << "Größter Übungstag ß";
    QTest::newRow("percent and underscore") << "50%_voll";
}

void TestDatabase::oddNamesRoundTrip()
{
    QFETCH(QString, name);
    TempDatabase temp;
    temp.addChair(name);
    temp.addTreatment(name.left(6), 30);
    IdealDayStore store(temp.database());
    store.replaceDay(name, {{name, name.left(6), "08:00", "08:30"}});
    store.replaceDay("Anderer", {{name, "X", "09:00", "09:10"}});

    QCOMPARE(ChairTable(temp.database()).names(), QStringList{name});
    QVERIFY(TreatmentTable(temp.database()).find(name.left(6)).has_value());
    QVERIFY(IdealtagTable(temp.database()).contains(name));
    const QList<TemplateRow> rows = store.blocksOf(name, name);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].code.toString(), name.left(6));
    QCOMPARE(rows[0].startTime.toString(), QString("08:00"));

    store.deleteDay(name);
    QVERIFY(store.blocksOfDay(name).isEmpty());
    QVERIFY(!IdealtagTable(temp.database()).contains(name));
    QCOMPARE(store.blocksOfDay("Anderer").size(), 1);
}

void TestDatabase::duplicatesAreRefusedInGerman_data()
{
    QTest::addColumn<QString>("insert");
    QTest::addColumn<QString>("description");
    QTest::newRow("chair") << "INSERT INTO Stuhl (STUHL) VALUES ('Stuhl 1')"
                           << "Ein Stuhl mit diesem Namen ist bereits vorhanden.";
    QTest::newRow("treatment") << "INSERT INTO Behand (BEH) VALUES ('KONT')"
                               << "Eine Behandlung mit diesem Kürzel ist bereits vorhanden.";
    QTest::newRow("day name") << "INSERT INTO Idealtag (IDEALTAG) VALUES ('Montag')"
                              << "Ein Idealtag mit diesem Namen ist bereits vorhanden.";
}

void TestDatabase::duplicatesAreRefusedInGerman()
{
    QFETCH(QString, insert);
    QFETCH(QString, description);
    TempDatabase temp;
    temp.addChair("Stuhl 1");
    temp.addTreatment("KONT", 10);
    temp.addDayName("Montag");
    try {
        temp.database().run(insert);
        QFAIL("the duplicate was stored");
    } catch (const LunarisError& e) {
        QCOMPARE(e.description(), description);
    }
}

void TestDatabase::numericFieldsRefuseText()
{
    TempDatabase temp;
    try {
        temp.database().run("INSERT INTO Behand (BEH, DAUER) VALUES (?, ?)", {"X", "abc"});
        QFAIL("text was stored in a numeric field");
    } catch (const LunarisError& e) {
        QCOMPARE(e.description(), QString("Im Feld DAUER ist nur eine ganze Zahl erlaubt."));
    }
    try {
        temp.database().run("INSERT INTO Behand (BEH, HON) VALUES (?, ?)", {"Y", "12,5x"});
        QFAIL("text was stored in the fee");
    } catch (const LunarisError& e) {
        QCOMPARE(e.description(), QString("Im Feld HON ist nur eine Zahl erlaubt."));
    }
    // Digits typed as text are numbers.
    temp.database().run("INSERT INTO Behand (BEH, DAUER, HON) VALUES (?, ?, ?)", {"Z", "30", "12.5"});
    QCOMPARE(temp.rows("SELECT typeof(DAUER), HON FROM Behand"), QStringList{"integer|12.5"});
}

void TestDatabase::replaceDayReplacesOnlyThatDay()
{
    TempDatabase temp;
    temp.addBlock("Montag", "S1", "A", "08:00", "08:10");
    temp.addBlock("Montag", "Alt", "B", "09:00", "09:10"); // a chair that no longer exists
    temp.addBlock("Dienstag", "S1", "C", "10:00", "10:10");
    IdealDayStore store(temp.database());
    store.replaceDay("Montag", {{"S1", "D", "11:00", "11:30"}, {"S2", "E", "12:00", "12:10"}});
    QCOMPARE(temp.rows("SELECT IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT FROM Template ORDER BY rowid"),
             QStringList({"Dienstag|S1|C|10:00|10:10", "Montag|S1|D|11:00|11:30", "Montag|S2|E|12:00|12:10"}));
    // The name is registered once, however often the day is saved.
    store.replaceDay("Montag", {});
    QCOMPARE(temp.rows("SELECT IDEALTAG FROM Idealtag"), QStringList{"Montag"});
    QVERIFY(store.blocksOfDay("Montag").isEmpty());
}

void TestDatabase::failedReplaceLeavesTheDayAsItWas()
{
    TempDatabase temp;
    temp.addBlock("Montag", "S1", "A", "08:00", "08:10");
    temp.addBlock("Montag", "S2", "B", "09:00", "09:10");
    // A trigger makes the third insert fail, after the old rows were deleted and two new ones written.
    temp.exec("CREATE TRIGGER fail_third BEFORE INSERT ON Template WHEN NEW.BEH = 'BOOM' "
              "BEGIN SELECT RAISE(ABORT, 'kaputt'); END");
    IdealDayStore store(temp.database());
    QVERIFY_THROWS_EXCEPTION(LunarisError, store.replaceDay("Montag", {{"S1", "X", "10:00", "10:10"},
                                                                       {"S1", "Y", "11:00", "11:10"},
                                                                       {"S1", "BOOM", "12:00", "12:10"}}));
    QCOMPARE(temp.rows("SELECT IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT FROM Template ORDER BY rowid"),
             QStringList({"Montag|S1|A|08:00|08:10", "Montag|S2|B|09:00|09:10"}));
    QVERIFY(temp.rows("SELECT * FROM Idealtag").isEmpty());
    // The connection is usable afterwards.
    store.replaceDay("Montag", {{"S1", "Z", "13:00", "13:10"}});
    QCOMPARE(store.blocksOfDay("Montag").size(), 1);
}

void TestDatabase::deleteDayRemovesBlocksAndName()
{
    TempDatabase temp;
    temp.addDayName("Montag");
    temp.addDayName("Dienstag");
    temp.addBlock("Montag", "S1", "A", "08:00", "08:10");
    temp.addBlock("Dienstag", "S1", "A", "08:00", "08:10");
    temp.addChair("S1");
    temp.addTreatment("A", 10);
    IdealDayStore(temp.database()).deleteDay("Montag");
    QCOMPARE(temp.rows("SELECT IDEALTAG FROM Template"), QStringList{"Dienstag"});
    QCOMPARE(temp.rows("SELECT IDEALTAG FROM Idealtag"), QStringList{"Dienstag"});
    QCOMPARE(temp.rows("SELECT COUNT(*) FROM Stuhl"), QStringList{"1"});
    QCOMPARE(temp.rows("SELECT COUNT(*) FROM Behand"), QStringList{"1"});
}

void TestDatabase::foreignFilesAreRefusedAndLeftAlone_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero bytes") << QByteArray() << "ist keine Datenbank dieses Programms";
    QTest::newRow("text file") << QByteArray("Termine 2026\nMontag;08:00\n") << "ist keine Datenbank dieses Programms";
    QTest::newRow("access file") << QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20)
                                 << "ist keine Datenbank dieses Programms";
}

void TestDatabase::foreignFilesAreRefusedAndLeftAlone()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath("Kavemo.mdb");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    const QByteArray before = fileHash(path);
    try {
        Database db(path, "foreign");
        QFAIL("a foreign file was opened");
    } catch (const LunarisError& e) {
        QVERIFY2(e.description().contains(expected), qPrintable(e.description()));
        QVERIFY(e.description().contains(path));
    }
    QCOMPARE(fileHash(path), before);
    QCOMPARE(QFileInfo(path).size(), qint64(content.size()));
}

void TestDatabase::olderSchemaStillWorks()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Kavemo.mdb");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "old");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        for (const char* sql : {"CREATE TABLE Template (IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT)",
                                "CREATE TABLE Idealtag (IDEALTAG)", "CREATE TABLE Stuhl (STUHL, TEXT)",
                                "CREATE TABLE Behand (BEH, TEXT, DAUER, DR_START, DR_DAUER, DR_START2, DR_DAUER2, HON)",
                                "INSERT INTO Template VALUES ('Montag', 'S1', 'A', '08:00', '08:30')",
                                "INSERT INTO Stuhl VALUES ('S1', '')"})
            QVERIFY(QSqlQuery(db).exec(sql));
        db.close();
    }
    QSqlDatabase::removeDatabase("old");
    Database db(path, "older");
    IdealDayStore store(db);
    QCOMPARE(store.blocksOf("Montag", "S1").size(), 1);
    store.replaceDay("Montag", {{"S1", "B", "09:00", "09:30"}});
    QCOMPARE(store.blocksOfDay("Montag").at(0).code.toString(), QString("B"));
    QCOMPARE(ChairTable(db).names(), QStringList{"S1"});
}

void TestDatabase::fieldConversions_data()
{
    QTest::addColumn<QVariant>("field");
    QTest::addColumn<int>("failure"); // 0: converts
    QTest::addColumn<int>("expected");
    QTest::newRow("number") << QVariant(25) << 0 << 25;
    QTest::newRow("digits as text") << QVariant("30") << 0 << 30;
    QTest::newRow("NULL") << QVariant() << 94 << 0;
    QTest::newRow("text") << QVariant("abc") << 13 << 0;
    QTest::newRow("beyond 16 bits") << QVariant(40000) << 6 << 0;
}

void TestDatabase::fieldConversions()
{
    QFETCH(QVariant, field);
    QFETCH(int, failure);
    QFETCH(int, expected);
    try {
        const int value = wholeNumber(field);
        QCOMPARE(failure, 0);
        QCOMPARE(value, expected);
    } catch (const LunarisError& e) {
        QCOMPARE(e.number(), failure);
    }
}

// Closing the program stops the check of the whole file in its worker instead of waiting for it.
void TestDatabase::stopReachesAStatementInAnotherThread()
{
#ifndef Q_OS_LINUX
    QSKIP("Qt's driver has SQLite built in here: a running check is waited for");
#endif
    QMutex mutex; // guards the three below
    void* connection = nullptr;
    QString version;
    bool ended = false;
    QSqlError error;
    QThread* worker = QThread::create([&] {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("endless"));
            db.setDatabaseName(QStringLiteral(":memory:"));
            if (!db.open())
                return; // "ended" stays false
            {
                const QMutexLocker lock(&mutex);
                connection = SqliteInterrupt::engineConnection(db);
                version = SqliteInterrupt::engineVersion(db);
            }
            // Counts to a million million: hours, unless stopped.
            QSqlQuery endless(db);
            endless.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                        "WHERE i < 1000000000000) SELECT count(*) FROM n"));
            const QMutexLocker lock(&mutex);
            error = endless.lastError();
            connection = nullptr;
            ended = true;
        }
        QSqlDatabase::removeDatabase(QStringLiteral("endless"));
    });
    worker->start();
    bool reached = false;
    // A stop before the statement has begun is lost to the engine, so it is repeated until the worker ends.
    while (!worker->wait(QDeadlineTimer(10))) {
        const QMutexLocker lock(&mutex);
        if (connection)
            reached = SqliteInterrupt::interrupt(connection, version) || reached;
    }
    delete worker;
    QVERIFY(ended);
    QVERIFY(reached);
    QCOMPARE(error.nativeErrorCode().toInt() & 0xff, 9); // SQLITE_INTERRUPT
}

void TestDatabase::changeStampTellsWhetherAnyoneWrote_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<bool>("same");
    QTest::newRow("nobody") << "" << true;
    QTest::newRow("nobody, a transaction between") << "own empty transaction" << true;
    QTest::newRow("the planner") << "planner" << false;
    QTest::newRow("this program") << "own" << false;
    QTest::newRow("this program in a transaction") << "own transaction" << false;
}

void TestDatabase::changeStampTellsWhetherAnyoneWrote()
{
    // A save compares the stamp read with the day to one read inside its own transaction: equal only
    // when nobody wrote in between, so the save may skip reading the day again.
    TempDatabase temp;
    Database& db = temp.database();
    IdealDayStore(db).replaceDay("Montag", {{"Stuhl 1", "KONT", "08:00", "08:20"}});
    const ChangeStamp read = db.changeStamp();
    QVERIFY(read.isValid());
    QFETCH(QString, writer);
    if (writer == "planner") {
        QSqlDatabase planner = QSqlDatabase::addDatabase("QSQLITE", "planer");
        planner.setDatabaseName(temp.path());
        QVERIFY(planner.open());
        QVERIFY(QSqlQuery(planner).exec("INSERT INTO Template (IDEALTAG, STUHL) VALUES ('Montag', 'Stuhl 2')"));
        planner.close();
    } else if (writer == "own") {
        db.run("INSERT INTO Stuhl (STUHL) VALUES (?)", {"Stuhl 9"});
    } else if (writer == "own transaction") {
        db.inTransaction([&] { db.run("INSERT INTO Stuhl (STUHL) VALUES (?)", {"Stuhl 9"}); });
    } else if (writer == "own empty transaction") {
        db.inTransaction([] {});
    }
    QSqlDatabase::removeDatabase("planer");
    ChangeStamp inside;
    db.inTransaction([&] { inside = db.changeStamp(); });
    QFETCH(bool, same);
    QCOMPARE(inside == read, same);
}

void TestDatabase::failuresInWordsOfOurOwn_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("engineText");
    QTest::addColumn<QString>("expected");
    QTest::newRow("file: another failure") << "1"
                                           << "no such table: Termine"
                                           << "Die Datenbank hat den Vorgang nicht ausgeführt.\r(Meldung: no such "
                                              "table: Termine)";
    QTest::newRow("file: interrupted") << "9"
                                       << "interrupted"
                                       << "Der Vorgang wurde abgebrochen.";
    QTest::newRow("file: out of memory") << "7"
                                         << "out of memory"
                                         << "Für den Vorgang fehlt der Arbeitsspeicher.";
    QTest::newRow("file: busy, extended code") << "517"
                                               << "database is locked"
                                               << "Die Datenbank wird gerade von einem anderen Programm benutzt.";
    QTest::newRow("server: connection lost") << "08006"
                                             << "Server beendete die Verbindung unerwartet\n\tDas heißt wahrscheinlich"
                                                "\n()"
                                             << "Die Verbindung zum Datenbankserver ist unterbrochen.\r(Meldung: "
                                                "Server beendete die Verbindung unerwartet Das heißt wahrscheinlich)";
    QTest::newRow("server: unknown class") << "2F005"
                                           << "function finished without RETURN"
                                           << "Der Server hat den Vorgang abgelehnt.\r(Meldung: function finished "
                                              "without RETURN)";
}

void TestDatabase::failuresInWordsOfOurOwn()
{
    // The engine's and libpq's words follow their language (English where there is no translation): the
    // user reads ours first, theirs only as the detail.
    QFETCH(QString, code);
    QFETCH(QString, engineText);
    QFETCH(QString, expected);
    QCOMPARE(describeDatabaseError(QSqlError(QString(), engineText, QSqlError::StatementError, code)), expected);
}

LUNARIS_TEST_MAIN(TestDatabase)
#include "tst_database.moc"

void TestDatabase::readErrorsHalfWayAreFailures_data()
{
    QTest::addColumn<QString>("table");
    QTest::newRow("the rows of a day") << "Template";
    QTest::newRow("the chairs") << "Stuhl";
    QTest::newRow("the treatments") << "Behand";
    QTest::newRow("the day names") << "Idealtag";
}

// A page of the table goes bad while the file is open (a failing disk, another program's damage): the
// read that reaches it fails, after the rows before it were read, and must not end as a short result.
void TestDatabase::readErrorsHalfWayAreFailures()
{
    QFETCH(QString, table);
    TempDatabase temp;
    const QString padding(150, QLatin1Char('x'));
    temp.exec("BEGIN");
    for (int i = 0; i < 400; ++i) {
        const QString name = QStringLiteral("%1 %2").arg(i, 4, 10, QLatin1Char('0')).arg(padding);
        if (table == "Template")
            temp.addBlock("Montag", "Stuhl 1", name, "08:00", "08:10");
        else if (table == "Stuhl")
            temp.addChair(name);
        else if (table == "Behand")
            temp.addTreatment(name, 10);
        else
            temp.addDayName(name);
    }
    temp.exec("COMMIT");
    const Database& db = temp.database();
    const QStringList leaves =
        temp.rows("SELECT pageno FROM dbstat WHERE name = ? AND pagetype = 'leaf' ORDER BY pageno", {table});
    QVERIFY(leaves.size() > 10);
    const int pageSize = temp.rows("PRAGMA page_size").value(0).toInt();
    {
        QFile file(temp.path());
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(qint64(leaves.at(leaves.size() / 2).toInt() - 1) * pageSize));
        file.write(QByteArray(pageSize, char(0x0d)));
        // A new change counter makes the open connection drop the pages it holds.
        QVERIFY(file.seek(24));
        const QByteArray counter = file.read(4);
        QVERIFY(file.seek(24));
        char next[4];
        qToBigEndian<quint32>(qFromBigEndian<quint32>(counter.constData()) + 1, next);
        file.write(next, 4);
    }
    const QMap<QString, std::function<void()>> reads{
        {"Template", [&] { IdealDayStore(db).storedBlocksOfDay("Montag"); }},
        {"Stuhl", [&] { ChairTable(db).storedNames(); }},
        {"Behand", [&] { TreatmentTable(db).all(); }},
        {"Idealtag", [&] { IdealtagTable(db).names(); }},
    };
    QVERIFY_THROWS_EXCEPTION(LunarisError, reads.value(table)());
}
