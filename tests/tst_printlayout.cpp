#include "TempSettings.h"
#include "TestMain.h"
#include "dayview/DayViewModel.h"
#include "print/PrintLayout.h"
#include "print/PrintPainter.h"
#include "settings/PrintSettings.h"
#include "settings/SettingsStore.h"

#include <memory>
#include <vector>

namespace {
constexpr double LineHeight = 5;
constexpr double PageWidth = 296.96;
constexpr double CharWidth = 2;
constexpr double Near = 0.006;

PrintMetrics metrics(double pageHeight = 1000)
{
    PrintMetrics m;
    m.lineHeight = LineHeight;
    m.pageWidth = PageWidth;
    m.pageHeight = pageHeight;
    m.textWidth = [](const QString& text) { return CharWidth * text.size(); };
    return m;
}

// Chair columns "Stuhl 1" … and the doctor column, all with the same rows.
struct Day {
    Day(int chairs, int slot = 1, const QString& start = "08:00", const QString& end = "18:00")
    {
        for (int c = 0; c <= chairs; ++c) {
            auto column = std::make_unique<DayViewModel>();
            column->setSlotSize(slot);
            column->setDayEnd(end);
            column->setDayStart(start);
            column->setCaption(c < chairs ? QString("Stuhl %1").arg(c + 1) : QString("Dr.-Zeit"));
            models.push_back(std::move(column));
        }
    }
    QList<const DayViewModel*> columns() const
    {
        QList<const DayViewModel*> result;
        for (const auto& m : models)
            result.append(m.get());
        return result;
    }
    std::vector<std::unique_ptr<DayViewModel>> models;
};

// The texts of the body (below the head's rule) that stand at the left edge: the time of each line.
QList<PrintText> bodyTimes(const PrintPage& page, double left = 0)
{
    QList<PrintText> times;
    const double headEnd = page.rules.isEmpty() ? 0 : page.rules.first().y;
    for (const PrintText& t : page.texts)
        if (t.y > headEnd && qAbs(t.x - left) < Near)
            times.append(t);
    return times;
}

QList<PrintText> allTexts(const PrintLayout& layout)
{
    QList<PrintText> texts;
    for (const PrintPage& page : layout.pages())
        texts += page.texts;
    return texts;
}

const PrintText* findText(const PrintPage& page, const QString& text)
{
    for (const PrintText& t : page.texts)
        if (t.text == text)
            return &t;
    return nullptr;
}
} // namespace

class TestPrintLayout : public QObject {
    Q_OBJECT
private slots:
    void columnPositions_data();
    void columnPositions();
    void offsets_data();
    void offsets();
    void rowsAndRules_data();
    void rowsAndRules();
    void entries_data();
    void entries();
    void firstLine_data();
    void firstLine();
    void offsetThatIsNoNumber_data();
    void offsetThatIsNoNumber();
    void continuationPages_data();
    void continuationPages();
    void settingsComeFromTheFamily_data();
    void settingsComeFromTheFamily();
    void numbers_data();
    void numbers();
    void fontSize_data();
    void fontSize();
};

void TestPrintLayout::columnPositions_data()
{
    QTest::addColumn<int>("chairs");
    QTest::addColumn<QList<double>>("lefts");
    QTest::newRow("3 chairs") << 3 << QList<double>{12, 79.5, 147, 214.5};
    QTest::newRow("10 chairs") << 10 << QList<double>{12,     36.55,  61.09,  85.64,  110.18, 134.73,
                                                      159.27, 183.82, 208.36, 232.91, 257.45};
    QTest::newRow("no chair: only the doctor column") << 0 << QList<double>{12};
}

void TestPrintLayout::columnPositions()
{
    QFETCH(int, chairs);
    QFETCH(QList<double>, lefts);
    const Day day(chairs);
    const PrintLayout layout("Montag", day.columns(), metrics(), "0", "0");
    const PrintPage& page = layout.pages().first();
    for (int c = 0; c <= chairs; ++c) {
        const QString caption = day.models[c]->caption();
        const PrintText* header = findText(page, caption);
        QVERIFY2(header, qPrintable(caption));
        QVERIFY2(qAbs(header->x - lefts[c]) < Near, qPrintable(QString("%1 at %2").arg(caption).arg(header->x)));
        QCOMPARE(header->y, 2 * LineHeight);
        QVERIFY(qAbs(PrintLayout::columnLeft(c, chairs + 1) - lefts[c]) < Near);
    }
}

void TestPrintLayout::offsets_data()
{
    QTest::addColumn<QString>("hor");
    QTest::addColumn<QString>("vert");
    QTest::addColumn<double>("dx");
    QTest::addColumn<double>("dy");
    QTest::newRow("horizontal 5") << "5"
                                  << "0" << 5.0 << 0.0;
    QTest::newRow("vertical 10") << "0"
                                 << "10" << 0.0 << 10.0;
    QTest::newRow("both, German decimal comma") << "2,5"
                                                << "10" << 2.5 << 10.0;
    QTest::newRow("negative, with blanks") << " -3 "
                                           << "-1.5" << -3.0 << -1.5;
}

void TestPrintLayout::offsets()
{
    QFETCH(QString, hor);
    QFETCH(QString, vert);
    QFETCH(double, dx);
    QFETCH(double, dy);
    Day day(3);
    day.models[1]->add("09:20", "09:40", "KONT", Qt::green);
    day.models[3]->add("09:20", "09:25", "10", Qt::green);
    const PrintLayout plain("Montag", day.columns(), metrics(), "0", "0");
    const PrintLayout moved("Montag", day.columns(), metrics(), hor, vert);
    QCOMPARE(moved.pages().size(), 1);

    // Every text moves: the day's name, the captions, the times and the entries.
    const QList<PrintText> before = allTexts(plain);
    const QList<PrintText> after = allTexts(moved);
    QCOMPARE(after.size(), before.size());
    QCOMPARE(before.size(), 1 + 4 + 61 + 2);
    for (int i = 0; i < before.size(); ++i) {
        QCOMPARE(after[i].text, before[i].text);
        QVERIFY2(qAbs(after[i].x - before[i].x - dx) < Near, qPrintable(after[i].text));
        QVERIFY2(qAbs(after[i].y - before[i].y - dy) < Near, qPrintable(after[i].text));
    }
    // Rules move down with the rest but always run from the page's left edge to its width.
    const QList<PrintRule>& rulesBefore = plain.pages().first().rules;
    const QList<PrintRule>& rulesAfter = moved.pages().first().rules;
    QCOMPARE(rulesAfter.size(), rulesBefore.size());
    for (int i = 0; i < rulesBefore.size(); ++i) {
        QVERIFY(qAbs(rulesAfter[i].y - rulesBefore[i].y - dy) < Near);
        QCOMPARE(rulesAfter[i].x1, 0.0);
        QCOMPARE(rulesAfter[i].x2, PageWidth);
    }
}

void TestPrintLayout::rowsAndRules_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QStringList>("ruledAfter");
    QTest::newRow("10-minute rows: after minute 50")
        << 1 << "08:00"
        << "18:00" << 61
        << QStringList{"08:50", "09:50", "10:50", "11:50", "12:50", "13:50", "14:50", "15:50", "16:50", "17:50"};
    QTest::newRow("15-minute rows: after minute 45")
        << 2 << "08:00"
        << "18:00" << 41
        << QStringList{"08:45", "09:45", "10:45", "11:45", "12:45", "13:45", "14:45", "15:45", "16:45", "17:45"};
    QTest::newRow("start off the grid, end on a ruled time") << 2 << "07:30"
                                                             << "08:45" << 6 << QStringList{"07:45", "08:45"};
    QTest::newRow("range of one row") << 1 << "12:40"
                                      << "12:50" << 2 << QStringList{"12:50"};
}

void TestPrintLayout::rowsAndRules()
{
    QFETCH(int, slot);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(int, lines);
    QFETCH(QStringList, ruledAfter);
    const Day day(2, slot, start, end);
    const PrintLayout layout("Montag", day.columns(), metrics(), "0", "0");
    QCOMPARE(layout.pages().size(), 1);
    const PrintPage& page = layout.pages().first();

    // One line per row plus the pass for RowCount, which prints the end of the range.
    const QList<PrintText> times = bodyTimes(page);
    QCOMPARE(times.size(), lines);
    QCOMPARE(times.first().text, start);
    QCOMPARE(times.last().text, end);

    // The head's rule sits below the header line and its empty line; the body starts half a mm lower.
    QCOMPARE(page.rules.first().y, 4 * LineHeight);
    QCOMPARE(times.first().y, 4 * LineHeight + PrintLayout::RuleGap);

    QStringList ruled;
    double expectedY = times.first().y;
    for (const PrintText& t : times) {
        QVERIFY2(qAbs(t.y - expectedY) < Near, qPrintable(t.text));
        expectedY = t.y + LineHeight;
        for (const PrintRule& rule : page.rules)
            if (qAbs(rule.y - expectedY) < Near)
                ruled.append(t.text);
        if (ruled.contains(t.text))
            expectedY += PrintLayout::RuleGap;
    }
    QCOMPARE(ruled, ruledAfter);
    QCOMPARE(page.rules.size(), ruledAfter.size() + 1);
}

void TestPrintLayout::entries_data()
{
    QTest::addColumn<int>("chairs");
    QTest::addColumn<QStringList>("blocks");   // column|start|end|text
    QTest::addColumn<QStringList>("expected"); // line time|column|printed text
    QTest::newRow("10 chairs, day view 2 at 09:20")
        << 10 << QStringList{"2|09:20|09:40|KONT"} << QStringList{"09:20|2|09:20 KONT"};
    QTest::newRow("25 characters cut to 20") << 3 << QStringList{"1|10:00|10:30|Kontrolle festsitzende"}
                                             << QStringList{"10:00|1|10:00 Kontrolle festsitzen"};
    QTest::newRow("exactly 20 characters stay whole")
        << 3 << QStringList{"0|10:00|10:30|Entbänderung oben/un"} << QStringList{"10:00|0|10:00 Entbänderung oben/un"};
    QTest::newRow("two blocks in the same line, chair and doctor column")
        << 3 << QStringList{"0|08:30|09:00|ERST", "3|08:30|08:35|20", "1|08:40|09:00|KONT"}
        << QStringList{"08:30|0|08:30 ERST", "08:30|3|08:30 20", "08:40|1|08:40 KONT"};
    QTest::newRow("start between two row times: not printed")
        << 3 << QStringList{"0|08:05|08:25|LOSE", "1|08:10|08:20|LOSE"} << QStringList{"08:10|1|08:10 LOSE"};
    QTest::newRow("start stored with a blank: no exact match")
        << 3 << QStringList{"0| 08:10|08:20|LOSE"} << QStringList{};
    QTest::newRow("covered rows are not marked")
        << 3 << QStringList{"2|09:00|10:30|BRAC"} << QStringList{"09:00|2|09:00 BRAC"};
    QTest::newRow("empty text") << 3 << QStringList{"2|09:00|09:30|"} << QStringList{"09:00|2|09:00 "};
}

void TestPrintLayout::entries()
{
    QFETCH(int, chairs);
    QFETCH(QStringList, blocks);
    QFETCH(QStringList, expected);
    Day day(chairs);
    for (const QString& b : blocks) {
        const QStringList f = b.split('|');
        day.models[f[0].toInt()]->add(f[1], f[2], f[3], Qt::green);
    }
    const PrintLayout layout("Montag", day.columns(), metrics(), "0", "0");
    const PrintPage& page = layout.pages().first();
    const QList<PrintText> times = bodyTimes(page);

    QStringList printed;
    for (const PrintText& t : page.texts)
        if (t.y > page.rules.first().y && t.x > 1)
            printed.append(t.text);
    QCOMPARE(printed.size(), expected.size());

    for (const QString& e : expected) {
        const QStringList f = e.split('|');
        const PrintText* entry = findText(page, f[2]);
        QVERIFY2(entry, qPrintable(f[2]));
        QVERIFY(qAbs(entry->x - PrintLayout::columnLeft(f[1].toInt(), chairs + 1)) < Near);
        const auto line = std::find_if(times.begin(), times.end(), [&](const PrintText& t) { return t.text == f[0]; });
        QVERIFY(line != times.end());
        QCOMPARE(entry->y, line->y);
    }
}

void TestPrintLayout::firstLine_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("named day") << "Montag Standard";
    QTest::newRow("unnamed day: empty first line") << "";
}

void TestPrintLayout::firstLine()
{
    QFETCH(QString, name);
    const Day day(3);
    const PrintLayout layout(name, day.columns(), metrics(), "0", "0");
    const PrintPage& page = layout.pages().first();
    QList<PrintText> firstLine;
    for (const PrintText& t : page.texts)
        if (t.y < LineHeight)
            firstLine.append(t);
    if (name.isEmpty()) {
        QVERIFY(firstLine.isEmpty());
    } else {
        QCOMPARE(firstLine.size(), 1);
        QCOMPARE(firstLine.first().text, name);
        QCOMPARE(firstLine.first().x, 0.0);
    }
    // Header and table stand where they stand for a named day.
    QCOMPARE(findText(page, "Stuhl 1")->y, 2 * LineHeight);
    QCOMPARE(findText(page, "08:00")->y, 4 * LineHeight + PrintLayout::RuleGap);
    QCOMPARE(bodyTimes(page).size(), 61);
}

void TestPrintLayout::offsetThatIsNoNumber_data()
{
    QTest::addColumn<QString>("hor");
    QTest::addColumn<QString>("vert");
    QTest::newRow("horizontal offset is text") << "abc"
                                               << "10";
    QTest::newRow("horizontal offset is empty") << ""
                                                << "0";
    QTest::newRow("vertical offset is text") << "5"
                                             << "zehn";
}

void TestPrintLayout::offsetThatIsNoNumber()
{
    QFETCH(QString, hor);
    QFETCH(QString, vert);
    Day day(2);
    day.models[0]->add("08:00", "08:30", "ERST", Qt::green);
    day.models[1]->add("08:00", "08:20", "KONT", Qt::green);
    const PrintLayout layout("Montag", day.columns(), metrics(), hor, vert);
    const PrintPage& page = layout.pages().first();
    const auto horizontal = printNumber(hor);

    // Setting the start position fails as a whole, so no vertical offset applies either way.
    const PrintText* name = findText(page, "Montag");
    QVERIFY(name);
    QCOMPARE(name->y, 0.0);
    QCOMPARE(name->x, horizontal.value_or(0));

    const PrintText* chair1 = findText(page, "Stuhl 1");
    const PrintText* chair2 = findText(page, "Stuhl 2");
    const PrintText* doctor = findText(page, "Dr.-Zeit");
    const PrintText* first = findText(page, "08:00 ERST");
    const PrintText* second = findText(page, "08:00 KONT");
    QVERIFY(chair1 && chair2 && doctor && first && second);
    if (horizontal) {
        QCOMPARE(chair2->x, PrintLayout::columnLeft(1, 3) + *horizontal);
        QCOMPARE(second->x, PrintLayout::columnLeft(1, 3) + *horizontal);
    } else {
        // Without a usable position every text follows on where the one before ended.
        QCOMPARE(chair1->x, 0.0);
        QCOMPARE(chair2->x, CharWidth * 7);
        QCOMPARE(doctor->x, CharWidth * 14);
        QCOMPARE(first->x, CharWidth * 5);
        QCOMPARE(second->x, CharWidth * (5 + 10));
    }
    QCOMPARE(first->y, 4 * LineHeight + PrintLayout::RuleGap);
    QCOMPARE(second->y, first->y);
}

void TestPrintLayout::continuationPages_data()
{
    QTest::addColumn<double>("pageHeight");
    QTest::addColumn<QString>("vert");
    QTest::addColumn<int>("pages");
    // Head: 4 lines and the rule's gap (20.5 mm); 61 lines of 5 mm plus 10 rules' gaps.
    QTest::newRow("all on one page") << 330.5 << "0" << 1;
    QTest::newRow("one line too many for one page") << 330.4 << "0" << 2;
    QTest::newRow("A4 landscape with 10 mm down") << 205.0 << "10" << 2;
    QTest::newRow("small pages") << 60.0 << "0" << 9;
}

void TestPrintLayout::continuationPages()
{
    QFETCH(double, pageHeight);
    QFETCH(QString, vert);
    QFETCH(int, pages);
    Day day(3);
    day.models[2]->add("17:00", "17:30", "BOGEN", Qt::green);
    const PrintLayout layout("Montag", day.columns(), metrics(pageHeight), "0", vert);
    QCOMPARE(layout.pages().size(), pages);

    const double top = printNumber(vert).value();
    QStringList times;
    for (const PrintPage& page : layout.pages()) {
        // Every page starts with the day's name, the header line and its rule.
        QCOMPARE(findText(page, "Montag")->y, top);
        for (const char* caption : {"Stuhl 1", "Stuhl 2", "Stuhl 3", "Dr.-Zeit"})
            QCOMPARE(findText(page, caption)->y, top + 2 * LineHeight);
        QCOMPARE(page.rules.first().y, top + 4 * LineHeight);
        const QList<PrintText> body = bodyTimes(page);
        QVERIFY(!body.isEmpty());
        for (const PrintText& t : body) {
            QVERIFY2(t.y + LineHeight <= pageHeight + 1e-9, qPrintable(t.text));
            times.append(t.text);
        }
        for (const PrintText& t : page.texts)
            if (t.text == "17:00 BOGEN")
                QCOMPARE(t.y, std::find_if(body.begin(), body.end(), [](const PrintText& b) {
                                  return b.text == "17:00";
                              })->y);
    }
    // Every line once, in order, none lost between pages.
    QCOMPARE(times.size(), 61);
    for (int i = 0; i < times.size(); ++i)
        QCOMPARE(times[i], day.models[0]->timeOfRow(i));
}

void TestPrintLayout::settingsComeFromTheFamily_data()
{
    QTest::addColumn<QStringList>("kavemo");  // Schriftart, Fontsize, Hor, Vert or empty
    QTest::addColumn<QStringList>("lunaris"); // the same under the program's own name
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty store: defaults") << QStringList{} << QStringList{} << QStringList{"Arial", "10", "0", "0"};
    QTest::newRow("the program's own values where the family holds none")
        << QStringList{} << QStringList{"Courier", "6", "5", "7"} << QStringList{"Courier", "6", "5", "7"};
    QTest::newRow("key by key: the family's font, the program's size and offsets")
        << QStringList{"Times"} << QStringList{"Courier", "6", "5", "7"} << QStringList{"Times", "6", "5", "7"};
    QTest::newRow("family's values used")
        << QStringList{"Times", "12", "5", "10"} << QStringList{"Courier", "6", "1", "2"}
        << QStringList{"Times", "12", "5", "10"};
    QTest::newRow("stored empty texts stay empty")
        << QStringList{"", "", "", ""} << QStringList{} << QStringList{"", "", "", ""};
}

void TestPrintLayout::settingsComeFromTheFamily()
{
    QFETCH(QStringList, kavemo);
    QFETCH(QStringList, lunaris);
    QFETCH(QStringList, expected);
    TempSettings temp;
    const QStringList keys{"Schriftart", "Fontsize", "Hor", "Vert"};
    for (int i = 0; i < kavemo.size(); ++i)
        temp.write("Kavemo", "Printer", keys[i], kavemo[i]);
    for (int i = 0; i < lunaris.size(); ++i)
        temp.write("Lunaris", "Printer", keys[i], lunaris[i]);
    const PrintSettings read = PrintSettings::read(SettingsStore());
    QCOMPARE((QStringList{read.fontName, read.fontSize, read.horOffset, read.vertOffset}), expected);
}

void TestPrintLayout::numbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("value");
    QTest::newRow("whole") << "5" << true << 5.0;
    QTest::newRow("blanks around") << " 5 " << true << 5.0;
    QTest::newRow("German comma") << "2,5" << true << 2.5;
    QTest::newRow("decimal point") << "2.5" << true << 2.5;
    QTest::newRow("negative") << "-3" << true << -3.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("word") << "abc" << false << 0.0;
    QTest::newRow("with unit") << "5mm" << false << 0.0;
    QTest::newRow("nan") << "nan" << false << 0.0;
    QTest::newRow("inf") << "inf" << false << 0.0;
    QTest::newRow("beyond single precision") << "1e40" << false << 0.0;
}

void TestPrintLayout::numbers()
{
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(double, value);
    const auto number = printNumber(text);
    QCOMPARE(number.has_value(), isNumber);
    if (isNumber)
        QCOMPARE(*number, value);
}

void TestPrintLayout::fontSize_data()
{
    QTest::addColumn<QString>("size");
    QTest::addColumn<double>("points");
    QTest::newRow("number") << "10" << 10.0;
    QTest::newRow("German fraction") << "10,5" << 10.5;
    QTest::newRow("not a number keeps the printer's size") << "groß" << 7.0;
    QTest::newRow("empty keeps the printer's size") << "" << 7.0;
    QTest::newRow("zero keeps the printer's size") << "0" << 7.0;
}

void TestPrintLayout::fontSize()
{
    QFETCH(QString, size);
    QFETCH(double, points);
    QFont device("DejaVu Serif");
    device.setPointSizeF(7);
    const QFont font = PrintPainter::printFont(device, "Arial", size);
    QCOMPARE(font.family(), QString("Arial"));
    QCOMPARE(font.pointSizeF(), points);
}

LUNARIS_TEST_MAIN(TestPrintLayout)
#include "tst_printlayout.moc"
