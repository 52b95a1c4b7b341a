#include "TestServerDb.h"

#include "PgBackend.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace {

QString serverUri()
{
    return qEnvironmentVariable("ARDENTRY_TEST_PG");
}

// Runs one statement on the server's maintenance database, through a
// connection of its own that is gone afterwards. Returns the error text.
QString onServer(const QString &sql)
{
    static int used = 0;
    const QString connection = QStringLiteral("tst-server-admin-%1").arg(++used);
    QString error;
    {
        QSqlDatabase db = TPgBackend::addConnection(serverUri(), connection);
        if (!db.open()) {
            error = db.lastError().text();
        } else {
            QSqlQuery q(db);
            if (!q.exec(sql))
                error = q.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return error;
}

}  // namespace

bool TestServerDb::serverGiven()
{
    return !serverUri().isEmpty();
}

TestServerDb::TestServerDb()
{
    if (!serverGiven()) {
        m_error = QString::fromLatin1(SkipReason);
        return;
    }
    static int made = 0;
    QString program;
    for (const QChar c : QCoreApplication::applicationName().toLower())
        if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || c.isDigit())
            program += c;
    m_name = QStringLiteral("ard_%1_%2_%3")
                 .arg(program)
                 .arg(QCoreApplication::applicationPid())
                 .arg(++made);
    m_error = onServer(QStringLiteral("CREATE DATABASE %1").arg(m_name));
    if (!m_error.isEmpty())
        return;
    QUrl url(serverUri());
    url.setPath(QLatin1Char('/') + m_name);
    m_uri = url.toString();
}

TestServerDb::~TestServerDb()
{
    if (!m_uri.isEmpty())
        onServer(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name));
}
