#include "TestAlias.h"

#include "EngineConfig.h"
#include "EngineDatabase.h"
#include "PgBackend.h"
#include "TestEngines.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace {

// Runs one statement on the test server's maintenance database.
void maintain(const QString &sql)
{
    const QString connection = QStringLiteral("test-server-maintenance");
    {
        QSqlDatabase db = TPgBackend::addConnection(TestEngines::serverAddress(), connection);
        if (!db.open())
            qFatal("cannot reach the PostgreSQL test server at %s: %s", qPrintable(TestEngines::serverAddress()),
                   qPrintable(db.lastError().text()));
        QSqlQuery q(db);
        if (!q.exec(sql))
            qFatal("test server: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    }
    QSqlDatabase::removeDatabase(connection);
}

} // namespace

TestAlias::TestAlias(const QString &alias) : TestAlias(TestEngines::current(), alias) {}

TestAlias::TestAlias(TEngineKind kind, const QString &alias) : m_kind(kind), m_alias(alias)
{
    if (!m_dir.isValid())
        qFatal("cannot create a temporary folder");
    m_oldConfig = qgetenv(EngineConfig::ConfigEnvVar);
    qputenv(EngineConfig::ConfigEnvVar, configFile().toLocal8Bit());
    TEngineDatabase::closeAll();
    if (m_kind == TEngineKind::PostgreSQL)
        makeServerDatabase();
    EngineConfig::setAlias(m_alias, place());
    TEngineDatabase::createBooks(place());
    m_connection = QStringLiteral("test-fixture:") + m_dir.path();
    QSqlDatabase db;
    if (m_kind == TEngineKind::PostgreSQL) {
        db = TPgBackend::addConnection(m_serverPlace, m_connection);
    } else {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(databaseFile());
    }
    if (!db.open())
        qFatal("cannot open the fixture connection: %s", qPrintable(db.lastError().text()));
}

TestAlias::~TestAlias()
{
    TEngineDatabase::closeAll();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
    if (m_kind == TEngineKind::PostgreSQL)
        dropServerDatabase();
    if (m_oldConfig.isEmpty())
        qunsetenv(EngineConfig::ConfigEnvVar);
    else
        qputenv(EngineConfig::ConfigEnvVar, m_oldConfig);
}

// A database of this alias's own on the test server: named by the process
// and a counter, so that suites running side by side never meet.
void TestAlias::makeServerDatabase()
{
    const QString server = TestEngines::serverAddress();
    if (server.isEmpty())
        qFatal("a PostgreSQL test alias needs the test server: ARDENTRY_TEST_PG is not set");
    static int counter = 0;
    m_serverDatabase = QStringLiteral("ardentry_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    maintain(QStringLiteral("CREATE DATABASE %1").arg(m_serverDatabase));
    QUrl url(server);
    url.setPath(QLatin1Char('/') + m_serverDatabase);
    m_serverPlace = url.toString();
}

// Also when a test left connections behind (a process of its own that is
// still running): they are ended with the database.
void TestAlias::dropServerDatabase()
{
    maintain(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_serverDatabase));
}

QString TestAlias::place() const
{
    return m_kind == TEngineKind::PostgreSQL ? m_serverPlace : folder();
}

QString TestAlias::folder() const
{
    if (m_kind != TEngineKind::SQLite)
        qFatal("TestAlias::folder(): books on a server have no folder; a test that needs one is SQLite only");
    return m_dir.filePath(QStringLiteral("books"));
}

QString TestAlias::databaseFile() const
{
    return EngineConfig::databaseFile(folder());
}

QString TestAlias::configFile() const
{
    return m_dir.filePath(QStringLiteral("engine.ini"));
}

QSqlDatabase TestAlias::fixture() const
{
    return QSqlDatabase::database(m_connection, false);
}

void TestAlias::exec(const QString &sql, const QVariantList &params)
{
    QSqlQuery q(fixture());
    // PostgreSQL prepares only reads and writes of rows, not BEGIN or DDL.
    if (params.isEmpty()) {
        if (!q.exec(sql))
            qFatal("fixture statement fails: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        return;
    }
    if (!q.prepare(sql))
        qFatal("fixture statement does not prepare: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    for (qsizetype i = 0; i < params.size(); ++i)
        q.bindValue(int(i), params.at(i));
    if (!q.exec())
        qFatal("fixture statement fails: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
}

QVariant TestAlias::scalar(const QString &sql, const QVariantList &params)
{
    QSqlQuery q(fixture());
    bool ok = false;
    if (params.isEmpty()) {
        ok = q.exec(sql);
    } else {
        q.prepare(sql);
        for (qsizetype i = 0; i < params.size(); ++i)
            q.bindValue(int(i), params.at(i));
        ok = q.exec();
    }
    if (!ok)
        qFatal("fixture query fails: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return q.next() ? q.value(0) : QVariant();
}
