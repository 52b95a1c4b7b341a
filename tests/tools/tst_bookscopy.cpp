#include "AdminTool.h"
#include "BooksCopy.h"
#include "Clock.h"
#include "EDatabaseError.h"
#include "EngineCatalog.h"
#include "EngineConfig.h"
#include "EngineDatabase.h"
#include "TestAlias.h"
#include "TestServerDb.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <memory>

#ifndef ARDENTRY_DB_EXE
#error "ARDENTRY_DB_EXE must name the built ardentry-db executable"
#endif

namespace {

const QString Source = QStringLiteral("SRC");

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

// Every stored value of every table in identity order, nulls told apart from
// empty text, a day written the same whether the engine gives text or a
// date: two books with the same hash hold the same records.
QByteArray contentHash(TEngineDatabase &db)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const TTableDef &t : EngineCatalog::tables()) {
        QSqlQuery q = db.run(QStringLiteral("SELECT * FROM %1 ORDER BY %2")
                                 .arg(EngineCatalog::quoted(t.name), EngineCatalog::quoted(t.identityColumn())));
        while (q.next()) {
            for (int i = 0; i < int(t.columns.size()); ++i) {
                const QVariant v = q.value(i);
                hash.addData(v.isNull()                         ? QByteArray("\x01null")
                             : v.typeId() == QMetaType::QDate ? v.toDate().toString(Qt::ISODate).toUtf8()
                                                               : v.toString().toUtf8());
                hash.addData(QByteArray("\x1f"));
            }
            hash.addData(QByteArray("\x1e"));
        }
        hash.addData(t.name.toUtf8());
    }
    return hash.result();
}

QList<qint64> highWaters(TEngineDatabase &db)
{
    QList<qint64> marks;
    for (const TTableDef &t : EngineCatalog::tables())
        marks << db.identityHighWater(t);
    return marks;
}

QList<qint64> counts(TEngineDatabase &db)
{
    QList<qint64> n;
    for (const TTableDef &t : EngineCatalog::tables()) {
        QSqlQuery q = db.run(QStringLiteral("SELECT count(*) FROM %1").arg(EngineCatalog::quoted(t.name)));
        n << (q.next() ? q.value(0).toLongLong() : -1);
    }
    return n;
}

const TTableDef &table(const char *name)
{
    return *EngineCatalog::find(QString::fromLatin1(name));
}

struct TRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

TRun runTool(const QStringList &arguments)
{
    QProcess tool;
    tool.start(QString::fromUtf8(ARDENTRY_DB_EXE), arguments);
    tool.waitForFinished(120000);
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
            QString::fromUtf8(tool.readAllStandardOutput()), QString::fromUtf8(tool.readAllStandardError())};
}

}  // namespace

class tst_BooksCopy : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void roundTripKeepsEveryRecord_data();
    void roundTripKeepsEveryRecord();
    void datesInOtherFormsGoAsTheirDays();
    void refuses_data();
    void refuses();
    void mismatchIsAnErrorAndNothingIsKept_data();
    void mismatchIsAnErrorAndNothingIsKept();

private:
    // A place of the given kind that holds no books yet: a folder, or a
    // database of its own on the test server.
    QString newPlace(const QString &kind, const QString &name);
    // The source alias: the sample books and values that are awkward to carry.
    void fillSource();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::vector<std::unique_ptr<TestServerDb>> m_servers;
};

void tst_BooksCopy::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    qputenv(EngineConfig::ConfigEnvVar, QFile::encodeName(m_dir->filePath(QStringLiteral("engine.ini"))));
    Clock::setTodaySource([] { return QDate(2024, 5, 15); });
}

void tst_BooksCopy::cleanup()
{
    TEngineDatabase::closeAll();
    m_servers.clear();
    Clock::setTodaySource({});
    m_dir.reset();
}

QString tst_BooksCopy::newPlace(const QString &kind, const QString &name)
{
    if (kind == QLatin1String("sqlite"))
        return m_dir->filePath(name);
    m_servers.push_back(std::make_unique<TestServerDb>());
    return m_servers.back()->uri();
}

void tst_BooksCopy::fillSource()
{
    QVERIFY_DB(AdminTool::create(Source, m_dir->filePath(QStringLiteral("source"))));
    QVERIFY_DB(AdminTool::sample(Source));
    TEngineDatabase &db = TEngineDatabase::forAlias(Source);
    const QString sale = QStringLiteral(
        "INSERT INTO Sales (Id, DocDate, Customer, SalesMan, Total, Remarks, AccID) VALUES (?, ?, ?, ?, ?, ?, ?)");
    QVERIFY_DB(db.write(sale, {9001, QStringLiteral("2024-02-29"),
                               QStringLiteral("Zo\u00eb \u00c5ngstr\u00f6m \u2014 \u6771\u4eac \U0001F600"), QVariant(),
                               1e-5, QStringLiteral("it's \"quoted\""), 1}));
    // The largest amount the program keeps, and the smallest.
    QVERIFY_DB(db.write(sale, {9002, QVariant(), QStringLiteral("Big"), QString(), std::nextafter(1e15, 0.0),
                               QString(), 2}));
    QVERIFY_DB(db.write(sale, {9003, QStringLiteral("0001-01-01"), QStringLiteral("Small"), QString(),
                               -std::nextafter(1e15, 0.0), QString(), QVariant()}));
    QVERIFY_DB(db.write(QStringLiteral("INSERT INTO Expenses (DocDate, Amount, AccID, ExpType) VALUES (?, ?, ?, ?)"),
                        {QVariant(), 0.1 + 0.2, 1, 2}));
    // Deleted records leave gaps, and a high-water mark above the last
    // record, that a copy keeps.
    for (const char *name : {"Accounts", "AccTrans", "Expenses", "ExpTypes", "Purchases", "Sales"}) {
        const TTableDef &t = table(name);
        const QString id = EngineCatalog::quoted(t.identityColumn());
        const QString from = EngineCatalog::quoted(t.name);
        QVERIFY_DB(db.change(QStringLiteral("DELETE FROM %1 WHERE %2 = (SELECT max(%2) FROM %1)").arg(from, id), {}));
        QVERIFY_DB(db.change(QStringLiteral("DELETE FROM %1 WHERE %2 = 2").arg(from, id), {}));
    }
}

void tst_BooksCopy::roundTripKeepsEveryRecord_data()
{
    QTest::addColumn<QString>("middle");  // where the books go first
    QTest::addColumn<QString>("last");    // and from there

    QTest::newRow("SQLite to SQLite") << "sqlite" << "sqlite";
    QTest::newRow("SQLite to server and back") << "server" << "sqlite";
    QTest::newRow("SQLite to server to server") << "server" << "server";
}

// The books go from an alias to a new place with the library, and from there
// to another with the tool: each copy holds the same records, identities and
// high-water marks, and the next record stored in it gets a new identity.
void tst_BooksCopy::roundTripKeepsEveryRecord()
{
    QFETCH(QString, middle);
    QFETCH(QString, last);
    if ((middle == QLatin1String("server") || last == QLatin1String("server")) && !TestServerDb::serverGiven())
        QSKIP(TestServerDb::SkipReason);
    fillSource();
    const QString second = newPlace(middle, QStringLiteral("second"));
    const QString third = newPlace(last, QStringLiteral("third"));
    QVERIFY2(!second.isEmpty() && !third.isEmpty(), "no database on the test server");

    TEngineDatabase &source = TEngineDatabase::forAlias(Source);
    const QByteArray hash = contentHash(source);
    const QList<qint64> marks = highWaters(source);
    const QList<qint64> rows = counts(source);

    BooksCopy::TCopyResult r;
    QVERIFY_DB(r = BooksCopy::copy(Source, second));
    QVERIFY(r.created);
    QVERIFY2(r.dateNotes.isEmpty(), qPrintable(r.dateNotes.join(QLatin1Char('\n'))));
    QCOMPARE(r.tables.size(), EngineCatalog::tables().size());
    for (qsizetype i = 0; i < r.tables.size(); ++i)
        QCOMPARE(r.tables.at(i).rows, rows.at(i));

    const TRun tool = runTool({QStringLiteral("copy"), second, third});
    QVERIFY2(tool.exitCode == 0, qPrintable(tool.out + tool.err));
    QVERIFY2(tool.out.contains(QStringLiteral(", checked by counts and sums per table:\n")), qPrintable(tool.out));
    QVERIFY2(tool.out.contains(QStringLiteral("  Sales.DB      %1\n").arg(rows.at(5))), qPrintable(tool.out));
    QVERIFY2(tool.err.contains(QStringLiteral("Copying AccTrans.db: 100%")), qPrintable(tool.err));

    for (const QString &place : {second, third}) {
        const std::unique_ptr<TEngineDatabase> copy = TEngineDatabase::openPlace(place, false);
        QCOMPARE(contentHash(*copy), hash);
        QCOMPARE(highWaters(*copy), marks);
        qint64 id = 0;
        QVERIFY_DB(id = copy->insert(QStringLiteral("INSERT INTO Accounts (AccName) VALUES (?)"), {QStringLiteral("New")},
                                     QStringLiteral("AccID")));
        QCOMPARE(id, marks.at(0) + 1);
    }
}

// A server's DATE holds days only: a date stored in another form goes as
// the day it names, or as no date, and the copy says so for each.
void tst_BooksCopy::datesInOtherFormsGoAsTheirDays()
{
    if (!TestServerDb::serverGiven())
        QSKIP(TestServerDb::SkipReason);
    QVERIFY_DB(AdminTool::create(Source, m_dir->filePath(QStringLiteral("source"))));
    TEngineDatabase &db = TEngineDatabase::forAlias(Source);
    for (const char *date : {"2024-3-2", "2024-03-02 18:30", "soon", "2024-03-04"})
        QVERIFY_DB(db.write(QStringLiteral("INSERT INTO Expenses (DocDate, Amount) VALUES (?, 1)"),
                            {QString::fromLatin1(date)}));
    const QString server = newPlace(QStringLiteral("server"), {});
    QVERIFY(!server.isEmpty());

    BooksCopy::TCopyResult r;
    QVERIFY_DB(r = BooksCopy::copy(Source, server));
    QCOMPARE(r.dateNotes,
             (QStringList{QStringLiteral("Expenses.db, record 1: the field DocDate holds '2024-3-2', copied as the day "
                                         "2024-03-02"),
                          QStringLiteral("Expenses.db, record 2: the field DocDate holds '2024-03-02 18:30', copied as "
                                         "the day 2024-03-02"),
                          QStringLiteral("Expenses.db, record 3: the field DocDate holds 'soon', which names no day: "
                                         "copied as an empty date")}));
    const std::unique_ptr<TEngineDatabase> copy = TEngineDatabase::openPlace(server, false);
    QSqlQuery q = copy->run(QStringLiteral("SELECT CAST(DocDate AS text) FROM Expenses ORDER BY Id"));
    QStringList days;
    while (q.next())
        days << (q.isNull(0) ? QStringLiteral("null") : q.value(0).toString());
    QCOMPARE(days, (QStringList{"2024-03-02", "2024-03-02", "null", "2024-03-04"}));
}

void tst_BooksCopy::refuses_data()
{
    QTest::addColumn<QString>("kind");     // of the place copied to
    QTest::addColumn<QString>("fixture");  // written into the source (@src) or the place copied to (@to)
    QTest::addColumn<QString>("to");       // @place: the new place; else as given
    QTest::addColumn<QString>("message");  // part of the refusal

    for (const char *kind : {"sqlite", "server"}) {
        QTest::addRow("books that hold a record, %s", kind)
            << kind << "@to INSERT INTO ExpTypes (ExpType) VALUES ('Mine')"
            << "@place" << "copy refused: the books of @place are not empty (ExpTypes.db holds records)";
        QTest::addRow("an amount that does not fit, %s", kind)
            << kind << "@src INSERT INTO AccTrans (AccID, Increase) VALUES (1, 1e15)"
            << "@place" << "AccTrans.db, record 1: the field Increase holds 1E15, which is not an amount";
    }
    QTest::newRow("a text longer than a server's column")
        << "server" << "@src INSERT INTO ExpTypes (ExpType) VALUES ('" + QString(51, QLatin1Char('x')) + "')"
        << "@place" << "ExpTypes.db, record 1: the field ExpType holds 51 characters, more than the 50 a server's column takes";
    QTest::newRow("the same books") << "sqlite" << "" << Source << "copy refused: SRC and SRC are the same books";
    QTest::newRow("no such alias") << "sqlite" << "" << "NOSUCH" << "TO: \"NOSUCH\" is no alias";
}

// A refused copy says why and leaves the place copied to as it was: no
// books made, and a record there kept alone.
void tst_BooksCopy::refuses()
{
    QFETCH(QString, kind);
    QFETCH(QString, fixture);
    QFETCH(QString, to);
    QFETCH(QString, message);
    if (kind == QLatin1String("server") && !TestServerDb::serverGiven())
        QSKIP(TestServerDb::SkipReason);
    QVERIFY_DB(AdminTool::create(Source, m_dir->filePath(QStringLiteral("source"))));
    const QString place = newPlace(kind, QStringLiteral("target"));
    QVERIFY(!place.isEmpty());
    std::unique_ptr<TEngineDatabase> target;
    if (fixture.startsWith(QLatin1String("@to "))) {
        QVERIFY_DB(TEngineDatabase::createBooks(place));
        QVERIFY_DB(target = TEngineDatabase::openPlace(place, false));
        QVERIFY_DB(target->change(fixture.mid(4), {}));
    } else if (fixture.startsWith(QLatin1String("@src "))) {
        QVERIFY_DB(TEngineDatabase::forAlias(Source).change(fixture.mid(5), {}));
    }
    if (to == QLatin1String("@place"))
        to = place;
    const QString shownPlace = target ? target->describe() : place;
    message.replace(QLatin1String("@place"), shownPlace);

    const QString error = errorOf([&to] { BooksCopy::copy(Source, to); });
    QVERIFY2(error.contains(message), qPrintable(error));
    if (target) {
        QCOMPARE(counts(*target), (QList<qint64>{0, 0, 0, 1, 0, 0}));
    } else if (kind == QLatin1String("sqlite")) {
        QVERIFY(!QFileInfo::exists(place));
    } else {
        const std::unique_ptr<TEngineDatabase> untouched = TEngineDatabase::openPlace(place, true);
        QCOMPARE(AdminTool::tablesPresent(*untouched), 0);
    }
}

void tst_BooksCopy::mismatchIsAnErrorAndNothingIsKept_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("fault");  // statements that make the place copied to change what it stores

    QTest::newRow("sqlite") << "sqlite"
                            << QStringList{"CREATE TRIGGER skew AFTER INSERT ON Sales BEGIN UPDATE Sales SET Total ="
                                           " Total + 0.01 WHERE SeqNo = new.SeqNo; END"};
    QTest::newRow("server") << "server"
                            << QStringList{"CREATE FUNCTION skew() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
                                           " NEW.total := NEW.total + 0.01; RETURN NEW; END $$",
                                           "CREATE TRIGGER skew BEFORE INSERT ON sales FOR EACH ROW EXECUTE FUNCTION skew()"};
}

// Books that store something else than they were given: the check by sums
// finds it, the tool fails naming the table and the sum, and the copy is
// rolled back.
void tst_BooksCopy::mismatchIsAnErrorAndNothingIsKept()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, fault);
    if (kind == QLatin1String("server") && !TestServerDb::serverGiven())
        QSKIP(TestServerDb::SkipReason);
    QVERIFY_DB(AdminTool::create(Source, m_dir->filePath(QStringLiteral("source"))));
    QVERIFY_DB(AdminTool::sample(Source));
    const QString place = newPlace(kind, QStringLiteral("target"));
    QVERIFY(!place.isEmpty());
    QVERIFY_DB(TEngineDatabase::createBooks(place));
    {
        const std::unique_ptr<TEngineDatabase> target = TEngineDatabase::openPlace(place, false);
        for (const QString &sql : fault)
            QVERIFY_DB(target->change(sql, {}));
    }
    TEngineDatabase::closeAll();

    const TRun tool = runTool({QStringLiteral("copy"), Source, place});
    QCOMPARE(tool.exitCode, 1);
    QVERIFY2(tool.err.contains(QStringLiteral("so it was not kept:\nSales.DB: the sum of Total is ")),
             qPrintable(tool.err));
    QVERIFY2(!tool.err.contains(QLatin1String("\nAccTrans.db")), qPrintable(tool.err));
    const std::unique_ptr<TEngineDatabase> target = TEngineDatabase::openPlace(place, true);
    QCOMPARE(counts(*target), (QList<qint64>{0, 0, 0, 0, 0, 0}));
}

QTEST_GUILESS_MAIN(tst_BooksCopy)
#include "tst_bookscopy.moc"
