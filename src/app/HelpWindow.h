#pragma once

#include "ui/Announcer.h"

#include <QWidget>

class QPushButton;
class QTextBrowser;

// The help: German HTML pages in the folder "hilfe" beside the program, shown in a window of its own
// beside the main window (not modal), at the contents page or at the keyword index.
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

    QString currentFile() const;

private:
    HelpWindow(QWidget* parent, const QString& contentsFile);
    void showFile(const QString& file);
    void updateTitle();

    QString m_contentsFile;
    // Made before the page, which speaks its links through it.
    Announcer m_announcer;
    QTextBrowser* m_browser;
    QPushButton* m_backButton;
    QPushButton* m_forwardButton;
};
