#include "TestMain.h"
#include "dayview/ClockTime.h"
#include "dayview/DayView.h"
#include "kernel/LunarisError.h"

#include <QSignalSpy>

namespace {
DayViewModel model(int slot, const QString& start, const QString& end)
{
    DayViewModel m;
    m.setSlotSize(slot);
    m.setDayEnd(end);
    m.setDayStart(start);
    return m;
}

int refusalOf(const std::function<void()>& request)
{
    try {
        request();
        return 0;
    } catch (const LunarisError& e) {
        return e.number();
    }
}
} // namespace

class TestDayView : public QObject {
    Q_OBJECT
private slots:
    void clockTimes_data();
    void clockTimes();
    void rows_data();
    void rows();
    void refusals_data();
    void refusals();
    void blocksComeBackAsAdded();
    void timeAtAndFirstRow();
    void clicksReportButtonAndPoint();
    void fonts();
};

void TestDayView::clockTimes_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "08:00" << 30 << "08:30";
    QTest::newRow("carry into the hour") << "08:40" << 30 << "09:10";
    QTest::newRow("several hours") << "07:50" << 130 << "10:00";
    QTest::newRow("past midnight wraps") << "23:50" << 20 << "00:10";
    QTest::newRow("zero") << "12:00" << 0 << "12:00";
}

void TestDayView::clockTimes()
{
    QFETCH(QString, start);
    QFETCH(int, minutes);
    QFETCH(QString, expected);
    QCOMPARE(ClockTime::addMinutes(start, minutes), expected);
    QVERIFY(ClockTime::isValid(expected));
    for (const QString bad : {"8:00", "", "99:99", "24:00", "08:60", "aa:bb", " 08:00", "08-00"})
        QVERIFY2(!ClockTime::isValid(bad), qPrintable(bad));
}

void TestDayView::rows_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<QString>("time");
    QTest::addColumn<int>("row");
    QTest::newRow("10-minute rows") << 1 << "08:00"
                                    << "18:00" << 60 << "08:25" << 2;
    QTest::newRow("15-minute rows") << 2 << "08:00"
                                    << "18:00" << 40 << "08:45" << 3;
    QTest::newRow("start off the grid") << 1 << "07:30"
                                        << "18:00" << 63 << "07:39" << 0;
    QTest::newRow("last row") << 1 << "08:00"
                              << "18:00" << 60 << "17:59" << 59;
    QTest::newRow("range not a multiple") << 2 << "08:00"
                                          << "08:40" << 2 << "08:29" << 1;
}

void TestDayView::rows()
{
    QFETCH(int, slot);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(int, rowCount);
    QFETCH(QString, time);
    QFETCH(int, row);
    const DayViewModel m = model(slot, start, end);
    QCOMPARE(m.rowCount(), rowCount);
    QCOMPARE(m.rowOfTime(time), row);
    QCOMPARE(m.timeOfRow(0), start);
    QCOMPARE(m.timeOfRow(rowCount), ClockTime::addMinutes(start, rowCount * (5 * slot + 5)));
}

void TestDayView::refusals_data()
{
    QTest::addColumn<int>("which");
    QTest::newRow("time before the start") << 0;
    QTest::newRow("time at the end") << 1;
    QTest::newRow("row below 0") << 2;
    QTest::newRow("row past RowCount") << 3;
    QTest::newRow("block starting at the end") << 4;
    QTest::newRow("block starting before the start") << 5;
    QTest::newRow("block with a broken end") << 6;
    QTest::newRow("remove a missing block") << 7;
    QTest::newRow("item of a missing block") << 8;
    QTest::newRow("not a time") << 9;
}

void TestDayView::refusals()
{
    QFETCH(int, which);
    DayViewModel m = model(1, "08:00", "18:00");
    m.add("09:00", "09:30", "A", Qt::green);
    const QList<std::function<void()>> requests = {
        [&] { m.rowOfTime("07:59"); },
        [&] { m.rowOfTime("18:00"); },
        [&] { m.timeOfRow(-1); },
        [&] { m.timeOfRow(61); },
        [&] { m.add("18:00", "18:10", "B", Qt::green); },
        [&] { m.add("07:50", "08:10", "B", Qt::green); },
        [&] { m.add("10:00", "99:99", "B", Qt::green); },
        [&] { m.remove(1); },
        [&] { m.item(-1); },
        [&] { m.rowOfTime("8:00"); },
    };
    QCOMPARE(refusalOf(requests[which]), 32096);
    QCOMPARE(m.count(), 1);
    QCOMPARE(m.item(0).startTime, QString("09:00"));
}

void TestDayView::blocksComeBackAsAdded()
{
    DayViewModel m = model(1, "08:00", "18:00");
    m.add("17:50", "19:00", "LANG", Qt::green); // may end after the range
    m.add("08:00", "08:00", "NULL", Qt::green); // zero length
    m.add("12:00", "12:30", "KONT", QColor(0, 255, 0));
    QCOMPARE(m.count(), 3);
    QCOMPARE(m.item(0).minutes(), 70);
    QCOMPARE(m.item(1).minutes(), 0);
    QCOMPARE(m.item(2).text, QString("KONT"));
    QCOMPARE(m.item(2).color, QColor(0, 255, 0));
    m.remove(0);
    QCOMPARE(m.item(0).text, QString("NULL"));
    m.clear();
    QCOMPARE(m.count(), 0);
}

void TestDayView::timeAtAndFirstRow()
{
    DayView view(3);
    view.resize(120, 300);
    view.setSlotSize(1);
    view.setDayEnd("18:00");
    view.setDayStart("08:00");
    QSignalSpy spy(&view, &DayView::firstRowChange);

    QCOMPARE(view.timeAt(10, 1), QString()); // header
    QCOMPARE(view.timeAt(10, view.headerHeight() + 1), QString("08:00"));
    QCOMPARE(view.timeAt(10, view.pointOfRow(4).y()), QString("08:40"));

    view.setFirstRow(30);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 3);
    QCOMPARE(spy.at(0).at(1).toInt(), 30);
    QCOMPARE(view.timeAt(10, view.headerHeight() + 1), QString("13:00"));
    view.setFirstRow(30); // unchanged: no event
    QCOMPARE(spy.size(), 1);
    QCOMPARE(refusalOf([&] { view.setFirstRow(60); }), 32096);
    QCOMPARE(view.firstRow(), 30);

    // Below the last row there is no time.
    view.setFirstRow(59);
    QCOMPARE(view.timeAt(10, view.headerHeight() + view.rowHeight() + 1), QString());
}

void TestDayView::fonts()
{
    DayView view(0);
    QCOMPARE(view.captionFont().pointSizeF(), 9.75);
    QVERIFY(view.captionFont().bold());
}

void TestDayView::clicksReportButtonAndPoint()
{
    DayView view(2);
    view.resize(120, 300);
    QSignalSpy spy(&view, &DayView::columnClick);
    QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, QPoint(20, 40));
    QTest::mouseClick(&view, Qt::RightButton, Qt::ShiftModifier, QPoint(21, 41));
    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy.at(0), QVariantList({2, 1, 0, 20, 40}));
    QCOMPARE(spy.at(1), QVariantList({2, 2, 1, 21, 41}));
}

LUNARIS_TEST_MAIN(TestDayView)
#include "tst_dayview.moc"
