#include "NaiveDay.h"

#include "BenchSession.h"
#include "app/frmLunaris.h"
#include "dayview/DayView.h"
#include "editing/BlockRules.h"
#include "editing/DoctorColumn.h"
#include "editing/OpenDay.h"
#include "kernel/Steps.h"
#include "store/IdealDayLoader.h"
#include "store/Tables.h"

#include <QLineEdit>

namespace NaiveDay {

void DR_Load(BenchSession& session)
{
    frmLunaris& window = session.window();
    DayView* doctorView = window.SSDay1(session.state().ChairCount);
    const TreatmentTable treatments(session.database());
    // The treatment table is asked again for every block.
    std::optional<Treatment> current;
    const qint64 fee =
        DoctorColumn::rebuild(window.chairColumns(), doctorView->model(), [&](const QString& code) -> const Treatment* {
            current = treatments.find(code);
            return current ? &*current : nullptr;
        });
    window.findChild<QLineEdit*>(QStringLiteral("txtHon"))->setText(QString::number(fee));
    doctorView->update();
}

void Termin_load(BenchSession& session)
{
    frmLunaris& window = session.window();
    const LunarisState& state = session.state();
    window.setWindowTitle(QStringLiteral("Template: ") + state.CurrentIdealtag);
    window.SSDay1(state.ChairCount)->model().clear();
    window.SSDay1(state.ChairCount)->showAllBlocks();
    const QStringList chairs = ChairTable(session.database()).names();
    const IdealDayStore store(session.database());
    // Chair by chair, each with a query of its own.
    for (int i = 0; i < state.ChairCount; ++i) {
        DayView* column = window.SSDay1(i);
        column->model().clear();
        column->model().setCaption(chairs.at(i));
        for (const TemplateRow& row : store.blocksOf(state.CurrentIdealtag, chairs.at(i)))
            runStepSkippingRefusal([&] {
                column->model().add(textOf(row.startTime), textOf(row.endTime), textOf(row.code),
                                    IdealDayLoader::BlockColor);
            });
        column->update();
    }
    DR_Load(session);
}

void click(BenchSession& session, int column, int button, int row)
{
    DayView* view = session.window().SSDay1(column);
    LunarisState& state = session.state();
    const QPoint p = view->pointOfRow(row);
    const QString t = view->timeAt(p.x(), p.y()).trimmed();
    const int hit = BlockRules::blockAt(view->model(), t);
    if (button == 2) {
        if (hit >= 0)
            view->model().remove(hit);
    } else {
        if (hit >= 0 || state.CurrentBeh.isEmpty())
            return;
        const auto treatment = TreatmentTable(session.database()).find(state.CurrentBeh);
        if (!treatment)
            return;
        const auto e = BlockRules::endOfPlacement(t, wholeNumber(treatment->dauer));
        if (!e || BlockRules::overlapping(view->model(), t, *e) >= 0)
            return;
        view->model().add(t, *e, state.CurrentBeh, DoctorColumn::Green);
    }
    view->showAllBlocks();
    DR_Load(session);
    // The day counts as changed, as after the handler's own steps.
    session.window().openDay().markUnsaved();
}

} // namespace NaiveDay
