// The whole program on ten years of books, driven as a user drives it: the
// real main window from start-up to shown, the period switched by its radio
// buttons, a new sale typed into the real dialog from the side bar, an
// account's history opened, and a record tab's grid scrolled. Each is
// measured against the same work done straight on SQLite, in the same run on
// the same file.
//
//   bench_program [--rows=1000000] [--books=DIR] [Google Benchmark options]
//
// A benchmark of the program starts the main window before its loop and
// closes it after, so that the SQLite baselines (which write, for the new
// sale) run with no other connection on the file.

#include "AdminTool.h"
#include "BenchBooks.h"
#include "BenchServer.h"
#include "Clock.h"
#include "DMUnit.h"
#include "EngineDatabase.h"
#include "FormatSettings.h"
#include "PgBackend.h"
#include "Startup.h"
#include "TQuery.h"
#include "TTable.h"
#include "TwwDBGrid.h"
#include "frmAccStatementUnit.h"
#include "frmMainUnit.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <sqlite3.h>

namespace {

BenchBooks::Options g_options;
QString g_file;       // the large books
int g_statementRows = 0;  // rows the account history shows on its first screen
int g_tabRows = 0;        // rows the Accounts tab's grid shows

// The Customer of every sale this benchmark stores, so that they can be
// found and deleted again.
const char *const BenchCustomer = "Benchmark sale";

// Points the engine at the books with `rows` records per journal.
void useBooks(qint64 rows)
{
    BenchBooks::prepare(g_options, rows);
}

bool onServer()
{
    return !g_options.server.isEmpty();
}

// Statements the program has sent the server so far on its open books.
quint64 roundTrips()
{
    return onServer() ? TEngineDatabase::forAlias(AdminTool::DefaultAlias).roundTrips() : 0;
}

// Reports `trips` statements sent over the run as a count per iteration.
void countTrips(benchmark::State &state, quint64 trips)
{
    if (onServer())
        BenchBooks::countRoundTrips(state, trips);
}

// Resident memory now, in megabytes.
double residentMb()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? double(parts.at(1).toLongLong()) * 4096.0 / (1024.0 * 1024.0) : 0;
}

// Start-up as main() does it, up to the window shown and painted.
void startShown()
{
    if (!Startup::start()) {
        std::fprintf(stderr, "start-up failed\n");
        std::exit(1);
    }
    frmMain->show();
    QApplication::processEvents();
}

template <typename W>
W *child(const char *name)
{
    W *w = frmMain->findChild<W *>(QLatin1String(name));
    if (!w) {
        std::fprintf(stderr, "the main window has no %s\n", name);
        std::exit(1);
    }
    return w;
}

void click(const char *button)
{
    child<QAbstractButton>(button)->click();
    QApplication::processEvents();
}

// Answers the next modal widget that shows: waits for it in the event loop
// (a dialog's exec() runs one) and hands it to `step`. As tests/ModalAnswer
// does, but without a timer interval, which would be measured as idle time.
void answerModal(const std::function<void(QWidget *)> &step, int triesLeft = 100000)
{
    QTimer::singleShot(0, [step, triesLeft] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible())
            step(modal);
        else if (triesLeft > 0)
            answerModal(step, triesLeft - 1);
    });
}

// Types into one of the dialog's boxes, replacing its text, as a user does.
void typeInto(QWidget *dialog, const char *editor, const QString &text)
{
    QWidget *w = dialog->findChild<QWidget *>(QLatin1String(editor));
    if (!w) {
        std::fprintf(stderr, "the dialog has no %s\n", editor);
        std::exit(1);
    }
    // The offscreen platform activates no window by itself; keys reach only
    // the active one.
    QApplication::setActiveWindow(dialog);
    w->setFocus();
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(w, text);
}

// Removes the sales this benchmark stored; returns how many there were.
int deleteBenchSales()
{
    if (onServer())
        return BenchServer::deleteSales(g_file, BenchCustomer);
    sqlite3 *db = BenchBooks::openDirect(g_file, true);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "DELETE FROM Sales WHERE Customer = ?", -1, &st, nullptr);
    sqlite3_bind_text(st, 1, BenchCustomer, -1, SQLITE_STATIC);
    sqlite3_step(st);
    sqlite3_finalize(st);
    const int n = sqlite3_changes(db);
    sqlite3_close(db);
    return n;
}

// ---- start-up -----------------------------------------------------------------

void startUp(benchmark::State &state, qint64 rows)
{
    useBooks(rows);
    double rss = 0;
    quint64 trips = 0;
    for (auto _ : state) {
        startShown();
        state.PauseTiming();
        rss = residentMb();
        trips += roundTrips();  // a new connection each time
        Startup::finish();
        state.ResumeTiming();
    }
    state.counters["RSS shown MB"] = rss;
    countTrips(state, trips);
    useBooks(g_options.rows);
}

// The balance statement alone, on a fresh connection, read to the end.
void balanceQueryDirect(benchmark::State &state)
{
    quint64 trips = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(onServer() ? BenchServer::balanceQuery(g_file, &trips)
                                            : BenchBooks::balanceQueryDirect(g_file));
    countTrips(state, trips);
}

// ---- the period ---------------------------------------------------------------

QDate g_today;  // the program's today in the period benchmarks

// Current Year (or Current Month) chosen by its radio button. On a first
// visit, today moves back a year (a month) each iteration, so that the
// period is one nobody has asked for; on a return it stays. Between
// iterations, untimed, Today is chosen, so that the timed click is a change.
void periodChoice(benchmark::State &state, bool wholeYear, bool firstVisits)
{
    Clock::setTodaySource([] { return g_today; });
    startShown();
    int back = 0;
    quint64 trips = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QDate end = BenchBooks::endDate();
        g_today = wholeYear ? QDate(end.year() - back, 12, 31) : end.addMonths(-back);
        g_today = QDate(g_today.year(), g_today.month(), g_today.daysInMonth());
        if (firstVisits)
            ++back;
        click("optToday");
        const quint64 before = roundTrips();
        state.ResumeTiming();
        click(wholeYear ? "optYear" : "optMonth");
        state.PauseTiming();
        trips += roundTrips() - before;
        state.ResumeTiming();
    }
    countTrips(state, trips);
    g_today = BenchBooks::endDate();
    Startup::finish();
}

void periodFiguresDirect(benchmark::State &state, bool wholeYear, bool firstVisits)
{
    pg_conn *conn = onServer() ? BenchServer::connect(g_file) : nullptr;
    sqlite3 *db = conn ? nullptr : BenchBooks::openDirect(g_file);
    const quint64 before = conn ? BenchServer::roundTrips(conn) : 0;
    int back = 0;
    for (auto _ : state) {
        const BenchBooks::Period p = wholeYear ? BenchBooks::year(back) : BenchBooks::month(back);
        if (firstVisits)
            ++back;
        benchmark::DoNotOptimize(conn ? BenchServer::periodFigures(conn, p) : BenchBooks::periodFiguresDirect(db, p));
    }
    if (conn) {
        countTrips(state, BenchServer::roundTrips(conn) - before);
        BenchServer::close(conn);
    } else {
        BenchBooks::closeDirect(db);
    }
}

// ---- a new sale ---------------------------------------------------------------

// From the side-bar button to the Summary recomputed, with the Current Month
// shown. Every iteration stores one sale; they are deleted after the loop
// (a few dozen among the month's eight thousand do not change the figures).
void newSale(benchmark::State &state)
{
    deleteBenchSales();
    startShown();
    auto *button = child<QPushButton>("btnNewSale");
    const quint64 before = roundTrips();
    for (auto _ : state) {
        answerModal([](QWidget *dialog) {
            typeInto(dialog, "DBEdit3", QString::fromLatin1(BenchCustomer));
            typeInto(dialog, "DBEdit5", QStringLiteral("120.5"));
            QApplication::setActiveWindow(dialog);
            QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog, Qt::Key_Return);
        });
        button->click();
        QApplication::processEvents();
    }
    countTrips(state, roundTrips() - before);
    Startup::finish();
    const int stored = deleteBenchSales();
    if (stored != int(state.iterations()))
        state.SkipWithError("the dialog did not store one sale per click");
}

// What the program does for a new sale, straight on SQLite: the highest
// invoice number, the insert, and the month's counts and sums (the expense
// totals and balances it keeps, as nothing they read changed).
void newSaleDirect(benchmark::State &state)
{
    deleteBenchSales();
    if (onServer()) {
        BenchServer::newSale(state, g_file, BenchCustomer);
        deleteBenchSales();
        return;
    }
    sqlite3 *db = BenchBooks::openDirect(g_file, true);
    sqlite3_stmt *maxId = nullptr;
    sqlite3_prepare_v2(db, "Select Max(ID) as MaxID From Sales", -1, &maxId, nullptr);
    const QByteArray today = BenchBooks::endDate().toString(Qt::ISODate).toUtf8();
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO Sales (Id, DocDate, Customer, Total) VALUES (?, ?, ?, 120.5)", -1, &insert, nullptr);
    for (auto _ : state) {
        sqlite3_step(maxId);
        const qint64 next = sqlite3_column_int64(maxId, 0) + 1;
        sqlite3_reset(maxId);
        sqlite3_bind_int64(insert, 1, next);
        sqlite3_bind_text(insert, 2, today.constData(), -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, BenchCustomer, -1, SQLITE_STATIC);
        if (sqlite3_step(insert) != SQLITE_DONE)
            state.SkipWithError(sqlite3_errmsg(db));
        sqlite3_reset(insert);
        benchmark::DoNotOptimize(BenchBooks::periodFiguresDirect(db, BenchBooks::month(), false));
    }
    sqlite3_finalize(maxId);
    sqlite3_finalize(insert);
    BenchBooks::closeDirect(db);
    deleteBenchSales();
}

// ---- an account's history -----------------------------------------------------

// The statement the Summary's "Account Transactions" link runs for the first
// account, which holds a tenth of the transactions.
const char *const StatementSQL = "select * From AccTrans Where AccID = 1 Order By DocDate";
// The same as the engine sends it to a server: names in lower case, its
// first screen by limit.
const char *const StatementServerSQL =
    "select * From AccTrans Where AccID = 1 Order By DocDate NULLS FIRST LIMIT $1 OFFSET $2";

void accountHistory(benchmark::State &state)
{
    startShown();
    quint64 rowsRead = 0;
    quint64 trips = 0;
    for (auto _ : state) {
        const quint64 before = roundTrips();
        auto *window = new TfrmAccStatement(frmMain);
        window->OpenStatement(QString::fromLatin1(StatementSQL));
        window->show();
        QApplication::processEvents();
        state.PauseTiming();
        trips += roundTrips() - before;
        rowsRead = window->AccTransQuery->RowsRead();
        g_statementRows = window->findChild<TwwDBGrid *>(QStringLiteral("wwDBGrid2"))->VisibleRowCount();
        delete window;
        state.ResumeTiming();
    }
    state.counters["records read"] = double(rowsRead);
    state.counters["rows shown"] = g_statementRows;
    countTrips(state, trips);
    Startup::finish();
}

void accountHistoryDirect(benchmark::State &state)
{
    if (onServer()) {
        BenchServer::firstScreen(state, g_file, StatementServerSQL, std::max(1, g_statementRows));
        return;
    }
    sqlite3 *db = BenchBooks::openDirect(g_file);
    const int rows = std::max(1, g_statementRows);
    for (auto _ : state) {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, StatementSQL, -1, &st, nullptr);
        const int columns = sqlite3_column_count(st);
        for (int got = 0; got < rows && sqlite3_step(st) == SQLITE_ROW; ++got)
            for (int c = 0; c < columns; ++c)
                benchmark::DoNotOptimize(sqlite3_column_text(st, c));
        sqlite3_finalize(st);
    }
    state.counters["rows"] = rows;
    BenchBooks::closeDirect(db);
}

// ---- scrolling a record tab ---------------------------------------------------

// Presses a key in the grid and lets it paint.
void press(QWidget *grid, Qt::Key key)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(grid, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(grid, &up);
    QApplication::processEvents();
}

void tabSteps(benchmark::State &state, Qt::Key key)
{
    startShown();
    click("optYear");
    auto *pages = child<QStackedWidget>("Pages");
    pages->setCurrentWidget(child<QWidget>("TabSheetAccounts"));
    auto *grid = child<TwwDBGrid>("wwDBGrid2");
    grid->setFocus();
    QApplication::processEvents();
    g_tabRows = grid->VisibleRowCount();
    TTable *table = DM->AccTransTable;
    table->First();
    QApplication::processEvents();
    const quint64 before = table->RowsRead();
    const quint64 tripsBefore = roundTrips();
    quint64 excluded = 0;
    quint64 tripsExcluded = 0;
    for (auto _ : state) {
        if (table->Eof()) {
            state.PauseTiming();
            const quint64 r = table->RowsRead();
            const quint64 t = roundTrips();
            table->First();
            QApplication::processEvents();
            excluded += table->RowsRead() - r;
            tripsExcluded += roundTrips() - t;
            state.ResumeTiming();
        }
        press(grid, key);
    }
    countTrips(state, roundTrips() - tripsBefore - tripsExcluded);
    state.counters["records/step"] =
        double(table->RowsRead() - before - excluded) / double(std::max<benchmark::IterationCount>(1, state.iterations()));
    state.counters["rows shown"] = g_tabRows;
    Startup::finish();
}

// The baseline of the tab's steps: `n` records of the year a step, by key.
void yearSteps(benchmark::State &state, int n)
{
    const BenchBooks::Period y = BenchBooks::year();
    if (onServer())
        BenchServer::keysetSteps(state, g_file, n, y.from, y.to);
    else
        BenchBooks::keysetStepsDirect(state, g_file, n, y.from, y.to);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    g_options = BenchBooks::parseOptions(argc, argv);
    // The empty books first, so that the large books are the ones in force.
    BenchBooks::prepare(g_options, 0);
    g_file = BenchBooks::prepare(g_options, g_options.rows);
    g_today = BenchBooks::endDate();
    std::printf("books: %lld rows per journal, ending %s%s\n", static_cast<long long>(g_options.rows),
                qPrintable(BenchBooks::endDate().toString(Qt::ISODate)),
                onServer() ? qPrintable(QStringLiteral(", on ") + TPgBackend::displayAddress(g_file)) : "");

    const auto ms = benchmark::kMillisecond;
    benchmark::RegisterBenchmark("start-up", [](benchmark::State &s) { startUp(s, g_options.rows); })->Unit(ms);
    benchmark::RegisterBenchmark("start-up, empty books", [](benchmark::State &s) { startUp(s, 0); })->Unit(ms);
    benchmark::RegisterBenchmark("balance query alone", balanceQueryDirect)->Unit(ms);
    for (const bool wholeYear : {false, true}) {
        const std::string period = wholeYear ? "Current Year" : "Current Month";
        const std::string figures = wholeYear ? "year" : "month";
        const int firstVisits = wholeYear ? 10 : 60;
        benchmark::RegisterBenchmark((period + ", first visit").c_str(),
                                     [=](benchmark::State &s) { periodChoice(s, wholeYear, true); })
            ->Unit(ms)
            ->Iterations(firstVisits);
        benchmark::RegisterBenchmark((figures + " figures, first visit").c_str(),
                                     [=](benchmark::State &s) { periodFiguresDirect(s, wholeYear, true); })
            ->Unit(ms)
            ->Iterations(firstVisits);
        benchmark::RegisterBenchmark((period + ", return").c_str(),
                                     [=](benchmark::State &s) { periodChoice(s, wholeYear, false); })
            ->Unit(ms);
        benchmark::RegisterBenchmark((figures + " figures, return").c_str(),
                                     [=](benchmark::State &s) { periodFiguresDirect(s, wholeYear, false); })
            ->Unit(ms);
    }
    benchmark::RegisterBenchmark("new sale", newSale)->Unit(ms);
    benchmark::RegisterBenchmark("insert and month sums", newSaleDirect)->Unit(ms);
    benchmark::RegisterBenchmark("account history", accountHistory)->Unit(ms);
    benchmark::RegisterBenchmark("its first screen", accountHistoryDirect)->Unit(ms);
    benchmark::RegisterBenchmark("tab: row down", [](benchmark::State &s) { tabSteps(s, Qt::Key_Down); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("tab: page down", [](benchmark::State &s) { tabSteps(s, Qt::Key_PageDown); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("one record of the year", [](benchmark::State &s) { yearSteps(s, 1); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("a page of the year",
                                 [](benchmark::State &s) { yearSteps(s, std::max(1, g_tabRows)); })
        ->Unit(benchmark::kMicrosecond);

    benchmark::Initialize(&argc, argv);
    BenchBooks::RatioReporter reporter({{"start-up", "balance query alone + start-up, empty books"},
                                        {"Current Month, first visit", "month figures, first visit"},
                                        {"Current Month, return", "month figures, return"},
                                        {"Current Year, first visit", "year figures, first visit"},
                                        {"Current Year, return", "year figures, return"},
                                        {"new sale", "insert and month sums"},
                                        {"account history", "its first screen"},
                                        {"tab: row down", "one record of the year"},
                                        {"tab: page down", "a page of the year"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    TEngineDatabase::closeAll();
    return 0;
}
