#pragma once

#include <QDate>
#include <QString>
#include <benchmark/benchmark.h>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;

// Large books for benchmarks, generated once by the administration tool's
// own code and kept in a folder for later runs (generating four million rows
// takes longer than measuring them).
namespace BenchBooks {

// The books end on this day, so the "current" month and year are fixed.
QDate endDate();

// Points the engine at books with `rows` records per journal under `root`
// (made the first time) and fixes today's date at endDate(). Returns the
// database file.
QString prepare(const QString &root, qint64 rows);

// Opens the database file straight through SQLite, as a baseline, with the
// engine's own connection settings (cache size and every pragma).
sqlite3 *openDirect(const QString &file, bool writable = false);

// A period, as ISO day texts.
struct Period
{
    QByteArray from;
    QByteArray to;
};
Period periodOf(const QDate &from, const QDate &to);
// The month and the year that end on endDate(), and the one `back` months
// or years before them.
Period month(int back = 0);
Period year(int back = 0);

// The figures of the Summary that depend on the period, straight from
// SQLite and asked for as the program asks: for Sales, Expenses and
// Purchases the count of the period's records and their amounts in reading
// order (each row's identity, date and amount read, as the program's walk
// reads them), and, with `expenseTotals`, the totals by expense type.
// Statements are prepared once per connection, as the engine keeps its own.
// Returns the profit, with the expense totals added in.
double periodFiguresDirect(sqlite3 *db, const Period &p, bool expenseTotals = true);
// Closes a connection of openDirect with the statements kept on it.
void closeDirect(sqlite3 *db);

// The balance statement alone, on a fresh connection, read to the end: the
// baseline of every start-up figure. Returns the sum of the balances.
double balanceQueryDirect(const QString &file);

// The baseline of stepping through the Accounts journal in its reading
// order: each iteration reads the next `n` transactions after the last one
// read, by key, every column, going round at the end. With `from` and `to`
// (ISO dates) only that period's transactions are read.
void keysetStepsDirect(benchmark::State &state, const QString &file, int n, const QByteArray &from = {},
                       const QByteArray &to = {});

// What each benchmark sent the database server per iteration, reported as
// the counter of this name (also beside the ratios).
inline constexpr const char *RoundTrips = "round trips";
// Reports `total` statements sent over the run as that counter.
void countRoundTrips(benchmark::State &state, quint64 total);

// Peak resident memory of this process, in megabytes.
double peakMemoryMb();

// Prints each benchmark's time next to its baseline's.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    // pairs: benchmark name and baseline name (the baseline may be a sum,
    // written "a + b").
    explicit RatioReporter(std::vector<std::pair<std::string, std::string>> pairs) : m_pairs(std::move(pairs)) {}
    void ReportRuns(const std::vector<Run> &runs) override;
    void Finalize() override;

private:
    std::vector<std::pair<std::string, std::string>> m_pairs;
    std::map<std::string, double> m_ms;
    std::map<std::string, double> m_roundTrips;
};

// Common options: --rows=N (default 1000000), --books=DIR and
// --server=ADDRESS (a PostgreSQL server: the books are a database on it, see
// BenchServer.h), removed from argv before Google Benchmark reads the rest.
struct Options
{
    qint64 rows = 1000000;
    QString books = QStringLiteral("bench-books");
    QString server;
};
// Points the engine at the books with `rows` records per journal, in a
// folder under options.books or on options.server, and fixes today's date at
// endDate(). Returns where they are: the database file, or the server
// address of their database.
QString prepare(const Options &options, qint64 rows);
// Also takes --ratios=FILE: the ratio table written there as well,
// tab-separated, for scripts.
Options parseOptions(int &argc, char **argv);
std::string &ratiosFile();

} // namespace BenchBooks
