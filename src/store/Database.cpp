#include "store/Database.h"

#include "kernel/LunarisError.h"
#include "store/AwaitedStatement.h"
#include "store/ChangeWatcher.h"
#include "store/DayVersions.h"
#include "store/IntegrityCheck.h"
#include "store/PracticeValueTable.h"
#include "store/SchemaSql.h"
#include "store/ServerConnection.h"
#include "store/ServerReconnector.h"
#include "store/ServerRights.h"
#include "store/ServerSchema.h"
#include "store/SqlText.h"
#include "store/StatementDeadline.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QTimeZone>

#include <chrono>

namespace {
constexpr int CannotOpen = 3044;
constexpr int InUse = 3045;
constexpr int Damaged = Database::DamagedFile;
constexpr int NotADatabase = 3343;
constexpr int MissingTable = 3078;
constexpr int MissingField = 3265;
constexpr auto kTemplateIndex = "Template_IDEALTAG_STUHL";
constexpr int ServerUnreachable = Database::ServerUnreachable;

// SQLite's primary result code (the low byte of an extended code).
int primaryCode(const QSqlError& error)
{
    return error.nativeErrorCode().toInt() & 0xff;
}

LunarisError damagedFile(const QString& filePath)
{
    return LunarisError(Damaged, QStringLiteral("Die Datenbank „%1“ ist beschädigt. Sie wird nicht verändert; "
                                                "bitte spielen Sie eine Sicherung ein.")
                                     .arg(filePath));
}

// The first read of a file that passed the header check: what went wrong, for the start-up message.
LunarisError readFailure(const QString& filePath, const QSqlError& error)
{
    switch (primaryCode(error)) {
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return LunarisError(InUse, QStringLiteral("Die Datenbank „%1“ wird gerade von einem anderen Programm benutzt. "
                                                  "Bitte versuchen Sie es später noch einmal.")
                                       .arg(filePath));
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return damagedFile(filePath);
    default:
        return LunarisError(CannotOpen, QStringLiteral("Die Datenbank „%1“ kann nicht gelesen werden: %2")
                                            .arg(filePath, describeDatabaseError(error)));
    }
}

// A file marked read-only stays as it is, also for a user (such as an administrator) whom the system
// would let write anyway.
bool markedReadOnly(const QString& filePath)
{
    const QFileInfo info(filePath);
    return !info.isWritable() || !info.permissions().testFlag(QFileDevice::WriteOwner);
}

struct TableFields {
    const char* table;
    QStringList fields;
};

const QList<TableFields>& requiredSchema()
{
    static const QList<TableFields> schema = {
        {"Template", {"IDEALTAG", "STUHL", "BEH", "STARTZEIT", "ENDZEIT"}},
        {"Idealtag", {"IDEALTAG"}},
        {"Behand", {"BEH", "TEXT", "DAUER", "DR_START", "DR_DAUER", "DR_START2", "DR_DAUER2", "HON"}},
        {"Stuhl", {"STUHL", "TEXT"}},
    };
    return schema;
}

// Statements that only read; anything else may write and has to wait for the file's check.
bool onlyReads(const QString& sql)
{
    const QString start = sql.trimmed().left(6).toUpper();
    return start == QLatin1String("SELECT") || start == QLatin1String("PRAGMA");
}

// Statements that open or end a transaction change no row: a save's own BEGIN must not make its change
// stamp differ from the one read with the day.
bool controlsTransaction(const QString& sql)
{
    const QString start = sql.trimmed().section(QLatin1Char(' '), 0, 0).toUpper();
    return start == QLatin1String("BEGIN") || start == QLatin1String("COMMIT") || start == QLatin1String("ROLLBACK") ||
           start == QLatin1String("END");
}

QString uniqueDescription(const QString& field)
{
    if (field == QLatin1String("STUHL"))
        return QStringLiteral("Ein Stuhl mit diesem Namen ist bereits vorhanden.");
    if (field == QLatin1String("BEH"))
        return QStringLiteral("Eine Behandlung mit diesem Kürzel ist bereits vorhanden.");
    if (field == QLatin1String("IDEALTAG"))
        return QStringLiteral("Ein Idealtag mit diesem Namen ist bereits vorhanden.");
    return QStringLiteral("Der Wert im Feld %1 ist bereits vorhanden.").arg(field);
}

// SQLite names the failed rule in English; the user gets it in German.
QString constraintDescription(const QString& driverText)
{
    static const QRegularExpression check(QStringLiteral("CHECK constraint failed: (\\w+)_(ganzzahl|zahl)"));
    static const QRegularExpression notNull(QStringLiteral("NOT NULL constraint failed: \\w+\\.(\\w+)"));
    static const QRegularExpression unique(QStringLiteral("UNIQUE constraint failed: \\w+\\.(\\w+)"));
    if (const auto m = check.match(driverText); m.hasMatch()) {
        return numberRuleDescription(m.captured(1), m.captured(2) == QLatin1String("ganzzahl"));
    }
    if (const auto m = notNull.match(driverText); m.hasMatch())
        return QStringLiteral("Das Feld %1 darf nicht leer sein.").arg(m.captured(1));
    if (const auto m = unique.match(driverText); m.hasMatch())
        return uniqueDescription(m.captured(1));
    return {};
}
// The server's SQLSTATE is five characters; SQLite's result codes have at most four digits.
bool isServerError(const QSqlError& error)
{
    return error.nativeErrorCode().size() == 5;
}

// SQLSTATE class 08 (connection exception) and the server shutting down or restarting (57P01-57P03).
// libpq's own failures (the connection broke while waiting for an answer) carry no SQLSTATE at all;
// Database tells those apart, as only it knows the backend. Message texts follow the locale and are never read.
bool isConnectionLoss(const QSqlError& error)
{
    const QString code = error.nativeErrorCode();
    return code.startsWith(QLatin1String("08")) || code == QLatin1String("57P01") || code == QLatin1String("57P02") ||
           code == QLatin1String("57P03");
}

// The server's or libpq's own words (in the locale's language, English where libpq has no translation)
// for the detail line: on one line, without the empty brackets of a missing code.
QString detailOf(const QSqlError& error)
{
    QString text = (error.databaseText().trimmed().isEmpty() ? error.driverText() : error.databaseText()).simplified();
    if (text.endsWith(QLatin1String("()")))
        text = text.chopped(2).trimmed();
    return text;
}

LunarisError lostConnectionFailure(const QSqlError& error)
{
    QString text = QStringLiteral("Die Verbindung zum Datenbankserver ist unterbrochen.");
    if (const QString detail = detailOf(error); !detail.isEmpty())
        text += QStringLiteral("\r(Meldung: %1)").arg(detail);
    return LunarisError(Database::ServerUnreachable, text);
}

// The failure with a sentence of ours added to its first line, before any detail line.
LunarisError withSentence(const LunarisError& failure, const QString& sentence)
{
    QString text = failure.description();
    const qsizetype detail = text.indexOf(QLatin1Char('\r'));
    text.insert(detail < 0 ? text.size() : detail, QLatin1Char(' ') + sentence);
    return LunarisError(failure.number(), text);
}

// What a SQLSTATE means to the user: the first entry naming the whole code or its class (two characters).
QString serverErrorClass(const QString& code)
{
    static const QList<std::pair<QString, QString>> meanings = {
        {QStringLiteral("57014"),
         QStringLiteral("Der Server hat zu lange nicht geantwortet; der Vorgang wurde abgebrochen.")},
        {QStringLiteral("42P01"), QStringLiteral("In der Datenbank auf dem Server fehlt eine Tabelle.")},
        {QStringLiteral("42703"), QStringLiteral("In der Datenbank auf dem Server fehlt ein Feld.")},
        {QStringLiteral("22"), QStringLiteral("Ein Wert passt nicht in sein Feld.")},
        {QStringLiteral("23"), QStringLiteral("Die Daten verletzen eine Regel der Tabelle.")},
        {QStringLiteral("28"), QStringLiteral("Der Server lässt die Anmeldung nicht zu.")},
        {QStringLiteral("40"), QStringLiteral("Die Datenbank wird gerade von einem anderen Arbeitsplatz benutzt.")},
        {QStringLiteral("55"), QStringLiteral("Die Datenbank wird gerade von einem anderen Arbeitsplatz benutzt.")},
        {QStringLiteral("42"), QStringLiteral("Der Server hat eine Anweisung des Programms nicht angenommen.")},
        {QStringLiteral("53"),
         QStringLiteral("Dem Server fehlen Mittel für den Vorgang (Speicher, Plattenplatz oder Verbindungen).")},
        {QStringLiteral("54"), QStringLiteral("Der Vorgang ist für den Server zu groß.")},
        {QStringLiteral("57"), QStringLiteral("Der Server hat den Vorgang abgebrochen.")},
        {QStringLiteral("58"), QStringLiteral("Auf dem Server ist ein interner Fehler aufgetreten.")},
        {QStringLiteral("XX"), QStringLiteral("Auf dem Server ist ein interner Fehler aufgetreten.")},
        {QStringLiteral("P0"), QStringLiteral("Eine Regel auf dem Server hat den Vorgang abgelehnt.")},
    };
    for (const auto& [key, meaning] : meanings)
        if (key == (key.size() == 2 ? code.left(2) : code))
            return meaning;
    return QStringLiteral("Der Server hat den Vorgang abgelehnt.");
}

QString describeServerError(const QSqlError& error)
{
    const QString code = error.nativeErrorCode();
    const QString text = error.databaseText();
    // The server words its messages in its own language; only the names in them are ours to read:
    // the rule's name ("STUHL_eindeutig") and the first quoted name ("…", »…« or „…“: the column).
    static const QRegularExpression unique(QStringLiteral("\\b(\\w+)_eindeutig\\b"));
    static const QRegularExpression column(QStringLiteral("[\"»„“](\\w+)[\"«“”]"));
    static const QRegularExpression wholeNumberType(QStringLiteral("\\b(integer|bigint|smallint)\\b"));
    if (code == QLatin1String("23505")) {
        if (const auto m = unique.match(text); m.hasMatch())
            return uniqueDescription(m.captured(1));
        return QStringLiteral("Die Daten verletzen eine Regel der Tabelle.");
    }
    if (code == QLatin1String("23502")) {
        if (const auto m = column.match(text); m.hasMatch())
            return QStringLiteral("Das Feld %1 darf nicht leer sein.").arg(m.captured(1));
        return QStringLiteral("Ein Pflichtfeld ist leer.");
    }
    if (code == QLatin1String("22P02"))
        return wholeNumberType.match(text).hasMatch()
                   ? QStringLiteral("In diesem Feld ist nur eine ganze Zahl erlaubt.")
                   : QStringLiteral("In diesem Feld ist nur eine Zahl erlaubt.");
    if (code == QLatin1String("22003"))
        return QStringLiteral("Die Zahl ist für das Feld zu groß.");
    if (code == QLatin1String("55P03") || code == QLatin1String("40P01"))
        return QStringLiteral("Die Datenbank wird gerade von einem anderen Arbeitsplatz benutzt.");
    if (code == QLatin1String("42501"))
        return QStringLiteral("Der Benutzer darf diese Daten auf dem Server nicht ändern.");
    if (code == QLatin1String("25006"))
        return QStringLiteral("Die Datenbank ist schreibgeschützt.");
    // Any other class: words of our own, the server's (in its language) only as the detail.
    return serverErrorClass(code) + QStringLiteral("\r(Meldung: ") +
           text.trimmed().replace(QLatin1Char('\n'), QLatin1Char(' ')) + QLatin1Char(')');
}
} // namespace

QString numberRuleDescription(const QString& field, bool wholeNumber)
{
    return wholeNumber ? QStringLiteral("Im Feld %1 ist nur eine ganze Zahl erlaubt.").arg(field)
                       : QStringLiteral("Im Feld %1 ist nur eine Zahl erlaubt.").arg(field);
}

QString describeDatabaseError(const QSqlError& error)
{
    if (isConnectionLoss(error))
        return lostConnectionFailure(error).description();
    if (isServerError(error))
        return describeServerError(error);
    const QString driverText = error.databaseText();
    const int code = error.nativeErrorCode().toInt();
    switch (code & 0xff) {
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return QStringLiteral("Die Datenbank wird gerade von einem anderen Programm benutzt.");
    case 8: // SQLITE_READONLY
        return QStringLiteral("Die Datenbank ist schreibgeschützt.");
    case 14: // SQLITE_CANTOPEN: the file, or the journal beside it in the folder
        return QStringLiteral("Die Datenbank oder ihre Hilfsdatei im selben Ordner kann nicht geöffnet werden "
                              "(fehlende Schreibrechte?).");
    case 10: // SQLITE_IOERR
    case 13: // SQLITE_FULL
        return QStringLiteral("Die Datenbank konnte nicht geschrieben werden (Schreibfehler oder Datenträger voll).");
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return QStringLiteral("Die Datenbank ist beschädigt.");
    case 7: // SQLITE_NOMEM
        return QStringLiteral("Für den Vorgang fehlt der Arbeitsspeicher.");
    case 9: // SQLITE_INTERRUPT
        return QStringLiteral("Der Vorgang wurde abgebrochen.");
    case 19: // SQLITE_CONSTRAINT
        if (const QString text = constraintDescription(driverText); !text.isEmpty())
            return text;
        return QStringLiteral("Die Daten verletzen eine Regel der Tabelle.");
    default:
        break;
    }
    if (driverText.isEmpty() && error.driverText().isEmpty())
        return {};
    // Words of our own; the engine's (English) text only as the detail.
    return QStringLiteral("Die Datenbank hat den Vorgang nicht ausgeführt.\r(Meldung: %1)").arg(detailOf(error));
}

bool readNext(QSqlQuery& query)
{
    if (query.next())
        return true;
    // next() also ends a result on a read error (an I/O error, a damaged page half-way).
    if (query.lastError().isValid())
        throw databaseFailure(query.lastError());
    return false;
}

LunarisError databaseFailure(const QSqlError& error)
{
    if (isConnectionLoss(error))
        return LunarisError(ServerUnreachable, describeDatabaseError(error));
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    QString description = describeDatabaseError(error);
    if (description.isEmpty())
        description = QStringLiteral("Unbekannter Datenbankfehler.");
    return LunarisError(ok && code != 0 ? code : 3000, description);
}

Database::Database(const QString& filePath, const QString& connectionName, int busyTimeoutMs, StartCheck startCheck)
    : m_filePath(filePath), m_connectionName(connectionName), m_liveName(connectionName), m_busyTimeoutMs(busyTimeoutMs)
{
    if (!QFileInfo::exists(m_filePath)) {
        create();
        return;
    }
    checkIsDatabaseFile();
    m_readOnly = markedReadOnly(m_filePath);
    try {
        open();
        checkReadable();
        checkSchema();
        startIntegrityCheck();
        checkOwnTables(startCheck);
    } catch (...) {
        m_ownTablesCheck.reset();
        m_check.reset();
        close();
        throw;
    }
}

Database::Database(const ServerAddress& server, const QString& connectionName)
    : m_filePath(QStringLiteral("%1 auf %2").arg(server.database, server.displayName())),
      m_connectionName(connectionName), m_liveName(connectionName), m_busyTimeoutMs(BusyTimeoutMs), m_server(server),
      m_deadline(std::make_unique<StatementDeadline>()), m_reconnector(std::make_unique<ServerReconnector>(server))
{
    QObject::connect(m_reconnector.get(), &ServerReconnector::reached, m_reconnector.get(),
                     [this] { serverReached(); });
    QObject::connect(m_reconnector.get(), &ServerReconnector::stillAway, m_reconnector.get(),
                     [this](const QString& failure) { m_awayReason = failure; });
    QObject::connect(m_reconnector.get(), &ServerReconnector::countdown, m_reconnector.get(), [this](int seconds) {
        if (m_retryObserver)
            m_retryObserver(seconds);
    });
    try {
        connectServer();
        ServerSchema::ensure(connection(), m_filePath);
        ensureOwnServerTables();
        ensureSaveFunction();
        // A role that may only read opens for viewing: every write is refused before it is sent.
        m_readOnly = !ServerRights::canWriteAll(connection());
        m_writable = !m_readOnly;
        if (m_readOnly)
            QSqlQuery(connection()).exec(QStringLiteral("SET default_transaction_read_only = on"));
    } catch (...) {
        close();
        throw;
    }
}

QString Database::sql(const QString& statement) const
{
    if (!isServer())
        return statement;
    // Exact spellings only: the table Idealtag and its field IDEALTAG differ just in case.
    static const QSet<QString> names = {
        QStringLiteral("Template"),     QStringLiteral("Idealtag"),        QStringLiteral("Behand"),
        QStringLiteral("Stuhl"),        QStringLiteral("IDEALTAG"),        QStringLiteral("STUHL"),
        QStringLiteral("BEH"),          QStringLiteral("STARTZEIT"),       QStringLiteral("ENDZEIT"),
        QStringLiteral("TEXT"),         QStringLiteral("DAUER"),           QStringLiteral("DR_START"),
        QStringLiteral("DR_DAUER"),     QStringLiteral("DR_START2"),       QStringLiteral("DR_DAUER2"),
        QStringLiteral("HON"),          QStringLiteral("IdealtagVersion"), QStringLiteral("ZEIT"),
        QStringLiteral("ARBEITSPLATZ"), QStringLiteral("BENUTZER"),        QStringLiteral("ZEILEN"),
        QStringLiteral("GELOESCHT")};
    QString result;
    result.reserve(statement.size() + 32);
    for (qsizetype i = 0; i < statement.size();) {
        const QChar c = statement.at(i);
        if (SqlText::isQuote(c)) {
            // A literal or an already quoted name stays as it is.
            const qsizetype next = SqlText::afterQuoted(statement, i);
            result += QStringView(statement).mid(i, next - i);
            i = next;
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            qsizetype end = i;
            while (end < statement.size() &&
                   (statement.at(end).isLetterOrNumber() || statement.at(end) == QLatin1Char('_')))
                ++end;
            const QString word = statement.mid(i, end - i);
            if (word == QLatin1String("rowid"))
                result += rowIdColumn();
            else if (names.contains(word))
                result += ServerSchema::quoted(word);
            else
                result += word;
            i = end;
        } else {
            result += c;
            ++i;
        }
    }
    return result;
}

QString Database::rowIdColumn() const
{
    return isServer() ? ServerSchema::quoted(ServerSchema::RowIdColumn) : QStringLiteral("rowid");
}

void Database::ensureOwnServerTables() const
{
    // Looked at first, without a transaction: a role with the least rights (or one that only reads)
    // may take no lock that a write would need, nor create anything.
    if (DayVersionTable::presentOnServer(*this) && ChangeWatcher::triggersPresent(*this) &&
        PracticeValueTable::presentOnServer(*this))
        return;
    try {
        // Two workstations starting together on a new server must not both create the tables.
        inTransaction([this] {
            run(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(OwnTablesLockKey));
            DayVersionTable::ensure(*this);
            ChangeWatcher::ensureTriggers(*this);
            PracticeValueTable::ensure(*this);
        });
    } catch (const LunarisError& e) {
        if (ServerRights::isMissingRight(e))
            throw ServerRights::administratorNeeded(m_server->user, m_filePath);
        throw;
    }
}

void Database::ensureSaveFunction() const
{
    QSqlQuery present =
        run(QStringLiteral("SELECT to_regprocedure(?) IS NOT NULL"), {ServerSchema::SaveFunctionSignature});
    m_saveFunction = readNext(present) && present.value(0).toBool();
    if (m_saveFunction)
        return;
    // A server set up by an older version gets the function when its owner (or a role that may create
    // functions) connects next; the server script makes it too.
    try {
        inTransaction([this] {
            run(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(OwnTablesLockKey));
            run(ServerSchema::saveFunctionDefinition());
        });
        m_saveFunction = true;
    } catch (const LunarisError&) {
        // A role that may not create it (or a lock held too long): until then the workstation saves as before,
        // in a transaction; that is no reason to refuse the start.
        if (m_serverLost)
            throw;
    }
}

QString Database::readOnlyReason() const
{
    if (isServer() && m_readOnly)
        return ServerRights::readOnlyNotice();
    return damageFound() ? QStringLiteral("Nur Lesen: die Datenbankdatei ist beschädigt") : QString();
}

void Database::connectServer(std::optional<std::chrono::steady_clock::time_point> deadline) const
{
    using namespace std::chrono;
    m_prepared.clear();
    {
        QSqlDatabase old = QSqlDatabase::database(m_liveName, false);
        if (old.isValid())
            old.close();
    }
    QSqlDatabase::removeDatabase(m_liveName);
    const QString name = QStringLiteral("%1#%2").arg(m_connectionName).arg(++m_logins);
    ServerAddress address = *m_server;
    if (deadline) {
        // libpq waits whole seconds, two at the least.
        const qint64 left = duration_cast<seconds>(*deadline - steady_clock::now()).count();
        if (left < 2)
            throw noAnswerFailure();
        bool set = false;
        const int configured = address.option(QStringLiteral("connect_timeout")).toInt(&set);
        const int timeout = set && configured > 0 ? configured : ServerConnection::DefaultConnectTimeoutSeconds;
        address.options.removeIf([](const auto& option) { return option.first == u"connect_timeout"; });
        address.options.append({QStringLiteral("connect_timeout"), QString::number(std::min<qint64>(timeout, left))});
    }
    // With a deadline the login runs apart, so that the driver's own statements right after it cannot hold the
    // statement past it.
    const ServerConnection::Login login = deadline
                                              ? ServerConnection::loginWithin(address, name, QDeadlineTimer(*deadline))
                                              : ServerConnection::login(address, name);
    // A login given up still belongs to its own thread until it has ended there.
    if (!login.inTime)
        throw noAnswerFailure();
    m_liveName = name;
    if (!login.ok())
        throw LunarisError(ServerUnreachable, login.failure);
    QSqlDatabase db = login.db;
    // A path that dies right after the login leaves these statements without an answer; without TCP's user
    // timeout (Windows) nothing else would end the wait.
    m_deadline->arm(db, deadline.value_or(steady_clock::now() + milliseconds(StatementTimeoutMs)));
    const auto cutShort = [this] {
        if (!m_deadline->disarm())
            return;
        QSqlDatabase::database(m_liveName, false).close();
        throw noAnswerFailure();
    };
    // Another workstation's lock is waited for as long as on the file, then the statement fails; no
    // statement runs longer than a user would wait for a window.
    QSqlQuery(db).exec(QStringLiteral("SET lock_timeout = %1").arg(m_busyTimeoutMs));
    QSqlQuery(db).exec(QStringLiteral("SET statement_timeout = %1").arg(StatementTimeoutMs));
    QSqlQuery ssl(db);
    // The server's clock too, taken as read halfway through the round trip: no statement of its own.
    const qint64 sentMs = workstationMs();
    const bool known =
        ssl.exec(QStringLiteral("SELECT s.ssl, a.pid, a.backend_start::text, "
                                "floor(extract(epoch FROM clock_timestamp()) * 1000)::bigint FROM pg_stat_ssl s "
                                "JOIN pg_stat_activity a ON a.pid = s.pid WHERE s.pid = pg_backend_pid()")) &&
        ssl.next();
    const qint64 receivedMs = workstationMs();
    m_encrypted = known && ssl.value(0).toBool();
    m_backendPid = known ? ssl.value(1).toLongLong() : 0;
    m_backendStart = known ? ssl.value(2).toString() : QString();
    m_serverClockOffsetMs.reset();
    if (known)
        m_serverClockOffsetMs = ssl.value(3).toLongLong() - (sentMs + (receivedMs - sentMs) / 2);
    // The server itself refuses writes too (a reconnection keeps it so).
    if (m_readOnly)
        QSqlQuery(db).exec(QStringLiteral("SET default_transaction_read_only = on"));
    cutShort();
}

qint64 Database::workstationMs() const
{
    return (m_clock ? m_clock() : QDateTime::currentDateTimeUtc()).toMSecsSinceEpoch();
}

QDateTime Database::serverDeadline() const
{
    if (!m_serverClockOffsetMs)
        return {};
    return QDateTime::fromMSecsSinceEpoch(
        workstationMs() + *m_serverClockOffsetMs + StatementTimeoutMs - AnswerMarginMs, QTimeZone::utc());
}

void Database::serverClockRead(qint64 serverMsSinceEpoch) const
{
    // Read a moment before the answer arrived: the deadlines err on the early side by the answer's way.
    m_serverClockOffsetMs = serverMsSinceEpoch - workstationMs();
}

void Database::reconnectNow(std::optional<std::chrono::steady_clock::time_point> deadline) const
{
    m_quickLoss = false;
    try {
        connectServer(deadline);
    } catch (const LunarisError& e) {
        m_awayReason = e.description();
        setServerLost(true);
        throw;
    }
    setServerLost(false);
    if (m_reconnected)
        m_reconnected();
}

void Database::serverReached() const
{
    if (!m_serverLost)
        return;
    // The server has just answered a login of the background's: this one will hardly wait, and never longer than
    // a statement.
    try {
        reconnectNow(std::chrono::steady_clock::now() + std::chrono::milliseconds(StatementTimeoutMs));
    } catch (const LunarisError&) {
        m_reconnector->start();
    }
}

void Database::noticeClosedConnection() const
{
    // A statement awaiting its answer finds out itself, and the connection is in its hands until then.
    if (m_serverLost || !isServer() || m_answerPending)
        return;
    m_awayReason = QStringLiteral("Die Verbindung zum Datenbankserver ist unterbrochen.");
    setServerLost(true);
}

LunarisError Database::noAnswerFailure() const
{
    return LunarisError(ServerUnreachable,
                        QStringLiteral("Der Server „%1“ hat %2 Sekunden lang nicht geantwortet; die Verbindung "
                                       "wurde getrennt.")
                            .arg(m_server->displayName())
                            .arg(StatementTimeoutMs / 1000));
}

LunarisError Database::awayFailure() const
{
    return LunarisError(ServerUnreachable, m_awayReason.isEmpty()
                                               ? QStringLiteral("Die Verbindung zum Datenbankserver ist unterbrochen.")
                                               : m_awayReason);
}

Database::~Database()
{
    // Closing does not wait for a check: a running one is stopped, one never started stays so. An older
    // file whose check has not passed yet gets its index at a later start.
    m_ownTablesCheck.reset();
    if (m_check) {
        m_check->cancel();
        settleIntegrityCheck();
        m_check.reset();
    }
    close();
}

void Database::close()
{
    m_prepared.clear();
    {
        QSqlDatabase db = QSqlDatabase::database(m_liveName, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_liveName);
}

QSqlDatabase Database::connection() const
{
    return QSqlDatabase::database(m_liveName, false);
}

void Database::checkIsDatabaseFile() const
{
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly))
        throw LunarisError(CannotOpen, QStringLiteral("Die Datenbank „%1“ kann nicht gelesen werden.").arg(m_filePath));
    static const QByteArray header("SQLite format 3\0", 16);
    if (file.read(header.size()) != header)
        throw LunarisError(NotADatabase, QStringLiteral("Die Datei „%1“ ist keine Datenbank dieses Programms. "
                                                        "Sie wird nicht verändert; bitte prüfen Sie die Datei.")
                                             .arg(m_filePath));
}

void Database::open()
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(m_filePath);
    QStringList options{QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeoutMs)};
    if (m_readOnly)
        options.append(QStringLiteral("QSQLITE_OPEN_READONLY"));
    db.setConnectOptions(options.join(QLatin1Char(';')));
    if (!db.open())
        throw LunarisError(CannotOpen, QStringLiteral("Die Datenbank „%1“ kann nicht geöffnet werden: %2")
                                           .arg(m_filePath, describeDatabaseError(db.lastError())));
}

void Database::setBusyTimeout(int milliseconds)
{
    m_busyTimeoutMs = milliseconds;
    if (isServer()) {
        QSqlQuery(connection()).exec(QStringLiteral("SET lock_timeout = %1").arg(milliseconds));
        return;
    }
    // A pragma takes no bound values; the number is ours, not the user's.
    QSqlQuery(connection()).exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(milliseconds));
}

void Database::checkReadable() const
{
    // The first read of the contents: another program's lock is waited for here (up to the busy timeout),
    // and a damaged table list is found before anything else is read.
    checkTable(QStringLiteral("sqlite_master"));
}

void Database::checkTable(const QString& table) const
{
    // A table name is ours, never the user's; a pragma takes no bound values.
    QSqlQuery check(connection());
    check.setForwardOnly(true);
    if (!check.exec(QStringLiteral("PRAGMA quick_check(%1)").arg(table)))
        throw readFailure(m_filePath, check.lastError());
    QStringList findings;
    while (check.next())
        findings.append(check.value(0).toString());
    if (check.lastError().isValid())
        throw readFailure(m_filePath, check.lastError());
    if (findings != QStringList{QStringLiteral("ok")})
        throw damagedFile(m_filePath);
}

void Database::checkOwnTables(StartCheck startCheck)
{
    // Damage in the program's own tables and their indexes is refused before the window appears. The
    // rest of the file belongs to the planner and can be large; it is checked in the background.
    // Template holds every stored day: its own worker reads it while this thread checks the small tables
    // and, if the caller wishes, builds the window. A Template larger than the window's building can
    // hide is left to the background check of the whole file.
    if (templateRowsEstimate() <= OwnCheckBeforeWindowRows) {
        m_ownTablesCheck =
            std::make_unique<IntegrityCheck>(m_filePath, m_connectionName + QStringLiteral("-start"), m_busyTimeoutMs,
                                             QStringList{QStringLiteral("Template")}, QThread::NormalPriority);
        m_ownTablesCheck->start();
    }
    for (const TableFields& table : requiredSchema())
        if (qstrcmp(table.table, "Template") != 0)
            checkTable(QString::fromLatin1(table.table));
    if (startCheck == StartCheck::Complete)
        confirmOwnTables();
}

qint64 Database::templateRowsEstimate() const
{
    // One descent of the b-tree to its last row. Rowids only grow, so after deletions this errs towards
    // the background check. A page it cannot read is damage found before the window.
    QSqlQuery last(connection());
    last.setForwardOnly(true);
    if (!last.exec(QStringLiteral("SELECT max(rowid) FROM Template")) || !last.next())
        throw readFailure(m_filePath, last.lastError());
    return last.value(0).toLongLong();
}

void Database::confirmOwnTables() const
{
    if (m_ownTablesCheck) {
        m_ownTablesCheck->finishNow();
        switch (m_ownTablesCheck->outcome()) {
        case IntegrityCheck::Outcome::Passed:
            break;
        case IntegrityCheck::Outcome::Damaged:
            throw damagedFile(m_filePath);
        default:
            throw readFailure(m_filePath, m_ownTablesCheck->error());
        }
    }
    // The whole file (with a Template too large to check before the window) after the window's first
    // paint; a write before then starts it at once and waits for it.
    if (m_check && m_check->outcome() == IntegrityCheck::Outcome::NotStarted && !m_checkScheduled) {
        m_check->startSoon();
        m_checkScheduled = true;
    }
}

bool Database::ownTablesPassed() const
{
    return !m_ownTablesCheck || m_ownTablesCheck->outcome() == IntegrityCheck::Outcome::Passed;
}

bool Database::damageFound() const
{
    const auto damaged = [](const std::unique_ptr<IntegrityCheck>& check) {
        return check && check->outcome() == IntegrityCheck::Outcome::Damaged;
    };
    return damaged(m_ownTablesCheck) || damaged(m_check);
}

void Database::startIntegrityCheck()
{
    m_check =
        std::make_unique<IntegrityCheck>(m_filePath, m_connectionName + QStringLiteral("-pruefung"), m_busyTimeoutMs);
    // Damage elsewhere in the file could spread through a write (the tables share the file's free pages),
    // so the connection refuses writes until the whole file has passed.
    m_writable = false;
    QSqlQuery(connection()).exec(QStringLiteral("PRAGMA query_only = 1"));
    QObject::connect(m_check.get(), &IntegrityCheck::finished, m_check.get(), [this] { settleIntegrityCheck(); });
    // It is scheduled once the program's own tables have passed (confirmOwnTables()): a refusal at the
    // start shows its message in an event loop, and the check must not report the same damage again.
}

void Database::settleIntegrityCheck() const
{
    if (m_writable || !m_check || m_check->outcome() != IntegrityCheck::Outcome::Passed || !ownTablesPassed())
        return;
    QSqlQuery(connection()).exec(QStringLiteral("PRAGMA query_only = 0"));
    m_writable = true;
    addMissingIndex();
}

void Database::awaitWritable() const
{
    if (isServer() && m_readOnly)
        throw LunarisError(ServerRights::MissingRight, ServerRights::readOnlyNotice() + QLatin1Char('.'));
    if (m_writable || !m_check)
        return;
    confirmOwnTables();
    // An unreadable file (a lock held too long) is read once more before the write gives up.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_check->outcome() != IntegrityCheck::Outcome::Passed &&
            m_check->outcome() != IntegrityCheck::Outcome::Damaged) {
            const QString notice = QStringLiteral("Datenbank wird geprüft ...");
            if (m_waitFeedback)
                m_waitFeedback(true, notice);
            const auto done = qScopeGuard([this, notice] {
                if (m_waitFeedback)
                    m_waitFeedback(false, notice);
            });
            m_check->waitForOutcome();
        }
        switch (m_check->outcome()) {
        case IntegrityCheck::Outcome::Passed:
            settleIntegrityCheck();
            return;
        case IntegrityCheck::Outcome::Damaged:
            throw damagedFile(m_filePath);
        default:
            break;
        }
    }
    throw readFailure(m_filePath, m_check->error());
}

void Database::checkSchema() const
{
    QStringList tables;
    for (QSqlQuery q = run(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")); readNext(q);)
        tables.append(q.value(0).toString());
    for (const TableFields& required : requiredSchema()) {
        const QString table = QString::fromLatin1(required.table);
        // Names in SQL are case-insensitive, so a table or field spelt otherwise still serves.
        if (!tables.contains(table, Qt::CaseInsensitive))
            throw LunarisError(MissingTable, QStringLiteral("In der Datenbank „%1“ fehlt die Tabelle „%2“. "
                                                            "Die Datei wird nicht verändert.")
                                                 .arg(m_filePath, table));
        QStringList fields;
        for (QSqlQuery q = run(QStringLiteral("SELECT name FROM pragma_table_info(?)"), {table}); readNext(q);)
            fields.append(q.value(0).toString());
        for (const QString& field : required.fields)
            if (!fields.contains(field, Qt::CaseInsensitive))
                throw LunarisError(MissingField,
                                   QStringLiteral("In der Datenbank „%1“ fehlt das Feld „%2“ in der Tabelle „%3“. "
                                                  "Die Datei wird nicht verändert.")
                                       .arg(m_filePath, field, table));
    }
}

void Database::addMissingIndex() const
{
    // An older file lacks the index that keeps loading a day independent of the number of stored days.
    // Adding it changes no stored value, so a writable file that passed every check gets it; a read-only
    // file goes without. It is not worth a wait: under another program's lock it is simply left for later.
    if (m_readOnly ||
        run(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?"), {kTemplateIndex}).next())
        return;
    QSqlQuery add(connection());
    add.exec(QStringLiteral("PRAGMA busy_timeout = 0"));
    add.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON Template (IDEALTAG, STUHL)").arg(kTemplateIndex));
    add.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(m_busyTimeoutMs));
}

void Database::create()
{
    // The file is built under a temporary name and renamed once complete: a program killed during
    // its first start must not leave a half-made file that every later start would refuse.
    const QString finalPath = m_filePath;
    m_filePath = finalPath + QStringLiteral(".neu");
    QFile::remove(m_filePath); // left over from such a killed start
    try {
        buildNewFile(finalPath);
    } catch (...) {
        m_filePath = finalPath;
        throw;
    }
    m_filePath = finalPath;
    open();
}

void Database::buildNewFile(const QString& finalPath)
{
    try {
        open();
    } catch (const LunarisError&) {
        close();
        // SQLite only tells that it cannot open the file; the usual reason is a folder the user may not write to.
        const QString folder = QFileInfo(m_filePath).absolutePath();
        if (!QFileInfo(folder).isWritable())
            throw LunarisError(CannotOpen,
                               QStringLiteral("Die Datenbank „%1“ konnte nicht angelegt werden: Der Ordner „%2“ "
                                              "ist schreibgeschützt.")
                                   .arg(finalPath, folder));
        throw;
    }
    try {
        inTransaction([this] {
            const QStringList statements = QString::fromUtf8(kSchemaSql).split(QLatin1Char(';'), Qt::SkipEmptyParts);
            for (const QString& statement : statements) {
                QString sql;
                for (const QString& line : statement.split(QLatin1Char('\n')))
                    if (!line.trimmed().startsWith(QLatin1String("--")))
                        sql += line + QLatin1Char('\n');
                if (!sql.trimmed().isEmpty())
                    run(sql);
            }
        });
    } catch (const LunarisError& e) {
        close();
        QFile::remove(m_filePath); // the unfinished temporary file
        throw LunarisError(
            e.number(),
            QStringLiteral("Die Datenbank „%1“ konnte nicht angelegt werden: %2").arg(finalPath, e.description()));
    }
    close();
    if (!QFile::rename(m_filePath, finalPath)) {
        QFile::remove(m_filePath);
        throw LunarisError(CannotOpen,
                           QStringLiteral("Die Datenbank „%1“ konnte nicht angelegt werden.").arg(finalPath));
    }
}

bool Database::lostConnection(const QSqlError& error) const
{
    // On the server a failure without SQLSTATE comes from libpq itself: the connection is gone.
    return isServer() && (isConnectionLoss(error) || error.nativeErrorCode().isEmpty());
}

namespace {
// Qt refuses a statement on a connection its driver has closed (as the server driver does when the
// server goes away under a LISTEN) without setting an error: that is a lost connection too.
QSqlError errorOf(const QSqlQuery& query)
{
    const QSqlError error = query.lastError();
    return error.isValid() ? error
                           : QSqlError(QString(), QStringLiteral("Die Verbindung zur Datenbank ist geschlossen."),
                                       QSqlError::ConnectionError);
}
} // namespace

QSqlError Database::execute(QSqlQuery& query, const QString& sql, const QVariantList& values, bool awaited,
                            std::chrono::steady_clock::time_point deadline) const
{
    query.setForwardOnly(true);
    if (awaited && isServer() && AwaitedStatement::possible(connection())) {
        m_answerPending = true;
        const auto answered = qScopeGuard([this] { m_answerPending = false; });
        const QString notice = QStringLiteral("Warte auf den Datenbankserver ...");
        return AwaitedStatement::run(
            connection(), this->sql(sql), values, deadline,
            [this, notice](bool waiting) {
                if (m_waitFeedback)
                    m_waitFeedback(waiting, notice);
            },
            query);
    }
    // The server prepares only queries and row changes: a statement without values runs directly.
    if (isServer() && values.isEmpty())
        return query.exec(this->sql(sql)) ? QSqlError() : errorOf(query);
    if (isServer()) {
        // Preparing and releasing a statement are round trips of their own: across a network each statement
        // is prepared once per connection and kept (the few the program sends have fixed texts).
        const QString text = this->sql(sql);
        auto prepared = m_prepared.find(text);
        if (prepared == m_prepared.end()) {
            if (m_prepared.size() >= MaxPreparedStatements)
                m_prepared.clear();
            QSqlQuery fresh(connection());
            fresh.setForwardOnly(true);
            if (!fresh.prepare(text))
                return errorOf(fresh);
            prepared = m_prepared.insert(text, fresh);
        }
        // The caller's query shares the kept statement (Qt 6 frowns on copying queries, but a shared
        // prepared result is exactly what is wanted here; each result is read before its text is sent again).
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        query = *prepared;
        QT_WARNING_POP
        for (int i = 0; i < values.size(); ++i)
            query.bindValue(i, values[i]);
        return query.exec() ? QSqlError() : errorOf(query);
    }
    if (!query.prepare(this->sql(sql)))
        return errorOf(query);
    for (const QVariant& value : values)
        query.addBindValue(value);
    return query.exec() ? QSqlError() : errorOf(query);
}

QSqlQuery Database::run(const QString& sql, const QVariantList& values) const
{
    return runStatement(sql, values, false);
}

QSqlQuery Database::runAwaited(const QString& sql, const QVariantList& values) const
{
    return runStatement(sql, values, true);
}

QSqlQuery Database::runStatement(const QString& sql, const QVariantList& values, bool awaited) const
{
    using Clock = StatementDeadline::Clock;
    const Clock::time_point start = Clock::now();
    Clock::time_point deadline = start + std::chrono::milliseconds(StatementTimeoutMs);
    if (m_saveDeadline) {
        if (start >= *m_saveDeadline)
            throw noAnswerFailure();
        deadline = std::min(deadline, *m_saveDeadline);
    }
    // Whatever a timer or a notification asks while a statement awaits its answer must wait for it; this is
    // only the last guard, the connection cannot take a second statement now.
    if (m_answerPending)
        throw LunarisError(ConnectionBusy, QStringLiteral("Der Datenbankserver beantwortet noch eine andere "
                                                          "Anfrage. Bitte versuchen Sie es gleich noch einmal."));
    if (m_serverLost) {
        // The window never waits for a server that is away: only right after a loss that showed at once
        // is a new login worth it here; otherwise the background tries tell when it is back.
        if (!m_quickLoss || m_transactionOpen)
            throw awayFailure();
        reconnectNow(deadline);
    }
    if (!m_writable && !onlyReads(sql))
        awaitWritable();
    if (!onlyReads(sql) && !controlsTransaction(sql)) {
        ++m_ownWrites;
        // Own changes are not notified back.
        m_current.clear();
    }
    const auto attempt = [&](QSqlQuery& query, bool& cut) {
        if (isServer())
            m_deadline->arm(connection(), deadline);
        const QSqlError error = execute(query, sql, values, awaited, deadline);
        cut = isServer() && m_deadline->disarm();
        return error;
    };
    const auto cutFailure = [this] {
        m_awayReason = noAnswerFailure().description();
        setServerLost(true);
        return LunarisError(ServerUnreachable, m_awayReason);
    };
    QSqlQuery query(connection());
    bool cut = false;
    QSqlError error = attempt(query, cut);
    if (!error.isValid())
        return query;
    if (cut)
        throw cutFailure();
    if (!lostConnection(error))
        throw databaseFailure(error);
    // A server restarted while the program sat idle, or a connection cut: the statement finds the
    // connection broken at once, and the server is most likely there again. A dead path shows only after
    // a wait: then the background tries take over, and nothing more is waited for here.
    m_quickLoss = Clock::now() - start < std::chrono::milliseconds(QuickLossMs);
    m_awayReason = lostConnectionFailure(error).description();
    setServerLost(true);
    // Nothing was written on it, so outside a transaction the statement is tried once more on a new
    // connection before anything is reported. Inside one, the whole transaction is gone with the connection.
    if (m_transactionOpen || m_writingAlone || !m_quickLoss)
        throw lostConnectionFailure(error);
    reconnectNow(deadline);
    QSqlQuery again(connection());
    error = attempt(again, cut);
    if (!error.isValid())
        return again;
    if (cut)
        throw cutFailure();
    if (lostConnection(error)) {
        m_awayReason = lostConnectionFailure(error).description();
        setServerLost(true);
        throw lostConnectionFailure(error);
    }
    throw databaseFailure(error);
}

int Database::maxBoundValues() const
{
    // The server's protocol counts values in 16 bits; there every statement is a round trip, so a
    // statement takes as many as it may. The file has no round trips to save, and Qt's SQLite driver
    // looks up every value's placeholder name in a list as long as the statement's, so a long
    // statement costs the square of its values: short ones are faster there (SQLite itself allows 999
    // before 3.32, 32766 since).
    return isServer() ? 65535 : 100;
}

void Database::inTransaction(const std::function<void()>& work, const std::function<bool()>& storedAfterAll) const
{
    const auto rollBack = [this] {
        m_transactionOpen = false;
        if (m_serverLost)
            return;
        QSqlQuery rollback(connection());
        // A rollback that cannot reach the server tells that the connection is gone.
        if (!rollback.exec(QStringLiteral("ROLLBACK")) && lostConnection(rollback.lastError()))
            setServerLost(true);
    };
    if (isServer()) {
        run(QStringLiteral("BEGIN"));
        m_transactionOpen = true;
        // As on the file, one writer at a time: a save reads the day and writes it with no other save
        // in between. Reading stays free for everyone.
        try {
            run(QStringLiteral(R"(LOCK TABLE "Template", "Idealtag" IN SHARE ROW EXCLUSIVE MODE)"));
        } catch (...) {
            rollBack();
            throw;
        }
    } else {
        // IMMEDIATE takes the write lock at once, so a sister program's lock is waited for before any change.
        run(QStringLiteral("BEGIN IMMEDIATE"));
        m_transactionOpen = true;
    }
    try {
        work();
    } catch (...) {
        rollBack();
        throw;
    }
    try {
        run(QStringLiteral("COMMIT"));
        m_transactionOpen = false;
    } catch (const LunarisError& e) {
        const bool answerLost = m_serverLost;
        rollBack();
        // The server may have stored it and lost only its answer: a save must not be called failed then.
        if (!answerLost || !storedAfterAll)
            throw;
        if (commitStoredAfterAll(storedAfterAll, e))
            return;
        throw withSentence(e, QStringLiteral("Es wurde nichts gespeichert."));
    }
}

void Database::writeAlone(const std::function<void()>& work, const std::function<bool()>& storedAfterAll) const
{
    // The statement looks like a read (a function called by SELECT): a role that may not write is refused here.
    if (!m_writable)
        awaitWritable();
    // The user waits for the save, not for its statements one by one: its check after a lost answer (a new
    // login, the lost statement's end, the read) and its one more try share the save's bound.
    const bool ownBound = !m_saveDeadline;
    if (ownBound)
        m_saveDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(StatementTimeoutMs);
    const auto endBound = qScopeGuard([&] {
        if (ownBound)
            m_saveDeadline.reset();
    });
    for (int attempt = 1;; ++attempt) {
        // Away already (and not to be tried now): nothing is sent.
        const bool awayBefore = m_serverLost && !m_quickLoss;
        m_writingAlone = true;
        try {
            work();
            m_writingAlone = false;
            return;
        } catch (const LunarisError& e) {
            m_writingAlone = false;
            if (awayBefore || !m_serverLost || !storedAfterAll)
                throw;
            const bool quickLoss = m_quickLoss;
            bool stored = false;
            try {
                stored = storedAfterAllOnNewConnection(storedAfterAll);
            } catch (const LunarisError& failure) {
                // Mostly the server is still away: that is what the user needs to hear.
                throw withSentence(failure, QStringLiteral("Ob zuvor noch gespeichert wurde, ließ sich nicht prüfen."));
            }
            if (stored)
                return;
            // Not written, and never will be (its server process has ended): a loss that showed at once
            // (a restarted server) is met, as for any statement, by one more try on the new connection.
            if (!quickLoss || attempt > 1)
                throw withSentence(e, QStringLiteral("Es wurde nichts gespeichert."));
        } catch (...) {
            m_writingAlone = false;
            throw;
        }
    }
}

bool Database::commitStoredAfterAll(const std::function<bool()>& storedAfterAll, const LunarisError& lost) const
{
    try {
        return storedAfterAllOnNewConnection(storedAfterAll);
    } catch (const LunarisError&) {
        throw withSentence(lost, QStringLiteral("Ob zuvor noch gespeichert wurde, ließ sich nicht prüfen."));
    }
}

bool Database::storedAfterAllOnNewConnection(const std::function<bool()>& storedAfterAll) const
{
    // On a new connection, under the same table lock as every write: a lost transaction still holds it
    // until the server has committed or dropped it. A lost statement of its own (autocommit) may not yet
    // hold it: its server process is ended first, waiting up to 5 s, so what is read then is the final
    // outcome either way.
    const qint64 lostPid = m_backendPid;
    const QString lostStart = m_backendStart;
    bool stored = false;
    inTransaction([&] {
        if (lostPid != 0)
            run(QStringLiteral("SELECT pg_terminate_backend(pid, 5000) FROM pg_stat_activity WHERE pid = ? "
                               "AND backend_start = CAST(? AS timestamptz)"),
                {lostPid, lostStart});
        stored = storedAfterAll();
    });
    return stored;
}

ChangeStamp Database::changeStamp() const
{
    if (isServer())
        return {};
    QSqlQuery version(connection());
    if (!version.exec(QStringLiteral("PRAGMA data_version")) || !version.next())
        return {};
    return {version.value(0).toLongLong(), m_ownWrites};
}

ChangeStamp Database::changeStampWithoutWaiting() const
{
    if (isServer())
        return {};
    // Reading the data version takes the file's shared lock, which a writing planner may hold for a while.
    ChangeStamp stamp;
    withoutWaiting([&] { stamp = changeStamp(); });
    return stamp;
}

void Database::withoutWaiting(const std::function<void()>& work) const
{
    if (isServer()) {
        work();
        return;
    }
    QSqlQuery(connection()).exec(QStringLiteral("PRAGMA busy_timeout = 0"));
    const auto restore = qScopeGuard(
        [this] { QSqlQuery(connection()).exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(m_busyTimeoutMs)); });
    work();
}

void Database::setChangesHeard(bool heard) const
{
    m_changesHeard = heard && isServer();
    if (!m_changesHeard)
        m_current.clear();
}

void Database::forgetRead(const QByteArray& table) const
{
    if (table.isEmpty())
        m_current.clear();
    else
        m_current.remove(table);
}

void Database::setServerLost(bool lost) const
{
    if (m_serverLost == lost)
        return;
    m_serverLost = lost;
    if (m_connectionObserver)
        m_connectionObserver(!lost);
    if (lost) {
        // Changes made meanwhile are not heard; the connection that comes back listens anew.
        m_current.clear();
        m_changesHeard = false;
        // Nothing more goes to the lost connection; its socket may hang on a dead path. Closed before its
        // prepared statements are dropped: a statement whose answer was awaited leaves it waiting for that answer,
        // and releasing a statement there would wait for ever.
        connection().close();
        m_prepared.clear();
        m_reconnector->start();
    } else {
        m_reconnector->stop();
    }
}
