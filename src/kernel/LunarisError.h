#pragma once

#include <QString>
#include <exception>

// The one failure type of the program: a number and a German description, so every handler can
// report it in the style its behaviour asks for ("Fehler: " + number + " " + description, ...).
class LunarisError : public std::exception {
public:
    // Raised by a day view for a request it refuses (a time or row outside its range, a bad index).
    static constexpr int DayViewRefused = 32096;
    // A row or index outside a fixed table (the doctor column's 101 cells).
    static constexpr int OutOfRange = 9;
    // Arithmetic overflow.
    static constexpr int Overflow = 6;
    // A field without a value (NULL) used in arithmetic or as text.
    static constexpr int InvalidNull = 94;

    LunarisError(int number, QString description) : m_number(number), m_description(std::move(description)) {}

    int number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return "LunarisError"; }

private:
    int m_number;
    QString m_description;
};
