#pragma once

#include "ui/Announcer.h"

#include <QHash>
#include <QList>
#include <QObject>

class DayView;
class QComboBox;
class QPushButton;
struct AppServices;
struct LunarisState;

// The small controls that serve editing: the treatment list sets the treatment a left click places,
// "AM<>PM" jumps between morning and afternoon, and all columns scroll together.
class EditingControls : public QObject {
    Q_OBJECT
public:
    // columns: all eleven day views of the window, chairs first.
    EditingControls(QObject* parent, QList<DayView*> columns, QComboBox& treatments, QPushButton& amPm,
                    LunarisState& state, AppServices& services);

    // Reads the treatment codes into the list again, keeping the chosen one.
    void refreshTreatments();
    void DBComboBeh_Change();
    void cmdZeit_Click();
    void SSDay1_FirstRowChange(int index, int row);

private:
    // Screen readers hear the chosen treatment whole ("KONT – Kontrolle, 20 Minuten, 25,50 €"): as
    // the list's description when it gets the focus, announced when it changes there.
    void describeChoice();
    // The drop-down's list as wide as its widest row.
    void fitListWidth();

    QList<DayView*> m_columns;
    QComboBox& m_treatments;
    LunarisState& m_state;
    AppServices& m_services;
    // The treatments' names by code, for the day views' rows.
    QHash<QString, QString> m_names;
    Announcer m_announcer;
};
