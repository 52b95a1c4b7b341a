#include "StoredDate.h"

#include <QTest>

class tst_StoredDate : public QObject
{
    Q_OBJECT

private slots:
    void day_data();
    void day();
};

void tst_StoredDate::day_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QDate>("expected");  // invalid: names no day

    const QDate tenth(2026, 12, 10);
    const auto row = [](const char *name, const char *stored, const QDate &d) {
        QTest::newRow(name) << QByteArray(stored) << d;
    };
    row("the program's own form", "2026-12-10", tenth);
    row("SQLite's datetime()", "2026-12-10 00:00:00", tenth);
    row("ISO date and time", "2026-12-10T08:30", tenth);
    row("seconds and fraction", "2026-12-10 23:59:59.999", tenth);
    row("UTC mark", "2026-12-10T08:30Z", tenth);
    row("a zone does not move the day", "2026-12-10 23:30+05:00", tenth);
    row("one-digit day", "2026-12-1", QDate(2026, 12, 1));
    row("one-digit month", "2026-1-5", QDate(2026, 1, 5));
    row("trailing blanks", "2026-12-10  ", tenth);
    row("leap day", "2024-02-29", QDate(2024, 2, 29));

    row("empty text", "", QDate());
    row("no such day", "2026-02-30", QDate());
    row("leap day of a common year", "2026-02-29", QDate());
    row("month 13", "2026-13-01", QDate());
    row("year 0", "0000-01-01", QDate());
    row("two-digit year", "26-12-10", QDate());
    row("five-digit year", "12026-12-10", QDate());
    row("three-digit day", "2026-12-100", QDate());
    row("leading blank", " 2026-12-10", QDate());
    row("day first", "10/12/2026", QDate());
    row("a word", "abc", QDate());
    row("a word after the day", "2026-12-10 abc", QDate());
    row("hour 24", "2026-12-10 24:00", QDate());
    row("a time without minutes", "2026-12-10 08", QDate());
    row("T without a time", "2026-12-10T", QDate());
}

void tst_StoredDate::day()
{
    QFETCH(QByteArray, stored);
    QFETCH(QDate, expected);
    QCOMPARE(StoredDate::day(stored.constData(), stored.size()), expected);
    QCOMPARE(StoredDate::isCanonical(stored.constData(), stored.size()),
             expected.isValid() && StoredDate::canonical(expected).toLatin1() == stored);
}

QTEST_GUILESS_MAIN(tst_StoredDate)
#include "tst_storeddate.moc"
