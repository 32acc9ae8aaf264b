#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// A program of the system the tests run on: under Wine the Linux host's (pdftotext, pg_ctl), which Wine
// starts too, but detached, so that neither its end nor its output reach the Windows side directly.
namespace HostCommand {
struct Result {
    bool finished = false; // false: it did not end in time (or did not start)
    int exitCode = -1;
    QByteArray output; // its standard output
    QByteArray errors; // its standard error
};
// Runs the program to its end, waiting at most timeoutMs.
Result run(const QString& program, const QStringList& arguments, int timeoutMs);
// The name the host's programs know a file by (under Wine its Linux name).
QString hostFileName(const QString& fileName);
} // namespace HostCommand
