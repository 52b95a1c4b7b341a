#include "EngineDatabase.h"
#include "TestAlias.h"
#include "TrendFigures.h"

#include <QtTest>

using TrendFigures::TMonth;

// The twelve months the Trends tab charts: which months, the statement that
// sums them, and the sums the engine gives on real books.
class tst_TrendFigures : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;

    void sale(const QVariant &day, const QVariant &total)
    {
        m_alias->exec(QStringLiteral("INSERT INTO Sales (DocDate, Total) VALUES (?, ?)"), {day, total});
    }
    void expense(const QVariant &day, double amount)
    {
        m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, ExpType, Amount) VALUES (?, 1, ?)"), {day, amount});
    }
    void purchase(const QVariant &day, double total)
    {
        m_alias->exec(QStringLiteral("INSERT INTO Purchases (DocDate, Total) VALUES (?, ?)"), {day, total});
    }

private Q_SLOTS:
    void init() { m_alias = std::make_unique<TestAlias>(); }
    void cleanup() { m_alias.reset(); }

    void monthsEndingWith_data()
    {
        QTest::addColumn<QDate>("lastDay");
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("last");
        QTest::newRow("mid-month") << QDate(2024, 6, 15) << QDate(2023, 7, 1) << QDate(2024, 6, 1);
        QTest::newRow("a leap day") << QDate(2024, 2, 29) << QDate(2023, 3, 1) << QDate(2024, 2, 1);
        QTest::newRow("December: one calendar year") << QDate(2024, 12, 31) << QDate(2024, 1, 1) << QDate(2024, 12, 1);
        QTest::newRow("the first day of January") << QDate(2025, 1, 1) << QDate(2024, 2, 1) << QDate(2025, 1, 1);
        QTest::newRow("no day") << QDate() << QDate() << QDate();
        QTest::newRow("before the first storable year") << QDate(1, 3, 1) << QDate() << QDate();
    }
    void monthsEndingWith()
    {
        QFETCH(QDate, lastDay);
        QFETCH(QDate, first);
        QFETCH(QDate, last);
        const QList<QDate> months = TrendFigures::monthsEndingWith(lastDay);
        if (!first.isValid()) {
            QVERIFY(months.isEmpty());
            return;
        }
        QCOMPARE(months.size(), 12);
        QCOMPARE(months.first(), first);
        QCOMPARE(months.last(), last);
        for (int i = 1; i < months.size(); ++i)
            QCOMPARE(months.at(i), months.at(i - 1).addMonths(1));
    }

    void lastDayOf_data()
    {
        QTest::addColumn<QString>("periodWhere");
        QTest::addColumn<QDate>("lastDay");
        QTest::newRow("one day") << "DocDate = '03/13/2024'" << QDate(2024, 3, 13);
        QTest::newRow("a range") << "DocDate >= '03/09/2024' AND DocDate <= '03/15/2024'" << QDate(2024, 3, 15);
        QTest::newRow("another date separator") << "DocDate >= '02.01.2024' AND DocDate <= '02.29.2024'"
                                                << QDate(2024, 2, 29);
        QTest::newRow("a custom range back to front: its To")
            << "DocDate >= '05/01/2024' AND DocDate <= '04/01/2024'" << QDate(2024, 4, 1);
        QTest::newRow("no period yet") << "" << QDate();
    }
    void lastDayOf()
    {
        QFETCH(QString, periodWhere);
        QFETCH(QDate, lastDay);
        QDate got;
        QVERIFY_DB(got = TrendFigures::lastDayOf(periodWhere));
        QCOMPARE(got, lastDay);
    }

    void statementIsLocalSqlOfDatesOnly()
    {
        const QString sql = TrendFigures::monthlySumsSql(QStringLiteral("Sales"), QStringLiteral("Total"),
                                                         TrendFigures::monthsEndingWith(QDate(2024, 2, 10)));
        QVERIFY(sql.startsWith(QLatin1String(
            "select Sum(CASE WHEN DocDate >= '03/01/2023' AND DocDate <= '03/31/2023' THEN Total END) as M1, ")));
        QVERIFY(sql.contains(QLatin1String(
            "Sum(CASE WHEN DocDate >= '02/01/2024' AND DocDate <= '02/29/2024' THEN Total END) as M12 ")));
        QVERIFY(sql.endsWith(QLatin1String(" From Sales Where DocDate >= '03/01/2023' AND DocDate <= '02/29/2024'")));
    }

    // The sums on real books: each record in the month of the day it names,
    // whatever form another program stored that day in; the months' edges,
    // a leap day, a month with nothing, a loss; nothing outside the twelve.
    void sumsByMonth()
    {
        sale(QStringLiteral("2023-06-30"), 999);               // the day before the first month
        sale(QStringLiteral("2023-07-01"), 50);                // the first month's first day
        sale(QStringLiteral("2024-01-10"), QVariant());         // no total: nothing
        sale(QStringLiteral("2024-02-29"), 1500.25);           // a leap day
        sale(QStringLiteral("2024-2-29 10:00"), 100);          // the same day in another program's form
        sale(QStringLiteral("2024-03-01"), 0.1);
        sale(QStringLiteral("2024-03-31"), 0.2);
        sale(QStringLiteral("not a day"), 777);                // names no day: in no month
        sale(QStringLiteral("2024-07-01"), 888);               // the day after the last month
        expense(QStringLiteral("2024-02-01"), 300);
        expense(QStringLiteral("2024-04-15"), 200);            // April: a loss
        purchase(QStringLiteral("2024-02-10"), 1000);
        purchase(QStringLiteral("2024-03-15"), 0.3);

        QList<TMonth> got;
        QVERIFY_DB(got = TrendFigures::compute(QStringLiteral("ARD"), QDate(2024, 6, 15)));
        QCOMPARE(got.size(), 12);
        QList<TMonth> expected;
        for (int i = 0; i < 12; ++i)
            expected.append(TMonth{QDate(2023, 7, 1).addMonths(i)});
        expected[0].sales = 50;
        expected[7].sales = 1500.25 + 100;
        expected[7].expenses = 300;
        expected[7].purchases = 1000;
        expected[8].sales = 0.1 + 0.2;
        expected[8].purchases = 0.3;
        expected[9].expenses = 200;
        for (TMonth &m : expected)
            m.profit = m.sales - m.expenses - m.purchases;
        for (int i = 0; i < 12; ++i) {
            const TMonth &g = got.at(i), &e = expected.at(i);
            QVERIFY2(g == e, qPrintable(QStringLiteral("%1: %2 %3 %4 %5")
                                            .arg(g.first.toString(Qt::ISODate))
                                            .arg(g.sales, 0, 'g', 17)
                                            .arg(g.expenses, 0, 'g', 17)
                                            .arg(g.purchases, 0, 'g', 17)
                                            .arg(g.profit, 0, 'g', 17)));
        }
        QVERIFY(got.at(8).profit > 0);   // 0.1 + 0.2 - 0.3 in double precision
        QVERIFY(got.at(9).profit < 0);
    }

    // A stored amount that is not one stops the sums with the engine's
    // message naming it, as the Summary's sums do.
    void anAmountThatIsNotOneStopsTheSums()
    {
        sale(QStringLiteral("2024-03-01"), QStringLiteral("twelve"));
        QString message;
        try {
            TrendFigures::compute(QStringLiteral("ARD"), QDate(2024, 3, 31));
        } catch (const EDatabaseError &e) {
            message = e.message();
        }
        QVERIFY2(message.contains(QLatin1String("Total")), qPrintable(message));
    }

    void axisTicks_data()
    {
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<QList<double>>("ticks");
        QTest::newRow("nothing to show") << 0.0 << 0.0 << QList<double>{0, 1};
        QTest::newRow("gains only, from zero") << 120.0 << 1500.25 << QList<double>{0, 500, 1000, 1500, 2000};
        QTest::newRow("a loss below zero") << -200.0 << 1600.25 << QList<double>{-500, 0, 500, 1000, 1500, 2000};
        QTest::newRow("losses only, up to zero") << -45.0 << -3.0 << QList<double>{-50, -40, -30, -20, -10, 0};
        QTest::newRow("cents") << 0.0 << 0.3 << QList<double>{0, 0.05, 0.1, 0.15, 0.2, 0.25, 0.3};
    }
    void axisTicks()
    {
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(QList<double>, ticks);
        const QList<double> got = TrendFigures::axisTicks(low, high);
        QCOMPARE(got.size(), ticks.size());
        for (int i = 0; i < got.size(); ++i)
            QVERIFY2(qFuzzyCompare(1 + got.at(i), 1 + ticks.at(i)), qPrintable(QString::number(got.at(i))));
    }
};

QTEST_GUILESS_MAIN(tst_TrendFigures)
#include "tst_trendfigures.moc"
