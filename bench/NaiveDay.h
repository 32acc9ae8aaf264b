#pragma once

#include <QString>

class BenchSession;

// The operations done the way the behaviour describes them, measured beside the program's own: the
// doctor column rebuilt with a new treatment query for every block (nothing kept between blocks),
// the day loaded with a Template query for every chair, and clicking with that rebuild. The
// benchmarks run the loading on a file without the Template index.
namespace NaiveDay {

// Rebuilds the doctor column and the fee box of the session's window.
void DR_Load(BenchSession& session);
// Loads the open day into the chair columns, one query per chair, and rebuilds with DR_Load above.
void Termin_load(BenchSession& session);
// A left (1) or right (2) click on a row of a chair column, placing or removing as the handler does.
void click(BenchSession& session, int column, int button, int row);

} // namespace NaiveDay
