#include "BigDay.h"
#include "DamagedFile.h"
#include "DayEdits.h"
#include "TestContext.h"
#include "TestMain.h"
#include "TestPaths.h"
#include "app/Program.h"
#include "app/frmLunaris.h"
#include "dayview/DayView.h"
#include "editing/OpenDay.h"
#include "kernel/AppServices.h"
#include "store/Database.h"
#include "store/IntegrityCheck.h"
#include "store/Tables.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QThread>
#include <QTime>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {
const QString kHelper = TestPaths::helper(QStringLiteral("datasafety_helper"));
const QColor kGreen(0, 255, 0);

QByteArray fileHash(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// Every file in the folder, hidden ones too: a journal left behind shows up here.
QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

// Every row of a query on a file, read without the program's code (and without writing), each row
// joined with '|'.
QStringList rowsOf(const QString& path, const QString& sql)
{
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("inspect"));
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open())
            return {QStringLiteral("not opened")};
        QSqlQuery q(db);
        if (!q.exec(sql))
            rows.append(QStringLiteral("failed"));
        while (q.next()) {
            QStringList fields;
            for (int i = 0; i < q.record().count(); ++i)
                fields.append(q.value(i).toString());
            rows.append(fields.join(QLatin1Char('|')));
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("inspect"));
    return rows;
}

QStringList dayRows(const QString& path, const QString& day)
{
    return rowsOf(path, QStringLiteral("SELECT STUHL, BEH, STARTZEIT, ENDZEIT FROM Template WHERE IDEALTAG = '%1' "
                                       "ORDER BY rowid")
                            .arg(day));
}

// A practice database as the program writes it: two chairs, two treatments, the day "Montag" with
// three blocks and the day "Dienstag" with one.
void writePractice(const QString& path)
{
    Database db(path, QStringLiteral("practice"));
    for (const QString chair : {"Stuhl 1", "Stuhl 2"})
        db.run(QStringLiteral("INSERT INTO Stuhl (STUHL) VALUES (?)"), {chair});
    db.run(QStringLiteral("INSERT INTO Behand (BEH, DAUER) VALUES ('KONT', 20), ('BOGEN', 30)"));
    IdealDayStore store(db);
    store.replaceDay(QStringLiteral("Montag"), {{"Stuhl 1", "KONT", "08:00", "08:20"},
                                                {"Stuhl 1", "BOGEN", "09:00", "09:30"},
                                                {"Stuhl 2", "KONT", "10:00", "10:20"}});
    store.replaceDay(QStringLiteral("Dienstag"), {{"Stuhl 2", "BOGEN", "11:00", "11:30"}});
}

// A file from before the program kept an index on Template: the same tables, without constraints.
void writeOlderPractice(const QString& path)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("older"));
        db.setDatabaseName(path);
        db.open();
        for (const char* sql : {"CREATE TABLE Template (IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT)",
                                "CREATE TABLE Idealtag (IDEALTAG)", "CREATE TABLE Stuhl (STUHL, TEXT)",
                                "CREATE TABLE Behand (BEH, TEXT, DAUER, DR_START, DR_DAUER, DR_START2, DR_DAUER2, HON)",
                                "INSERT INTO Template VALUES ('Montag', 'Stuhl 1', 'KONT', '08:00', '08:20')",
                                "INSERT INTO Idealtag VALUES ('Montag')", "INSERT INTO Stuhl VALUES ('Stuhl 1', '')"})
            QSqlQuery(db).exec(QString::fromLatin1(sql));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("older"));
}

void writeBytes(const QString& path, const QByteArray& bytes, qint64 offset = 0)
{
    QFile file(path);
    file.open(QFile::exists(path) ? QIODevice::ReadWrite : QIODevice::WriteOnly);
    file.seek(offset);
    file.write(bytes);
}

// Other stored days in Template up to the given last row, as years of use leave them; the row half-way
// has the treatment "MITTE". One statement, without the program's code.
void growTemplate(const QString& path, qint64 lastRow)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("grow"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery grow(db);
        grow.prepare("WITH RECURSIVE n(i) AS (SELECT max(rowid) + 1 FROM Template UNION ALL SELECT i + 1 FROM n "
                     "WHERE i < ?) INSERT INTO Template (rowid, IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT) SELECT i, "
                     "'Tag ' || (i / 600), 'Stuhl ' || (i % 2 + 1), CASE WHEN i = ? THEN 'MITTE' ELSE 'KONT' END, "
                     "'08:00', '08:20' FROM n");
        grow.addBindValue(lastRow);
        grow.addBindValue(lastRow / 2);
        QVERIFY2(grow.exec(), qPrintable(grow.lastError().text()));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("grow"));
}

// Overwrites the table leaf page that holds text: damage that only reading the whole table finds.
void damageLeafHolding(const QString& path, const QByteArray& text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    const qsizetype pageSize = (uchar(bytes.at(16)) << 8) | uchar(bytes.at(17));
    for (qsizetype page = pageSize; page < bytes.size(); page += pageSize) {
        if (bytes.at(page) == '\x0D' && bytes.mid(page, pageSize).contains(text)) {
            writeBytes(path, QByteArray(pageSize, '\xA5'), page);
            return;
        }
    }
    QFAIL("no table page holds the text");
}

// The bad file of a row, written at path.
void writeBadFile(const QString& path, const QString& kind)
{
    if (kind == QLatin1String("empty")) {
        writeBytes(path, {});
    } else if (kind == QLatin1String("text")) {
        writeBytes(path, "Termine 2026\nMontag;08:00\n");
    } else if (kind == QLatin1String("access")) {
        writeBytes(path, QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(2000, '\x7f'));
    } else if (kind == QLatin1String("sqlite header")) {
        writeBytes(path, QByteArray("SQLite format 3\0", 16) + QByteArray(4080, 'Z'));
    } else if (kind.endsWith(QLatin1String("the limit"))) {
        // Template as large as is still checked before the window, or one row larger.
        writePractice(path);
        growTemplate(path, Database::OwnCheckBeforeWindowRows + (kind.endsWith(QLatin1String("above the limit"))));
    } else {
        writePractice(path);
        Database db(path, QStringLiteral("bad"));
        if (kind == QLatin1String("no Behand")) {
            db.run(QStringLiteral("DROP TABLE Behand"));
        } else if (kind == QLatin1String("no ENDZEIT")) {
            db.run(QStringLiteral("ALTER TABLE Template DROP COLUMN ENDZEIT"));
        } else {
            // Enough rows for the tables to span many pages.
            IdealDayStore store(db);
            for (int day = 0; day < 40; ++day)
                store.replaceDay(QStringLiteral("Tag %1").arg(day),
                                 QList<TemplateRow>(50, {"Stuhl 1", "KONT", "08:00", "08:20"}));
        }
    }
    const QString damage = kind.section(QLatin1String(", "), 0, 0);
    if (kind == QLatin1String("cut short")) // as by an interrupted copy
        QFile::resize(path, QFileInfo(path).size() / 3);
    else if (kind == QLatin1String("damaged page"))
        writeBytes(path, QByteArray(4096, '\xA5'), 3 * 4096);
    else if (damage == QLatin1String("damaged Template page"))
        damageLeafHolding(path, "MITTE");
    else if (damage.startsWith(QLatin1String("damaged root of ")))
        damageRootOf(path, damage.section(' ', 3));
}

// A second process on the database (tests/helpers/datasafety_helper.cpp); killed if still running at the end.
class Helper {
public:
    explicit Helper(const QStringList& arguments, bool ordinaryUser = false)
    {
        QFile::setPermissions(m_home.path(), QFileDevice::Permissions(0x7777));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path());
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // No file right stops root: the read-only cases run as an ordinary user then.
        if (ordinaryUser && runningAsRoot())
            m_process.start(QStringLiteral("setpriv"),
                            QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", kHelper} + arguments);
        else
            m_process.start(kHelper, arguments, QIODevice::ReadWrite | QIODevice::Text);
        m_process.waitForStarted();
    }
    ~Helper()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

    bool running() const { return m_process.state() == QProcess::Running; }
    // Waits until the helper printed count lines that start with word; false if it ended or took too long.
    bool waitFor(const QString& word, int count = 1)
    {
        QDeadlineTimer deadline(60000);
        while (lines(word).size() < count) {
            if (deadline.hasExpired() || (!running() && !m_process.bytesAvailable()))
                return false;
            m_process.waitForReadyRead(100);
            collect();
        }
        return true;
    }
    // Waits for the end; the exit code, or -1 when it did not end by itself.
    int finish()
    {
        if (!m_process.waitForFinished(60000) && running())
            return -1;
        collect();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    // The printed lines that start with word, split at the tabs (the word itself left out).
    QList<QStringList> lines(const QString& word) const
    {
        QList<QStringList> found;
        for (const QString& line : m_lines)
            if (line.section(QLatin1Char('\t'), 0, 0) == word)
                found.append(line.split(QLatin1Char('\t')).mid(1));
        return found;
    }

private:
    void collect()
    {
        while (m_process.canReadLine())
            m_lines.append(QString::fromUtf8(m_process.readLine()).chopped(1));
    }

    QTemporaryDir m_home;
    QProcess m_process;
    QStringList m_lines;
};

QStringList boxLine(const QString& title, QMessageBox::Icon icon, const QString& text)
{
    return {title, QString::number(int(icon)), QString::number(int(QMessageBox::Ok)), text};
}

void expectOneBox(const ScriptedMessages& messages, const QString& text, const QString& title)
{
    QCOMPARE(messages.shown().size(), 1);
    const MessageRequest& box = messages.shown().first();
    QCOMPARE(box.text, text);
    QCOMPARE(box.title, title);
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}
} // namespace

class TestDataSafety : public QObject {
    Q_OBJECT
private slots:
    void badFilesAreRefusedAndLeftAlone_data();
    void badFilesAreRefusedAndLeftAlone();
    void openingChangesNoData_data();
    void openingChangesNoData();
    void readOnlyFilesOpenForViewing_data();
    void readOnlyFilesOpenForViewing();
    void lockAtStart_data();
    void lockAtStart();
    void saveUnderLock_data();
    void saveUnderLock();
    void killDuringSave_data();
    void killDuringSave();
    void damageOutsideOwnTablesOpensForViewing_data();
    void damageOutsideOwnTablesOpensForViewing();
    void saveWaitsForTheCheck_data();
    void saveWaitsForTheCheck();
    void closingStopsTheCheck();
};

void TestDataSafety::badFilesAreRefusedAndLeftAlone_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message"); // %1: the file
    const QString foreign = QStringLiteral("Fehler: 3343 Die Datei „%1“ ist keine Datenbank dieses Programms. Sie "
                                           "wird nicht verändert; bitte prüfen Sie die Datei.");
    const QString damaged = QStringLiteral("Fehler: 3049 Die Datenbank „%1“ ist beschädigt. Sie wird nicht "
                                           "verändert; bitte spielen Sie eine Sicherung ein.");
    QTest::newRow("zero bytes") << "empty" << foreign;
    QTest::newRow("text file") << "text" << foreign;
    QTest::newRow("Access file") << "access" << foreign;
    QTest::newRow("SQLite header, then garbage") << "sqlite header" << damaged;
    QTest::newRow("cut short") << "cut short" << damaged;
    QTest::newRow("a damaged page") << "damaged page" << damaged;
    QTest::newRow("a damaged Template page") << "damaged root of Template" << damaged;
    QTest::newRow("a damaged page of Template's index") << "damaged root of Template_IDEALTAG_STUHL" << damaged;
    QTest::newRow("a damaged Stuhl page") << "damaged root of Stuhl" << damaged;
    // A Template up to the limit is read whole before the window; of a larger one, the last row's path.
    QTest::newRow("a damaged Template page, Template at the limit") << "damaged Template page, at the limit" << damaged;
    QTest::newRow("a damaged Template root, Template above the limit")
        << "damaged root of Template, above the limit" << damaged;
    QTest::newRow("table missing") << "no Behand"
                                   << "Fehler: 3078 In der Datenbank „%1“ fehlt die Tabelle „Behand“. Die Datei wird "
                                      "nicht verändert.";
    QTest::newRow("field missing") << "no ENDZEIT"
                                   << "Fehler: 3265 In der Datenbank „%1“ fehlt das Feld „ENDZEIT“ in der Tabelle "
                                      "„Template“. Die Datei wird nicht verändert.";
}

void TestDataSafety::badFilesAreRefusedAndLeftAlone()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QTemporaryDir folder;
    const QString path = folder.filePath("Kavemo.mdb");
    writeBadFile(path, kind);
    const QByteArray before = fileHash(path);
    const QStringList files = filesIn(folder.path());

    // Opened as the program's start does it, the check of the stored days beside the building of the
    // window, or all before the window is built.
    for (const auto startCheck : {Database::StartCheck::Overlapped, Database::StartCheck::Complete}) {
        ScriptedMessages messages;
        messages.answer(QMessageBox::Ok);
        std::unique_ptr<Database> db = openPracticeDatabase(path, messages, Database::BusyTimeoutMs, startCheck);
        if (db) {
            // Building the window and reading the message take their time: the check of the whole file
            // must not start meanwhile and report the damage a second time.
            QTest::qWait(1000);
            QCOMPARE(db->integrityCheck()->outcome(), IntegrityCheck::Outcome::NotStarted);
        }
        QVERIFY(!db || !confirmPracticeDatabase(*db, messages));
        db.reset();
        expectOneBox(messages, message.arg(path), "Lunaris");
        QCOMPARE(fileHash(path), before);
        QCOMPARE(filesIn(folder.path()), files);
        // Nothing of the refused file stays open.
        QVERIFY(QSqlDatabase::connectionNames().isEmpty());
    }
}

void TestDataSafety::openingChangesNoData_data()
{
    QTest::addColumn<bool>("older");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("checked"); // the check of the whole file ran before closing
    QTest::newRow("current file") << false << false << true;
    QTest::newRow("current file, read-only") << false << true << true;
    QTest::newRow("older file") << true << false << true;
    QTest::newRow("older file, read-only") << true << true << true;
    QTest::newRow("older file, closed before its check") << true << false << false;
}

// Opening, reading and closing writes nothing; the one change ever made without a save is the index an
// older writable file gains, which leaves every stored value as it was.
void TestDataSafety::openingChangesNoData()
{
    QFETCH(bool, older);
    QFETCH(bool, readOnly);
    QFETCH(bool, checked);
    QTemporaryDir folder;
    const QString path = folder.filePath("Kavemo.mdb");
    older ? writeOlderPractice(path) : writePractice(path);
    if (readOnly)
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    const QByteArray before = fileHash(path);
    const QString everything = QStringLiteral("SELECT 'T', * FROM Template UNION ALL SELECT 'I', *, 0, 0, 0, 0 FROM "
                                              "Idealtag UNION ALL SELECT 'S', *, 0, 0, 0 FROM Stuhl");
    const QStringList stored = rowsOf(path, everything);
    QVERIFY(stored.size() >= 3);

    {
        Database db(path, "opened");
        QCOMPARE(db.isReadOnly(), readOnly);
        QCOMPARE(IdealDayStore(db).blocksOfDay("Montag").first().code.toString(), QString("KONT"));
        if (checked) {
            db.integrityCheck()->waitForOutcome();
            QCOMPARE(db.integrityCheck()->outcome(), IntegrityCheck::Outcome::Passed);
        }
    }
    QCOMPARE(rowsOf(path, everything), stored);
    // Closing does not wait for the check: an older file gets its index at a later start then.
    const bool indexAdded = older && !readOnly && checked;
    QCOMPARE(fileHash(path) != before, indexAdded);
    QCOMPARE(rowsOf(path, "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'Template'"),
             older && !indexAdded ? QStringList{} : QStringList{"Template_IDEALTAG_STUHL"});
    QCOMPARE(filesIn(folder.path()), QStringList{"Kavemo.mdb"});
}

void TestDataSafety::readOnlyFilesOpenForViewing_data()
{
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<bool>("fileWritable");
    QTest::addColumn<bool>("folderWritable");
    QTest::addColumn<bool>("ordinaryUser");
    QTest::newRow("read-only file") << true << false << true << true;
    // Root could write it anyway: the program honours the mark itself.
    QTest::newRow("read-only file, administrator") << true << false << true << false;
    // The file is writable, but the journal that makes a save safe cannot be made beside it.
    QTest::newRow("read-only folder") << true << true << false << true;
    QTest::newRow("read-only folder without a database") << false << true << false << true;
}

void TestDataSafety::readOnlyFilesOpenForViewing()
{
    QFETCH(bool, fileExists);
    QFETCH(bool, fileWritable);
    QFETCH(bool, folderWritable);
    QFETCH(bool, ordinaryUser);
#ifdef Q_OS_WIN
    if (!folderWritable)
        QSKIP("under Wine, which runs as the Linux user root, no Windows folder refuses a file");
#endif
    QTemporaryDir root;
    const QString folder = root.filePath("programm");
    const QString path = folder + "/Kavemo.mdb";
    QVERIFY(QDir(root.path()).mkdir("programm"));
    if (fileExists)
        writePractice(path);
    const QByteArray before = fileHash(path);
    const auto all = QFileDevice::Permissions(0x7777);
    const auto readable = QFileDevice::Permissions(0x5555);
    QFile::setPermissions(root.path(), readable | QFileDevice::WriteOwner);
    QFile::setPermissions(path, fileWritable ? all : QFileDevice::Permissions(0x4444));
    QFile::setPermissions(folder, folderWritable ? all : readable);
    const auto restore = qScopeGuard([&] { QFile::setPermissions(folder, all); });

    Helper program({"view-save", path, "Montag"}, ordinaryUser);
    const int exitCode = program.finish();
    if (!fileExists) {
        QCOMPARE(exitCode, 2);
        QCOMPARE(program.lines("MELDUNG"),
                 QList<QStringList>{boxLine("Lunaris", QMessageBox::Critical,
                                            QString("Fehler: 3044 Die Datenbank „%1“ konnte nicht angelegt werden: "
                                                    "Der Ordner „%2“ ist schreibgeschützt.")
                                                .arg(path, folder))});
        QCOMPARE(filesIn(folder), QStringList{});
        return;
    }
    QCOMPARE(exitCode, 0);
    QCOMPARE(program.lines("GELADEN"), QList<QStringList>{{"3"}});
    QCOMPARE(program.lines("MELDUNG"),
             QList<QStringList>{boxLine("Speichern", QMessageBox::Critical, "Daten konnten nicht gespeichert werden")});
    QCOMPARE(program.lines("GEAENDERT"), QList<QStringList>{{"1"}});
    QCOMPARE(fileHash(path), before);
    QCOMPARE(filesIn(folder), QStringList{"Kavemo.mdb"});
}

void TestDataSafety::lockAtStart_data()
{
    QTest::addColumn<QString>("lock");
    QTest::addColumn<int>("holdMs");
    QTest::addColumn<int>("timeoutMs"); // 0: the program's own wait
    QTest::addColumn<bool>("opens");
    QTest::newRow("planner writing for 1 s") << "exclusive" << 1000 << 0 << true;
    QTest::newRow("planner writing longer than the wait") << "exclusive" << 3000 << 1000 << false;
    QTest::newRow("planner reading") << "shared" << 2000 << 1000 << true;
}

void TestDataSafety::lockAtStart()
{
    QFETCH(QString, lock);
    QFETCH(int, holdMs);
    QFETCH(int, timeoutMs);
    QFETCH(bool, opens);
    QTemporaryDir folder;
    const QString path = folder.filePath("Kavemo.mdb");
    writePractice(path);
    const QByteArray before = fileHash(path);

    Helper planner({"lock", path, lock, QString::number(holdMs)});
    QVERIFY(planner.waitFor("gesperrt"));
    QVERIFY(planner.running());
    ScriptedMessages messages;
    if (!opens)
        messages.answer(QMessageBox::Ok);
    std::unique_ptr<Database> db =
        timeoutMs ? openPracticeDatabase(path, messages, timeoutMs) : openPracticeDatabase(path, messages);
    QCOMPARE(bool(db), opens);
    if (opens) {
        QVERIFY(messages.shown().isEmpty());
        QCOMPARE(ChairTable(*db).names(), QStringList({"Stuhl 1", "Stuhl 2"}));
    } else {
        expectOneBox(messages,
                     QString("Fehler: 3045 Die Datenbank „%1“ wird gerade von einem anderen Programm benutzt. Bitte "
                             "versuchen Sie es später noch einmal.")
                         .arg(path),
                     "Lunaris");
    }
    db.reset();
    QCOMPARE(planner.finish(), 0);
    QCOMPARE(fileHash(path), before);
}

void TestDataSafety::saveUnderLock_data()
{
    QTest::addColumn<QString>("lock");
    QTest::addColumn<int>("holdMs");
    QTest::addColumn<int>("timeoutMs"); // 0: the program's own wait
    QTest::addColumn<bool>("saved");
    QTest::newRow("planner writing for 1 s") << "exclusive" << 1000 << 0 << true;
    QTest::newRow("planner reading for 1 s") << "shared" << 1000 << 0 << true;
    // A shorter wait keeps the test short; the program behaves alike after its 5 s.
    QTest::newRow("planner writing longer than the wait") << "exclusive" << 3000 << 1000 << false;
    // The save gets as far as its commit, which has to wait for the reader.
    QTest::newRow("planner reading longer than the wait") << "shared" << 3000 << 1000 << false;
}

void TestDataSafety::saveUnderLock()
{
    QFETCH(QString, lock);
    QFETCH(int, holdMs);
    QFETCH(int, timeoutMs);
    QFETCH(bool, saved);
    TestContext ctx;
    TempDatabase& data = ctx.tempDatabase;
    for (const QString chair : {"Stuhl 1", "Stuhl 2"})
        data.addChair(chair);
    data.addTreatment("KONT", 20);
    data.addDayName("Montag");
    data.addBlock("Montag", "Stuhl 1", "KONT", "08:00", "08:20");
    if (timeoutMs)
        data.database().setBusyTimeout(timeoutMs);
    frmLunaris window(ctx.state, ctx.services);
    QVERIFY(window.Form_Load(1024));
    window.show();
    ctx.modals.handleNext([](QDialog& d) {
        d.findChild<QLineEdit*>("txtIdealtag")->setText("Montag");
        QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    window.findChild<QAction*>("mnuFileOpen")->trigger();
    QVERIFY(placeBlock(window, 1, "09:00", "09:20", "KONT"));
    const QStringList before{"Stuhl 1|KONT|08:00|08:20"};
    const QStringList after{"Stuhl 1|KONT|08:00|08:20", "Stuhl 2|KONT|09:00|09:20"};
    const auto stored = [&] {
        return data.rows("SELECT STUHL, BEH, STARTZEIT, ENDZEIT FROM Template WHERE IDEALTAG = 'Montag' "
                         "ORDER BY rowid");
    };

    Helper planner({"lock", data.path(), lock, QString::number(holdMs)});
    QVERIFY(planner.waitFor("gesperrt"));
    QVERIFY(planner.running());
    if (!saved)
        ctx.messages.answer(QMessageBox::Ok);
    window.findChild<QAction*>("mnuFileSave")->trigger();
    QCOMPARE(ctx.state.modified(), !saved);
    if (!saved)
        expectOneBox(ctx.messages, "Daten konnten nicht gespeichert werden", "Speichern");
    QCOMPARE(planner.finish(), 0);
    QCOMPARE(stored(), saved ? after : before);
    if (saved)
        return;

    // Once the planner is done, the same edits save.
    window.findChild<QAction*>("mnuFileSave")->trigger();
    QVERIFY(!ctx.state.modified());
    QCOMPARE(stored(), after);
    QCOMPARE(ctx.messages.shown().size(), 1);
}

void TestDataSafety::killDuringSave_data()
{
    QTest::addColumn<bool>("pause"); // a slow insert half-way through every save
    QTest::addColumn<int>("savesFirst");
    // After the save began (pause), after it began writing the file itself (fileWritten), or after the last
    // finished save.
    QTest::addColumn<int>("killAfterMs");
    // With the pause: the save had written part of the file itself, so its journal has to be played back.
    QTest::addColumn<bool>("fileWritten");
    QTest::newRow("as the first save begins") << true << 0 << 0 << false;
    QTest::newRow("half-way through the first save") << true << 0 << 0 << true;
    QTest::newRow("half-way through the second save") << true << 1 << 0 << true;
    QTest::newRow("half-way through the third save") << true << 2 << 150 << true;
    QTest::newRow("saving in a loop, after 10 ms") << false << 1 << 10 << false;
    QTest::newRow("saving in a loop, after 35 ms") << false << 1 << 35 << false;
    QTest::newRow("saving in a loop, after 80 ms") << false << 2 << 80 << false;
}

// A save killed at any moment leaves a sound file that holds the day as before the save or as saved.
void TestDataSafety::killDuringSave()
{
    QFETCH(bool, pause);
    QFETCH(int, savesFirst);
    QFETCH(int, killAfterMs);
    QFETCH(bool, fileWritten);
    QTemporaryDir folder;
    const QString path = folder.filePath("Kavemo.mdb");
    const QString journal = path + "-journal";
    QStringList chairs;
    for (int i = 1; i <= 10; ++i)
        chairs.append(QString("Stuhl %1").arg(i));
    {
        Database db(path, "prepare");
        for (const QString& chair : chairs)
            db.run("INSERT INTO Stuhl (STUHL) VALUES (?)", {chair});
        QList<TemplateRow> rows;
        for (const QString& chair : chairs)
            for (const BigDayBlock& block : bigDayBlocks(0))
                rows.append({chair, block.code, block.start, block.end});
        IdealDayStore(db).replaceDay("Montag", rows);
        IdealDayStore(db).replaceDay("Dienstag", {{"Stuhl 1", "KONT", "08:00", "08:20"}});
        if (pause) {
            // After half the rows: 3 MB more than the page cache holds, so the save starts writing the file
            // itself, then a cross join of 4000 × 4000 rows that takes a good part of a second.
            db.run("CREATE TABLE Ballast (x)");
            db.run("CREATE TABLE Ballast2 (b)");
            db.run("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 4000) "
                   "INSERT INTO Ballast SELECT x FROM n");
            db.run("CREATE TRIGGER Pause AFTER INSERT ON Template WHEN NEW.STUHL = 'Stuhl 6' AND "
                   "NEW.STARTZEIT = '08:00' BEGIN INSERT INTO Ballast2 VALUES (randomblob(3000000)); "
                   "SELECT COUNT(*) FROM Ballast a, Ballast b WHERE a.x + b.x > 0; END");
        }
    }

    // A journal that starts with its magic number is played back at the next open; before the save
    // writes the file, the number is still zeros.
    const auto journalIsHot = [&] {
        QFile journalFile(journal);
        return journalFile.open(QIODevice::ReadOnly) && journalFile.read(8) == QByteArray::fromHex("d9d505f920a163d7");
    };
    Helper program({"save-loop", path, "Montag", "1000"});
    QVERIFY(program.waitFor("GESPEICHERT", savesFirst) || savesFirst == 0);
    if (pause) {
        // The journal holds the old pages from the first change of a save to its end (it is created empty
        // a moment before, a moment that Wine makes long enough for a kill to fall into). The save writes the
        // file itself only once the journal is hot: waited for, since a busy machine takes its time to get
        // there, and the pause keeps the save in that state well beyond the kill.
        QDeadlineTimer deadline(60000);
        while ((QFileInfo(journal).size() == 0 || (fileWritten && !journalIsHot())) && program.running() &&
               !deadline.hasExpired())
            QThread::usleep(200);
    }
    QThread::msleep(killAfterMs);
    QVERIFY(program.running());
    program.kill();
    if (pause)
        QVERIFY2(QFileInfo(journal).size() > 0, "the kill missed the save");
    if (fileWritten)
        QVERIFY(journalIsHot());

    // Opened as the program opens it: an interrupted save is rolled back.
    Database db(path, "after");
    QCOMPARE(rowsOf(path, "PRAGMA integrity_check"), QStringList{"ok"});
    const QStringList stored = dayRows(path, "Montag");
    const QStringList version0 = bigDayRows(0, chairs);
    const QStringList version1 = bigDayRows(1, chairs);
    // After n saves the file holds version n % 2; a save cut off in the middle leaves that version.
    if (pause)
        QCOMPARE(stored, savesFirst % 2 == 0 ? version0 : version1);
    else
        QVERIFY2(stored == version0 || stored == version1, qPrintable(QString("%1 rows").arg(stored.size())));
    QCOMPARE(dayRows(path, "Dienstag"), QStringList{"Stuhl 1|KONT|08:00|08:20"});
    QCOMPARE(rowsOf(path, "SELECT IDEALTAG FROM Idealtag ORDER BY rowid"), QStringList({"Montag", "Dienstag"}));
    // The next save works, and takes the place of what the killed one left behind.
    IdealDayStore(db).replaceDay("Montag", {{"Stuhl 2", "NEU", "12:00", "12:20"}});
    QCOMPARE(dayRows(path, "Montag"), QStringList{"Stuhl 2|NEU|12:00|12:20"});
    QCOMPARE(filesIn(folder.path()), QStringList{"Kavemo.mdb"});
}

void TestDataSafety::damageOutsideOwnTablesOpensForViewing_data()
{
    QTest::addColumn<QString>("damage"); // a kind of writeBadFile, or the planner's table
    QTest::addColumn<QString>("command");
    QTest::newRow("planner's table, Speichern") << "planner"
                                                << "mnuFileSave";
    QTest::newRow("planner's table, Löschen") << "planner"
                                              << "mnuFileDelete";
    QTest::newRow("Template above the limit, Speichern") << "damaged Template page, above the limit"
                                                         << "mnuFileSave";
}

// The planner's table shares the file and its free pages: damage there, or in a Template too large to
// be checked before the window, opens the window for viewing and printing, and then every write is
// refused with the start-up message.
void TestDataSafety::damageOutsideOwnTablesOpensForViewing()
{
    QFETCH(QString, damage);
    QFETCH(QString, command);
    QTemporaryDir folder;
    const QString path = folder.filePath("Kavemo.mdb");
    if (damage == QLatin1String("planner")) {
        writePractice(path);
        {
            Database db(path, "planner");
            db.run("CREATE TABLE Termine (NR INTEGER PRIMARY KEY, DATUM TEXT, PATIENT TEXT)");
            db.run("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000) "
                   "INSERT INTO Termine (DATUM, PATIENT) SELECT date('2020-01-01', '+' || (i / 40) || ' days'), "
                   "printf('Patient %05d', i) FROM n");
        }
        damageRootOf(path, "Termine");
    } else {
        writeBadFile(path, damage);
    }
    const QByteArray before = fileHash(path);
    const QString damaged = QString("Fehler: 3049 Die Datenbank „%1“ ist beschädigt. Sie wird nicht verändert; "
                                    "bitte spielen Sie eine Sicherung ein.")
                                .arg(path);

    // As the program starts: the window is built, the start's check confirmed, the window shown.
    TestContext ctx;
    std::unique_ptr<Database> db =
        openPracticeDatabase(path, ctx.messages, Database::BusyTimeoutMs, Database::StartCheck::Overlapped);
    QVERIFY(db);
    AppServices services{*db, ctx.settings, ctx.messages, ctx.modals};
    frmLunaris window(ctx.state, services);
    QVERIFY(window.Form_Load(1024));
    QVERIFY(confirmPracticeDatabase(*db, ctx.messages));
    window.show();
    QVERIFY(ctx.messages.shown().isEmpty());
    ctx.messages.answer(QMessageBox::Ok);
    QTRY_COMPARE(ctx.messages.shown().size(), 1);
    expectOneBox(ctx.messages, damaged, "Lunaris");

    // The day can still be opened and printed.
    ctx.modals.handleNext([](QDialog& d) {
        d.findChild<QLineEdit*>("txtIdealtag")->setText("Montag");
        QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    window.findChild<QAction*>("mnuFileOpen")->trigger();
    QCOMPARE(window.SSDay1(0)->count() + window.SSDay1(1)->count(), 3);
    QVERIFY(placeBlock(window, 1, "12:00", "12:20", "KONT"));
    // The commands that write are off, and a save that comes another way is refused before it writes.
    QVERIFY(!window.findChild<QAction*>(command)->isEnabled());
    ctx.messages.answer(QMessageBox::Ok);
    QVERIFY(!window.Speichern());
    QCOMPARE(ctx.messages.shown().size(), 2);
    const MessageRequest refused = ctx.messages.last();
    QCOMPARE(refused.text, damaged);
    QCOMPARE(refused.title, QString("Lunaris"));
    QCOMPARE(refused.icon, QMessageBox::Critical);
    QCOMPARE(refused.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(ctx.state.modified());
    QCOMPARE(ctx.state.CurrentIdealtag, QString("Montag"));
    QCOMPARE(fileHash(path), before);
    QCOMPARE(filesIn(folder.path()), QStringList{"Kavemo.mdb"});
}

void TestDataSafety::saveWaitsForTheCheck_data()
{
    QTest::addColumn<bool>("largeTemplate");
    QTest::newRow("small file") << false;
    QTest::newRow("Template above the limit") << true;
}

// A save while the check of the whole file still runs (here held up by the planner's lock) waits for
// it with the busy pointer and a status text, then saves.
void TestDataSafety::saveWaitsForTheCheck()
{
    QFETCH(bool, largeTemplate);
    QTemporaryDir folder;
    const QString path = folder.filePath("Kavemo.mdb");
    writePractice(path);
    if (largeTemplate)
        growTemplate(path, Database::OwnCheckBeforeWindowRows + 1);
    TestContext ctx;
    // A large Template is left to the check of the whole file, which the planner's lock holds up.
    std::unique_ptr<Database> db =
        openPracticeDatabase(path, ctx.messages, Database::BusyTimeoutMs,
                             largeTemplate ? Database::StartCheck::Overlapped : Database::StartCheck::Complete);
    QVERIFY(db);
    // Reading is held up by the lock too, so the window is set up, and the block placed, before it is taken.
    AppServices services{*db, ctx.settings, ctx.messages, ctx.modals};
    frmLunaris window(ctx.state, services);
    ctx.state.ChairCount = 2;
    window.SSDay1(0)->setCaption("Stuhl 1");
    window.SSDay1(1)->setCaption("Stuhl 2");
    ctx.state.DayOpen = true;
    ctx.state.CurrentIdealtag = "Montag";
    QVERIFY(placeBlock(window, 1, "12:00", "12:20", "KONT"));
    window.show();

    Helper planner({"lock", path, "exclusive", "3000"});
    QVERIFY(planner.waitFor("gesperrt"));
    // It begins once the event loop has run for half a second, or with the first write.
    QVERIFY(confirmPracticeDatabase(*db, ctx.messages));
    QCOMPARE(db->integrityCheck()->outcome(), IntegrityCheck::Outcome::NotStarted);
    auto* status = window.findChild<QLabel*>("sbStatusBar_Panel1");

    QString statusWhileWaiting;
    bool busyPointer = false;
    bool checkRunning = false;
    QTimer::singleShot(300, [&] {
        statusWhileWaiting = status->text();
        busyPointer = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        checkRunning = db->integrityCheck()->outcome() == IntegrityCheck::Outcome::Running;
    });
    const QString minuteBefore = QTime::currentTime().toString("HH:mm");
    QVERIFY(window.Speichern());
    QVERIFY(checkRunning);
    QCOMPARE(statusWhileWaiting, QString("Nicht gespeichert – Datenbank wird geprüft ..."));
    QVERIFY(busyPointer);
    const QString savedText = status->text();
    QVERIFY2(savedText == "Gespeichert " + minuteBefore ||
                 savedText == "Gespeichert " + QTime::currentTime().toString("HH:mm"),
             qPrintable(savedText));
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(db->integrityCheck()->outcome(), IntegrityCheck::Outcome::Passed);
    QVERIFY(!ctx.state.modified());
    QVERIFY(ctx.messages.shown().isEmpty());
    QCOMPARE(dayRows(path, "Montag"), QStringList{"Stuhl 2|KONT|12:00|12:20"});
    QCOMPARE(planner.finish(), 0);
}

// Closing does not wait for the check of the whole file, also not while the planner's lock holds it up
// (the wait allowed here is far longer than the lock): the file is closed unchanged, and an older file
// gets its index at a later start.
void TestDataSafety::closingStopsTheCheck()
{
    QTemporaryDir folder;
    const QString path = folder.filePath("Kavemo.mdb");
    writeOlderPractice(path);
    const QByteArray before = fileHash(path);
    std::unique_ptr<Database> db = std::make_unique<Database>(path, "closing", 120000);
    Helper planner({"lock", path, "exclusive", "60000"});
    QVERIFY(planner.waitFor("gesperrt"));
    db->integrityCheck()->start();
    db.reset();
    QVERIFY2(planner.running(), "closing waited until the planner let go of its lock");
    planner.kill();
    QCOMPARE(fileHash(path), before);
    QCOMPARE(filesIn(folder.path()), QStringList{"Kavemo.mdb"});
    QVERIFY(QSqlDatabase::connectionNames().isEmpty());
}

LUNARIS_TEST_MAIN(TestDataSafety)
#include "tst_datasafety.moc"
