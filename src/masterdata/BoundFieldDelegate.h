#pragma once

#include <QHash>
#include <QStyledItemDelegate>

class QLineEdit;

// Moves values between the bound text boxes of a record editor and the table model.
// - A box limits what the user types to its maximum length, but shows a longer stored value in full
//   (written by another program of the family), so that saving the record never cuts it short.
// - An empty box of a numeric field is written as NULL, which the table refuses with its own message.
// - It handles no keys: Enter, Esc and Tab belong to the dialog, and nothing is written before the
//   editor asks for it.
class BoundFieldDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void bind(QLineEdit* box, int maxLength, bool numeric);

    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    struct Binding {
        int maxLength = 0;
        bool numeric = false;
    };
    QHash<const QWidget*, Binding> m_bindings;
};
