#include "app/DayColumns.h"

#include "app/AnalysisDock.h"
#include "app/TreatmentLooks.h"
#include "dayview/DayView.h"
#include "editing/DoctorColumn.h"
#include "editing/OpenDay.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisError.h"
#include "kernel/LunarisState.h"
#include "kernel/Steps.h"
#include "store/IdealDayLoader.h"
#include "store/Tables.h"
#include "ui/MessageService.h"

#include <QLineEdit>

#include <algorithm>
#include <optional>

namespace {
const QHash<QString, Treatment> NoTreatments;
} // namespace

DayColumns::DayColumns(Parts parts, OpenDay& day, LunarisState& state, AppServices& services, QWidget* window,
                       std::function<void()> showStatus)
    : m_parts(std::move(parts)), m_day(day), m_state(state), m_services(services), m_window(window),
      m_showStatus(std::move(showStatus))
{
}

bool DayColumns::load(DayReplacement reason)
{
    DayView* doctor = m_parts.columns[m_state.ChairCount];
    m_day.clearDoctor();
    doctor->showAllBlocks();
    // Another day: the steps of the previous one cannot be taken back here.
    m_day.forgetHistory();
    // The rows are read into columns of the load's own; the open day takes them in one step.
    QList<DayViewModel> read = std::as_const(m_day).emptyChairs();
    QList<DayViewModel*> readColumns;
    for (DayViewModel& column : read)
        readColumns.append(&column);
    RowsOnScreen shown;
    int rowFailure = 0;
    try {
        rowFailure = IdealDayLoader::load(m_services.database, readColumns, m_state.CurrentIdealtag, shown);
    } catch (const LunarisError& e) {
        m_day.keepUnfinishedRead(read, shown);
        for (int i = 0; i < m_state.ChairCount; ++i)
            m_parts.columns[i]->showAllBlocks();
        readUnshownEntries();
        m_showStatus();
        // The panel names what failed: the day's rows, not the treatments.
        refreshAnalysis(nullptr, QStringLiteral("Der Idealtag konnte nicht gelesen werden (Fehler %1: %2).")
                                     .arg(e.number())
                                     .arg(e.description()));
        showDataError(e.number());
        return false;
    }
    // The rows read are placed by the one replacement of the day, which keeps what does not fit.
    m_day.replaceByRead(read, shown, reason);
    scrollToFirstBlock();
    // Rows that could not be shown are reported once for the whole load.
    if (rowFailure)
        showDataError(rowFailure);
    return true;
}

void DayColumns::showAllChairs()
{
    for (int i = 0; i < m_state.ChairCount; ++i)
        m_parts.columns[i]->showAllBlocks();
    readUnshownEntries();
}

void DayColumns::scrollToFirstBlock()
{
    // The previous day's position means nothing for this one; the other columns follow the first.
    QString first;
    for (const DayViewModel* chair : std::as_const(m_day).chairs())
        for (const DayBlock& block : chair->blocks())
            if (first.isEmpty() || block.startTime.trimmed() < first)
                first = block.startTime.trimmed();
    DayView* column = m_parts.columns[0];
    const int row = first.isEmpty() ? 0 : column->rowOfTime(first);
    column->setFirstRow(std::clamp(row, 0, std::max(0, column->rowCount() - 1)));
}

void DayColumns::drawDoctorColumn()
{
    DayView* doctor = m_parts.columns[m_state.ChairCount];
    const QList<const DayViewModel*> chairs = std::as_const(m_day).chairs();
    // The column is emptied before anything is read, so a failed read leaves no stale demand. Only
    // its rows that change are repainted.
    m_day.clearDoctor();
    std::optional<QHash<QString, Treatment>> treatments;
    std::optional<DoctorLoad> load;
    try {
        // A day without blocks needs no treatment.
        const bool anyBlock =
            std::any_of(chairs.cbegin(), chairs.cend(), [](const DayViewModel* chair) { return chair->count() > 0; });
        treatments =
            anyBlock ? DoctorColumn::byCode(TreatmentTable(m_services.database).all()) : QHash<QString, Treatment>();
        if (anyBlock)
            setKnownCodes(QSet<QString>(treatments->keyBegin(), treatments->keyEnd()));
        load = m_day.redrawDoctor(*treatments);
        m_parts.fee.setText(QString::number(DoctorColumn::wholeUnits(load->feeCents)));
    } catch (const LunarisError& e) {
        doctor->showChangedBlocks();
        refreshAnalysis(treatments ? &*treatments : nullptr);
        showDataError(e.number());
        return;
    }
    doctor->showChangedBlocks();
    refreshAnalysis(&*treatments, QString(), &*load);
}

DayHours DayColumns::hours() const
{
    const DayViewModel& doctor = std::as_const(m_day).column(m_state.ChairCount);
    return {doctor.dayStart(), doctor.dayEnd(), doctor.slotSize()};
}

DayAnalysis DayColumns::analysis(const QHash<QString, Treatment>& treatments, const DoctorLoad* load) const
{
    return DayAnalysis::of(std::as_const(m_day).chairs(), hours(), DoctorColumn::lookupIn(treatments), m_unshown, load);
}

void DayColumns::refreshAnalysis(const QHash<QString, Treatment>* treatments, const QString& failure,
                                 const DoctorLoad* load)
{
    // A hidden panel is brought up to date when it is shown.
    if (!m_parts.analysis.isShown())
        return;
    if (treatments && failure.isEmpty())
        m_parts.analysis.showAnalysis(analysis(*treatments, load), legend());
    else
        m_parts.analysis.showFailure(
            failure.isEmpty() ? QStringLiteral("Die Behandlungen konnten nicht gelesen werden.") : failure, legend());
}

QList<QPair<QString, QColor>> DayColumns::legend() const
{
    return m_parts.looks.legend(std::as_const(m_day).chairs());
}

void DayColumns::readUnshownEntries()
{
    m_unshown.clear();
    for (const StoredBlock& block : std::as_const(m_day.rowsOnScreen().unshown))
        m_unshown.append({block.row.chair, block.row.startTime.toString(), block.row.code.toString()});
    for (const StoredBlock& block : m_day.unsavedUnshown())
        m_unshown.append({block.row.chair, block.row.startTime.toString(), block.row.code.toString(), false});
}

void DayColumns::setKnownCodes(const QSet<QString>& codes)
{
    if (m_parts.looks.setKnownCodes(codes))
        repaintChairs();
}

void DayColumns::repaintChairs()
{
    for (int i = 0; i < m_state.ChairCount; ++i)
        m_parts.columns[i]->update();
}

void DayColumns::setColorsShown(bool shown)
{
    runStep([&] { m_parts.looks.setColorsShown(shown); });
    repaintChairs();
    if (m_parts.analysis.isShown())
        m_parts.analysis.setLegend(legend());
}

void DayColumns::setAnalysisShown(bool shown)
{
    m_parts.analysis.setShown(shown);
    if (!shown)
        return;
    if (m_state.DayOpen)
        drawDoctorColumn();
    else
        refreshAnalysis(&NoTreatments);
}

void DayColumns::showDataError(int number)
{
    m_services.messages.inform(
        m_window, QString::number(number) + QStringLiteral(" Fehler: Bitte Öffnungszeit und Datenbank überprüfen"),
        QStringLiteral("Datenfehler"), QMessageBox::Warning);
}
