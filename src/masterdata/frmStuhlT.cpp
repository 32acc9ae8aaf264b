#include "masterdata/frmStuhlT.h"

#include "app/AppServices.h"
#include "app/LunarisState.h"
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

void frmStuhlT::deleteFailed(const LunarisError& error)
{
    reportFailure(error);
}

void frmStuhlT::tableChanged()
{
    m_state.ChairsChanged = true;
}

void frmStuhlT::formUnload()
{
    // Never cleared during the run: the main window keeps its chair columns until the restart.
    if (m_state.ChairsChanged)
        m_services.messages.inform(this,
                                   QStringLiteral("Das Programm muss neu gestartet werden\r"
                                                  "damit die Änderungen wirksam werden."),
                                   QStringLiteral("Bitte neu starten"), QMessageBox::Warning);
}
