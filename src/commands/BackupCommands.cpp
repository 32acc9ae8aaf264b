#include "commands/BackupCommands.h"

#include "commands/frmDatensicherung.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisError.h"
#include "kernel/Steps.h"
#include "settings/SettingsStore.h"
#include "store/BackupReader.h"
#include "store/Database.h"
#include "ui/MessageService.h"
#include "ui/ModalRunner.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

namespace {
const QString Title = QStringLiteral("Datensicherung");
const QString RestoreTitle = QStringLiteral("Aus Datensicherung holen");
const QString Section = QStringLiteral("Programm");
// The last failed backup at a close, until a backup succeeds: "yyyy-MM-dd HH:mm<TAB>reason".
const QString FailureKey = QStringLiteral("BackupFehler");
// The day ("yyyy-MM-dd") a start last told of a failed close backup: told once a day, not at every start.
const QString ToldKey = QStringLiteral("BackupFehlerGemeldet");

QString quotedNames(const QStringList& days)
{
    QStringList quoted;
    for (const QString& day : days)
        quoted.append(QStringLiteral("„%1“").arg(day));
    return quoted.join(QStringLiteral(", "));
}

QString failureText(const QString& reason)
{
    return QStringLiteral("Die Datensicherung ist fehlgeschlagen.\r") + reason;
}

// The status bar has one line: the reason without the engine's detail line.
QString failureNotice(const QString& reason)
{
    return QStringLiteral("Datensicherung fehlgeschlagen: ") + reason.section(QLatin1Char('\r'), 0, 0);
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
        status(failureNotice(e.description()));
        m_services.messages.inform(parent, failureText(e.description()), Title, QMessageBox::Warning);
        return;
    }
    QApplication::restoreOverrideCursor();
    status(QStringLiteral("Datensicherung erstellt: ") + QFileInfo(path).fileName());
    m_services.messages.inform(
        parent, QStringLiteral("Die Datensicherung wurde erstellt:\r%1").arg(QDir::toNativeSeparators(path)), Title,
        QMessageBox::Information);
}

QStringList BackupCommands::restoreDays(QWidget* parent)
{
    const BackupPlace where = place();
    // A chosen folder that is not there (a network drive not connected) is not a folder without backups. The
    // program's own folder is made with the first backup: missing, it has none.
    if (!where.isDefault && !QFileInfo(where.folder).isDir()) {
        m_services.messages.inform(parent,
                                   QStringLiteral("Der Sicherungsordner „%1“ ist nicht vorhanden.")
                                       .arg(QDir::toNativeSeparators(where.folder)),
                                   RestoreTitle, QMessageBox::Warning);
        return {};
    }
    const QList<BackupFile> backups = PracticeBackup(m_services.database, where).list();
    if (backups.isEmpty()) {
        m_services.messages.inform(parent,
                                   QStringLiteral("Im Sicherungsordner „%1“ gibt es keine Datensicherung.")
                                       .arg(QDir::toNativeSeparators(where.folder)),
                                   RestoreTitle, QMessageBox::Information);
        return {};
    }
    frmDatensicherung dialog(backups, parent);
    if (m_services.modals.run(dialog) != QDialog::Accepted)
        return {};
    const QStringList days = dialog.chosenDays();
    const QString which = days.size() == 1 ? QStringLiteral("den Idealtag %1").arg(quotedNames(days))
                                           : QStringLiteral("die Idealtage %1").arg(quotedNames(days));
    if (!m_services.messages.askYesNo(
            parent,
            QStringLiteral("Möchten Sie %1 aus der Datensicherung vom %2 zurückholen?\rDie jetzt gespeicherte Fassung "
                           "bleibt als Version erhalten (Datei → Versionen).")
                .arg(which, frmDatensicherung::timeText(dialog.chosenBackup().time)),
            RestoreTitle, QMessageBox::No))
        return {};
    BackupReader::Restored restored;
    try {
        restored = BackupReader(dialog.chosenBackup().path).restoreInto(m_services.database, days);
    } catch (const LunarisError& e) {
        restored.notRestored = days;
        restored.failure = e.description();
    }
    tellRestored(parent, restored);
    return restored.days;
}

void BackupCommands::tellRestored(QWidget* parent, const BackupReader::Restored& restored)
{
    if (restored.days.isEmpty()) {
        m_services.messages.inform(
            parent, QStringLiteral("Die Idealtage konnten nicht zurückgeholt werden.\r") + restored.failure,
            RestoreTitle, QMessageBox::Critical);
        return;
    }
    QString text = QStringLiteral("Zurückgeholt: %1.").arg(quotedNames(restored.days));
    const BackupReader::Strangers& strangers = restored.strangers;
    if (strangers.chairs == 1)
        text += QStringLiteral("\r1 Block gehört zu einem Stuhl, den es nicht mehr gibt: Er wurde übernommen und wird "
                               "als „nicht angezeigt“ geführt.");
    else if (strangers.chairs > 1)
        text += QStringLiteral("\r%1 Blöcke gehören zu Stühlen, die es nicht mehr gibt: Sie wurden übernommen und "
                               "werden als „nicht angezeigt“ geführt.")
                    .arg(strangers.chairs);
    if (strangers.treatments == 1)
        text += QStringLiteral("\r1 Block hat eine Behandlung, die es nicht mehr gibt; er wurde übernommen.");
    else if (strangers.treatments > 1)
        text += QStringLiteral("\r%1 Blöcke haben Behandlungen, die es nicht mehr gibt; sie wurden übernommen.")
                    .arg(strangers.treatments);
    // Some came back, some did not: the user learns which, and why the rest stayed as they are.
    if (!restored.notRestored.isEmpty())
        text += QStringLiteral("\rNicht zurückgeholt (unverändert): %1.\r").arg(quotedNames(restored.notRestored)) +
                restored.failure;
    m_services.messages.inform(parent, text, RestoreTitle,
                               restored.notRestored.isEmpty() ? QMessageBox::Information : QMessageBox::Warning);
}

QString BackupCommands::atClose(const QDateTime& now)
{
    // The server is backed up by its own means (and on demand); the file once a day.
    if (m_services.database.isServer())
        return QString();
    const BackupPlace where = place();
    const PracticeBackup backup(m_services.database, where);
    try {
        if (!backup.madeOn(now.date()))
            backup.make(now);
    } catch (const LunarisError& e) {
        runStep([&] {
            m_services.settings.saveSetting(SettingsStore::ProgramApp, Section, FailureKey,
                                            now.toString(QStringLiteral("yyyy-MM-dd HH:mm")) + QLatin1Char('\t') +
                                                e.description());
        });
        return e.description();
    }
    // A backup of today is there: an earlier failure is past and is not told any more.
    if (!m_services.settings.storedSetting(SettingsStore::ProgramApp, Section, FailureKey)
             .value_or(QString())
             .isEmpty())
        runStep([&] { m_services.settings.saveSetting(SettingsStore::ProgramApp, Section, FailureKey, QString()); });
    return QString();
}

void BackupCommands::tellCloseFailure(QWidget* parent, const std::function<void(const QString&)>& status,
                                      const QDateTime& now)
{
    const QString kept =
        m_services.settings.storedSetting(SettingsStore::ProgramApp, Section, FailureKey).value_or(QString());
    const qsizetype tab = kept.indexOf(QLatin1Char('\t'));
    if (tab < 0)
        return;
    // Once a day: a folder missing for days is not told at every start. The failure stays kept until a
    // backup succeeds, so the first start of the next day tells it again.
    const QString today = now.date().toString(Qt::ISODate);
    if (m_services.settings.storedSetting(SettingsStore::ProgramApp, Section, ToldKey).value_or(QString()) == today)
        return;
    const QDateTime when = QDateTime::fromString(kept.left(tab), QStringLiteral("yyyy-MM-dd HH:mm"));
    const QString reason = kept.mid(tab + 1);
    // A failure whose telling cannot be remembered (settings not writable) is not told at every start.
    if (!runStep([&] { m_services.settings.saveSetting(SettingsStore::ProgramApp, Section, ToldKey, today); }))
        return;
    status(failureNotice(reason));
    m_services.messages.inform(parent,
                               QStringLiteral("Die Datensicherung beim Beenden am %1 ist fehlgeschlagen.\r%2")
                                   .arg(when.toString(QStringLiteral("dd.MM.yyyy HH:mm")), reason),
                               Title, QMessageBox::Warning);
}
