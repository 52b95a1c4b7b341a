// The Trends tab on ten years of books: the real main window shows the tab
// after a period change, which sums twelve months of the three journals and
// draws the chart, against the same twelve monthly sums straight from
// SQLite, in the same SQL shape (one statement per journal, a conditional
// sum per month) with the engine's connection settings, in the same run on
// the same file.
//
//   bench_trends [--rows=1000000] [--books=DIR] [Google Benchmark options]
//
// Each iteration asks for twelve months nobody has asked for before (the
// period's month moves back one month an iteration), so that no kept result
// answers in place of the books.

#include "BenchBooks.h"
#include "Clock.h"
#include "EngineDatabase.h"
#include "Startup.h"
#include "TTrendsChart.h"
#include "TTrendsTab.h"
#include "frmMainUnit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QStackedWidget>
#include <sqlite3.h>

namespace {

BenchBooks::Options g_options;
QString g_file;
QDate g_today;

constexpr int Months = 12;
constexpr int FirstVisits = 60;

// The last day of the month `back` months before the books' last month.
QDate monthEnd(int back)
{
    const QDate first = QDate(BenchBooks::endDate().year(), BenchBooks::endDate().month(), 1).addMonths(-back);
    return first.addMonths(1).addDays(-1);
}

// Current Month chosen on the Summary (untimed), then the Trends tab shown:
// its twelve monthly sums and the chart drawn.
void trendsTab(benchmark::State &state)
{
    Clock::setTodaySource([] { return g_today; });
    if (!Startup::start()) {
        std::fprintf(stderr, "start-up failed\n");
        std::exit(1);
    }
    frmMain->show();
    QApplication::processEvents();
    auto *pages = frmMain->findChild<QStackedWidget *>(QStringLiteral("Pages"));
    auto *summary = frmMain->findChild<QWidget *>(QStringLiteral("TabSheet1"));
    auto *trends = frmMain->findChild<TTrendsTab *>(QStringLiteral("TabSheetTrends"));
    auto *today = frmMain->findChild<QAbstractButton *>(QStringLiteral("optToday"));
    auto *month = frmMain->findChild<QAbstractButton *>(QStringLiteral("optMonth"));
    if (!pages || !summary || !trends || !today || !month) {
        state.SkipWithError("the main window lacks its pages or period buttons");
        Startup::finish();
        return;
    }
    int back = 0;
    for (auto _ : state) {
        state.PauseTiming();
        pages->setCurrentWidget(summary);
        g_today = monthEnd(back++);
        today->click();
        month->click();
        QApplication::processEvents();
        if (!trends->isStale())
            state.SkipWithError("the hidden tab recomputed with the Summary");
        state.ResumeTiming();
        pages->setCurrentWidget(trends);
        QApplication::processEvents();
    }
    if (trends->isStale() || trends->chart()->figures().size() != Months)
        state.SkipWithError("the tab did not chart twelve months");
    g_today = BenchBooks::endDate();
    Startup::finish();
}

// The same twelve monthly sums of each journal straight from SQLite.
void trendSumsDirect(benchmark::State &state)
{
    sqlite3 *db = BenchBooks::openDirect(g_file);
    const std::pair<const char *, const char *> journals[] = {
        {"Sales", "Total"}, {"Expenses", "Amount"}, {"Purchases", "Total"}};
    std::vector<sqlite3_stmt *> statements;
    for (const auto &[table, amount] : journals) {
        std::string sql = "SELECT ";
        for (int m = 0; m < Months; ++m) {
            sql += m ? ", " : "";
            sql += "sum(CASE WHEN DocDate >= ?" + std::to_string(2 * m + 1) + " AND DocDate <= ?" +
                   std::to_string(2 * m + 2) + " THEN " + amount + " END)";
        }
        sql += std::string(" FROM ") + table + " WHERE DocDate >= ?1 AND DocDate <= ?" + std::to_string(2 * Months);
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr);
        statements.push_back(st);
    }
    int back = 0;
    for (auto _ : state) {
        const QDate last = monthEnd(back++);
        QList<QByteArray> days;
        for (int m = Months - 1; m >= 0; --m) {
            const QDate first = QDate(last.year(), last.month(), 1).addMonths(-m);
            days << first.toString(Qt::ISODate).toUtf8() << first.addMonths(1).addDays(-1).toString(Qt::ISODate).toUtf8();
        }
        double profit[Months] = {};
        for (size_t j = 0; j < statements.size(); ++j) {
            sqlite3_stmt *st = statements[j];
            for (int p = 0; p < 2 * Months; ++p)
                sqlite3_bind_text(st, p + 1, days.at(p).constData(), -1, SQLITE_STATIC);
            if (sqlite3_step(st) == SQLITE_ROW)
                for (int m = 0; m < Months; ++m)
                    profit[m] += (j == 0 ? 1 : -1) * sqlite3_column_double(st, m);
            sqlite3_reset(st);
        }
        benchmark::DoNotOptimize(profit);
    }
    for (sqlite3_stmt *st : statements)
        sqlite3_finalize(st);
    sqlite3_close(db);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    g_options = BenchBooks::parseOptions(argc, argv);
    g_file = BenchBooks::prepare(g_options.books, g_options.rows);
    g_today = BenchBooks::endDate();
    std::printf("books: %lld rows per journal, ending %s\n", static_cast<long long>(g_options.rows),
                qPrintable(BenchBooks::endDate().toString(Qt::ISODate)));

    const auto ms = benchmark::kMillisecond;
    benchmark::RegisterBenchmark("Trends tab, first visit", trendsTab)->Unit(ms)->Iterations(FirstVisits);
    benchmark::RegisterBenchmark("twelve months' sums", trendSumsDirect)->Unit(ms)->Iterations(FirstVisits);

    benchmark::Initialize(&argc, argv);
    BenchBooks::RatioReporter reporter(
        std::vector<std::pair<std::string, std::string>>{{"Trends tab, first visit", "twelve months' sums"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    TEngineDatabase::closeAll();
    return 0;
}
