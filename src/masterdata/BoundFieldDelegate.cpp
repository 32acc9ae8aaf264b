#include "masterdata/BoundFieldDelegate.h"

#include <QLineEdit>

void BoundFieldDelegate::bind(QLineEdit* box, int maxLength, bool numeric)
{
    box->setMaxLength(maxLength);
    m_bindings.insert(box, {maxLength, numeric});
}

void BoundFieldDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* box = qobject_cast<QLineEdit*>(editor);
    if (!box) {
        QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
    const QString text = index.data(Qt::EditRole).toString();
    // QLineEdit cuts any text to its maximum length; a longer stored value widens the limit for this record.
    box->setMaxLength(qMax(m_bindings.value(box).maxLength, int(text.size())));
    box->setText(text);
}

void BoundFieldDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    auto* box = qobject_cast<QLineEdit*>(editor);
    if (!box) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    QVariant value = box->text();
    if (box->text().isEmpty() && m_bindings.value(box).numeric)
        value = QVariant();
    model->setData(index, value, Qt::EditRole);
}

bool BoundFieldDelegate::eventFilter(QObject*, QEvent*)
{
    return false;
}
