#pragma once

#include <QString>

#include <optional>

// Clock times are five-character texts "hh:mm" on the 24-hour clock. Their text order is time order.
namespace ClockTime {

// Minutes since midnight of a strict "hh:mm" text (00:00 to 23:59); nothing for anything else.
std::optional<int> minutesOf(const QString& text);
bool isValid(const QString& text);
// "hh:mm" of minutes since midnight, wrapped into one day.
QString fromMinutes(int minutes);
// The clock time h:(m + minutes) with the minutes carried into the hour, wrapped into one day.
// The text must be valid.
QString addMinutes(const QString& text, int minutes);

} // namespace ClockTime
