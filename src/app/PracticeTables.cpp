#include "app/PracticeTables.h"

#include "app/ColumnLayout.h"
#include "app/DayColumns.h"
#include "app/FirstStartGuide.h"
#include "app/TreatmentLooks.h"
#include "commands/DemoPracticeCommand.h"
#include "dayview/DayView.h"
#include "editing/DayPlacement.h"
#include "editing/DayStatus.h"
#include "editing/EditingControls.h"
#include "editing/OpenDay.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisError.h"
#include "kernel/LunarisState.h"
#include "kernel/Steps.h"
#include "masterdata/frmBehandT.h"
#include "masterdata/frmStuhlT.h"
#include "settings/PracticeSettings.h"
#include "settings/SettingsStore.h"
#include "settings/frmEinstellungenT.h"
#include "store/DemoPractice.h"
#include "store/Tables.h"
#include "ui/AfterModalWindows.h"
#include "ui/ModalRunner.h"

#include <QPushButton>

#include <algorithm>

PracticeTables::PracticeTables(Parts parts, Calls calls, OpenDay& day, LunarisState& state, AppServices& services)
    : m_parts(parts), m_calls(std::move(calls)), m_day(day), m_state(state), m_services(services)
{
}

void PracticeTables::editTreatments()
{
    frmBehandT editor(m_state, m_services, &m_parts.window);
    m_services.modals.run(editor);
    // The list offers the codes as they are now; colours and deleted codes show at once.
    m_parts.looks.reloadColors();
    followTreatmentTable();
    m_parts.screen.repaintChairs();
    // Fees, lengths, doctor windows and deleted codes count at once: the doctor column, the fee and
    // the panel are drawn again from the table as it is now.
    m_parts.screen.drawDoctorColumn();
    followContents();
}

void PracticeTables::editChairs()
{
    frmStuhlT editor(m_state, m_services, &m_parts.window);
    m_services.modals.run(editor);
    // The open day follows renamed and deleted chairs at once.
    followChairTable(editor.changes());
    followContents();
}

void PracticeTables::editSettings()
{
    frmEinstellungenT dialog(m_services, &m_parts.window);
    if (m_services.modals.run(dialog) != QDialog::Accepted)
        return;
    // The values take effect at once: the columns take the hours and the row length now in effect.
    m_parts.status.setNotice(QString());
    readPracticeSettings();
    followHours();
}

void PracticeTables::followHours()
{
    m_parts.layout.cancelDrags();
    m_parts.layout.applyHours(m_state.MaxChairs);
    // Blocks outside the new hours are kept as unshown rows and named; the replacement draws the day.
    m_day.followHours(m_state.OpenTime, m_state.CloseTime, m_state.SlotSetting);
}

void PracticeTables::followPracticeValuesElsewhere()
{
    // Under a modal window of this program (the settings dialog itself) the values are read and followed once it
    // has closed; beside, not instead of, the following of the tables.
    afterModalWindows(
        m_parts.window, [this] { followPracticeValues(); }, QStringLiteral("Praxiswerte"));
}

void PracticeTables::followPracticeValues()
{
    if (!m_services.settings.reloadShared())
        return;
    m_parts.looks.reloadColors();
    m_parts.screen.repaintChairs();
    m_parts.screen.drawDoctorColumn();
    const QString open = m_state.OpenTime;
    const QString close = m_state.CloseTime;
    const int slot = m_state.SlotSetting;
    readPracticeSettings();
    if (open != m_state.OpenTime || close != m_state.CloseTime || slot != m_state.SlotSetting)
        followHours();
}

void PracticeTables::loadDemo()
{
    if (!DemoPracticeCommand(m_services, &m_parts.window, m_calls.databaseWritable).run())
        return;
    // The columns, the treatment list and the guide take the new practice at once, and its first day
    // is opened: a practice to look at, not grey empty columns.
    followChairTable({});
    followTreatmentTable();
    followContents();
    QStringList days;
    runStep([&] { days = IdealtagTable(m_services.database).names(); });
    if (!days.isEmpty())
        m_calls.openDay(days.first());
}

void PracticeTables::readPracticeSettings()
{
    const PracticeSettings practice = PracticeSettings::read(m_services.settings);
    m_state.SlotSetting = practice.slotSetting;
    m_state.OpenTime = practice.openTime;
    m_state.CloseTime = practice.closeTime;
    if (!practice.replaced.isEmpty())
        setStatusText(practice.replaced.join(QStringLiteral("; ")));
}

void PracticeTables::followTreatmentTable()
{
    m_parts.editing.refreshTreatments();
    runStep([&] {
        const QStringList codes = TreatmentTable(m_services.database).codes();
        m_parts.screen.setKnownCodes(QSet<QString>(codes.cbegin(), codes.cend()));
    });
}

QStringList PracticeTables::readChairs()
{
    m_chairs = ChairTable(m_services.database).rows();
    QStringList names;
    for (const ChairRow& chair : std::as_const(m_chairs))
        names.append(chair.name);
    return names;
}

void PracticeTables::followChairTable(const ChairChanges& changes)
{
    QList<ChairRow> rows;
    try {
        rows = ChairTable(m_services.database).rows();
    } catch (const LunarisError& e) {
        m_parts.screen.showDataError(e.number());
        return;
    }
    followChairRows(changes.isEmpty() ? chairChangesBetween(m_chairs, rows) : changes, rows);
}

QString PracticeTables::followChairsElsewhere()
{
    QList<ChairRow> rows;
    try {
        rows = ChairTable(m_services.database).rows();
    } catch (const LunarisError& e) {
        m_parts.screen.showDataError(e.number());
        return {};
    }
    const ChairChanges changes = chairChangesBetween(m_chairs, rows);
    QStringList deleted;
    QList<StoredBlock> leaving;
    for (int i = 0; i < m_chairs.size(); ++i) {
        const QString& name = m_chairs[i].name;
        if (std::none_of(rows.cbegin(), rows.cend(), [&](const ChairRow& row) { return row.id == m_chairs[i].id; })) {
            deleted.append(QStringLiteral("„%1“").arg(name));
            if (i < m_state.ChairCount)
                for (const DayBlock& block : std::as_const(m_day).column(i).blocks())
                    leaving.append({0, {name, block.text, block.startTime, block.endTime}});
        }
    }
    followChairRows(changes, rows);
    if (leaving.isEmpty())
        return {};
    const QString chairs = deleted.size() == 1
                               ? QStringLiteral("Stuhl %1 wurde").arg(deleted.constFirst())
                               : QStringLiteral("Die Stühle %1 wurden").arg(deleted.join(QStringLiteral(", ")));
    return chairs + QStringLiteral(" an einem anderen Arbeitsplatz gelöscht. ") + DayPlacement::notice(leaving);
}

void PracticeTables::followChairRows(const ChairChanges& changes, const QList<ChairRow>& rows)
{
    m_chairs = rows;
    QStringList chairs;
    for (const ChairRow& chair : rows)
        chairs.append(chair.name);
    QStringList captions;
    for (const DayViewModel* chair : std::as_const(m_day).chairs())
        captions.append(chair->caption());
    if (changes.isEmpty() && chairs.mid(0, m_state.MaxChairs) == captions)
        return;
    m_parts.layout.cancelDrags();
    m_day.followChairs(changes, chairs);
    m_parts.layout.applyHours(m_state.ChairCount);
    m_parts.layout.assignChairs(chairs, m_parts.tabBefore);
    for (int i = 0; i <= m_state.ChairCount; ++i)
        m_parts.layout.column(i)->setEnabled(m_state.DayOpen);
    m_calls.relayout();
    m_parts.screen.showAllChairs();
    m_calls.showStatus();
    m_parts.screen.drawDoctorColumn();
}

void PracticeTables::followContents()
{
    PracticeContents contents;
    if (!runStep([&] { contents = PracticeContents::masterData(m_services.database); }))
        return;
    FirstStartGuide& guide = m_parts.guide;
    const bool missing = contents.chairs == 0 || contents.treatments == 0;
    guide.setMissing(contents.chairs == 0, contents.treatments == 0);
    if (missing != guide.isHidden())
        return;
    guide.setVisible(missing);
    if (!missing) {
        // Chairs that came from elsewhere get their columns now.
        followChairTable({});
        return;
    }
    m_calls.relayout();
    guide.raise();
    // The keyboard (and a screen reader) starts on the first way on.
    const QWidget* focus = m_parts.window.focusWidget();
    if (!focus || !focus->isVisible())
        guide.chairsButton()->setFocus();
}

void PracticeTables::setStatusText(const QString& text)
{
    m_parts.status.setNotice(text);
    m_calls.showStatus();
}
