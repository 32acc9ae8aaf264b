#include "masterdata/frmBehandT.h"

#include "editing/TreatmentColors.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisError.h"
#include "ui/MessageService.h"
#include "ui/ModalRunner.h"

#include <QColorDialog>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>

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
    auto* button = new QPushButton(QStringLiteral("Farbe..."), this);
    button->setObjectName(QStringLiteral("cmdFarbe"));
    button->setToolTip(QStringLiteral("Farbe der Blöcke dieser Behandlung (Ansicht → Farben je Behandlung)"));
    // Right of the fields, below "Schließen" and above "Speichern".
    static_cast<QGridLayout*>(layout())->addWidget(button, 0, 3, Qt::AlignBottom);
    setTabOrder(findChild<QPushButton*>(QStringLiteral("cmdSchließen")), button);
    connect(button, &QPushButton::clicked, this, &frmBehandT::cmdFarbe_Click);
}

void frmBehandT::cmdFarbe_Click()
{
    const QString code = findChild<QLineEdit*>(QStringLiteral("txtFields0"))->text().trimmed();
    if (code.isEmpty()) {
        m_services.messages.inform(this, QStringLiteral("Bitte geben Sie zuerst ein Kürzel ein."),
                                   QStringLiteral("Behandlungskürzel"), QMessageBox::Information);
        return;
    }
    TreatmentColors colors(m_services.settings);
    const QColor current = colors.colorOf(code);
    QColorDialog dialog(current.isValid() ? current : QColor(0, 255, 0), this);
    dialog.setObjectName(QStringLiteral("dlgFarbe"));
    dialog.setWindowTitle(QStringLiteral("Farbe für „%1“").arg(code));
    if (m_services.modals.run(dialog) != QDialog::Accepted)
        return;
    try {
        colors.setColor(code, dialog.selectedColor());
    } catch (const LunarisError& e) {
        reportFailure(e);
    }
}

bool frmBehandT::confirmDelete()
{
    return m_services.messages.askYesNo(this, QStringLiteral("Wollen Sie wirklich löschen?"), QStringLiteral("Löschen"),
                                        QMessageBox::No);
}
