#pragma once

#include "FilterExpr.h"
#include "TDataSet.h"

class TTableCursor;
struct TTableDef;

// A table of a database alias, opened by its file name ("Sales.DB") and
// read in the table's order. A filter restricts it in the engine; its text
// is read, dates included, the moment it is set.
class TTable : public TDataSet
{
    Q_OBJECT

public:
    explicit TTable(QObject *owner = nullptr);

    const QString &DatabaseName() const { return m_databaseName; }
    void setDatabaseName(const QString &alias) { m_databaseName = alias; }
    const QString &TableName() const { return m_tableName; }
    void setTableName(const QString &name) { m_tableName = name; }

    const QString &Filter() const { return m_filterText; }
    // Settles a pending change, then reads the text when it differs from the
    // current one (throws when it does not read; the old filter stays). A
    // filtered open table goes to its first record.
    void setFilter(const QString &text);
    bool Filtered() const { return m_filtered; }
    // The condition the table's reads go through now: the filter while
    // Filtered, else none.
    TFilterExpr ActiveFilter() const { return m_filtered ? m_filter : TFilterExpr(); }
    // Settles a pending change, switches the filter and goes to the first
    // record.
    void setFiltered(bool filtered);

protected:
    std::unique_ptr<TCursor> openCursor() override;
    bool readsOnOpen() const override { return false; }
    void closeCursor() override { m_tableCursor = nullptr; }
    TRecordData writeRecord(const TRecordData &record, const TRecordData *read) override;
    void deleteRecord(const TRecordData &record) override;
    std::optional<TRecordData> reread(const TRecordData &record) override;
    std::optional<TRecordData> locateRecord(int column, const QVariant &value, bool prefix) override;
    QVariant lookupValue(int keyColumn, const QVariant &key, int resultColumn) override;

private:
    const TTableDef &tableDef() const;
    TFilterExpr parseFilter(const QString &text) const;

    QString m_databaseName;
    QString m_tableName;
    QString m_filterText;
    TFilterExpr m_filter;
    bool m_filtered = false;
    TTableCursor *m_tableCursor = nullptr;
};
