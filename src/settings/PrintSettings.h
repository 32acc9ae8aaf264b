#pragma once

#include <QString>

#include <optional>

class SettingsStore;

// Which print-out "Drucken...", the preview and the PDF export make: the list the family's programs
// print, or the day drawn as a plan of boxes.
enum class PrintView { List, DayPlan };

// The printer values of the practice: each as the family's other programs store it, else as this
// program's settings dialog stored it, else the default. They are read afresh for every print-out
// and kept as text: each step converts what it needs when it needs it, so a bad value spoils only
// the steps that use it.
struct PrintSettings {
    QString fontName = QStringLiteral("Arial");
    QString fontSize = QStringLiteral("10");  // points
    QString horOffset = QStringLiteral("0");  // millimetres
    QString vertOffset = QStringLiteral("0"); // millimetres

    static PrintSettings read(const SettingsStore& settings);

    // This program's own choice (the family knows only the list): "Liste" unless "Tagesplan" is stored.
    static PrintView view(const SettingsStore& settings);
    // Throws LunarisError when the choice cannot be stored.
    static void saveView(SettingsStore& settings, PrintView view);
};

// A printer value as a number: German ("2,5") or plain ("2.5") decimal text, blanks around it
// allowed; nothing for any other text, including the empty one and values beyond single precision.
std::optional<double> printNumber(const QString& text);
