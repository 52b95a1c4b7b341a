#pragma once

#include "TDataSet.h"

// The read-only result of one local SQL statement on a database alias. Its
// records cannot be changed: every change raises
// "<name>: Cannot modify a read-only dataset".
class TQuery : public TDataSet
{
    Q_OBJECT

public:
    explicit TQuery(QObject *owner = nullptr);

    const QString &DatabaseName() const { return m_databaseName; }
    void setDatabaseName(const QString &alias) { m_databaseName = alias; }
    const QString &SQL() const { return m_sql; }
    // Replacing the statement closes the query.
    void setSQL(const QString &sql);

protected:
    std::unique_ptr<TCursor> openCursor() override;

private:
    QString m_databaseName;
    QString m_sql;
};
