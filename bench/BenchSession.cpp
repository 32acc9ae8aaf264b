#include "BenchSession.h"

#include "BenchPractice.h"
#include "app/frmLunaris.h"
#include "dayview/DayView.h"
#include "kernel/LunarisError.h"
#include "store/Database.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>

#include <stdexcept>

QMessageBox::StandardButton RecordingMessages::show(const MessageRequest& request)
{
    m_shown.append(request.title + QStringLiteral(": ") + request.text);
    return request.buttons.testFlag(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok;
}

int DrivenDialogs::run(QDialog& dialog)
{
    if (!m_handler)
        return QDialog::Rejected;
    return m_handler(dialog);
}

PdfPrinter::PdfPrinter(const QString& fileName) : m_printer(QPrinter::HighResolution)
{
    m_printer.setOutputFormat(QPrinter::PdfFormat);
    m_printer.setOutputFileName(fileName);
    m_printer.setPageSize(QPageSize(QPageSize::A4));
}

std::unique_ptr<Database> BenchSession::openFile(const QString& path, const QString& connectionName,
                                                 TemplateIndex index)
{
    auto database = std::make_unique<Database>(path, connectionName);
    // Opening puts a missing index back in place, so the naive copy loses it only now.
    if (index == TemplateIndex::Dropped)
        database->run(QStringLiteral("DROP INDEX Template_IDEALTAG_STUHL"));
    return database;
}

BenchSession::BenchSession(const QString& databasePath, const QString& connectionName, TemplateIndex index,
                           const QString& pdfPath)
    : BenchSession(openFile(databasePath, connectionName, index), pdfPath)
{
}

BenchSession::BenchSession(std::unique_ptr<Database> database, const QString& pdfPath)
    : m_database(std::move(database)),
      m_printer(pdfPath), m_services{*m_database, m_settings, m_messages, m_dialogs, &m_printer}
{
    m_state.DatabaseFile = m_database->filePath();
    m_state.MaxChairs = 10;
    m_window = std::make_unique<frmLunaris>(m_state, m_services);
    if (!m_window->Form_Load(1024))
        throw std::runtime_error("the main window refused to load");
    showExposed(*m_window);
    openDay();
    // The first write after the start waits for the check of the whole file (it runs in the background);
    // the measured saves come after it.
    m_database->awaitWritable();
}

BenchSession::~BenchSession()
{
    // Going without close: nothing is offered for saving.
    m_window.reset();
}

void BenchSession::openDay()
{
    m_dialogs.setHandler([](QDialog& dialog) {
        dialog.findChild<QLineEdit*>(QStringLiteral("txtIdealtag"))->setText(BenchPractice::DayName);
        dialog.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
        return dialog.result();
    });
    m_window->findChild<QAction*>(QStringLiteral("mnuFileOpen"))->trigger();
    m_dialogs.setHandler({});

    auto* treatments = m_window->findChild<QComboBox*>(QStringLiteral("DBComboBeh"));
    treatments->setCurrentIndex(treatments->findText(BenchPractice::treatmentCode(0)));
    paintWindow();

    if (!m_messages.shown().isEmpty())
        throw std::runtime_error("opening the day showed: " + m_messages.shown().join(" / ").toStdString());
    if (m_state.CurrentBeh != BenchPractice::treatmentCode(0))
        throw std::runtime_error("the treatment list did not choose the treatment");
    if (chairBlocks() != BenchPractice::BlocksPerDay || doctorBlocks() != BenchPractice::Rows)
        throw std::runtime_error("the day did not load in full");
    if (feeText() != QString::number(BenchPractice::dayFeeTotal()))
        throw std::runtime_error("the fee total is wrong: " + feeText().toStdString());
}

int BenchSession::chairBlocks() const
{
    int blocks = 0;
    for (int c = 0; c < m_state.ChairCount; ++c)
        blocks += m_window->SSDay1(c)->count();
    return blocks;
}

int BenchSession::doctorBlocks() const
{
    return m_window->SSDay1(m_state.ChairCount)->count();
}

QString BenchSession::feeText() const
{
    return m_window->findChild<QLineEdit*>(QStringLiteral("txtHon"))->text();
}

void BenchSession::paintWindow()
{
    m_window->repaint();
}

void BenchSession::paintPending()
{
    QCoreApplication::processEvents();
}

void BenchSession::showExposed(QWidget& window)
{
    window.show();
    QElapsedTimer waited;
    waited.start();
    while (!window.windowHandle()->isExposed()) {
        if (waited.elapsed() > 5000)
            throw std::runtime_error("the window was not exposed");
        QCoreApplication::processEvents();
    }
}

QString describeFailure(const std::exception& e)
{
    if (const auto* failure = dynamic_cast<const LunarisError*>(&e))
        return QStringLiteral("%1 %2").arg(failure->number()).arg(failure->description());
    return QString::fromLocal8Bit(e.what());
}
