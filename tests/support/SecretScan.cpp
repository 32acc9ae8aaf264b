#include "SecretScan.h"

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace {
QtMessageHandler previousHandler = nullptr;

// Read once: the scan runs inside Qt's message handler, which must not log itself.
const QString& secret()
{
    static const QString password = qEnvironmentVariable("LUNARIS_PG_PASSWORD");
    return password;
}

void scanningHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    SecretScan::check(message, "a log line");
    if (previousHandler)
        previousHandler(type, context, message);
}
} // namespace

void SecretScan::install()
{
    secret();
    previousHandler = qInstallMessageHandler(scanningHandler);
}

void SecretScan::check(const QString& text, const char* where)
{
    if (secret().isEmpty() || !text.contains(secret()))
        return;
    // Not through Qt's logging, which would scan this line again.
    fprintf(stderr, "FAIL: the test server's password appeared in %s\n", where);
    fflush(stderr);
    std::abort();
}
