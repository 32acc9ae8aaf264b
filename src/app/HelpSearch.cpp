#include "app/HelpSearch.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace {
// The folded text with, for each of its characters, the part of the original text it stands for.
struct Folded {
    QString text;
    QList<HelpMatch> origin;
};

Folded foldWithOrigin(const QString& text)
{
    Folded plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QChar(0x00DF) || c == QChar(0x1E9E)) { // ß, ẞ
            plain.text += QLatin1Char('s');
            plain.origin.append({i, 1});
            continue;
        }
        // Letters with marks lose them (ü → u); the marks of a decomposed text are dropped too.
        for (const QChar d : QString(c).normalized(QString::NormalizationForm_D)) {
            if (d.category() == QChar::Mark_NonSpacing)
                continue;
            plain.text += d.toLower();
            plain.origin.append({i, 1});
        }
    }
    // ae, oe, ue and ss, the spellings without umlauts and ß, fold like them.
    Folded result;
    for (qsizetype i = 0; i < plain.text.size(); ++i) {
        const QChar c = plain.text[i];
        const QChar next = i + 1 < plain.text.size() ? plain.text[i + 1] : QChar();
        const bool pair =
            (next == QLatin1Char('e') && (c == QLatin1Char('a') || c == QLatin1Char('o') || c == QLatin1Char('u'))) ||
            (c == QLatin1Char('s') && next == QLatin1Char('s'));
        HelpMatch origin = plain.origin[i];
        if (pair) {
            const HelpMatch& second = plain.origin[i + 1];
            origin.length = second.start + second.length - origin.start;
            ++i;
        }
        result.text += c;
        result.origin.append(origin);
    }
    return result;
}

// The sentences of a page: each paragraph, heading and list item, cut after . ! ? and :.
QStringList sentencesOf(const QTextDocument& document)
{
    static const QRegularExpression end(QStringLiteral("(?<=[.!?:])\\s+(?=\\S)"));
    QStringList sentences;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (const QString& sentence : block.text().split(end, Qt::SkipEmptyParts))
            if (!sentence.trimmed().isEmpty())
                sentences.append(sentence.simplified());
    return sentences;
}
} // namespace

HelpSearch::HelpSearch(const QString& folder)
{
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name)) {
        if (name == QLatin1String("inhalt.html") || name == QLatin1String("stichworte.html"))
            continue;
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QTextDocument document;
        document.setHtml(QString::fromUtf8(file.readAll()));
        Page page;
        page.file = dir.absoluteFilePath(name);
        page.title = document.metaInformation(QTextDocument::DocumentTitle);
        page.sentences = sentencesOf(document);
        for (const QString& sentence : std::as_const(page.sentences))
            page.foldedSentences.append(fold(sentence));
        m_pages.append(page);
    }
}

QStringList HelpSearch::words(const QString& query)
{
    // Letters with umlauts are word characters too.
    static const QRegularExpression separators(QStringLiteral("[^\\w-]+|(?<!\\w)-|-(?!\\w)"),
                                               QRegularExpression::UseUnicodePropertiesOption);
    return query.split(separators, Qt::SkipEmptyParts);
}

QString HelpSearch::fold(const QString& text)
{
    return foldWithOrigin(text).text;
}

QList<HelpMatch> HelpSearch::matches(const QString& text, const QStringList& words)
{
    const Folded folded = foldWithOrigin(text);
    QList<HelpMatch> found;
    for (const QString& word : words) {
        const QString key = fold(word);
        if (key.isEmpty())
            continue;
        for (qsizetype at = folded.text.indexOf(key); at >= 0; at = folded.text.indexOf(key, at + key.size())) {
            const HelpMatch& first = folded.origin[at];
            const HelpMatch& last = folded.origin[at + key.size() - 1];
            found.append({first.start, last.start + last.length - first.start});
        }
    }
    std::sort(found.begin(), found.end(), [](const HelpMatch& a, const HelpMatch& b) {
        return a.start < b.start || (a.start == b.start && a.length > b.length);
    });
    // Where two words meet in one place, the longer match stays.
    QList<HelpMatch> apart;
    for (const HelpMatch& m : std::as_const(found))
        if (apart.isEmpty() || m.start >= apart.last().start + apart.last().length)
            apart.append(m);
    return apart;
}

QList<HelpHit> HelpSearch::find(const QString& query) const
{
    QStringList keys;
    for (const QString& word : words(query))
        if (const QString key = fold(word); !key.isEmpty())
            keys.append(key);
    if (keys.isEmpty())
        return {};
    struct Scored {
        HelpHit hit;
        int score = 0;
    };
    QList<Scored> scored;
    for (const Page& page : m_pages) {
        const QString title = fold(page.title);
        int score = 0;
        bool all = true;
        for (const QString& key : std::as_const(keys)) {
            int count = 0;
            for (const QString& sentence : page.foldedSentences)
                count += int(sentence.count(key));
            if (count == 0) {
                all = false;
                break;
            }
            score += count + (title.contains(key) ? 10 : 0);
        }
        if (!all)
            continue;
        // The sentence that holds the most of the words; of equal ones the first.
        qsizetype best = 0;
        int bestWords = -1;
        for (qsizetype s = 0; s < page.foldedSentences.size(); ++s) {
            const int held = int(std::count_if(
                keys.cbegin(), keys.cend(), [&](const QString& key) { return page.foldedSentences[s].contains(key); }));
            if (held > bestWords) {
                bestWords = held;
                best = s;
            }
        }
        scored.append({{page.file, page.title, page.sentences.value(best)}, score});
    }
    std::stable_sort(scored.begin(), scored.end(), [](const Scored& a, const Scored& b) { return a.score > b.score; });
    QList<HelpHit> hits;
    for (const Scored& s : std::as_const(scored))
        hits.append(s.hit);
    return hits;
}
