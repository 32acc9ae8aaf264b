#pragma once

#include <functional>

class DayEditorWindow;
class OpenDay;
class RecoveryFile;
class RecoveryKeeper;
class QString;
struct AppServices;
struct LunarisState;

// At the start: a copy of unsaved work left by a crash, or put off before, is offered back ("Wiederherstellen"),
// discarded ("Verwerfen") or put off again ("Später", also Esc and the close box). A recovered copy is the
// day as stored now with the copy's rows on it as one undoable step, under the name the day has now.
class RecoveryOffer {
public:
    using StatusText = std::function<void(const QString&)>;

    RecoveryOffer(DayEditorWindow& window, OpenDay& day, RecoveryKeeper& keeper, LunarisState& state,
                  AppServices& services, StatusText status);

    // One day can be recovered into the window; the copies after it wait for the next start.
    void offer();

private:
    // True when this copy was recovered into the window.
    bool offerCopy(const RecoveryFile& file);

    DayEditorWindow& m_window;
    OpenDay& m_day;
    RecoveryKeeper& m_keeper;
    LunarisState& m_state;
    AppServices& m_services;
    StatusText m_status;
};
