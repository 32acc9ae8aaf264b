#include "NaiveDay.h"

#include "BenchSession.h"
#include "app/frmLunaris.h"
#include "dayview/DayView.h"
#include "editing/BlockRules.h"
#include "editing/DoctorColumn.h"
#include "kernel/Steps.h"
#include "store/IdealDayLoader.h"
#include "store/Tables.h"

#include <QLineEdit>

NaiveDay::NaiveDay(BenchSession& session) : m_session(session)
{
    for (int i = 0; i < Columns; ++i) {
        DayView* shown = session.window().SSDay1(i);
        m_models[i] = shown->model();
        auto* view = new DayView(i, m_models[i], shown);
        view->setColumnBackColor(shown->columnBackColor());
        view->setGeometry(shown->rect());
        view->setFirstRow(shown->firstRow());
        view->show();
        m_views[i] = view;
    }
    // Painted once, as the window's columns were: the first frame measured is not the views' first.
    session.paintPending();
}

NaiveDay::~NaiveDay()
{
    for (const QPointer<DayView>& view : m_views)
        delete view.data();
}

QList<const DayViewModel*> NaiveDay::chairs() const
{
    QList<const DayViewModel*> chairs;
    for (int i = 0; i < m_session.state().ChairCount; ++i)
        chairs.append(&m_models[i]);
    return chairs;
}

const DayViewModel& NaiveDay::doctor() const
{
    return m_models.at(m_session.state().ChairCount);
}

void NaiveDay::DR_Load()
{
    const int doctor = m_session.state().ChairCount;
    const TreatmentTable treatments(m_session.database());
    // The treatment table is asked again for every block.
    std::optional<Treatment> current;
    const qint64 fee = DoctorColumn::rebuild(chairs(), m_models[doctor], [&](const QString& code) -> const Treatment* {
        current = treatments.find(code);
        return current ? &*current : nullptr;
    });
    m_session.window().findChild<QLineEdit*>(QStringLiteral("txtHon"))->setText(QString::number(fee));
    m_views[doctor]->update();
}

void NaiveDay::Termin_load()
{
    frmLunaris& window = m_session.window();
    const LunarisState& state = m_session.state();
    window.setWindowTitle(QStringLiteral("Template: ") + state.CurrentIdealtag);
    m_models[state.ChairCount].clear();
    m_views[state.ChairCount]->showAllBlocks();
    const QStringList chairs = ChairTable(m_session.database()).names();
    const IdealDayStore store(m_session.database());
    // Chair by chair, each with a query of its own.
    for (int i = 0; i < state.ChairCount; ++i) {
        DayViewModel& column = m_models[i];
        column.clear();
        column.setCaption(chairs.at(i));
        for (const TemplateRow& row : store.blocksOf(state.CurrentIdealtag, chairs.at(i)))
            runStepSkippingRefusal([&] {
                column.add(textOf(row.startTime), textOf(row.endTime), textOf(row.code), IdealDayLoader::BlockColor);
            });
        m_views[i]->update();
    }
    DR_Load();
}

void NaiveDay::click(int column, int button, int row)
{
    DayView* view = m_views[column];
    DayViewModel& blocks = m_models[column];
    const LunarisState& state = m_session.state();
    const QPoint p = view->pointOfRow(row);
    const QString t = view->timeAt(p.x(), p.y()).trimmed();
    const int hit = BlockRules::blockAt(blocks, t);
    if (button == 2) {
        if (hit >= 0)
            blocks.remove(hit);
    } else {
        if (hit >= 0 || state.CurrentBeh.isEmpty())
            return;
        const auto treatment = TreatmentTable(m_session.database()).find(state.CurrentBeh);
        if (!treatment)
            return;
        const auto e = BlockRules::endOfPlacement(t, wholeNumber(treatment->dauer));
        if (!e || BlockRules::overlapping(blocks, t, *e) >= 0)
            return;
        blocks.add(t, *e, state.CurrentBeh, DoctorColumn::Green);
    }
    view->showAllBlocks();
    DR_Load();
    m_changed = true;
}
