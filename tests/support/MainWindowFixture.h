#pragma once

#include "TestContext.h"
#include "app/frmLunaris.h"
#include "ui/MessageService.h"

#include <QSize>
#include <QStringList>

#include <memory>

class DayView;
class QAction;

// The real main window on a temporary practice, and what tests do with it: menu items, New,
// choosing a treatment, real clicks on a day, the blocks on screen, the rows stored and the last
// message box. Each test file adds its own treatments and settings to ctx, then calls start().
class MainWindowFixture {
public:
    // Chairs "Stuhl 1" to "Stuhl <chairs>"; a valid windowSize is given to the window at every start.
    explicit MainWindowFixture(int chairs, QSize windowSize = QSize());

    // Builds the window on ctx, loads it for a screen 1024 pixels wide and shows it.
    void start();

    QAction* action(const char* name) const;
    // The tool-bar button with this key ("New", "Open", "Save", "Print").
    QAction* toolButton(const char* key) const;
    void newDay();
    // Picks the treatment in the combo box, which makes it the one placed by a click.
    void choose(const QString& code);
    // Places a block as the click handler does: green, the doctor column rebuilt, the day modified.
    void place(int column, const QString& start, const QString& end, const QString& code);
    // A real mouse click on the row of a time, scrolled into view first when it is not visible.
    void click(int column, const QString& time, Qt::MouseButton button = Qt::LeftButton);

    // The blocks of a column as "hh:mm-hh:mm CODE".
    QStringList onScreen(int column) const;
    // The stored rows of a day as "STUHL|BEH|STARTZEIT|ENDZEIT", in table order.
    QStringList stored(const QString& day);
    // The names in table Idealtag, in table order.
    QStringList dayNames();
    // Prints the day into a PDF file and returns the file's text.
    QString printed();

    // The most recent message box.
    void expectBox(const QString& text, const QString& title, QMessageBox::Icon icon,
                   QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    // No queued answer and no dialog handler left over: for a test class's cleanup().
    void expectNothingPending();

    TestContext ctx;
    std::unique_ptr<frmLunaris> window;

private:
    QSize m_windowSize;
};

// The blocks of a day view as "hh:mm-hh:mm CODE".
QStringList blocksOn(const DayView& view);

// Compares every part of a message box a user sees: text, title, icon and buttons.
void compareBox(const MessageRequest& box, const QString& text, const QString& title, QMessageBox::Icon icon,
                QMessageBox::StandardButtons buttons = QMessageBox::Ok);
