#include "MainWindowFixture.h"
#include "TestContext.h"
#include "TestMain.h"
#include "kernel/LunarisError.h"
#include "settings/PracticeSettings.h"
#include "settings/PrintSettings.h"
#include "settings/frmEinstellungenT.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>

namespace {
// The real store, with a record of every write and a failure on demand.
class RecordingSettings : public SettingsStore {
public:
    QString getSetting(const QString& application, const QString& section, const QString& key,
                       const QString& defaultValue) const override
    {
        if (key == failReadKey)
            throw LunarisError(75, QStringLiteral("Lesefehler"));
        return SettingsStore::getSetting(application, section, key, defaultValue);
    }
    void saveSetting(const QString& application, const QString& section, const QString& key,
                     const QString& value) override
    {
        if (key == failWriteKey)
            throw LunarisError(70, QStringLiteral("Zugriff verweigert"));
        SettingsStore::saveSetting(application, section, key, value);
        writes.append(QStringList{application, section, key, value}.join(QLatin1Char('|')));
    }

    QStringList writes;
    QString failReadKey;
    QString failWriteKey;
};

// A dialog on a recording store, shown as the program shows it (through the modal seam), so that
// key presses reach it; the test drives it from inside the scripted runner's handler.
struct DialogFixture {
    TestContext context;
    RecordingSettings store;
    AppServices services{context.tempDatabase.database(), store, context.messages, context.modals};

    template <class Drive> int run(Drive drive)
    {
        frmEinstellungenT dialog(services);
        context.modals.handleNext([&](QDialog& shown) {
            drive(static_cast<frmEinstellungenT&>(shown));
            // A handler that leaves the dialog open ends it here, as the user's Cancel would.
            if (shown.isVisible())
                shown.reject();
        });
        return context.modals.run(dialog);
    }
};

QLineEdit* box(QWidget& dialog, const char* name)
{
    auto* found = dialog.findChild<QLineEdit*>(QLatin1String(name));
    if (!found)
        qFatal("no text box %s", name);
    return found;
}

QCheckBox* day(QWidget& dialog, int number)
{
    return dialog.findChild<QCheckBox*>(QStringLiteral("CheckDay%1").arg(number));
}

QPushButton* button(QWidget& dialog, const char* name)
{
    return dialog.findChild<QPushButton*>(QLatin1String(name));
}

const char* const TextBoxes[] = {"txtName", "txtName2",  "txtAdresse", "txtOrt",  "txtOpenZeit", "txtZuZeit",
                                 "txtSlot", "txtBackup", "txtHor",     "txtVert", "txtSchrift",  "txtFontsize"};
} // namespace

class TestSettingsDialog : public QObject {
    Q_OBJECT
private slots:
    void emptyStoreShowsDefaults();
    void storedValuesShownAsStored_data();
    void storedValuesShownAsStored();
    void failingReadLeavesOnlyThatBoxEmpty();
    void okWithEmptyNameDoesNothing();
    void okRefusesWhatCannotBeUsed_data();
    void okRefusesWhatCannotBeUsed();
    void okChangesNothingInEffect_data();
    void okChangesNothingInEffect();
    void okWritesNineteenValuesAsTyped();
    void okStoresWorkingDays_data();
    void okStoresWorkingDays();
    void closingWithoutOkWritesNothing_data();
    void closingWithoutOkWritesNothing();
    void failedWriteIsReportedAndDialogStays();
    void failedWriteOfRealStoreIsReported();
    void enterAlwaysCancels_data();
    void enterAlwaysCancels();
    void plannerValuesAreNamed_data();
    void plannerValuesAreNamed();
    void tabsSwitchFrames();
    void tabOrder();
    void controlsStandWhereDesigned();
    void labelsAndBoxesAreNotCutOff();
    void folderChooser_data();
    void folderChooser();
    void fontChooser();
    void fontChooserCancelledChangesNothing();
    void fontSizeTypingIsLimitedToTwoCharacters();
};

void TestSettingsDialog::emptyStoreShowsDefaults()
{
    DialogFixture f;
    f.run([&](frmEinstellungenT& d) {
        QCOMPARE(d.windowTitle(), QString("Einstellungen"));
        const QStringList expected{
            "Name", "Facharztbezeichnung", "Adresse", "PLZ Ort", "08:00", "18:00", "1", "c:\\", "0", "0", "Arial",
            "10"};
        QStringList shown;
        for (const char* name : TextBoxes)
            shown << box(d, name)->text();
        QCOMPARE(shown, expected);
        for (int n = 1; n <= 7; ++n)
            QVERIFY2(day(d, n)->isChecked(), qPrintable(QString::number(n)));
        QCOMPARE(d.findChild<QTabBar*>("TabStrip1")->currentIndex(), 0);
        QVERIFY(d.findChild<QFrame*>("Frame10")->isVisible());
        QVERIFY(!d.findChild<QFrame*>("Frame11")->isVisible());
        QCOMPARE(d.focusWidget(), box(d, "txtName"));
    });
    QVERIFY(f.store.writes.isEmpty());
}

void TestSettingsDialog::storedValuesShownAsStored_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("boxName");
    QTest::addColumn<QString>("shown");
    QTest::newRow("name") << "Praxis"
                          << "Name"
                          << "Dr. Müller-Weiß"
                          << "txtName"
                          << "Dr. Müller-Weiß";
    QTest::newRow("empty text stays empty") << "Praxis"
                                            << "Name2"
                                            << ""
                                            << "txtName2"
                                            << "";
    QTest::newRow("time as typed") << "Praxis"
                                   << "OpenZeit"
                                   << "8"
                                   << "txtOpenZeit"
                                   << "8";
    QTest::newRow("slot out of range") << "Praxis"
                                       << "Slot"
                                       << "3"
                                       << "txtSlot"
                                       << "3";
    QTest::newRow("backup folder") << "Programm"
                                   << "Backup"
                                   << "/srv/sicherung"
                                   << "txtBackup"
                                   << "/srv/sicherung";
    QTest::newRow("font size longer than typing allows") << "Printer"
                                                         << "Fontsize"
                                                         << "100"
                                                         << "txtFontsize"
                                                         << "100";
}

void TestSettingsDialog::storedValuesShownAsStored()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QFETCH(QString, boxName);
    QFETCH(QString, shown);
    DialogFixture f;
    f.context.tempSettings.write("Lunaris", section, key, stored);
    // The family's values are not the dialog's.
    f.context.tempSettings.write("Kavemo", section, key, "Familie");
    f.run([&](frmEinstellungenT& d) { QCOMPARE(box(d, qPrintable(boxName))->text(), shown); });
}

void TestSettingsDialog::failingReadLeavesOnlyThatBoxEmpty()
{
    DialogFixture f;
    f.context.tempSettings.write("Lunaris", "Praxis", "Arbeitstag3", "0");
    f.context.tempSettings.write("Lunaris", "Praxis", "Arbeitstag4", "ja"); // not a number: cannot be shown
    f.context.tempSettings.write("Lunaris", "Praxis", "Arbeitstag5", "2");
    f.store.failReadKey = "Adresse";
    f.run([&](frmEinstellungenT& d) {
        QCOMPARE(box(d, "txtAdresse")->text(), QString());
        QCOMPARE(box(d, "txtName")->text(), QString("Name"));
        QCOMPARE(box(d, "txtOrt")->text(), QString("PLZ Ort"));
        QCOMPARE(box(d, "txtFontsize")->text(), QString("10"));
        QVERIFY(day(d, 2)->isChecked());
        QVERIFY(!day(d, 3)->isChecked());
        QVERIFY(!day(d, 4)->isChecked());
        QVERIFY(!day(d, 5)->isChecked());
        QVERIFY(day(d, 6)->isChecked());
    });
    QVERIFY(f.context.messages.shown().isEmpty());
}

void TestSettingsDialog::okChangesNothingInEffect_data()
{
    QTest::addColumn<QStringList>("stored"); // "application/section/key=value"
    QTest::newRow("empty store: 10 pt, not 6") << QStringList{};
    QTest::newRow("planner's values") << QStringList{"Kavemo/Printer/Fontsize=12", "Kavemo/Praxis/OpenZeit=07:30",
                                                     "Kavemo/Praxis/Slot=2", "Kavemo/Printer/Hor=4"};
    QTest::newRow("own values") << QStringList{"Lunaris/Printer/Fontsize=9", "Lunaris/Praxis/ZuZeit=17:00"};
    QTest::newRow("an unusable slot of the planner's is not made the program's own")
        << QStringList{"Kavemo/Praxis/Slot=7"};
}

void TestSettingsDialog::okChangesNothingInEffect()
{
    QFETCH(QStringList, stored);
    DialogFixture f;
    for (const QString& entry : stored)
        f.context.tempSettings.write(entry.section('/', 0, 0), entry.section('/', 1, 1),
                                     entry.section('/', 2).section('=', 0, 0), entry.section('=', 1));
    auto inEffect = [&] {
        const PrintSettings print = PrintSettings::read(f.store);
        const PracticeSettings practice = PracticeSettings::read(f.store);
        return QStringList{print.fontName,
                           print.fontSize,
                           print.horOffset,
                           print.vertOffset,
                           practice.openTime,
                           practice.closeTime,
                           QString::number(practice.slotSetting)};
    };
    const QStringList before = inEffect();
    // Only the doctor's name is entered.
    f.run([&](frmEinstellungenT& d) {
        box(d, "txtName")->setText("Dr. Zahn");
        QTest::mouseClick(button(d, "cmdOK"), Qt::LeftButton);
    });
    QCOMPARE(f.store.writes.size(), 19);
    QCOMPARE(inEffect(), before);
}

void TestSettingsDialog::okRefusesWhatCannotBeUsed_data()
{
    QTest::addColumn<QString>("boxName");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("a dot in the opening time") << "txtOpenZeit"
                                               << "08.00"
                                               << "Öffnungszeit: Bitte eine Uhrzeit wie 08:00 eingeben.";
    QTest::newRow("closing time 18.00") << "txtZuZeit"
                                        << "18.00"
                                        << "Schlußzeit: Bitte eine Uhrzeit wie 18:00 eingeben.";
    QTest::newRow("closing before opening") << "txtZuZeit"
                                            << "07:00"
                                            << "Schlußzeit: Sie muss nach der Öffnungszeit liegen.";
    QTest::newRow("slot 3") << "txtSlot"
                            << "3"
                            << "Slot: Bitte 1 (10 Minuten) oder 2 (15 Minuten) eingeben.";
    QTest::newRow("no offset") << "txtHor"
                               << "links"
                               << "Position Horizontal: Bitte eine Zahl (Millimeter) eingeben.";
    QTest::newRow("font size 0") << "txtFontsize"
                                 << "0"
                                 << "Schriftgröße: Bitte eine Zahl größer als 0 eingeben.";
}

void TestSettingsDialog::okRefusesWhatCannotBeUsed()
{
    QFETCH(QString, boxName);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    DialogFixture f;
    f.run([&](frmEinstellungenT& d) {
        box(d, qPrintable(boxName))->setText(typed);
        f.context.messages.answer(QMessageBox::Ok);
        QTest::mouseClick(button(d, "cmdOK"), Qt::LeftButton);
        compareBox(f.context.messages.last(), message, "Einstellungen", QMessageBox::Warning);
        // The dialog stays, on the field's page, with the field to correct.
        QVERIFY(d.isVisible());
        QVERIFY(box(d, qPrintable(boxName))->isVisible());
        QCOMPARE(d.focusWidget(), box(d, qPrintable(boxName)));
    });
    QVERIFY(f.store.writes.isEmpty());
}

void TestSettingsDialog::okWithEmptyNameDoesNothing()
{
    DialogFixture f;
    f.run([&](frmEinstellungenT& d) {
        box(d, "txtName")->clear();
        box(d, "txtOrt")->setText("12345 Musterstadt");
        QTest::mouseClick(button(d, "cmdOK"), Qt::LeftButton);
        QVERIFY(d.isVisible());
    });
    QVERIFY(f.store.writes.isEmpty());
    QVERIFY(f.context.messages.shown().isEmpty());
    QVERIFY(!QFileInfo::exists(f.context.tempSettings.folder() + "/Kavemo/Lunaris.conf"));
}

void TestSettingsDialog::okWritesNineteenValuesAsTyped()
{
    DialogFixture f;
    const int result = f.run([&](frmEinstellungenT& d) {
        const QStringList typed{"Dr. A. Zahn",
                                "Kieferorthopädin",
                                "Hauptstr. 1, Hof",
                                "12345 Musterstadt",
                                "07:45",
                                "17:30",
                                "2",
                                "/srv/sicherung",
                                "-2,5",
                                "4",
                                "Times",
                                "12"};
        for (int i = 0; i < typed.size(); ++i) {
            QLineEdit* field = box(d, TextBoxes[i]);
            field->clear();
            QTest::keyClicks(field, typed[i].left(3)); // typed in part, set in full: both as the user does
            field->setText(typed[i]);
        }
        QTest::mouseClick(button(d, "cmdOK"), Qt::LeftButton);
        QVERIFY(!d.isVisible());
    });
    QCOMPARE(result, int(QDialog::Accepted));
    const QStringList expected{"Lunaris|Praxis|Name|Dr. A. Zahn",
                               "Lunaris|Praxis|Name2|Kieferorthopädin",
                               "Lunaris|Praxis|Adresse|Hauptstr. 1, Hof",
                               "Lunaris|Praxis|Ort|12345 Musterstadt",
                               "Lunaris|Praxis|OpenZeit|07:45",
                               "Lunaris|Praxis|ZuZeit|17:30",
                               "Lunaris|Praxis|Arbeitstag1|1",
                               "Lunaris|Praxis|Arbeitstag2|1",
                               "Lunaris|Praxis|Arbeitstag3|1",
                               "Lunaris|Praxis|Arbeitstag4|1",
                               "Lunaris|Praxis|Arbeitstag5|1",
                               "Lunaris|Praxis|Arbeitstag6|1",
                               "Lunaris|Praxis|Arbeitstag7|1",
                               "Lunaris|Praxis|Slot|2",
                               "Lunaris|Programm|Backup|/srv/sicherung",
                               "Lunaris|Printer|Hor|-2,5",
                               "Lunaris|Printer|Vert|4",
                               "Lunaris|Printer|Schriftart|Times",
                               "Lunaris|Printer|Fontsize|12"};
    QCOMPARE(f.store.writes, expected);
    QVERIFY(f.context.messages.shown().isEmpty());

    // The main window and the print-out read the family's values, which stay untouched.
    for (const auto& [section, key] : {std::pair{"Praxis", "Slot"},
                                       {"Praxis", "OpenZeit"},
                                       {"Praxis", "ZuZeit"},
                                       {"Printer", "Schriftart"},
                                       {"Printer", "Fontsize"},
                                       {"Printer", "Hor"},
                                       {"Printer", "Vert"}})
        QVERIFY2(f.context.tempSettings.read("Kavemo", section, key).isNull(), key);
    QCOMPARE(f.context.settings.getSetting("Kavemo", "Praxis", "Slot", "1"), QString("1"));

    // The next opening shows what was stored.
    f.run([&](frmEinstellungenT& d) {
        QCOMPARE(box(d, "txtOpenZeit")->text(), QString("07:45"));
        QCOMPARE(box(d, "txtSlot")->text(), QString("2"));
        QCOMPARE(box(d, "txtAdresse")->text(), QString("Hauptstr. 1, Hof"));
        QCOMPARE(box(d, "txtHor")->text(), QString("-2,5"));
    });
}

void TestSettingsDialog::okStoresWorkingDays_data()
{
    QTest::addColumn<QList<int>>("untick");
    QTest::addColumn<QString>("stored"); // days 1 (Sunday) to 7 (Saturday)
    QTest::newRow("all ticked") << QList<int>{} << "1111111";
    QTest::newRow("Saturday and Sunday free") << QList<int>{7, 1} << "0111110";
    QTest::newRow("only Wednesday") << QList<int>{1, 2, 3, 5, 6, 7} << "0001000";
}

void TestSettingsDialog::okStoresWorkingDays()
{
    QFETCH(QList<int>, untick);
    QFETCH(QString, stored);
    DialogFixture f;
    f.run([&](frmEinstellungenT& d) {
        for (int n : untick)
            QTest::mouseClick(day(d, n), Qt::LeftButton, {}, QPoint(8, day(d, n)->height() / 2));
        QTest::mouseClick(button(d, "cmdOK"), Qt::LeftButton);
    });
    QString written;
    for (int n = 1; n <= 7; ++n)
        written += f.context.tempSettings.read("Lunaris", "Praxis", QStringLiteral("Arbeitstag%1").arg(n));
    QCOMPARE(written, stored);
    f.run([&](frmEinstellungenT& d) {
        for (int n = 1; n <= 7; ++n)
            QCOMPARE(day(d, n)->isChecked(), stored[n - 1] == '1');
    });
}

void TestSettingsDialog::closingWithoutOkWritesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Enter in the name field") << "enter-name";
    QTest::newRow("Enter in the font size field") << "enter-fontsize";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("Abbrechen") << "abbrechen";
    QTest::newRow("close button of the window") << "close";
}

void TestSettingsDialog::closingWithoutOkWritesNothing()
{
    QFETCH(QString, how);
    DialogFixture f;
    const int result = f.run([&](frmEinstellungenT& d) {
        QLineEdit* name = box(d, "txtName");
        name->setFocus();
        QTest::keyClicks(name, " Zahn");
        if (how == "enter-name") {
            QTest::keyClick(name, Qt::Key_Return);
        } else if (how == "enter-fontsize") {
            d.findChild<QTabBar*>("TabStrip1")->setCurrentIndex(1);
            QLineEdit* size = box(d, "txtFontsize");
            size->setFocus();
            QTest::keyClick(size, Qt::Key_Enter);
        } else if (how == "escape") {
            QTest::keyClick(name, Qt::Key_Escape);
        } else if (how == "abbrechen") {
            QTest::mouseClick(button(d, "cmdAbbrechen"), Qt::LeftButton);
        } else {
            d.close();
        }
        QVERIFY(!d.isVisible());
    });
    QCOMPARE(result, int(QDialog::Rejected));
    QVERIFY(f.store.writes.isEmpty());
}

void TestSettingsDialog::failedWriteIsReportedAndDialogStays()
{
    DialogFixture f;
    f.store.failWriteKey = "Slot";
    f.context.messages.answer(QMessageBox::Ok);
    f.run([&](frmEinstellungenT& d) {
        QTest::mouseClick(button(d, "cmdOK"), Qt::LeftButton);
        QVERIFY(d.isVisible());
    });
    QCOMPARE(f.context.messages.shown().size(), 1);
    const MessageRequest box = f.context.messages.last();
    QCOMPARE(box.text, QString("Fehler: 70 Zugriff verweigert"));
    QCOMPARE(box.title, QString("Lunaris"));
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    // The values before the failed one are written, the ones after it are not.
    QCOMPARE(f.store.writes.size(), 13);
    QCOMPARE(f.store.writes.last(), QString("Lunaris|Praxis|Arbeitstag7|1"));
    QVERIFY(f.context.tempSettings.read("Lunaris", "Printer", "Fontsize").isNull());
}

void TestSettingsDialog::failedWriteOfRealStoreIsReported()
{
#ifdef Q_OS_WIN
    QSKIP("the registry holds the settings on Windows: no folder in the way can make a write fail");
#endif
    TestContext context;
    // A folder where the settings file should be makes every write fail.
    QVERIFY(QDir(context.tempSettings.folder()).mkpath("Kavemo/Lunaris.conf"));
    frmEinstellungenT dialog(context.services);
    context.messages.answer(QMessageBox::Ok);
    context.modals.handleNext([&](QDialog& d) {
        QTest::mouseClick(button(d, "cmdOK"), Qt::LeftButton);
        QVERIFY(d.isVisible());
        d.reject();
    });
    context.modals.run(dialog);
    QCOMPARE(context.messages.shown().size(), 1);
    QVERIFY2(context.messages.last().text.startsWith("Fehler: 75 Die Einstellung „Name“ konnte nicht"),
             qPrintable(context.messages.last().text));
}

void TestSettingsDialog::enterAlwaysCancels_data()
{
    QTest::addColumn<QString>("focus"); // where the focus is when Enter is pressed
    QTest::newRow("after a click on the tab Programm") << "tab";
    QTest::newRow("on OK") << "cmdOK";
    QTest::newRow("on the folder button") << "cmdPfad";
    QTest::newRow("on Ändern") << "cmdSchrift";
    QTest::newRow("on a check box") << "CheckDay2";
}

void TestSettingsDialog::enterAlwaysCancels()
{
    QFETCH(QString, focus);
    DialogFixture f;
    const int result = f.run([&](frmEinstellungenT& d) {
        QVERIFY(QTest::qWaitForWindowActive(&d));
        auto* tabs = d.findChild<QTabBar*>("TabStrip1");
        if (focus == "tab" || focus.startsWith("cmdPfad") || focus.startsWith("cmdSchrift"))
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        if (focus != "tab") {
            // Reached with Tab, as a user does.
            for (int i = 0; i < 30 && d.focusWidget()->objectName() != focus; ++i)
                QTest::keyClick(d.focusWidget(), Qt::Key_Tab);
            QCOMPARE(d.focusWidget()->objectName(), focus);
        }
        QTest::keyClick(d.focusWidget(), Qt::Key_Return);
        QVERIFY(!d.isVisible());
    });
    QCOMPARE(result, int(QDialog::Rejected));
    QVERIFY(f.store.writes.isEmpty());
}

void TestSettingsDialog::plannerValuesAreNamed_data()
{
    QTest::addColumn<QStringList>("kavemo"); // "section/key=value"
    QTest::addColumn<QString>("praxis");     // the line on the page "Praxis"; empty: none shown
    QTest::addColumn<QString>("programm");
    const QString prefix = "Vom Terminplaner vorgegeben: ";
    QTest::newRow("nothing from the planner") << QStringList{} << ""
                                              << "";
    QTest::newRow("hours and slot") << QStringList{"Praxis/OpenZeit=07:30", "Praxis/ZuZeit=19:00", "Praxis/Slot=2"}
                                    << prefix + "07:30–19:00, Slot 2"
                                    << "";
    QTest::newRow("only the closing time") << QStringList{"Praxis/ZuZeit=19:00"} << prefix + "Schlußzeit 19:00"
                                           << "";
    QTest::newRow("printer values") << QStringList{"Printer/Schriftart=Times", "Printer/Fontsize=12", "Printer/Hor=5",
                                                   "Printer/Vert=3"}
                                    << "" << prefix + "Times 12, Position 5/3";
    QTest::newRow("one printer value, as stored")
        << QStringList{"Printer/Vert=<b>3</b>"} << "" << prefix + "Position vertikal <b>3</b>";
}

void TestSettingsDialog::plannerValuesAreNamed()
{
    QFETCH(QStringList, kavemo);
    QFETCH(QString, praxis);
    QFETCH(QString, programm);
    DialogFixture f;
    for (const QString& entry : kavemo)
        f.context.tempSettings.write("Kavemo", entry.section('/', 0, 0), entry.section('/', 1).section('=', 0, 0),
                                     entry.section('=', 1));
    f.run([&](frmEinstellungenT& d) {
        const QString expected[2] = {praxis, programm};
        for (int page = 0; page < 2; ++page) {
            auto* label = d.findChild<QLabel*>(QStringLiteral("lblVorgabe%1").arg(page));
            QCOMPARE(label->isVisibleTo(label->parentWidget()), !expected[page].isEmpty());
            QCOMPARE(label->text(), expected[page]);
            QCOMPARE(label->textFormat(), Qt::PlainText);
        }
        // Without values of the program's own, the fields show the ones in effect, the planner's.
        QCOMPARE(box(d, "txtOpenZeit")->text(), kavemo.contains("Praxis/OpenZeit=07:30") ? "07:30" : "08:00");
        QTest::mouseClick(button(d, "cmdOK"), Qt::LeftButton);
    });
    // OK writes the program's own values only.
    for (const QString& write : std::as_const(f.store.writes))
        QVERIFY2(write.startsWith("Lunaris|"), qPrintable(write));
    QCOMPARE(f.store.writes.size(), 19);
}

void TestSettingsDialog::tabsSwitchFrames()
{
    DialogFixture f;
    f.run([&](frmEinstellungenT& d) {
        auto* tabs = d.findChild<QTabBar*>("TabStrip1");
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QString("Praxis"));
        QCOMPARE(tabs->tabText(1), QString("Programm"));
        auto* praxis = d.findChild<QFrame*>("Frame10");
        auto* programm = d.findChild<QFrame*>("Frame11");
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QVERIFY(!praxis->isVisible());
        QVERIFY(programm->isVisible());
        QVERIFY(box(d, "txtBackup")->isVisible());
        QVERIFY(!box(d, "txtName")->isVisible());
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
        QVERIFY(praxis->isVisible());
        QVERIFY(!programm->isVisible());
    });
}

void TestSettingsDialog::tabOrder()
{
    DialogFixture f;
    frmEinstellungenT dialog(f.services);
    const QStringList expected{"txtName",    "txtName2",    "txtAdresse", "txtOrt",    "txtOpenZeit",  "txtZuZeit",
                               "CheckDay2",  "CheckDay3",   "CheckDay4",  "CheckDay5", "CheckDay6",    "CheckDay7",
                               "CheckDay1",  "txtSlot",     "txtBackup",  "cmdPfad",   "txtHor",       "txtVert",
                               "txtSchrift", "txtFontsize", "cmdSchrift", "cmdOK",     "cmdAbbrechen", "TabStrip1"};
    QStringList chain;
    QWidget* w = dialog.findChild<QWidget*>("txtName");
    do {
        if (expected.contains(w->objectName()))
            chain << w->objectName();
        w = w->nextInFocusChain();
    } while (w->objectName() != "txtName");
    QCOMPARE(chain, expected);
}

void TestSettingsDialog::controlsStandWhereDesigned()
{
    DialogFixture f;
    frmEinstellungenT dialog(f.services);
    // 15 twips are one pixel: the client area is 6120 x 6315 twips.
    QCOMPARE(dialog.size(), QSize(408, 421));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QCOMPARE(dialog.findChild<QFrame*>("Frame10")->geometry(), QRect(32, 40, 345, 289));
    QCOMPARE(dialog.findChild<QFrame*>("Frame11")->geometry(), QRect(32, 40, 345, 289));
    QCOMPARE(button(dialog, "cmdOK")->geometry(), QRect(24, 368, 89, 25));
    QCOMPARE(button(dialog, "cmdAbbrechen")->geometry(), QRect(296, 368, 89, 25));
    QCOMPARE(box(dialog, "txtName")->geometry().topLeft(), QPoint(112, 24));
    QCOMPARE(box(dialog, "txtZuZeit")->geometry(), QRect(272, 136, 57, 24));
    QCOMPARE(box(dialog, "txtFontsize")->geometry(), QRect(304, 248, 25, 24));
    QCOMPARE(button(dialog, "cmdPfad")->geometry(), QRect(304, 64, 25, 25));
    QCOMPARE(dialog.findChild<QLabel*>("lblBackup")->geometry(), QRect(16, 56, 121, 41));
    QCOMPARE(day(dialog, 1)->pos(), QPoint(208, 200)); // Sunday below Wednesday
    QCOMPARE(day(dialog, 7)->pos(), QPoint(160, 200));
    QCOMPARE(box(dialog, "txtSlot")->toolTip(), QString("1=10 min, 2=15 min"));
    QCOMPARE(dialog.findChild<QLabel*>("lblSlot")->toolTip(), QString("Zeitinterval für Terminübersicht"));
    QVERIFY(button(dialog, "cmdAbbrechen")->isDefault());
    QVERIFY(!button(dialog, "cmdOK")->isDefault());
    QCOMPARE(button(dialog, "cmdPfad")->text(), QString("..."));
    QCOMPARE(button(dialog, "cmdSchrift")->text(), QString("Ändern"));
    const QStringList days{"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
    for (int n = 1; n <= 7; ++n)
        QCOMPARE(day(dialog, n)->text(), days[n - 1]);
}

void TestSettingsDialog::labelsAndBoxesAreNotCutOff()
{
    DialogFixture f;
    frmEinstellungenT dialog(f.services);
    for (const char* frameName : {"Frame10", "Frame11"}) {
        auto* frame = dialog.findChild<QFrame*>(frameName);
        QList<QWidget*> controls;
        for (QWidget* child : frame->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            // The working days' group spans the page without a frame: its boxes stand on the page.
            if (child->objectName() == "fraArbeitstage") {
                QCOMPARE(child->geometry(), frame->rect());
                controls += child->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
            } else {
                controls.append(child);
            }
        }
        for (QWidget* control : controls) {
            const QByteArray name = control->objectName().toUtf8();
            QVERIFY2(frame->rect().contains(control->geometry()), name);
            if (auto* label = qobject_cast<QLabel*>(control)) {
                if (label->wordWrap())
                    QVERIFY2(label->heightForWidth(label->width()) <= label->height(), name);
                else
                    QVERIFY2(label->sizeHint().width() <= label->width(), name);
            } else if (qobject_cast<QCheckBox*>(control)) {
                QVERIFY2(control->sizeHint().width() <= control->width(), name);
            }
            // Labels stand beside their boxes: nothing overlaps anything else. The backup label is
            // designed to reach under its box; its text has to wrap before the box begins.
            for (QWidget* other : controls) {
                if (other == control)
                    continue;
                if (control->objectName() == "lblBackup" && other->objectName() == "txtBackup") {
                    auto* label = static_cast<QLabel*>(control);
                    const int uncovered = other->x() - label->x();
                    QVERIFY(label->heightForWidth(uncovered) <= label->height());
                    for (const QString& word : label->text().split(' '))
                        QVERIFY2(label->fontMetrics().horizontalAdvance(word) < uncovered, qPrintable(word));
                    continue;
                }
                if (control->objectName() == "txtBackup" && other->objectName() == "lblBackup")
                    continue;
                QVERIFY2(!control->geometry().intersects(other->geometry()),
                         qPrintable(control->objectName() + " / " + other->objectName()));
            }
        }
    }
}

void TestSettingsDialog::folderChooser_data()
{
    QTest::addColumn<bool>("choose");
    QTest::newRow("folder chosen") << true;
    QTest::newRow("cancelled") << false;
}

void TestSettingsDialog::folderChooser()
{
    QFETCH(bool, choose);
    DialogFixture f;
    QTemporaryDir folder;
    f.run([&](frmEinstellungenT& d) {
        d.findChild<QTabBar*>("TabStrip1")->setCurrentIndex(1);
        f.context.modals.handleNext([&](QDialog& shown) {
            auto* chooser = qobject_cast<QFileDialog*>(&shown);
            QVERIFY(chooser);
            QCOMPARE(chooser->fileMode(), QFileDialog::Directory);
            QVERIFY(chooser->testOption(QFileDialog::ShowDirsOnly));
            QCOMPARE(chooser->parentWidget(), &d);
            chooser->setDirectory(folder.path());
            // QFileDialog's own accept() checks the folder as the dialog's OK button does.
            if (choose)
                shown.accept();
            else
                shown.reject();
        });
        QTest::mouseClick(button(d, "cmdPfad"), Qt::LeftButton);
        QCOMPARE(box(d, "txtBackup")->text(), choose ? QDir::toNativeSeparators(folder.path()) : QString("c:\\"));
        QVERIFY(d.isVisible());
    });
    QCOMPARE(f.context.modals.shownDialogs(), QStringList({"frmEinstellungenT", "dlgPfad"}));
    QVERIFY(f.store.writes.isEmpty());
}

void TestSettingsDialog::fontChooser()
{
    DialogFixture f;
    const QString family = QFontDatabase::families().value(0);
    QVERIFY(!family.isEmpty());
    f.run([&](frmEinstellungenT& d) {
        d.findChild<QTabBar*>("TabStrip1")->setCurrentIndex(1);
        for (int size : {14, 100}) {
            f.context.modals.handleNext([&](QDialog& shown) {
                auto* chooser = qobject_cast<QFontDialog*>(&shown);
                QVERIFY(chooser);
                QCOMPARE(chooser->parentWidget(), &d);
                QFont font(family);
                font.setPointSize(size);
                chooser->setCurrentFont(font);
                chooser->accept();
            });
            QTest::mouseClick(button(d, "cmdSchrift"), Qt::LeftButton);
            QCOMPARE(box(d, "txtSchrift")->text(), family);
            // The two-character limit is for typing only.
            QCOMPARE(box(d, "txtFontsize")->text(), QString::number(size));
        }
    });
    QVERIFY(f.store.writes.isEmpty());
}

void TestSettingsDialog::fontChooserCancelledChangesNothing()
{
    DialogFixture f;
    f.context.tempSettings.write("Lunaris", "Printer", "Schriftart", "Courier New");
    f.context.tempSettings.write("Lunaris", "Printer", "Fontsize", "9");
    f.run([&](frmEinstellungenT& d) {
        f.context.modals.handleNext([&](QDialog& shown) {
            static_cast<QFontDialog&>(shown).setCurrentFont(QFont(QFontDatabase::families().value(0), 20));
            shown.reject();
        });
        QTest::mouseClick(button(d, "cmdSchrift"), Qt::LeftButton);
        QCOMPARE(box(d, "txtSchrift")->text(), QString("Courier New"));
        QCOMPARE(box(d, "txtFontsize")->text(), QString("9"));
        QVERIFY(d.isVisible());
    });
    QVERIFY(f.context.messages.shown().isEmpty());
}

void TestSettingsDialog::fontSizeTypingIsLimitedToTwoCharacters()
{
    DialogFixture f;
    f.run([&](frmEinstellungenT& d) {
        d.findChild<QTabBar*>("TabStrip1")->setCurrentIndex(1);
        QLineEdit* size = box(d, "txtFontsize");
        size->setFocus();
        size->selectAll();
        QTest::keyClicks(size, "123");
        QCOMPARE(size->text(), QString("12"));
        // Other boxes take any length.
        QLineEdit* name = box(d, "txtSchrift");
        name->clear();
        QTest::keyClicks(name, "Liberation Sans Narrow Condensed");
        QCOMPARE(name->text(), QString("Liberation Sans Narrow Condensed"));
    });
}

LUNARIS_TEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
