#include "masterdata/frmStuhlT.h"

#include "kernel/AppServices.h"
#include "kernel/LunarisError.h"
#include "kernel/LunarisState.h"
#include "store/Tables.h"
#include "ui/MessageService.h"

namespace {
RecordEditorSetup chairSetup()
{
    RecordEditorSetup setup;
    setup.objectName = QStringLiteral("frmStuhlT");
    setup.table = QStringLiteral("Stuhl");
    setup.caption = QStringLiteral("Stühle");
    setup.fields = {
        {1, QStringLiteral("STUHL"), QStringLiteral("Stuhl:"), 15, {}},
        {2, QStringLiteral("TEXT"), QStringLiteral("Text:"), 30, {}, false, true},
    };
    setup.rows = {{1}, {2}};
    setup.warning = QStringLiteral("Wenn Sie hier Daten löschen oder ändern, werden Termin-und Template-Daten nicht "
                                   "automatisch aktualisiert!!");
    setup.writeFallback = QStringLiteral("Bitte überprüfen Sie die Daten");
    setup.closeIsDefault = false;
    return setup;
}
} // namespace

frmStuhlT::frmStuhlT(LunarisState& state, AppServices& services, QWidget* parent)
    : RecordEditor(chairSetup(), state, services, parent)
{
}

namespace {
const QString kTitle = QStringLiteral("Stühle");

QString usedIn(const QString& chair, int days)
{
    // One substitution for all three: a name holding "%2" is shown as typed.
    return QStringLiteral("Der Stuhl „%1“ wird in %2 %3 verwendet. ")
        .arg(chair, QString::number(days), days == 1 ? QStringLiteral("Idealtag") : QStringLiteral("Idealtagen"));
}
} // namespace

std::function<void()> frmStuhlT::alongsideWrite(const QVariantList& before, const QVariantList& after)
{
    const QVariant from = before.value(0);
    const QVariant to = after.value(0);
    if (from.isNull() || from.toString() == to.toString())
        return {};
    const int days =
        showsItsRows(from.toString()) ? IdealDayStore(m_services.database).daysUsingChair(from.toString()) : 0;
    const bool follow =
        days > 0 && m_services.messages.askYesNo(
                        this,
                        usedIn(from.toString(), days) +
                            QStringLiteral("Sollen diese Einträge auf „%1“ umbenannt werden?").arg(to.toString()),
                        kTitle);
    m_changes.append({{from.toString(), to.toString(), follow, currentRow()}, namesNow().count(from.toString())});
    if (!follow)
        return {};
    const Database& database = m_services.database;
    return [&database, from, to] { IdealDayStore(database).renameChair(from.toString(), to.toString()); };
}

std::function<void()> frmStuhlT::alongsideDelete(const QVariantList& before)
{
    const QVariant chair = before.value(0);
    if (chair.isNull())
        return {};
    const int days =
        showsItsRows(chair.toString()) ? IdealDayStore(m_services.database).daysUsingChair(chair.toString()) : 0;
    // Kept rows are shown again when a chair of that name comes back.
    const bool follow =
        days > 0 && m_services.messages.askYesNo(this,
                                                 usedIn(chair.toString(), days) +
                                                     QStringLiteral("Sollen diese Einträge ebenfalls gelöscht werden?"),
                                                 kTitle, QMessageBox::No);
    m_changes.append({{chair.toString(), QString(), follow, currentRow()}, namesNow().count(chair.toString())});
    if (!follow)
        return {};
    const Database& database = m_services.database;
    return [&database, chair] { IdealDayStore(database).removeChair(chair.toString()); };
}

bool frmStuhlT::showsItsRows(const QString& chair) const
{
    // Of two chairs of one name, the first shows the stored rows of that name; the other's rows are
    // never its own, and renaming or deleting it leaves them alone.
    QVariantList names;
    try {
        names = ChairTable(m_services.database).storedNames();
    } catch (const LunarisError&) {
        return true;
    }
    for (int row = 0; row < names.size(); ++row)
        if (!names[row].isNull() && names[row].toString() == chair)
            return row == currentRow();
    return true;
}

QStringList frmStuhlT::namesNow() const
{
    try {
        return ChairTable(m_services.database).names();
    } catch (const LunarisError&) {
        return {};
    }
}

ChairChanges frmStuhlT::changes() const
{
    // A change whose write failed left the table as it was: its new name is missing, or as many
    // chairs of the deleted name are there as before.
    const QStringList names = namesNow();
    ChairChanges made;
    for (const auto& [change, sameNamesBefore] : m_changes)
        if (change.to.isEmpty() ? names.count(change.from) < sameNamesBefore : names.contains(change.to))
            made.append(change);
    return made;
}

void frmStuhlT::deleteFailed(const LunarisError& error)
{
    reportFailure(error);
}

void frmStuhlT::tableChanged()
{
    m_state.ChairsChanged = true;
}
