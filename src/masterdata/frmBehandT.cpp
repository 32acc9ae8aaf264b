#include "masterdata/frmBehandT.h"

#include "app/AppServices.h"
#include "ui/MessageService.h"

namespace {
RecordEditorSetup treatmentSetup()
{
    RecordEditorSetup setup;
    setup.objectName = QStringLiteral("frmBehandT");
    setup.table = QStringLiteral("Behand");
    setup.caption = QStringLiteral("Behandlungskürzel");
    setup.fields = {
        {0, QStringLiteral("BEH"), QStringLiteral("Kürzel:"), 6, {}},
        {1, QStringLiteral("TEXT"), QStringLiteral("Text:"), 30, {}, false, true},
        {2, QStringLiteral("DAUER"), QStringLiteral("Dauer (Min):"), 3, {}, true},
        {7, QStringLiteral("HON"), QStringLiteral("Honorar:"), 6, {}, true, false, true}, // "999,99"
        {3, QStringLiteral("DR_START"), QStringLiteral("Dr. Start 1:"), 3, QStringLiteral("Dr. kommt nach ... min."),
         true},
        {4, QStringLiteral("DR_DAUER"), QStringLiteral("Dr. Dauer 1:"), 3, QStringLiteral("Dr.-Zeit benötigt"), true},
        {5, QStringLiteral("DR_START2"), QStringLiteral("Dr. Start 2:"), 3,
         QStringLiteral("Dr. kommt  ... min. nach Anfang noch mal."), true},
        {6, QStringLiteral("DR_DAUER2"), QStringLiteral("Dr. Dauer 2:"), 3, QStringLiteral("2. Dr.-Zeit benötigt"),
         true},
    };
    setup.rows = {{0}, {1}, {2, 7}, {3, 4}, {5, 6}};
    setup.warning = QStringLiteral("Wenn Sie hier Daten löschen oder ändern, werden Termin- und Template-Daten nicht "
                                   "automatisch aktualisiert!!");
    setup.writeFallback = QStringLiteral("Bitte überprüfen Sie die Daten.");
    setup.closeIsDefault = true;
    return setup;
}
} // namespace

frmBehandT::frmBehandT(LunarisState& state, AppServices& services, QWidget* parent)
    : RecordEditor(treatmentSetup(), state, services, parent)
{
}

bool frmBehandT::confirmDelete()
{
    return m_services.messages.askYesNo(this, QStringLiteral("Wollen Sie wirklich löschen?"), QStringLiteral("Löschen"),
                                        QMessageBox::No);
}
