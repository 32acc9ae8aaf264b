#pragma once

#include <QList>
#include <QPageLayout>
#include <QString>

struct AppServices;
class DayViewModel;
class QIODevice;
class QWidget;

// Als PDF exportieren: the print-out (list or day plan, as chosen) written as an A4 landscape PDF file, text as text,
// with the day's name as the document's title; no printer needed. The file is chosen in a save dialog shown through the
// modal-window seam.
class PdfExport {
public:
    static inline const QString Title = QStringLiteral("Als PDF exportieren");
    static inline const QString UnnamedFile = QStringLiteral("Idealtag.pdf");
    static constexpr double MarginMillimetres = 5; // a printer's usual unprintable edge
    static constexpr int Resolution = 1200;        // dots per inch, as a printer's high resolution

    explicit PdfExport(AppServices& services);

    // The file name proposed for a day: its name with ".pdf", characters no file name may hold replaced.
    static QString proposedFileName(const QString& dayName);
    // A4 landscape with the usual printer margins.
    static QPageLayout pageLayout();

    void exportDay(QWidget* parent, const QString& dayName, const QList<const DayViewModel*>& columns);
    // Writes the PDF without asking; false when the file cannot be written.
    bool write(const QString& fileName, const QString& dayName, const QList<const DayViewModel*>& columns);

private:
    enum class Failure { None, ReadOnlyFile, Folder, DiskFull, Other };
    Failure exportFailure(const QString& fileName, const QString& dayName, const QList<const DayViewModel*>& columns);
    bool writeTo(QIODevice& device, const QString& dayName, const QList<const DayViewModel*>& columns);
    // The file the user chose, confirmed where it exists; empty when the user cancelled.
    QString chooseFile(QWidget* parent, const QString& dayName);

    AppServices& m_services;
};
