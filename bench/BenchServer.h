#pragma once

#include "BenchBooks.h"

#include <QString>
#include <benchmark/benchmark.h>
#include <initializer_list>

struct pg_conn;
struct pg_result;

// The benchmarks on a PostgreSQL server: the books are a database of their
// own per size (ardentry_bench_<rows>) on the server an address names,
// created by the engine and filled by the administration tool's generator
// the first time, and kept for later runs. The baselines talk to the same
// server straight through libpq, on a connection set up as the engine sets
// up its own, sending the statements the engine sends (the same text, the
// same columns, prepared once per connection, results read whole).
namespace BenchServer {

// Makes (the first time) and points the engine's alias at the books with
// `rows` records per journal on `server` (an address whose database is
// only used to create the books' one); the engine configuration lives in a
// folder under `root`. Returns the books' address.
QString prepare(const QString &root, const QString &server, qint64 rows);

// A connection to the books at `address`, with the engine's session
// settings. Exits with a message when the server cannot be reached.
pg_conn *connect(const QString &address);
// Closes it, with the statements prepared on it.
void close(pg_conn *conn);

// Runs a statement prepared once per connection (by its text, with $n
// markers), with the values as text, and gives its whole result (the
// caller clears it). Every call is a round trip, and so is each first
// preparation: both are counted in roundTrips(conn).
pg_result *exec(pg_conn *conn, const char *sql, std::initializer_list<const char *> values);
// Statements sent on the connection so far.
quint64 roundTrips(pg_conn *conn);

// The engine's statements for the Summary's period figures (the three
// journals' counts and walks, and with `expenseTotals` the totals by
// expense type). Returns the profit, as BenchBooks::periodFiguresDirect.
double periodFigures(pg_conn *conn, const BenchBooks::Period &p, bool expenseTotals = true);

// The balance statement alone on a fresh connection, read to the end; adds
// the statements sent (the connection's settings among them) to roundTrips.
double balanceQuery(const QString &address, quint64 *roundTrips);

// Stepping through the year's account transactions by key, `n` records a
// step, as BenchBooks::keysetStepsDirect.
void keysetSteps(benchmark::State &state, const QString &address, int n, const QByteArray &from,
                 const QByteArray &to);

// What the program sends for a new sale: the highest invoice number, the
// insert (with its customer) and the month's counts and sums.
void newSale(benchmark::State &state, const QString &address, const char *customer);

// The first screen (`rows` records, every column) of a local statement
// as the engine sends it to the server.
void firstScreen(benchmark::State &state, const QString &address, const char *statement, int rows);

// Deletes the sales stored by a benchmark (by their customer); returns how
// many there were.
int deleteSales(const QString &address, const char *customer);

} // namespace BenchServer
