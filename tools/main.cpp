// ardentry-db: the administration tool of the books' database engine.
// Results go to standard output; errors to standard error with exit code 1,
// and mistakes in the command line with exit code 2.

#include "AdminTool.h"
#include "BooksCopy.h"

#include "EDatabaseError.h"
#include "EngineCatalog.h"
#include "EngineDatabase.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTextStream>
#include <algorithm>
#include <csignal>
#include <exception>
#include <limits>
#include <utility>

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

QTextStream &out()
{
    static QTextStream s(stdout);
    return s;
}

QTextStream &err()
{
    static QTextStream s(stderr);
    return s;
}

int usageError(const QString &message)
{
    err() << "ardentry-db: " << message << "\nTry 'ardentry-db --help' for more information.\n";
    return ExitUsage;
}

struct TUsageError
{
    QString message;
};

qint64 integerOption(const QCommandLineParser &parser, const QCommandLineOption &option, qint64 fallback)
{
    if (!parser.isSet(option))
        return fallback;
    bool ok = false;
    const qint64 value = parser.value(option).toLongLong(&ok);
    if (!ok)
        throw TUsageError{QStringLiteral("--%1 needs a whole number, not \"%2\"")
                              .arg(option.names().constFirst(), parser.value(option))};
    return value;
}

// Option values beyond int are left for the command's own range check.
int intOption(const QCommandLineParser &parser, const QCommandLineOption &option, int fallback)
{
    const qint64 value = integerOption(parser, option, fallback);
    return int(std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// Progress of a long command on standard error, so that standard output
// keeps its results: a line when a stage starts and at every tenth of it.
class TProgressLines
{
public:
    void operator()(const QString &stage, qint64 done, qint64 total)
    {
        const int tenth = total > 0 ? int(std::clamp<qint64>(done * 10 / total, 0, 10)) : 0;
        if (stage == m_stage && tenth == m_tenth)
            return;
        m_stage = stage;
        m_tenth = tenth;
        err() << stage << ": " << tenth * 10 << "%" << Qt::endl;
    }

private:
    QString m_stage;
    int m_tenth = -1;
};

QString backupLine(const BooksBackup::TBackupInfo &b)
{
    return QStringLiteral("%1  %2  %3  %4")
        .arg(QFileInfo(b.file).fileName(), b.taken.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
             QLocale::c().formattedDataSize(b.size),
             b.problem.isEmpty() ? BooksCheck::countsText(b.counts) : QStringLiteral("cannot be read: ") + b.problem);
}

// Parses the command line and runs one command; returns the exit code.
int run(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Administers the books' database of an alias.\n\n"
                       "Commands:\n"
                       "  create FOLDER | URI\n"
                       "                 create the books in FOLDER, or in the database on a PostgreSQL server\n"
                       "                 that URI names (postgresql://USER@HOST:PORT/DATABASE, no password:\n"
                       "                 use ~/.pgpass or PGPASSWORD), and point the alias at them"
                       "  sample         fill empty books with a small set of sample records\n"
                       "  generate       fill empty books with large generated books (needs --rows)\n"
                       "  check          check the tables and the file, and count the records\n"
                       "  alias [PLACE]  show where the alias points, or point it at the books in PLACE\n"
                       "                 (a folder or a URI)\n"
                       "  export TABLE [--from DATE] [--to DATE] FILE\n"
                       "                 write a table's records to a CSV file\n"
                       "  backup [FILE]  back up the books into the Backups folder beside them, or into FILE\n"
                       "  backups        list the backups with their date, size and records\n"
                       "  restore FILE   put a backup in the place of the books (the books are backed up first)\n"
                       "  copy FROM TO   copy a whole set of books: FROM and TO are each an alias, a folder\n"
                       "                 (FROM also a books file) or a URI; TO must hold no records (a folder or\n"
                       "                 database without the tables gets them), and the copy is checked by\n"
                       "                 counts and sums per table before it is kept"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("create, sample, generate, check, alias, export, backup, backups, restore or copy"),
                                 QStringLiteral("command [FOLDER | URI | FILE | TABLE FILE | FROM TO]"));
    const QCommandLineOption aliasOption(QStringLiteral("alias"), QStringLiteral("Database alias (default ARD)."),
                                         QStringLiteral("NAME"), AdminTool::DefaultAlias);
    const QCommandLineOption rowsOption(QStringLiteral("rows"), QStringLiteral("generate: records per journal."),
                                        QStringLiteral("N"));
    const QCommandLineOption yearsOption(QStringLiteral("years"), QStringLiteral("generate: years of dates (10)."),
                                         QStringLiteral("Y"));
    const QCommandLineOption seedOption(QStringLiteral("seed"), QStringLiteral("generate: random seed (1)."),
                                        QStringLiteral("S"));
    const QCommandLineOption accountsOption(QStringLiteral("accounts"),
                                            QStringLiteral("generate: number of accounts (20)."), QStringLiteral("A"));
    const QCommandLineOption typesOption(
        QStringLiteral("types"), QStringLiteral("generate: number of expense types (30)."), QStringLiteral("T"));
    const QCommandLineOption endOption(QStringLiteral("end"),
                                       QStringLiteral("generate: last date, YYYY-MM-DD (today)."),
                                       QStringLiteral("YYYY-MM-DD"));
    const QList<QCommandLineOption> generateOptions = {rowsOption,     yearsOption, seedOption,
                                                       accountsOption, typesOption, endOption};
    const QCommandLineOption fromOption(QStringLiteral("from"),
                                        QStringLiteral("export: the first date, YYYY-MM-DD."), QStringLiteral("DATE"));
    const QCommandLineOption toOption(QStringLiteral("to"), QStringLiteral("export: the last date, YYYY-MM-DD."),
                                      QStringLiteral("DATE"));
    const QList<QCommandLineOption> exportOptions = {fromOption, toOption};
    parser.addOption(aliasOption);
    for (const QCommandLineOption &o : generateOptions + exportOptions)
        parser.addOption(o);

    if (!parser.parse(app.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        parser.showHelp(0);

    const QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usageError(QStringLiteral("no command given"));
    const QString command = args.constFirst();
    const QString alias = parser.value(aliasOption);

    static const QStringList commands = {QStringLiteral("create"), QStringLiteral("sample"), QStringLiteral("generate"),
                                         QStringLiteral("check"),  QStringLiteral("alias"),  QStringLiteral("export"),
                                         QStringLiteral("backup"), QStringLiteral("backups"), QStringLiteral("restore"),
                                         QStringLiteral("copy")};
    if (!commands.contains(command))
        return usageError(QStringLiteral("unknown command \"%1\"").arg(command));
    const bool exporting = command == QLatin1String("export");
    const bool copying = command == QLatin1String("copy");
    const bool needsFile = command == QLatin1String("restore");
    const qsizetype expectedArgs = command == QLatin1String("create") || needsFile ? 2
                                   : exporting || copying                         ? 3
                                   : command == QLatin1String("backup") || command == QLatin1String("alias")
                                       ? qMin<qsizetype>(args.size(), 2)
                                                                                  : 1;
    if (args.size() < expectedArgs)
        return usageError(exporting ? QStringLiteral("export needs a table and a file")
                          : copying ? QStringLiteral("copy needs the books to copy FROM and where TO")
                                    : QStringLiteral("%1 needs a %2")
                                          .arg(command, needsFile ? QStringLiteral("file")
                                                                  : QStringLiteral("folder or a postgresql:// address")));
    if (args.size() > expectedArgs)
        return usageError(QStringLiteral("unexpected argument \"%1\"").arg(args.at(expectedArgs)));
    if (command != QLatin1String("generate"))
        for (const QCommandLineOption &o : generateOptions)
            if (parser.isSet(o))
                return usageError(QStringLiteral("--%1 is an option of generate only").arg(o.names().constFirst()));
    if (!exporting)
        for (const QCommandLineOption &o : exportOptions)
            if (parser.isSet(o))
                return usageError(QStringLiteral("--%1 is an option of export only").arg(o.names().constFirst()));
    if (alias.isEmpty())
        return usageError(QStringLiteral("--alias needs a name"));

    try {
        if (command == QLatin1String("create")) {
            AdminTool::create(alias, args.at(1));
            const AdminTool::TAliasLocation where = AdminTool::location(alias);
            out() << "Created " << (where.server ? QStringLiteral("the books in ") : QString()) << where.databaseFile
                  << " for alias " << alias << '\n';
        } else if (command == QLatin1String("sample")) {
            AdminTool::sample(alias);
            out() << "Filled alias " << alias << " with sample books\n";
        } else if (command == QLatin1String("generate")) {
            if (!parser.isSet(rowsOption))
                return usageError(QStringLiteral("generate needs --rows N"));
            AdminTool::TGenerateOptions o;
            o.rows = integerOption(parser, rowsOption, 0);
            o.years = intOption(parser, yearsOption, o.years);
            o.accounts = intOption(parser, accountsOption, o.accounts);
            o.types = intOption(parser, typesOption, o.types);
            if (parser.isSet(seedOption)) {
                bool ok = false;
                o.seed = parser.value(seedOption).toULongLong(&ok);
                if (!ok)
                    return usageError(
                        QStringLiteral("--seed needs a whole number, not \"%1\"").arg(parser.value(seedOption)));
            }
            if (parser.isSet(endOption)) {
                o.end = QDate::fromString(parser.value(endOption), QStringLiteral("yyyy-MM-dd"));
                if (!o.end.isValid())
                    return usageError(
                        QStringLiteral("--end needs a date YYYY-MM-DD, not \"%1\"").arg(parser.value(endOption)));
            }
            if (const QString problem = AdminTool::invalidGenerateOptions(o); !problem.isEmpty())
                return usageError(problem);
            const AdminTool::TGenerateResult r = AdminTool::generate(alias, o);
            out() << "Wrote " << r.rowsWritten << " rows (" << o.rows << " per journal, " << o.accounts << " accounts, "
                  << o.types << " expense types) to alias " << alias << " in "
                  << QString::number(double(r.elapsedMs) / 1000.0, 'f', 2) << " s\n";
        } else if (exporting) {
            AdminTool::TExportOptions o;
            o.table = args.at(1);
            o.file = args.at(2);
            for (const auto &[option, date] : {std::pair{&fromOption, &o.from}, std::pair{&toOption, &o.to}}) {
                if (!parser.isSet(*option))
                    continue;
                *date = QDate::fromString(parser.value(*option), QStringLiteral("yyyy-MM-dd"));
                if (!date->isValid())
                    return usageError(QStringLiteral("--%1 needs a date YYYY-MM-DD, not \"%2\"")
                                          .arg(option->names().constFirst(), parser.value(*option)));
            }
            const qint64 written = AdminTool::exportTable(alias, o);
            out() << "Wrote " << written << " records of " << EngineCatalog::find(o.table)->fileName << " to "
                  << QDir::toNativeSeparators(o.file) << '\n';
        } else if (command == QLatin1String("check")) {
            const AdminTool::TCheckReport report = AdminTool::check(alias);
            out() << report.books << ": "
                  << (report.unfitValues.isEmpty() ? "ok" : "values that do not fit their fields") << '\n';
            for (const AdminTool::TTableCount &c : report.counts)
                out() << "  " << qSetFieldWidth(14) << Qt::left << c.fileName << qSetFieldWidth(0) << c.rows << '\n';
            for (const QString &line : report.unfitValues)
                out() << line << '\n';
            for (const QString &line : report.dateNotes)
                out() << line << '\n';
            out().flush();
            if (!report.unfitValues.isEmpty())
                return ExitFailure;
        } else if (command == QLatin1String("backup")) {
            const BooksBackup::TBackupInfo made = AdminTool::backup(alias, args.value(1), TProgressLines());
            out() << "Backed up " << AdminTool::booksFile(alias) << " to " << made.file << " ("
                  << BooksCheck::countsText(made.counts) << ")\n";
        } else if (command == QLatin1String("backups")) {
            const QList<BooksBackup::TBackupInfo> list = AdminTool::backups(alias);
            const QString books = AdminTool::booksFile(alias);
            if (list.isEmpty())
                out() << "No backups of " << books << " yet\n";
            else
                out() << "Backups of " << books << " in " << BooksBackup::backupsFolder(books) << ":\n";
            for (const BooksBackup::TBackupInfo &b : list)
                out() << "  " << backupLine(b) << '\n';
        } else if (command == QLatin1String("restore")) {
            const BooksBackup::TRestoreResult r = AdminTool::restore(alias, args.at(1), TProgressLines());
            out() << "Restored " << AdminTool::booksFile(alias) << " from " << r.source << " ("
                  << BooksCheck::countsText(r.counts) << ")\nThe books as they were are backed up in "
                  << r.previous.file << '\n';
        } else if (copying) {
            const BooksCopy::TCopyResult r = BooksCopy::copy(args.at(1), args.at(2), TProgressLines());
            if (r.created)
                out() << "Created the tables in " << r.to << '\n';
            out() << "Copied " << r.from << " to " << r.to << ", checked by counts and sums per table:\n";
            for (const BooksCopy::TTableCopied &t : r.tables)
                out() << "  " << qSetFieldWidth(14) << Qt::left << t.fileName << qSetFieldWidth(0) << t.rows << '\n';
            if (!r.dateNotes.isEmpty())
                out() << "Dates stored in another form were copied as the days they name (a server's DATE column "
                         "holds days only):\n";
            for (const QString &line : r.dateNotes)
                out() << "  " << line << '\n';
        } else {
            if (args.size() > 1)
                AdminTool::pointAlias(alias, args.at(1));
            const AdminTool::TAliasLocation where = AdminTool::location(alias);
            if (where.server)
                out() << "Server: " << where.databaseFile << '\n';
            else
                out() << "Folder: " << where.folder << "\nDatabase: " << where.databaseFile << '\n';
        }
    } catch (const TUsageError &e) {
        return usageError(e.message);
    } catch (const EDatabaseError &e) {
        out().flush();
        err() << "ardentry-db: " << e.message() << '\n';
        return ExitFailure;
    } catch (const std::exception &e) {
        out().flush();
        err() << "ardentry-db: " << QString::fromLocal8Bit(e.what()) << '\n';
        return ExitFailure;
    }
    return 0;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ardentry-db"));
    // A file that outgrows the system's limit must fail its write, which the
    // commands report, instead of ending the tool on the spot.
    std::signal(SIGXFSZ, SIG_IGN);
    const int code = run(app);
    // The engine keeps its databases open until told; they must close while
    // the application object and the SQL drivers still exist.
    TEngineDatabase::closeAll();
    return code;
}
