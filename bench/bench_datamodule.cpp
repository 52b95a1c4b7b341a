// The data module on ten years of books: creating it, and choosing a month
// or a year (filtering the four journals and walking the three totals as the
// Summary does), each against the same work done straight on SQLite.
//
//   bench_datamodule [--rows=1000000] [--books=DIR] [Google Benchmark options]

#include "BenchBooks.h"
#include "DMUnit.h"
#include "EngineDatabase.h"
#include "FieldText.h"
#include "TFloatField.h"
#include "TTable.h"

#include <QCoreApplication>
#include <sqlite3.h>

namespace {

QString g_file;
TDM *g_dm = nullptr;

struct Period
{
    QDate from, to;
};
Period month()
{
    const QDate e = BenchBooks::endDate();
    return {QDate(e.year(), e.month(), 1), e};
}
Period year()
{
    const QDate e = BenchBooks::endDate();
    return {QDate(e.year(), 1, 1), e};
}

TDM &dm()
{
    if (!g_dm)
        g_dm = new TDM();
    return *g_dm;
}

void createDM(benchmark::State &state)
{
    delete g_dm;
    g_dm = nullptr;
    TEngineDatabase::closeAll();
    for (auto _ : state) {
        TDM *d = new TDM();
        delete d;
        TEngineDatabase::closeAll();
    }
}

// The balance statement alone, on a fresh connection, read to the end.
void balanceQueryDirect(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(BenchBooks::balanceQueryDirect(g_file));
}

double walk(TTable *t, TField *amount)
{
    double sum = 0;
    if (t->RecordCount() > 0) {
        t->DisableControls();
        t->First();
        while (!t->Eof()) {
            sum += amount->AsFloat();
            t->Next();
        }
        t->First();
        t->EnableControls();
    }
    return sum;
}

void periodWalk(benchmark::State &state, Period p)
{
    TDM &d = dm();
    const TFormatSettings &fs = FormatSettings();
    const QString filter = QStringLiteral("DocDate >= '%1' AND DocDate <= '%2'")
                               .arg(FieldText::formatDate(p.from, fs), FieldText::formatDate(p.to, fs));
    const QList<TTable *> journals{d.AccTransTable, d.SalesTable, d.ExpensesTable, d.PurchasesTable};
    double total = 0;
    for (auto _ : state) {
        for (TTable *t : journals)
            t->setFiltered(false);
        for (TTable *t : journals)
            t->setFilter(filter);
        for (TTable *t : journals)
            t->setFiltered(true);
        const double sales = walk(d.SalesTable, d.SalesTableTotal);
        const double expenses = walk(d.ExpensesTable, d.ExpensesTableAmount);
        const double purchases = walk(d.PurchasesTable, d.PurchasesTableTotal);
        total = sales - expenses - purchases;
        benchmark::DoNotOptimize(total);
    }
    state.counters["profit"] = total;
}

// The same three sums: a plain ordered select per journal, summed in a loop.
// `wholeRecords` reads every column, as a dataset that shows records must;
// otherwise only the amount is read, the least any program could do.
void directSums(benchmark::State &state, Period p, bool wholeRecords)
{
    sqlite3 *db = BenchBooks::openDirect(g_file);
    const QByteArray from = p.from.toString(Qt::ISODate).toUtf8();
    const QByteArray to = p.to.toString(Qt::ISODate).toUtf8();
    const char *amounts[] = {
        "SELECT Total FROM Sales WHERE DocDate >= ? AND DocDate <= ? ORDER BY DocDate, SeqNo",
        "SELECT Amount FROM Expenses WHERE DocDate >= ? AND DocDate <= ? ORDER BY DocDate, Id",
        "SELECT Total FROM Purchases WHERE DocDate >= ? AND DocDate <= ? ORDER BY DocDate, SeqNo",
    };
    const char *records[] = {
        "SELECT Total, * FROM Sales WHERE DocDate >= ? AND DocDate <= ? ORDER BY DocDate, SeqNo",
        "SELECT Amount, * FROM Expenses WHERE DocDate >= ? AND DocDate <= ? ORDER BY DocDate, Id",
        "SELECT Total, * FROM Purchases WHERE DocDate >= ? AND DocDate <= ? ORDER BY DocDate, SeqNo",
    };
    const char *const *statements = wholeRecords ? records : amounts;
    double total = 0;
    for (auto _ : state) {
        double sums[3] = {0, 0, 0};
        for (int i = 0; i < 3; ++i) {
            sqlite3_stmt *st = nullptr;
            sqlite3_prepare_v2(db, statements[i], -1, &st, nullptr);
            sqlite3_bind_text(st, 1, from.constData(), -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 2, to.constData(), -1, SQLITE_STATIC);
            const int columns = sqlite3_column_count(st);
            while (sqlite3_step(st) == SQLITE_ROW) {
                sums[i] += sqlite3_column_double(st, 0);
                for (int c = 1; wholeRecords && c < columns; ++c)
                    benchmark::DoNotOptimize(sqlite3_column_text(st, c));
            }
            sqlite3_finalize(st);
        }
        total = sums[0] - sums[1] - sums[2];
        benchmark::DoNotOptimize(total);
    }
    state.counters["profit"] = total;
    sqlite3_close(db);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const BenchBooks::Options options = BenchBooks::parseOptions(argc, argv);
    g_file = BenchBooks::prepare(options.books, options.rows);
    std::printf("books: %lld rows per journal, ending %s\n", static_cast<long long>(options.rows),
                qPrintable(BenchBooks::endDate().toString(Qt::ISODate)));

    benchmark::RegisterBenchmark("create DM", createDM)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("balance query alone", balanceQueryDirect)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("month: filter and walk", [](benchmark::State &s) { periodWalk(s, month()); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("month: sums straight from SQLite", [](benchmark::State &s) { directSums(s, month(), false); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("month: records straight from SQLite",
                                 [](benchmark::State &s) { directSums(s, month(), true); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("year: filter and walk", [](benchmark::State &s) { periodWalk(s, year()); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("year: sums straight from SQLite", [](benchmark::State &s) { directSums(s, year(), false); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("year: records straight from SQLite",
                                 [](benchmark::State &s) { directSums(s, year(), true); })
        ->Unit(benchmark::kMillisecond);

    benchmark::Initialize(&argc, argv);
    BenchBooks::RatioReporter reporter({{"create DM", "balance query alone"},
                                        {"month: filter and walk", "month: sums straight from SQLite"},
                                        {"month: filter and walk", "month: records straight from SQLite"},
                                        {"year: filter and walk", "year: sums straight from SQLite"},
                                        {"year: filter and walk", "year: records straight from SQLite"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    delete g_dm;
    TEngineDatabase::closeAll();
    return 0;
}
