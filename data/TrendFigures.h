#pragma once

#include <QDate>
#include <QList>
#include <QString>

// Twelve months of sales, expenses and purchases, month by month, as the
// Trends tab charts them. The sums are the engine's: one local SQL statement
// per journal, each month a conditional Sum over the days of that month,
// with the same date comparisons the Summary's statements make, so that a
// date another program stored in another form counts in the month of the
// day it names, and a value that names no day counts nowhere.
namespace TrendFigures {

struct TMonth
{
    QDate first;  // the month's first day
    double sales = 0;
    double expenses = 0;
    double purchases = 0;
    double profit = 0;  // sales - expenses - purchases, in that order

    bool operator==(const TMonth &) const = default;
};

// The first days of the twelve months that end with the month of `lastDay`,
// oldest first. Empty when `lastDay` is invalid or the months reach outside
// the days the books can store (years 1 to 9999).
QList<QDate> monthsEndingWith(const QDate &lastDay);

// The statement of one journal's twelve monthly sums over `months` (as
// monthsEndingWith gives them): one row, columns M1 to M12, each null when
// its month holds no amount. Only the dates of the months are written into
// it; `table` and `amount` are the program's own names.
QString monthlySumsSql(const QString &table, const QString &amount, const QList<QDate> &months);

// The last day of the period that a Summary condition covers
// ("DocDate = 'mm/dd/yyyy'" or "DocDate >= '...' AND DocDate <= '...'"),
// read as the engine reads the condition's dates. Invalid when the
// condition closes no range of days (empty, for instance). Throws
// EDatabaseError when a date in it does not read.
QDate lastDayOf(const QString &periodWhere);

// The twelve months that end with the month of `lastDay`, summed by the
// engine on the books of `alias`. Throws EDatabaseError as a query does
// (books that cannot be read, a stored amount that is not one), and when
// `lastDay` leaves no twelve months the books can store.
QList<TMonth> compute(const QString &alias, const QDate &lastDay);

// Where a value axis from `low` to `high` puts its labelled lines: from a
// multiple of the step at or below min(low, 0) to one at or above
// max(high, 0), a step of 1, 2 or 5 times a power of ten giving at most
// `maxSteps` steps. Zero is always one of them, so that a loss shows below
// the line of zero. A range of nothing (all figures 0) gives 0 and 1.
QList<double> axisTicks(double low, double high, int maxSteps = 6);

} // namespace TrendFigures
