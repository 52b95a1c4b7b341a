// The data module on ten years of books: choosing a month or a year
// (filtering the four journals, counting and walking the three totals as the
// Summary does), each against the same counts and sums straight from SQLite
// under the engine's own connection settings. A first visit asks for a
// period nobody asked for before; a return asks for the same one again.
//
//   bench_datamodule [--rows=1000000] [--books=DIR] [Google Benchmark options]

#include "AdminTool.h"
#include "BenchBooks.h"
#include "BenchServer.h"
#include "DMUnit.h"
#include "EngineDatabase.h"
#include "FieldText.h"
#include "PgBackend.h"
#include "TFloatField.h"
#include "TTable.h"

#include <QCoreApplication>
#include <sqlite3.h>

namespace {

BenchBooks::Options g_options;
QString g_file;  // the database file, or the books' address on a server
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
    const bool server = !g_options.server.isEmpty();
    auto roundTrips = [server] {
        return server ? TEngineDatabase::forAlias(AdminTool::DefaultAlias).roundTrips() : 0;
    };
    const quint64 before = roundTrips();
    double total = 0;
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(total = periodWalk(period(firstVisits ? i++ : 0)));
    state.counters["profit"] = total;
    if (server)
        BenchBooks::countRoundTrips(state, roundTrips() - before);
}

// The same counts and sums straight from SQLite, or from the server (no
// expense totals: the walk does not run them).
void directWalks(benchmark::State &state, PeriodOf period, bool firstVisits)
{
    pg_conn *conn = g_options.server.isEmpty() ? nullptr : BenchServer::connect(g_file);
    sqlite3 *db = conn ? nullptr : BenchBooks::openDirect(g_file);
    auto figures = [&](const BenchBooks::Period &p) {
        return conn ? BenchServer::periodFigures(conn, p, false) : BenchBooks::periodFiguresDirect(db, p, false);
    };
    figures(period(1000));
    const quint64 before = conn ? BenchServer::roundTrips(conn) : 0;
    double total = 0;
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(total = figures(period(firstVisits ? i++ : 0)));
    state.counters["profit"] = total;
    if (conn) {
        BenchBooks::countRoundTrips(state, BenchServer::roundTrips(conn) - before);
        BenchServer::close(conn);
    } else {
        BenchBooks::closeDirect(db);
    }
}

void add(const std::string &name, void (*run)(benchmark::State &, PeriodOf, bool), PeriodOf period, bool firstVisits,
         int iterations)
{
    auto *b = benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State &s) { run(s, period, firstVisits); })
                  ->Unit(benchmark::kMillisecond);
    if (firstVisits)
        b->Iterations(iterations);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    g_options = BenchBooks::parseOptions(argc, argv);
    const BenchBooks::Options &options = g_options;
    g_file = BenchBooks::prepare(options, options.rows);
    std::printf("books: %lld rows per journal, ending %s%s\n", static_cast<long long>(options.rows),
                qPrintable(BenchBooks::endDate().toString(Qt::ISODate)),
                options.server.isEmpty() ? "" : qPrintable(QStringLiteral(", on ") + TPgBackend::displayAddress(g_file)));

    // First visits: each iteration a month (or year) not asked for before.
    // Returns: the same period again, where the engine finds its counts kept.
    const std::string from = options.server.isEmpty() ? "from SQLite" : "from the server";
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const bool wholeYear : {false, true})
        for (const bool firstVisits : {true, false}) {
            const std::string visit = std::string(wholeYear ? "year" : "month") + (firstVisits ? ", first visit: " : ", return: ");
            const PeriodOf period = wholeYear ? BenchBooks::year : BenchBooks::month;
            const int iterations = wholeYear ? FirstVisitYears : FirstVisitMonths;
            pairs.emplace_back(visit + "filter and walk", visit + "counts and sums " + from);
            add(pairs.back().first, programWalks, period, firstVisits, iterations);
            add(pairs.back().second, directWalks, period, firstVisits, iterations);
        }

    benchmark::Initialize(&argc, argv);
    BenchBooks::RatioReporter reporter(pairs);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    delete g_dm;
    TEngineDatabase::closeAll();
    return 0;
}
