// The data module on ten years of books: choosing a month or a year
// (filtering the four journals, counting and walking the three totals as the
// Summary does), each against the same counts and sums straight from SQLite
// under the engine's own connection settings. A first visit asks for a
// period nobody asked for before; a return asks for the same one again.
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

// How many different months and years a first-visit run goes through: each
// iteration asks for a period that neither side has asked for before.
constexpr int FirstVisitMonths = 60;
constexpr int FirstVisitYears = 10;

TDM &dm()
{
    if (!g_dm)
        g_dm = new TDM();
    return *g_dm;
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

// Filters the four journals to the period and walks the three totals, as
// the Summary does.
double periodWalk(const BenchBooks::Period &p)
{
    TDM &d = dm();
    const TFormatSettings &fs = FormatSettings();
    const QString filter =
        QStringLiteral("DocDate >= '%1' AND DocDate <= '%2'")
            .arg(FieldText::formatDate(QDate::fromString(QString::fromLatin1(p.from), Qt::ISODate), fs),
                 FieldText::formatDate(QDate::fromString(QString::fromLatin1(p.to), Qt::ISODate), fs));
    const QList<TTable *> journals{d.AccTransTable, d.SalesTable, d.ExpensesTable, d.PurchasesTable};
    for (TTable *t : journals)
        t->setFiltered(false);
    for (TTable *t : journals)
        t->setFilter(filter);
    for (TTable *t : journals)
        t->setFiltered(true);
    const double sales = walk(d.SalesTable, d.SalesTableTotal);
    const double expenses = walk(d.ExpensesTable, d.ExpensesTableAmount);
    const double purchases = walk(d.PurchasesTable, d.PurchasesTableTotal);
    return sales - expenses - purchases;
}

using PeriodOf = BenchBooks::Period (*)(int back);

// firstVisits: iteration i asks for the period i back from the last one, so
// that nothing is found kept; otherwise the last period every time.
void programWalks(benchmark::State &state, PeriodOf period, bool firstVisits)
{
    // A fresh data module and connection for each run: a first visit must
    // find nothing a run before it kept.
    delete g_dm;
    g_dm = nullptr;
    TEngineDatabase::closeAll();
    periodWalk(period(firstVisits ? 1000 : 0));  // opening, on a period that holds nothing
    double total = 0;
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(total = periodWalk(period(firstVisits ? i++ : 0)));
    state.counters["profit"] = total;
}

// The same counts and sums straight from SQLite (no expense totals: the walk
// does not run them).
void directWalks(benchmark::State &state, PeriodOf period, bool firstVisits)
{
    sqlite3 *db = BenchBooks::openDirect(g_file);
    BenchBooks::periodFiguresDirect(db, period(1000), false);
    double total = 0;
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(total = BenchBooks::periodFiguresDirect(db, period(firstVisits ? i++ : 0), false));
    state.counters["profit"] = total;
    BenchBooks::closeDirect(db);
}

void add(const char *name, void (*run)(benchmark::State &, PeriodOf, bool), PeriodOf period, bool firstVisits,
         int iterations)
{
    auto *b = benchmark::RegisterBenchmark(name, [=](benchmark::State &s) { run(s, period, firstVisits); })
                  ->Unit(benchmark::kMillisecond);
    if (firstVisits)
        b->Iterations(iterations);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const BenchBooks::Options options = BenchBooks::parseOptions(argc, argv);
    g_file = BenchBooks::prepare(options.books, options.rows);
    std::printf("books: %lld rows per journal, ending %s\n", static_cast<long long>(options.rows),
                qPrintable(BenchBooks::endDate().toString(Qt::ISODate)));

    // First visits: each iteration a month (or year) not asked for before.
    // Returns: the same period again, where the engine finds its counts kept.
    add("month, first visit: filter and walk", programWalks, BenchBooks::month, true, FirstVisitMonths);
    add("month, first visit: counts and sums from SQLite", directWalks, BenchBooks::month, true, FirstVisitMonths);
    add("month, return: filter and walk", programWalks, BenchBooks::month, false, 0);
    add("month, return: counts and sums from SQLite", directWalks, BenchBooks::month, false, 0);
    add("year, first visit: filter and walk", programWalks, BenchBooks::year, true, FirstVisitYears);
    add("year, first visit: counts and sums from SQLite", directWalks, BenchBooks::year, true, FirstVisitYears);
    add("year, return: filter and walk", programWalks, BenchBooks::year, false, 0);
    add("year, return: counts and sums from SQLite", directWalks, BenchBooks::year, false, 0);

    benchmark::Initialize(&argc, argv);
    BenchBooks::RatioReporter reporter(
        {{"month, first visit: filter and walk", "month, first visit: counts and sums from SQLite"},
         {"month, return: filter and walk", "month, return: counts and sums from SQLite"},
         {"year, first visit: filter and walk", "year, first visit: counts and sums from SQLite"},
         {"year, return: filter and walk", "year, return: counts and sums from SQLite"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    delete g_dm;
    TEngineDatabase::closeAll();
    return 0;
}
