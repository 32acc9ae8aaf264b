#pragma once

#include <QString>

#include <optional>

// Starts the real program as a user would, in a program folder of its own, and waits until the X
// server maps its main window; then closes it the way a window manager's close button does and
// collects the process's peak memory. Needs an X display (scripts/bench runs one with Xvfb).
class ColdStart {
public:
    struct Result {
        double secondsToShown = 0;
        double peakMebibytes = 0;
    };

    // program: the executable in a program folder that holds its database; launcher: the small
    // starter that reports the program's peak memory. The program's settings and the lock of its
    // single instance go to folders of their own, so the user's files are not touched.
    ColdStart(const QString& program, const QString& launcher, const QString& settingsFolder,
              const QString& runtimeFolder);

    // One start; nothing and the reason in `error` when it failed.
    std::optional<Result> run(QString& error) const;

private:
    QString m_program;
    QString m_launcher;
    QString m_settingsFolder;
    QString m_runtimeFolder;
};
