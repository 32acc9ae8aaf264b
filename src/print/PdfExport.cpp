#include "print/PdfExport.h"

#include "kernel/AppServices.h"
#include "print/PrintPainter.h"
#include "print/PrintSettings.h"
#include "ui/MessageService.h"
#include "ui/ModalRunner.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QStandardPaths>

PdfExport::PdfExport(AppServices& services) : m_services(services) {}

QString PdfExport::proposedFileName(const QString& dayName)
{
    QString name = dayName.trimmed();
    static const QRegularExpression forbidden(QStringLiteral(R"([\\/:*?"<>|\x00-\x1f])"));
    name.replace(forbidden, QStringLiteral("_"));
    return name.isEmpty() ? UnnamedFile : name + QStringLiteral(".pdf");
}

QPageLayout PdfExport::pageLayout()
{
    const double m = MarginMillimetres;
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(m, m, m, m),
                       QPageLayout::Millimeter);
}

void PdfExport::exportDay(QWidget* parent, const QString& dayName, const QList<const DayViewModel*>& columns)
{
    const QString fileName = chooseFile(parent, dayName);
    if (fileName.isEmpty())
        return;
    const QString folder = QFileInfo(fileName).absolutePath();
    const QFileInfo folderInfo(folder);
    if (!folderInfo.isDir() || !folderInfo.isWritable() || !write(fileName, dayName, columns))
        m_services.messages.inform(parent,
                                   QStringLiteral("In den Ordner „%1“ kann nicht geschrieben werden. Bitte wählen Sie "
                                                  "einen anderen Ordner.")
                                       .arg(QDir::toNativeSeparators(folder)),
                                   Title, QMessageBox::Warning);
}

QString PdfExport::chooseFile(QWidget* parent, const QString& dayName)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QFileInfo(folder).isDir())
        folder = QDir::homePath();
    QString name = proposedFileName(dayName);
    for (;;) {
        QFileDialog dialog(parent, Title, folder, QStringLiteral("PDF-Dateien (*.pdf)"));
        dialog.setObjectName(QStringLiteral("dlgPdfExport"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("pdf"));
        // The replace question goes through the program's message boxes like every other.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.selectFile(name);
        if (m_services.modals.run(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        const QString chosen = dialog.selectedFiles().constFirst();
        if (!QFileInfo::exists(chosen))
            return chosen;
        if (m_services.messages.askYesNo(
                parent,
                QStringLiteral("Die Datei „%1“ ist bereits vorhanden.\nMöchten Sie sie ersetzen?")
                    .arg(QFileInfo(chosen).fileName()),
                Title, QMessageBox::No))
            return chosen;
        // "Nein": back to the dialog to choose another name.
        folder = QFileInfo(chosen).absolutePath();
        name = QFileInfo(chosen).fileName();
    }
}

bool PdfExport::write(const QString& fileName, const QString& dayName, const QList<const DayViewModel*>& columns)
{
    QPdfWriter writer(fileName);
    writer.setPageLayout(pageLayout());
    writer.setResolution(Resolution);
    writer.setTitle(dayName.isEmpty() ? QFileInfo(UnnamedFile).completeBaseName() : dayName);
    writer.setCreator(QGuiApplication::applicationDisplayName());
    return paintPrintout(writer, PrintSettings::read(m_services.settings), dayName, columns);
}
