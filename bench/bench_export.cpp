// Exporting a record tab to CSV on large books: every sale of ten years
// (the Sales tab with a period that holds them all) in the tab's columns,
// the account looked up by name, against the sqlite3 shell's CSV output of
// the same rows, columns and order under the engine's page cache. Reports
// the program's peak memory above what it held before the first export.
//
//   bench_export [--rows=1000000] [--books=DIR] [Google Benchmark options]

#include "BenchBooks.h"
#include "CsvExport.h"
#include "DMUnit.h"
#include "EngineDatabase.h"
#include "FieldText.h"
#include "RecordReader.h"
#include "TDateField.h"
#include "TField.h"
#include "TFloatField.h"
#include "TIntegerField.h"
#include "TStringField.h"
#include "TTable.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace {

QString g_file;
QTemporaryDir *g_out = nullptr;
double g_memoryBefore = 0;

// The first day of the generated books and the last.
constexpr int FirstYear = 1900;

void programExport(benchmark::State &state)
{
    TDM dm;
    const QString filter = QStringLiteral("DocDate >= '%1' AND DocDate <= '%2'")
                               .arg(FieldText::formatDate(QDate(FirstYear, 1, 1), FormatSettings()),
                                    FieldText::formatDate(BenchBooks::endDate(), FormatSettings()));
    dm.SalesTable->setFilter(filter);
    dm.SalesTable->setFiltered(true);
    QList<TField *> fields;
    fields << dm.SalesTableId << dm.SalesTableDocDate << dm.SalesTableCustomer << dm.SalesTableSalesMan
           << dm.SalesTableTotal << dm.SalesTableAccount << dm.SalesTableRemarks;
    QStringList titles;
    for (const TField *f : fields)
        titles << f->DisplayLabel();
    g_memoryBefore = BenchBooks::peakMemoryMb();
    const QString file = g_out->filePath(QStringLiteral("program.csv"));
    for (auto _ : state) {
        TRecordReader reader(dm.SalesTable, fields);
        CsvExport::write(reader, titles, file);
    }
    state.counters["MB"] = double(QFileInfo(file).size()) / 1e6;
    state.counters["peak MB above start"] = BenchBooks::peakMemoryMb() - g_memoryBefore;
}

void shellExport(benchmark::State &state)
{
    const QString sql =
        QStringLiteral("SELECT s.Id, s.DocDate, s.Customer, s.SalesMan, s.Total, a.AccName, s.Remarks "
                       "FROM Sales s LEFT JOIN Accounts a ON a.AccID = s.AccID "
                       "WHERE s.DocDate >= '%1-01-01' AND s.DocDate <= '%2' ORDER BY s.DocDate, s.SeqNo")
            .arg(FirstYear)
            .arg(BenchBooks::endDate().toString(Qt::ISODate));
    const QString file = g_out->filePath(QStringLiteral("shell.csv"));
    for (auto _ : state) {
        QProcess shell;
        shell.setStandardOutputFile(file);
        shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-readonly"), QStringLiteral("-csv"),
                                                QStringLiteral("-header"), QStringLiteral("-cmd"),
                                                QStringLiteral("PRAGMA cache_size=-32768"), g_file, sql});
        if (!shell.waitForFinished(-1) || shell.exitCode() != 0) {
            std::fprintf(stderr, "%s\n", shell.readAllStandardError().constData());
            state.SkipWithError("the sqlite3 shell failed");
            return;
        }
    }
    state.counters["MB"] = double(QFileInfo(file).size()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const BenchBooks::Options options = BenchBooks::parseOptions(argc, argv);
    g_file = BenchBooks::prepare(options.books, options.rows);
    QTemporaryDir out;
    g_out = &out;
    std::printf("books: %lld rows per journal\n", static_cast<long long>(options.rows));

    benchmark::RegisterBenchmark("sales export to CSV", programExport)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("sqlite3 shell, CSV of the same rows", shellExport)->Unit(benchmark::kMillisecond);

    benchmark::Initialize(&argc, argv);
    BenchBooks::RatioReporter reporter(std::vector<std::pair<std::string, std::string>>{
        {"sales export to CSV", "sqlite3 shell, CSV of the same rows"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    TEngineDatabase::closeAll();
    return 0;
}
