#include "AccessibleEvents.h"
#include "TestMain.h"
#include "app/HelpWindow.h"
#include "kernel/LunarisError.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>

namespace {
const QString SourceHelp = QStringLiteral(LUNARIS_SOURCE_DIR "/resources/help");
const QString ProgramHelp = QStringLiteral(LUNARIS_PROGRAM_DIR "/hilfe");

QString readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

void writeText(const QString& path, const QString& text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}
} // namespace

class TestHelp : public QObject {
    Q_OBJECT
private slots:
    void opensContentsAndIndexInOneWindow();
    void relativeNameIsTakenFromProgramFolder();
    void missingPageIsReported_data();
    void missingPageIsReported();
    void everyLinkOfTheHelpPagesLeadsSomewhere();
    void everyPageIsReachableFromContentsAndIndex();
    void programFolderHoldsHelpAndIcon();
    void pagesSayWhatTheProgramDoes_data();
    void pagesSayWhatTheProgramDoes();
    void linksAreReachedByTabAndSpoken();
};

void TestHelp::linksAreReachedByTabAndSpoken()
{
    QWidget mainWindow;
    mainWindow.show();
    HelpWindow* help = HelpWindow::showHelp(&mainWindow, ProgramHelp + "/inhalt.html", HelpWindow::Page::Contents);
    QVERIFY(QTest::qWaitForWindowActive(help));
    auto* browser = help->findChild<QTextBrowser*>();
    browser->setFocus(Qt::TabFocusReason);
    AccessibleEvents events;
    QTest::keyClick(browser, Qt::Key_Tab);
    QTest::keyClick(browser, Qt::Key_Tab);
    // Each link is spoken as the Tab reaches it, by its text; the focus stays on the page.
    QCOMPARE(QApplication::focusWidget(), browser);
    const QStringList said = events.announcements();
    QCOMPARE(said.size(), 2);
    for (const QString& link : said)
        QVERIFY2(link.startsWith("Verweis: ") && link.size() > 10, qPrintable(link));
    QVERIFY(said.first() != said.last());
    QCOMPARE(browser->textCursor().selectedText(), said.last().mid(9));
}

void TestHelp::opensContentsAndIndexInOneWindow()
{
    QWidget mainWindow;
    mainWindow.show();
    const QString contents = ProgramHelp + "/inhalt.html";

    HelpWindow* help = HelpWindow::showHelp(&mainWindow, contents, HelpWindow::Page::Contents);
    QVERIFY(help);
    QVERIFY(help->isVisible());
    QVERIFY(help->isWindow());
    QCOMPARE(help->windowModality(), Qt::NonModal);
    QCOMPARE(help->parentWidget(), &mainWindow);
    QCOMPARE(help->currentFile(), contents);
    QCOMPARE(help->windowTitle(), QString("Lunaris-Hilfe – Inhalt"));
    QVERIFY(help->findChild<QTextBrowser*>()->toPlainText().contains("Einen Idealtag entwerfen"));

    // The index opens in the same window.
    QCOMPARE(HelpWindow::showHelp(&mainWindow, contents, HelpWindow::Page::Index), help);
    QCOMPARE(help->currentFile(), ProgramHelp + "/stichworte.html");
    QCOMPARE(mainWindow.findChildren<HelpWindow*>().size(), 1);

    // Closed by the user, it comes back on the next call.
    help->close();
    QCOMPARE(HelpWindow::showHelp(&mainWindow, contents, HelpWindow::Page::Contents), help);
    QVERIFY(help->isVisible());

    // Its own buttons: index, contents, back and forward.
    QTest::mouseClick(help->findChild<QPushButton*>("cmdStichworte"), Qt::LeftButton);
    QCOMPARE(help->currentFile(), ProgramHelp + "/stichworte.html");
    QTest::mouseClick(help->findChild<QPushButton*>("cmdZurueck"), Qt::LeftButton);
    QCOMPARE(help->currentFile(), contents);
    QTest::mouseClick(help->findChild<QPushButton*>("cmdVor"), Qt::LeftButton);
    QCOMPARE(help->currentFile(), ProgramHelp + "/stichworte.html");
    QTest::mouseClick(help->findChild<QPushButton*>("cmdInhalt"), Qt::LeftButton);
    QCOMPARE(help->currentFile(), contents);

    // The main window is still usable while the help is open.
    QVERIFY(!QApplication::activeModalWidget());

    // Esc closes it.
    help->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(help));
    QTest::keyClick(help->findChild<QTextBrowser*>(), Qt::Key_Escape);
    QVERIFY(!help->isVisible());
}

void TestHelp::relativeNameIsTakenFromProgramFolder()
{
    QWidget mainWindow;
    const QString relative =
        QDir(QCoreApplication::applicationDirPath()).relativeFilePath(ProgramHelp + "/inhalt.html");
    QVERIFY(QDir::isRelativePath(relative));
    const QString before = QDir::currentPath();
    QDir::setCurrent(QDir::tempPath()); // started from elsewhere
    HelpWindow* help = HelpWindow::showHelp(&mainWindow, relative, HelpWindow::Page::Index);
    QDir::setCurrent(before);
    QCOMPARE(QFileInfo(help->currentFile()).canonicalFilePath(),
             QFileInfo(ProgramHelp + "/stichworte.html").canonicalFilePath());
}

void TestHelp::missingPageIsReported_data()
{
    QTest::addColumn<bool>("withContents");
    QTest::addColumn<bool>("withIndex");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("missing");
    QTest::newRow("no contents page") << false << true << int(HelpWindow::Page::Contents) << "inhalt.html";
    QTest::newRow("no index page") << true << false << int(HelpWindow::Page::Index) << "stichworte.html";
}

void TestHelp::missingPageIsReported()
{
    QFETCH(bool, withContents);
    QFETCH(bool, withIndex);
    QFETCH(int, page);
    QFETCH(QString, missing);
    QTemporaryDir folder;
    if (withContents)
        writeText(folder.filePath("inhalt.html"), "<html><body>Inhalt</body></html>");
    if (withIndex)
        writeText(folder.filePath("stichworte.html"), "<html><body>Stichwörter</body></html>");
    QWidget mainWindow;
    try {
        HelpWindow::showHelp(&mainWindow, folder.filePath("inhalt.html"), HelpWindow::Page(page));
        QFAIL("no failure reported");
    } catch (const LunarisError& e) {
        QCOMPARE(e.number(), 53);
        QCOMPARE(e.description(), QString("Die Hilfedatei „%1“ wurde nicht gefunden.")
                                      .arg(QDir::toNativeSeparators(folder.filePath(missing))));
    }
    QVERIFY(!mainWindow.findChild<HelpWindow*>());

    // A folder of that name is no page either, and no help file name at all is reported too.
    QVERIFY_THROWS_EXCEPTION(LunarisError,
                             HelpWindow::showHelp(&mainWindow, folder.path(), HelpWindow::Page::Contents));
    try {
        HelpWindow::showHelp(&mainWindow, QString(), HelpWindow::Page::Contents);
        QFAIL("no failure reported");
    } catch (const LunarisError& e) {
        QCOMPARE(e.description(), QString("Dieser Anwendung ist keine Hilfedatei zugeordnet."));
    }
}

void TestHelp::everyLinkOfTheHelpPagesLeadsSomewhere()
{
    const QRegularExpression link(QStringLiteral("href=\"([^\"#]*)(?:#([^\"]*))?\""));
    const QStringList pages = QDir(SourceHelp).entryList({"*.html"});
    QVERIFY(pages.contains("inhalt.html"));
    QVERIFY(pages.contains("stichworte.html"));
    int links = 0;
    for (const QString& page : pages) {
        const QString text = readText(SourceHelp + "/" + page);
        QVERIFY2(text.contains("<meta charset=\"utf-8\">"), qPrintable(page));
        QVERIFY2(QRegularExpression("<title>[^<]+</title>").match(text).hasMatch(), qPrintable(page));
        for (const QRegularExpressionMatch& m : link.globalMatch(text)) {
            const QString target = m.captured(1).isEmpty() ? page : m.captured(1);
            const QString where = page + " → " + m.captured(0);
            QVERIFY2(QFileInfo::exists(SourceHelp + "/" + target), qPrintable(where));
            if (!m.captured(2).isEmpty())
                QVERIFY2(readText(SourceHelp + "/" + target).contains("name=\"" + m.captured(2) + "\""),
                         qPrintable(where));
            ++links;
        }
    }
    QVERIFY(links > 50);
}

void TestHelp::everyPageIsReachableFromContentsAndIndex()
{
    const QStringList pages = QDir(SourceHelp).entryList({"*.html"});
    const QString contents = readText(SourceHelp + "/inhalt.html");
    const QString index = readText(SourceHelp + "/stichworte.html");
    for (const QString& page : pages) {
        if (page == "inhalt.html")
            continue;
        QVERIFY2(contents.contains("href=\"" + page), qPrintable(page));
        if (page != "stichworte.html")
            QVERIFY2(index.contains("href=\"" + page), qPrintable(page));
    }
}

void TestHelp::programFolderHoldsHelpAndIcon()
{
    const QStringList sources = QDir(SourceHelp).entryList(QDir::Files);
    QCOMPARE(QDir(ProgramHelp).entryList(QDir::Files), sources);
    for (const QString& name : sources)
        QVERIFY2(readText(ProgramHelp + "/" + name) == readText(SourceHelp + "/" + name), qPrintable(name));
    // The icon lies beside the program too, for the desktop entry.
    QCOMPARE(readText(LUNARIS_PROGRAM_DIR "/lunaris.svg"), readText(LUNARIS_SOURCE_DIR "/resources/icons/lunaris.svg"));
}

void TestHelp::pagesSayWhatTheProgramDoes_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("says");
    QTest::addColumn<QString>("saysNoMore"); // what the program used to do
    QTest::newRow("settings take effect") << "einstellungen.html"
                                          << "gelten <b>sofort nach „OK“</b>"
                                          << "ändern sich dadurch nicht, auch nicht nach einem Neustart";
    QTest::newRow("settings are checked") << "einstellungen.html"
                                          << "Lunaris prüft die Werte, die es"
                                          << "Lunaris prüft die Werte nicht";
    QTest::newRow("printer values count") << "drucken.html"
                                          << "gilt für den nächsten Ausdruck"
                                          << "ändern den Ausdruck nicht";
    QTest::newRow("a renamed chair carries its blocks") << "stammdaten.html"
                                                        << "nimmt seine Blöcke mit"
                                                        << "erst danach stimmen die Spalten wieder";
    QTest::newRow("the fee is the exact sum") << "drzeit.html"
                                              << "auf den Cent"
                                              << "Block auf eine ganze Zahl gerundet";
    QTest::newRow("the server set-up in German") << "server.html"
                                                 << "<b>Daten übertragen...</b>"
                                                 << "Several workstations";
}

void TestHelp::pagesSayWhatTheProgramDoes()
{
    QFETCH(QString, page);
    QFETCH(QString, says);
    QFETCH(QString, saysNoMore);
    // Lines are wrapped anywhere in the source: compare with single blanks.
    const QString text = readText(SourceHelp + "/" + page).simplified();
    QVERIFY2(text.contains(says), qPrintable(says));
    QVERIFY2(!text.contains(saysNoMore), qPrintable(saysNoMore));
}

LUNARIS_TEST_MAIN(TestHelp)
#include "tst_help.moc"
