#include "store/SqliteInterrupt.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>

#ifdef Q_OS_LINUX
#include <dlfcn.h>
#endif

void* SqliteInterrupt::engineConnection(const QSqlDatabase& db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<void* const*>(handle.constData());
}

QString SqliteInterrupt::engineVersion(const QSqlDatabase& db)
{
    QSqlQuery version(db);
    return version.exec(QStringLiteral("SELECT sqlite_version()")) && version.next() ? version.value(0).toString()
                                                                                     : QString();
}

bool SqliteInterrupt::interrupt([[maybe_unused]] void* engineConnection, [[maybe_unused]] const QString& engineVersion)
{
    // On Linux Qt's driver uses the system's shared SQLite. It is looked up only if it is loaded already
    // (by the driver), and used only if it is the version the connection runs on: a second copy of the
    // engine must never touch the driver's connection. Where Qt builds SQLite into its driver (Windows,
    // macOS) the engine's functions are out of reach.
#ifdef Q_OS_LINUX
    if (!engineConnection || engineVersion.isEmpty())
        return false;
    void* library = dlopen("libsqlite3.so.0", RTLD_LAZY | RTLD_NOLOAD);
    if (!library)
        return false;
    const auto version = reinterpret_cast<const char* (*)()>(dlsym(library, "sqlite3_libversion"));
    const auto stop = reinterpret_cast<void (*)(void*)>(dlsym(library, "sqlite3_interrupt"));
    const bool sameEngine = version && stop && engineVersion == QLatin1String(version());
    if (sameEngine)
        stop(engineConnection);
    dlclose(library);
    return sameEngine;
#else
    return false;
#endif
}
