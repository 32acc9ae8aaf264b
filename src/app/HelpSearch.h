#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One page that holds every word searched for.
struct HelpHit {
    QString file;     // absolute path of the page
    QString title;    // the page's title
    QString sentence; // the first sentence holding the most of the words
};

// Where a word was found in a text: start and length, in characters of the text itself.
struct HelpMatch {
    qsizetype start = 0;
    qsizetype length = 0;
    bool operator==(const HelpMatch&) const = default;
};

// The full-text search of the help pages. Words match anywhere in a word, case ignored, and spelt
// with or without umlauts: ä, ae and a are one letter to it (likewise ö, ü), ß and ss are s. The
// contents and keyword pages are left out: they name every topic and would match everything.
class HelpSearch {
public:
    // Reads every page (*.html) of the folder.
    explicit HelpSearch(const QString& folder);

    // The pages that contain all words of the query, best first (most occurrences, the title counting
    // extra); none for a query without words.
    QList<HelpHit> find(const QString& query) const;

    // The words of a query: split at blanks and punctuation.
    static QStringList words(const QString& query);
    // The text as the search compares it.
    static QString fold(const QString& text);
    // Every place in text where one of the words occurs, in text order, not overlapping.
    static QList<HelpMatch> matches(const QString& text, const QStringList& words);

private:
    struct Page {
        QString file;
        QString title;
        QStringList sentences;
        QStringList foldedSentences;
    };

    QList<Page> m_pages;
};
