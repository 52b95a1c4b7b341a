#pragma once

#include <QString>
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
struct TLocalSql
{
    QString sql;
    QVariantList params;

    // isDateColumn answers, for an identifier met in the statement (possibly
    // qualified, "t.DocDate"), whether it names a date column.
    static TLocalSql prepare(const QString &statement, const std::function<bool(const QString &)> &isDateColumn);
};
