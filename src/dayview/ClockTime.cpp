#include "dayview/ClockTime.h"

namespace ClockTime {

namespace {
constexpr int MinutesPerDay = 24 * 60;

// ASCII digits only: times are compared as text (the overlap rule), and "０８:００" sorts unlike "08:00".
int digit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9') ? c.unicode() - u'0' : -1;
}
} // namespace

std::optional<int> minutesOf(const QString& text)
{
    if (text.size() != 5 || text.at(2) != QLatin1Char(':'))
        return std::nullopt;
    const int h1 = digit(text.at(0)), h2 = digit(text.at(1)), m1 = digit(text.at(3)), m2 = digit(text.at(4));
    if (h1 < 0 || h2 < 0 || m1 < 0 || m2 < 0)
        return std::nullopt;
    const int hours = h1 * 10 + h2;
    const int minutes = m1 * 10 + m2;
    if (hours > 23 || minutes > 59)
        return std::nullopt;
    return hours * 60 + minutes;
}

bool isValid(const QString& text)
{
    return minutesOf(text).has_value();
}

QString fromMinutes(int minutes)
{
    const int inDay = ((minutes % MinutesPerDay) + MinutesPerDay) % MinutesPerDay;
    const int hours = inDay / 60;
    const int rest = inDay % 60;
    // Written out digit by digit: the doctor column makes a time of each of its windows in every rebuild.
    const QChar text[5] = {QChar(u'0' + hours / 10), QChar(u'0' + hours % 10), QLatin1Char(':'),
                           QChar(u'0' + rest / 10), QChar(u'0' + rest % 10)};
    return QString(text, 5);
}

QString addMinutes(const QString& text, int minutes)
{
    return fromMinutes(minutesOf(text).value_or(0) + minutes);
}

} // namespace ClockTime
