#pragma once

#include "dayview/DayViewModel.h"
#include "ui/Announcer.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>

class OpenDay;
class QUndoCommand;

// What a screen reader hears after each step that changes the open day: what was placed, removed or
// moved (undone or made again), the fee total after it, and doctor rows that became or stopped being
// overloaded; an opened day and a save. Follows the open day's changes after the window has
// redrawn them, so the doctor column and the fee are those of the new state.
class EditAnnouncements : public QObject {
    Q_OBJECT
public:
    enum class Kind { Made, Undone, Redone };

    // fee: the day's fee total as the window shows it.
    EditAnnouncements(OpenDay& day, std::function<QString()> fee, QObject* parent = nullptr);

    Announcer& announcer() { return m_announcer; }
    // Another day (or the same one read again) is on screen: says so, and later steps are compared with it.
    void dayLoaded();
    // "Gespeichert".
    void daySaved();

    // One chair's blocks, named by the chair.
    struct Chair {
        QString name;
        QList<DayBlock> blocks;
    };
    // "Rückgängig: KONT 09:10 entfernt, Honorar 885. Arzt nicht mehr überlastet 09:20"; overloaded:
    // the start times of the overloaded doctor rows.
    static QString describe(Kind kind, const QList<Chair>& before, const QList<Chair>& after,
                            const QStringList& overloadedBefore, const QStringList& overloadedAfter,
                            const QString& fee);

private:
    void stepMade();
    Kind kindOfStep() const;
    void takeSnapshot();
    QList<Chair> chairs() const;
    QStringList overloadedRows() const;

    OpenDay& m_day;
    std::function<QString()> m_fee;
    Announcer m_announcer;
    // The day as the last announcement left it.
    QList<Chair> m_chairs;
    QStringList m_overloaded;
    // The day last loaded: loaded again, it is "neu geladen".
    QString m_loadedName;
    // The history as it was, to tell a step undone or made again from a new one.
    int m_index = 0;
    QList<const QUndoCommand*> m_commands;
};
