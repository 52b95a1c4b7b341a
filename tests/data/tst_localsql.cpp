#include "EDatabaseError.h"
#include "EngineCatalog.h"
#include "LocalSql.h"
#include "SqlFunctions.h"
#include "TestAlias.h"
#include "TestEngines.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QTest>

// Prints the driver's message when a step against the database fails.
#define QVERIFY_SQL(q, stmt) QVERIFY2((q).stmt, qPrintable((q).lastError().text()))

namespace {

const QString kConnection = QStringLiteral("tst_localsql");

TLocalSql prepared(const QString &statement)
{
    return TLocalSql::prepare(statement, &EngineCatalog::isDateColumn);
}

// A few expenses around the week of Saturday 9 to Friday 15 March 2024.
bool insertExpenses(QSqlQuery &q)
{
    struct Expense
    {
        const char *date;  // ISO, as the engine stores it; null for no date
        double amount;
        int expType;
        const char *remarks;
    };
    const Expense rows[] = {
        {"2024-03-08", 1, 1, "day before"},
        {"2024-03-09", 10, 1, "first day"},
        {"2024-03-12", 100, 2, "O'Brien"},
        {"2024-03-15", 1000, 1, "last day"},
        {"2024-03-16", 10000, 2, "day after"},
        {"2023-03-12", 7, 2, "a year earlier"},
        {"2024-09-03", 20, 1, "day and month swapped"},
        {nullptr, 100000, 2, "'); DROP TABLE Sales; --"},
    };
    if (!q.prepare(
            QStringLiteral("INSERT INTO Expenses (DocDate, Amount, ExpType, Remarks, AccID) VALUES (?, ?, ?, ?, 1)")))
        return false;
    for (const Expense &e : rows) {
        q.addBindValue(e.date ? QVariant(QString::fromLatin1(e.date)) : QVariant(QMetaType(QMetaType::QString)));
        q.addBindValue(e.amount);
        q.addBindValue(e.expType);
        q.addBindValue(QString::fromLatin1(e.remarks));
        if (!q.exec())
            return false;
    }
    return true;
}

} // namespace

class tst_LocalSql : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void prepare_data();
    void prepare();
    void invalidDate_data();
    void invalidDate();
    void unterminatedQuote_data();
    void unterminatedQuote();
    void selectsRows_data();
    void selectsRows();
    void dialect_data();
    void dialect();
    void serverDialect_data();
    void serverDialect();
    void normalizedReadsDatesByTheirDay();

private:
    QSqlDatabase db() const { return QSqlDatabase::database(kConnection); }
};

// A fresh in-memory database with the engine's schema and the expenses.
void tst_LocalSql::init()
{
    QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnection);
    d.setDatabaseName(QStringLiteral(":memory:"));
    QVERIFY2(d.open(), qPrintable(d.lastError().text()));
    SqlFunctions::install(*static_cast<sqlite3 *const *>(d.driver()->handle().constData()));
    QSqlQuery q(d);
    for (const QString &s : EngineCatalog::createStatements())
        QVERIFY_SQL(q, exec(s));

    QVERIFY2(insertExpenses(q), qPrintable(q.lastError().text()));
}

void tst_LocalSql::cleanup()
{
    {
        QSqlDatabase d = QSqlDatabase::database(kConnection, false);
        d.close();
    }
    QSqlDatabase::removeDatabase(kConnection);
}

void tst_LocalSql::prepare_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("params");

    const QString head = QStringLiteral("select ExpType,Sum(Amount) as Amount From Expenses Where ");
    const QString preparedHead = QStringLiteral("select ExpType,ard_sum(Amount) as Amount From Expenses Where ");
    const QString tail = QStringLiteral(" Group By ExpType");
    const auto iso = [](const char *s) { return QVariant(QString::fromLatin1(s)); };

    QTest::newRow("period range, slash separator")
        << head + QStringLiteral("DocDate >= '03/09/2024' AND DocDate <= '03/15/2024'") + tail
        << preparedHead + QStringLiteral("DocDate >= ? AND DocDate <= ?") + tail
        << QVariantList{iso("2024-03-09"), iso("2024-03-15")};
    QTest::newRow("single day, dot separator")
        << head + QStringLiteral("DocDate = '03.09.2024'") + tail << preparedHead + QStringLiteral("DocDate = ?") + tail
        << QVariantList{iso("2024-03-09")};
    QTest::newRow("short numbers and year, dash separator")
        << QStringLiteral("DocDate = '3-9-24'") << QStringLiteral("DocDate = ?") << QVariantList{iso("2024-03-09")};
    QTest::newRow("separator of several characters")
        << QStringLiteral("DocDate = '03. 09. 2024'") << QStringLiteral("DocDate = ?")
        << QVariantList{iso("2024-03-09")};
    QTest::newRow("two-digit years 49 and 50 on either side of the century")
        << QStringLiteral("DocDate <= '12/31/49' AND DocDate >= '1/1/50'")
        << QStringLiteral("DocDate <= ? AND DocDate >= ?") << QVariantList{iso("2049-12-31"), iso("1950-01-01")};
    QTest::newRow("leap day")
        << QStringLiteral("DocDate = '02/29/2024'") << QStringLiteral("DocDate = ?") << QVariantList{iso("2024-02-29")};
    QTest::newRow("literal before the column")
        << QStringLiteral("'03/15/2024' >= DocDate") << QStringLiteral("? >= DocDate")
        << QVariantList{iso("2024-03-15")};
    QTest::newRow("qualified, quoted and lower-case columns, every operator")
        << QStringLiteral("e.DocDate <> '12/31/1999' OR \"DocDate\" < '1/2/2000' OR docdate > '1/3/2000' "
                          "OR t.\"DocDate\"='1/4/2000'")
        << QStringLiteral("e.DocDate <> ? OR \"DocDate\" < ? OR docdate > ? OR t.\"DocDate\"=?")
        << QVariantList{iso("1999-12-31"), iso("2000-01-02"), iso("2000-01-03"), iso("2000-01-04")};
    QTest::newRow("text column keeps a date-like literal as text")
        << QStringLiteral("Remarks = '03/09/2024' AND DocDate = '03/09/2024'")
        << QStringLiteral("Remarks = ? AND DocDate = ?") << QVariantList{iso("03/09/2024"), iso("2024-03-09")};
    QTest::newRow("date column not compared: LIKE pattern stays text")
        << QStringLiteral("DocDate LIKE '2024-03%'") << QStringLiteral("DocDate LIKE ?") << QVariantList{iso("2024-03%")};
    QTest::newRow("doubled quote")
        << QStringLiteral("Remarks = 'O''Brien'") << QStringLiteral("Remarks = ?") << QVariantList{iso("O'Brien")};
    QTest::newRow("hostile literal")
        << QStringLiteral("Remarks = '''); DROP TABLE Sales; --'") << QStringLiteral("Remarks = ?")
        << QVariantList{iso("'); DROP TABLE Sales; --")};
    QTest::newRow("quotes inside an identifier and a comment are not literals")
        << QStringLiteral("select \"it's\" From Sales -- don't\nWhere Id = 5 /* 'x' */")
        << QStringLiteral("select \"it's\" From Sales -- don't\nWhere Id = 5 /* 'x' */") << QVariantList{};

    const char *const unchanged[] = {
        "select AccID,( Sum(Increase) - Sum(Decrease) ) as Balance From AccTrans Group by AccID",
        "select ExpType,Sum(Amount) as Amount From Expenses Where 1 <> 2 Group By ExpType",
        "Select Max(ID) as MaxID From Sales",
        "select * From AccTrans Where AccID = 5 Order By DocDate",
        "select * From Expenses Where ExpType = 12 Order By DocDate",
    };
    // Only Sum changes: it becomes the sum that refuses what is not an amount.
    for (const char *s : unchanged)
        QTest::addRow("no literals: %s", s) << QString::fromLatin1(s)
                                            << QString::fromLatin1(s).replace(QStringLiteral("Sum("), QStringLiteral("ard_sum("))
                                            << QVariantList{};
}

void tst_LocalSql::prepare()
{
    QFETCH(QString, statement);
    QFETCH(QString, sql);
    QFETCH(QVariantList, params);

    const TLocalSql out = prepared(statement);
    QCOMPARE(out.sql, sql);
    QCOMPARE(out.params, params);
    for (const QVariant &p : out.params)
        QCOMPARE(p.typeId(), QMetaType::QString);
}

void tst_LocalSql::invalidDate_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("literal");

    const auto row = [](const char *name, const char *statement, const char *literal) {
        QTest::newRow(name) << QString::fromUtf8(statement) << QString::fromUtf8(literal);
    };
    row("day that does not exist", "DocDate = '02/30/2024'", "02/30/2024");
    row("29 February outside a leap year", "DocDate = '02/29/2023'", "02/29/2023");
    row("day first, read as month 13", "DocDate >= '13/03/2024'", "13/03/2024");
    row("ISO order", "DocDate = '2024-03-09'", "2024-03-09");
    row("two numbers", "DocDate = '03/09'", "03/09");
    row("four numbers", "DocDate = '03/09/2024/1'", "03/09/2024/1");
    row("three-digit year", "DocDate = '03/09/202'", "03/09/202");
    row("month spelled", "DocDate = '09-Mar-2024'", "09-Mar-2024");
    row("empty text", "DocDate = ''", "");
    row("second literal of a range, before the column", "DocDate >= '03/09/2024' AND '03/32/2024' >= DocDate",
        "03/32/2024");
    row("quote in the text", "DocDate = '03/09/2024'''", "03/09/2024'");
}

void tst_LocalSql::invalidDate()
{
    QFETCH(QString, statement);
    QFETCH(QString, literal);

    try {
        prepared(statement);
        QFAIL("no error raised");
    } catch (const EDatabaseError &e) {
        QCOMPARE(e.message(), QStringLiteral("'%1' is not a valid date").arg(literal));
    }
}

void tst_LocalSql::unterminatedQuote_data()
{
    QTest::addColumn<QString>("statement");

    QTest::newRow("literal") << QStringLiteral("select * From Expenses Where Remarks = 'abc");
    QTest::newRow("literal ending in a doubled quote") << QStringLiteral("Remarks = 'abc''");
    QTest::newRow("identifier") << QStringLiteral("select \"Remarks From Expenses");
}

// A quote that never closes leaves no way to tell literal from statement, so
// nothing of it may go on to SQLite.
void tst_LocalSql::unterminatedQuote()
{
    QFETCH(QString, statement);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, prepared(statement));
}

void tst_LocalSql::selectsRows_data()
{
    QTest::addColumn<int>("engine");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QStringList>("rows");  // columns joined by ",", rows in any order

    const QString head = QStringLiteral("select ExpType,Sum(Amount) as Amount From Expenses Where ");
    const QString tail = QStringLiteral(" Group By ExpType");
    // Each case on SQLite and on the test server.
    const auto newRow = [](const char *name, const QString &statement, const QStringList &rows) {
        for (TEngineKind engine : {TEngineKind::SQLite, TEngineKind::PostgreSQL})
            QTest::addRow("%s: %s", engine == TEngineKind::SQLite ? "sqlite" : "postgresql", name)
                << int(engine) << statement << rows;
    };

    newRow("week, both ends included",
           head + QStringLiteral("DocDate >= '03/09/2024' AND DocDate <= '03/15/2024'") + tail,
           {QStringLiteral("1,1010"), QStringLiteral("2,100")});
    newRow("week, dot separator", head + QStringLiteral("DocDate >= '03.09.2024' AND DocDate <= '03.15.2024'") + tail,
           {QStringLiteral("1,1010"), QStringLiteral("2,100")});
    newRow("single day, dash separator", head + QStringLiteral("DocDate = '03-12-2024'") + tail,
           {QStringLiteral("2,100")});
    newRow("year with a two-digit year", head + QStringLiteral("DocDate >= '1/1/23' AND DocDate <= '12/31/23'") + tail,
           {QStringLiteral("2,7")});
    newRow("first day after the last: nothing",
           head + QStringLiteral("DocDate >= '03/15/2024' AND DocDate <= '03/09/2024'") + tail, {});
    newRow("all dates, undated included", head + QStringLiteral("1 <> 2") + tail,
           {QStringLiteral("1,1031"), QStringLiteral("2,110107")});
    newRow("doubled quote matches the stored quote",
           QStringLiteral("select ExpType, Remarks From Expenses Where Remarks = 'O''Brien'"),
           {QStringLiteral("2,O'Brien")});
    newRow("hostile literal is only compared",
           QStringLiteral("select ExpType, Remarks From Expenses Where Remarks = '''); DROP TABLE Sales; --'"),
           {QStringLiteral("2,'); DROP TABLE Sales; --")});
}

void tst_LocalSql::selectsRows()
{
    QFETCH(int, engine);
    QFETCH(QString, statement);
    QFETCH(QStringList, rows);

    // On the server: the same expenses in books of its own, and the
    // statement as the engine sends it there.
    std::unique_ptr<TestAlias> server;
    QSqlDatabase books = db();
    if (TEngineKind(engine) == TEngineKind::PostgreSQL) {
        if (TestEngines::serverAddress().isEmpty())
            QSKIP("no PostgreSQL test server: ARDENTRY_TEST_PG is not set (scripts/test starts one)");
        server = std::make_unique<TestAlias>(TEngineKind::PostgreSQL);
        books = server->fixture();
        QSqlQuery insert(books);
        QVERIFY2(insertExpenses(insert), qPrintable(insert.lastError().text()));
    }
    const TLocalSql prep = TLocalSql::prepare(statement, &EngineCatalog::isDateColumn, TEngineKind(engine));
    QSqlQuery q(books);
    QVERIFY_SQL(q, prepare(prep.sql));
    for (const QVariant &p : prep.params)
        q.addBindValue(p);
    QVERIFY_SQL(q, exec());
    QStringList got;
    while (q.next()) {
        QStringList cols;
        for (int i = 0; i < q.record().count(); ++i)
            cols << q.value(i).toString();
        got << cols.join(QLatin1Char(','));
    }
    got.sort();
    rows.sort();
    QCOMPARE(got, rows);
    QVERIFY2(books.tables().contains(QStringLiteral("Sales"), Qt::CaseInsensitive), "a literal reached the statement");
}

void tst_LocalSql::dialect_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("normalized");  // empty: nothing to read by the day
    QTest::addColumn<QStringList>("summed");
    QTest::addColumn<QString>("days");  // the date comparisons, "op day" joined by ", "; "or" when not all AND

    QTest::newRow("balances") << QStringLiteral(
        "select AccID,( Sum(Increase) - Sum(Decrease) ) as Balance From AccTrans Group by AccID")
                              << QString() << QStringList{QStringLiteral("Increase"), QStringLiteral("Decrease")}
                              << QString();
    QTest::newRow("period totals") << QStringLiteral(
        "select ExpType,Sum(Amount) as Amount From Expenses Where DocDate >= '03/09/2024' AND "
        "DocDate <= '03/15/2024' Group By ExpType")
                                   << QStringLiteral("select ExpType,ard_sum(Amount) as Amount From Expenses Where "
                                                     "ard_day(DocDate) >= ? AND ard_day(DocDate) <= ? Group By ExpType")
                                   << QStringList{QStringLiteral("Amount")}
                                   << QStringLiteral(">= 2024-03-09, <= 2024-03-15");
    QTest::newRow("the day written first, the comparison turned round")
        << QStringLiteral("select * From Sales Where '03/09/2024' < DocDate OR DocDate = '03/01/2024'")
        << QStringLiteral("select * From Sales Where ? < ard_day(DocDate) OR ard_day(DocDate) = ?") << QStringList{}
        << QStringLiteral("or > 2024-03-09, = 2024-03-01");
    QTest::newRow("history") << QStringLiteral("select * From AccTrans Where AccID = 3 Order By DocDate")
                             << QStringLiteral("select * From AccTrans Where AccID = 3 Order By ard_day(DocDate)")
                             << QStringList{} << QString();
    QTest::newRow("a date column only selected stays as stored")
        << QStringLiteral("select DocDate, sum (Amount) From Expenses") << QString()
        << QStringList{QStringLiteral("Amount")} << QString();
    QTest::newRow("conditional sums: only the WHERE narrows the days")
        << QStringLiteral("select Sum(CASE WHEN DocDate >= '01/01/2024' AND DocDate <= '01/31/2024' THEN Total END) "
                          "as M1, Sum(CASE WHEN NOT DocDate < '02/01/2024' OR DocDate = '12/31/2023' THEN Total END) "
                          "as M2 From Sales Where DocDate >= '01/01/2024' AND DocDate <= '02/29/2024'")
        << QStringLiteral("select ard_sum(CASE WHEN ard_day(DocDate) >= ? AND ard_day(DocDate) <= ? THEN Total END) "
                          "as M1, ard_sum(CASE WHEN NOT ard_day(DocDate) < ? OR ard_day(DocDate) = ? THEN Total END) "
                          "as M2 From Sales Where ard_day(DocDate) >= ? AND ard_day(DocDate) <= ?")
        << QStringList{QStringLiteral("Total"), QStringLiteral("Total")}
        << QStringLiteral(">= 2024-01-01, <= 2024-02-29");
    QTest::newRow("order list ends at LIMIT")
        << QStringLiteral("select * From Sales Order By DocDate, Id Limit 3")
        << QStringLiteral("select * From Sales Order By ard_day(DocDate), Id Limit 3") << QStringList{} << QString();
}

void tst_LocalSql::dialect()
{
    QFETCH(QString, statement);
    QFETCH(QString, normalized);
    QFETCH(QStringList, summed);
    QFETCH(QString, days);

    const TLocalSql out = prepared(statement);
    QCOMPARE(out.normalizedSql, normalized);
    QCOMPARE(out.summedColumns, summed);
    QStringList got;
    for (const TFilterExpr::DateComparison &c : out.dateComparisons)
        got << c.op + QLatin1Char(' ') + c.day.toString(Qt::ISODate);
    QCOMPARE((out.conjunctive ? QString() : QStringLiteral("or ")) + got.join(QStringLiteral(", ")), days);
}

// On a server: sums stay sums, nulls sort as SQLite sorts them, and groups
// come in the order of their keys whichever rows a batch asks for.
void tst_LocalSql::serverDialect_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("sql");

    QTest::newRow("groups ordered by their keys")
        << QStringLiteral("select AccID,( Sum(Increase) - Sum(Decrease) ) as Balance From AccTrans Group by AccID")
        << QStringLiteral("select AccID,( Sum(Increase) - Sum(Decrease) ) as Balance From AccTrans Group by AccID"
                          " ORDER BY AccID NULLS FIRST");
    QTest::newRow("period totals, a statement's own semicolon")
        << QStringLiteral("select ExpType,Sum(Amount) as Amount From Expenses Where DocDate >= '03/09/2024' "
                          "Group By ExpType, AccID ;")
        << QStringLiteral("select ExpType,Sum(Amount) as Amount From Expenses Where DocDate >= ? "
                          "Group By ExpType, AccID ORDER BY ExpType NULLS FIRST, AccID NULLS FIRST");
    QTest::newRow("an order of its own is kept")
        << QStringLiteral("select ExpType, Sum(Amount) From Expenses Group By ExpType Order By 2 desc")
        << QStringLiteral("select ExpType, Sum(Amount) From Expenses Group By ExpType Order By 2 desc NULLS LAST");
    QTest::newRow("history") << QStringLiteral("select * From AccTrans Where AccID = 3 Order By DocDate")
                             << QStringLiteral("select * From AccTrans Where AccID = 3 Order By DocDate NULLS FIRST");
    QTest::newRow("each term, up to LIMIT")
        << QStringLiteral("select * From Sales Order By DocDate DESC , Id  Limit 3")
        << QStringLiteral("select * From Sales Order By DocDate DESC NULLS LAST , Id NULLS FIRST  Limit 3");
    QTest::newRow("a subquery's order ends at its parenthesis")
        << QStringLiteral("select count(*) from (select * From Sales Order By DocDate) as s")
        << QStringLiteral("select count(*) from (select * From Sales Order By DocDate NULLS FIRST) as s");
}

void tst_LocalSql::serverDialect()
{
    QFETCH(QString, statement);
    QFETCH(QString, sql);
    const TLocalSql out = TLocalSql::prepare(statement, &EngineCatalog::isDateColumn, TEngineKind::PostgreSQL);
    QCOMPARE(out.sql, sql);
    QVERIFY(out.normalizedSql.isEmpty());
}

// Dates written by other programs: read by the day they name, a period takes
// them in, and a value that names no day passes no period.
void tst_LocalSql::normalizedReadsDatesByTheirDay()
{
    QSqlQuery q(db());
    QVERIFY_SQL(q, exec(QStringLiteral("INSERT INTO Expenses (DocDate, Amount, ExpType) VALUES "
                                       "('2024-03-15 18:30:00', 2000, 1), ('2024-3-9', 20000, 1), "
                                       "('2024-03-12T08:00Z', 200000, 2), ('not a day', 2000000, 1), "
                                       "(20240312, 20000000, 2)")));
    const TLocalSql prep = prepared(QStringLiteral(
        "select ExpType,Sum(Amount) as Amount From Expenses Where DocDate >= '03/09/2024' AND DocDate <= "
        "'03/15/2024' Group By ExpType Order By ExpType"));
    QVERIFY_SQL(q, prepare(prep.normalizedSql));
    for (const QVariant &p : prep.params)
        q.addBindValue(p);
    QVERIFY_SQL(q, exec());
    QStringList got;
    while (q.next())
        got << q.value(0).toString() + QLatin1Char(',') + q.value(1).toString();
    QCOMPARE(got, (QStringList{QStringLiteral("1,23010"), QStringLiteral("2,200100")}));
}

QTEST_GUILESS_MAIN(tst_LocalSql)
#include "tst_localsql.moc"
