#include "EDatabaseError.h"
#include "EngineCatalog.h"
#include "FilterExpr.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTest>

// Prints the driver's message when a step against the database fails.
#define QVERIFY_SQL(q, stmt) QVERIFY2((q).stmt, qPrintable((q).lastError().text()))

namespace {

const QString kConnection = QStringLiteral("tst_filterexpr");

// Wednesday 13 March 2024: two-number dates take this year, and two-digit
// years fall in 1974-2073.
const QDate kToday(2024, 3, 13);

TFormatSettings settings(const char *shortDateFormat, char dateSeparator, char decimalSeparator = '.')
{
    TFormatSettings fs;
    fs.ShortDateFormat = QString::fromLatin1(shortDateFormat);
    fs.DateSeparator = QLatin1Char(dateSeparator);
    fs.DecimalSeparator = QLatin1Char(decimalSeparator);
    return fs;
}

// Resolves field names the way the engine does for a table: through the
// catalog, without regard to case.
TFilterExpr::Resolver resolverFor(const QString &table)
{
    return [table](const QString &name) -> std::optional<TFilterExpr::Column> {
        const TTableDef *t = EngineCatalog::find(table);
        Q_ASSERT(t);
        if (const TColumnDef *c = t->column(name))
            return TFilterExpr::Column{c->name, c->type};
        return std::nullopt;
    };
}

TFilterExpr parseExpenses(const QString &text, const TFormatSettings &fs)
{
    return TFilterExpr::parse(text, resolverFor(QStringLiteral("Expenses")), fs, kToday);
}

} // namespace

Q_DECLARE_METATYPE(TFormatSettings)

class tst_FilterExpr : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void translates_data();
    void translates();
    void selectsRows_data();
    void selectsRows();
    void errors_data();
    void errors();
};

// A fresh in-memory database with the engine's schema and expenses around the
// week of Saturday 9 to Friday 15 March 2024. Each row's Remarks names it.
void tst_FilterExpr::init()
{
    QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnection);
    d.setDatabaseName(QStringLiteral(":memory:"));
    QVERIFY2(d.open(), qPrintable(d.lastError().text()));
    QSqlQuery q(d);
    for (const QString &s : EngineCatalog::createStatements())
        QVERIFY_SQL(q, exec(s));

    struct Expense
    {
        const char *date;  // ISO, as the engine stores it; null for no date
        double amount;
        int accId;
        int expType;
        const char *remarks;
    };
    // Ids 1 to 7 in this order.
    const Expense rows[] = {
        {"2024-03-08", 5.5, 1, 1, "before"},
        {"2024-03-09", 10, 1, 2, "first"},
        {"2024-03-12", 12.5, 2, 1, "O'Brien"},
        {"2024-03-15", 1000, 2, 2, "last"},
        {"2024-03-16", 20, 1, 1, "after"},
        {nullptr, 7, 2, 2, "'); DROP TABLE Sales; --"},
        {"2024-09-03", 3, 1, 1, "3 September"},
    };
    QVERIFY_SQL(q, prepare(QStringLiteral(
                    "INSERT INTO Expenses (DocDate, Amount, AccID, ExpType, Remarks) VALUES (?, ?, ?, ?, ?)")));
    for (const Expense &e : rows) {
        q.addBindValue(e.date ? QVariant(QString::fromLatin1(e.date)) : QVariant(QMetaType(QMetaType::QString)));
        q.addBindValue(e.amount);
        q.addBindValue(e.accId);
        q.addBindValue(e.expType);
        q.addBindValue(QString::fromLatin1(e.remarks));
        QVERIFY_SQL(q, exec());
    }
}

void tst_FilterExpr::cleanup()
{
    {
        QSqlDatabase d = QSqlDatabase::database(kConnection, false);
        d.close();
    }
    QSqlDatabase::removeDatabase(kConnection);
}

// The condition's text and its values, with the values' types: the engine
// binds them as they come, and SQLite compares an integer, a float and a text
// differently.
void tst_FilterExpr::translates_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("params");

    const auto text = [](const char *s) { return QVariant(QString::fromUtf8(s)); };

    QTest::newRow("period range")
        << QStringLiteral("DocDate >= '09/03/2024' AND DocDate <= '15/03/2024'")
        << QStringLiteral("(\"docdate\" >= ? AND \"docdate\" <= ?)")
        << QVariantList{text("2024-03-09"), text("2024-03-15")};
    QTest::newRow("single day") << QStringLiteral("DocDate = '09/03/2024'") << QStringLiteral("(\"docdate\" = ?)")
                                << QVariantList{text("2024-03-09")};
    QTest::newRow("group, NOT, typed values, catalog spelling of names")
        << QStringLiteral("not (expType = 3 OR amount < -1,5) and REMARKS <> 'a''b' Or Id>=2")
        << QStringLiteral("(NOT (\"exptype\" = ? OR \"amount\" < ?) AND \"remarks\" <> ? OR \"id\" >= ?)")
        << QVariantList{QVariant(qint64(3)), QVariant(-1.5), text("a'b"), QVariant(qint64(2))};
    QTest::newRow("NOT of a comparison") << QStringLiteral("NOT NOT Remarks = ''")
                                         << QStringLiteral("(NOT (NOT (\"remarks\" = ?)))") << QVariantList{text("")};
    QTest::newRow("blank text: no condition") << QStringLiteral(" \t ") << QString() << QVariantList{};
}

void tst_FilterExpr::translates()
{
    QFETCH(QString, filter);
    QFETCH(QString, sql);
    QFETCH(QVariantList, params);

    const TFilterExpr expr = parseExpenses(filter, settings("dd/mm/yyyy", '/', ','));
    QCOMPARE(expr.sql(), sql);
    QCOMPARE(expr.isEmpty(), sql.isEmpty());
    QCOMPARE(expr.params().size(), params.size());
    for (qsizetype i = 0; i < params.size(); ++i) {
        QCOMPARE(expr.params().at(i).typeId(), params.at(i).typeId());
        QCOMPARE(expr.params().at(i), params.at(i));
    }
}

// Runs the condition on the seeded table: the rows it selects show that the
// literals were read as the user meant them.
void tst_FilterExpr::selectsRows_data()
{
    QTest::addColumn<TFormatSettings>("fs");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("remarks");  // of the selected rows, in any order

    const TFormatSettings dayFirst = settings("dd/mm/yyyy", '/');
    const TFormatSettings monthFirst = settings("m/d/yy", '/');
    const TFormatSettings dayFirstDots = settings("dd.mm.yyyy", '.');
    const TFormatSettings yearFirst = settings("yyyy-mm-dd", '-');
    const TFormatSettings decimalComma = settings("dd/mm/yyyy", '/', ',');
    const QStringList week{QStringLiteral("first"), QStringLiteral("O'Brien"), QStringLiteral("last")};

    QTest::newRow("day first, week") << dayFirst
                                     << QStringLiteral("DocDate >= '09/03/2024' AND DocDate <= '15/03/2024'") << week;
    QTest::newRow("month first, week") << monthFirst << QStringLiteral("DocDate >= '3/9/24' AND DocDate <= '3/15/24'")
                                       << week;
    QTest::newRow("year first, week") << yearFirst
                                      << QStringLiteral("DocDate >= '2024-03-09' AND DocDate <= '2024-03-15'") << week;
    QTest::newRow("day first with dots, single day")
        << dayFirstDots << QStringLiteral("DocDate = '03.09.2024'") << QStringList{QStringLiteral("3 September")};
    QTest::newRow("month first, single day without year")
        << monthFirst << QStringLiteral("DocDate = '3/12'") << QStringList{QStringLiteral("O'Brien")};
    QTest::newRow("first day after the last: nothing")
        << dayFirst << QStringLiteral("DocDate >= '15/03/2024' AND DocDate <= '09/03/2024'") << QStringList{};
    QTest::newRow("OR inside parentheses, then AND")
        << dayFirst << QStringLiteral("(DocDate = '08/03/2024' OR DocDate = '16/03/2024') AND ExpType = 1")
        << QStringList{QStringLiteral("before"), QStringLiteral("after")};
    QTest::newRow("AND binds tighter than OR")
        << dayFirst << QStringLiteral("DocDate = '08/03/2024' OR DocDate = '16/03/2024' AND ExpType = 2")
        << QStringList{QStringLiteral("before")};
    QTest::newRow("NOT of a range: undated rows still fail")
        << dayFirst << QStringLiteral("NOT (DocDate >= '09/03/2024' AND DocDate <= '15/03/2024')")
        << QStringList{QStringLiteral("before"), QStringLiteral("after"), QStringLiteral("3 September")};
    QTest::newRow("NOT binds tighter than AND")
        << dayFirst << QStringLiteral("NOT ExpType = 1 AND AccID = 2")
        << QStringList{QStringLiteral("last"), QStringLiteral("'); DROP TABLE Sales; --")};
    QTest::newRow("keywords and names in any case")
        << dayFirst << QStringLiteral("docdate = '12/03/2024' and not remarks = 'x' Or exptype = 99")
        << QStringList{QStringLiteral("O'Brien")};
    QTest::newRow("text with a doubled quote")
        << dayFirst << QStringLiteral("Remarks = 'O''Brien'") << QStringList{QStringLiteral("O'Brien")};
    QTest::newRow("hostile text is only compared")
        << dayFirst << QStringLiteral("Remarks = '''); DROP TABLE Sales; --'")
        << QStringList{QStringLiteral("'); DROP TABLE Sales; --")};
    QTest::newRow("decimal comma, bare and quoted numbers, exponent")
        << decimalComma << QStringLiteral("Amount = 12,5 OR Amount = '5,5' OR Amount >= 1E3")
        << QStringList{QStringLiteral("O'Brien"), QStringLiteral("before"), QStringLiteral("last")};
    QTest::newRow("integer and auto-increment columns")
        << dayFirst << QStringLiteral("ExpType <> 1 AND Id > 4")
        << QStringList{QStringLiteral("'); DROP TABLE Sales; --")};
}

void tst_FilterExpr::selectsRows()
{
    QFETCH(TFormatSettings, fs);
    QFETCH(QString, filter);
    QFETCH(QStringList, remarks);

    const TFilterExpr expr = parseExpenses(filter, fs);
    QVERIFY2(!expr.sql().contains(QLatin1Char('\'')), qPrintable(expr.sql()));

    QSqlQuery q(QSqlDatabase::database(kConnection));
    QVERIFY_SQL(q, prepare(QStringLiteral("SELECT Remarks FROM Expenses WHERE ") + expr.sql()));
    for (const QVariant &p : expr.params())
        q.addBindValue(p);
    QVERIFY_SQL(q, exec());
    QStringList got;
    while (q.next())
        got << q.value(0).toString();
    got.sort();
    remarks.sort();
    QCOMPARE(got, remarks);
    QVERIFY(QSqlDatabase::database(kConnection).tables().contains(QStringLiteral("Sales")));
}

void tst_FilterExpr::errors_data()
{
    QTest::addColumn<TFormatSettings>("fs");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("message");

    const TFormatSettings dayFirst = settings("dd/mm/yyyy", '/', ',');
    const TFormatSettings monthFirst = settings("m/d/yy", '/');
    const QString terminated = QStringLiteral("Filter expression incorrectly terminated");
    const auto invalid = [](const QString &filter) {
        return QStringLiteral("Invalid filter expression: %1").arg(filter);
    };
    const auto row = [](const char *name, const TFormatSettings &fs, const QString &filter, const QString &message) {
        QTest::newRow(name) << fs << filter << message;
    };

    // Literals that do not read as the field's kind.
    row("day first: no 31 February", dayFirst, QStringLiteral("DocDate = '31/02/2024'"),
        QStringLiteral("'31/02/2024' is not a valid date"));
    row("month first: day-first text", monthFirst, QStringLiteral("DocDate >= '15/03/2024'"),
        QStringLiteral("'15/03/2024' is not a valid date"));
    row("date format that spells the month", settings("dd-mmm-yy", '-'),
        QStringLiteral("DocDate >= '09-Mar-24' AND DocDate <= '15-Mar-24'"),
        QStringLiteral("'09-Mar-24' is not a valid date"));
    row("second date of a range", dayFirst, QStringLiteral("DocDate >= '09/03/2024' AND DocDate <= '15/13/2024'"),
        QStringLiteral("'15/13/2024' is not a valid date"));
    row("float with the other decimal separator, field as the catalog spells it", dayFirst,
        QStringLiteral("amount = 1.5"), QStringLiteral("'1.5' is not a valid floating point value for field 'Amount'"));
    row("integer with a fraction", dayFirst, QStringLiteral("ExpType = '2,5'"),
        QStringLiteral("'2,5' is not a valid integer value for field 'ExpType'"));
    row("auto-increment beyond 32 bits", dayFirst, QStringLiteral("id = 4294967296"),
        QStringLiteral("'4294967296' is not a valid integer value for field 'Id'"));

    row("unknown field", dayFirst, QStringLiteral("DocDay = '09/03/2024'"), QStringLiteral("Field 'DocDay' not found"));
    row("field of another table", dayFirst, QStringLiteral("Customer = 'x'"),
        QStringLiteral("Field 'Customer' not found"));

    // Text that ends too early or goes on too long.
    row("unterminated quote", dayFirst, QStringLiteral("DocDate = '09/03/2024"), terminated);
    row("missing value at the end", dayFirst, QStringLiteral("DocDate >= '09/03/2024' AND DocDate <="), terminated);
    row("missing closing parenthesis", dayFirst, QStringLiteral("(DocDate = '09/03/2024'"), terminated);
    row("NOT alone", dayFirst, QStringLiteral("NOT"), terminated);
    row("trailing word", dayFirst, QStringLiteral("DocDate = '09/03/2024' xyz"), terminated);
    row("trailing statement", dayFirst, QStringLiteral("DocDate = '09/03/2024'; DROP TABLE Sales"), terminated);
    row("extra closing parenthesis", dayFirst, QStringLiteral("DocDate = '09/03/2024')"), terminated);

    // Tokens where the grammar has no place for them.
    const char *const misplaced[] = {
        "DocDate >= AND DocDate <= '15/03/2024'",  // missing value in the middle
        "'09/03/2024' = DocDate",                  // literal first
        "DocDate = DocDate",                       // field compared with field
        "DocDate '09/03/2024'",                    // no operator
        "DocDate == '09/03/2024'",                 // not an operator of filters
        "Amount ! 5",                              // character that starts no token
        "()",
        "AND DocDate = '09/03/2024'",
    };
    for (const char *f : misplaced)
        QTest::addRow("misplaced: %s", f) << dayFirst << QString::fromLatin1(f) << invalid(QString::fromLatin1(f));
}

void tst_FilterExpr::errors()
{
    QFETCH(TFormatSettings, fs);
    QFETCH(QString, filter);
    QFETCH(QString, message);

    try {
        parseExpenses(filter, fs);
        QFAIL("no error raised");
    } catch (const EDatabaseError &e) {
        QCOMPARE(e.message(), message);
    }
}

QTEST_GUILESS_MAIN(tst_FilterExpr)
#include "tst_filterexpr.moc"
