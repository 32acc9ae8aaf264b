#include "editing/ColumnClickHandler.h"

#include "dayview/DayView.h"
#include "editing/BlockRules.h"
#include "editing/OpenDay.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "kernel/Steps.h"
#include "store/Tables.h"
#include "ui/MessageService.h"

namespace {
constexpr int LeftButton = 1;
constexpr int RightButton = 2;
} // namespace

ColumnClickHandler::ColumnClickHandler(OpenDay& day, QList<DayView*> columns, QWidget& window, LunarisState& state,
                                       AppServices& services)
    : m_day(day), m_columns(std::move(columns)), m_window(window), m_state(state), m_services(services)
{
}

void ColumnClickHandler::listen()
{
    for (DayView* column : std::as_const(m_columns)) {
        QObject::connect(column, &DayView::blockDragMove, &m_window,
                         [this](int index, int block, QPoint topEdge, bool copy) {
                             runStep([&] { SSDay1_BlockDragMove(index, block, topEdge, copy); });
                         });
        QObject::connect(column, &DayView::blockDrop, &m_window,
                         [this](int index, int block, QPoint topEdge, bool copy) {
                             runStep([&] { SSDay1_BlockDrop(index, block, topEdge, copy); });
                         });
        QObject::connect(column, &DayView::blockDragCancel, &m_window,
                         [this] { runStep([&] { SSDay1_BlockDragCancel(); }); });
        QObject::connect(column, &DayView::columnKey, &m_window,
                         [this](int index, int key, int row) { runStep([&] { SSDay1_ColumnKey(index, key, row); }); });
        QObject::connect(column, &DayView::columnClick, &m_window,
                         [this](int index, int button, int shift, int x, int y) {
                             runStep([&] { SSDay1_ColumnClick(index, button, shift, x, y); });
                         });
    }
}

void ColumnClickHandler::SSDay1_ColumnClick(int index, int button, int, int x, int y)
{
    if (index < 0 || index >= m_state.ChairCount)
        return;
    clickAt(index, button, m_columns.at(index)->timeAt(x, y));
}

void ColumnClickHandler::clickAt(int index, int button, const QString& time)
{
    // The doctor column and the hidden columns are read-only for the user.
    if (index < 0 || index >= m_state.ChairCount)
        return;
    const QString t = time.trimmed();
    if (t.isEmpty())
        return;
    if (button == LeftButton)
        place(index, t);
    else if (button == RightButton)
        remove(index, t);
}

void ColumnClickHandler::SSDay1_ColumnKey(int index, int key, int row)
{
    if (index == m_state.ChairCount && index > 0) {
        doctorColumnKey(key, row);
        return;
    }
    if (index < 0 || index >= m_state.ChairCount)
        return;
    QString t;
    if (!runStep([&] { t = m_columns.at(index)->timeOfRow(row); }))
        return;
    const int hit = m_day.blockAt(index, t);
    switch (key) {
    case DayView::PlaceKey:
        clickAt(index, LeftButton, t);
        break;
    case DayView::RemoveKey:
        clickAt(index, RightButton, t);
        break;
    case DayView::InfoKey:
        if (hit >= 0)
            BlockInfo(m_day.column(index).item(hit).text, m_day.column(index).item(hit).minutes());
        break;
    case DayView::CopyKey:
        if (hit >= 0)
            m_copied = m_day.column(index).item(hit);
        break;
    case DayView::PasteKey: {
        if (!m_copied) {
            m_announcer.announce(QStringLiteral("Nichts kopiert – zuerst einen Block mit Strg+C kopieren"));
            break;
        }
        OpenDay::Refusal refusal = OpenDay::Refusal::None;
        if (runStep([&] { refusal = m_day.pasteBlock(*m_copied, index, t); }) && refusal != OpenDay::Refusal::None)
            showOverlap();
        break;
    }
    case DayView::LeftKey:
    case DayView::RightKey: {
        // Right from the last chair reaches the doctor column.
        const int neighbour = index + (key == DayView::LeftKey ? -1 : 1);
        if (neighbour >= 0 && neighbour <= m_state.ChairCount)
            moveCursorTo(neighbour, row);
        break;
    }
    default:
        break;
    }
}

void ColumnClickHandler::doctorColumnKey(int key, int row)
{
    switch (key) {
    case DayView::LeftKey:
        moveCursorTo(m_state.ChairCount - 1, row);
        break;
    case DayView::PlaceKey:
    case DayView::RemoveKey:
    case DayView::PasteKey:
        // Read-only: the screen reader hears why nothing happens.
        m_announcer.announce(QStringLiteral("Die Arztzeit wird aus den Stühlen berechnet."));
        break;
    default:
        break;
    }
}

void ColumnClickHandler::moveCursorTo(int index, int row)
{
    DayView* column = m_columns.at(index);
    column->setCursorRow(row);
    column->setFocus(Qt::OtherFocusReason);
}

std::pair<int, QString> ColumnClickHandler::dropTarget(QPoint global) const
{
    for (int i = 0; i <= m_state.ChairCount && i < m_columns.size(); ++i) {
        const DayView* column = m_columns.at(i);
        const QPoint local = column->mapFromGlobal(global);
        if (column->isVisible() && local.x() >= 0 && local.x() < column->width())
            return {i, column->timeAt(local.x(), local.y()).trimmed()};
    }
    return {-1, QString()};
}

void ColumnClickHandler::clearOutlines()
{
    for (DayView* column : m_columns)
        column->clearDropOutline();
}

void ColumnClickHandler::SSDay1_BlockDragMove(int index, int block, QPoint topEdge, bool copy)
{
    clearOutlines();
    const auto [to, t] = dropTarget(topEdge);
    // The doctor column is dragged over, never dropped into.
    if (to < 0 || to >= m_state.ChairCount || t.isEmpty() || !hasBlock(index, block))
        return;
    const DayView* target = m_columns.at(to);
    const int rows =
        (m_day.column(index).item(block).minutes() + target->model().slotMinutes() - 1) / target->model().slotMinutes();
    const bool refused = m_day.moveRefusal(index, block, to, t, copy) != OpenDay::Refusal::None;
    m_columns.at(to)->showDropOutline(target->rowOfTime(t), rows, refused);
}

void ColumnClickHandler::SSDay1_BlockDrop(int index, int block, QPoint topEdge, bool copy)
{
    clearOutlines();
    const auto [to, t] = dropTarget(topEdge);
    if (to < 0 || to >= m_state.ChairCount || t.isEmpty() || !hasBlock(index, block))
        return;
    // Dropped where it was: nothing moved.
    if (!copy && to == index && m_day.column(index).item(block).startTime.trimmed() == t)
        return;
    OpenDay::Refusal refusal = OpenDay::Refusal::None;
    if (runStep([&] { refusal = m_day.moveBlock(index, block, to, t, copy); }) && refusal != OpenDay::Refusal::None)
        showOverlap();
}

bool ColumnClickHandler::hasBlock(int index, int block) const
{
    return index >= 0 && index < m_state.ChairCount && block >= 0 && block < m_day.column(index).count();
}

void ColumnClickHandler::SSDay1_BlockDragCancel()
{
    clearOutlines();
}

void ColumnClickHandler::place(int index, const QString& t)
{
    const int hit = m_day.blockAt(index, t);
    if (hit >= 0) {
        const DayBlock& block = m_day.column(index).item(hit);
        BlockInfo(block.text, block.minutes());
        return;
    }
    if (m_state.CurrentBeh.isEmpty()) {
        m_announcer.announce(QStringLiteral("Keine Behandlung gewählt – bitte zuerst unter „Auswahl:“ eine wählen"));
        return;
    }

    // A treatment that is no longer in the table (or cannot be read) places nothing.
    std::optional<int> duration;
    runStep([&] {
        if (const auto treatment = TreatmentTable(m_services.database).find(m_state.CurrentBeh))
            duration = wholeNumber(treatment->dauer);
    });
    if (!duration)
        return;
    OpenDay::Refusal refusal = OpenDay::Refusal::None;
    // A start the column refuses places nothing.
    if (!runStep([&] { refusal = m_day.place(index, t, m_state.CurrentBeh, *duration); }))
        return;
    // An end past midnight cannot be written as a clock text: nothing is placed, silently.
    if (refusal == OpenDay::Refusal::Overlap)
        showOverlap();
}

void ColumnClickHandler::showOverlap()
{
    m_services.messages.inform(&m_window, QStringLiteral("Termine überlappen!"), QStringLiteral("Lunaris"),
                               QMessageBox::NoIcon);
}

void ColumnClickHandler::remove(int index, const QString& t)
{
    bool removed = false;
    runStep([&] { removed = m_day.removeAt(index, t); });
    // Also without a block under the click: the rebuild runs and the day counts as changed.
    if (!removed)
        m_day.touch();
}

void ColumnClickHandler::BlockInfo(const QString& text, int minutes)
{
    const int count = BlockRules::countOf(m_day.chairs(), text);
    m_services.messages.inform(&m_window, BlockRules::infoText(text, minutes, count), QStringLiteral("Info"),
                               QMessageBox::Information);
}
