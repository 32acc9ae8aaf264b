#include "AccessibleEvents.h"
#include "TestMain.h"
#include "TestPaths.h"
#include "app/HelpSearch.h"
#include "app/HelpWindow.h"
#include "kernel/LunarisError.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBrowser>

namespace {
const QString SourceHelp = TestPaths::sourceFile(QStringLiteral("resources/help"));
const QString ProgramHelp = TestPaths::programDir() + QStringLiteral("/hilfe");

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
    void searchFindsPagesWithAllWords_data();
    void searchFindsPagesWithAllWords();
    void enterOpensFirstHitWithWordsMarked();
    void contentsListTheTopicsOfEveryPage();
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
    QCOMPARE(readText(TestPaths::programDir() + QStringLiteral("/lunaris.svg")),
             readText(TestPaths::sourceFile(QStringLiteral("resources/icons/lunaris.svg"))));
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

void TestHelp::searchFindsPagesWithAllWords_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("pages");  // in the order found
    QTest::addColumn<QString>("sentence");   // shown with the first page
    QTest::addColumn<QStringList>("marked"); // the words as marked in that sentence
    QTest::newRow("umlaut typed") << "Stühle" << QStringList{"stuehle.html", "druck.html"} << "Stühle bearbeiten"
                                  << QStringList{"Stühle"};
    QTest::newRow("umlaut left out, other case")
        << "STUHLE" << QStringList{"stuehle.html", "druck.html"} << "Stühle bearbeiten" << QStringList{"Stühle"};
    QTest::newRow("part of a word") << "stuhl" << QStringList{"stuehle.html", "druck.html"} << "Stühle bearbeiten"
                                    << QStringList{"Stühl"};
    QTest::newRow("ss for ß, oe for ö") << "Groesse" << QStringList{"stuehle.html"}
                                        << "Die Größe der Spalte folgt dem Fenster." << QStringList{"Größe"};
    QTest::newRow("ß for ss") << "straße" << QStringList{"druck.html"} << "Das Blatt nennt die Strasse oben."
                              << QStringList{"Strasse"};
    QTest::newRow("several words, each on the page")
        << "blatt, Spalten" << QStringList{"druck.html"} << "Das Blatt zeigt die Stuhle in Spalten."
        << QStringList{"Blatt", "Spalten"};
    QTest::newRow("words on different pages: no hit") << "Größe Blatt" << QStringList{} << "" << QStringList{};
    QTest::newRow("no word") << " - , " << QStringList{} << "" << QStringList{};
}

void TestHelp::searchFindsPagesWithAllWords()
{
    QFETCH(QString, query);
    QFETCH(QStringList, pages);
    QFETCH(QString, sentence);
    QFETCH(QStringList, marked);
    QTemporaryDir folder;
    const QString head =
        "<!DOCTYPE html><html lang=\"de\"><head><meta charset=\"utf-8\"><title>%1</title></head><body>";
    writeText(folder.filePath("stuehle.html"), head.arg("Stühle") +
                                                   "<h1>Stühle bearbeiten</h1><p>Jeder Sitzungsstuhl hat einen Namen. "
                                                   "Die Größe der Spalte folgt dem Fenster.</p></body></html>");
    writeText(folder.filePath("druck.html"), head.arg("Drucken") +
                                                 "<p>Das Blatt zeigt die Stuhle in Spalten.</p><ul><li>Das Blatt nennt "
                                                 "die Strasse oben.</li></ul></body></html>");
    // The contents and the keywords name every topic: they are no hit of their own.
    writeText(folder.filePath("inhalt.html"), head.arg("Inhalt") + "<p>Stühle, Größe, Blatt, Straße</p>");
    writeText(folder.filePath("stichworte.html"), head.arg("Stichwörter") + "<p>Stühle, Größe, Blatt, Straße</p>");

    const QList<HelpHit> hits = HelpSearch(folder.path()).find(query);
    QStringList found;
    for (const HelpHit& hit : hits)
        found.append(QFileInfo(hit.file).fileName());
    QCOMPARE(found, pages);
    if (hits.isEmpty())
        return;
    QCOMPARE(hits.first().sentence, sentence);
    QStringList marks;
    for (const HelpMatch& m : HelpSearch::matches(sentence, HelpSearch::words(query)))
        marks.append(sentence.mid(m.start, m.length));
    QCOMPARE(marks, marked);
}

// Typed in the real help window: the hits appear, Enter opens the first, its words are marked there.
void TestHelp::enterOpensFirstHitWithWordsMarked()
{
    QWidget mainWindow;
    mainWindow.show();
    HelpWindow* help = HelpWindow::showHelp(&mainWindow, ProgramHelp + "/inhalt.html", HelpWindow::Page::Contents);
    auto* field = help->findChild<QLineEdit*>("txtSuche");
    auto* list = help->findChild<QListWidget*>("lstTreffer");
    auto* browser = help->findChild<QTextBrowser*>();
    QVERIFY(field && list && browser);
    QCOMPARE(field->accessibleName(), QString("Suchbegriffe"));
    QCOMPARE(list->accessibleName(), QString("Suchergebnisse"));
    QVERIFY(list->isHidden());
    // Ctrl+F leads to the field from anywhere in the window.
    help->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(help));
    QTest::keyClick(browser, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(field->hasFocus());

    QTest::keyClicks(field, "Termine ueberlappen");
    QVERIFY(list->isVisible());
    QVERIFY(list->count() > 0);
    QVERIFY2(list->item(0)->text().startsWith("Einen Idealtag entwerfen – "), qPrintable(list->item(0)->text()));
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(help->currentFile(), ProgramHelp + "/idealtag.html");
    const QList<QTextEdit::ExtraSelection> marks = browser->extraSelections();
    QVERIFY(marks.size() >= 2);
    QStringList words;
    for (const QTextEdit::ExtraSelection& mark : marks)
        words.append(HelpSearch::fold(mark.cursor.selectedText()));
    QVERIFY(words.contains(HelpSearch::fold("Termine")));
    QVERIFY(words.contains(HelpSearch::fold("überlappen")));
    QCOMPARE(browser->textCursor().position(), marks.first().cursor.selectionStart());

    // Nothing found: one line that says so, and Enter stays on the page.
    field->setText("Zahnfee");
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), QString("Keine Seite enthält alle gesuchten Wörter."));
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(help->currentFile(), ProgramHelp + "/idealtag.html");
    QVERIFY(browser->extraSelections().isEmpty());
}

void TestHelp::contentsListTheTopicsOfEveryPage()
{
    const QString contents = readText(SourceHelp + "/inhalt.html");
    const QRegularExpression topic(R"re(<h2><a name="([^"]+)">)re");
    int topics = 0;
    for (const QString& page : QDir(SourceHelp).entryList({"*.html"})) {
        if (page == "inhalt.html" || page == "stichworte.html")
            continue;
        for (const QRegularExpressionMatch& m : topic.globalMatch(readText(SourceHelp + "/" + page))) {
            const QString link = "href=\"" + page + "#" + m.captured(1) + "\"";
            QVERIFY2(contents.contains(link), qPrintable(link));
            ++topics;
        }
    }
    QVERIFY(topics > 30);
}

LUNARIS_TEST_MAIN(TestHelp)
#include "tst_help.moc"
