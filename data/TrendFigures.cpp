#include "TrendFigures.h"

#include "EDatabaseError.h"
#include "EngineCatalog.h"
#include "FilterExpr.h"
#include "LocalSql.h"
#include "StoredDate.h"
#include "TField.h"
#include "TQuery.h"

#include <cmath>

namespace TrendFigures {

namespace {

constexpr int Months = 12;

// A date as the local SQL writes it: month, day, year.
QString sqlDate(const QDate &d)
{
    return QLatin1Char('\'') + d.toString(QStringLiteral("MM/dd/yyyy")) + QLatin1Char('\'');
}

QDate lastOfMonth(const QDate &first)
{
    return first.addMonths(1).addDays(-1);
}

} // namespace

QList<QDate> monthsEndingWith(const QDate &lastDay)
{
    if (!lastDay.isValid())
        return {};
    const QDate last(lastDay.year(), lastDay.month(), 1);
    QList<QDate> months;
    for (int back = Months - 1; back >= 0; --back)
        months.append(last.addMonths(-back));
    if (!StoredDate::isStorable(months.first()) || !StoredDate::isStorable(lastOfMonth(months.last())))
        return {};
    return months;
}

QString monthlySumsSql(const QString &table, const QString &amount, const QList<QDate> &months)
{
    Q_ASSERT(months.size() == Months);
    QString sql = QStringLiteral("select ");
    for (int i = 0; i < months.size(); ++i) {
        if (i > 0)
            sql += QStringLiteral(", ");
        sql += QStringLiteral("Sum(CASE WHEN DocDate >= %1 AND DocDate <= %2 THEN %3 END) as M%4")
                   .arg(sqlDate(months.at(i)), sqlDate(lastOfMonth(months.at(i))), amount)
                   .arg(i + 1);
    }
    sql += QStringLiteral(" From %1 Where DocDate >= %2 AND DocDate <= %3")
               .arg(table, sqlDate(months.first()), sqlDate(lastOfMonth(months.last())));
    return sql;
}

QDate lastDayOf(const QString &periodWhere)
{
    if (periodWhere.trimmed().isEmpty())
        return {};
    // Read by the engine's own reader of the condition, so that the months
    // end where the Summary's statement takes the period to end.
    const TLocalSql prepared =
        TLocalSql::prepare(QStringLiteral("select 1 From Sales Where ") + periodWhere, &EngineCatalog::isDateColumn);
    if (!prepared.conjunctive)
        return {};
    const auto range = TFilterExpr::rangeOf(prepared.dateComparisons, QStringLiteral("DocDate"));
    return range ? range->to : QDate();
}

QList<TMonth> compute(const QString &alias, const QDate &lastDay)
{
    const QList<QDate> months = monthsEndingWith(lastDay);
    if (months.isEmpty())
        throw EDatabaseError(QStringLiteral("No twelve months the books can hold end with %1")
                                 .arg(lastDay.toString(Qt::ISODate)));

    QList<TMonth> out(Months);
    for (int i = 0; i < Months; ++i)
        out[i].first = months.at(i);
    struct Journal
    {
        const char *table;
        const char *amount;
        double TMonth::*figure;
    };
    static const Journal journals[] = {{"Sales", "Total", &TMonth::sales},
                                       {"Expenses", "Amount", &TMonth::expenses},
                                       {"Purchases", "Total", &TMonth::purchases}};
    for (const Journal &j : journals) {
        TQuery query;
        query.setObjectName(QStringLiteral("TrendsQuery"));
        query.setDatabaseName(alias);
        query.setSQL(monthlySumsSql(QString::fromLatin1(j.table), QString::fromLatin1(j.amount), months));
        query.Open();
        for (int i = 0; i < Months; ++i)
            out[i].*j.figure = query.FieldByName(QStringLiteral("M%1").arg(i + 1))->AsFloat();
    }
    for (TMonth &m : out)
        m.profit = m.sales - m.expenses - m.purchases;
    return out;
}

QList<double> axisTicks(double low, double high, int maxSteps)
{
    const double lo = std::min(low, 0.0);
    const double hi = std::max(high, 0.0);
    if (!(hi > lo) || !std::isfinite(hi - lo) || maxSteps < 1)
        return {0.0, 1.0};
    const double raw = (hi - lo) / maxSteps;
    double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    static const double factors[] = {1, 2, 5};
    for (int tries = 0; tries < 8; ++tries) {
        for (double f : factors) {
            const double step = f * magnitude;
            const double from = std::floor(lo / step);
            const double to = std::ceil(hi / step);
            if (step < raw || to - from > maxSteps)
                continue;
            QList<double> ticks;
            for (double k = from; k <= to; ++k)
                ticks.append(k * step);
            return ticks;
        }
        magnitude *= 10;
    }
    return {lo, hi};
}

} // namespace TrendFigures
