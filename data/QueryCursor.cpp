#include "QueryCursor.h"

#include "EDatabaseError.h"
#include "EngineCatalog.h"
#include "EngineDatabase.h"
#include "LocalSql.h"
#include "SqlFunctions.h"
#include "SqlReader.h"
#include "TableCursor.h"

#include <algorithm>

namespace {
constexpr int MaxBatch = 4096;
// A count first reads this many rows: a short result (the summary queries'
// one row per account or type) is then counted without running it again.
constexpr int CountProbe = 64;

// The statement without its closing top-level ORDER BY, which cannot change a
// count but keeps SQLite from flattening the counted subquery: it would then
// visit every row instead of walking an index. A statement with a top-level
// LIMIT keeps its order, which decides the rows counted.
QString withoutFinalOrder(const QString &statement)
{
    auto wordAt = [&](qsizetype i, QLatin1String word) {
        const qsizetype end = i + word.size();
        auto isWordChar = [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); };
        return statement.mid(i, word.size()).compare(word, Qt::CaseInsensitive) == 0 &&
               (i == 0 || !isWordChar(statement.at(i - 1))) && (end >= statement.size() || !isWordChar(statement.at(end)));
    };
    int depth = 0;
    QChar quote;
    qsizetype order = -1;
    for (qsizetype i = 0; i < statement.size(); ++i) {
        const QChar c = statement.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('[') || c == QLatin1Char('`')) {
            quote = c == QLatin1Char('[') ? QLatin1Char(']') : c;
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')')) {
            --depth;
        } else if (depth == 0 && wordAt(i, QLatin1String("order"))) {
            order = i;
        } else if (depth == 0 && order >= 0 && wordAt(i, QLatin1String("limit"))) {
            return statement;
        }
    }
    return order < 0 ? statement : statement.left(order);
}
} // namespace

TQueryCursor::TQueryCursor(TEngineDatabase &db, const QString &statement) : m_db(db)
{
    const TLocalSql prepared = TLocalSql::prepare(statement, &EngineCatalog::isDateColumn, db.kind());
    const auto limited = [](QString sql) {
        sql = sql.trimmed();
        while (sql.endsWith(QLatin1Char(';')))
            sql.chop(1);
        return sql + QStringLiteral(" LIMIT ? OFFSET ?");
    };
    m_sql = limited(prepared.sql);
    m_params = prepared.params;
    m_summedColumns = prepared.summedColumns;

    TSqlReader reader(m_db, m_sql, QVariantList(m_params) << 0 << 0);
    // The plain statement is prepared first: that checks it and tells the
    // tables it reads.
    if (!prepared.normalizedSql.isEmpty() && hasOtherDateForms(prepared))
        m_sql = limited(prepared.normalizedSql);
    for (int i = 0; i < reader.columnCount(); ++i) {
        int size = 0;
        const TFieldType type = reader.columnType(i, &size);
        m_columns.append({reader.columnName(i), type, size});
    }
    if (const QList<TRecordData> *kept = m_db.keptResult(m_sql, m_params)) {
        m_rows = *kept;
        m_atEnd = true;
        m_count = int(m_rows.size());
    } else if (const QList<TRecordData> *first = m_db.keptFirstRows(m_sql, m_params, &m_stamp)) {
        m_rows = *first;
    }
}

TQueryCursor::~TQueryCursor() = default;

void TQueryCursor::readBatch(int n)
{
    if (m_rows.isEmpty())
        m_stamp = m_db.readStamp();
    TSqlReader q(m_db, m_sql, QVariantList(m_params) << n << qint64(m_rows.size()));
    int got = 0;
    while (step(q)) {
        TRecordData r;
        readRow(q, r);
        r.recNo = m_rows.size() + 1;
        m_rows << r;
        ++got;
        ++m_rowsRead;
    }
    if (got < n) {
        m_atEnd = true;
        m_count = int(m_rows.size());
        m_db.keepResult(m_sql, m_params, m_stamp, m_rows);
    } else {
        m_db.keepFirstRows(m_sql, m_params, m_stamp, m_rows);
    }
}

bool TQueryCursor::step(TSqlReader &q)
{
    try {
        return q.next();
    } catch (const EDatabaseError &e) {
        if (e.message().startsWith(QLatin1String(SqlFunctions::BadAmountMarker)))
            unfitSum(e.message());
        throw;
    }
}

void TQueryCursor::readRow(const TSqlReader &q, TRecordData &into)
{
    const int ncols = int(m_columns.size());
    into.values.resize(ncols);
    for (int i = 0; i < ncols; ++i)
        if (!q.read(i, m_columns.at(i).type, into.values, i))
            unfitValue(q, i);
}

bool TQueryCursor::nextStreamed(TRecordData &into)
{
    if (m_streamState == StreamState::Idle) {
        m_streamed = 0;
        if (m_atEnd) {
            m_streamState = StreamState::Kept;
        } else {
            QString statement = m_sql;
            statement.chop(int(qstrlen(" LIMIT ? OFFSET ?")));
            m_stream = std::make_unique<TSqlReader>(m_db, statement, m_params);
            m_streamState = StreamState::Running;
        }
    }
    switch (m_streamState) {
    case StreamState::Kept:
        if (m_streamed >= m_rows.size())
            break;
        into = m_rows.at(m_streamed++);
        return true;
    case StreamState::Running:
        try {
            if (step(*m_stream)) {
                readRow(*m_stream, into);
                into.recNo = ++m_streamed;
                return true;
            }
        } catch (...) {
            m_stream.reset();
            m_streamState = StreamState::Done;
            throw;
        }
        break;
    case StreamState::Idle:
    case StreamState::Done:
        break;
    }
    m_stream.reset();
    m_streamState = StreamState::Done;
    return false;
}

// Whether a date column the statement compares or orders by holds a date in
// another form among the rows it can meet: those between the days its
// comparisons leave, when it joins its conditions by AND alone, else all.
bool TQueryCursor::hasOtherDateForms(const TLocalSql &prepared)
{
    for (const QByteArray &name : m_db.tablesRead(m_sql)) {
        const TTableDef *t = EngineCatalog::find(QString::fromUtf8(name));
        if (!t)
            continue;
        for (const TColumnDef &c : t->columns) {
            if (c.type != TFieldType::Date)
                continue;
            QList<TEngineDatabase::TTextRange> ranges;
            if (prepared.conjunctive) {
                if (const auto r = TFilterExpr::rangeOf(prepared.dateComparisons, c.name);
                    r && r->from.isValid() && r->to.isValid()) {
                    if (r->from > r->to)
                        continue;  // no day passes, in any form
                    ranges = TEngineDatabase::textRangesFor(r->from, r->to);
                }
            }
            if (m_db.hasOtherDateForms(*t, c.name, ranges))
                return true;
        }
    }
    return false;
}

// A result column that does not fit its field: named by the table and
// column it comes from, and the first record there that holds such a value.
void TQueryCursor::unfitValue(const TSqlReader &q, int column)
{
    const QString stored = q.storedText(column);
    if (const TTableDef *t = EngineCatalog::find(q.originTable(column))) {
        for (qsizetype c = 0; c < t->columns.size(); ++c) {
            if (t->columns.at(c).name.compare(q.originColumn(column), Qt::CaseInsensitive) != 0)
                continue;
            const QString message = m_db.firstUnfitValueMessage(*t, int(c));
            if (!message.isEmpty())
                throw EDatabaseError(message);
        }
    }
    throw EDatabaseError(QStringLiteral("The field %1 holds %2, which does not fit it")
                             .arg(m_columns.at(column).name, stored));
}

// A sum met a stored value that is not an amount: the statement does not
// say where, so the tables it reads are searched for it.
void TQueryCursor::unfitSum(const QString &engineMessage)
{
    for (const QByteArray &name : m_db.tablesRead(m_sql)) {
        const TTableDef *t = EngineCatalog::find(QString::fromUtf8(name));
        if (!t)
            continue;
        for (const QString &summed : std::as_const(m_summedColumns)) {
            const QString column = summed.section(QLatin1Char('.'), -1).remove(QLatin1Char('"'));
            for (qsizetype c = 0; c < t->columns.size(); ++c) {
                if (t->columns.at(c).name.compare(column, Qt::CaseInsensitive) != 0)
                    continue;
                const QString message = m_db.firstUnfitValueMessage(*t, int(c));
                if (!message.isEmpty())
                    throw EDatabaseError(message);
            }
        }
    }
    throw EDatabaseError(QStringLiteral("A sum met a stored value that is not an amount: %1")
                             .arg(engineMessage.mid(int(qstrlen(SqlFunctions::BadAmountMarker)))));
}

void TQueryCursor::readUpTo(qint64 upTo)
{
    while (!m_atEnd && m_rows.size() < upTo) {
        // The first read takes just what is asked; a reader that keeps going
        // gets growing batches.
        const qint64 need = upTo - m_rows.size();
        m_nextBatch = m_rows.isEmpty() ? int(need) : std::min(std::max(m_nextBatch * 2, 64), MaxBatch);
        readBatch(int(std::max<qint64>(m_nextBatch, need)));
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
    if (m_count < 0)
        readUpTo(CountProbe);
    if (m_count < 0) {
        QString statement = m_sql;
        statement.chop(int(qstrlen(" LIMIT ? OFFSET ?")));
        m_count = m_db.keptCount(QStringLiteral("SELECT COUNT(*) FROM (") + withoutFinalOrder(statement) +
                                     QStringLiteral(") AS counted"),
                                 m_params);
    }
    return m_count;
}
