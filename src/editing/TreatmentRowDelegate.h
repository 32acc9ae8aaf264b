#pragma once

#include <QStyledItemDelegate>

struct Treatment;

// The treatment list's drop-down rows: code, text, length and fee, so the choice needs no lookup;
// the chosen entry (the combo box itself) still shows only the code.
class TreatmentRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The role of an item that holds its drop-down text.
    static constexpr int RowTextRole = Qt::UserRole + 1;
    // "KONT – Kontrolle, 20 min, 25,50 €"
    static QString rowText(const Treatment& treatment);
    // What a screen reader says for it: "KONT – Kontrolle, 20 Minuten, 25,50 €".
    static QString spokenText(const Treatment& treatment);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
