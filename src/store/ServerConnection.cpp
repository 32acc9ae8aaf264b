#include "store/ServerConnection.h"

#include "store/PasswordFile.h"
#include "store/ServerHandshake.h"
#include "store/StatementDeadline.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QThread>
#include <QUuid>
#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {
const QString Driver = QStringLiteral("QPSQL");
// How long the examination of a failed login waits for the host's port.
constexpr int ReachabilityTimeoutMs = 3000;

// A value for libpq's key=value connection text, quoted as libpq reads it.
QString quoted(QString value)
{
    value.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

int connectTimeoutSeconds(const ServerAddress& address)
{
    bool ok = false;
    const int seconds = address.option(QStringLiteral("connect_timeout")).toInt(&ok);
    return ok && seconds > 0 ? qMax(seconds, 2) : ServerConnection::DefaultConnectTimeoutSeconds;
}

QString uniqueName(const char* purpose)
{
    return QStringLiteral("lunaris-%1-%2")
        .arg(QLatin1String(purpose), QUuid::createUuid().toString(QUuid::WithoutBraces));
}

// Whether the host answers at the port, from the socket's own error, not from any message.
ServerConnection::Failure reachability(const ServerAddress& address)
{
    using ServerConnection::Failure;
    if (address.host.isEmpty() || address.host.startsWith(QLatin1Char('/'))) {
        const QString folder = address.host.isEmpty() ? QStringLiteral("/var/run/postgresql") : address.host;
        return QFileInfo::exists(QStringLiteral("%1/.s.PGSQL.%2").arg(folder).arg(address.port))
                   ? Failure::Other
                   : Failure::NoLocalService;
    }
    QTcpSocket socket;
    socket.connectToHost(address.host, quint16(address.port));
    if (socket.waitForConnected(ReachabilityTimeoutMs)) {
        socket.abort();
        return Failure::Other;
    }
    switch (socket.error()) {
    case QAbstractSocket::HostNotFoundError:
        return Failure::HostUnknown;
    case QAbstractSocket::ConnectionRefusedError:
        return Failure::NoService;
    case QAbstractSocket::SocketTimeoutError:
        return Failure::NoAnswer;
    default:
        return Failure::Unreachable;
    }
}

// The host answers, but the login failed: why the encryption failed, found by looking at the server's TLS
// without logging in (libpq words such failures only in the locale's language and gives them no class).
ServerConnection::Failure encryptionDiagnosis(const ServerAddress& address)
{
    using ServerConnection::Failure;
    if (ServerConnection::checksCertificate(address)) {
        QFile file(ServerConnection::rootCertificatePath(address));
        if (!file.open(QIODevice::ReadOnly))
            return Failure::CertificateFileUnreadable;
        if (!file.read(1 << 20).contains("-----BEGIN CERTIFICATE-----"))
            return Failure::NotACertificate;
    }
    if (address.option(QStringLiteral("sslmode")) == QLatin1String("disable"))
        return ServerHandshake::admission(address, false) == ServerHandshake::Admission::Refused &&
                       ServerHandshake::admission(address, true) == ServerHandshake::Admission::Admitted
                   ? Failure::EncryptionRequired
                   : Failure::Other;
    return ServerHandshake::encryptionFailure(address);
}

// The host answers and its encryption is as asked, but the login failed: the same login to the server's
// maintenance database tells a missing database (or a missing right to it) from a refused login. It goes
// to the same server with the same encryption and checks as the login that failed, so the password reaches
// no one that login would not have given it to. Its question ends with the examination: a path that dies just
// after this login would hold it until TCP gives up, and on Windows longer.
ServerConnection::Failure loginDiagnosis(const ServerAddress& address, const QString& password,
                                         QDeadlineTimer examinationEnds)
{
    using ServerConnection::Failure;
    // The password file's line names the practice database, not the maintenance one: the password is passed on.
    const QString known =
        password.isEmpty()
            ? PasswordFile().passwordFor(address.host, address.port, address.database, address.user).value_or(QString())
            : password;
    ServerAddress maintenance = address;
    maintenance.database =
        address.database == QLatin1String("postgres") ? QStringLiteral("template1") : QStringLiteral("postgres");
    // The driver's own settings right after the login wait for answers too; where TCP can give up on a dead path
    // (not on Windows), it does so with the examination.
    if (!examinationEnds.isForever() && maintenance.option(QStringLiteral("tcp_user_timeout")).isEmpty()) {
        const qint64 leftMs =
            std::clamp<qint64>(examinationEnds.remainingTime(), 1000, ServerConnection::TcpUserTimeoutMs);
        maintenance.options.append({QStringLiteral("tcp_user_timeout"), QString::number(leftMs)});
    }
    Failure failure = known.isEmpty() ? Failure::PasswordMissing : Failure::LoginRefused;
    const QString name = uniqueName("pruefung");
    {
        QSqlDatabase db = ServerConnection::open(maintenance, name, known);
        if (db.isOpen()) {
            {
                StatementDeadline bound;
                if (!examinationEnds.isForever())
                    bound.arm(db, examinationEnds.deadline<StatementDeadline::Clock>());
                bool answered = false;
                bool exists = false;
                bool mayConnect = false;
                {
                    // The query ends inside the bound: releasing its prepared statement asks the server too.
                    QSqlQuery query(db);
                    query.prepare(QStringLiteral("SELECT has_database_privilege(datname, 'CONNECT') FROM "
                                                 "pg_database WHERE datname = ?"));
                    query.addBindValue(address.database);
                    answered = query.exec();
                    exists = answered && query.next();
                    mayConnect = exists && query.value(0).toBool();
                }
                // The login got through, so a question left unanswered is the path's fault, not a refusal.
                failure = bound.disarm() || !answered ? Failure::Unreachable
                          : !exists                   ? Failure::DatabaseMissing
                          : !mayConnect               ? Failure::NoConnectRight
                                                      : Failure::Other;
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return failure;
}
// Each step only where the time left allows its longest wait; a step left out leaves the host "not reachable".
template <typename TimeFor>
ServerConnection::Failure examined(const ServerAddress& address, const QString& password, const TimeFor& timeFor,
                                   QDeadlineTimer examinationEnds)
{
    using ServerConnection::Failure;
    if (!timeFor(ReachabilityTimeoutMs))
        return Failure::Unreachable;
    if (const Failure failure = reachability(address); failure != Failure::Other)
        return failure;
    // Without encryption it may look twice.
    if (!timeFor(2 * ServerHandshake::TimeoutMs))
        return Failure::Unreachable;
    if (const Failure failure = encryptionDiagnosis(address); failure != Failure::Other)
        return failure;
    if (!timeFor(connectTimeoutSeconds(address) * 1000))
        return Failure::Unreachable;
    return loginDiagnosis(address, password, examinationEnds);
}
} // namespace

#if defined(Q_OS_WIN) && defined(Q_CC_MINGW)
namespace {
// With MinGW a thread_local's destructor runs after its storage was freed when the thread ends. A regular
// expression matched with Qt's JIT leaves such a thread_local on its thread (every login's: the driver reads the
// server's version with one), and a login's thread crashed once it ended. Without the JIT no thread_local is made.
// Qt reads the setting at the first match, which may come before QCoreApplication: set when the program loads.
const bool regularExpressionsWithoutJit = qputenv("QT_ENABLE_REGEXP_JIT", "0");
} // namespace
#endif

QString ServerConnection::rootCertificatePath(const ServerAddress& address)
{
    if (const QString file = address.option(QStringLiteral("sslrootcert")); !file.isEmpty())
        return file;
    if (const QString file = qEnvironmentVariable("PGSSLROOTCERT"); !file.isEmpty())
        return file;
#ifdef Q_OS_WIN
    return qEnvironmentVariable("APPDATA") + QStringLiteral("/postgresql/root.crt");
#else
    return QDir::homePath() + QStringLiteral("/.postgresql/root.crt");
#endif
}

bool ServerConnection::checksCertificate(const ServerAddress& address)
{
    const QString mode = address.option(QStringLiteral("sslmode"));
    return mode == QLatin1String("verify-full") || mode == QLatin1String("verify-ca");
}

bool ServerConnection::driverAvailable()
{
    return QSqlDatabase::isDriverAvailable(Driver);
}

QSqlDatabase ServerConnection::open(const ServerAddress& address, const QString& connectionName,
                                    const QString& password)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(Driver, connectionName);
    db.setHostName(address.host);
    db.setPort(address.port);
    db.setDatabaseName(address.database);
    db.setUserName(address.user);
    db.setPassword(password);
    QStringList options;
    for (const auto& [key, value] : address.options)
        options.append(key + QLatin1Char('=') + quoted(value));
    // Nothing waits without a bound: an unreachable server, a dead network path under an open connection.
    // A value the URI gives wins.
    const auto bound = [&](const char* key, int value) {
        if (address.option(QLatin1String(key)).isEmpty())
            options.append(QStringLiteral("%1=%2").arg(QLatin1String(key)).arg(value));
    };
    bound("connect_timeout", DefaultConnectTimeoutSeconds);
    bound("keepalives", 1);
    bound("keepalives_idle", KeepaliveIdleSeconds);
    bound("keepalives_interval", KeepaliveIntervalSeconds);
    bound("keepalives_count", KeepaliveCount);
    bound("tcp_user_timeout", TcpUserTimeoutMs);
    if (address.option(QStringLiteral("application_name")).isEmpty())
        options.append(QStringLiteral("application_name=Lunaris"));
    db.setConnectOptions(options.join(QLatin1Char(';')));
    db.open();
    return db;
}

ServerConnection::Login ServerConnection::login(const ServerAddress& address, const QString& connectionName,
                                                const QString& password, QDeadlineTimer examinationEnds)
{
    const auto timeFor = [&](qint64 longestMs) {
        return examinationEnds.isForever() || examinationEnds.remainingTime() >= longestMs;
    };
    QElapsedTimer clock;
    clock.start();
    Login result{open(address, connectionName, password), {}};
    if (result.db.isOpen())
        return result;
    const QSqlError error = result.db.lastError();
    Failure failure = classify(error);
    if (failure == Failure::Unreachable && driverAvailable()) {
        // A login that ran into the connect timeout found a host that does not answer (a dead path). libpq
        // counts the timeout in whole seconds of the clock, so it may end up to a second early.
        if (clock.elapsed() >= (connectTimeoutSeconds(address) - 1) * 1000 - 100)
            failure = Failure::NoAnswer;
        else
            failure = examined(address, password, timeFor, examinationEnds);
    }
    result.failure = describeFailure(failure, error, address);
    return result;
}

ServerConnection::Login ServerConnection::loginWithin(const ServerAddress& address, const QString& connectionName,
                                                      QDeadlineTimer ends)
{
    // What the login's thread hands over, or leaves behind when the caller has given up.
    struct Handover {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        bool givenUp = false;
        Login login;
    };
    const auto handover = std::make_shared<Handover>();
    QThread* const caller = QThread::currentThread();
    std::thread([handover, address, connectionName, ends, caller] {
        Login login = ServerConnection::login(address, connectionName, {}, ends);
        std::unique_lock lock(handover->mutex);
        if (handover->givenUp) {
            lock.unlock();
            login.db.close();
            login.db = QSqlDatabase();
            QSqlDatabase::removeDatabase(connectionName);
            return;
        }
        // The connection is used where it was asked for (the driver's thread is the connection's).
        if (QSqlDriver* driver = login.db.driver())
            driver->moveToThread(caller);
        handover->login = login;
        login.db = QSqlDatabase();
        handover->done = true;
        handover->finished.notify_all();
    }).detach();
    std::unique_lock lock(handover->mutex);
    const bool done = ends.isForever() ? (handover->finished.wait(lock, [&] { return handover->done; }), true)
                                       : handover->finished.wait_until(lock, ends.deadline<std::chrono::steady_clock>(),
                                                                       [&] { return handover->done; });
    if (!done) {
        handover->givenUp = true;
        Login late;
        late.inTime = false;
        return late;
    }
    return std::exchange(handover->login, Login());
}

ServerConnection::Failure ServerConnection::classify(const QSqlError& error)
{
    if (!driverAvailable())
        return Failure::DriverMissing;
    const QString code = error.nativeErrorCode();
    if (code.size() != 5)
        // libpq's own failures carry no SQLSTATE: no connection was made, or it broke.
        return error.type() == QSqlError::ConnectionError || code.isEmpty() ? Failure::Unreachable : Failure::Other;
    const QStringView sqlClass = QStringView(code).left(2);
    if (sqlClass == u"08")
        return Failure::Unreachable;
    if (code == u"28P01")
        return Failure::PasswordRefused;
    if (sqlClass == u"28")
        return Failure::NotAdmitted;
    if (code == u"3D000")
        return Failure::DatabaseMissing;
    if (code == u"42501")
        return Failure::NoRight;
    if (code == u"53300")
        return Failure::TooManyConnections;
    if (code == u"57014")
        return Failure::StatementTimeout;
    if (code.startsWith(u"57P"))
        return Failure::ServerGoingAway;
    if (code == u"55P03" || sqlClass == u"40")
        return Failure::Busy;
    return Failure::Other;
}

QString ServerConnection::germanReason(Failure failure, const ServerAddress& address)
{
    const QString host = address.host.isEmpty() ? QStringLiteral("localhost") : address.host;
    switch (failure) {
    case Failure::Other:
        return {};
    case Failure::DriverMissing:
        return QStringLiteral("Der Datenbanktreiber für PostgreSQL (QPSQL) ist nicht installiert.");
    case Failure::HostUnknown:
        return QStringLiteral("Einen Rechner namens „%1“ gibt es im Netz nicht (Name unbekannt).").arg(host);
    case Failure::NoService:
        return QStringLiteral("Auf dem Rechner „%1“ nimmt kein Datenbankserver Verbindungen an Port %2 an.")
            .arg(host)
            .arg(address.port);
    case Failure::NoLocalService:
        return QStringLiteral("Auf diesem Rechner läuft kein Datenbankserver an Port %1.").arg(address.port);
    case Failure::NoAnswer:
        return QStringLiteral("Der Server antwortet nicht (keine Antwort innerhalb von %1 Sekunden). "
                              "Ist das Netz unterbrochen?")
            .arg(connectTimeoutSeconds(address));
    case Failure::Unreachable:
        return QStringLiteral("Der Server ist nicht erreichbar.");
    case Failure::PasswordMissing:
        return QStringLiteral("Der Server verlangt ein Passwort für den Benutzer „%1“, es ist aber keins hinterlegt.")
            .arg(address.user);
    case Failure::LoginRefused:
        return QStringLiteral("Der Server hat die Anmeldung des Benutzers „%1“ abgelehnt (Passwort falsch, Benutzer "
                              "unbekannt oder von diesem Arbeitsplatz aus nicht zugelassen).")
            .arg(address.user);
    case Failure::PasswordRefused:
        return QStringLiteral("Der Server hat das Passwort für den Benutzer „%1“ abgelehnt.").arg(address.user);
    case Failure::NotAdmitted:
        return QStringLiteral("Der Server lässt die Anmeldung des Benutzers „%1“ nicht zu.").arg(address.user);
    case Failure::DatabaseMissing:
        return QStringLiteral("Die Datenbank „%1“ gibt es auf dem Server nicht.").arg(address.database);
    case Failure::NoConnectRight:
        return QStringLiteral("Der Benutzer „%1“ darf sich nicht mit der Datenbank „%2“ verbinden.")
            .arg(address.user, address.database);
    case Failure::NoRight:
        return QStringLiteral("Dem Benutzer „%1“ fehlt auf dem Server das Recht dazu.").arg(address.user);
    case Failure::TooManyConnections:
        return QStringLiteral("Der Server nimmt keine weiteren Verbindungen an (zu viele Verbindungen).");
    case Failure::ServerGoingAway:
        return QStringLiteral("Der Server wird gerade beendet oder gestartet.");
    case Failure::StatementTimeout:
        return QStringLiteral("Der Server hat zu lange nicht geantwortet; der Vorgang wurde abgebrochen.");
    case Failure::Busy:
        return QStringLiteral("Die Daten werden gerade von einem anderen Arbeitsplatz benutzt.");
    case Failure::CertificateFileUnreadable:
        return QStringLiteral("Die Zertifikatsdatei „%1“ kann nicht gelesen werden (sie fehlt, oder es fehlen die "
                              "Leserechte).")
            .arg(QDir::toNativeSeparators(rootCertificatePath(address)));
    case Failure::NotACertificate:
        return QStringLiteral("Die Datei „%1“ enthält kein Zertifikat.")
            .arg(QDir::toNativeSeparators(rootCertificatePath(address)));
    case Failure::CertificateNameMismatch:
        return QStringLiteral("Das Zertifikat des Servers gilt nicht für den Namen „%1“. Bitte geben Sie den Server "
                              "so an, wie er im Zertifikat steht.")
            .arg(host);
    case Failure::CertificateUntrusted:
        return QStringLiteral("Das Zertifikat des Servers ist nicht von der Zertifizierungsstelle in „%1“ "
                              "ausgestellt. Ist es die richtige Zertifikatsdatei der Praxis?")
            .arg(QDir::toNativeSeparators(rootCertificatePath(address)));
    case Failure::CertificateExpired:
        return QStringLiteral("Das Zertifikat des Servers ist abgelaufen oder noch nicht gültig. Bitte lassen Sie es "
                              "erneuern, oder prüfen Sie Datum und Uhrzeit dieses Arbeitsplatzes.");
    case Failure::CertificateNotCheckable:
        return QStringLiteral("Das Zertifikat des Servers konnte nicht geprüft werden: diesem Arbeitsplatz fehlt die "
                              "Unterstützung für verschlüsselte Verbindungen (TLS). Ohne Prüfung wird keine "
                              "Verbindung hergestellt.");
    case Failure::EncryptionNotOffered:
        return QStringLiteral("Der Server bietet keine verschlüsselte Verbindung an.");
    case Failure::EncryptionRequired:
        return QStringLiteral("Der Server lässt nur verschlüsselte Verbindungen zu. Bitte wählen Sie unter "
                              "„Verschlüsselung:“ eine verschlüsselte Verbindung.");
    }
    return {};
}

QString ServerConnection::describeFailure(const QSqlError& error, const ServerAddress& address)
{
    return describeFailure(classify(error), error, address);
}

QString ServerConnection::describeFailure(Failure failure, const QSqlError& error, const ServerAddress& address)
{
    QString serverText = error.databaseText().trimmed();
    if (serverText.isEmpty())
        serverText = error.driverText().trimmed();
    // libpq puts its hint on a line of its own, indented by a tab: the lines stay lines (with the
    // message box's break), each without its indent or doubled spaces.
    static const QRegularExpression lineBreaks(QStringLiteral("[\\r\\n]+"));
    QStringList lines;
    for (const QString& line : serverText.split(lineBreaks))
        if (const QString plain = line.simplified(); !plain.isEmpty())
            lines.append(plain);
    serverText = lines.join(QLatin1Char('\r'));
    const QString head = QStringLiteral("Die Verbindung zum Server „%1“ ist fehlgeschlagen").arg(address.displayName());
    // Always a reason of our own: the driver's words follow the locale (and are English where libpq has no
    // translations), so they are only the detail.
    QString reason = germanReason(failure, address);
    if (reason.isEmpty())
        reason = serverText.isEmpty() ? QStringLiteral("Unbekannter Fehler.")
                                      : QStringLiteral("Der Server hat die Verbindung nicht angenommen.");
    if (failure == Failure::DriverMissing || serverText.isEmpty())
        return head + QStringLiteral(": ") + reason;
    return head + QStringLiteral(": ") + reason + QStringLiteral("\r(Meldung: ") + serverText + QLatin1Char(')');
}

ServerConnection::ProbeResult ServerConnection::probe(const ServerAddress& address, const QString& password)
{
    const QString name = uniqueName("probe");
    ProbeResult result;
    {
        Login attempt = login(address, name, password);
        result.ok = attempt.ok();
        result.message = result.ok
                             ? QStringLiteral("Die Verbindung zum Server „%1“, Datenbank „%2“, wurde hergestellt.")
                                   .arg(address.displayName(), address.database)
                             : attempt.failure;
        attempt.db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}
