#include "print/PdfExport.h"

#include "kernel/AppServices.h"
#include "print/PrintJob.h"
#include "ui/MessageService.h"
#include "ui/ModalRunner.h"

#include <QBuffer>
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
    const QString file = QFileInfo(fileName).fileName();
    QString problem;
    switch (exportFailure(fileName, dayName, columns)) {
    case Failure::None:
        return;
    case Failure::ReadOnlyFile:
        problem =
            QStringLiteral("Die Datei „%1“ ist schreibgeschützt. Bitte wählen Sie einen anderen Namen.").arg(file);
        break;
    case Failure::DiskFull:
        problem = QStringLiteral("Die Datei „%1“ konnte nicht geschrieben werden: Der Datenträger ist voll. Bitte "
                                 "schaffen Sie Platz oder wählen Sie einen anderen Ort.")
                      .arg(file);
        break;
    case Failure::Folder:
        problem = QStringLiteral("In den Ordner „%1“ kann nicht geschrieben werden. Bitte wählen Sie einen anderen "
                                 "Ordner.")
                      .arg(QDir::toNativeSeparators(folder));
        break;
    case Failure::Other:
        problem = QStringLiteral("Die Datei „%1“ konnte nicht geschrieben werden.").arg(file);
        break;
    }
    m_services.messages.inform(parent, problem, Title, QMessageBox::Warning);
}

namespace {
// No write permission for anybody counts as read-only, also for the administrator, whom the system
// would let write anyway.
bool writable(const QFileInfo& info)
{
    constexpr QFile::Permissions anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return info.isWritable() && (info.permissions() & anyWrite);
}
} // namespace

PdfExport::Failure PdfExport::exportFailure(const QString& fileName, const QString& dayName,
                                            const QList<const DayViewModel*>& columns)
{
    const QFileInfo info(fileName);
    const QFileInfo folder(info.absolutePath());
    if (info.exists() && !writable(info))
        return Failure::ReadOnlyFile;
    if (!info.exists() && (!folder.isDir() || !writable(folder)))
        return Failure::Folder;
    // The whole document first, so that a failure of the file leaves nothing half-painted behind.
    QBuffer document;
    document.open(QIODevice::WriteOnly);
    if (!writeTo(document, dayName, columns))
        return Failure::Other;
    QFile out(fileName);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return info.exists() ? Failure::ReadOnlyFile : Failure::Folder;
    if (out.write(document.data()) != document.size() || !out.flush()) {
        // The error class, not its text: a full disk is a resource error.
        const bool full = out.error() == QFileDevice::ResourceError;
        out.close();
        return full ? Failure::DiskFull : Failure::Other;
    }
    out.close();
    return out.error() == QFileDevice::NoError ? Failure::None : Failure::Other;
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
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && writeTo(file, dayName, columns) && file.flush() &&
           file.error() == QFileDevice::NoError;
}

bool PdfExport::writeTo(QIODevice& device, const QString& dayName, const QList<const DayViewModel*>& columns)
{
    QPdfWriter writer(&device);
    writer.setPageLayout(pageLayout());
    writer.setResolution(Resolution);
    writer.setTitle(dayName.isEmpty() ? QFileInfo(UnnamedFile).completeBaseName() : dayName);
    writer.setCreator(QGuiApplication::applicationDisplayName());
    return PrintJob(m_services, dayName, columns).paint(writer);
}
