#include "TestMain.h"
#include "about/ThirdPartyComponents.h"
#include "about/VersionText.h"
#include "about/frmAbout.h"
#include "ui/ProgramIcon.h"

#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void versionText_data();
    void versionText();
    void aboutBoxShowsNameVersionAndDescription();
    void keysCloseTheBox_data();
    void keysCloseTheBox();
    void programIconIsDrawn();
    void componentsFromTheProgramFolder_data();
    void componentsFromTheProgramFolder();
};

void TestAbout::versionText_data()
{
    QTest::addColumn<int>("majorNumber");
    QTest::addColumn<int>("minorNumber");
    QTest::addColumn<int>("revisionNumber");
    QTest::addColumn<QString>("expected");
    QTest::newRow("this version") << 6 << 20 << 21 << "Version 6.20.21";
    QTest::newRow("no leading zeros") << 6 << 5 << 0 << "Version 6.5.0";
    QTest::newRow("no digit grouping") << 1 << 0 << 12345 << "Version 1.0.12345";
}

void TestAbout::versionText()
{
    QFETCH(int, majorNumber);
    QFETCH(int, minorNumber);
    QFETCH(int, revisionNumber);
    QFETCH(QString, expected);
    QCOMPARE(::versionText(majorNumber, minorNumber, revisionNumber), expected);
}

void TestAbout::aboutBoxShowsNameVersionAndDescription()
{
    QWidget owner;
    frmAbout box(&owner);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.parentWidget(), &owner);
    QVERIFY(box.isWindow());
    QCOMPARE(box.windowTitle(), QString("Lunaris"));
    QCOMPARE(box.findChild<QLabel*>("lblTitle")->text(), QString("Lunaris"));
    QCOMPARE(box.findChild<QLabel*>("lblVersion")->text(), QString("Version 6.20.21"));
    QCOMPARE(box.findChild<QLabel*>("lblDescription")->text(),
             QString("Lunaris ist ein Programm zum Entwurf von Tempates (Schablonen) für die Terminplanung von "
                     "KFO-Praxen. Es ist ein Teil des Kavemo-Pakets."));
    QVERIFY(box.findChild<QLabel*>("lblDescription")->wordWrap());

    auto* icon = box.findChild<QLabel*>("picIcon");
    QVERIFY(!icon->pixmap().isNull());
    auto* title = box.findChild<QLabel*>("lblTitle");
    auto* version = box.findChild<QLabel*>("lblVersion");
    auto* description = box.findChild<QLabel*>("lblDescription");
    QVERIFY(icon->x() + icon->width() <= title->x());   // title right of the icon
    QVERIFY(title->geometry().bottom() < version->y()); // version under the title
    QVERIFY(version->geometry().bottom() < description->y());

    auto* line = box.findChild<QFrame*>("Line1");
    QCOMPARE(line->frameShape(), QFrame::HLine);
    QCOMPARE(line->frameShadow(), QFrame::Sunken);
    QCOMPARE(line->palette().color(QPalette::Dark), QColor(128, 128, 128));
    QCOMPARE(line->palette().color(QPalette::Light), QColor(Qt::white));
    QVERIFY(line->width() > box.width() * 8 / 10); // across the box
    QVERIFY(description->geometry().bottom() < line->y());

    auto* ok = box.findChild<QPushButton*>("cmdOK");
    QCOMPARE(ok->text(), QString("&OK"));
    QVERIFY(ok->isDefault());
    QVERIFY(ok->y() > line->y());
    QVERIFY(ok->geometry().right() > box.width() * 2 / 3); // bottom right
}

void TestAbout::keysCloseTheBox_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("OK clicked") << 0;
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void TestAbout::keysCloseTheBox()
{
    QFETCH(int, key);
    QWidget owner;
    frmAbout box(&owner);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    if (key == 0)
        QTest::mouseClick(box.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    else
        QTest::keyClick(&box, Qt::Key(key));
    QVERIFY(!box.isVisible());
}

void TestAbout::programIconIsDrawn()
{
    const QIcon icon = programIcon();
    QVERIFY(!icon.isNull());
    // The SVG is rendered sharp at any size, and it is not empty.
    for (int size : {16, 48, 256}) {
        const QImage image = icon.pixmap(size, size).toImage();
        QCOMPARE(image.size(), QSize(size, size));
        int painted = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                painted += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
        QVERIFY2(painted > size * size / 3, qPrintable(QString::number(size)));
    }
}

void TestAbout::componentsFromTheProgramFolder_data()
{
    QTest::addColumn<QByteArray>("file"); // Komponenten.txt; empty: none in the folder
    QTest::addColumn<QString>("shown");
    const QString qt = QStringLiteral("Qt %1 (LGPL-3.0-only)").arg(qVersion());
    QTest::newRow("the package's list, comments and broken lines skipped")
        << QByteArray("# Lunaris 6.20.21 f\xc3\xbcr Windows\n# Name\tVersion\tLizenz\nQt\t6.4.2\tLGPL-3.0-only\n"
                      "OpenSSL\t3.0.17 (Debian 3.0.17-1~deb12u2)\tApache-2.0\r\nkaputt\t1.0\n\tleer\tMIT\n"
                      "MinGW-w64-Laufzeit: winpthreads\t10.0.0-3\tMIT")
        << "Qt 6.4.2 (LGPL-3.0-only)\nOpenSSL 3.0.17 (Debian 3.0.17-1~deb12u2) (Apache-2.0)\n"
           "MinGW-w64-Laufzeit: winpthreads 10.0.0-3 (MIT)";
    QTest::newRow("no list: the Qt it runs with") << QByteArray() << qt;
    QTest::newRow("a list without one component: the Qt it runs with") << QByteArray("# nur Kommentar\n") << qt;
}

// The about box names what the program folder's list says it ships, and never an empty list.
void TestAbout::componentsFromTheProgramFolder()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, shown);
    QTemporaryDir folder;
    if (!file.isEmpty()) {
        QFile list(folder.filePath("Komponenten.txt"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(file);
    }
    QCOMPARE(thirdPartyComponentsText(installedThirdPartyComponents(folder.path())), shown);
    QWidget owner;
    frmAbout box(&owner, folder.path());
    QCOMPARE(box.findChild<QLabel*>("lblComponents")->text(), "Enthaltene Komponenten anderer Hersteller:\n" + shown);
}

LUNARIS_TEST_MAIN(TestAbout)
#include "tst_about.moc"
