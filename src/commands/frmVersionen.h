#pragma once

#include "commands/DayRowsTable.h"

#include "store/DayVersions.h"

#include <QDialog>

#include <optional>

class QPushButton;
class QTableWidget;
class QTreeWidget;
struct AppServices;

// "Datei → Versionen...": the stored versions of the open day that saves and deletes replaced, and the
// deleted days with theirs. The chosen version is shown read-only beside the list; Wiederherstellen
// closes the dialog with it chosen (the window puts it into the editor).
class frmVersionen : public QDialog {
    Q_OBJECT
public:
    frmVersionen(AppServices& services, const QString& openDay, QWidget* parent = nullptr);

    // The version chosen with Wiederherstellen.
    const std::optional<DayVersion>& chosen() const { return m_chosen; }
    QTreeWidget* list() const { return m_list; }
    QTableWidget* rows() const { return m_rows; }
    QPushButton* restoreButton() const { return m_restore; }

    // How the list and the menu step name a version: "08.12.2026 14:05".
    static QString timeText(const QDateTime& time);

private:
    void fill(const QString& openDay);
    void showChosen();

    AppServices& m_services;
    QTreeWidget* m_list;
    DayRowsTable* m_rows;
    QPushButton* m_restore;
    QList<DayVersion> m_versions;
    std::optional<DayVersion> m_chosen;
};
