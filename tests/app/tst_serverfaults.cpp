#include "Clock.h"
#include "DMUnit.h"
#include "EngineConfig.h"
#include "EngineDatabase.h"
#include "FormatSettings.h"
#include "ModalAnswer.h"
#include "Startup.h"
#include "TField.h"
#include "TTable.h"
#include "TestAlias.h"
#include "TestEngines.h"
#include "frmMainUnit.h"
#include "ui_frmMainUnit.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QUrl>
#include <QtTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QDate Today(2026, 12, 10);

// A loopback port nothing listens on.
int closedPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    bind(fd, reinterpret_cast<sockaddr *>(&a), size);
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &size);
    close(fd);
    return ntohs(a.sin_port);
}

// The test server's address with another database, user or port.
QString serverAddress(const QString &database, const QString &user = {}, int port = 0)
{
    QUrl url(TestEngines::serverAddress());
    url.setPath(QLatin1Char('/') + database);
    if (!user.isEmpty())
        url.setUserName(user);
    if (port > 0)
        url.setPort(port);
    return url.toString();
}

} // namespace

// Books on a database server that is down, refuses, or goes away: the
// program says so in its own words, in seconds, and never hangs.
class tst_ServerFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        if (TestEngines::serverAddress().isEmpty())
            QSKIP("no PostgreSQL test server: ARDENTRY_TEST_PG is not set (scripts/test starts one)");
        Clock::setTodaySource([] { return Today; });
    }
    void cleanup()
    {
        Startup::finish();
        TEngineDatabase::closeAll();
        Clock::setTodaySource({});
        FormatSettings() = TFormatSettings();
    }

    void startUpEndsWithTheReason_data();
    void startUpEndsWithTheReason();
    void lostConnectionIsReportedThenMended();
    void recordLockedByAnotherDeskIsReported();
};

void tst_ServerFaults::startUpEndsWithTheReason_data()
{
    QTest::addColumn<QString>("address");  // empty: the books of a fresh alias, with the address written by hand
    QTest::addColumn<QString>("message");  // a part of the Application Error box

    if (TestEngines::serverAddress().isEmpty())
        QSKIP("no PostgreSQL test server: ARDENTRY_TEST_PG is not set (scripts/test starts one)");
    QTest::newRow("server down") << serverAddress(QStringLiteral("books"), {}, closedPort())
                                 << QStringLiteral("Cannot connect to the database server postgresql://");
    QTest::newRow("no such database") << serverAddress(QStringLiteral("no_such_books"))
                                      << QStringLiteral("\"no_such_books\" does not exist");
    // Refused as an unknown user or by the server's access rules: either
    // way the server's own words follow the address.
    QTest::newRow("login refused") << serverAddress(QStringLiteral("postgres"), QStringLiteral("nobody_here"))
                                   << QStringLiteral("failed: FATAL:");
    QUrl withPassword(TestEngines::serverAddress());
    withPassword.setPassword(QStringLiteral("secret"));
    QTest::newRow("a password in the alias")
        << withPassword.toString() << QStringLiteral("must not hold a password: keep it in ~/.pgpass or PGPASSWORD");
    QTest::newRow("a database without the books") << serverAddress(QStringLiteral("postgres"))
                                                  << QStringLiteral("Table does not exist: Accounts.db");
}

void tst_ServerFaults::startUpEndsWithTheReason()
{
    QFETCH(QString, address);
    QFETCH(QString, message);

    // The alias as a user would write it into the engine's configuration:
    // setAlias itself refuses a password.
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("engine.ini"));
    {
        QSettings s(config, QSettings::IniFormat);
        s.setValue(QStringLiteral("Aliases/ARD"), address);
    }
    const QByteArray oldConfig = qgetenv(EngineConfig::ConfigEnvVar);
    qputenv(EngineConfig::ConfigEnvVar, config.toLocal8Bit());

    ModalAnswer boxes(QStringLiteral("Return"));
    QElapsedTimer clock;
    clock.start();
    const bool started = Startup::start();
    const qint64 ms = clock.elapsed();
    qputenv(EngineConfig::ConfigEnvVar, oldConfig);

    QVERIFY(!started);
    QVERIFY2(ms < 10000, qPrintable(QStringLiteral("start-up took %1 ms").arg(ms)));
    QTRY_COMPARE(boxes.count(), 1);
    QCOMPARE(boxes.title(), QStringLiteral("Application Error"));
    QVERIFY2(boxes.text().contains(message), qPrintable(boxes.text()));
    QVERIFY2(!boxes.text().contains(QLatin1String("secret")), qPrintable(boxes.text()));
}

// The server ends the desk's session (a restart, a network fault): the
// step that meets it says so, and the next one works again.
void tst_ServerFaults::lostConnectionIsReportedThenMended()
{
    TestAlias alias(TEngineKind::PostgreSQL);
    alias.exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash')"));
    alias.exec(QStringLiteral("INSERT INTO Sales (Id, DocDate, Total, AccID) VALUES (1, '2026-12-02', 40, 1), "
                              "(2, '2026-03-02', 2, 1)"));
    QVERIFY(Startup::start());
    frmMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(frmMain));
    QCOMPARE(frmMain->ui->lblSales->text(), QStringLiteral("40"));

    alias.scalar(QStringLiteral("SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity "
                                "WHERE datname = current_database() AND application_name = 'Ardentry'"));
    {
        ModalAnswer boxes(QStringLiteral("Return"));
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(frmMain->ui->optYear, Qt::LeftButton);
        QTRY_COMPARE(boxes.count(), 1);
        QVERIFY(clock.elapsed() < 10000);
        QVERIFY2(boxes.text().contains(QLatin1String("The connection to the database server")), qPrintable(boxes.text()));
        QVERIFY2(boxes.text().contains(QLatin1String("was lost")), qPrintable(boxes.text()));
    }
    // The refused change left the month on the screen.
    QVERIFY(frmMain->ui->optMonth->isChecked());
    {
        ModalAnswer none(QStringList{});
        QTest::mouseClick(frmMain->ui->optYear, Qt::LeftButton);
        QCOMPARE(none.count(), 0);
    }
    QCOMPARE(frmMain->ui->lblSales->text(), QStringLiteral("42"));
}

// Another desk holds a record (its change not yet stored): a change of the
// same record waits a few seconds, then says the books are locked, stores
// nothing, and goes through once the other desk is done.
void tst_ServerFaults::recordLockedByAnotherDeskIsReported()
{
    TestAlias alias(TEngineKind::PostgreSQL);
    alias.exec(QStringLiteral("INSERT INTO Sales (Id, DocDate, Total) VALUES (1, '2026-12-02', 40)"));
    QObject owner;
    auto *sales = new TTable(&owner);
    sales->setDatabaseName(QStringLiteral("ARD"));
    sales->setTableName(QStringLiteral("Sales.DB"));
    QVERIFY_DB(sales->Open());

    QSqlDatabase other = alias.fixture();
    QVERIFY(other.transaction());
    QSqlQuery hold(other);
    QVERIFY(hold.exec(QStringLiteral("SELECT * FROM sales WHERE id = 1 FOR UPDATE")));

    QElapsedTimer clock;
    clock.start();
    QVERIFY_DB_ERROR(
        {
            sales->Edit();
            sales->FieldByName(QStringLiteral("Total"))->setAsFloat(41);
            sales->Post();
        },
        QStringLiteral("The database is locked by another program; try again later"));
    QVERIFY(clock.elapsed() < 15000);
    sales->Cancel();
    QVERIFY(other.commit());

    QVERIFY_DB({
        sales->Edit();
        sales->FieldByName(QStringLiteral("Total"))->setAsFloat(41);
        sales->Post();
    });
    QCOMPARE(alias.scalar(QStringLiteral("SELECT total FROM sales WHERE id = 1")).toDouble(), 41.0);
}

QTEST_MAIN(tst_ServerFaults)
#include "tst_serverfaults.moc"
