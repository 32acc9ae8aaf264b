#pragma once

#include "commands/DaySave.h"
#include "editing/DayPlacement.h"
#include "editing/DayStatus.h"

#include <QString>

class AnalysisDock;
class ColumnLayout;
class DayColumns;
class EditAnnouncements;
class NoticeBar;
class OpenDay;
class QLabel;
class QWidget;
struct AppServices;
struct LunarisState;

// What the main window shows and says as the open day changes: every step, replacement, load and save is
// drawn (only the chairs a step changed), the doctor column and the fee follow, the status panel and the bar
// about a change elsewhere are brought up to date, and a screen reader hears what happened.
class DayFeedback {
public:
    struct Parts {
        QWidget& window; // its title names the open day
        QLabel& statusPanel;
        NoticeBar& changedBar;
        AnalysisDock& analysis;
        ColumnLayout& layout;
        DayColumns& screen;
        DayStatus& status;
    };

    // Follows the open day's steps from now on; made before the announcer, so that a screen reader hears
    // each step with the new doctor column and fee.
    DayFeedback(Parts parts, OpenDay& day, LunarisState& state, AppServices& services);
    void setAnnouncements(EditAnnouncements& announcements) { m_announcements = &announcements; }

    void showStatus();
    // A notice of the program (settings replaced, a backup, the recovery copy), until the next one.
    void setStatusText(const QString& text, DayStatus::Topic topic = DayStatus::Topic::Program);
    // What a notice told of as failing has succeeded now: the notice goes.
    void noticeSettled(DayStatus::Topic topic);
    // Days this window brought back from a backup: the open day among them is read again when unmodified,
    // else the bar tells of it. Not a change made elsewhere.
    void followRestoredDays(const QStringList& days);
    // Draws the day named CurrentIdealtag, with no history of edits.
    void load();
    // Draws the open day again as stored, keeping the scroll position; its history starts anew.
    void reloadInPlace();
    // After a save was tried: false when there was something to save and it was not saved.
    bool followSave(DaySave::Outcome outcome);
    // The status bar and a screen reader say that the command's name dialog was cancelled.
    void tellCancelled(const QString& command);

private:
    void followSteps(const QList<int>& chairs);
    void followReplacement(DayReplacement reason, const QString& notice);

    Parts m_parts;
    OpenDay& m_day;
    LunarisState& m_state;
    AppServices& m_services;
    EditAnnouncements* m_announcements = nullptr;
    // What the next load is: an opened day or the same one read again.
    DayReplacement m_loadReason = DayReplacement::Opened;
};
