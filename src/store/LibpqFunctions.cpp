#include "store/LibpqFunctions.h"

#include <QLibrary>
#include <QSqlDriver>
#include <QVariant>

bool LibpqFunctions::canSendWithoutWaiting() const
{
    return socket && status && errorMessage && sendQueryParams && setNonblocking && flush && consumeInput && isBusy &&
           getResult && resultStatus && resultErrorField && ntuples && nfields && fname && ftype && getisnull &&
           getvalue && cmdTuples && clear;
}

const LibpqFunctions& LibpqFunctions::get()
{
    static const LibpqFunctions functions = [] {
        LibpqFunctions f;
#ifdef Q_OS_WIN
        QLibrary library(QStringLiteral("libpq"));
#else
        QLibrary library(QStringLiteral("pq"), 5);
#endif
        if (!library.load())
            return f;
        const auto take = [&library](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(library.resolve(name));
        };
        take(f.getCancel, "PQgetCancel");
        take(f.cancel, "PQcancel");
        take(f.freeCancel, "PQfreeCancel");
        take(f.socket, "PQsocket");
        take(f.status, "PQstatus");
        take(f.errorMessage, "PQerrorMessage");
        take(f.sendQueryParams, "PQsendQueryParams");
        take(f.setNonblocking, "PQsetnonblocking");
        take(f.flush, "PQflush");
        take(f.consumeInput, "PQconsumeInput");
        take(f.isBusy, "PQisBusy");
        take(f.getResult, "PQgetResult");
        take(f.resultStatus, "PQresultStatus");
        take(f.resultErrorField, "PQresultErrorField");
        take(f.ntuples, "PQntuples");
        take(f.nfields, "PQnfields");
        take(f.fname, "PQfname");
        take(f.ftype, "PQftype");
        take(f.getisnull, "PQgetisnull");
        take(f.getvalue, "PQgetvalue");
        take(f.cmdTuples, "PQcmdTuples");
        take(f.clear, "PQclear");
        return f;
    }();
    return functions;
}

LibpqFunctions::Conn* libpqConnection(const QSqlDatabase& db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    // The driver's PGconn, named by libpq's struct behind the typedef.
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0))
        return nullptr;
    return *static_cast<void* const*>(handle.data());
}
