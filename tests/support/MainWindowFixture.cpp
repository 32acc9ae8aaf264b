#include "MainWindowFixture.h"
#include "DayEdits.h"

#include "PdfOutput.h"
#include "dayview/DayView.h"

#include <QComboBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

MainWindowFixture::MainWindowFixture(int chairs, QSize windowSize) : m_windowSize(windowSize)
{
    for (int i = 1; i <= chairs; ++i)
        ctx.tempDatabase.addChair(QStringLiteral("Stuhl %1").arg(i));
}

void MainWindowFixture::start()
{
    window = std::make_unique<frmLunaris>(ctx.state, ctx.services);
    QVERIFY(window->Form_Load(1024));
    window->show();
    if (m_windowSize.isValid())
        window->resize(m_windowSize);
}

QAction* MainWindowFixture::action(const char* name) const
{
    return window->findChild<QAction*>(name);
}

QAction* MainWindowFixture::toolButton(const char* key) const
{
    return window->findChild<QAction*>(QStringLiteral("tbToolBar_") + key);
}

void MainWindowFixture::newDay()
{
    action("mnuFileNew")->trigger();
}

void MainWindowFixture::choose(const QString& code)
{
    auto* combo = window->findChild<QComboBox*>(QStringLiteral("DBComboBeh"));
    combo->setCurrentIndex(combo->findText(code));
    QCOMPARE(ctx.state.CurrentBeh, code);
}

void MainWindowFixture::place(int column, const QString& start, const QString& end, const QString& code)
{
    QVERIFY(placeBlock(*window, column, start, end, code));
}

void MainWindowFixture::click(int column, const QString& time, Qt::MouseButton button)
{
    DayView* view = window->SSDay1(column);
    const int row = view->rowOfTime(time);
    if (view->pointOfRow(row).y() < 0)
        view->setFirstRow(row);
    const QPoint p = view->pointOfRow(row);
    QVERIFY(p.y() >= 0);
    // The row under the mouse is the one of the time (its 10-minute row for times in between).
    QCOMPARE(view->timeAt(p.x(), p.y()),
             time.left(4) + QString(time.at(4)).replace(QRegularExpression(QStringLiteral("[1-9]")), "0"));
    QTest::mouseClick(view, button, {}, p);
}

QStringList MainWindowFixture::onScreen(int column) const
{
    return blocksOn(*window->SSDay1(column));
}

QStringList MainWindowFixture::stored(const QString& day)
{
    return ctx.tempDatabase.rows(QStringLiteral("SELECT STUHL, BEH, STARTZEIT, ENDZEIT FROM Template "
                                                "WHERE IDEALTAG = ? ORDER BY rowid"),
                                 {day});
}

QStringList MainWindowFixture::dayNames()
{
    return ctx.tempDatabase.rows(QStringLiteral("SELECT IDEALTAG FROM Idealtag ORDER BY rowid"));
}

QString MainWindowFixture::printed()
{
    QTemporaryDir dir;
    PdfFilePrinters printers(dir.filePath(QStringLiteral("tag.pdf")));
    ctx.services.printers = &printers;
    action("mnuFilePrint")->trigger();
    ctx.services.printers = nullptr;
    return pdfText(dir.filePath(QStringLiteral("tag.pdf")));
}

void MainWindowFixture::expectBox(const QString& text, const QString& title, QMessageBox::Icon icon,
                                  QMessageBox::StandardButtons buttons)
{
    compareBox(ctx.messages.last(), text, title, icon, buttons);
}

void MainWindowFixture::expectNothingPending()
{
    QCOMPARE(ctx.messages.pendingAnswers(), 0);
    QCOMPARE(ctx.modals.pendingHandlers(), 0);
}

QStringList blocksOn(const DayView& view)
{
    QStringList result;
    for (const DayBlock& b : view.model().blocks())
        result.append(b.startTime + QLatin1Char('-') + b.endTime + QLatin1Char(' ') + b.text);
    return result;
}

void compareBox(const MessageRequest& box, const QString& text, const QString& title, QMessageBox::Icon icon,
                QMessageBox::StandardButtons buttons)
{
    QCOMPARE(box.text, text);
    QCOMPARE(box.title, title);
    QCOMPARE(box.icon, icon);
    QCOMPARE(box.buttons, buttons);
}
