#include "BenchServer.h"

#include "AdminTool.h"
#include "Clock.h"
#include "EDatabaseError.h"
#include "EngineConfig.h"
#include "EngineDatabase.h"
#include "PgBackend.h"
#include "StoredDate.h"

#include <QDir>
#include <QUrl>
#include <cstdio>
#include <QDate>
#include <cstdlib>
#include <cstring>
#include <libpq-fe.h>
#include <map>
#include <string>

namespace {

struct Connection
{
    std::map<std::string, std::string> prepared;  // statement text -> name
    quint64 roundTrips = 0;
};

std::map<pg_conn *, Connection> &connections()
{
    static std::map<pg_conn *, Connection> open;
    return open;
}

[[noreturn]] void fail(const char *what, pg_conn *conn)
{
    std::fprintf(stderr, "%s: %s\n", what, conn ? PQerrorMessage(conn) : "no connection");
    std::exit(1);
}

pg_conn *connectTo(const QString &address)
{
    pg_conn *conn = PQconnectdb(address.toUtf8().constData());
    if (PQstatus(conn) != CONNECTION_OK)
        fail(qPrintable(QStringLiteral("cannot connect to %1").arg(TPgBackend::displayAddress(address))), conn);
    return conn;
}

// A statement that gives one number (or none), straight, for the set-up.
qint64 scalar(pg_conn *conn, const char *sql)
{
    PGresult *r = PQexec(conn, sql);
    if (PQresultStatus(r) != PGRES_TUPLES_OK && PQresultStatus(r) != PGRES_COMMAND_OK)
        fail(sql, conn);
    const qint64 v = PQntuples(r) > 0 && !PQgetisnull(r, 0, 0) ? std::atoll(PQgetvalue(r, 0, 0)) : -1;
    PQclear(r);
    return v;
}

} // namespace

QString BenchServer::prepare(const QString &root, const QString &server, qint64 rows)
{
    const QString folder = QDir(root).absoluteFilePath(QStringLiteral("server-rows-%1").arg(rows));
    QDir().mkpath(folder);
    qputenv(EngineConfig::ConfigEnvVar, QDir(folder).filePath(QStringLiteral("engine.ini")).toLocal8Bit());
    Clock::setTodaySource([] { return BenchBooks::endDate(); });

    // A database per size, its name made of the size alone.
    const QByteArray name = "ardentry_bench_" + QByteArray::number(rows);
    QUrl url(server);
    url.setPath(QLatin1Char('/') + QString::fromLatin1(name));
    const QString books = url.toString();
    {
        pg_conn *admin = connectTo(server);
        if (scalar(admin, "SELECT 1 FROM pg_database WHERE datname = '" + name + "'") != 1)
            scalar(admin, "CREATE DATABASE " + name);
        PQfinish(admin);
    }
    EngineConfig::setAlias(AdminTool::DefaultAlias, books);
    pg_conn *conn = connectTo(books);
    const bool made = scalar(conn, "SELECT CASE WHEN to_regclass('acctrans') IS NULL THEN 0 ELSE 1 END") == 1;
    const bool filled = made && scalar(conn, "SELECT count(*) FROM (SELECT 1 FROM acctrans LIMIT 1) AS t") > 0;
    PQfinish(conn);
    try {
        if (!made)
            TEngineDatabase::createBooks(books);
        if (rows > 0 && !filled) {
            std::fprintf(stderr, "Generating books with %lld rows per journal in %s ...\n",
                         static_cast<long long>(rows), qPrintable(TPgBackend::displayAddress(books)));
            AdminTool::TGenerateOptions o;
            o.rows = rows;
            o.end = BenchBooks::endDate();
            const AdminTool::TGenerateResult r = AdminTool::generate(AdminTool::DefaultAlias, o);
            std::fprintf(stderr, "... %lld rows in %lld ms\n", static_cast<long long>(r.rowsWritten),
                         static_cast<long long>(r.elapsedMs));
            // Fresh statistics, as a server's autovacuum gives books that
            // have been in use for a while.
            pg_conn *c = connectTo(books);
            scalar(c, "VACUUM ANALYZE");
            PQfinish(c);
        }
    } catch (const EDatabaseError &e) {
        std::fprintf(stderr, "cannot make the books in %s: %s\n", qPrintable(TPgBackend::displayAddress(books)),
                     qPrintable(e.message()));
        std::exit(1);
    }
    TEngineDatabase::closeAll();
    return books;
}

pg_conn *BenchServer::connect(const QString &address)
{
    pg_conn *conn = connectTo(address);
    connections()[conn];
    for (const QString &s : TPgBackend::sessionSettings()) {
        scalar(conn, s.toUtf8().constData());
        ++connections()[conn].roundTrips;
    }
    return conn;
}

void BenchServer::close(pg_conn *conn)
{
    connections().erase(conn);
    PQfinish(conn);
}

quint64 BenchServer::roundTrips(pg_conn *conn)
{
    return connections()[conn].roundTrips;
}

pg_result *BenchServer::exec(pg_conn *conn, const char *sql, std::initializer_list<const char *> values)
{
    Connection &c = connections()[conn];
    auto it = c.prepared.find(sql);
    if (it == c.prepared.end()) {
        const std::string name = "bench_" + std::to_string(c.prepared.size() + 1);
        ++c.roundTrips;
        PGresult *r = PQprepare(conn, name.c_str(), sql, 0, nullptr);
        if (PQresultStatus(r) != PGRES_COMMAND_OK)
            fail(sql, conn);
        PQclear(r);
        it = c.prepared.emplace(sql, name).first;
    }
    ++c.roundTrips;
    PGresult *r = PQexecPrepared(conn, it->second.c_str(), int(values.size()), values.begin(), nullptr, nullptr, 0);
    if (PQresultStatus(r) != PGRES_TUPLES_OK && PQresultStatus(r) != PGRES_COMMAND_OK)
        fail(sql, conn);
    return r;
}

// ---- the baselines ---------------------------------------------------------

double BenchServer::periodFigures(pg_conn *conn, const BenchBooks::Period &p, bool expenseTotals)
{
    // Each journal's count and its walk in the engine's own statements: the
    // walk goes by key in batches of the engine's largest read-ahead (4,096
    // records), from before the period's first record. (The engine starts
    // with smaller batches. A whole year's rows in one result came slower
    // through the server and libpq than in batches: this walk took about
    // twice as long that way.)
    struct Journal
    {
        const char *count;
        const char *walk;
    };
    static const Journal journals[] = {
        {"SELECT COUNT(*) FROM \"sales\" WHERE (\"docdate\" >= $1 AND \"docdate\" <= $2)",
         "SELECT \"seqno\", \"docdate\", \"total\" FROM \"sales\" WHERE (\"docdate\", \"seqno\") > ($1, $2) AND "
         "(\"docdate\" >= $3 AND \"docdate\" <= $4) ORDER BY \"docdate\", \"seqno\" LIMIT $5 OFFSET $6"},
        {"SELECT COUNT(*) FROM \"expenses\" WHERE (\"docdate\" >= $1 AND \"docdate\" <= $2)",
         "SELECT \"id\", \"docdate\", \"amount\" FROM \"expenses\" WHERE (\"docdate\", \"id\") > ($1, $2) AND "
         "(\"docdate\" >= $3 AND \"docdate\" <= $4) ORDER BY \"docdate\", \"id\" LIMIT $5 OFFSET $6"},
        {"SELECT COUNT(*) FROM \"purchases\" WHERE (\"docdate\" >= $1 AND \"docdate\" <= $2)",
         "SELECT \"seqno\", \"docdate\", \"total\" FROM \"purchases\" WHERE (\"docdate\", \"seqno\") > ($1, $2) AND "
         "(\"docdate\" >= $3 AND \"docdate\" <= $4) ORDER BY \"docdate\", \"seqno\" LIMIT $5 OFFSET $6"},
    };
    constexpr int Batch = 4096;
    const QByteArray batch = QByteArray::number(Batch);
    double sums[3] = {};
    for (int j = 0; j < 3; ++j) {
        PGresult *c = exec(conn, journals[j].count, {p.from.constData(), p.to.constData()});
        benchmark::DoNotOptimize(std::strtoll(PQgetvalue(c, 0, 0), nullptr, 10));
        PQclear(c);
        QByteArray date = p.from, key = "-1";
        for (int rows = Batch; rows == Batch;) {
            PGresult *r = exec(conn, journals[j].walk,
                               {date.constData(), key.constData(), p.from.constData(), p.to.constData(),
                                batch.constData(), "0"});
            rows = PQntuples(r);
            for (int row = 0; row < rows; ++row) {
                benchmark::DoNotOptimize(std::strtoll(PQgetvalue(r, row, 0), nullptr, 10));
                benchmark::DoNotOptimize(StoredDate::day(PQgetvalue(r, row, 1), PQgetlength(r, row, 1)));
                sums[j] += std::strtod(PQgetvalue(r, row, 2), nullptr);
            }
            if (rows > 0) {
                key = PQgetvalue(r, rows - 1, 0);
                date = PQgetvalue(r, rows - 1, 1);
            }
            PQclear(r);
        }
    }
    double profit = sums[0] - sums[1] - sums[2];
    if (expenseTotals) {
        PGresult *r = exec(conn,
                           "select ExpType,Sum(Amount) as Amount From Expenses Where DocDate >= $1 AND DocDate <= $2 "
                           "Group By ExpType ORDER BY ExpType NULLS FIRST LIMIT $3 OFFSET $4",
                           {p.from.constData(), p.to.constData(), "64", "0"});
        for (int row = 0; row < PQntuples(r); ++row)
            profit += std::strtod(PQgetvalue(r, row, 1), nullptr);
        PQclear(r);
    }
    return profit;
}

double BenchServer::balanceQuery(const QString &address, quint64 *trips)
{
    pg_conn *conn = connect(address);
    PGresult *r = exec(conn,
                       "select AccID,( Sum(Increase) - Sum(Decrease) ) as Balance From AccTrans Group by AccID "
                       "ORDER BY AccID NULLS FIRST LIMIT $1 OFFSET $2",
                       {"64", "0"});
    double sum = 0;
    for (int row = 0; row < PQntuples(r); ++row)
        sum += std::strtod(PQgetvalue(r, row, 1), nullptr);
    PQclear(r);
    *trips += roundTrips(conn);
    close(conn);
    return sum;
}

void BenchServer::keysetSteps(benchmark::State &state, const QString &address, int n, const QByteArray &from,
                              const QByteArray &to)
{
    pg_conn *conn = connect(address);
    const QByteArray limit = QByteArray::number(n);
    QByteArray date = from;
    QByteArray id = "-1";
    const quint64 before = roundTrips(conn);
    for (auto _ : state) {
        PGresult *r = exec(conn,
                           "SELECT \"id\", \"docdate\", \"transaction\", \"increase\", \"decrease\", \"remarks\", "
                           "\"accid\" FROM \"acctrans\" WHERE (\"docdate\", \"id\") > ($1, $2) AND (\"docdate\" >= $3 AND "
                           "\"docdate\" <= $4) ORDER BY \"docdate\", \"id\" LIMIT $5 OFFSET $6",
                           {date.constData(), id.constData(), from.constData(), to.constData(), limit.constData(), "0"});
        const int rows = PQntuples(r), columns = PQnfields(r);
        for (int row = 0; row < rows; ++row)
            for (int c = 0; c < columns; ++c)
                benchmark::DoNotOptimize(PQgetvalue(r, row, c));
        if (rows < n) {
            date = from;
            id = "-1";
        } else {
            date = PQgetvalue(r, rows - 1, 1);
            id = PQgetvalue(r, rows - 1, 0);
        }
        PQclear(r);
    }
    BenchBooks::countRoundTrips(state, roundTrips(conn) - before);
    close(conn);
}

void BenchServer::newSale(benchmark::State &state, const QString &address, const char *customer)
{
    pg_conn *conn = connect(address);
    const QByteArray today = BenchBooks::endDate().toString(Qt::ISODate).toUtf8();
    const quint64 before = roundTrips(conn);
    for (auto _ : state) {
        PGresult *r = exec(conn, "Select Max(ID) as MaxID From Sales LIMIT $1 OFFSET $2", {"64", "0"});
        const QByteArray next = QByteArray::number(std::atoll(PQgetvalue(r, 0, 0)) + 1);
        PQclear(r);
        PQclear(exec(conn,
                     "INSERT INTO \"sales\" (\"id\", \"docdate\", \"customer\", \"salesman\", \"total\", \"remarks\", "
                     "\"accid\") VALUES ($1, $2, $3, $4, $5, $6, $7) RETURNING \"seqno\"",
                     {next.constData(), today.constData(), customer, nullptr, "120.5", nullptr, nullptr}));
        benchmark::DoNotOptimize(periodFigures(conn, BenchBooks::month(), false));
    }
    BenchBooks::countRoundTrips(state, roundTrips(conn) - before);
    close(conn);
}

void BenchServer::firstScreen(benchmark::State &state, const QString &address, const char *statement, int rows)
{
    pg_conn *conn = connect(address);
    const QByteArray limit = QByteArray::number(rows);
    const quint64 before = roundTrips(conn);
    for (auto _ : state) {
        PGresult *r = exec(conn, statement, {limit.constData(), "0"});
        const int got = PQntuples(r), columns = PQnfields(r);
        for (int row = 0; row < got; ++row)
            for (int c = 0; c < columns; ++c)
                benchmark::DoNotOptimize(PQgetvalue(r, row, c));
        PQclear(r);
    }
    BenchBooks::countRoundTrips(state, roundTrips(conn) - before);
    state.counters["rows"] = rows;
    close(conn);
}

int BenchServer::deleteSales(const QString &address, const char *customer)
{
    pg_conn *conn = connect(address);
    PGresult *r = exec(conn, "DELETE FROM sales WHERE customer = $1", {customer});
    const int n = std::atoi(PQcmdTuples(r));
    PQclear(r);
    close(conn);
    return n;
}
