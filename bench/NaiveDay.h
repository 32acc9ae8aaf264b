#pragma once

#include "dayview/DayViewModel.h"
#include "editing/OpenDay.h"

#include <QList>
#include <QPointer>

#include <array>

class BenchSession;
class DayView;

// The operations done the way the behaviour describes them, measured beside the program's own: the
// doctor column rebuilt with a new treatment query for every block (nothing kept between blocks),
// the day loaded with a Template query for every chair, and clicking with that rebuild. The
// benchmarks run the loading on a file without the Template index.
// The naive way writes its blocks straight into columns of its own (the open day's are changed only
// through its steps): views laid over the window's columns, each covering its column, so that the
// window's frames paint these instead, as they would the program's.
class NaiveDay {
public:
    static constexpr int Columns = OpenDay::Columns;

    // Starts from what the window's columns show now (hours, captions, blocks, scroll position).
    explicit NaiveDay(BenchSession& session);
    ~NaiveDay();
    NaiveDay(const NaiveDay&) = delete;
    NaiveDay& operator=(const NaiveDay&) = delete;

    // Column i: the chairs, then the doctor column.
    DayView* view(int column) const { return m_views.at(column); }
    QList<const DayViewModel*> chairs() const;
    const DayViewModel& doctor() const;
    // A click placed or removed a block since the start.
    bool changed() const { return m_changed; }

    // Rebuilds the doctor column and the window's fee box.
    void DR_Load();
    // Loads the session's open day into the chair columns, one query per chair, and rebuilds with DR_Load above.
    void Termin_load();
    // A left (1) or right (2) click on a row of a chair column, placing or removing as the handler does.
    void click(int column, int button, int row);

private:
    BenchSession& m_session;
    std::array<DayViewModel, Columns> m_models;
    std::array<QPointer<DayView>, Columns> m_views;
    bool m_changed = false;
};
