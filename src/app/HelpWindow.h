#pragma once

#include "app/HelpSearch.h"
#include "ui/Announcer.h"

#include <QWidget>

#include <memory>

class QLineEdit;
class QListWidget;
class QPushButton;
class MessageService;
class QTextBrowser;

// The help: German HTML pages in the folder "hilfe" beside the program, shown in a window of its own
// beside the main window (not modal), at the contents page or at the keyword index. A search field
// lists the pages holding all words typed, with the sentence that holds them; Enter opens the first,
// and the words are marked on every page shown while they stand in the field.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    enum class Page { Contents, Index };

    // A help page that is not there.
    static constexpr int FileNotFound = 53;
    // The keyword index lies beside the contents page.
    static inline const QString IndexFileName = QStringLiteral("stichworte.html");

    // Shows the help window of parent at the given page and brings it to the front. The window is
    // created on first use as a child of parent and reused afterwards; without a parent every call
    // opens a new window that is deleted when closed. A relative file name is taken relative to the
    // program folder. Throws LunarisError (FileNotFound, German description) when the page is missing.
    static HelpWindow* showHelp(QWidget* parent, const QString& contentsFile, Page page);
    // The same for the user: a program without a help file, or a page missing, is told in a message
    // instead (`contentsFile` empty: none).
    static void showFor(QWidget* parent, MessageService& messages, const QString& contentsFile, Page page);

    QString currentFile() const;

private:
    HelpWindow(QWidget* parent, const QString& contentsFile);
    void showFile(const QString& file);
    void updateTitle();
    void search(const QString& query);
    void openHit(int row);
    void markWords();

    QString m_contentsFile;
    // Read on the first search, from the folder of the contents page.
    std::unique_ptr<HelpSearch> m_search;
    // Made before the page, which speaks its links through it.
    Announcer m_announcer;
    QTextBrowser* m_browser;
    QPushButton* m_backButton;
    QPushButton* m_forwardButton;
    QLineEdit* m_searchField;
    QListWidget* m_hitList;
};
