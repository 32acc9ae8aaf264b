#include "commands/BackupCommands.h"

#include "kernel/AppServices.h"
#include "kernel/LunarisError.h"
#include "kernel/Steps.h"
#include "settings/SettingsStore.h"
#include "store/Database.h"
#include "ui/MessageService.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

namespace {
const QString Title = QStringLiteral("Datensicherung");
const QString Section = QStringLiteral("Programm");
// A failed backup at a close, until the next start has told it: "yyyy-MM-dd HH:mm<TAB>reason".
const QString FailureKey = QStringLiteral("BackupFehler");

QString failureText(const QString& reason)
{
    return QStringLiteral("Die Datensicherung ist fehlgeschlagen.\r") + reason;
}
} // namespace

BackupCommands::BackupCommands(AppServices& services, QString practiceFile)
    : m_services(services), m_practiceFile(std::move(practiceFile))
{
}

BackupPlace BackupCommands::place() const
{
    QStringList settings;
    for (const QString& application : {SettingsStore::ProgramApp, SettingsStore::FamilyApp})
        settings.append(
            m_services.settings.storedSetting(application, Section, QStringLiteral("Backup")).value_or(QString()));
    const QString beside = m_services.database.isServer() ? m_practiceFile : m_services.database.filePath();
    return BackupPlace::choose(settings, beside);
}

void BackupCommands::makeNow(QWidget* parent, const std::function<void(const QString&)>& status)
{
    QString path;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        path = PracticeBackup(m_services.database, place()).make(QDateTime::currentDateTime());
    } catch (const LunarisError& e) {
        QApplication::restoreOverrideCursor();
        status(QStringLiteral("Datensicherung fehlgeschlagen: ") + e.description());
        m_services.messages.inform(parent, failureText(e.description()), Title, QMessageBox::Warning);
        return;
    }
    QApplication::restoreOverrideCursor();
    status(QStringLiteral("Datensicherung erstellt: ") + QFileInfo(path).fileName());
    m_services.messages.inform(
        parent, QStringLiteral("Die Datensicherung wurde erstellt:\r%1").arg(QDir::toNativeSeparators(path)), Title,
        QMessageBox::Information);
}

QString BackupCommands::atClose(const QDateTime& now)
{
    // The server is backed up by its own means (and on demand); the file once a day.
    if (m_services.database.isServer())
        return QString();
    const BackupPlace where = place();
    const PracticeBackup backup(m_services.database, where);
    try {
        if (backup.madeOn(now.date()))
            return QString();
        backup.make(now);
        return QString();
    } catch (const LunarisError& e) {
        runStep([&] {
            m_services.settings.saveSetting(SettingsStore::ProgramApp, Section, FailureKey,
                                            now.toString(QStringLiteral("yyyy-MM-dd HH:mm")) + QLatin1Char('\t') +
                                                e.description());
        });
        return e.description();
    }
}

void BackupCommands::tellCloseFailure(QWidget* parent, const std::function<void(const QString&)>& status)
{
    const QString kept =
        m_services.settings.storedSetting(SettingsStore::ProgramApp, Section, FailureKey).value_or(QString());
    const qsizetype tab = kept.indexOf(QLatin1Char('\t'));
    if (tab < 0)
        return;
    const QDateTime when = QDateTime::fromString(kept.left(tab), QStringLiteral("yyyy-MM-dd HH:mm"));
    const QString reason = kept.mid(tab + 1);
    // Told once: a failure that cannot be forgotten (settings not writable) is not told at every start.
    if (!runStep([&] { m_services.settings.saveSetting(SettingsStore::ProgramApp, Section, FailureKey, QString()); }))
        return;
    status(QStringLiteral("Datensicherung fehlgeschlagen: ") + reason);
    m_services.messages.inform(parent,
                               QStringLiteral("Die Datensicherung beim Beenden am %1 ist fehlgeschlagen.\r%2")
                                   .arg(when.toString(QStringLiteral("dd.MM.yyyy HH:mm")), reason),
                               Title, QMessageBox::Warning);
}
