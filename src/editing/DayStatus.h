#pragma once

#include <QString>
#include <QTime>

class OpenDay;
struct LunarisState;

// The first panel of the status bar: whether the open day is saved, and what the user should know about
// it (a database that may only be read, blocks past the closing time, rows not shown, a reload after a
// change elsewhere, what the last command left undone).
class DayStatus {
public:
    DayStatus(const OpenDay& day, const LunarisState& state) : m_day(day), m_state(state) {}

    // The text of the panel now; `readOnlyReason`: why nothing can be written (empty: it can).
    QString text(const QString& readOnlyReason) const;

    // Another day, or the same one read again, is on screen: what was said of the one before is past.
    void dayLoaded();
    // Saved now: the day as this window saved it is the stored one.
    void daySaved(const QTime& at);
    // The day was loaded again or followed a rename after a change elsewhere; told while it is unmodified.
    void setReloaded(const QString& text) { m_reloaded = text; }
    // What a notice is about: one that tells of the recovery copy failing ends once a copy is written again.
    enum class Topic { Program, RecoveryCopy };
    // A notice of the program (settings replaced, a backup, the recovery copy), until the next one.
    void setNotice(const QString& text, Topic topic = Topic::Program)
    {
        m_notice = text;
        m_noticeTopic = topic;
    }
    const QString& notice() const { return m_notice; }
    // What failed before has succeeded now: a notice about it is past.
    void succeeded(Topic topic);
    // What the last command left undone ("„Speichern unter“ abgebrochen"); ends with the next step.
    void setStepNotice(const QString& text) { m_stepNotice = text; }
    void stepMade() { m_stepNotice.clear(); }

    // "Endet nach Praxisschluss (18:00)" while a block ends after the closing time; else empty.
    static QString lateNotice(const OpenDay& day, const QString& closeTime);
    // "2 gespeicherte Einträge nicht angezeigt"; empty for none.
    static QString unshownCount(qsizetype count);

private:
    const OpenDay& m_day;
    const LunarisState& m_state;
    QString m_notice;
    Topic m_noticeTopic = Topic::Program;
    QString m_reloaded;
    QString m_stepNotice;
    // When the open day was last saved in this session; invalid: not yet.
    QTime m_savedAt;
};
