// ardentry-db: the administration tool of the books' database engine.
// Results go to standard output; errors to standard error with exit code 1,
// and mistakes in the command line with exit code 2.

#include "AdminTool.h"

#include "EDatabaseError.h"
#include "EngineCatalog.h"
#include "EngineDatabase.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>
#include <algorithm>
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

// Parses the command line and runs one command; returns the exit code.
int run(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Administers the books' database of an alias.\n\n"
                       "Commands:\n"
                       "  create FOLDER  create the database in FOLDER and register the alias\n"
                       "  sample         fill empty books with a small set of sample records\n"
                       "  generate       fill empty books with large generated books (needs --rows)\n"
                       "  check          check the tables and the file, and count the records\n"
                       "  alias          show the alias's folder and database file\n"
                       "  export TABLE [--from DATE] [--to DATE] FILE\n"
                       "                 write a table's records to a CSV file"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("create, sample, generate, check, alias or export"),
                                 QStringLiteral("command [FOLDER | TABLE FILE]"));
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
                                         QStringLiteral("check"), QStringLiteral("alias"), QStringLiteral("export")};
    if (!commands.contains(command))
        return usageError(QStringLiteral("unknown command \"%1\"").arg(command));
    const bool exporting = command == QLatin1String("export");
    const qsizetype expectedArgs = command == QLatin1String("create") ? 2 : exporting ? 3 : 1;
    if (args.size() < expectedArgs)
        return usageError(exporting ? QStringLiteral("export needs a table and a file")
                                    : QStringLiteral("%1 needs a folder").arg(command));
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
            out() << "Created " << where.databaseFile << " for alias " << alias << '\n';
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
            out() << AdminTool::location(alias).databaseFile << " (alias " << alias << "): "
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
        } else {
            const AdminTool::TAliasLocation where = AdminTool::location(alias);
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
    const int code = run(app);
    // The engine keeps its databases open until told; they must close while
    // the application object and the SQL drivers still exist.
    TEngineDatabase::closeAll();
    return code;
}
