#include "QueryCursor.h"

#include "EDatabaseError.h"
#include "EngineCatalog.h"
#include "EngineDatabase.h"
#include "LocalSql.h"
#include "TableCursor.h"

#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>

namespace {
constexpr int MaxBatch = 4096;
}

TQueryCursor::TQueryCursor(TEngineDatabase &db, const QString &statement) : m_db(db)
{
    const TLocalSql prepared = TLocalSql::prepare(statement, &EngineCatalog::isDateColumn);
    m_sql = prepared.sql.trimmed();
    while (m_sql.endsWith(QLatin1Char(';')))
        m_sql.chop(1);
    m_params = prepared.params;

    // The first batch also tells the columns and, where the statement reads
    // a table's column by name, its kind.
    QSqlQuery &q = m_db.prepared(m_sql + QStringLiteral(" LIMIT ? OFFSET ?"));
    m_db.exec(q, QVariantList(m_params) << m_nextBatch << 0);
    const QSqlRecord rec = q.record();
    QStringList names;
    for (int i = 0; i < rec.count(); ++i)
        names << rec.fieldName(i);
    QList<QList<QVariant>> raw;
    while (q.next()) {
        QList<QVariant> row;
        for (int i = 0; i < rec.count(); ++i)
            row << q.value(i);
        raw << row;
    }
    q.finish();
    typeColumns(names, raw.isEmpty() ? QList<QVariant>() : raw.first(), m_sql);
    for (const QList<QVariant> &row : std::as_const(raw)) {
        TRecordData r;
        for (qsizetype i = 0; i < row.size(); ++i)
            r.values << TTableCursor::fromStored(m_columns.at(i).type, row.at(i));
        r.recNo = m_rows.size() + 1;
        m_rows << r;
    }
    m_atEnd = raw.size() < m_nextBatch;
    if (m_atEnd)
        m_count = int(m_rows.size());
}

void TQueryCursor::typeColumns(const QStringList &names, const QList<QVariant> &firstRow, const QString &statement)
{
    static const QRegularExpression fromTable(QStringLiteral("\\bfrom\\s+\"?([A-Za-z_][A-Za-z0-9_]*)"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = fromTable.match(statement);
    const TTableDef *table = m.hasMatch() ? EngineCatalog::find(m.captured(1)) : nullptr;
    for (qsizetype i = 0; i < names.size(); ++i) {
        TCursorColumn c{names.at(i), TFieldType::Float, 0};
        if (const TColumnDef *def = table ? table->column(names.at(i)) : nullptr) {
            c.type = def->type == TFieldType::AutoInc ? TFieldType::Integer : def->type;
            c.size = def->size;
        } else if (i < firstRow.size() && firstRow.at(i).isValid() && !firstRow.at(i).isNull()) {
            const QMetaType t = firstRow.at(i).metaType();
            if (t.id() == QMetaType::LongLong || t.id() == QMetaType::Int)
                c.type = TFieldType::Integer;
            else if (t.id() == QMetaType::QString) {
                c.type = TFieldType::String;
                c.size = 255;
            }
        }
        m_columns << c;
    }
}

void TQueryCursor::readBatch(int n)
{
    QSqlQuery &q = m_db.prepared(m_sql + QStringLiteral(" LIMIT ? OFFSET ?"));
    m_db.exec(q, QVariantList(m_params) << n << qint64(m_rows.size()));
    int got = 0;
    const qsizetype ncols = m_columns.size();
    while (q.next()) {
        TRecordData r;
        r.values.reserve(ncols);
        for (qsizetype i = 0; i < ncols; ++i)
            r.values << TTableCursor::fromStored(m_columns.at(i).type, q.value(int(i)));
        r.recNo = m_rows.size() + 1;
        m_rows << r;
        ++got;
    }
    q.finish();
    if (got < n) {
        m_atEnd = true;
        m_count = int(m_rows.size());
    }
}

void TQueryCursor::readUpTo(qint64 upTo)
{
    while (!m_atEnd && m_rows.size() < upTo) {
        m_nextBatch = std::min(m_nextBatch * 2, MaxBatch);
        readBatch(int(std::max<qint64>(m_nextBatch, upTo - m_rows.size())));
    }
}

QList<TRecordData> TQueryCursor::slice(qint64 fromNo, int n)
{
    if (n <= 0 || fromNo < 1)
        return {};
    readUpTo(fromNo + n - 1);
    if (fromNo > m_rows.size())
        return {};
    return m_rows.mid(fromNo - 1, n);
}

QList<TRecordData> TQueryCursor::first(int n, int skip)
{
    return slice(qint64(skip) + 1, n);
}

QList<TRecordData> TQueryCursor::last(int n)
{
    const int total = count();
    const qint64 from = std::max<qint64>(1, total - n + 1);
    return slice(from, int(total - from + 1));
}

QList<TRecordData> TQueryCursor::after(const TRecordData &r, int n, int skip)
{
    return slice(r.recNo + skip + 1, n);
}

QList<TRecordData> TQueryCursor::before(const TRecordData &r, int n, int skip)
{
    const qint64 end = r.recNo - skip - 1;  // last number wanted
    if (end < 1)
        return {};
    const qint64 from = std::max<qint64>(1, end - n + 1);
    return slice(from, int(end - from + 1));
}

int TQueryCursor::count()
{
    if (m_count < 0) {
        QSqlQuery q = m_db.run(QStringLiteral("SELECT COUNT(*) FROM (") + m_sql + QStringLiteral(") AS counted"),
                               m_params);
        m_count = q.next() ? q.value(0).toInt() : 0;
    }
    return m_count;
}
