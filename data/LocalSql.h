#pragma once

#include "EngineKind.h"
#include "FilterExpr.h"

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>

// Prepares a statement of the engine's local SQL for SQLite.
// Every quoted literal leaves the text and becomes a bound parameter. A
// literal compared with a date column (column op 'text' or 'text' op column)
// is read as month, day, year, separated by any non-digit characters, with a
// four-digit or two-digit year (two digits: 1950-2049), and is bound as ISO
// text "yyyy-mm-dd"; one that does not read raises EDatabaseError
// "'%s' is not a valid date". Identifiers and keywords are left as they are
// (SQLite matches column names without regard to case).
//
// Two more rewrites make the local SQL the engine's own dialect:
//  - Sum(...) becomes ard_sum(...), a sum that stops at a stored value that
//    is not an amount instead of counting it as 0 (SqlFunctions);
//  - normalizedSql is the same statement with every date column that is
//    compared, or named in ORDER BY or GROUP BY, read through ard_day():
//    on books where other programs wrote dates in other forms, this is the
//    statement that sees each stored date as the day it names. It is empty
//    when the statement compares or orders by no date column.
struct TLocalSql
{
    QString sql;
    QVariantList params;
    QString normalizedSql;
    QStringList summedColumns;  // the columns named inside Sum(...)
    // The comparisons of date columns with a day, and whether the statement
    // joins its conditions by AND alone (no OR, no NOT): the days it can
    // return are then those the comparisons leave. Comparisons inside a
    // CASE choose a value, not rows: they are not listed, and an OR or NOT
    // there leaves the statement conjunctive.
    QList<TFilterExpr::DateComparison> dateComparisons;
    bool conjunctive = true;

    // isDateColumn answers, for an identifier met in the statement (possibly
    // qualified, "t.DocDate"), whether it names a date column.
    // On a server (TEngineKind::PostgreSQL) Sum stays a plain sum (its
    // columns are typed: they hold numbers only), and every ORDER BY term
    // puts nulls first when ascending, last when descending, as SQLite
    // orders them.
    static TLocalSql prepare(const QString &statement, const std::function<bool(const QString &)> &isDateColumn,
                             TEngineKind engine = TEngineKind::SQLite);
};
