// A backup of ten years of books against the sqlite3 shell's ".backup" of
// the same file into the same folder. The program's backup copies with the
// same backup API, and then checks the copy (SQLite's integrity check and
// the count of every table) before it gives it its name; so it is measured
// twice: the copy alone (until the check starts), against ".backup" alone,
// and the whole backup, against ".backup" followed by the same check and
// counts in the shell, under the engine's cache size.
//
//   bench_backup [--rows=1000000] [--books=DIR] [Google Benchmark options]

#include "BenchBooks.h"
#include "BooksBackup.h"
#include "EngineCatalog.h"
#include "EngineDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <cstdio>

namespace {

QString g_file;
QString g_scratch;

// Where each copy goes, on the books' own file system; removed after each
// iteration, outside the time measured.
QString target()
{
    return QDir(g_scratch).filePath(QStringLiteral("copy.db"));
}

void removeTarget()
{
    QFile::remove(target());
    QFile::remove(target() + QStringLiteral("-journal"));
}

void programBackup(benchmark::State &state, bool copyOnly)
{
    for (auto _ : state) {
        removeTarget();
        QElapsedTimer timer;
        qint64 copied = -1;
        timer.start();
        BooksBackup::backUpTo(g_file, target(), [&](const QString &stage, qint64, qint64) {
            if (copied < 0 && stage.startsWith(QLatin1String("Checking")))
                copied = timer.nsecsElapsed();
        });
        const qint64 whole = timer.nsecsElapsed();
        state.SetIterationTime(double(copyOnly ? copied : whole) / 1e9);
    }
    removeTarget();
}

void shell(benchmark::State &state, bool withCheck)
{
    QStringList arguments{g_file, QStringLiteral(".backup '%1'").arg(target())};
    if (withCheck) {
        QStringList counts;
        for (const TTableDef &t : EngineCatalog::tables())
            counts << QStringLiteral("(SELECT count(*) FROM %1)").arg(EngineCatalog::quoted(t.name));
        arguments << QStringLiteral(".open '%1'").arg(target()) << QStringLiteral("PRAGMA cache_size = -32768;")
                  << QStringLiteral("PRAGMA integrity_check;") << QStringLiteral("SELECT %1;").arg(counts.join(u','));
    }
    for (auto _ : state) {
        removeTarget();
        QElapsedTimer timer;
        timer.start();
        QProcess sqlite;
        sqlite.start(QStringLiteral("sqlite3"), arguments);
        if (!sqlite.waitForFinished(-1) || sqlite.exitCode() != 0) {
            state.SkipWithError("the sqlite3 shell failed");
            break;
        }
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        if (withCheck && !sqlite.readAllStandardOutput().startsWith("ok\n")) {
            state.SkipWithError("the shell's check of the copy failed");
            break;
        }
    }
    removeTarget();
}

void add(const char *name, void (*run)(benchmark::State &, bool), bool variant)
{
    benchmark::RegisterBenchmark(name, [=](benchmark::State &s) { run(s, variant); })
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const BenchBooks::Options options = BenchBooks::parseOptions(argc, argv);
    g_file = BenchBooks::prepare(options.books, options.rows);
    g_scratch = QFileInfo(g_file).absoluteDir().filePath(QStringLiteral("bench-backup"));
    QDir().mkpath(g_scratch);
    std::printf("books: %lld rows per journal, %.1f MB\n", static_cast<long long>(options.rows),
                double(QFileInfo(g_file).size()) / 1e6);

    add("backup: the copy", programBackup, true);
    add("sqlite3 shell: .backup", shell, false);
    add("backup: copy, check, name", programBackup, false);
    add("sqlite3 shell: .backup, check, counts", shell, true);

    benchmark::Initialize(&argc, argv);
    BenchBooks::RatioReporter reporter({{"backup: the copy", "sqlite3 shell: .backup"},
                                        {"backup: copy, check, name", "sqlite3 shell: .backup, check, counts"},
                                        {"backup: copy, check, name", "sqlite3 shell: .backup"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    QDir(g_scratch).removeRecursively();
    TEngineDatabase::closeAll();
    return 0;
}
