#pragma once

#include "TempSettings.h"
#include "store/ConnectionSetting.h"

#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

// The surroundings of the real program set to a server database: the connection in its settings (on
// Windows the registry), the password in a password file, a runtime folder of its own, offscreen.
class ServerProgram {
public:
    explicit ServerProgram(const ServerAddress& address);

    // A temporary folder for the program's own files (the password file and the runtime folder are in it).
    QString filePath(const QString& name) const { return m_root.filePath(name); }
    // The environment to start the program with.
    QProcessEnvironment environment() const;

private:
    QTemporaryDir m_root;
    TempSettings m_settings;
};
