#pragma once

#include <QStringList>
#include <QVariantList>
#include <initializer_list>

class QSqlQuery;
class TEngineDatabase;
struct TTableDef;

// Writes records of one table through statements of the engine that are
// prepared once; every value is bound, never spliced into the SQL text.
// Records are gathered into statements of several rows each: a bulk load
// then pays for a statement (and on a server for a round trip) once per
// batch, not once per record. The caller ends with finish(), which writes
// what is left. Errors name the table: "Cannot write to Sales.DB: ...".
class TTableInserter
{
    Q_DISABLE_COPY(TTableInserter)

public:
    // Rows per statement for a bulk load on this kind of books: SQLite
    // gains little past a few dozen and limits the bound values; a server
    // pays a round trip per statement, so it takes a few hundred.
    static int bulkRows(const TEngineDatabase &db);

    TTableInserter(TEngineDatabase &db, const TTableDef &table, const QStringList &columns, int batchRows = 1);
    ~TTableInserter();

    // Values in the order of the columns given to the constructor.
    void add(std::initializer_list<QVariant> values);
    void add(const QVariantList &values);
    void finish();

    qint64 written() const { return m_written; }

private:
    void write(int rows);
    QString statement(int rows) const;

    TEngineDatabase &m_db;
    const TTableDef &m_table;
    const QStringList m_columns;
    const int m_batchRows;
    QVariantList m_pending;
    QSqlQuery *m_batch = nullptr;  // kept by the engine (SQLite)
    qint64 m_written = 0;
};
