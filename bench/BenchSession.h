#pragma once

#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "print/PrinterProvider.h"
#include "settings/SettingsStore.h"
#include "ui/MessageService.h"
#include "ui/ModalRunner.h"

#include <QPrinter>
#include <QStringList>

#include <functional>
#include <memory>

class Database;
class frmLunaris;

// Records every message box instead of showing it. A benchmark that meets one measured a failure,
// not the operation, and reports it.
class RecordingMessages : public MessageService {
public:
    QMessageBox::StandardButton show(const MessageRequest& request) override;
    const QStringList& shown() const { return m_shown; }
    void clear() { m_shown.clear(); }

private:
    QStringList m_shown;
};

// Runs a dialog through a handler that drives it and closes it, without a nested event loop.
class DrivenDialogs : public ModalRunner {
public:
    using Handler = std::function<int(QDialog&)>;
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    int run(QDialog& dialog) override;

private:
    Handler m_handler;
};

// The "default printer": a PDF file.
class PdfPrinter : public PrinterProvider {
public:
    explicit PdfPrinter(const QString& fileName);
    QPrinter* defaultPrinter() override { return &m_printer; }

private:
    QPrinter m_printer;
};

// The program's main window on one practice file, shown off screen, with the large day opened
// through the Open command and a treatment chosen, as a user leaves it before the measured action.
class BenchSession {
public:
    enum class TemplateIndex { Kept, Dropped };

    BenchSession(const QString& databasePath, const QString& connectionName, TemplateIndex index,
                 const QString& pdfPath);
    // The window on a database already open (the practice on a server).
    BenchSession(std::unique_ptr<Database> database, const QString& pdfPath);
    ~BenchSession();
    BenchSession(const BenchSession&) = delete;
    BenchSession& operator=(const BenchSession&) = delete;

    frmLunaris& window() { return *m_window; }
    LunarisState& state() { return m_state; }
    Database& database() { return *m_database; }
    RecordingMessages& messages() { return m_messages; }
    DrivenDialogs& dialogs() { return m_dialogs; }

    // Blocks in the chair columns and in the doctor column.
    int chairBlocks() const;
    int doctorBlocks() const;
    QString feeText() const;
    // Paints the whole window now, as the frame after a change of the whole day.
    void paintWindow();
    // Paints what the last change marked dirty, as the event loop's next frame does.
    void paintPending();
    // Shows a window and runs the event loop until the window system has exposed (and so painted) it.
    static void showExposed(QWidget& window);

    // Opens the day through the menu item and its dialog; throws when the day does not show up in full.
    void openDay();

private:
    static std::unique_ptr<Database> openFile(const QString& path, const QString& connectionName, TemplateIndex index);

    std::unique_ptr<Database> m_database;
    SettingsStore m_settings;
    RecordingMessages m_messages;
    DrivenDialogs m_dialogs;
    PdfPrinter m_printer;
    LunarisState m_state;
    AppServices m_services;
    std::unique_ptr<frmLunaris> m_window;
};

// A text for an exception of the program or of the benchmark itself.
QString describeFailure(const std::exception& e);
