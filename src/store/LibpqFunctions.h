#pragma once

#include <QSqlDatabase>

// The few libpq functions the program calls itself, taken from the library the server driver has already
// loaded: the program needs neither libpq's headers nor a link to it. Null where the library is not found.
struct LibpqFunctions {
    // libpq's PGconn, PGresult and PGcancel stay opaque.
    using Conn = void;
    using Result = void;

    void* (*getCancel)(Conn* conn) = nullptr;
    int (*cancel)(void* cancel, char* errbuf, int errbufsize) = nullptr;
    void (*freeCancel)(void* cancel) = nullptr;
    int (*socket)(const Conn* conn) = nullptr;
    int (*status)(const Conn* conn) = nullptr; // 0: CONNECTION_OK
    char* (*errorMessage)(const Conn* conn) = nullptr;
    int (*sendQueryParams)(Conn* conn, const char* command, int nParams, const unsigned int* paramTypes,
                           const char* const* paramValues, const int* paramLengths, const int* paramFormats,
                           int resultFormat) = nullptr;
    int (*setNonblocking)(Conn* conn, int arg) = nullptr;
    int (*flush)(Conn* conn) = nullptr;
    int (*consumeInput)(Conn* conn) = nullptr;
    int (*isBusy)(Conn* conn) = nullptr;
    Result* (*getResult)(Conn* conn) = nullptr;
    int (*resultStatus)(const Result* result) = nullptr;
    char* (*resultErrorField)(const Result* result, int fieldcode) = nullptr;
    int (*ntuples)(const Result* result) = nullptr;
    int (*nfields)(const Result* result) = nullptr;
    char* (*fname)(const Result* result, int column) = nullptr;
    unsigned int (*ftype)(const Result* result, int column) = nullptr;
    int (*getisnull)(const Result* result, int row, int column) = nullptr;
    char* (*getvalue)(const Result* result, int row, int column) = nullptr;
    char* (*cmdTuples)(Result* result) = nullptr;
    void (*clear)(Result* result) = nullptr;

    // What libpq's result status and error fields are called in its header.
    enum Status { CommandOk = 1, TuplesOk = 2, FatalError = 7 };
    static constexpr int SqlStateField = 'C';

    bool canCancel() const { return getCancel && cancel && freeCancel && socket; }
    bool canSendWithoutWaiting() const;

    static const LibpqFunctions& get();
};

// The driver's PGconn behind a connection of the server driver; null for another driver or a closed one.
LibpqFunctions::Conn* libpqConnection(const QSqlDatabase& db);
