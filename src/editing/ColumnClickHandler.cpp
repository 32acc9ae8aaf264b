#include "editing/ColumnClickHandler.h"

#include "app/AppServices.h"
#include "app/LunarisState.h"
#include "app/Steps.h"
#include "app/frmLunaris.h"
#include "dayview/DayView.h"
#include "editing/BlockRules.h"
#include "store/Tables.h"
#include "ui/MessageService.h"

namespace {
const QColor kBlockColor(0, 255, 0);
constexpr int LeftButton = 1;
constexpr int RightButton = 2;
} // namespace

ColumnClickHandler::ColumnClickHandler(frmLunaris& window, LunarisState& state, AppServices& services)
    : m_window(window), m_state(state), m_services(services)
{
}

void ColumnClickHandler::SSDay1_ColumnClick(int index, int button, int, int x, int y)
{
    // The doctor column and the hidden columns are read-only for the user.
    if (index < 0 || index >= m_state.ChairCount)
        return;
    const QString t = m_window.SSDay1(index)->timeAt(x, y).trimmed();
    if (t.isEmpty())
        return;
    if (button == LeftButton)
        place(index, t);
    else if (button == RightButton)
        remove(index, t);
}

void ColumnClickHandler::place(int index, const QString& t)
{
    DayView* column = m_window.SSDay1(index);
    const int hit = BlockRules::blockAt(column->model(), t);
    if (hit >= 0) {
        const DayBlock& block = column->item(hit);
        m_window.BlockInfo(block.text, block.minutes());
        return;
    }
    if (m_state.CurrentBeh.isEmpty())
        return;

    // A treatment that is no longer in the table (or cannot be read) places nothing.
    std::optional<int> duration;
    runStep([&] {
        if (const auto treatment = TreatmentTable(m_services.database).find(m_state.CurrentBeh))
            duration = wholeNumber(treatment->dauer);
    });
    if (!duration)
        return;
    const auto e = BlockRules::endOfPlacement(t, *duration);
    if (!e)
        return; // the clock text cannot express an end past midnight

    // Stored rows the screen does not show still occupy their time: a save keeps them.
    if (BlockRules::overlapping(column->model(), t, *e) >= 0 || m_window.overlapsUnshownRow(index, t, *e)) {
        m_services.messages.inform(&m_window, QStringLiteral("Termine überlappen!"), QStringLiteral("Lunaris"),
                                   QMessageBox::NoIcon);
        return;
    }
    if (!runStep([&] { column->add(t, *e, m_state.CurrentBeh, kBlockColor); }))
        return;
    m_window.DR_Load();
    m_state.Modified = true;
}

void ColumnClickHandler::remove(int index, const QString& t)
{
    DayView* column = m_window.SSDay1(index);
    const int hit = BlockRules::blockAt(column->model(), t);
    if (hit >= 0)
        runStep([&] { column->remove(hit); });
    // Also without a block under the click: the rebuild runs and the day counts as changed.
    m_window.DR_Load();
    m_state.Modified = true;
}
