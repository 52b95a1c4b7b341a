#include "TestAlias.h"

#include "EngineConfig.h"
#include "EngineDatabase.h"

#include <QSqlError>
#include <QSqlQuery>

TestAlias::TestAlias(const QString &alias) : m_alias(alias)
{
    if (!m_dir.isValid())
        qFatal("cannot create a temporary folder");
    m_oldConfig = qgetenv(EngineConfig::ConfigEnvVar);
    qputenv(EngineConfig::ConfigEnvVar, configFile().toLocal8Bit());
    TEngineDatabase::closeAll();
    EngineConfig::setAlias(m_alias, folder());
    TEngineDatabase::createBooks(folder());
    m_connection = QStringLiteral("test-fixture:") + m_dir.path();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(databaseFile());
    if (!db.open())
        qFatal("cannot open the fixture connection");
}

TestAlias::~TestAlias()
{
    TEngineDatabase::closeAll();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
    if (m_oldConfig.isEmpty())
        qunsetenv(EngineConfig::ConfigEnvVar);
    else
        qputenv(EngineConfig::ConfigEnvVar, m_oldConfig);
}

QString TestAlias::folder() const
{
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
    q.prepare(sql);
    for (qsizetype i = 0; i < params.size(); ++i)
        q.bindValue(int(i), params.at(i));
    if (!q.exec())
        qFatal("fixture query fails: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return q.next() ? q.value(0) : QVariant();
}
