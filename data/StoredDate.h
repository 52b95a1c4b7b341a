#pragma once

#include <QDate>
#include <QString>

// How a date column's stored values are read. The program writes a date as
// "yyyy-mm-dd"; other programs that share the books write other forms.
// A value names a day when it is text of the form year-month-day with a
// four-digit year and one or two digits for the month and the day, forming
// a real calendar date, optionally followed by a time of day after a blank
// or "T" (hh:mm, hh:mm:ss or hh:mm:ss.fff, then optionally "Z" or +hh:mm or
// -hh:mm) and by trailing blanks. The day is the one written: a time zone
// never moves it. Anything else (another text, a number, a blob) names no
// day and reads as an empty date.
//
// The engine's SQL reads dates with this same function (the SQL function
// ard_day), so what a filter or an order in SQL takes for a value's day is
// always what the program shows for it.
namespace StoredDate {

// The day a stored text names, or an invalid date.
QDate day(const char *utf8, qsizetype bytes);
QDate day(const QString &text);

// Whether the text is exactly the program's own form of a real day.
bool isCanonical(const char *utf8, qsizetype bytes);

// The program's own form of a day: "yyyy-mm-dd". Only days of the years 1
// to 9999 can be written.
QString canonical(const QDate &day);
bool isStorable(const QDate &day);

} // namespace StoredDate
