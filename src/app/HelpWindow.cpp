#include "app/HelpWindow.h"

#include "kernel/LunarisError.h"
#include "ui/MessageService.h"
#include "ui/ProgramIcon.h"

#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {
// The contents page as an absolute path; a relative name is taken relative to the program folder
// (the program makes its folder the working directory, but the help must not depend on that).
QString contentsPath(const QString& contentsFile)
{
    if (contentsFile.isEmpty())
        throw LunarisError(HelpWindow::FileNotFound,
                           QStringLiteral("Dieser Anwendung ist keine Hilfedatei zugeordnet."));
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(contentsFile);
}

// Tab moves from link to link, selecting it; a screen reader hears each one (Enter follows it).
class LinkSpeakingBrowser : public QTextBrowser {
public:
    LinkSpeakingBrowser(QWidget* parent, Announcer& announcer) : QTextBrowser(parent), m_announcer(announcer) {}

protected:
    bool focusNextPrevChild(bool next) override
    {
        const bool moved = QTextBrowser::focusNextPrevChild(next);
        const QTextCursor link = textCursor();
        if (hasFocus() && link.hasSelection() && link.charFormat().isAnchor())
            m_announcer.announce(QStringLiteral("Verweis: ") + link.selectedText().simplified());
        return moved;
    }

private:
    Announcer& m_announcer;
};

QString indexPath(const QString& contents)
{
    return QFileInfo(contents).dir().filePath(HelpWindow::IndexFileName);
}
} // namespace

void HelpWindow::showFor(QWidget* parent, MessageService& messages, const QString& contentsFile, Page page)
{
    if (contentsFile.isEmpty()) {
        messages.inform(parent,
                        QStringLiteral("Hilfe-Inhalt konnte nicht angezeigt werden. Dieser Anwendung ist "
                                       "keine Hilfedatei zugeordnet."),
                        parent ? parent->windowTitle() : QStringLiteral("Lunaris"), QMessageBox::Information);
        return;
    }
    try {
        showHelp(parent, contentsFile, page);
    } catch (const LunarisError& e) {
        messages.inform(parent, e.description(), QStringLiteral("Lunaris"), QMessageBox::NoIcon);
    }
}

HelpWindow* HelpWindow::showHelp(QWidget* parent, const QString& contentsFile, Page page)
{
    const QString contents = contentsPath(contentsFile);
    const QString file = page == Page::Contents ? contents : indexPath(contents);
    if (!QFileInfo(file).isFile())
        throw LunarisError(
            FileNotFound,
            QStringLiteral("Die Hilfedatei „%1“ wurde nicht gefunden.").arg(QDir::toNativeSeparators(file)));

    HelpWindow* window = parent ? parent->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!window) {
        window = new HelpWindow(parent, contents);
        if (!parent)
            window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->m_contentsFile = contents;
    window->showFile(file);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

HelpWindow::HelpWindow(QWidget* parent, const QString& contentsFile)
    : QWidget(parent, Qt::Window), m_contentsFile(contentsFile), m_browser(new LinkSpeakingBrowser(this, m_announcer)),
      m_backButton(new QPushButton(QStringLiteral("&Zurück"), this)),
      m_forwardButton(new QPushButton(QStringLiteral("&Vor"), this)), m_searchField(new QLineEdit(this)),
      m_hitList(new QListWidget(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowIcon(programIcon());
    resize(640, 600);

    // Esc closes it, as any secondary window.
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);

    m_browser->setObjectName(QStringLiteral("txtHilfe"));
    m_browser->setAccessibleName(QStringLiteral("Hilfeseite"));
    m_browser->setOpenExternalLinks(true);

    auto* contentsButton = new QPushButton(QStringLiteral("&Inhalt"), this);
    contentsButton->setObjectName(QStringLiteral("cmdInhalt"));
    auto* indexButton = new QPushButton(QStringLiteral("&Stichwörter"), this);
    indexButton->setObjectName(QStringLiteral("cmdStichworte"));
    m_backButton->setObjectName(QStringLiteral("cmdZurueck"));
    m_forwardButton->setObjectName(QStringLiteral("cmdVor"));
    m_backButton->setEnabled(false);
    m_forwardButton->setEnabled(false);

    connect(contentsButton, &QPushButton::clicked, this, [this] { showFile(m_contentsFile); });
    connect(indexButton, &QPushButton::clicked, this, [this] { showFile(indexPath(m_contentsFile)); });
    connect(m_backButton, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_forwardButton, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_backButton, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forwardButton, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, &HelpWindow::updateTitle);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contentsButton);
    buttons->addWidget(indexButton);
    buttons->addSpacing(12);
    buttons->addWidget(m_backButton);
    buttons->addWidget(m_forwardButton);
    buttons->addStretch();

    m_searchField->setObjectName(QStringLiteral("txtSuche"));
    m_searchField->setAccessibleName(QStringLiteral("Suchbegriffe"));
    m_searchField->setPlaceholderText(QStringLiteral("Wörter, die auf der Seite stehen"));
    m_searchField->setClearButtonEnabled(true);
    auto* searchLabel = new QLabel(QStringLiteral("S&uchen:"), this);
    searchLabel->setBuddy(m_searchField);
    m_hitList->setObjectName(QStringLiteral("lstTreffer"));
    m_hitList->setAccessibleName(QStringLiteral("Suchergebnisse"));
    m_hitList->setWordWrap(true);
    m_hitList->setAlternatingRowColors(true);
    m_hitList->setMaximumHeight(160);
    m_hitList->hide();
    connect(m_searchField, &QLineEdit::textChanged, this, &HelpWindow::search);
    connect(m_searchField, &QLineEdit::returnPressed, this, [this] { openHit(0); });
    connect(m_hitList, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { openHit(m_hitList->row(item)); });
    connect(m_browser, &QTextBrowser::sourceChanged, this, &HelpWindow::markWords);

    // Ctrl+F goes to the search, as in any browser.
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        m_searchField->setFocus();
        m_searchField->selectAll();
    });
    // Top to bottom: the buttons, the search, the page.
    QWidget* previous = contentsButton;
    for (QWidget* next : std::initializer_list<QWidget*>{indexButton, m_backButton, m_forwardButton, m_searchField,
                                                         m_hitList, m_browser}) {
        setTabOrder(previous, next);
        previous = next;
    }

    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(m_searchField);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addLayout(searchRow);
    layout->addWidget(m_hitList);
    layout->addWidget(m_browser);
    updateTitle();
}

QString HelpWindow::currentFile() const
{
    return m_browser->source().toLocalFile();
}

void HelpWindow::showFile(const QString& file)
{
    m_browser->setSource(QUrl::fromLocalFile(file));
}

void HelpWindow::updateTitle()
{
    const QString title = m_browser->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Lunaris-Hilfe") : QStringLiteral("Lunaris-Hilfe – %1").arg(title));
}

void HelpWindow::search(const QString& query)
{
    m_hitList->clear();
    m_hitList->setVisible(!HelpSearch::words(query).isEmpty());
    markWords();
    if (m_hitList->isHidden())
        return;
    if (!m_search)
        m_search = std::make_unique<HelpSearch>(QFileInfo(m_contentsFile).absolutePath());
    const QList<HelpHit> hits = m_search->find(query);
    for (const HelpHit& hit : hits) {
        auto* item = new QListWidgetItem(hit.title + QStringLiteral(" – ") + hit.sentence, m_hitList);
        item->setData(Qt::UserRole, hit.file);
    }
    if (hits.isEmpty()) {
        auto* none = new QListWidgetItem(QStringLiteral("Keine Seite enthält alle gesuchten Wörter."), m_hitList);
        none->setFlags(Qt::NoItemFlags);
    } else {
        m_hitList->setCurrentRow(0);
    }
}

void HelpWindow::openHit(int row)
{
    const QListWidgetItem* item = m_hitList->item(row);
    const QString file = item ? item->data(Qt::UserRole).toString() : QString();
    if (file.isEmpty())
        return;
    if (file == currentFile())
        markWords();
    else
        showFile(file);
    m_browser->setFocus();
}

void HelpWindow::markWords()
{
    QList<QTextEdit::ExtraSelection> marks;
    const QStringList words = HelpSearch::words(m_searchField->text());
    QTextDocument* document = m_browser->document();
    QTextCharFormat marked;
    marked.setBackground(QColor(255, 225, 60));
    marked.setForeground(Qt::black);
    for (QTextBlock block = document->begin(); block.isValid() && !words.isEmpty(); block = block.next())
        for (const HelpMatch& match : HelpSearch::matches(block.text(), words)) {
            QTextCursor cursor(document);
            cursor.setPosition(int(block.position() + match.start));
            cursor.setPosition(int(block.position() + match.start + match.length), QTextCursor::KeepAnchor);
            marks.append({cursor, marked});
        }
    m_browser->setExtraSelections(marks);
    if (marks.isEmpty())
        return;
    // The first place shown, without selecting it.
    QTextCursor first = marks.first().cursor;
    first.setPosition(first.selectionStart());
    m_browser->setTextCursor(first);
    m_browser->ensureCursorVisible();
}
