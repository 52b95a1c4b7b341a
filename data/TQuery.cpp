#include "TQuery.h"

#include "EDatabaseError.h"
#include "EngineDatabase.h"
#include "QueryCursor.h"

TQuery::TQuery(QObject *owner) : TDataSet(owner) {}

void TQuery::setSQL(const QString &sql)
{
    if (sql == m_sql)
        return;
    Close();
    m_sql = sql;
}

std::unique_ptr<TCursor> TQuery::openCursor()
{
    if (m_sql.trimmed().isEmpty())
        throw EDatabaseError(QStringLiteral("%1: No SQL statement available").arg(Name()));
    return std::make_unique<TQueryCursor>(TEngineDatabase::forAlias(m_databaseName), m_sql);
}
