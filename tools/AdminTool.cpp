#include "AdminTool.h"

#include "BooksCheck.h"
#include "Clock.h"
#include "CsvExport.h"
#include "EDatabaseError.h"
#include "EngineCatalog.h"
#include "EngineConfig.h"
#include "EngineDatabase.h"
#include "FilterExpr.h"
#include "PgBackend.h"
#include "RecordReader.h"
#include "TableInserter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <exception>
#include <initializer_list>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace {

const TTableDef &catalogTable(const QString &name)
{
    const TTableDef *t = EngineCatalog::find(name);
    Q_ASSERT(t);
    return *t;
}

// A stored null of a text, number or date column.
QVariant nullValue()
{
    return QVariant(QMetaType::fromType<QString>());
}

// Runs fill() as one transaction: all of its records are stored or none.
template<typename Fill>
void inTransaction(TEngineDatabase &db, Fill fill)
{
    db.startTransaction();
    try {
        fill();
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
}

// Records stored with the identities they were given leave a server's
// sequence behind them (SQLite's AUTOINCREMENT follows by itself): the next
// record the program stores must get a new one.
void raiseIdentitiesPastRecords(TEngineDatabase &db)
{
    for (const TTableDef &t : EngineCatalog::tables()) {
        QSqlQuery q = db.run(QStringLiteral("SELECT max(%1) FROM %2")
                                 .arg(EngineCatalog::quoted(t.identityColumn()), EngineCatalog::quoted(t.name)));
        const qint64 highest = q.next() ? q.value(0).toLongLong() : 0;
        q.finish();
        db.raiseIdentity(t, highest);
    }
}

// ---- sample -----------------------------------------------------------

struct TSampleSale
{
    int day;
    const char *customer;
    const char *salesMan;
    double total;
    int accId;
    const char *remarks;  // null for none
};

struct TSamplePurchase
{
    int day;
    const char *supplier;
    double total;
    int accId;
    const char *remarks;
};

struct TSampleExpense
{
    int day;
    int expType;
    double amount;
    int accId;
    const char *remarks;
};

// One account transaction, or a transfer when toAccId is set: a Decrease on
// accId and the same Increase on toAccId.
struct TSampleMove
{
    int day;
    int accId;
    const char *transaction;
    double increase;
    double decrease;
    int toAccId;
    const char *remarks;
};

const char *const SampleAccounts[] = {"Cash", "Bank", "Credit Card"};
const char *const SampleExpenseTypes[] = {"Rent", "Utilities", "Office Supplies", "Fuel", "Wages"};

// The records of every month, by day of the month in ascending order.
const TSampleSale SampleSales[] = {
    {2, "Walk-in customer", "Sam", 250.00, 1, nullptr},
    {9, "Northwind Traders", "Alex", 1200.50, 2, "Net 30"},
    {16, "Contoso Ltd", "Sam", 480.75, 2, nullptr},
    {23, "Walk-in customer", "Alex", 95.20, 1, "Paid in cash"},
};
const TSamplePurchase SamplePurchases[] = {
    {3, "Office World", 180.40, 3, nullptr},
    {12, "Wholesale Foods", 640.00, 2, "Monthly stock"},
    {24, "O'Brien & Sons", 75.90, 1, nullptr},
};
const TSampleExpense SampleExpenses[] = {
    {1, 1, 900.00, 2, "Shop rent"},
    {7, 2, 132.85, 2, nullptr},
    {14, 4, 60.00, 1, nullptr},
    {21, 3, 45.30, 3, "Printer paper"},
    {28, 5, 1500.00, 2, nullptr},
};
const TSampleMove SampleMoves[] = {
    {5, 1, "Cash sales", 345.20, 0, 0, nullptr},
    {8, 2, "Bank charges", 0, 12.50, 0, nullptr},
    {10, 1, "Deposit to bank", 0, 300.00, 2, "Weekly deposit"},
    {18, 2, "Card repayment", 0, 250.00, 3, nullptr},
    {26, 2, "Customer payment", 1200.50, 0, 0, "Northwind Traders"},
};

constexpr int SampleMonths = 3;

QVariant text(const char *s)
{
    return s ? QVariant(QString::fromUtf8(s)) : nullValue();
}

// The date of a day of a sample month; days past the month's end, or past
// today in the current month, fall on the last day available so that the
// current month holds every kind of record even on its first day.
QString sampleDate(const QDate &firstOfMonth, const QDate &lastDay, int day)
{
    return firstOfMonth.addDays(std::min(day, lastDay.day()) - 1).toString(Qt::ISODate);
}

void fillSample(TEngineDatabase &db)
{
    TTableInserter accounts(db, catalogTable(QStringLiteral("Accounts")), {QStringLiteral("AccID"), QStringLiteral("AccName")});
    int id = 0;
    for (const char *name : SampleAccounts)
        accounts.add({++id, QString::fromUtf8(name)});
    TTableInserter types(db, catalogTable(QStringLiteral("ExpTypes")), {QStringLiteral("Id"), QStringLiteral("ExpType")});
    id = 0;
    for (const char *name : SampleExpenseTypes)
        types.add({++id, QString::fromUtf8(name)});

    TTableInserter sales(db, catalogTable(QStringLiteral("Sales")),
                    {QStringLiteral("Id"), QStringLiteral("DocDate"), QStringLiteral("Customer"),
                     QStringLiteral("SalesMan"), QStringLiteral("Total"), QStringLiteral("Remarks"),
                     QStringLiteral("AccID")});
    TTableInserter purchases(db, catalogTable(QStringLiteral("Purchases")),
                        {QStringLiteral("Id"), QStringLiteral("DocDate"), QStringLiteral("Supplier"),
                         QStringLiteral("Total"), QStringLiteral("Remarks"), QStringLiteral("AccID")});
    TTableInserter expenses(db, catalogTable(QStringLiteral("Expenses")),
                       {QStringLiteral("DocDate"), QStringLiteral("Amount"), QStringLiteral("Remarks"),
                        QStringLiteral("AccID"), QStringLiteral("ExpType")});
    TTableInserter moves(db, catalogTable(QStringLiteral("AccTrans")),
                    {QStringLiteral("DocDate"), QStringLiteral("AccID"), QStringLiteral("Transaction"),
                     QStringLiteral("Increase"), QStringLiteral("Decrease"), QStringLiteral("Remarks")});

    const QDate today = Clock::today();
    const QDate thisMonth(today.year(), today.month(), 1);
    int invoice = 1000;
    int purchaseInvoice = 5000;
    for (int m = SampleMonths - 1; m >= 0; --m) {
        const QDate first = thisMonth.addMonths(-m);
        const QDate last = m == 0 ? today : first.addMonths(1).addDays(-1);
        if (m == SampleMonths - 1) {
            moves.add({sampleDate(first, last, 1), 1, QStringLiteral("Opening balance"), 500.0, 0.0, nullValue()});
            moves.add({sampleDate(first, last, 1), 2, QStringLiteral("Opening balance"), 5000.0, 0.0, nullValue()});
        }
        for (const TSampleSale &s : SampleSales)
            sales.add({++invoice, sampleDate(first, last, s.day), text(s.customer), text(s.salesMan), s.total,
                       text(s.remarks), s.accId});
        for (const TSamplePurchase &p : SamplePurchases)
            purchases.add({++purchaseInvoice, sampleDate(first, last, p.day), text(p.supplier), p.total,
                           text(p.remarks), p.accId});
        for (const TSampleExpense &e : SampleExpenses)
            expenses.add({sampleDate(first, last, e.day), e.amount, text(e.remarks), e.accId, e.expType});
        for (const TSampleMove &t : SampleMoves) {
            const QString date = sampleDate(first, last, t.day);
            moves.add({date, t.accId, text(t.transaction), t.increase, t.decrease, text(t.remarks)});
            if (t.toAccId != 0)
                moves.add({date, t.toAccId, text(t.transaction), t.decrease, 0.0, text(t.remarks)});
        }
    }
}

// ---- generate ---------------------------------------------------------

// splitmix64: tiny, fast and fully defined, so a seed gives the same books
// with every compiler and standard library (std distributions do not).
class TRandom
{
public:
    explicit TRandom(quint64 seed) : m_state(seed) {}

    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // Uniform in [0, bound); the modulo bias is below 2^-40 for the bounds
    // used here.
    quint64 below(quint64 bound)
    {
        Q_ASSERT(bound > 0);
        return next() % bound;
    }

    qint64 between(qint64 low, qint64 high) { return low + qint64(below(quint64(high - low + 1))); }

    // An amount of whole cents in [lowCents, highCents].
    double amount(qint64 lowCents, qint64 highCents) { return double(between(lowCents, highCents)) / 100.0; }

    bool chance(int percent) { return below(100) < quint64(percent); }

    template<typename T, size_t N>
    const T &pick(const T (&items)[N])
    {
        return items[below(N)];
    }

private:
    quint64 m_state;
};

// Each journal draws from a stream of its own, so its records do not depend
// on how many numbers another journal used.
TRandom streamFor(quint64 seed, quint64 journal)
{
    return TRandom(TRandom(seed ^ (journal * 0xD1B54A32D192ED03ULL)).next());
}

// Day numbers (0 = first day of the span) of count records, uniform over the
// span and in ascending order, so that records are stored in date order like
// books kept day by day, and the date indexes grow at their end. The last
// record falls on the last day.
std::vector<int> sortedDays(TRandom &rng, qint64 count, int spanDays)
{
    std::vector<qint64> perDay(size_t(spanDays), 0);
    for (qint64 i = 0; i + 1 < count; ++i)
        ++perDay[size_t(rng.below(quint64(spanDays)))];
    ++perDay.back();
    std::vector<int> days;
    days.reserve(size_t(count));
    for (int d = 0; d < spanDays; ++d)
        days.insert(days.end(), size_t(perDay[size_t(d)]), d);
    return days;
}

const QString GeneratedAccounts[] = {QStringLiteral("Cash"), QStringLiteral("Bank"), QStringLiteral("Credit Card"),
                                     QStringLiteral("Savings"), QStringLiteral("Petty Cash")};
const QString GeneratedTypes[] = {
    QStringLiteral("Rent"),  QStringLiteral("Utilities"), QStringLiteral("Office Supplies"), QStringLiteral("Fuel"),
    QStringLiteral("Wages"), QStringLiteral("Telephone"), QStringLiteral("Insurance"),       QStringLiteral("Repairs")};
const QString Customers[] = {QStringLiteral("Walk-in customer"), QStringLiteral("Northwind Traders"),
                             QStringLiteral("Contoso Ltd"),      QStringLiteral("Fabrikam Inc"),
                             QStringLiteral("Adventure Works"),  QStringLiteral("O'Neil Catering")};
const QString SalesMen[] = {QStringLiteral("Sam"), QStringLiteral("Alex"), QStringLiteral("Noor"),
                            QStringLiteral("Rami")};
const QString Suppliers[] = {QStringLiteral("Office World"), QStringLiteral("Wholesale Foods"),
                             QStringLiteral("O'Brien & Sons"), QStringLiteral("City Hardware"),
                             QStringLiteral("Metro Fuel")};
const QString IncreaseTexts[] = {QStringLiteral("Deposit"), QStringLiteral("Cash sales"),
                                 QStringLiteral("Customer payment"), QStringLiteral("Interest")};
const QString DecreaseTexts[] = {QStringLiteral("Withdrawal"), QStringLiteral("Supplier payment"),
                                 QStringLiteral("Bank charges"), QStringLiteral("Card payment")};
const QString Remarks[] = {QStringLiteral("Paid in full"), QStringLiteral("Ref. 2291"), QStringLiteral("See invoice"),
                           QStringLiteral("Customer's copy kept")};

// A remark on two records in three, none on the rest: the books hold nulls.
QVariant remark(TRandom &rng)
{
    return rng.below(3) == 0 ? nullValue() : QVariant(rng.pick(Remarks));
}

// The engine's text of every date of the span, made once: formatting a date
// per record would cost more than writing it.
std::vector<QString> dateTexts(const QDate &start, int spanDays)
{
    std::vector<QString> texts;
    texts.reserve(size_t(spanDays));
    for (int d = 0; d < spanDays; ++d)
        texts.push_back(start.addDays(d).toString(Qt::ISODate));
    return texts;
}

struct TGeneration
{
    TEngineDatabase &db;
    const AdminTool::TGenerateOptions &options;
    std::vector<QString> dates;
    qint64 written = 0;

    int spanDays() const { return int(dates.size()); }
    int anyAccount(TRandom &rng) const { return int(rng.between(1, options.accounts)); }
    int anyType(TRandom &rng) const { return int(rng.between(1, options.types)); }

    void masterLists()
    {
        TTableInserter accounts(db, catalogTable(QStringLiteral("Accounts")), {QStringLiteral("AccID"), QStringLiteral("AccName")});
        for (int id = 1; id <= options.accounts; ++id)
            accounts.add({id, id <= int(std::size(GeneratedAccounts)) ? GeneratedAccounts[id - 1]
                                                                      : QStringLiteral("Account %1").arg(id)});
        TTableInserter types(db, catalogTable(QStringLiteral("ExpTypes")), {QStringLiteral("Id"), QStringLiteral("ExpType")});
        for (int id = 1; id <= options.types; ++id)
            types.add({id, id <= int(std::size(GeneratedTypes)) ? GeneratedTypes[id - 1]
                                                                : QStringLiteral("Expense type %1").arg(id)});
        written += accounts.written() + types.written();
    }

    // Account 1 gets exactly a tenth of the records, at random places: the
    // benchmark of one account's history relies on its size.
    void accountTransactions()
    {
        TRandom rng = streamFor(options.seed, 1);
        const std::vector<int> days = sortedDays(rng, options.rows, spanDays());
        std::vector<int> accounts(size_t(options.rows));
        const qint64 firstAccountRows = options.rows / 10;
        for (qint64 i = 0; i < options.rows; ++i)
            accounts[size_t(i)] = i < firstAccountRows ? 1 : int(rng.between(2, options.accounts));
        for (qint64 i = options.rows - 1; i > 0; --i)
            std::swap(accounts[size_t(i)], accounts[size_t(rng.below(quint64(i + 1)))]);

        TTableInserter out(db, catalogTable(QStringLiteral("AccTrans")),
                      {QStringLiteral("DocDate"), QStringLiteral("AccID"), QStringLiteral("Transaction"),
                       QStringLiteral("Increase"), QStringLiteral("Decrease"), QStringLiteral("Remarks")},
                      TTableInserter::bulkRows(db));
        for (qint64 i = 0; i < options.rows; ++i) {
            const double value = rng.amount(100, 1000000);
            const bool increase = rng.chance(55);
            out.add({dates[size_t(days[size_t(i)])], accounts[size_t(i)],
                     increase ? rng.pick(IncreaseTexts) : rng.pick(DecreaseTexts), increase ? value : 0.0,
                     increase ? 0.0 : value, remark(rng)});
        }
        out.finish();
        written += out.written();
    }

    void expenses()
    {
        TRandom rng = streamFor(options.seed, 2);
        const std::vector<int> days = sortedDays(rng, options.rows, spanDays());
        TTableInserter out(db, catalogTable(QStringLiteral("Expenses")),
                      {QStringLiteral("DocDate"), QStringLiteral("Amount"), QStringLiteral("Remarks"),
                       QStringLiteral("AccID"), QStringLiteral("ExpType")},
                      TTableInserter::bulkRows(db));
        for (qint64 i = 0; i < options.rows; ++i)
            out.add(
                {dates[size_t(days[size_t(i)])], rng.amount(100, 200000), remark(rng), anyAccount(rng), anyType(rng)});
        out.finish();
        written += out.written();
    }

    void purchases()
    {
        TRandom rng = streamFor(options.seed, 3);
        const std::vector<int> days = sortedDays(rng, options.rows, spanDays());
        TTableInserter out(db, catalogTable(QStringLiteral("Purchases")),
                      {QStringLiteral("Id"), QStringLiteral("DocDate"), QStringLiteral("Supplier"),
                       QStringLiteral("Total"), QStringLiteral("Remarks"), QStringLiteral("AccID")},
                      TTableInserter::bulkRows(db));
        for (qint64 i = 0; i < options.rows; ++i)
            out.add({i + 1, dates[size_t(days[size_t(i)])], rng.pick(Suppliers), rng.amount(100, 500000), remark(rng),
                     anyAccount(rng)});
        out.finish();
        written += out.written();
    }

    void sales()
    {
        TRandom rng = streamFor(options.seed, 4);
        const std::vector<int> days = sortedDays(rng, options.rows, spanDays());
        TTableInserter out(db, catalogTable(QStringLiteral("Sales")),
                      {QStringLiteral("Id"), QStringLiteral("DocDate"), QStringLiteral("Customer"),
                       QStringLiteral("SalesMan"), QStringLiteral("Total"), QStringLiteral("Remarks"),
                       QStringLiteral("AccID")},
                      TTableInserter::bulkRows(db));
        for (qint64 i = 0; i < options.rows; ++i)
            out.add({i + 1, dates[size_t(days[size_t(i)])], rng.pick(Customers), rng.pick(SalesMen),
                     rng.amount(100, 800000), remark(rng), anyAccount(rng)});
        out.finish();
        written += out.written();
    }
};

QString outOfRange(const char *option, qint64 value, qint64 low, qint64 high)
{
    if (value >= low && value <= high)
        return {};
    return QStringLiteral("--%1 must be between %2 and %3, not %4")
        .arg(QLatin1String(option))
        .arg(low)
        .arg(high)
        .arg(value);
}

QString pragmaText(TEngineDatabase &db, const QString &pragma)
{
    QSqlQuery q = db.run(QStringLiteral("PRAGMA ") + pragma);
    return q.next() ? q.value(0).toString() : QString();
}

// Bulk loading settings for the one connection that generates: no syncing
// and the rollback journal in memory. A crash part way would leave a broken
// file, which is acceptable only because the books were empty; a rollback
// still works. The previous settings come back afterwards, so the connection
// is durable again for whoever uses it next.
class TBulkLoad
{
public:
    explicit TBulkLoad(TEngineDatabase &db) : m_db(db)
    {
        static const QStringList journalModes = {QStringLiteral("delete"),  QStringLiteral("truncate"),
                                                 QStringLiteral("persist"), QStringLiteral("memory"),
                                                 QStringLiteral("wal"),     QStringLiteral("off")};
        const QString mode = pragmaText(db, QStringLiteral("journal_mode")).toLower();
        bool okSync = false;
        bool okCache = false;
        const int sync = pragmaText(db, QStringLiteral("synchronous")).toInt(&okSync);
        const int cache = pragmaText(db, QStringLiteral("cache_size")).toInt(&okCache);
        if (!journalModes.contains(mode) || !okSync || !okCache)
            throw EDatabaseError(QStringLiteral("Cannot read the settings of the database %1").arg(db.file()));
        m_restore = {QStringLiteral("PRAGMA journal_mode = %1").arg(mode),
                     QStringLiteral("PRAGMA synchronous = %1").arg(sync),
                     QStringLiteral("PRAGMA cache_size = %1").arg(cache)};
        try {
            for (const QString &s :
                 {QStringLiteral("PRAGMA journal_mode = MEMORY"), QStringLiteral("PRAGMA synchronous = OFF"),
                  QStringLiteral("PRAGMA cache_size = -65536")})
                db.run(s);
        } catch (...) {
            restoreQuietly();
            throw;
        }
    }

    // Restores the settings; throws when the engine refuses.
    void restore()
    {
        for (const QString &s : std::as_const(m_restore))
            m_db.run(s);
        m_restore.clear();
    }

    ~TBulkLoad() { restoreQuietly(); }

private:
    // Restores what it can after a failure without hiding the failure that
    // is being reported.
    void restoreQuietly()
    {
        for (const QString &s : std::as_const(m_restore)) {
            QSqlQuery q(m_db.database());
            q.exec(s);
        }
        m_restore.clear();
    }

    TEngineDatabase &m_db;
    QStringList m_restore;
};

void requireAliasName(const QString &alias)
{
    static const QRegularExpression aliasName(QStringLiteral("^[A-Za-z0-9_]+$"));
    if (!aliasName.match(alias).hasMatch())
        throw EDatabaseError(
            QStringLiteral("Invalid alias name \"%1\": use letters, digits and underscores").arg(alias));
}

}  // namespace

void AdminTool::requireEmptyBooks(TEngineDatabase &db, const QString &command)
{
    const QString books = db.alias().isEmpty() ? db.describe() : QStringLiteral("alias ") + db.alias();
    for (const TTableDef &t : EngineCatalog::tables()) {
        db.checkTable(t);
        QSqlQuery q = db.run(QStringLiteral("SELECT EXISTS (SELECT 1 FROM %1)").arg(EngineCatalog::quoted(t.name)));
        if (q.next() && q.value(0).toBool())
            throw EDatabaseError(QStringLiteral("%1 refused: the books of %2 are not empty (%3 holds records)")
                                     .arg(command, books, t.fileName));
    }
}

QStringList AdminTool::unfitValues(TEngineDatabase &db, const TTableDef &t)
{
    QStringList unfit;
    const QString table = EngineCatalog::quoted(t.name);
    const QString identity = EngineCatalog::quoted(t.identityColumn());
    for (qsizetype i = 0; i < t.columns.size(); ++i) {
        const TColumnDef &c = t.columns.at(i);
        if (c.type == TFieldType::Date)
            continue;
        QSqlQuery q = db.run(
            QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %1").arg(identity, table, db.unfitCondition(c)));
        QList<qint64> records;
        while (q.next())
            records << q.value(0).toLongLong();
        q.finish();
        for (qint64 r : std::as_const(records))
            unfit << db.firstUnfitValueMessage(t, int(i), r);
    }
    return unfit;
}

QStringList AdminTool::dateNotes(TEngineDatabase &db, const TTableDef &t, const QString &readAs,
                                 const QString &noDay)
{
    QStringList notes;
    const QString table = EngineCatalog::quoted(t.name);
    const QString identity = EngineCatalog::quoted(t.identityColumn());
    const bool server = db.kind() == TEngineKind::PostgreSQL;
    for (const TColumnDef &c : t.columns) {
        if (c.type != TFieldType::Date)
            continue;
        const QString column = EngineCatalog::quoted(c.name);
        // A server's DATE holds days only, but among them 'infinity' and the
        // days outside the years 1 to 9999, which the program cannot show.
        QSqlQuery q = db.run(
            server ? QStringLiteral("SELECT %1, CAST(%2 AS text), NULL FROM %3 WHERE %2 IS NOT NULL AND"
                                    " NOT (%2 BETWEEN DATE '0001-01-01' AND DATE '9999-12-31') ORDER BY %1")
                         .arg(identity, column, table)
                   : QStringLiteral("SELECT %1, %2, ard_day(%2) FROM %3 WHERE %2 IS NOT NULL AND"
                                    " ard_day(%2) IS NOT %2 ORDER BY %1")
                         .arg(identity, column, table));
        while (q.next()) {
            const QVariant stored = q.value(1);
            const QString text = stored.typeId() == QMetaType::QString
                                     ? QLatin1Char('\'') + stored.toString() + QLatin1Char('\'')
                                     : stored.toString();
            const QString day = q.value(2).toString();
            notes << QStringLiteral("%1, record %2: the field %3 holds %4, %5")
                         .arg(t.fileName, q.value(0).toString(), c.name, text,
                              day.isEmpty() ? noDay : readAs.arg(day));
        }
    }
    return notes;
}

int AdminTool::tablesPresent(TEngineDatabase &db)
{
    QStringList names;
    for (const TTableDef &t : EngineCatalog::tables())
        names << t.name.toLower();
    // Both engines keep the names as written in lower case here: the
    // server folds them, and SQLite's names are matched by lower().
    QSqlQuery q = db.run(db.kind() == TEngineKind::PostgreSQL
                             ? QStringLiteral("SELECT count(*) FROM information_schema.tables WHERE table_schema ="
                                              " current_schema() AND table_name = ANY (string_to_array(?, ','))")
                             : QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND"
                                              " instr(',' || ? || ',', ',' || lower(name) || ',') > 0"),
                         {names.join(QLatin1Char(','))});
    return q.next() ? q.value(0).toInt() : 0;
}

void AdminTool::create(const QString &alias, const QString &place)
{
    requireAliasName(alias);
    if (EngineConfig::hasAlias(alias)) {
        const QString current = EngineConfig::aliasFolder(alias);
        if (EngineConfig::isServerAddress(current)) {
            // Books on a server are not given up because the server cannot
            // be reached now: the connection's error stops the command.
            const std::unique_ptr<TEngineDatabase> db = TEngineDatabase::openPlace(current, true);
            if (tablesPresent(*db) > 0)
                throw EDatabaseError(
                    QStringLiteral("The database of alias %1 already exists: %2").arg(alias, db->describe()));
        } else {
            const QString existing = EngineConfig::databaseFile(current);
            if (QFileInfo::exists(existing))
                throw EDatabaseError(
                    QStringLiteral("The database of alias %1 already exists: %2").arg(alias, existing));
        }
    }
    TEngineDatabase::createBooks(place);
    EngineConfig::setAlias(alias, place);
}

void AdminTool::pointAlias(const QString &alias, const QString &place)
{
    requireAliasName(alias);
    if (!EngineConfig::isServerAddress(place) && !QFileInfo(place).isDir())
        throw EDatabaseError(
            QStringLiteral("%1 is not a folder: an alias names a folder of books or a postgresql:// address").arg(place));
    const std::unique_ptr<TEngineDatabase> db = TEngineDatabase::openPlace(place, true);
    for (const TTableDef &t : EngineCatalog::tables())
        db->checkTable(t);
    EngineConfig::setAlias(alias, place);
}

void AdminTool::sample(const QString &alias)
{
    TEngineDatabase &db = TEngineDatabase::forAlias(alias);
    // Checked under the transaction's write lock, so that nothing can be
    // written between the check and the records.
    inTransaction(db, [&db] {
        AdminTool::requireEmptyBooks(db, QStringLiteral("sample"));
        fillSample(db);
        raiseIdentitiesPastRecords(db);
    });
}

QString AdminTool::invalidGenerateOptions(const TGenerateOptions &options)
{
    // Invoice numbers are 32-bit integers; account 1 takes a fixed share of
    // the transactions, so at least one other account must take the rest.
    for (const QString &problem :
         {outOfRange("rows", options.rows, 1, std::numeric_limits<qint32>::max()),
          outOfRange("years", options.years, 1, 100), outOfRange("accounts", options.accounts, 2, 1000000),
          outOfRange("types", options.types, 1, 1000000)})
        if (!problem.isEmpty())
            return problem;
    return {};
}

QDate AdminTool::generatedSpanEnd(const TGenerateOptions &options)
{
    return options.end.isValid() ? options.end : Clock::today();
}

QDate AdminTool::generatedSpanStart(const TGenerateOptions &options)
{
    return generatedSpanEnd(options).addYears(-options.years).addDays(1);
}

AdminTool::TGenerateResult AdminTool::generate(const QString &alias, const TGenerateOptions &options)
{
    if (const QString problem = invalidGenerateOptions(options); !problem.isEmpty())
        throw EDatabaseError(QStringLiteral("generate: ") + problem);

    QElapsedTimer timer;
    timer.start();
    const QDate end = generatedSpanEnd(options);
    const QDate start = generatedSpanStart(options);

    TEngineDatabase &db = TEngineDatabase::forAlias(alias);
    requireEmptyBooks(db, QStringLiteral("generate"));
    TGeneration g{db, options, dateTexts(start, int(start.daysTo(end)) + 1)};
    // A server needs no settings of a connection for a bulk load: its
    // transaction is made durable once, at the commit.
    std::optional<TBulkLoad> bulk;
    if (db.kind() == TEngineKind::SQLite)
        bulk.emplace(db);
    // Checked again under the write lock: another program may have written
    // since the settings were chosen for empty books.
    inTransaction(db, [&db, &g] {
        requireEmptyBooks(db, QStringLiteral("generate"));
        g.masterLists();
        g.accountTransactions();
        g.expenses();
        g.purchases();
        g.sales();
        raiseIdentitiesPastRecords(db);
    });
    if (bulk)
        bulk->restore();
    return {g.written, timer.elapsed()};
}

AdminTool::TCheckReport AdminTool::check(const QString &alias)
{
    TEngineDatabase &db = TEngineDatabase::forAlias(alias);
    BooksCheck::requireSound(db);
    TCheckReport report;
    report.books = db.describe();
    report.counts = BooksCheck::counts(db);
    for (const TTableDef &t : EngineCatalog::tables()) {
        try {
            report.unfitValues << unfitValues(db, t);
            report.dateNotes << dateNotes(db, t, QStringLiteral("which is read as the day %1"),
                                          QStringLiteral("which names no day: it reads as an empty date"));
        } catch (const EDatabaseError &e) {
            throw EDatabaseError(QStringLiteral("Check of %1 failed: %2").arg(db.describe(), e.message()));
        }
    }
    return report;
}

AdminTool::TAliasLocation AdminTool::location(const QString &alias)
{
    const QString place = EngineConfig::aliasFolder(alias);
    if (EngineConfig::isServerAddress(place))
        return {place, TPgBackend::displayAddress(place), true};
    return {place, EngineConfig::databaseFile(place), false};
}

qint64 AdminTool::exportTable(const QString &alias, const TExportOptions &options)
{
    const TTableDef *table = EngineCatalog::find(options.table);
    if (!table)
        throw EDatabaseError(QStringLiteral("Table does not exist: %1").arg(options.table));
    const TColumnDef *order = table->column(table->orderColumn);
    const bool dated = order && order->type == TFieldType::Date;
    if ((options.from.isValid() || options.to.isValid()) && !dated)
        throw EDatabaseError(QStringLiteral("%1 has no dates to choose records by").arg(table->fileName));

    // The bounds go through the engine's own filter, written as ISO dates.
    TFormatSettings iso;
    iso.ShortDateFormat = QStringLiteral("yyyy/mm/dd");
    iso.DateSeparator = QLatin1Char('-');
    QStringList conditions;
    if (options.from.isValid())
        conditions << QStringLiteral("%1 >= '%2'").arg(table->orderColumn, options.from.toString(Qt::ISODate));
    if (options.to.isValid())
        conditions << QStringLiteral("%1 <= '%2'").arg(table->orderColumn, options.to.toString(Qt::ISODate));
    const TFilterExpr filter = TFilterExpr::parse(
        conditions.join(QStringLiteral(" AND ")),
        [table](const QString &name) -> std::optional<TFilterExpr::Column> {
            if (const TColumnDef *c = table->column(name))
                return TFilterExpr::Column{c->name, c->type};
            return std::nullopt;
        },
        iso, Clock::today());

    TRecordReader reader(TEngineDatabase::forAlias(alias), *table, filter);
    QStringList titles;
    for (int c = 0; c < reader.columnCount(); ++c)
        titles << reader.columnName(c);
    qint64 written = 0;
    CsvExport::write(reader, titles, options.file, [&written](qint64 n) {
        written = n;
        return true;
    });
    return written;
}

// Backups copy a SQLite file; a server's books are backed up by the
// server's own tools, or copied into SQLite books.
QString AdminTool::booksFile(const QString &alias)
{
    const TAliasLocation where = location(alias);
    if (where.server)
        throw EDatabaseError(QStringLiteral("Alias %1 names books on a database server (%2): back them up with the "
                                            "server's own tools (pg_dump), or copy them into SQLite books with "
                                            "ardentry-db copy %1 FOLDER")
                                 .arg(alias, where.databaseFile));
    return where.databaseFile;
}

BooksBackup::TBackupInfo AdminTool::backup(const QString &alias, const QString &target,
                                           const BooksBackup::TProgress &progress)
{
    const QString books = booksFile(alias);
    return target.isEmpty() ? BooksBackup::backUp(books, progress) : BooksBackup::backUpTo(books, target, progress);
}

QList<BooksBackup::TBackupInfo> AdminTool::backups(const QString &alias)
{
    return BooksBackup::list(booksFile(alias));
}

BooksBackup::TRestoreResult AdminTool::restore(const QString &alias, const QString &file,
                                               const BooksBackup::TProgress &progress)
{
    const QString books = booksFile(alias);
    QString source = file;
    if (!QFileInfo::exists(source) && QFileInfo(source).isRelative()) {
        const QString listed = QDir(BooksBackup::backupsFolder(books)).filePath(source);
        if (QFileInfo::exists(listed))
            source = listed;
    }
    return BooksBackup::restore(books, source, progress);
}
