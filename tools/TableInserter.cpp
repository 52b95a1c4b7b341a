#include "TableInserter.h"

#include "EDatabaseError.h"
#include "EngineCatalog.h"
#include "EngineDatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <exception>

int TTableInserter::bulkRows(const TEngineDatabase &db)
{
    return db.kind() == TEngineKind::PostgreSQL ? 256 : 64;
}

TTableInserter::TTableInserter(TEngineDatabase &db, const TTableDef &table, const QStringList &columns, int batchRows)
    : m_db(db), m_table(table), m_columns(columns), m_batchRows(batchRows)
{
    Q_ASSERT(batchRows >= 1);
    m_pending.reserve(qsizetype(batchRows) * columns.size());
}

TTableInserter::~TTableInserter()
{
    Q_ASSERT(m_pending.isEmpty() || std::uncaught_exceptions() > 0);
}

void TTableInserter::add(std::initializer_list<QVariant> values)
{
    Q_ASSERT(qsizetype(values.size()) == m_columns.size());
    m_pending.append(values);
    if (m_pending.size() == qsizetype(m_batchRows) * m_columns.size())
        write(m_batchRows);
}

void TTableInserter::add(const QVariantList &values)
{
    Q_ASSERT(values.size() == m_columns.size());
    m_pending.append(values);
    if (m_pending.size() == qsizetype(m_batchRows) * m_columns.size())
        write(m_batchRows);
}

void TTableInserter::finish()
{
    if (!m_pending.isEmpty())
        write(int(m_pending.size() / m_columns.size()));
}

// Writes the first rows of the pending values in one statement: a whole
// batch, or what finish() found left.
void TTableInserter::write(int rows)
{
    const qsizetype count = qsizetype(rows) * m_columns.size();
    try {
        if (m_db.kind() == TEngineKind::PostgreSQL) {
            // The engine keeps the statement prepared on the server and
            // sends the values as text, exactly.
            m_db.change(statement(rows), m_pending.mid(0, count));
        } else {
            if (rows == m_batchRows && !m_batch)
                m_batch = &m_db.prepared(statement(rows));
            QSqlQuery &q = rows == m_batchRows ? *m_batch : m_db.prepared(statement(rows));
            for (qsizetype i = 0; i < count; ++i)
                q.bindValue(int(i), m_pending.at(i));
            if (!q.exec())
                throw EDatabaseError(TEngineDatabase::messageFor(q.lastError()));
        }
    } catch (const EDatabaseError &e) {
        m_pending.clear();
        throw EDatabaseError(QStringLiteral("Cannot write to %1: %2").arg(m_table.fileName, e.message()));
    }
    m_pending.remove(0, count);
    m_written += rows;
}

QString TTableInserter::statement(int rows) const
{
    QStringList names;
    QStringList marks;
    for (const QString &c : m_columns) {
        const TColumnDef *def = m_table.column(c);
        Q_ASSERT(def);
        names << EngineCatalog::quoted(def->name);
        marks << QStringLiteral("?");
    }
    const QString row = QLatin1Char('(') + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
    return QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
        .arg(EngineCatalog::quoted(m_table.name), names.join(QStringLiteral(", ")),
             QStringList(rows, row).join(QStringLiteral(", ")));
}
