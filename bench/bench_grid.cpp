// The record grid scrolling a journal of a million records, a row and a page
// at a time, as the Down and Page Down keys do (painting included), against
// reading the same records straight from SQLite by key. Each step reports how
// many records the dataset read from the engine.
//
//   bench_grid [--rows=1000000] [--books=DIR] [Google Benchmark options]

#include "BenchBooks.h"
#include "EngineDatabase.h"
#include "TDataSource.h"
#include "TTable.h"
#include "TwwDBGrid.h"

#include <QApplication>
#include <QKeyEvent>

namespace {

QString g_file;
TTable *g_table = nullptr;
TwwDBGrid *g_grid = nullptr;

// Presses a key in the grid and lets it paint.
void press(Qt::Key key)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(g_grid, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(g_grid, &up);
    QApplication::processEvents();
}

void gridSteps(benchmark::State &state, Qt::Key key)
{
    g_table->First();
    QApplication::processEvents();
    const quint64 before = g_table->RowsRead();
    quint64 excluded = 0;
    for (auto _ : state) {
        if (g_table->Eof()) {
            state.PauseTiming();
            const quint64 r = g_table->RowsRead();
            g_table->First();
            QApplication::processEvents();
            excluded += g_table->RowsRead() - r;
            state.ResumeTiming();
        }
        press(key);
    }
    state.counters["records/step"] =
        double(g_table->RowsRead() - before - excluded) / double(std::max<benchmark::IterationCount>(1, state.iterations()));
    state.counters["rows shown"] = g_grid->VisibleRowCount();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const BenchBooks::Options options = BenchBooks::parseOptions(argc, argv);
    g_file = BenchBooks::prepare(options.books, options.rows);
    std::printf("books: %lld rows per journal\n", static_cast<long long>(options.rows));

    g_table = new TTable(&app);
    g_table->setObjectName(QStringLiteral("AccTransTable"));
    g_table->setDatabaseName(QStringLiteral("ARD"));
    g_table->setTableName(QStringLiteral("AccTrans.db"));
    auto *source = new TDataSource(&app, g_table);
    g_grid = new TwwDBGrid();
    g_grid->setOptions(TwwCustomDBGrid::DefaultOptions | dgRowSelect);
    g_grid->setKeyOptions({});  // no new record at the end of the data
    g_grid->setSelected({QStringLiteral("DocDate\t10\tDate"), QStringLiteral("Transaction\t22\tTransaction"),
                         QStringLiteral("Increase\t14\tIncrease"), QStringLiteral("Decrease\t14\tDecrease"),
                         QStringLiteral("Remarks\t34\tRemarks")});
    g_grid->setDataSource(source);
    g_grid->resize(900, 600);
    g_grid->show();
    g_table->Open();
    QApplication::processEvents();
    const int page = g_grid->VisibleRowCount();
    std::printf("grid shows %d rows\n", page);

    benchmark::RegisterBenchmark("grid: row down", [](benchmark::State &s) { gridSteps(s, Qt::Key_Down); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("grid: page down", [](benchmark::State &s) { gridSteps(s, Qt::Key_PageDown); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("one record from SQLite", [](benchmark::State &s) { BenchBooks::keysetStepsDirect(s, g_file, 1); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("a page of records from SQLite", [page](benchmark::State &s) { BenchBooks::keysetStepsDirect(s, g_file, page); })
        ->Unit(benchmark::kMicrosecond);

    benchmark::Initialize(&argc, argv);
    BenchBooks::RatioReporter reporter(
        {{"grid: row down", "one record from SQLite"}, {"grid: page down", "a page of records from SQLite"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    delete g_grid;
    TEngineDatabase::closeAll();
    return 0;
}
