#pragma once

#include <QString>
#include <QStringView>

namespace SqlText {
// Where a literal ('…') or a quoted name ("…") that starts at `start` ends: the index after its closing
// quote, or the statement's end when it is not closed. What stands inside is not SQL to be rewritten.
inline qsizetype afterQuoted(QStringView statement, qsizetype start)
{
    const qsizetype end = statement.indexOf(statement.at(start), start + 1);
    return end < 0 ? statement.size() : end + 1;
}

inline bool isQuote(QChar c)
{
    return c == QLatin1Char('\'') || c == QLatin1Char('"');
}
} // namespace SqlText
