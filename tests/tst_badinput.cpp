// Bad input from the user and from the settings: odd day names through Save As, Open and Delete,
// and settings values that make no sense under both application names.
#include "MainWindowFixture.h"
#include "NameDialogs.h"
#include "TestMain.h"
#include "dayview/DayView.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

namespace {
using Handler = ScriptedModalRunner::Handler;

// A practice with three chairs and two treatments; each test starts the window itself.
struct Practice : MainWindowFixture {
    Practice() : MainWindowFixture(3)
    {
        ctx.tempDatabase.addTreatment("KONT", 20, 0, 10, 0, 0, 18);
        ctx.tempDatabase.addTreatment("BOGEN", 30, 0, 10, 0, 0, 28);
    }
    // Every stored row of both tables, by table and rowid.
    QStringList allRows()
    {
        return ctx.tempDatabase.rows("SELECT 'T', rowid, * FROM Template UNION ALL "
                                     "SELECT 'I', rowid, IDEALTAG, '', '', '', '' FROM Idealtag ORDER BY 1, 2");
    }
};

QListWidgetItem* listed(QDialog& dialog, const QString& name)
{
    auto* list = dialog.findChild<QListWidget*>("DBListIdealtag");
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text() == name)
            return list->item(i);
    return nullptr;
}

QStringList listedNames(QDialog& dialog)
{
    QStringList names;
    auto* list = dialog.findChild<QListWidget*>("DBListIdealtag");
    for (int i = 0; i < list->count(); ++i)
        names.append(list->item(i)->text());
    return names;
}

// Picks the name in the Open dialog's list with the mouse, then clicks OK.
Handler pickFromList(const QString& name)
{
    return [name](QDialog& d) {
        QListWidgetItem* item = listed(d, name);
        QVERIFY2(item, qPrintable("not listed: [" + name + "]"));
        auto* list = d.findChild<QListWidget*>("DBListIdealtag");
        list->scrollToItem(item);
        const QRect rect = list->visualItemRect(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(rect.left() + 5, rect.center().y()));
        QCOMPARE(d.findChild<QLineEdit*>("txtIdealtag")->text(), name);
        QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    };
}

// 200 characters.
const QString TwoHundred = QString("Ein sehr langer Name für einen Idealtag, ").repeated(5).left(199) + "!";
} // namespace

class TestBadInput : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void namesThroughSaveOpenAndDelete_data();
    void namesThroughSaveOpenAndDelete();
    void namesStoredByAnotherProgram_data();
    void namesStoredByAnotherProgram();
    void badSettingsStillGiveAUsableDay_data();
    void badSettingsStillGiveAUsableDay();

private:
    std::unique_ptr<Practice> m_practice;
};

void TestBadInput::cleanup()
{
    if (m_practice)
        m_practice->expectNothingPending();
    m_practice.reset();
}

void TestBadInput::namesThroughSaveOpenAndDelete_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("refusal"); // empty: the name is taken as typed
    QTest::newRow("apostrophes") << "Dr. O'Neil's Montag"
                                 << "";
    QTest::newRow("double quotes") << "Der \"lange\" Dienstag"
                                   << "";
    QTest::newRow("percent and underscore") << "50%_voll"
                                            << "";
    QTest::newRow("backslashes") << "Praxis\\Mittwoch\\"
                                 << "";
    QTest::newRow("query text") << "x'); DELETE FROM Template; --"
                                << "";
    QTest::newRow("200 characters") << TwoHundred << "";
    QTest::newRow("umlauts and ß") << "Größter Übungstag – Fußpflege"
                                   << "";
    QTest::newRow("emoji") << "Zahnputztag 🦷✨"
                           << "";
    QTest::newRow("blank inside") << "Montag früh"
                                  << "";
    QTest::newRow("leading blank") << " Montag"
                                   << "Der Name „ Montag“ darf nicht mit einem Leerzeichen beginnen oder enden.";
    QTest::newRow("trailing blank") << "Montag "
                                    << "Der Name „Montag “ darf nicht mit einem Leerzeichen beginnen oder enden.";
    QTest::newRow("trailing tab") << "Montag\t"
                                  << "Der Name „Montag\t“ darf nicht mit einem Leerzeichen beginnen oder enden.";
    QTest::newRow("blanks only") << "   "
                                 << "Der Name besteht nur aus Leerzeichen. Bitte geben Sie einen Namen ein.";
}

void TestBadInput::namesThroughSaveOpenAndDelete()
{
    QFETCH(QString, name);
    QFETCH(QString, refusal);
    m_practice = std::make_unique<Practice>();
    Practice& p = *m_practice;
    // Days whose names a pattern match or a trimmed comparison would confuse with the row's name.
    for (const QString other : {"500_voll", "50%Xvoll", "Montag", "Dr. O", "x", "Praxis\\Mittwoch"}) {
        p.ctx.tempDatabase.addDayName(other);
        p.ctx.tempDatabase.addBlock(other, "Stuhl 2", "BOGEN", "11:00", "11:30");
    }
    const QStringList before = p.allRows();
    p.start();
    p.action("mnuFileNew")->trigger();
    p.place(0, "08:00", "08:20", "KONT");

    if (!refusal.isEmpty()) {
        // Refused in the Save-As dialog: the message, and the dialog stays open with the name to correct.
        p.ctx.modals.handleNext([&](QDialog& d) {
            p.ctx.messages.answer(QMessageBox::Ok);
            saveAs(name)(d);
            p.expectBox(refusal, "Lunaris", QMessageBox::Warning, QMessageBox::Ok);
            QVERIFY(d.isVisible());
            QCOMPARE(d.findChild<QLineEdit*>("txtName")->text(), name);
            QTest::mouseClick(d.findChild<QPushButton*>("cmdAbbrechen"), Qt::LeftButton);
        });
        p.action("mnuFileSave")->trigger();
        QVERIFY(p.ctx.state.CurrentIdealtag.isEmpty());
        QVERIFY(p.ctx.state.modified());
        // The same in the Open dialog: a day of that name would be a new one.
        p.ctx.messages.answer(QMessageBox::No); // the save question
        p.ctx.modals.handleNext([&](QDialog& d) {
            p.ctx.messages.answer(QMessageBox::Ok);
            openName(name)(d);
            p.expectBox(refusal, "Lunaris", QMessageBox::Warning, QMessageBox::Ok);
            QVERIFY(d.isVisible());
            QTest::mouseClick(d.findChild<QPushButton*>("cmdAbbrechen"), Qt::LeftButton);
        });
        p.action("mnuFileOpen")->trigger();
        QCOMPARE(p.onScreen(0), QStringList{"08:00-08:20 KONT"});
        QCOMPARE(p.allRows(), before);
        return;
    }

    // Save As: stored and registered exactly as typed.
    p.ctx.modals.handleNext(saveAs(name));
    p.action("mnuFileSave")->trigger();
    QVERIFY(p.ctx.messages.shown().isEmpty());
    QCOMPARE(p.ctx.state.CurrentIdealtag, name);
    QCOMPARE(p.window->windowTitle(), "Template für [ " + name + " ]");
    QCOMPARE(p.stored(name), QStringList{"Stuhl 1|KONT|08:00|08:20"});
    QCOMPARE(p.ctx.tempDatabase.rows("SELECT COUNT(*) FROM Idealtag WHERE IDEALTAG = ?", {name}), QStringList{"1"});

    // Listed and opened exactly as typed; a further save goes under the same name.
    p.action("mnuFileNew")->trigger();
    p.ctx.modals.handleNext(pickFromList(name));
    p.action("mnuFileOpen")->trigger();
    QCOMPARE(p.window->windowTitle(), "Template: " + name);
    QCOMPARE(p.onScreen(0), QStringList{"08:00-08:20 KONT"});
    p.place(2, "09:00", "09:30", "BOGEN");
    p.action("mnuFileSave")->trigger();
    QCOMPARE(p.stored(name), QStringList({"Stuhl 1|KONT|08:00|08:20", "Stuhl 3|BOGEN|09:00|09:30"}));

    // Saved under the name once more from Save As: the overwrite question, no second name row.
    p.ctx.messages.answer(QMessageBox::Yes);
    p.ctx.modals.handleNext(saveAs(name));
    p.action("mnuFileSaveAs")->trigger();
    p.expectBox("Idealtag überschreiben?", "Speichern unter..", QMessageBox::Question,
                QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(p.stored(name).size(), 2);
    QCOMPARE(p.ctx.tempDatabase.rows("SELECT COUNT(*) FROM Idealtag WHERE IDEALTAG = ?", {name}), QStringList{"1"});

    // Deleted exactly: the question names it, and no other day is touched.
    p.ctx.modals.handleNext(pickFromList(name));
    p.action("mnuFileOpen")->trigger();
    p.ctx.messages.answer(QMessageBox::Yes);
    p.action("mnuFileDelete")->trigger();
    p.expectBox("Möchten Sie den " + name + " löschen?", "Idealtag löschen", QMessageBox::Question,
                QMessageBox::Yes | QMessageBox::No);
    QVERIFY(p.stored(name).isEmpty());
    QCOMPARE(p.allRows(), before);
}

void TestBadInput::namesStoredByAnotherProgram_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("leading blank") << " Montag";
    QTest::newRow("trailing blank") << "Montag ";
    QTest::newRow("blanks only") << "   ";
}

void TestBadInput::namesStoredByAnotherProgram()
{
    // Names this program refuses for new days, stored by another program: they are opened, saved and
    // deleted as they are, and a row without any name is not offered.
    QFETCH(QString, name);
    m_practice = std::make_unique<Practice>();
    Practice& p = *m_practice;
    p.ctx.tempDatabase.addDayName("Montag");
    p.ctx.tempDatabase.addBlock("Montag", "Stuhl 1", "BOGEN", "11:00", "11:30");
    p.ctx.tempDatabase.exec("INSERT INTO Idealtag (IDEALTAG) VALUES (NULL)");
    p.ctx.tempDatabase.addDayName(name);
    p.ctx.tempDatabase.addBlock(name, "Stuhl 1", "KONT", "08:00", "08:20");
    const QStringList montag = p.stored("Montag");
    p.start();

    p.ctx.modals.handleNext([&](QDialog& d) {
        QCOMPARE(listedNames(d), QStringList({"Montag", name}));
        pickFromList(name)(d);
    });
    p.action("mnuFileOpen")->trigger();
    QVERIFY(p.ctx.messages.shown().isEmpty());
    QCOMPARE(p.ctx.state.CurrentIdealtag, name);
    QCOMPARE(p.onScreen(0), QStringList{"08:00-08:20 KONT"});
    p.place(1, "09:00", "09:20", "KONT");
    p.action("mnuFileSave")->trigger();
    QCOMPARE(p.stored(name), QStringList({"Stuhl 1|KONT|08:00|08:20", "Stuhl 2|KONT|09:00|09:20"}));

    // Typed by hand into Save As, a stored name is an overwrite, not a new look-alike.
    p.ctx.messages.answer(QMessageBox::Yes);
    p.ctx.modals.handleNext(saveAs(name));
    p.action("mnuFileSaveAs")->trigger();
    p.expectBox("Idealtag überschreiben?", "Speichern unter..", QMessageBox::Question,
                QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(p.ctx.state.CurrentIdealtag, name);

    p.ctx.modals.handleNext(openName(name));
    p.action("mnuFileOpen")->trigger();
    p.ctx.messages.answer(QMessageBox::Yes);
    p.action("mnuFileDelete")->trigger();
    QVERIFY(p.stored(name).isEmpty());
    QCOMPARE(p.stored("Montag"), montag);
    QCOMPARE(p.dayNames(), QStringList({"Montag", "NULL"}));
}

void TestBadInput::badSettingsStillGiveAUsableDay_data()
{
    // Each entry: application|section|key|value.
    QTest::addColumn<QStringList>("settings");
    QTest::newRow("Kavemo slot x") << QStringList{"Kavemo|Praxis|Slot|x"};
    QTest::newRow("Kavemo slot 0") << QStringList{"Kavemo|Praxis|Slot|0"};
    QTest::newRow("Kavemo slot 3") << QStringList{"Kavemo|Praxis|Slot|3"};
    QTest::newRow("Kavemo slot -1") << QStringList{"Kavemo|Praxis|Slot|-1"};
    QTest::newRow("Kavemo slot empty") << QStringList{"Kavemo|Praxis|Slot|"};
    QTest::newRow("Kavemo opening 8") << QStringList{"Kavemo|Praxis|OpenZeit|8"};
    QTest::newRow("Kavemo opening 25:00") << QStringList{"Kavemo|Praxis|OpenZeit|25:00"};
    QTest::newRow("Kavemo opening aa:bb") << QStringList{"Kavemo|Praxis|OpenZeit|aa:bb"};
    QTest::newRow("Kavemo opening empty") << QStringList{"Kavemo|Praxis|OpenZeit|"};
    QTest::newRow("Kavemo closing before opening")
        << QStringList{"Kavemo|Praxis|OpenZeit|12:00", "Kavemo|Praxis|ZuZeit|09:00"};
    QTest::newRow("Kavemo font size x") << QStringList{"Kavemo|Printer|Fontsize|x"};
    for (const QString size : {"", "0", "-4"})
        QTest::addRow("Kavemo font size [%s]", qPrintable(size)) << QStringList{"Kavemo|Printer|Fontsize|" + size};
    QTest::newRow("Kavemo offsets abc") << QStringList{"Kavemo|Printer|Hor|abc", "Kavemo|Printer|Vert|abc"};
    QTest::newRow("Kavemo no font name") << QStringList{"Kavemo|Printer|Schriftart|"};
    QTest::newRow("Lunaris practice and printer values")
        << QStringList{"Lunaris|Praxis|Slot|x",          "Lunaris|Praxis|OpenZeit|aa:bb",
                       "Lunaris|Praxis|ZuZeit|07:00",    "Lunaris|Praxis|Arbeitstag2|99999",
                       "Lunaris|Praxis|Arbeitstag3|x",   "Lunaris|Printer|Fontsize|x",
                       "Lunaris|Printer|Hor|abc",        "Lunaris|Printer|Vert|",
                       "Lunaris|Programm|Backup|\\\\?\\"};
    for (const QString value : {"abc", "-99999", "99999999", "", "1e300", "nan"}) {
        QStringList window;
        for (const QString key : {"MainLeft", "MainTop", "MainWidth", "MainHeight"})
            window.append("Lunaris|Settings|" + key + "|" + value);
        QTest::addRow("window values %s", qPrintable(value.isEmpty() ? "empty" : value)) << window;
    }
    QTest::newRow("window far right, far down, tiny")
        << QStringList{"Lunaris|Settings|MainLeft|99999999", "Lunaris|Settings|MainTop|99999999",
                       "Lunaris|Settings|MainWidth|15", "Lunaris|Settings|MainHeight|-99999"};
    QTest::newRow("window far left, huge")
        << QStringList{"Lunaris|Settings|MainLeft|-99999", "Lunaris|Settings|MainTop|-99999",
                       "Lunaris|Settings|MainWidth|99999999", "Lunaris|Settings|MainHeight|99999999"};
}

void TestBadInput::badSettingsStillGiveAUsableDay()
{
    QFETCH(QStringList, settings);
    m_practice = std::make_unique<Practice>();
    Practice& p = *m_practice;
    QMap<QString, QString> lunarisValues;
    for (const QString& entry : settings) {
        const QStringList parts = entry.split('|');
        p.ctx.tempSettings.write(parts[0], parts[1], parts[2], parts[3]);
        if (parts[0] == "Lunaris")
            lunarisValues.insert(parts[1] + "/" + parts[2], parts[3]);
    }
    p.start();

    // On the screen, fully, at a size to work in.
    const QRect screen = p.window->screen()->availableGeometry();
    QVERIFY2(screen.contains(p.window->frameGeometry().topLeft()), qPrintable(QDebug::toString(p.window->geometry())));
    QVERIFY(p.window->width() <= screen.width() && p.window->height() <= screen.height());
    QVERIFY(p.window->width() >= 400 && p.window->height() >= 290);
    QVERIFY(p.window->SSDay1(0)->height() > 0);

    // A usable day: a block placed by a real click at the first row, the doctor column rebuilt.
    p.action("mnuFileNew")->trigger();
    p.choose("KONT");
    const QString first = p.window->SSDay1(0)->timeOfRow(0);
    p.click(0, first);
    QCOMPARE(p.window->SSDay1(0)->count(), 1);
    QCOMPARE(p.window->SSDay1(0)->item(0).startTime, first);
    QVERIFY(p.ctx.state.modified());
    QCOMPARE(p.window->SSDay1(3)->count(), 1); // 10 minutes of doctor time fit one row
    QCOMPARE(p.window->findChild<QLineEdit*>("txtHon")->text(), QString("18"));

    // Printed: every row of the day and the block, whatever the printer values.
    const QString printed = p.printed();
    QVERIFY2(printed.contains(first + " KONT"), qPrintable(printed.left(500)));
    for (int row = 0; row < p.window->SSDay1(0)->rowCount(); ++row)
        QVERIFY2(printed.contains(p.window->SSDay1(0)->timeOfRow(row)), qPrintable(QString::number(row)));
    for (const QString caption : {"Stuhl 1", "Stuhl 3", "Dr.-Zeit"})
        QVERIFY(printed.contains(caption));

    // The settings dialog opens on the stored values as they are. OK stores them unchanged, or, for
    // values of the program's own that it cannot use, refuses them, naming the first.
    const bool refused = lunarisValues.value("Praxis/OpenZeit") == "aa:bb";
    if (refused)
        p.ctx.messages.answer(QMessageBox::Ok);
    p.ctx.modals.handleNext([&](QDialog& d) {
        const QMap<QString, QString> boxes{{"Praxis/Slot", "txtSlot"},      {"Praxis/OpenZeit", "txtOpenZeit"},
                                           {"Praxis/ZuZeit", "txtZuZeit"},  {"Printer/Fontsize", "txtFontsize"},
                                           {"Printer/Hor", "txtHor"},       {"Printer/Vert", "txtVert"},
                                           {"Programm/Backup", "txtBackup"}};
        for (auto it = boxes.begin(); it != boxes.end(); ++it)
            if (lunarisValues.contains(it.key()))
                QCOMPARE(d.findChild<QLineEdit*>(it.value())->text(), lunarisValues.value(it.key()));
        QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        if (d.isVisible())
            d.reject();
    });
    p.action("mnuPref")->trigger();
    if (refused)
        compareBox(p.ctx.messages.last(), "Öffnungszeit: Bitte eine Uhrzeit wie 08:00 eingeben.", "Einstellungen",
                   QMessageBox::Warning);
    QCOMPARE(p.ctx.messages.shown().size(), refused ? 1 : 0);
    for (auto it = lunarisValues.begin(); it != lunarisValues.end(); ++it) {
        const QStringList key = it.key().split('/');
        if (key[0] != "Settings" && !key[1].startsWith("Arbeitstag"))
            QCOMPARE(p.ctx.tempSettings.read("Lunaris", key[0], key[1]), it.value());
    }
    QCOMPARE(p.window->SSDay1(0)->timeOfRow(0), first);

    // Closing stores the position the window really had.
    p.ctx.messages.answer(QMessageBox::No); // the block placed above is not saved
    p.window->close();
    compareBox(p.ctx.messages.last(), "Möchten Sie noch Speichern?", "Lunaris", QMessageBox::Question,
               QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    const int width = p.ctx.tempSettings.read("Lunaris", "Settings", "MainWidth").toInt();
    QCOMPARE(width, p.window->frameGeometry().width() * 15);
    QVERIFY(p.ctx.tempSettings.read("Lunaris", "Settings", "MainLeft").toInt() >= screen.left() * 15);
}

LUNARIS_TEST_MAIN(TestBadInput)
#include "tst_badinput.moc"
