#pragma once

#include "store/BackupReader.h"
#include "store/PracticeBackup.h"

#include <QDateTime>
#include <QString>

#include <functional>

class QWidget;
struct AppServices;

// Backups of the practice as the user meets them: "Datensicherung erstellen", the backup at the first
// close of each day, and telling a failed one. A failure never stops the program or its close.
class BackupCommands {
public:
    // `practiceFile`: the program's practice file, beside which the default folder lies (also when
    // the practice is on a server).
    BackupCommands(AppServices& services, QString practiceFile);

    BackupPlace place() const;
    // Makes a backup now and tells the outcome (`status` for the status bar, a message box).
    void makeNow(QWidget* parent, const std::function<void(const QString&)>& status);
    // "Aus Datensicherung holen...": the user chooses a backup and days in it, is asked, and the days are
    // copied back; the user is told which came back and which did not. Returns the days restored.
    QStringList restoreDays(QWidget* parent);
    // At a close: a backup of the file unless one was made today. A failure is kept to be told at a
    // later start, as nobody is there to read it now. Returns the failure's reason (empty: none).
    QString atClose(const QDateTime& now);
    // At a start: a kept failure of a close's backup, told once a day (message box and `status`).
    void tellCloseFailure(QWidget* parent, const std::function<void(const QString&)>& status, const QDateTime& now);

private:
    void tellRestored(QWidget* parent, const BackupReader::Restored& restored);

    AppServices& m_services;
    QString m_practiceFile;
};
