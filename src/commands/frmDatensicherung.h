#pragma once

#include "commands/DayRowsTable.h"

#include "store/PracticeBackup.h"

#include <QDialog>

#include <memory>

class BackupReader;
class QPushButton;
class QTableWidget;
class QTreeWidget;

// "Datei → Aus Datensicherung holen...": the backups (date, size, days), the days of the chosen one with
// their blocks, and the rows of the day chosen there, read-only. Wiederherstellen closes the dialog
// with the backup and the selected days chosen (the window asks and restores them).
class frmDatensicherung : public QDialog {
    Q_OBJECT
public:
    frmDatensicherung(const QList<BackupFile>& backups, QWidget* parent = nullptr);
    ~frmDatensicherung() override;

    // The backup and the days chosen with Wiederherstellen.
    const BackupFile& chosenBackup() const { return m_chosenBackup; }
    const QStringList& chosenDays() const { return m_chosenDays; }

    QTreeWidget* backupList() const { return m_backups; }
    QTreeWidget* dayList() const { return m_days; }
    QTableWidget* rows() const { return m_rows; }
    QPushButton* restoreButton() const { return m_restore; }

    // How the list names a backup: "08.12.2026 14:05".
    static QString timeText(const QDateTime& time);

private:
    void showBackup();
    void showDay();

    QList<BackupFile> m_list;
    QTreeWidget* m_backups;
    QTreeWidget* m_days;
    DayRowsTable* m_rows;
    QPushButton* m_restore;
    std::unique_ptr<BackupReader> m_reader;
    BackupFile m_chosenBackup;
    QStringList m_chosenDays;
};
