#pragma once

#include <QString>

struct sqlite3;

// The functions our SQL relies on, installed on every SQLite connection of
// the engine (the program's, the administration tool's, the tests').
//
//  ard_day(value)  the day a stored date value names, as "yyyy-mm-dd", or
//                  null when it names none (StoredDate::day). Filters and
//                  orders that must see a date the way the program shows
//                  it use this on books where other forms were found.
//  ard_sum(value)  the local SQL's Sum: SQLite's own sum, except that a
//                  stored value that is not an amount (text, a blob, a
//                  number of magnitude 1E15 or more) stops the statement
//                  with an error instead of counting as 0 or overflowing.
//  lower(value)    the text in lower case by Unicode's rules (É is é), as
//                  PostgreSQL's lower() gives it; SQLite's own folds only A
//                  to Z. Case-blind comparisons are written with it.
namespace SqlFunctions {

void install(sqlite3 *db);

// The error text ard_sum stops with starts with this; the engine then finds
// the record that holds the value to name it.
inline constexpr char BadAmountMarker[] = "ard_sum: not an amount: ";

} // namespace SqlFunctions
