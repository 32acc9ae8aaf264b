#include "MainWindowFixture.h"
#include "TestMain.h"
#include "dayview/DayView.h"
#include "dayview/DayViewPictures.h"
#include "kernel/LunarisState.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>

#include <memory>

namespace {
// A stored day with what painting has to get right: blocks on and off the rows, a text that does not
// fit its block, glyphs below the line and above the capitals, a treatment no longer in the table,
// an overloaded doctor row, rows beyond the visible ones.
struct Practice : MainWindowFixture {
    explicit Practice(bool pictures, bool colours) : MainWindowFixture(3, QSize(1000, 700))
    {
        TempDatabase& db = ctx.tempDatabase;
        db.addTreatment("KONT", 30, 0, 10, 0, 0, 20);
        db.addTreatment("LANG", 90, 0, 20, 30, 20, 100);
        db.addTreatment("NULL", 0, 0, 0, 0, 0, 5);
        db.addTreatment("Ägypj", 20, 0, 20, 0, 0, 7);
        db.addTreatment("KIEFERORTHOPÄDISCHE KONTROLLE MIT ABDRUCK UND FOTOS", 10, 0, 5, 0, 0, 9);
        db.addBlock("Tag", "Stuhl 1", "KONT", "08:00", "08:30");
        db.addBlock("Tag", "Stuhl 1", "Ägypj", "08:30", "08:50");
        db.addBlock("Tag", "Stuhl 1", "LANG", "16:00", "17:30");
        db.addBlock("Tag", "Stuhl 2", "KONT", "08:05", "08:35"); // off the rows
        db.addBlock("Tag", "Stuhl 2", "KIEFERORTHOPÄDISCHE KONTROLLE MIT ABDRUCK UND FOTOS", "09:00", "09:10");
        db.addBlock("Tag", "Stuhl 2", "NULL", "10:00", "10:00");
        db.addBlock("Tag", "Stuhl 2", "LANG", "13:30", "15:00"); // across the column's lower edge
        db.addBlock("Tag", "Stuhl 3", "WEG", "08:10", "08:40");  // no longer a treatment
        db.addBlock("Tag", "Stuhl 3", "LANG", "09:00", "10:30");
        db.addBlock("Anderer Tag", "Stuhl 1", "LANG", "08:00", "09:30");
        db.addBlock("Anderer Tag", "Stuhl 2", "KONT", "08:30", "09:00");
        db.addBlock("Anderer Tag", "Stuhl 3", "Ägypj", "12:00", "12:20");
        if (colours) {
            ctx.tempSettings.write("Lunaris", "Settings", "FarbenJeBehandlung", "1");
            ctx.tempSettings.write("Lunaris", "Farben", "KONT", "#203080");
        }
        start();
        for (int i = 0; i <= 3; ++i)
            window->SSDay1(i)->setPaintPictures(pictures);
        ctx.state.DayOpen = true;
        ctx.state.CurrentIdealtag = "Tag";
        window->switchOn(true);
        window->Termin_load();
        choose("KONT");
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCoreApplication::processEvents();
    }

    // Each column as the window shows it now (its part of the window's back buffer).
    QList<QImage> shownColumns() const
    {
        const QImage shown = window->screen()->grabWindow(window->winId()).toImage();
        QList<QImage> columns;
        for (int i = 0; i <= 3; ++i) {
            const DayView* view = window->SSDay1(i);
            columns.append(shown.copy(QRect(view->mapTo(window.get(), QPoint()), view->size())));
        }
        return columns;
    }

    // Each column painted whole into an image of the given format.
    QList<QImage> renderedColumns(QImage::Format format) const
    {
        QList<QImage> columns;
        for (int i = 0; i <= 3; ++i) {
            DayView* view = window->SSDay1(i);
            QImage image(view->size(), format);
            image.fill(Qt::white);
            view->render(&image);
            columns.append(image);
        }
        return columns;
    }
};

// The areas of a widget's paint events.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QWidget* widget) : m_widget(widget) { widget->installEventFilter(this); }
    ~PaintRecorder() override { m_widget->removeEventFilter(this); }
    const QList<QRect>& painted() const { return m_painted; }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            m_painted.append(static_cast<QPaintEvent*>(event)->rect());
        return false;
    }

private:
    QWidget* m_widget;
    QList<QRect> m_painted;
};

enum class Step {
    Place,
    Remove,
    RemoveAndUndo,
    PlaceUndoRedo,
    ScrollAndPlace,
    RemoveOffTheRows,
    RemoveClipped,
    RemoveAcrossTheEdge,
    RemoveGone,
    OpenOtherDay,
    CursorDown
};

// The column a step edits (it has the keyboard focus before, as after a first click).
int columnOf(Step step)
{
    switch (step) {
    case Step::PlaceUndoRedo:
    case Step::RemoveGone:
        return 2;
    case Step::RemoveOffTheRows:
    case Step::RemoveClipped:
    case Step::RemoveAcrossTheEdge:
        return 1;
    default:
        return 0;
    }
}

void focus(Practice& p, Step step)
{
    p.window->SSDay1(columnOf(step))->setFocus();
    QCoreApplication::processEvents();
}

void take(Practice& p, Step step)
{
    const int column = columnOf(step);
    switch (step) {
    case Step::Place:
        p.click(column, "10:00");
        break;
    case Step::Remove:
        p.click(column, "08:10", Qt::RightButton);
        break;
    case Step::RemoveAndUndo:
        p.click(column, "08:30", Qt::RightButton);
        QCoreApplication::processEvents();
        p.action("mnuEditUndo")->trigger();
        break;
    case Step::PlaceUndoRedo:
        p.click(column, "10:30");
        QCoreApplication::processEvents();
        p.action("mnuEditUndo")->trigger();
        QCoreApplication::processEvents();
        p.action("mnuEditRedo")->trigger();
        break;
    case Step::ScrollAndPlace:
        p.click(column, "17:30"); // scrolls the column to the row first
        break;
    case Step::RemoveOffTheRows:
        p.click(column, "08:10", Qt::RightButton);
        break;
    case Step::RemoveClipped:
        p.click(column, "09:00", Qt::RightButton);
        break;
    case Step::RemoveAcrossTheEdge:
        p.click(column, "13:30", Qt::RightButton);
        break;
    case Step::RemoveGone:
        p.click(column, "08:20", Qt::RightButton);
        break;
    case Step::OpenOtherDay:
        p.ctx.state.CurrentIdealtag = "Anderer Tag";
        p.window->Termin_load();
        break;
    case Step::CursorDown:
        QTest::keyClick(p.window->SSDay1(column), Qt::Key_Down);
        QTest::keyClick(p.window->SSDay1(column), Qt::Key_Down);
        break;
    }
    QCoreApplication::processEvents();
}

// Where two pictures of a column first differ, for the failure message.
QString firstDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return QStringLiteral("sizes differ");
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return QStringLiteral("pixel %1,%2: %3 against %4")
                    .arg(x)
                    .arg(y)
                    .arg(a.pixel(x, y), 8, 16)
                    .arg(b.pixel(x, y), 8, 16);
    return {};
}

void compareColumns(const QList<QImage>& actual, const QList<QImage>& expected, const char* what)
{
    QCOMPARE(actual.size(), expected.size());
    for (int i = 0; i < actual.size(); ++i)
        QVERIFY2(
            actual[i].convertToFormat(QImage::Format_ARGB32) == expected[i].convertToFormat(QImage::Format_ARGB32),
            qPrintable(
                QStringLiteral("%1, column %2: %3").arg(what).arg(i).arg(firstDifference(actual[i], expected[i]))));
}
} // namespace

class TestDayPainting : public QObject {
    Q_OBJECT
private slots:
    void partialFramesMatchAWholePaint_data();
    void partialFramesMatchAWholePaint();
    void noPictureOfNothing_data();
    void noPictureOfNothing();
};

void TestDayPainting::partialFramesMatchAWholePaint_data()
{
    QTest::addColumn<Step>("step");
    QTest::addColumn<bool>("colours");
    QTest::newRow("placement") << Step::Place << false;
    QTest::newRow("placement, colours per treatment") << Step::Place << true;
    QTest::newRow("removal") << Step::Remove << false;
    QTest::newRow("removal taken back") << Step::RemoveAndUndo << false;
    QTest::newRow("placement taken back and made again") << Step::PlaceUndoRedo << false;
    QTest::newRow("placement after scrolling") << Step::ScrollAndPlace << false;
    QTest::newRow("removal of a block off the rows") << Step::RemoveOffTheRows << false;
    QTest::newRow("removal of a text that does not fit") << Step::RemoveClipped << false;
    QTest::newRow("removal of a block across the lower edge") << Step::RemoveAcrossTheEdge << false;
    QTest::newRow("removal of a treatment no longer in the table") << Step::RemoveGone << true;
    QTest::newRow("another day opened") << Step::OpenOtherDay << false;
    QTest::newRow("keyboard cursor moved") << Step::CursorDown << false;
}

// After an edit the window repaints only the changed rows, from pictures kept between frames. What it
// shows must be what a window painting everything anew, without pictures, shows of the same day.
void TestDayPainting::partialFramesMatchAWholePaint()
{
    QFETCH(Step, step);
    QFETCH(bool, colours);

    QList<QImage> shown;
    QList<QImage> rendered;
    QList<QImage> renderedWithAlpha;
    QStringList blocks;
    {
        Practice edited(true, colours);
        focus(edited, step);
        QList<std::shared_ptr<PaintRecorder>> paints;
        for (int i = 0; i <= 3; ++i)
            paints.append(std::make_shared<PaintRecorder>(edited.window->SSDay1(i)));
        take(edited, step);
        // Without scrolling or another day, the frames drew only some rows of the columns.
        int frames = 0;
        for (int i = 0; i <= 3; ++i)
            for (const QRect& painted : paints[i]->painted()) {
                ++frames;
                if (step != Step::ScrollAndPlace && step != Step::OpenOtherDay)
                    QVERIFY2(painted.height() < edited.window->SSDay1(i)->height() / 2,
                             qPrintable(QStringLiteral("column %1 painted %2 rows high")
                                            .arg(i)
                                            .arg(painted.height() / edited.window->SSDay1(i)->rowHeight())));
            }
        QVERIFY(frames > 0);
        shown = edited.shownColumns();
        rendered = edited.renderedColumns(QImage::Format_RGB32);
        renderedWithAlpha = edited.renderedColumns(QImage::Format_ARGB32_Premultiplied);
        for (int i = 0; i <= 3; ++i)
            blocks += edited.onScreen(i);
        QVERIFY(edited.ctx.messages.shown().isEmpty());
    }
    Practice reference(false, colours);
    focus(reference, step);
    take(reference, step);
    QStringList referenceBlocks;
    for (int i = 0; i <= 3; ++i)
        referenceBlocks += reference.onScreen(i);
    QCOMPARE(blocks, referenceBlocks);
    for (int i = 0; i <= 3; ++i)
        reference.window->SSDay1(i)->repaint();

    compareColumns(shown, reference.shownColumns(), "after the edit's frames");
    compareColumns(rendered, reference.renderedColumns(QImage::Format_RGB32), "painted whole");
    compareColumns(renderedWithAlpha, reference.renderedColumns(QImage::Format_ARGB32_Premultiplied),
                   "painted whole with alpha");
}

void TestDayPainting::noPictureOfNothing_data()
{
    QTest::addColumn<QSize>("grid");   // the column's size the grid picture would have
    QTest::addColumn<QRectF>("block"); // a block's area
    QTest::newRow("a column without height") << QSize(120, 0) << QRectF(10, 10, 50, 20);
    QTest::newRow("a column without width") << QSize(0, 300) << QRectF(10, 10, 50, 20);
    QTest::newRow("a block without area") << QSize(120, 300) << QRectF(10, 10, 0, 0);
    QTest::newRow("a block of no number") << QSize(120, 300) << QRectF(10, qQNaN(), 50, 20);
}

// A painter on a null picture paints nothing and warns at every step: such a picture is never begun,
// the column is painted directly instead.
void TestDayPainting::noPictureOfNothing()
{
    QFETCH(QSize, grid);
    QFETCH(QRectF, block);
    QTest::failOnWarning(QRegularExpression("QPainter|Painter not active|null image"));
    QImage frame(200, 400, QImage::Format_RGB32);
    frame.fill(Qt::white);
    QWidget widget;
    QPainter painter(&frame);
    DayViewPictures pictures;
    QVERIFY(pictures.prepare(painter, widget));
    DayViewPictures::GridKey key;
    key.size = grid;
    int gridPaints = 0;
    pictures.drawGrid(painter, QRect(0, 0, 200, 400), key, [&](QPainter& p) {
        QVERIFY(p.isActive());
        p.fillRect(QRect(0, 0, 5, 5), Qt::red);
        ++gridPaints;
    });
    QCOMPARE(gridPaints, 1);
    int blockPaints = 0;
    pictures.drawBlock(painter, block, Qt::green, Qt::black, "KONT", [&](QPainter& p, const QRectF&) {
        QVERIFY(p.isActive());
        ++blockPaints;
    });
    QCOMPARE(blockPaints, 1);
    painter.end();
    // The grid reached the frame, directly or through its picture.
    QCOMPARE(frame.pixelColor(1, 1), QColor(Qt::red));
}

LUNARIS_TEST_MAIN(TestDayPainting)
#include "tst_daypainting.moc"
