#include "store/AwaitedStatement.h"

#include "store/LibpqFunctions.h"
#include "store/SqlText.h"

#include <QDateTime>
#include <QEventLoop>
#include <QPointer>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlRecord>
#include <QSqlResult>
#include <QTimer>

#include <cmath>
#include <cstdlib>
#include <optional>

namespace {
// Milliseconds before a wait shows (busy pointer, status text): a round trip of a normal network does not.
constexpr int ShownAfterMs = 300;
// Milliseconds between looks at an answer that no notifier may announce.
constexpr int LookMs = 10;

// libpq's type identities (PostgreSQL's catalogue) and the value types the server driver gives them.
QMetaType typeOf(unsigned int oid)
{
    switch (oid) {
    case 16: // bool
        return QMetaType(QMetaType::Bool);
    case 20: // bigint
        return QMetaType(QMetaType::LongLong);
    case 21:   // smallint
    case 23:   // integer
    case 24:   // regproc
    case 28:   // xid
    case 29:   // cid
    case 2278: // void
        return QMetaType(QMetaType::Int);
    case 700:  // real
    case 701:  // double precision
    case 1700: // numeric
        return QMetaType(QMetaType::Double);
    case 702:  // abstime
    case 703:  // reltime
    case 1082: // date
        return QMetaType(QMetaType::QDate);
    case 1083: // time
    case 1266: // time with time zone
        return QMetaType(QMetaType::QTime);
    case 1114: // timestamp
    case 1184: // timestamp with time zone
        return QMetaType(QMetaType::QDateTime);
    case 17: // bytea
        return QMetaType(QMetaType::QByteArray);
    default:
        return QMetaType(QMetaType::QString);
    }
}

QVariant valueOf(const QMetaType& type, const char* text, QSql::NumericalPrecisionPolicy precision, bool numeric)
{
    const QByteArray bytes = QByteArray::fromRawData(text, qstrlen(text));
    switch (type.id()) {
    case QMetaType::Bool:
        return QVariant(text[0] == 't');
    case QMetaType::LongLong:
        return text[0] == '-' ? QVariant(bytes.toLongLong()) : QVariant(bytes.toULongLong());
    case QMetaType::Int:
        return std::atoi(text);
    case QMetaType::Double: {
        if (numeric && precision == QSql::HighPrecision)
            return QString::fromLatin1(text);
        bool ok = false;
        double number = bytes.toDouble(&ok);
        if (!ok) {
            if (qstricmp(text, "NaN") == 0)
                number = qQNaN();
            else if (qstricmp(text, "Infinity") == 0)
                number = qInf();
            else if (qstricmp(text, "-Infinity") == 0)
                number = -qInf();
            else
                return QVariant();
        }
        if (numeric && precision == QSql::LowPrecisionInt64)
            return QVariant(qlonglong(number));
        if (numeric && precision == QSql::LowPrecisionInt32)
            return QVariant(int(number));
        return number;
    }
    case QMetaType::QDate:
        return QDate::fromString(QString::fromLatin1(text), Qt::ISODate);
    case QMetaType::QTime:
        return QTime::fromString(QString::fromLatin1(text), Qt::ISODate);
    case QMetaType::QDateTime:
        return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate).toLocalTime();
    case QMetaType::QByteArray: {
        // Sent as hexadecimal (bytea_output's default) or in the escape form.
        if (bytes.startsWith("\\x"))
            return QByteArray::fromHex(bytes.mid(2));
        return bytes;
    }
    default:
        return QString::fromUtf8(text);
    }
}

// The rows of an answer, read in full, served to the program's reading code as the driver's would be.
class ReceivedRows final : public QSqlResult {
public:
    ReceivedRows(const QSqlDriver* driver, const LibpqFunctions& pq, LibpqFunctions::Result* answer)
        : QSqlResult(driver)
    {
        const int status = pq.resultStatus(answer);
        setSelect(status == LibpqFunctions::TuplesOk);
        setActive(true);
        setForwardOnly(true);
        m_affected = QByteArray(pq.cmdTuples(answer)).toInt();
        if (status != LibpqFunctions::TuplesOk)
            return;
        const int columns = pq.nfields(answer);
        QList<QMetaType> types;
        QList<bool> numeric;
        for (int c = 0; c < columns; ++c) {
            const unsigned int oid = pq.ftype(answer, c);
            types.append(typeOf(oid));
            numeric.append(oid == 1700);
            QSqlField field(QString::fromUtf8(pq.fname(answer, c)), types.last());
            field.setValue(QVariant(types.last()));
            m_record.append(field);
        }
        const int rows = pq.ntuples(answer);
        m_rows.reserve(rows);
        for (int r = 0; r < rows; ++r) {
            QVariantList row;
            row.reserve(columns);
            for (int c = 0; c < columns; ++c)
                row.append(pq.getisnull(answer, r, c)
                               ? QVariant(types[c], nullptr)
                               : valueOf(types[c], pq.getvalue(answer, r, c), numericalPrecisionPolicy(), numeric[c]));
            m_rows.append(row);
        }
    }

protected:
    QVariant data(int column) override { return m_rows.value(at()).value(column); }
    bool isNull(int column) override { return data(column).isNull(); }
    bool reset(const QString&) override { return false; }
    bool fetch(int row) override
    {
        if (row < 0 || row >= m_rows.size()) {
            setAt(QSql::AfterLastRow);
            return false;
        }
        setAt(row);
        return true;
    }
    bool fetchFirst() override { return fetch(0); }
    bool fetchLast() override { return fetch(int(m_rows.size()) - 1); }
    int size() override { return isSelect() ? int(m_rows.size()) : -1; }
    int numRowsAffected() override { return m_affected; }
    QSqlRecord record() const override { return m_record; }

private:
    QSqlRecord m_record;
    QList<QVariantList> m_rows;
    int m_affected = 0;
};

// The driver's notifier on the connection's socket (it hears the change notifications) would take the answer's
// bytes, and some platforms refuse a second notifier on one socket: it rests while the answer is awaited.
class RestingNotifiers {
public:
    RestingNotifiers(QSqlDriver* driver, qintptr socket) : m_driver(driver)
    {
        for (QSocketNotifier* notifier : driver->findChildren<QSocketNotifier*>())
            if (notifier->isEnabled() && notifier->socket() == socket) {
                notifier->setEnabled(false);
                m_resting.append(notifier);
            }
    }
    ~RestingNotifiers()
    {
        for (const QPointer<QSocketNotifier>& notifier : std::as_const(m_resting))
            if (notifier)
                notifier->setEnabled(true);
    }
    // Notifications that came with the answer wait in libpq: the driver is told to look for them.
    void lookForNotifications() const
    {
        if (m_resting.isEmpty() || !m_driver)
            return;
        if (m_driver->metaObject()->indexOfMethod("_q_handleNotification()") >= 0)
            QMetaObject::invokeMethod(m_driver, "_q_handleNotification", Qt::QueuedConnection);
    }

private:
    QPointer<QSqlDriver> m_driver;
    QList<QPointer<QSocketNotifier>> m_resting;
};

QSqlError failure(const LibpqFunctions& pq, LibpqFunctions::Conn* conn, const QString& what,
                  LibpqFunctions::Result* answer = nullptr)
{
    // As the driver reports it: libpq's text, the server's code in brackets (none when the connection failed).
    QString text = QString::fromUtf8(pq.errorMessage(conn));
    QString code;
    if (answer) {
        code = QString::fromLatin1(pq.resultErrorField(answer, LibpqFunctions::SqlStateField));
        text += QStringLiteral("(%1)").arg(code);
    }
    return QSqlError(QStringLiteral("QPSQL: ") + what, text, QSqlError::StatementError, code);
}
} // namespace

bool AwaitedStatement::possible(const QSqlDatabase& db)
{
    return LibpqFunctions::get().canSendWithoutWaiting() && libpqConnection(db) && db.isOpen();
}

QString AwaitedStatement::numbered(const QString& statement)
{
    QString result;
    result.reserve(statement.size() + 16);
    int number = 0;
    for (qsizetype i = 0; i < statement.size();) {
        const QChar c = statement.at(i);
        if (SqlText::isQuote(c)) {
            const qsizetype next = SqlText::afterQuoted(statement, i);
            result += QStringView(statement).mid(i, next - i);
            i = next;
            continue;
        }
        if (c == QLatin1Char('?'))
            result += QLatin1Char('$') + QString::number(++number);
        else
            result += c;
        ++i;
    }
    return result;
}

QByteArray AwaitedStatement::textOf(const QVariant& value, bool& isNull)
{
    isNull = value.isNull();
    switch (value.typeId()) {
    case QMetaType::QString:
        isNull = isNull || value.toString().isNull();
        return value.toString().toUtf8();
    case QMetaType::QByteArray:
        isNull = isNull || value.toByteArray().isNull();
        return "\\x" + value.toByteArray().toHex();
    case QMetaType::Bool:
        return value.toBool() ? "true" : "false";
    case QMetaType::QDate:
        isNull = isNull || !value.toDate().isValid();
        return value.toDate().toString(Qt::ISODate).toLatin1();
    case QMetaType::QTime:
        isNull = isNull || !value.toTime().isValid();
        return value.toTime().toString(QStringLiteral("hh:mm:ss.zzz")).toLatin1();
    case QMetaType::QDateTime: {
        const QDateTime time = value.toDateTime();
        isNull = isNull || !time.isValid();
        return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs).toLatin1();
    }
    case QMetaType::Float:
    case QMetaType::Double: {
        const double number = value.toDouble();
        if (std::isnan(number))
            return "NaN";
        if (std::isinf(number))
            return number < 0 ? "-Infinity" : "Infinity";
        return QByteArray::number(number, 'g', QLocale::FloatingPointShortest);
    }
    default:
        return value.toString().toUtf8();
    }
}

QSqlError AwaitedStatement::run(const QSqlDatabase& db, const QString& statement, const QVariantList& values,
                                Clock::time_point deadline, const std::function<void(bool)>& feedback, QSqlQuery& rows)
{
    const LibpqFunctions& pq = LibpqFunctions::get();
    LibpqFunctions::Conn* const conn = libpqConnection(db);
    QList<QByteArray> texts;
    QList<const char*> pointers;
    texts.reserve(values.size());
    for (const QVariant& value : values) {
        bool isNull = false;
        texts.append(textOf(value, isNull));
        if (isNull)
            texts.last() = QByteArray();
    }
    for (const QByteArray& text : std::as_const(texts))
        pointers.append(text.isNull() ? nullptr : text.constData());

    // What an earlier query left unread (its last row read, the end of its result not yet) goes first, as the
    // driver does before each statement: libpq takes no new statement before.
    while (LibpqFunctions::Result* unread = pq.getResult(conn))
        pq.clear(unread);
    const qintptr socket = pq.socket(conn);
#ifdef Q_OS_WIN
    // Windows keeps one notifier per socket and kind: a second one takes the driver's place, and the driver's
    // is not heard again after both were switched. There the driver's stays as it is, and the answer is looked
    // at by the timer below (the driver's look on its arrival reads it into libpq, which is harmless).
    const bool ownNotifiers = false;
#else
    const bool ownNotifiers = true;
#endif
    std::optional<RestingNotifiers> driverNotifiers;
    if (ownNotifiers)
        driverNotifiers.emplace(db.driver(), socket);
    // Sending must not wait on a full send buffer either (a dead path takes a large day's rows no more).
    pq.setNonblocking(conn, 1);
    // Back to the driver's way once the exchange is complete; a broken one is given up, and switching would try
    // to send what is left first.
    bool complete = false;
    const auto blocking = qScopeGuard([&] {
        if (complete)
            pq.setNonblocking(conn, 0);
    });
    const QByteArray text = numbered(statement).toUtf8();
    if (!pq.sendQueryParams(conn, text.constData(), int(pointers.size()), nullptr, pointers.constData(), nullptr,
                            nullptr, 0))
        return failure(pq, conn, QStringLiteral("Unable to send query"));

    QList<LibpqFunctions::Result*> answers;
    const auto clearAnswers = qScopeGuard([&] {
        for (LibpqFunctions::Result* answer : std::as_const(answers))
            pq.clear(answer);
    });
    QEventLoop loop;
    // Made only where they may be: even a disabled one would have taken the driver's place on Windows.
    std::optional<QSocketNotifier> readable, writable;
    if (ownNotifiers) {
        readable.emplace(socket, QSocketNotifier::Read);
        writable.emplace(socket, QSocketNotifier::Write);
    }
    bool done = false;
    QSqlError error;
    const auto finish = [&](const QSqlError& failed) {
        done = true;
        error = failed;
        if (ownNotifiers) {
            readable->setEnabled(false);
            writable->setEnabled(false);
        }
        loop.quit();
    };
    const auto step = [&] {
        if (done)
            return;
        const int unsent = pq.flush(conn);
        if (unsent < 0)
            return finish(failure(pq, conn, QStringLiteral("Unable to send query")));
        if (ownNotifiers)
            writable->setEnabled(unsent == 1);
        if (!pq.consumeInput(conn))
            return finish(failure(pq, conn, QStringLiteral("Unable to get result")));
        while (!pq.isBusy(conn)) {
            LibpqFunctions::Result* answer = pq.getResult(conn);
            if (!answer)
                return finish(QSqlError());
            answers.append(answer);
        }
    };
    if (ownNotifiers) {
        QObject::connect(&*readable, &QSocketNotifier::activated, &loop, step);
        QObject::connect(&*writable, &QSocketNotifier::activated, &loop, step);
    }
    // The driver's look for notifications, queued by its last statement, may run in this loop and read the
    // answer from the socket into libpq, where no notifier sees it: looked at now and then as well.
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, step);
    look.start(LookMs);
    // The deadline's cut (the socket shut down) wakes the notifier; where it does not, this ends the wait.
    QTimer bound;
    bound.setSingleShot(true);
    // A coarse timer may fire up to 5 % early, before the deadline's cut.
    bound.setTimerType(Qt::PreciseTimer);
    QObject::connect(&bound, &QTimer::timeout, &loop, [&] {
        finish(QSqlError(QStringLiteral("QPSQL: Unable to get result"),
                         QStringLiteral("Der Server hat nicht rechtzeitig geantwortet."), QSqlError::StatementError));
    });
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    bound.start(int(qMax<qint64>(0, left.count()) + 200));
    bool shown = false;
    QTimer show;
    show.setSingleShot(true);
    QObject::connect(&show, &QTimer::timeout, &loop, [&] {
        shown = bool(feedback);
        if (shown)
            feedback(true);
    });
    show.start(ShownAfterMs);
    step();
    if (!done)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (shown)
        feedback(false);
    if (error.isValid())
        return error;
    complete = true;
    if (driverNotifiers)
        driverNotifiers->lookForNotifications();
    // One statement has one result; a failed one says why.
    for (LibpqFunctions::Result* answer : std::as_const(answers)) {
        const int status = pq.resultStatus(answer);
        if (status != LibpqFunctions::TuplesOk && status != LibpqFunctions::CommandOk)
            return failure(pq, conn, QStringLiteral("Unable to create query"), answer);
    }
    if (answers.isEmpty())
        return failure(pq, conn, QStringLiteral("Unable to get result"));
    rows = QSqlQuery(new ReceivedRows(db.driver(), pq, answers.last()));
    return {};
}
