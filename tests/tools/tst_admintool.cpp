#include "AdminTool.h"
#include "Clock.h"
#include "CsvParse.h"
#include "EDatabaseError.h"
#include "EngineCatalog.h"
#include "EngineConfig.h"
#include "EngineDatabase.h"
#include "TestAlias.h"
#include "TestServerDb.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>

#ifndef ARDENTRY_DB_EXE
#error "ARDENTRY_DB_EXE must name the built ardentry-db executable"
#endif

namespace {

const QString Alias = QStringLiteral("TST");

// The message of the engine error a step throws; empty when it throws none.
template<typename Step>
QString errorOf(Step step)
{
    try {
        step();
    } catch (const EDatabaseError &e) {
        return e.message().isEmpty() ? QStringLiteral("(empty message)") : e.message();
    }
    return {};
}

QVariant scalar(const QString &sql, const QString &alias = Alias)
{
    QSqlQuery q = TEngineDatabase::forAlias(alias).run(sql);
    return q.next() ? q.value(0) : QVariant();
}

qint64 count(const QString &sql, const QString &alias = Alias)
{
    return scalar(sql, alias).toLongLong();
}

// Runs a statement on a database file through a connection of its own, as
// another program would, while the engine has it closed. Returns the
// driver's message on failure, else an empty text.
QString execOnFile(const QString &file, const QString &sql)
{
    const QString connection = QStringLiteral("tst_admintool-raw");
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            if (!q.exec(sql))
                error = q.lastError().text();
        } else {
            error = db.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return error;
}

// Every stored value of every table in identity order, nulls told apart from
// empty text: two books with the same hash hold the same records.
QByteArray contentHash(const QString &alias)
{
    TEngineDatabase &db = TEngineDatabase::forAlias(alias);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const TTableDef &t : EngineCatalog::tables()) {
        QSqlQuery q = db.run(QStringLiteral("SELECT * FROM %1 ORDER BY %2")
                                 .arg(EngineCatalog::quoted(t.name), EngineCatalog::quoted(t.identityColumn())));
        while (q.next()) {
            for (int i = 0; i < int(t.columns.size()); ++i)
                hash.addData(q.isNull(i) ? QByteArray("\x01null\x1f") : q.value(i).toString().toUtf8() + '\x1f');
            hash.addData(QByteArray("\x1e"));
        }
        hash.addData(t.name.toUtf8());
    }
    return hash.result();
}

enum class Damage { DropTable, DropColumn, NotADatabase, NoDatabaseFile, UnknownAlias, BrokenPage };

}  // namespace

Q_DECLARE_METATYPE(Damage)

class tst_AdminTool : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void createThenCheck();
    void createRefusesExistingBooks_data();
    void createRefusesExistingBooks();
    void checkNamesTheDamage_data();
    void checkNamesTheDamage();
    void checkListsEveryStoredValueThatDoesNotFit();
    void sampleFillsCurrentMonth_data();
    void sampleFillsCurrentMonth();
    void fillingRefusesNonEmptyBooks_data();
    void fillingRefusesNonEmptyBooks();
    void generateMakesBooks_data();
    void generateMakesBooks();
    void generateDependsOnlyOnSeed();
    void generateFailureLeavesBooksEmpty();
    void generateRejectsOptions_data();
    void generateRejectsOptions();
    void exportWritesTheRecords_data();
    void exportWritesTheRecords();
    void exportRefuses_data();
    void exportRefuses();
    void executable_data();
    void executable();
    void backupListRestoreByName();
    void serverBooks();
    void serverGenerate();

private:
    QString folder(const QString &name = QStringLiteral("books")) const { return m_dir->filePath(name); }
    QString databaseFile(const QString &name = QStringLiteral("books")) const
    {
        return EngineConfig::databaseFile(folder(name));
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

// Each test works in a fresh folder with a private engine configuration, so
// no alias of the user's is ever touched.
void tst_AdminTool::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    qputenv(EngineConfig::ConfigEnvVar, QFile::encodeName(m_dir->filePath(QStringLiteral("engine.ini"))));
}

void tst_AdminTool::cleanup()
{
    TEngineDatabase::closeAll();
    Clock::setTodaySource({});
    m_dir.reset();
}

void tst_AdminTool::createThenCheck()
{
    QVERIFY_DB(AdminTool::create(Alias, folder()));
    QCOMPARE(AdminTool::location(Alias).databaseFile, QDir(folder()).absoluteFilePath(QStringLiteral("books.db")));

    QList<AdminTool::TTableCount> counts;
    QVERIFY_DB(counts = AdminTool::check(Alias).counts);
    QCOMPARE(counts.size(), EngineCatalog::tables().size());
    for (qsizetype i = 0; i < counts.size(); ++i) {
        QCOMPARE(counts.at(i).fileName, EngineCatalog::tables().at(i).fileName);
        QCOMPARE(counts.at(i).rows, 0);
    }
}

void tst_AdminTool::createRefusesExistingBooks_data()
{
    QTest::addColumn<QString>("secondAlias");
    QTest::addColumn<QString>("secondFolder");

    QTest::newRow("same alias, same folder") << Alias << QStringLiteral("books");
    QTest::newRow("same alias, other folder") << Alias << QStringLiteral("other");
    QTest::newRow("other alias, same folder") << QStringLiteral("OTHER") << QStringLiteral("books");
}

void tst_AdminTool::createRefusesExistingBooks()
{
    QFETCH(QString, secondAlias);
    QFETCH(QString, secondFolder);
    QVERIFY_DB(AdminTool::create(Alias, folder()));
    QVERIFY_DB(AdminTool::sample(Alias));
    const QByteArray before = contentHash(Alias);

    const QString error = errorOf([&] { AdminTool::create(secondAlias, folder(secondFolder)); });
    QVERIFY2(error.contains(QLatin1String("already exists")), qPrintable(error));
    QVERIFY2(error.contains(databaseFile()), qPrintable(error));
    QCOMPARE(AdminTool::location(Alias).folder, QDir(folder()).absolutePath());
    QCOMPARE(EngineConfig::hasAlias(secondAlias), secondAlias == Alias);
    QCOMPARE(contentHash(Alias), before);
}

// Values written by other programs: every one that does not fit its field
// is listed with its table, record and field, and the command fails; dates in
// other forms are listed with the day they are read as.
void tst_AdminTool::checkListsEveryStoredValueThatDoesNotFit()
{
    QVERIFY_DB(AdminTool::create(Alias, folder()));
    for (const char *sql :
         {"INSERT INTO Expenses (Id, DocDate, Amount) VALUES (3, '2024-03-01', 'abc'), (4, '2024-3-2', 5), (5, 'soon', 6)",
          "INSERT INTO AccTrans (Id, AccID, Increase) VALUES (7, 4294967297, 1), (8, 1, 1e308)",
          "INSERT INTO Sales (Id, Total, Remarks) VALUES (12, 1, x'00ff')"}) {
        const QString error = execOnFile(databaseFile(), QString::fromLatin1(sql));
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    AdminTool::TCheckReport report;
    QVERIFY_DB(report = AdminTool::check(Alias));
    QCOMPARE(report.unfitValues,
             (QStringList{
                 QStringLiteral("AccTrans.db, record 8: the field Increase holds 1E308, which is not an amount the program "
                                "accepts (amounts stay below 1E15)"),
                 QStringLiteral("AccTrans.db, record 7: the field AccID holds 4294967297, which is not a whole number of 32 bits"),
                 QStringLiteral("Expenses.db, record 3: the field Amount holds 'abc', which is not a number"),
                 QStringLiteral("Sales.DB, invoice 12: the field Remarks holds a binary value of 2 bytes, which is not text")}));
    QCOMPARE(report.dateNotes,
             (QStringList{QStringLiteral("Expenses.db, record 4: the field DocDate holds '2024-3-2', which is read as the "
                                         "day 2024-03-02"),
                          QStringLiteral("Expenses.db, record 5: the field DocDate holds 'soon', which names no day: it "
                                         "reads as an empty date")}));

    QProcess tool;
    tool.start(QString::fromUtf8(ARDENTRY_DB_EXE), {QStringLiteral("check"), QStringLiteral("--alias"), Alias});
    QVERIFY2(tool.waitForFinished(60000), qPrintable(tool.errorString()));
    QCOMPARE(tool.exitCode(), 1);
    const QString out = QString::fromLocal8Bit(tool.readAllStandardOutput());
    for (const QString &line : report.unfitValues + report.dateNotes)
        QVERIFY2(out.contains(line), qPrintable(out));
}

void tst_AdminTool::checkNamesTheDamage_data()
{
    QTest::addColumn<Damage>("damage");
    QTest::addColumn<QString>("what");          // table or "table.column" damaged
    QTest::addColumn<QStringList>("expected");  // parts of the message; @file is the database file

    for (const TTableDef &t : EngineCatalog::tables())
        QTest::addRow("no table %s", qPrintable(t.fileName))
            << Damage::DropTable << t.name << QStringList{t.fileName, QStringLiteral("@file")};
    QTest::newRow("no column") << Damage::DropColumn << QStringLiteral("Sales.SalesMan")
                               << QStringList{QStringLiteral("SalesMan"), QStringLiteral("Sales.DB")};
    QTest::newRow("not a database") << Damage::NotADatabase << QString()
                                    << QStringList{QStringLiteral("@file"), QStringLiteral("not a database")};
    QTest::newRow("no database file") << Damage::NoDatabaseFile << QString()
                                      << QStringList{QStringLiteral("@file"), QStringLiteral("does not exist")};
    QTest::newRow("unknown alias") << Damage::UnknownAlias << QString() << QStringList{Alias};
    QTest::newRow("broken page") << Damage::BrokenPage << QString()
                                 << QStringList{QStringLiteral("@file"), QStringLiteral("Integrity check")};
}

void tst_AdminTool::checkNamesTheDamage()
{
    QFETCH(Damage, damage);
    QFETCH(QString, what);
    QFETCH(QStringList, expected);

    const QString file = databaseFile();
    switch (damage) {
    case Damage::DropTable: {
        QVERIFY_DB(AdminTool::create(Alias, folder()));
        const QString error = execOnFile(file, QStringLiteral("DROP TABLE %1").arg(EngineCatalog::quoted(what)));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        break;
    }
    case Damage::DropColumn: {
        const QStringList parts = what.split(QLatin1Char('.'));
        QVERIFY_DB(AdminTool::create(Alias, folder()));
        const QString error =
            execOnFile(file, QStringLiteral("ALTER TABLE %1 DROP COLUMN %2")
                                 .arg(EngineCatalog::quoted(parts.at(0)), EngineCatalog::quoted(parts.at(1))));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        break;
    }
    case Damage::NotADatabase: {
        QVERIFY(QDir().mkpath(folder()));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("These are not the books you are looking for.\n").repeated(200));
        f.close();
        QVERIFY_DB(EngineConfig::setAlias(Alias, folder()));
        break;
    }
    case Damage::NoDatabaseFile:
        QVERIFY(QDir().mkpath(folder()));
        QVERIFY_DB(EngineConfig::setAlias(Alias, folder()));
        break;
    case Damage::UnknownAlias:
        break;
    case Damage::BrokenPage: {
        // Gives a b-tree page of the filled books a page type that does not
        // exist; opening the file still works, reading that page does not.
        QVERIFY_DB(AdminTool::create(Alias, folder()));
        QVERIFY_DB(AdminTool::sample(Alias));
        const qint64 pageSize = count(QStringLiteral("PRAGMA page_size"));
        TEngineDatabase::closeAll();
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek(2 * pageSize));
        f.write(QByteArray(8, '\xff'));
        f.close();
        break;
    }
    }
    const QString error = errorOf([] { AdminTool::check(Alias); });
    QVERIFY2(!error.isEmpty(), "check accepted damaged books");
    for (QString part : expected) {
        part.replace(QLatin1String("@file"), file);
        QVERIFY2(error.contains(part), qPrintable(QStringLiteral("\"%1\" not in: %2").arg(part, error)));
    }
}

void tst_AdminTool::sampleFillsCurrentMonth_data()
{
    QTest::addColumn<QDate>("today");

    QTest::newRow("middle of a month") << QDate(2024, 5, 15);
    QTest::newRow("first day of a month") << QDate(2024, 3, 1);
    QTest::newRow("first day of a year") << QDate(2025, 1, 1);
    QTest::newRow("leap day") << QDate(2024, 2, 29);
    QTest::newRow("last day of a long month") << QDate(2023, 12, 31);
}

void tst_AdminTool::sampleFillsCurrentMonth()
{
    QFETCH(QDate, today);
    Clock::setTodaySource([today] { return today; });
    QVERIFY_DB(AdminTool::create(Alias, folder()));
    QVERIFY_DB(AdminTool::sample(Alias));

    QList<AdminTool::TTableCount> counts;
    QVERIFY_DB(counts = AdminTool::check(Alias).counts);
    for (const AdminTool::TTableCount &c : counts)
        QVERIFY2(c.rows > 0, qPrintable(c.fileName));

    const QString monthStart = QDate(today.year(), today.month(), 1).toString(Qt::ISODate);
    const QString todayText = today.toString(Qt::ISODate);
    for (const QString &journal : {QStringLiteral("AccTrans"), QStringLiteral("Expenses"), QStringLiteral("Purchases"),
                                   QStringLiteral("Sales")}) {
        const QString from = QStringLiteral(" FROM %1 ").arg(journal);
        QVERIFY2(count(QStringLiteral("SELECT count(*)") + from +
                       QStringLiteral("WHERE DocDate BETWEEN '%1' AND '%2'").arg(monthStart, todayText)) > 0,
                 qPrintable(journal));
        QCOMPARE(count(QStringLiteral("SELECT count(*)") + from +
                       QStringLiteral("WHERE DocDate IS NOT date(DocDate) OR DocDate > '%1'").arg(todayText)),
                 0);
        QCOMPARE(count(QStringLiteral("SELECT count(*)") + from +
                       QStringLiteral("WHERE AccID NOT IN (SELECT AccID FROM Accounts)")),
                 0);
    }
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM Expenses WHERE ExpType NOT IN (SELECT Id FROM ExpTypes)")), 0);
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM AccTrans WHERE Increase IS NULL OR Decrease IS NULL")), 0);

    // A transfer this month: a decrease on one account and the same increase
    // on another, same date and text, the other amount 0 in both.
    QVERIFY(count(QStringLiteral("SELECT count(*) FROM AccTrans f JOIN AccTrans t"
                                 " ON t.DocDate = f.DocDate AND t.\"Transaction\" = f.\"Transaction\""
                                 " AND t.AccID <> f.AccID AND t.Increase = f.Decrease"
                                 " WHERE f.Decrease > 0 AND f.Increase = 0 AND t.Decrease = 0"
                                 " AND f.DocDate >= '%1'")
                      .arg(monthStart)) > 0);
}

void tst_AdminTool::fillingRefusesNonEmptyBooks_data()
{
    QTest::addColumn<QString>("table");
    for (const TTableDef &t : EngineCatalog::tables())
        QTest::addRow("%s", qPrintable(t.fileName)) << t.name;
}

// One record in any table makes the books the user's: neither filling
// command may add to them.
void tst_AdminTool::fillingRefusesNonEmptyBooks()
{
    QFETCH(QString, table);
    QVERIFY_DB(AdminTool::create(Alias, folder()));
    const QString inserted =
        execOnFile(databaseFile(), QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(EngineCatalog::quoted(table)));
    QVERIFY2(inserted.isEmpty(), qPrintable(inserted));
    const QString fileName = EngineCatalog::find(table)->fileName;

    AdminTool::TGenerateOptions options;
    options.rows = 10;
    const QString refusals[] = {errorOf([] { AdminTool::sample(Alias); }),
                                errorOf([&options] { AdminTool::generate(Alias, options); })};
    for (const QString &error : refusals)
        QVERIFY2(error.contains(fileName) && error.contains(QLatin1String("not empty")), qPrintable(error));

    qint64 total = 0;
    for (const AdminTool::TTableCount &c : AdminTool::check(Alias).counts)
        total += c.rows;
    QCOMPARE(total, 1);
}

void tst_AdminTool::generateMakesBooks_data()
{
    QTest::addColumn<qint64>("rows");
    QTest::addColumn<int>("years");
    QTest::addColumn<int>("accounts");
    QTest::addColumn<int>("types");
    QTest::addColumn<QDate>("end");  // invalid: today

    QTest::newRow("2000 rows") << qint64(2000) << 10 << 20 << 30 << QDate(2024, 2, 29);
    QTest::newRow("ending today") << qint64(2000) << 3 << 7 << 4 << QDate();
    QTest::newRow("rows not a multiple of ten") << qint64(25) << 1 << 2 << 1 << QDate(2023, 1, 1);
    QTest::newRow("one row") << qint64(1) << 1 << 3 << 2 << QDate(2020, 12, 31);
}

void tst_AdminTool::generateMakesBooks()
{
    QFETCH(qint64, rows);
    QFETCH(int, years);
    QFETCH(int, accounts);
    QFETCH(int, types);
    QFETCH(QDate, end);
    const QDate today(2023, 6, 15);
    Clock::setTodaySource([today] { return today; });

    AdminTool::TGenerateOptions options;
    options.rows = rows;
    options.years = years;
    options.accounts = accounts;
    options.types = types;
    options.end = end;
    QVERIFY_DB(AdminTool::create(Alias, folder()));
    AdminTool::TGenerateResult result;
    QVERIFY_DB(result = AdminTool::generate(Alias, options));
    QCOMPARE(result.rowsWritten, 4 * rows + accounts + types);

    QList<AdminTool::TTableCount> counts;
    QVERIFY_DB(counts = AdminTool::check(Alias).counts);
    for (const AdminTool::TTableCount &c : counts) {
        const qint64 expected = c.fileName == QLatin1String("Accounts.db")   ? accounts
                                : c.fileName == QLatin1String("ExpTypes.db") ? types
                                                                             : rows;
        QVERIFY2(c.rows == expected, qPrintable(QStringLiteral("%1: %2").arg(c.fileName).arg(c.rows)));
    }

    // The connection is durable again for whoever writes next.
    QCOMPARE(scalar(QStringLiteral("PRAGMA synchronous")).toInt(), 2);
    QCOMPARE(scalar(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("delete"));

    const QString first = AdminTool::generatedSpanStart(options).toString(Qt::ISODate);
    const QString last = (end.isValid() ? end : today).toString(Qt::ISODate);
    QCOMPARE(first, (end.isValid() ? end : today).addYears(-years).addDays(1).toString(Qt::ISODate));
    for (const QString &journal : {QStringLiteral("AccTrans"), QStringLiteral("Expenses"), QStringLiteral("Purchases"),
                                   QStringLiteral("Sales")}) {
        const QString from = QStringLiteral(" FROM %1").arg(journal);
        QVERIFY(scalar(QStringLiteral("SELECT min(DocDate)") + from).toString() >= first);
        QCOMPARE(scalar(QStringLiteral("SELECT max(DocDate)") + from).toString(), last);
        QCOMPARE(
            count(QStringLiteral("SELECT count(*)") + from + QStringLiteral(" WHERE DocDate IS NOT date(DocDate)")), 0);
        QCOMPARE(count(QStringLiteral("SELECT count(*)") + from +
                       QStringLiteral(" WHERE AccID IS NULL OR AccID NOT BETWEEN 1 AND %1").arg(accounts)),
                 0);
    }
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM Expenses WHERE ExpType IS NULL OR ExpType NOT BETWEEN 1 AND %1")
                       .arg(types)),
             0);
    if (rows >= 1000)
        QCOMPARE(count(QStringLiteral("SELECT count(DISTINCT AccID) FROM AccTrans")), accounts);

    // Amounts are positive with two decimals; a transaction moves one way.
    const QString notCents = QStringLiteral(" <= 0 OR abs(%1 * 100 - round(%1 * 100)) > 1e-6");
    QCOMPARE(
        count(QStringLiteral("SELECT count(*) FROM Expenses WHERE Amount") + notCents.arg(QLatin1String("Amount"))), 0);
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM Sales WHERE Total") + notCents.arg(QLatin1String("Total"))), 0);
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM Purchases WHERE Total") + notCents.arg(QLatin1String("Total"))),
             0);
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM AccTrans WHERE NOT ((Increase > 0 AND Decrease = 0)"
                                  " OR (Decrease > 0 AND Increase = 0)) OR Increase + Decrease") +
                   notCents.arg(QLatin1String("(Increase + Decrease)"))),
             0);

    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM AccTrans WHERE AccID = 1")), rows / 10);

    // Invoice numbers 1..rows, rising with the date.
    for (const QString &invoices : {QStringLiteral("Sales"), QStringLiteral("Purchases")}) {
        QCOMPARE(
            count(
                QStringLiteral("SELECT count(DISTINCT Id) FROM %1 WHERE Id BETWEEN 1 AND %2").arg(invoices).arg(rows)),
            rows);
        QCOMPARE(count(QStringLiteral("SELECT count(*) FROM (SELECT DocDate, lag(DocDate) OVER (ORDER BY Id) AS Before"
                                      " FROM %1) WHERE Before > DocDate")
                           .arg(invoices)),
                 0);
    }
}

// The same seed gives the same books whatever else ran before; another seed
// gives other books.
void tst_AdminTool::generateDependsOnlyOnSeed()
{
    AdminTool::TGenerateOptions options;
    options.rows = 2000;
    options.end = QDate(2024, 2, 29);
    const struct
    {
        QString alias;
        quint64 seed;
    } runs[] = {{QStringLiteral("FIRST"), 7}, {QStringLiteral("SECOND"), 7}, {QStringLiteral("OTHER"), 8}};
    QList<QByteArray> hashes;
    for (const auto &run : runs) {
        options.seed = run.seed;
        QVERIFY_DB(AdminTool::create(run.alias, folder(run.alias)));
        QVERIFY_DB(AdminTool::generate(run.alias, options));
        hashes << contentHash(run.alias);
    }
    QCOMPARE(hashes.at(1), hashes.at(0));
    QVERIFY(hashes.at(2) != hashes.at(0));
}

// A write refused half way through (here by a trigger on the last journal
// written) undoes every record and leaves the connection durable.
void tst_AdminTool::generateFailureLeavesBooksEmpty()
{
    QVERIFY_DB(AdminTool::create(Alias, folder()));
    const QString refused = execOnFile(
        databaseFile(), QStringLiteral("CREATE TRIGGER \"Refuse\" BEFORE INSERT ON \"Sales\" WHEN NEW.\"Id\" = 1500"
                                       " BEGIN SELECT RAISE(ABORT, 'refused by the test'); END"));
    QVERIFY2(refused.isEmpty(), qPrintable(refused));

    AdminTool::TGenerateOptions options;
    options.rows = 2000;
    options.end = QDate(2024, 2, 29);
    const QString error = errorOf([&options] { AdminTool::generate(Alias, options); });
    QVERIFY2(error.contains(QLatin1String("Sales.DB")) && error.contains(QLatin1String("refused by the test")),
             qPrintable(error));

    for (const AdminTool::TTableCount &c : AdminTool::check(Alias).counts)
        QVERIFY2(c.rows == 0, qPrintable(c.fileName));
    QCOMPARE(scalar(QStringLiteral("PRAGMA synchronous")).toInt(), 2);
    QCOMPARE(scalar(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("delete"));
}

void tst_AdminTool::generateRejectsOptions_data()
{
    QTest::addColumn<qint64>("rows");
    QTest::addColumn<int>("years");
    QTest::addColumn<int>("accounts");
    QTest::addColumn<int>("types");
    QTest::addColumn<QString>("option");

    QTest::newRow("no rows") << qint64(0) << 10 << 20 << 30 << QStringLiteral("--rows");
    QTest::newRow("too many rows") << (qint64(1) << 31) << 10 << 20 << 30 << QStringLiteral("--rows");
    QTest::newRow("no years") << qint64(10) << 0 << 20 << 30 << QStringLiteral("--years");
    QTest::newRow("only account 1") << qint64(10) << 10 << 1 << 30 << QStringLiteral("--accounts");
    QTest::newRow("no types") << qint64(10) << 10 << 20 << 0 << QStringLiteral("--types");
}

void tst_AdminTool::generateRejectsOptions()
{
    QFETCH(qint64, rows);
    QFETCH(int, years);
    QFETCH(int, accounts);
    QFETCH(int, types);
    QFETCH(QString, option);
    AdminTool::TGenerateOptions options;
    options.rows = rows;
    options.years = years;
    options.accounts = accounts;
    options.types = types;
    QVERIFY_DB(AdminTool::create(Alias, folder()));

    QVERIFY(AdminTool::invalidGenerateOptions(options).contains(option));
    const QString error = errorOf([&options] { AdminTool::generate(Alias, options); });
    QVERIFY2(error.contains(option), qPrintable(error));
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM Accounts")), 0);
}

// The records of the days asked for, in the table's reading order (a date
// another program wrote in another form goes by the day it names), every
// stored field under its name, read back exactly.
void tst_AdminTool::exportWritesTheRecords_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QStringList>("ids");
    QTest::newRow("every record, no date first") << QDate() << QDate() << QStringList{"5", "3", "1", "4", "2"};
    QTest::newRow("from a day") << QDate(2024, 3, 2) << QDate() << QStringList{"1", "4", "2"};
    QTest::newRow("up to a day") << QDate() << QDate(2024, 3, 2) << QStringList{"3", "1", "4"};
    QTest::newRow("one day") << QDate(2024, 3, 2) << QDate(2024, 3, 2) << QStringList{"1", "4"};
    QTest::newRow("no day between") << QDate(2024, 3, 3) << QDate(2024, 3, 2) << QStringList{};
}

void tst_AdminTool::exportWritesTheRecords()
{
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QStringList, ids);
    QVERIFY_DB(AdminTool::create(Alias, folder()));
    TEngineDatabase &db = TEngineDatabase::forAlias(Alias);
    const QString sale =
        QStringLiteral("INSERT INTO Sales (Id, DocDate, Customer, SalesMan, Total, Remarks, AccID) VALUES (?, ?, ?, ?, ?, ?, ?)");
    QVERIFY_DB(db.write(sale, {1, QStringLiteral("2024-03-02"), QStringLiteral("A, \"B\""), QString(), 1e-5,
                               QStringLiteral("line\r\nbreak"), 1}));
    QVERIFY_DB(db.write(sale, {2, QStringLiteral("2024-03-09"), QStringLiteral("\u05e9\u05dc\u05d5\u05dd"), QStringLiteral("S"),
                               0.1 + 0.2, QVariant(), QVariant()}));
    QVERIFY_DB(db.write(sale, {3, QStringLiteral("2024-03-01"), QStringLiteral("C"), QString(), -2.5, QString(), 2}));
    QVERIFY_DB(db.write(sale, {4, QStringLiteral("2024-03-02 18:30"), QStringLiteral("D"), QString(), 7.0, QString(), 2}));
    QVERIFY_DB(db.write(sale, {5, QVariant(), QStringLiteral("E"), QString(), QVariant(), QString(), 2}));

    AdminTool::TExportOptions o;
    o.table = QStringLiteral("sales.db");
    o.from = from;
    o.to = to;
    o.file = m_dir->filePath(QStringLiteral("sales.csv"));
    qint64 written = -1;
    QVERIFY_DB(written = AdminTool::exportTable(Alias, o));
    QCOMPARE(written, ids.size());
    const QList<QStringList> records = readCsvFile(o.file);
    QCOMPARE(records.value(0), (QStringList{"Id", "DocDate", "Customer", "SalesMan", "Total", "Remarks", "AccID"}));
    QStringList got;
    for (qsizetype r = 1; r < records.size(); ++r)
        got << records.at(r).value(0);
    QCOMPARE(got, ids);
    const QHash<QString, QStringList> expected = {
        {"1", {"1", "2024-03-02", "A, \"B\"", "", "1E-5", "line\r\nbreak", "1"}},
        {"2", {"2", "2024-03-09", "\u05e9\u05dc\u05d5\u05dd", "S", "0.30000000000000004", "", ""}},
        {"4", {"4", "2024-03-02", "D", "", "7", "", "2"}},
        {"5", {"5", "", "E", "", "", "", "2"}},
    };
    for (qsizetype r = 1; r < records.size(); ++r)
        if (expected.contains(records.at(r).value(0)))
            QCOMPARE(records.at(r), expected.value(records.at(r).value(0)));
}

void tst_AdminTool::exportRefuses_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown table") << "Invoices" << QDate() << QString() << "Table does not exist: Invoices";
    QTest::newRow("dates on a master list")
        << "Accounts" << QDate(2024, 1, 1) << QString() << "Accounts.db has no dates to choose records by";
    QTest::newRow("a value that does not fit")
        << "AccTrans" << QDate()
        << "INSERT INTO AccTrans (DocDate, Increase, AccID) VALUES ('2024-03-01', 'lots', 1)"
        << "AccTrans.db, record 1: the field Increase holds 'lots', which is not a number";
}

// A refused export writes nothing, and a file already there keeps what it
// held.
void tst_AdminTool::exportRefuses()
{
    QFETCH(QString, table);
    QFETCH(QDate, from);
    QFETCH(QString, fixture);
    QFETCH(QString, message);
    QVERIFY_DB(AdminTool::create(Alias, folder()));
    if (!fixture.isEmpty())
        QVERIFY_DB(TEngineDatabase::forAlias(Alias).write(fixture, {}));
    AdminTool::TExportOptions o;
    o.table = table;
    o.from = from;
    o.file = m_dir->filePath(QStringLiteral("out.csv"));
    {
        QFile f(o.file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("kept");
    }
    QCOMPARE(errorOf([&o] { AdminTool::exportTable(Alias, o); }), message);
    QFile f(o.file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("kept"));
}

void tst_AdminTool::executable_data()
{
    QTest::addColumn<bool>("withBooks");         // the alias's books exist before the run
    QTest::addColumn<QStringList>("arguments");  // @folder: the books' folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");  // expected in standard output (exit 0) or error

    const QString a = QStringLiteral("--alias");
    QTest::newRow("no command") << false << QStringList{} << 2 << QStringLiteral("no command");
    QTest::newRow("unknown command") << false << QStringList{QStringLiteral("frobnicate")} << 2
                                     << QStringLiteral("frobnicate");
    QTest::newRow("unknown option") << true << QStringList{QStringLiteral("check"), QStringLiteral("--colour")} << 2
                                    << QStringLiteral("colour");
    QTest::newRow("create without folder")
        << false << QStringList{QStringLiteral("create")} << 2 << QStringLiteral("folder");
    QTest::newRow("option of another command")
        << true << QStringList{QStringLiteral("check"), QStringLiteral("--seed"), QStringLiteral("3")} << 2
        << QStringLiteral("--seed");
    QTest::newRow("generate without rows")
        << true << QStringList{QStringLiteral("generate")} << 2 << QStringLiteral("--rows");
    QTest::newRow("rows not a number") << true
                                       << QStringList{QStringLiteral("generate"), QStringLiteral("--rows"),
                                                      QStringLiteral("many")}
                                       << 2 << QStringLiteral("many");
    QTest::newRow("rows out of range") << true
                                       << QStringList{QStringLiteral("generate"), QStringLiteral("--rows"),
                                                      QStringLiteral("0")}
                                       << 2 << QStringLiteral("--rows");
    QTest::newRow("end not a date") << true
                                    << QStringList{QStringLiteral("generate"), QStringLiteral("--rows"),
                                                   QStringLiteral("5"), QStringLiteral("--end"),
                                                   QStringLiteral("2024-02-30")}
                                    << 2 << QStringLiteral("2024-02-30");
    QTest::newRow("create") << false << QStringList{QStringLiteral("create"), QStringLiteral("@folder")} << 0
                            << QStringLiteral("books.db");
    QTest::newRow("create twice") << true << QStringList{QStringLiteral("create"), QStringLiteral("@folder")} << 1
                                  << QStringLiteral("already exists");
    QTest::newRow("check") << true << QStringList{QStringLiteral("check")} << 0 << QStringLiteral("Purchases.DB");
    QTest::newRow("check unknown alias") << true << QStringList{QStringLiteral("check"), a, QStringLiteral("NOSUCH")}
                                         << 1 << QStringLiteral("NOSUCH");
    QTest::newRow("alias") << true << QStringList{QStringLiteral("alias")} << 0 << QStringLiteral("@folder");
    QTest::newRow("sample") << true << QStringList{QStringLiteral("sample")} << 0 << QStringLiteral("sample");
    QTest::newRow("restore without file") << true << QStringList{QStringLiteral("restore")} << 2
                                          << QStringLiteral("restore needs a file");
    QTest::newRow("backup to two files")
        << true << QStringList{QStringLiteral("backup"), QStringLiteral("a.db"), QStringLiteral("b.db")} << 2
        << QStringLiteral("b.db");
    QTest::newRow("backups, none yet") << true << QStringList{QStringLiteral("backups")} << 0
                                       << QStringLiteral("No backups of @folder/books.db yet");
    QTest::newRow("backup") << true << QStringList{QStringLiteral("backup")} << 0
                            << QStringLiteral("Backed up @folder/books.db to @folder/Backups/books-");
    QTest::newRow("backup to a file") << true << QStringList{QStringLiteral("backup"), QStringLiteral("@folder/copy.db")}
                                      << 0 << QStringLiteral("to @folder/copy.db (Accounts.db 0,");
    QTest::newRow("backup to a file that exists")
        << true << QStringList{QStringLiteral("backup"), QStringLiteral("@folder/books.db")} << 1
        << QStringLiteral("already exists");
    QTest::newRow("restore a file that is not there")
        << true << QStringList{QStringLiteral("restore"), QStringLiteral("nothing.db")} << 1
        << QStringLiteral("no such file");
    QTest::newRow("generate") << true << QStringList{QStringLiteral("generate"),   QStringLiteral("--rows"),
                                                     QStringLiteral("50"),         QStringLiteral("--end"),
                                                     QStringLiteral("2024-02-29"), QStringLiteral("--accounts"),
                                                     QStringLiteral("3"),          QStringLiteral("--types"),
                                                     QStringLiteral("2")}
                              << 0 << QStringLiteral("205 rows");
    const QString csv = QStringLiteral("@folder/out.csv");
    QTest::newRow("export") << true
                            << QStringList{QStringLiteral("export"), QStringLiteral("Purchases"), QStringLiteral("--from"),
                                           QStringLiteral("2024-01-01"), QStringLiteral("--to"),
                                           QStringLiteral("2024-12-31"), csv}
                            << 0 << QStringLiteral("Wrote 0 records of Purchases.DB to ");
    QTest::newRow("export without a file")
        << true << QStringList{QStringLiteral("export"), QStringLiteral("Sales")} << 2 << QStringLiteral("a file");
    QTest::newRow("export from no date")
        << true << QStringList{QStringLiteral("export"), QStringLiteral("Sales"), QStringLiteral("--from"),
                               QStringLiteral("1 March"), csv}
        << 2 << QStringLiteral("1 March");
    QTest::newRow("option of export")
        << true << QStringList{QStringLiteral("check"), QStringLiteral("--to"), QStringLiteral("2024-01-01")} << 2
        << QStringLiteral("--to");
    QTest::newRow("export unknown table")
        << true << QStringList{QStringLiteral("export"), QStringLiteral("Invoices"), csv} << 1
        << QStringLiteral("Invoices");
}

void tst_AdminTool::executable()
{
    QFETCH(bool, withBooks);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    if (withBooks)
        QVERIFY_DB(AdminTool::create(AdminTool::DefaultAlias, folder()));
    const QString books = QDir(folder()).absolutePath();
    for (QString &arg : arguments)
        arg.replace(QLatin1String("@folder"), books);
    output.replace(QLatin1String("@folder"), books);

    QProcess tool;
    tool.start(QString::fromUtf8(ARDENTRY_DB_EXE), arguments);
    QVERIFY2(tool.waitForFinished(60000), qPrintable(tool.errorString()));
    const QString out = QString::fromLocal8Bit(tool.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(tool.readAllStandardError());
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QVERIFY2(tool.exitCode() == exitCode,
             qPrintable(QStringLiteral("exit %1\n%2%3").arg(tool.exitCode()).arg(out, err)));
    QVERIFY2((exitCode == 0 ? out : err).contains(output), qPrintable(out + err));
    if (exitCode != 0)
        QVERIFY2(out.isEmpty(), qPrintable(out));
}

// The tool's own round: a backup, the list that names it with its date,
// size and records, and a restore by the name the list gives.
void tst_AdminTool::backupListRestoreByName()
{
    QVERIFY_DB(AdminTool::create(AdminTool::DefaultAlias, folder()));
    QVERIFY_DB(AdminTool::sample(AdminTool::DefaultAlias));
    const QByteArray sampled = contentHash(AdminTool::DefaultAlias);
    TEngineDatabase::closeAll();
    const auto run = [](const QStringList &arguments) {
        QProcess tool;
        tool.start(QString::fromUtf8(ARDENTRY_DB_EXE), arguments);
        tool.waitForFinished(60000);
        return std::make_pair(tool.exitCode(), QString::fromLocal8Bit(tool.readAllStandardOutput() +
                                                                      tool.readAllStandardError()));
    };
    auto [code, out] = run({QStringLiteral("backup")});
    QVERIFY2(code == 0, qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("Copying the books: 100%")), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("Checking the copy: 100%")), qPrintable(out));

    std::tie(code, out) = run({QStringLiteral("backups")});
    QVERIFY2(code == 0, qPrintable(out));
    const QRegularExpression line(QStringLiteral("  (books-\\d{4}-\\d\\d-\\d\\d-\\d{6}\\.db)  \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  "
                                                 "[\\d.]+ KiB  Accounts.db 3, AccTrans.db \\d+, Expenses.db \\d+, ExpTypes.db \\d+, "
                                                 "Purchases.DB \\d+, Sales.DB \\d+\\n"));
    const QRegularExpressionMatch m = line.match(out);
    QVERIFY2(m.hasMatch(), qPrintable(out));

    QVERIFY(execOnFile(databaseFile(), QStringLiteral("DELETE FROM Sales")).isEmpty());
    std::tie(code, out) = run({QStringLiteral("restore"), m.captured(1)});
    QVERIFY2(code == 0, qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("Restored %1 from ").arg(QDir(folder()).absoluteFilePath(QStringLiteral("books.db")))),
             qPrintable(out));
    QCOMPARE(contentHash(AdminTool::DefaultAlias), sampled);
}

// The commands on books on a server, through the tool as a user runs it:
// the alias points at the address, the sample's records are followed by the
// program's own, and check names what does not fit.
void tst_AdminTool::serverBooks()
{
    if (!TestServerDb::serverGiven())
        QSKIP(TestServerDb::SkipReason);
    const TestServerDb server;
    QVERIFY2(!server.uri().isEmpty(), qPrintable(server.error()));
    const auto run = [](const QStringList &arguments) {
        QProcess tool;
        tool.start(QString::fromUtf8(ARDENTRY_DB_EXE), arguments);
        tool.waitForFinished(60000);
        return std::make_pair(tool.exitCode(), QString::fromUtf8(tool.readAllStandardOutput() +
                                                                 tool.readAllStandardError()));
    };
    const QString shown = QUrl(server.uri()).toDisplayString();
    auto [code, out] = run({QStringLiteral("create"), server.uri()});
    QVERIFY2(code == 0 && out == QStringLiteral("Created the books in %1 for alias ARD\n").arg(shown), qPrintable(out));
    std::tie(code, out) = run({QStringLiteral("create"), server.uri()});
    QVERIFY2(code == 1 && out.contains(QLatin1String("already exists")), qPrintable(out));
    std::tie(code, out) = run({QStringLiteral("create"), QStringLiteral("--alias"), QStringLiteral("OTHER"), server.uri()});
    QVERIFY2(code == 1 && out.contains(QLatin1String("A database already exists")), qPrintable(out));
    std::tie(code, out) = run({QStringLiteral("alias")});
    QVERIFY2(code == 0 && out == QStringLiteral("Server: %1\n").arg(shown), qPrintable(out));
    std::tie(code, out) = run({QStringLiteral("sample")});
    QVERIFY2(code == 0, qPrintable(out));
    std::tie(code, out) = run({QStringLiteral("backup")});
    QVERIFY2(code == 1 && out.contains(QLatin1String("pg_dump")), qPrintable(out));
    std::tie(code, out) = run({QStringLiteral("check")});
    QVERIFY2(code == 0 && out.startsWith(QStringLiteral("%1 (alias ARD): ok\n  Accounts.db   3\n").arg(shown)),
             qPrintable(out));

    // A second desk joins the books by pointing its alias at them.
    std::tie(code, out) = run({QStringLiteral("alias"), QStringLiteral("--alias"), QStringLiteral("DESK2"), server.uri()});
    QVERIFY2(code == 0, qPrintable(out));
    TEngineDatabase &db = TEngineDatabase::forAlias(QStringLiteral("DESK2"));
    QCOMPARE(db.kind(), TEngineKind::PostgreSQL);
    qint64 id = 0;
    QVERIFY_DB(id = db.insert(QStringLiteral("INSERT INTO Accounts (AccName) VALUES (?)"), {QStringLiteral("Till")},
                              QStringLiteral("AccID")));
    QCOMPARE(id, 4);
    QVERIFY_DB(db.change(QStringLiteral("INSERT INTO AccTrans (Id, DocDate, AccID, Increase, Decrease) VALUES"
                                        " (1001, 'infinity', 1, 'Infinity', 'NaN'), (1002, '2024-01-01', 1, 1e15, 0)"),
                         {}));
    TEngineDatabase::closeAll();
    std::tie(code, out) = run({QStringLiteral("check")});
    QCOMPARE(code, 1);
    for (const char *line : {"AccTrans.db, record 1001: the field Increase holds ", "AccTrans.db, record 1002: the field Increase holds 1E15",
                             "AccTrans.db, record 1001: the field Decrease holds ",
                             "AccTrans.db, record 1001: the field DocDate holds 'infinity', which names no day"})
        QVERIFY2(out.contains(QString::fromLatin1(line)), qPrintable(out));
}

// Large books are written in batches on a server too, with every record.
void tst_AdminTool::serverGenerate()
{
    if (!TestServerDb::serverGiven())
        QSKIP(TestServerDb::SkipReason);
    const TestServerDb server;
    QVERIFY2(!server.uri().isEmpty(), qPrintable(server.error()));
    QVERIFY_DB(AdminTool::create(Alias, server.uri()));
    AdminTool::TGenerateOptions options;
    options.rows = 1000;
    options.end = QDate(2024, 2, 29);
    AdminTool::TGenerateResult result;
    QVERIFY_DB(result = AdminTool::generate(Alias, options));
    QCOMPARE(result.rowsWritten, 4000 + options.accounts + options.types);
    QList<AdminTool::TTableCount> counts;
    QVERIFY_DB(counts = AdminTool::check(Alias).counts);
    QCOMPARE(counts.at(5).rows, 1000);
    QCOMPARE(scalar(QStringLiteral("SELECT CAST(max(DocDate) AS text) FROM Sales")).toString(), QStringLiteral("2024-02-29"));
    QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM AccTrans WHERE AccID = 1")).toInt(), 100);
    TEngineDatabase &db = TEngineDatabase::forAlias(Alias);
    QCOMPARE(db.insert(QStringLiteral("INSERT INTO ExpTypes (ExpType) VALUES (?)"), {QStringLiteral("New")},
                       QStringLiteral("Id")),
             options.types + 1);
    TEngineDatabase::closeAll();
}

QTEST_GUILESS_MAIN(tst_AdminTool)
#include "tst_admintool.moc"
