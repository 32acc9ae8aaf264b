#include "app/ColumnLayout.h"

#include "app/TreatmentLooks.h"
#include "dayview/DayView.h"
#include "editing/DoctorColumn.h"
#include "editing/OpenDay.h"
#include "kernel/LunarisState.h"

#include <algorithm>

namespace {
constexpr int TwipsPerPixel = 15;

int px(double twips)
{
    return qRound(twips / TwipsPerPixel);
}
} // namespace

ColumnLayout::ColumnLayout(OpenDay& day, QWidget& client, TreatmentLooks& looks, const LunarisState& state)
    : m_looks(looks), m_state(state)
{
    for (int i = 0; i < ColumnCount; ++i) {
        auto* column = new DayView(i, day.columnForView(i, {}), &client);
        column->setObjectName(QStringLiteral("SSDay1_%1").arg(i));
        column->setCaption(i < 10 ? QString::number(i + 1) : DoctorColumn::Caption);
        column->setDayStart(QStringLiteral("07:00"));
        column->setDayEnd(QStringLiteral("18:00"));
        if (i <= 7)
            column->setToolTip(QStringLiteral("2) Eintragen durch Anklicken"));
        // Nothing can be edited until New or Open switches the editor on.
        column->setEnabled(false);
        // Design positions; the load and the resize lay them out for the real chair count.
        column->setGeometry(px(240 + i * 1815), px(1560), px(i <= 7 ? 1815 : 2175), px(4080));
        m_columns[i] = column;
    }
}

void ColumnLayout::applyHours(int last)
{
    for (int i = 0; i <= last; ++i) {
        // The views' own set-up of their scroll range.
        m_columns[i]->setSlotSize(m_state.SlotSetting);
        m_columns[i]->setDayEnd(m_state.CloseTime);
        m_columns[i]->setDayStart(m_state.OpenTime);
    }
}

void ColumnLayout::assignChairs(const QStringList& chairs, QWidget* before)
{
    // The headers say which chair is which before a day is opened.
    for (int i = 0; i <= m_state.MaxChairs; ++i) {
        DayView* column = m_columns[i];
        const bool chair = i < m_state.ChairCount;
        const bool doctor = i == m_state.ChairCount;
        if (chair) {
            column->setCaption(chairs[i]);
            column->setBlockLook([this](const QString& code) { return m_looks.blockLook(code); });
        } else if (doctor) {
            column->setCaption(DoctorColumn::Caption);
            column->setBlockLook({});
        }
        column->setColumnBackColor(doctor ? QColor(224, 224, 224) : QColor(Qt::white));
        column->setDemandColumn(doctor);
        // The chair columns take the focus after the treatment list, left to right, then the doctor
        // column, which can be read but not edited.
        column->setFocusPolicy(chair || doctor ? Qt::StrongFocus : Qt::NoFocus);
        column->setDragEnabled(chair);
        column->setVisible(chair || doctor);
    }
    QWidget* previous = before;
    for (int i = 0; i <= m_state.ChairCount; ++i) {
        QWidget::setTabOrder(previous, m_columns[i]);
        previous = m_columns[i];
    }
}

void ColumnLayout::place(double left, double width, int top, int height)
{
    double x = left;
    for (int i = 0; i <= m_state.ChairCount; ++i) {
        const int from = px(x);
        m_columns[i]->setGeometry(from, top, px(x + width) - from, std::max(0, height));
        x += width;
    }
}

void ColumnLayout::cancelDrags()
{
    for (DayView* column : m_columns)
        column->cancelDrag();
}
