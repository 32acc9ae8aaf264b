#pragma once

#include "editing/ChairChange.h"
#include "masterdata/RecordEditor.h"

// The chair editor: one row of table Stuhl at a time. A deletion or a save here sets ChairsChanged;
// the main window follows the changes when the editor closes, so no restart is asked for. Esc
// closes it, Enter does not. A chair that stored days use is
// renamed or deleted together with their rows when the user agrees.
class frmStuhlT : public RecordEditor {
    Q_OBJECT
public:
    frmStuhlT(LunarisState& state, AppServices& services, QWidget* parent = nullptr);

    // The renames and deletions the table holds now, in the order they were made (a write that
    // failed is not among them), so that the open day can follow them.
    ChairChanges changes() const;

protected:
    std::function<void()> alongsideWrite(const QVariantList& before, const QVariantList& after) override;
    std::function<void()> alongsideDelete(const QVariantList& before) override;
    void deleteFailed(const LunarisError& error) override;
    void tableChanged() override;

private:
    // Whether the current record is the chair whose column shows the stored rows of its name.
    bool showsItsRows(const QString& chair) const;

    QStringList namesNow() const;

    // Each change with the number of chairs of its old name when it was made.
    QList<std::pair<ChairChange, qsizetype>> m_changes;
};
