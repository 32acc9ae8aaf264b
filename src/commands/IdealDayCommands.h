#pragma once

#include <QString>

class DayEditorWindow;
struct AppServices;
struct LunarisState;

// New, Open, Save, Save As, Rename and Delete of the "Datei" menu. They work on the shared state, load and
// save through the main window, and switch the window into its editing state.
class IdealDayCommands {
public:
    IdealDayCommands(DayEditorWindow& window, LunarisState& state, AppServices& services);

    void newDay();
    void open();
    // Opens the stored day of that name, as Open does once it is chosen (the demo practice's first day).
    void openStored(const QString& name);
    void save();
    void saveAs();
    // A stored change like Delete, not a step of the history.
    void rename();
    void deleteDay();
    // Offers to save a modified day before it is replaced, or before the program ends (`question`).
    // False when the user answered Abbrechen, or Ja and the day was not saved: the command stops
    // there, so the work is not lost.
    bool saveQuestion(const QString& question = QStringLiteral("Möchten Sie Speichern?"));

private:
    void newDayAfter(bool askToSave);

    DayEditorWindow& m_window;
    LunarisState& m_state;
    AppServices& m_services;
};
