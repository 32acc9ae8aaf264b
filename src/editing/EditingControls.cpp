#include "editing/EditingControls.h"

#include "editing/TreatmentRowDelegate.h"

#include "dayview/DayView.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "kernel/Steps.h"
#include "store/Tables.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QPushButton>
#include <QStyle>

#include <algorithm>
#include <cmath>

EditingControls::EditingControls(QObject* parent, QList<DayView*> columns, QComboBox& treatments, QPushButton& amPm,
                                 LunarisState& state, AppServices& services)
    : QObject(parent), m_columns(std::move(columns)), m_treatments(treatments), m_state(state), m_services(services)
{
    m_treatments.setItemDelegate(new TreatmentRowDelegate(&m_treatments));
    connect(&m_treatments, &QComboBox::currentTextChanged, this, [this] { DBComboBeh_Change(); });
    connect(&amPm, &QPushButton::clicked, this, [this] { cmdZeit_Click(); });
    // The caption "AM<>PM" stays; a screen reader says what it does.
    amPm.setAccessibleName(QStringLiteral("Vormittag/Nachmittag umschalten"));
    for (DayView* column : m_columns) {
        connect(column, &DayView::firstRowChange, this,
                [this](int index, int row) { SSDay1_FirstRowChange(index, row); });
        column->setTreatmentNames([this](const QString& code) { return m_names.value(code); });
    }
}

void EditingControls::refreshTreatments()
{
    QList<Treatment> treatments;
    if (!runStep([&] { treatments = TreatmentTable(m_services.database).all(); }))
        return;
    const QSignalBlocker blocker(&m_treatments);
    m_treatments.clear();
    m_names.clear();
    QStringList codes;
    for (const Treatment& treatment : treatments) {
        codes.append(treatment.code);
        // The first row of a code is the one placing uses.
        if (!m_names.contains(treatment.code))
            m_names.insert(treatment.code, treatment.text);
        m_treatments.addItem(treatment.code);
        const int row = m_treatments.count() - 1;
        m_treatments.setItemData(row, TreatmentRowDelegate::rowText(treatment), TreatmentRowDelegate::RowTextRole);
        m_treatments.setItemData(row, TreatmentRowDelegate::spokenText(treatment), Qt::AccessibleTextRole);
    }
    m_treatments.setCurrentIndex(m_state.CurrentBeh.isEmpty() ? -1 : int(codes.indexOf(m_state.CurrentBeh)));
    describeChoice();
    fitListWidth();
}

void EditingControls::fitListWidth()
{
    // The list opens wider than the box when its rows need it, so that every row is read whole.
    QAbstractItemView* list = m_treatments.view();
    const QFontMetrics metrics(list->font());
    int widest = 0;
    for (int i = 0; i < m_treatments.count(); ++i)
        widest = std::max(
            widest, metrics.horizontalAdvance(m_treatments.itemData(i, TreatmentRowDelegate::RowTextRole).toString()));
    const int margins = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1) +
                        2 * list->frameWidth() + list->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8;
    list->setMinimumWidth(widest + margins);
}

void EditingControls::describeChoice()
{
    const int row = m_treatments.currentIndex();
    m_treatments.setAccessibleDescription(row < 0 ? QString()
                                                  : m_treatments.itemData(row, Qt::AccessibleTextRole).toString());
}

void EditingControls::DBComboBeh_Change()
{
    m_state.CurrentBeh = m_treatments.currentText();
    describeChoice();
    if (m_treatments.hasFocus())
        m_announcer.announce(m_treatments.accessibleDescription());
    // Columns 0 to 9 whatever the chair count: with fewer chairs the doctor and hidden columns too.
    for (int i = 0; i < m_state.MaxChairs; ++i)
        m_columns.at(i)->setToolTip(QLatin1Char(' ') + m_state.CurrentBeh + QLatin1Char(' '));
}

void EditingControls::cmdZeit_Click()
{
    runStep([this] {
        DayView* first = m_columns.at(0);
        if (first->firstRow() != 0)
            first->setFirstRow(0);
        else // halves go to the even neighbour: 45 rows give 22
            first->setFirstRow(int(std::nearbyint(first->rowCount() / 2.0)));
    });
}

void EditingControls::SSDay1_FirstRowChange(int, int row)
{
    // Setting a column to the row it shows raises no event, so this ends after one pass.
    runStep([&] {
        for (int i = 0; i <= m_state.ChairCount; ++i)
            m_columns.at(i)->setFirstRow(row);
    });
}
