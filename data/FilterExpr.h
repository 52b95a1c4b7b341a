#pragma once

#include "FieldTypes.h"
#include "FormatSettings.h"

#include <QDate>
#include <QString>
#include <QVariantList>
#include <functional>
#include <optional>

// A table filter as the user's code writes it:
//   DocDate >= '09/03/2024' AND DocDate <= '15/03/2024'
// Grammar: expr := term (OR term)*; term := factor (AND factor)*;
// factor := '(' expr ')' | NOT factor | field op literal;
// op is one of = <> < > <= >=; literal is a quoted text ('' stands for one
// quote) or a bare number. Keywords and field names match without regard to
// case. The literal is read by the field's own kind when the filter is
// parsed: dates with the user's short date format, numbers with the user's
// decimal separator. The result is an SQL condition with "?" placeholders
// and the values to bind, so no literal ever reaches the SQL text.
class TFilterExpr
{
public:
    struct Column
    {
        QString sqlName;  // column name as the engine stores it
        TFieldType type;
    };
    using Resolver = std::function<std::optional<Column>(const QString &fieldName)>;

    // Parses the text. Throws EDatabaseError:
    //  - "'%s' is not a valid date" for a date literal that does not read;
    //  - "'%s' is not a valid floating point value for field '%s'" and
    //    "'%s' is not a valid integer value for field '%s'" for numbers;
    //  - "Field '%s' not found" for an unknown field;
    //  - "Filter expression incorrectly terminated" / "Invalid filter
    //    expression: %s" for text that does not follow the grammar, and
    //    the latter for groups and NOTs nested more than 32 deep.
    // An empty or all-blank text gives an empty expression (no condition).
    static TFilterExpr parse(const QString &text, const Resolver &resolve, const TFormatSettings &fs,
                             const QDate &today);

    bool isEmpty() const { return m_sql.isEmpty(); }
    // The condition, parenthesised, with "?" placeholders; columns are quoted.
    const QString &sql() const { return m_sql; }
    // The same condition with every date column read through ard_day(), for
    // books where dates were stored in other forms; the same placeholders.
    const QString &normalizedSql() const { return m_normalizedSql; }
    // Values for the placeholders in order: dates as ISO text, integers as
    // qint64, floats as double, texts as QString.
    const QVariantList &params() const { return m_params; }

    // The days a date column must lie in for a record to pass, when the
    // condition is comparisons joined by AND; an invalid end is open. Nothing
    // when the condition does not bound the column (no comparison on it, or
    // OR or NOT anywhere).
    struct DateRange
    {
        QDate from;
        QDate to;
    };
    std::optional<DateRange> dateRange(const QString &column) const;

    // One comparison of a date column with a day, the column first.
    struct DateComparison
    {
        QString column;
        QString op;
        QDate day;
    };
    // The days that comparisons joined by AND leave for a column; nothing
    // when none of them is on the column.
    static std::optional<DateRange> rangeOf(const QList<DateComparison> &comparisons, const QString &column);

private:
    QString m_sql;
    QString m_normalizedSql;
    QVariantList m_params;
    QList<DateComparison> m_dates;
    bool m_branches = false;
};
