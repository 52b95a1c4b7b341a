#include "BenchBooks.h"

#include "BenchServer.h"

#include "AdminTool.h"
#include "Clock.h"
#include "DMUnit.h"
#include "EngineConfig.h"
#include "EngineDatabase.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>
#include <sys/resource.h>

namespace {

// The statements periodFiguresDirect keeps prepared, by connection.
std::map<sqlite3 *, std::vector<sqlite3_stmt *>> &preparedOn()
{
    static std::map<sqlite3 *, std::vector<sqlite3_stmt *>> prepared;
    return prepared;
}

} // namespace

QDate BenchBooks::endDate()
{
    return QDate(2026, 12, 31);
}

QString BenchBooks::prepare(const QString &root, qint64 rows)
{
    const QString folder = QDir(root).absoluteFilePath(QStringLiteral("rows-%1").arg(rows));
    QDir().mkpath(folder);
    qputenv(EngineConfig::ConfigEnvVar, QDir(folder).filePath(QStringLiteral("engine.ini")).toLocal8Bit());
    Clock::setTodaySource([] { return endDate(); });
    const QString books = QDir(folder).filePath(QStringLiteral("books"));
    const QString file = EngineConfig::databaseFile(books);
    if (!QFileInfo::exists(file)) {
        std::fprintf(stderr, "Generating books with %lld rows per journal in %s ...\n", static_cast<long long>(rows),
                     qPrintable(books));
        AdminTool::create(AdminTool::DefaultAlias, books);
        if (rows > 0) {
            AdminTool::TGenerateOptions o;
            o.rows = rows;
            o.end = endDate();
            const AdminTool::TGenerateResult r = AdminTool::generate(AdminTool::DefaultAlias, o);
            std::fprintf(stderr, "... %lld rows in %lld ms\n", static_cast<long long>(r.rowsWritten),
                         static_cast<long long>(r.elapsedMs));
        }
    }
    return file;
}

QString BenchBooks::prepare(const Options &options, qint64 rows)
{
    if (options.server.isEmpty())
        return prepare(options.books, rows);
    return BenchServer::prepare(options.books, options.server, rows);
}

sqlite3 *BenchBooks::openDirect(const QString &file, bool writable)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(file));
        std::exit(1);
    }
    TEngineDatabase::applyConnectionSettings(db);
    return db;
}

BenchBooks::Period BenchBooks::periodOf(const QDate &from, const QDate &to)
{
    return {from.toString(Qt::ISODate).toUtf8(), to.toString(Qt::ISODate).toUtf8()};
}

BenchBooks::Period BenchBooks::month(int back)
{
    const QDate first = QDate(endDate().year(), endDate().month(), 1).addMonths(-back);
    return periodOf(first, first.addMonths(1).addDays(-1));
}

BenchBooks::Period BenchBooks::year(int back)
{
    const int y = endDate().year() - back;
    return periodOf(QDate(y, 1, 1), QDate(y, 12, 31));
}

double BenchBooks::periodFiguresDirect(sqlite3 *db, const Period &p, bool expenseTotals)
{
    static const char *const statements[] = {
        "SELECT COUNT(*) FROM Sales WHERE DocDate >= ? AND DocDate <= ?",
        "SELECT SeqNo, DocDate, Total FROM Sales WHERE DocDate >= ? AND DocDate <= ? ORDER BY DocDate, SeqNo",
        "SELECT COUNT(*) FROM Expenses WHERE DocDate >= ? AND DocDate <= ?",
        "SELECT Id, DocDate, Amount FROM Expenses WHERE DocDate >= ? AND DocDate <= ? ORDER BY DocDate, Id",
        "SELECT COUNT(*) FROM Purchases WHERE DocDate >= ? AND DocDate <= ?",
        "SELECT SeqNo, DocDate, Total FROM Purchases WHERE DocDate >= ? AND DocDate <= ? ORDER BY DocDate, SeqNo",
        "SELECT ExpType, Sum(Amount) FROM Expenses WHERE DocDate >= ? AND DocDate <= ? GROUP BY ExpType",
    };
    constexpr int count = int(sizeof statements / sizeof statements[0]);
    std::vector<sqlite3_stmt *> &st = preparedOn()[db];
    if (st.empty()) {
        for (const char *sql : statements) {
            sqlite3_stmt *s = nullptr;
            sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
            st.push_back(s);
        }
    }
    double sums[count] = {};
    for (int i = 0; i < count; ++i) {
        if (i == count - 1 && !expenseTotals)
            break;
        sqlite3_bind_text(st[i], 1, p.from.constData(), -1, SQLITE_STATIC);
        sqlite3_bind_text(st[i], 2, p.to.constData(), -1, SQLITE_STATIC);
        const bool counting = i % 2 == 0 && i < count - 1;
        while (sqlite3_step(st[i]) == SQLITE_ROW) {
            if (counting) {
                benchmark::DoNotOptimize(sqlite3_column_int64(st[i], 0));
                continue;
            }
            const int amount = i == count - 1 ? 1 : 2;
            if (i != count - 1) {
                benchmark::DoNotOptimize(sqlite3_column_int64(st[i], 0));
                benchmark::DoNotOptimize(sqlite3_column_text(st[i], 1));
            }
            sums[i] += sqlite3_column_double(st[i], amount);
        }
        sqlite3_reset(st[i]);
    }
    return sums[1] - sums[3] - sums[5] + sums[6];
}

void BenchBooks::closeDirect(sqlite3 *db)
{
    for (sqlite3_stmt *st : preparedOn()[db])
        sqlite3_finalize(st);
    preparedOn().erase(db);
    sqlite3_close(db);
}

void BenchBooks::keysetStepsDirect(benchmark::State &state, const QString &file, int n, const QByteArray &from,
                                   const QByteArray &to)
{
    sqlite3 *db = openDirect(file);
    const bool period = !from.isEmpty();
    sqlite3_stmt *st = nullptr;
    // The program's own keyset form: the position first, then the period.
    sqlite3_prepare_v2(db,
                       period ? "SELECT * FROM AccTrans WHERE (DocDate, Id) > (?1, ?2) AND DocDate >= ?4 AND "
                                "DocDate <= ?5 ORDER BY DocDate, Id LIMIT ?3"
                              : "SELECT * FROM AccTrans WHERE (DocDate, Id) > (?1, ?2) ORDER BY DocDate, Id LIMIT ?3",
                       -1, &st, nullptr);
    const int idColumn = 0, dateColumn = 1;  // AccTrans: Id, DocDate, ...
    // Before the first record: the period's first day (the program also
    // starts a period's walk at its first day, never at the books' first
    // record, which SQLite would reach only by scanning every earlier year).
    const std::string start = period ? from.toStdString() : std::string();
    std::string date = start;
    qint64 id = -1;
    for (auto _ : state) {
        sqlite3_bind_text(st, 1, date.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(st, 2, id);
        sqlite3_bind_int(st, 3, n);
        if (period) {
            sqlite3_bind_text(st, 4, from.constData(), -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 5, to.constData(), -1, SQLITE_STATIC);
        }
        int got = 0;
        const int columns = sqlite3_column_count(st);
        while (sqlite3_step(st) == SQLITE_ROW) {
            ++got;
            for (int c = 0; c < columns; ++c)
                benchmark::DoNotOptimize(sqlite3_column_text(st, c));
            const unsigned char *d = sqlite3_column_text(st, dateColumn);
            date = d ? reinterpret_cast<const char *>(d) : "";
            id = sqlite3_column_int64(st, idColumn);
        }
        sqlite3_reset(st);
        if (got < n) {
            date = start;
            id = -1;
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
}

double BenchBooks::balanceQueryDirect(const QString &file)
{
    sqlite3 *db = openDirect(file);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, TDM::AccBalancesSQL, -1, &st, nullptr);
    double sum = 0;
    while (sqlite3_step(st) == SQLITE_ROW)
        sum += sqlite3_column_double(st, 1);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return sum;
}

void BenchBooks::countRoundTrips(benchmark::State &state, quint64 total)
{
    state.counters[RoundTrips] = benchmark::Counter(double(total), benchmark::Counter::kAvgIterations);
}

double BenchBooks::peakMemoryMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

std::string &BenchBooks::ratiosFile()
{
    static std::string file;
    return file;
}

void BenchBooks::RatioReporter::ReportRuns(const std::vector<Run> &runs)
{
    ConsoleReporter::ReportRuns(runs);
    for (const Run &r : runs)
        if (r.run_type == Run::RT_Iteration && !r.error_occurred) {
            const std::string name = r.benchmark_name().substr(0, r.benchmark_name().find("/iterations:"));
            m_ms[name] = r.GetAdjustedRealTime() * (r.time_unit == benchmark::kMillisecond   ? 1.0
                                                    : r.time_unit == benchmark::kMicrosecond ? 1e-3
                                                    : r.time_unit == benchmark::kNanosecond  ? 1e-6
                                                                                              : 1e3);
            if (auto c = r.counters.find(RoundTrips); c != r.counters.end())
                m_roundTrips[name] = c->second.value;
        }
}

void BenchBooks::RatioReporter::Finalize()
{
    ConsoleReporter::Finalize();
    // Round trips only where a server was measured: the SQLite table keeps
    // its columns.
    const bool trips = !m_roundTrips.empty();
    std::printf("\n%-40s %-50s %10s %12s %7s%s\n", "measured", "against", "ms", "baseline ms", "ratio",
                trips ? "   round trips (baseline)" : "");
    // The same lines for scripts (bench/curve), tab-separated.
    FILE *ratios = ratiosFile().empty() ? nullptr : std::fopen(ratiosFile().c_str(), "w");
    // A figure of a baseline written "a + b" is the sum of its parts'.
    auto sum = [](const std::map<std::string, double> &figures, const std::string &baseline, double &total) {
        total = 0;
        size_t start = 0;
        while (start <= baseline.size()) {
            size_t plus = baseline.find(" + ", start);
            const std::string part = baseline.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
            auto b = figures.find(part);
            if (b == figures.end())
                return false;
            total += b->second;
            if (plus == std::string::npos)
                break;
            start = plus + 3;
        }
        return true;
    };
    for (const auto &[name, baseline] : m_pairs) {
        auto it = m_ms.find(name);
        double base = 0;
        if (it == m_ms.end() || !sum(m_ms, baseline, base) || base <= 0)
            continue;
        char tripsText[64] = "";
        if (trips) {
            double ours = -1, theirs = -1;
            if (auto t = m_roundTrips.find(name); t != m_roundTrips.end())
                ours = t->second;
            if (!sum(m_roundTrips, baseline, theirs))
                theirs = -1;
            std::snprintf(tripsText, sizeof tripsText, "\t%.1f\t%.1f", ours, theirs);
            std::printf("%-40s %-50s %10.3f %12.3f %7.2f %12.1f (%.1f)\n", name.c_str(), baseline.c_str(), it->second,
                        base, it->second / base, ours, theirs);
        } else {
            std::printf("%-40s %-50s %10.3f %12.3f %7.2f\n", name.c_str(), baseline.c_str(), it->second, base,
                        it->second / base);
        }
        if (ratios)
            std::fprintf(ratios, "%s\t%s\t%.4f\t%.4f\t%.4f%s\n", name.c_str(), baseline.c_str(), it->second, base,
                         it->second / base, tripsText);
    }
    std::printf("\npeak memory: %.1f MB\n", peakMemoryMb());
    if (ratios) {
        std::fprintf(ratios, "peak memory MB\t%.1f\n", peakMemoryMb());
        std::fclose(ratios);
    }
}

BenchBooks::Options BenchBooks::parseOptions(int &argc, char **argv)
{
    Options o;
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--rows=", 7) == 0)
            o.rows = std::atoll(argv[i] + 7);
        else if (std::strncmp(argv[i], "--books=", 8) == 0)
            o.books = QString::fromLocal8Bit(argv[i] + 8);
        else if (std::strncmp(argv[i], "--server=", 9) == 0)
            o.server = QString::fromLocal8Bit(argv[i] + 9);
        else if (std::strncmp(argv[i], "--ratios=", 9) == 0)
            ratiosFile() = argv[i] + 9;
        else
            argv[out++] = argv[i];
    }
    argc = out;
    return o;
}
