#pragma once

#include "masterdata/BoundFieldDelegate.h"
#include "masterdata/RecordModel.h"
#include "ui/Announcer.h"

#include <QDataWidgetMapper>
#include <QDialog>
#include <QList>
#include <QMap>
#include <QString>

#include <functional>

class LunarisError;
class QGridLayout;
class QLabel;
class QLineEdit;
class RecordNavigator;
struct AppServices;
struct LunarisState;

// One text box of a record editor, bound to one field of the table.
struct BoundField {
    int index;     // element of the txtFields / lblLabels arrays
    QString field; // column of the table
    QString label;
    int maxLength;   // characters the user may type
    QString toolTip; // empty: none
    bool numeric = false;
    bool wide = false;     // a long text: the box spans the width of the field area
    bool fraction = false; // a numeric field that takes fractions (typed with a comma or a point)
};

// What tells one record editor from the other.
struct RecordEditorSetup {
    QString objectName;
    QString table;
    QString caption;          // window title and title of the save question
    QList<BoundField> fields; // in focus order
    // Rows of the field area from the top, each one or two field indexes (left, right).
    QList<QList<int>> rows;
    QString warning;       // the red label below the buttons
    QString writeFallback; // what "Speichern" reports when the data layer gives no description
    bool closeIsDefault;   // Enter closes the editor (Esc always does)
};

// A record-at-a-time editor over one table: bound text boxes, the navigation bar Data1, and the
// buttons Neu, Löschen, Refresh, Speichern and Schließen. Typing changes only the boxes; before
// another record becomes current or the editor closes, changed entries are offered for saving.
// Every write goes to the database at once.
class RecordEditor : public QDialog {
    Q_OBJECT
public:
    ~RecordEditor() override;

    void done(int result) override;

protected:
    RecordEditor(RecordEditorSetup setup, LunarisState& state, AppServices& services, QWidget* parent);

    void keyPressEvent(QKeyEvent* event) override;

    // Asked before a deletion; false keeps the record.
    virtual bool confirmDelete() { return true; }
    // A deletion failed after it was confirmed.
    virtual void deleteFailed(const LunarisError&) {}
    // Asked before a stored record is written or deleted (values in field order); what is returned is
    // done in the same transaction. Questions belong here, before the transaction starts.
    virtual std::function<void()> alongsideWrite(const QVariantList&, const QVariantList&) { return {}; }
    virtual std::function<void()> alongsideDelete(const QVariantList&) { return {}; }
    // A record was deleted or written with "Speichern".
    virtual void tableChanged() {}
    // The editor is closing, after the entries were saved or dropped.
    virtual void formUnload() {}

    void reportFailure(const LunarisError& error);
    // The current record's row in table order; -1: none.
    int currentRow() const { return m_row; }

    LunarisState& m_state;
    AppServices& m_services;

private:
    enum class Move { First, Previous, Next, Last };
    enum class Validation { Abandoned, Written, Discarded };

    void buildForm();
    void createBoxes();
    QGridLayout* fieldArea();
    void formLoad();
    void cmdAdd_Click();
    void cmdDelete_Click();
    void cmdRefresh_Click();
    void cmdUpdate_Click();
    void navigate(Move move);

    Validation validate();
    // Writes the boxes into the current record and stores it; on failure returns false with the
    // data layer's description, and the entries stay in the boxes, unless another program changed
    // the record since it was read: then changedElsewhere is set and the record is read again.
    bool storeEntries(QString& description, bool& changedElsewhere);
    // Reads the table again and shows the record with this identity (or the row at fallback).
    void reread(qint64 rowId, int fallback);
    void select();
    void discardEntries();
    void showRow(int row);
    void reposition();
    void reportErrorEvent();
    bool isNewRecord() const { return m_row >= 0 && m_row == m_newRow; }

    RecordEditorSetup m_setup;
    RecordModel m_model;
    BoundFieldDelegate m_delegate;
    QDataWidgetMapper m_mapper;
    QMap<int, QLineEdit*> m_boxes; // txtFields by index
    QList<QLineEdit*> m_focusOrder;
    RecordNavigator* m_navigator = nullptr;
    Announcer m_announcer;

    int m_row = -1;          // current row of the model; -1: no current record
    int m_newRow = -1;       // row begun with "Neu" and not stored yet
    int m_rowBeforeAdd = -1; // current again when the new record is dropped
    bool m_dirty = false;    // the user typed into a box since the record became current
};
