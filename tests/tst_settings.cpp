#include "TempSettings.h"
#include "TestMain.h"
#include "kernel/LunarisError.h"
#include "settings/SettingsStore.h"

#include <QFile>

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void defaultOnlyForMissingKey_data();
    void defaultOnlyForMissingKey();
    void savedValueReadsBackAsText();
    void applicationsAreSeparate();
    void familyValuesAreNeverWritten();
    void failedWriteIsReported();
};

void TestSettings::defaultOnlyForMissingKey_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing key gives the reader's default") << false << QString() << "08:00";
    QTest::newRow("stored empty text stays empty") << true << ""
                                                   << "";
    QTest::newRow("stored value") << true << "07:30"
                                  << "07:30";
    QTest::newRow("text with comma") << true << "Hauptstr. 1, Berlin"
                                     << "Hauptstr. 1, Berlin";
}

void TestSettings::defaultOnlyForMissingKey()
{
    QFETCH(bool, stored);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    TempSettings temp;
    SettingsStore store;
    if (stored)
        store.saveSetting("Lunaris", "Praxis", "OpenZeit", value);
    QCOMPARE(store.getSetting("Lunaris", "Praxis", "OpenZeit", "08:00"), expected);
}

void TestSettings::savedValueReadsBackAsText()
{
    TempSettings temp;
    SettingsStore store;
    store.saveSetting("Lunaris", "Settings", "MainWidth", "12000");
    store.saveSetting("Lunaris", "Praxis", "Name", "Dr. Müller-Weiß");
    QCOMPARE(store.getSetting("Lunaris", "Settings", "MainWidth", "0"), QString("12000"));
    QCOMPARE(store.getSetting("Lunaris", "Praxis", "Name", "Name"), QString("Dr. Müller-Weiß"));
#ifdef Q_OS_WIN
    // The registry's keys ignore case, as they did for the family's programs there.
    QCOMPARE(store.getSetting("Lunaris", "Praxis", "name", "x"), QString("Dr. Müller-Weiß"));
#else
    // Keys are case-sensitive: another spelling is another key.
    QCOMPARE(store.getSetting("Lunaris", "Praxis", "name", "x"), QString("x"));
#endif
}

void TestSettings::applicationsAreSeparate()
{
    TempSettings temp;
    temp.write("Kavemo", "Printer", "Fontsize", "12");
    SettingsStore store;
    store.saveSetting("Lunaris", "Printer", "Fontsize", "8");
    QCOMPARE(store.getSetting("Kavemo", "Printer", "Fontsize", "10"), QString("12"));
    QCOMPARE(store.getSetting("Lunaris", "Printer", "Fontsize", "6"), QString("8"));
}

void TestSettings::familyValuesAreNeverWritten()
{
    TempSettings temp;
    SettingsStore store;
    QVERIFY_THROWS_EXCEPTION(LunarisError, store.saveSetting("Kavemo", "Praxis", "Slot", "2"));
    QVERIFY(temp.read("Kavemo", "Praxis", "Slot").isNull());
}

void TestSettings::failedWriteIsReported()
{
#ifdef Q_OS_WIN
    QSKIP("the registry holds the settings on Windows: no folder in the way can make a write fail");
#endif
    TempSettings temp;
    // A folder where the settings file should be makes every write fail.
    QVERIFY(QDir(temp.folder()).mkpath("Kavemo/Lunaris.conf"));
    SettingsStore store;
    try {
        store.saveSetting("Lunaris", "Praxis", "Name", "Dr. A");
        QFAIL("the write did not fail");
    } catch (const LunarisError& e) {
        QCOMPARE(e.number(), 75);
        QVERIFY(e.description().contains("Name"));
    }
}

LUNARIS_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
