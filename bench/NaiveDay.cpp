#include "NaiveDay.h"

#include "BenchSession.h"
#include "app/Steps.h"
#include "app/frmLunaris.h"
#include "dayview/ClockTime.h"
#include "dayview/DayView.h"
#include "editing/BlockRules.h"
#include "editing/DoctorColumn.h"
#include "store/IdealDayLoader.h"
#include "store/Tables.h"

#include <QLineEdit>

#include <cmath>

namespace {
void addWindow(DoctorDemand& demand, const DayViewModel& doctor, const QString& blockStart, int start, int length)
{
    if (length <= 0)
        return;
    const auto blockMinutes = ClockTime::minutesOf(blockStart.trimmed());
    if (!blockMinutes || *blockMinutes + start >= 24 * 60 || *blockMinutes + start < 0)
        return;
    const QString windowStart = ClockTime::fromMinutes(*blockMinutes + start);
    int row = -1;
    if (!runStepSkippingRefusal([&] { row = doctor.rowOfTime(windowStart); }))
        return;
    demand.spread(row, length);
}
} // namespace

namespace NaiveDay {

void DR_Load(BenchSession& session)
{
    frmLunaris& window = session.window();
    DayView* doctorView = window.SSDay1(session.state().ChairCount);
    DayViewModel& doctor = doctorView->model();
    const TreatmentTable treatments(session.database());
    const int slotMinutes = doctor.slotMinutes();
    doctor.setCaption(DoctorColumn::Caption);
    doctor.clear();
    DoctorDemand demand(slotMinutes);
    qint64 fee = 0;
    for (const DayViewModel* chair : window.chairColumns()) {
        for (const DayBlock& block : chair->blocks()) {
            // The treatment table is asked again for every block.
            const auto found = treatments.find(block.text);
            if (!found)
                continue;
            fee += static_cast<qint64>(std::nearbyint(number(found->hon)));
            addWindow(demand, doctor, block.startTime, wholeNumber(found->drStart), wholeNumber(found->drDauer));
            addWindow(demand, doctor, block.startTime, wholeNumber(found->drStart2), wholeNumber(found->drDauer2));
        }
    }
    for (int r = 0; r < doctor.rowCount(); ++r) {
        const int minutes = demand.at(r);
        if (minutes <= 0)
            continue;
        runStepSkippingRefusal([&] {
            const QString start = doctor.timeOfRow(r);
            doctor.add(start, ClockTime::addMinutes(start, 5), QString::number(minutes),
                       minutes > slotMinutes ? DoctorColumn::Red : DoctorColumn::Green);
        });
    }
    window.findChild<QLineEdit*>(QStringLiteral("txtHon"))->setText(QString::number(fee));
    doctorView->update();
}

void Termin_load(BenchSession& session)
{
    frmLunaris& window = session.window();
    const LunarisState& state = session.state();
    window.setWindowTitle(QStringLiteral("Template: ") + state.CurrentIdealtag);
    window.SSDay1(state.ChairCount)->clear();
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
            view->remove(hit);
    } else {
        if (hit >= 0 || state.CurrentBeh.isEmpty())
            return;
        const auto treatment = TreatmentTable(session.database()).find(state.CurrentBeh);
        if (!treatment)
            return;
        const auto e = BlockRules::endOfPlacement(t, wholeNumber(treatment->dauer));
        if (!e || BlockRules::overlapping(view->model(), t, *e) >= 0)
            return;
        view->add(t, *e, state.CurrentBeh, DoctorColumn::Green);
    }
    DR_Load(session);
    state.Modified = true;
}

} // namespace NaiveDay
