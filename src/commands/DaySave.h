#pragma once

#include <functional>

class DayEditorWindow;
class OpenDay;
struct AppServices;
struct LunarisState;

// Writes the open day's blocks, and the rows it keeps aside, under CurrentIdealtag in one transaction: asks
// for a name first when it has none, and asks before it overwrites a day changed or deleted elsewhere.
class DaySave {
public:
    enum class Outcome {
        Saved,
        NotSaved,      // refused, failed (after its message) or not overwritten
        NameCancelled, // the name dialog was left without a name
        SavedAs        // a day read incompletely went to Save As, which ran its own save
    };

    DaySave(DayEditorWindow& window, OpenDay& day, LunarisState& state, AppServices& services);

    // `saveAs`: the Save As command, offered for a day that could not be read completely.
    Outcome save(const std::function<void()>& saveAs);

private:
    DayEditorWindow& m_window;
    OpenDay& m_day;
    LunarisState& m_state;
    AppServices& m_services;
};
