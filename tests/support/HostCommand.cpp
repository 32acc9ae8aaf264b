#include "HostCommand.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#ifdef Q_OS_WIN
#include <windows.h>

#include <string>
#endif

#ifdef Q_OS_WIN
QString HostCommand::hostFileName(const QString& fileName)
{
    using UnixFileName = char*(CDECL*)(LPCWSTR);
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    if (!found)
        return fileName;
    const auto unixFileName = reinterpret_cast<UnixFileName>(reinterpret_cast<void (*)()>(found));
    const std::wstring native = QDir::toNativeSeparators(fileName).toStdWString();
    char* name = unixFileName(native.c_str());
    if (!name)
        return fileName;
    const QString result = QString::fromUtf8(name);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

HostCommand::Result HostCommand::run(const QString& program, const QStringList& arguments, int timeoutMs)
{
    // A Linux shell runs the program with its output in files and writes its exit code last, renamed into
    // place when done: that file is what is waited for.
    QTemporaryDir dir;
    const QString done = dir.filePath(QStringLiteral("status"));
    const QString script = QStringLiteral("\"$@\" >$0.out 2>$0.err; echo $? >$0.part; mv $0.part $0");
    Result result;
    if (!QProcess::startDetached(QStringLiteral("Z:/bin/sh"),
                                 QStringList{QStringLiteral("-c"), script, hostFileName(done), program} + arguments))
        return result;
    QDeadlineTimer deadline(timeoutMs);
    while (!QFileInfo::exists(done) && !deadline.hasExpired())
        QThread::msleep(20);
    const auto contents = [](const QString& name) {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    if (!QFileInfo::exists(done))
        return result;
    result.finished = true;
    result.exitCode = contents(done).trimmed().toInt();
    result.output = contents(done + QStringLiteral(".out"));
    result.errors = contents(done + QStringLiteral(".err"));
    return result;
}
#else
QString HostCommand::hostFileName(const QString& fileName)
{
    return fileName;
}

HostCommand::Result HostCommand::run(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    Result result;
    result.finished = process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit;
    result.exitCode = result.finished ? process.exitCode() : -1;
    result.output = process.readAllStandardOutput();
    result.errors = process.readAllStandardError();
    return result;
}
#endif
