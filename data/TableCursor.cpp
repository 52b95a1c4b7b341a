#include "TableCursor.h"

#include "EDatabaseError.h"
#include "EngineDatabase.h"
#include "SqlReader.h"
#include "StoredDate.h"

#include <QDate>
#include <QSqlQuery>
#include <QVarLengthArray>
#include <algorithm>

namespace {

// A walk that keeps going reads ahead in batches that grow this much each
// time, up to the most: every batch is a statement of its own, and starting
// one (the file lock, the check for a journal left by a crash) costs as much
// as reading dozens of records.
constexpr int ReadAheadGrowth = 8;
constexpr int MaxReadAhead = 4096;

using EngineCatalog::quoted;

void numberFrom(QList<TRecordData> &rows, qint64 firstNo)
{
    if (firstNo <= 0)
        return;
    for (qsizetype i = 0; i < rows.size(); ++i)
        rows[i].recNo = firstNo + i;
}

} // namespace

TTableCursor::TTableCursor(TEngineDatabase &db, const TTableDef &table) : m_db(db), m_table(table)
{
    QStringList cols;
    for (qsizetype i = 0; i < table.columns.size(); ++i) {
        const TColumnDef &c = table.columns.at(i);
        m_columns.append({c.name, c.type, c.size});
        cols << quoted(c.name);
        if (c.name.compare(table.orderColumn, Qt::CaseInsensitive) == 0)
            m_orderColumn = int(i);
    }
    m_selectList = cols.join(QStringLiteral(", "));
    m_from = QStringLiteral(" FROM ") + quoted(table.name);
    m_byDate = m_columns.at(m_orderColumn).type == TFieldType::Date;
    const QString id = quoted(table.identityColumn());
    const auto orderBy = [&id](const QString &ord) {
        OrderSql o;
        o.ord = ord;
        o.asc = ord + QStringLiteral(", ") + id;
        o.desc = ord + QStringLiteral(" DESC, ") + id + QStringLiteral(" DESC");
        o.after = QStringLiteral("(%1, %2) > (?, ?)").arg(ord, id);
        o.before = QStringLiteral("(%1, %2) < (?, ?)").arg(ord, id);
        return o;
    };
    if (simpleOrder()) {
        m_plain.ord = id;
        m_plain.asc = id;
        m_plain.desc = id + QStringLiteral(" DESC");
        m_plain.after = id + QStringLiteral(" > ?");
        m_plain.before = id + QStringLiteral(" < ?");
    } else {
        m_plain = orderBy(quoted(table.orderColumn));
        m_byDay = orderBy(QStringLiteral("ard_day(%1)").arg(quoted(table.orderColumn)));
    }
    setFilter(TFilterExpr());
}

void TTableCursor::setFilter(const TFilterExpr &filter)
{
    m_filter = filter;
    m_lookups.clear();
    m_ahead = Ahead();
    m_noDays = false;
    m_dateRanges.clear();
    m_prefilter.clear();
    m_prefilterParams.clear();
    if (!m_byDate)
        return;
    if (const std::optional<TFilterExpr::DateRange> r = m_filter.dateRange(m_table.orderColumn);
        r && r->from.isValid() && r->to.isValid()) {
        if (r->from > r->to) {
            m_noDays = true;  // nothing passes, in any form
            return;
        }
        m_dateRanges = TEngineDatabase::textRangesFor(r->from, r->to);
    }
    // Read by the day, the filter still starts from the index: every record
    // that can pass stands in one of the stretches of text.
    QStringList parts;
    const QString c = quoted(m_table.orderColumn);
    for (const TEngineDatabase::TTextRange &t : std::as_const(m_dateRanges)) {
        parts << QStringLiteral("%1 >= ? AND %1 < ?").arg(c);
        m_prefilterParams << t.from << t.to;
    }
    if (!parts.isEmpty())
        m_prefilter = QLatin1Char('(') + parts.join(QStringLiteral(" OR ")) + QLatin1Char(')');
}

// Reads the plain column unless the rows this filter can meet hold a date in
// another form; a walk that goes on is not asked again.
void TTableCursor::chooseReading()
{
    m_readByDay = m_byDate && !m_noDays && m_db.hasOtherDateForms(m_table, m_table.orderColumn, m_dateRanges);
}

QVariant TTableCursor::orderValue(const TRecordData &r) const
{
    return toStored(m_columns.at(m_orderColumn).type, r.values.at(m_orderColumn));
}

QVariant TTableCursor::toStored(TFieldType type, const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return QVariant();
    switch (type) {
    case TFieldType::Date: {
        // Only the program's own form is ever written: what it reads back
        // then orders and filters by the index (hasOtherDateForms).
        const QDate d = v.toDate();
        if (!StoredDate::isStorable(d))
            throw EDatabaseError(QStringLiteral("'%1' is not a valid date").arg(v.toString()));
        return StoredDate::canonical(d);
    }
    case TFieldType::Float:
        return v.toDouble();
    case TFieldType::Integer:
    case TFieldType::AutoInc:
        return v.toInt();
    case TFieldType::String:
        return v.toString();
    }
    return v;
}

QVariant TTableCursor::fromStored(TFieldType type, const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return QVariant();
    switch (type) {
    case TFieldType::Date: {
        const QDate d = StoredDate::day(v.toString());
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case TFieldType::Float:
        return v.toDouble();
    case TFieldType::Integer:
    case TFieldType::AutoInc:
        return v.toInt();
    case TFieldType::String:
        return v.toString();
    }
    return v;
}


// The position condition comes before the filter: SQLite then starts its
// index search at the position rather than at the start of the filtered
// range, which keeps a walk through a year as cheap as one select.
QString TTableCursor::where(const QString &condition) const
{
    QStringList parts;
    if (!condition.isEmpty())
        parts << condition;
    if (!m_filter.isEmpty())
        parts << (m_readByDay ? m_filter.normalizedSql() : m_filter.sql());
    if (m_readByDay && !m_prefilter.isEmpty())
        parts << m_prefilter;
    return parts.isEmpty() ? QString() : QStringLiteral(" WHERE ") + parts.join(QStringLiteral(" AND "));
}

QVariantList TTableCursor::withFilter(const QVariantList &params) const
{
    QVariantList all = params + m_filter.params();
    if (m_readByDay)
        all += m_prefilterParams;
    return all;
}

QList<TRecordData> TTableCursor::select(const QString &condition, const QVariantList &params, bool descending,
                                        int n, int skip, quint64 wanted)
{
    QList<TRecordData> out;
    if (n <= 0)
        return out;
    const int ncols = int(m_columns.size());
    // Which columns this read brings, in column order.
    QVarLengthArray<bool, 16> read(ncols);
    QString selectList = m_selectList;
    if (ncols <= 64 && wanted != AllColumns) {
        QStringList cols;
        for (int i = 0; i < ncols; ++i) {
            read[i] = i == identityColumn() || i == m_orderColumn || (wanted >> i & 1) != 0;
            if (read[i])
                cols << quoted(m_columns.at(i).name);
        }
        selectList = cols.join(QStringLiteral(", "));
    } else {
        std::fill(read.begin(), read.end(), true);
    }
    const QString sql = QStringLiteral("SELECT ") + selectList + m_from + where(condition) +
                        QStringLiteral(" ORDER BY ") + (descending ? order().desc : order().asc) +
                        QStringLiteral(" LIMIT ? OFFSET ?") + (m_lockRows ? m_db.lockingClause() : QString());
    TSqlReader q(m_db, sql, withFilter(params) << n << std::max(skip, 0));
    out.reserve(n);
    while (q.next()) {
        TRecordData r;
        r.values.resize(ncols);
        r.identity = q.toInt64(0);
        for (int i = 0, c = 0; i < ncols; ++i) {
            if (!read[i]) {
                r.values.setUnread(i);
                continue;
            }
            // A value that does not fit its field is never read as null
            // or cut: the record cannot be read, and the message says where.
            if (!q.read(c, m_columns.at(i).type, r.values, i))
                throw EDatabaseError(m_db.badValueMessage(m_table, i, r.identity, q.storedText(c)));
            ++c;
        }
        out.append(std::move(r));
        ++m_rowsRead;
    }
    if (descending)
        std::reverse(out.begin(), out.end());
    return out;
}

int TTableCursor::countWhere(const QString &condition, const QVariantList &params)
{
    TSqlReader q(m_db, QStringLiteral("SELECT COUNT(*)") + m_from + where(condition), withFilter(params));
    const int n = q.next() ? int(q.toInt64(0)) : 0;
    return n;
}

QList<TRecordData> TTableCursor::first(int n, int skip)
{
    chooseReading();
    QList<TRecordData> rows;
    if (simpleOrder()) {
        rows = select(QString(), {}, false, n, skip);
    } else {
        const QString ord = order().ord;
        rows = select(ord + QStringLiteral(" IS NULL"), {}, false, n, skip);
        if (rows.size() < n) {
            const int nullsSkipped = skip > 0 ? std::min(skip, countWhere(ord + QStringLiteral(" IS NULL"), {})) : 0;
            rows += select(ord + QStringLiteral(" IS NOT NULL"), {}, false, n - int(rows.size()), skip - nullsSkipped);
        }
    }
    numberFrom(rows, qint64(skip) + 1);
    return rows;
}

QList<TRecordData> TTableCursor::last(int n)
{
    chooseReading();
    QList<TRecordData> rows;
    if (simpleOrder()) {
        rows = select(QString(), {}, true, n, 0);
    } else {
        const QString ord = order().ord;
        rows = select(ord + QStringLiteral(" IS NOT NULL"), {}, true, n, 0);
        if (rows.size() < n)
            rows = select(ord + QStringLiteral(" IS NULL"), {}, true, n - int(rows.size()), 0) + rows;
    }
    if (!rows.isEmpty())
        numberFrom(rows, qint64(count()) - rows.size() + 1);
    return rows;
}

// Whether a request for the records next to r goes on from where the last
// one stopped, in the same direction, with nothing written since.
bool TTableCursor::continuesWalk(bool forward, const TRecordData &r) const
{
    const Ahead &a = m_ahead;
    return a.generation == m_db.generation() && a.forward == forward && a.anchor == r.identity && r.identity != 0;
}

QList<TRecordData> TTableCursor::plainAfter(const TRecordData &r, int n, int skip, quint64 wanted)
{
    QList<TRecordData> rows;
    const QString ord = order().ord;
    if (simpleOrder()) {
        rows = select(order().after, {r.identity}, false, n, skip, wanted);
    } else if (r.values.isNull(m_orderColumn)) {
        const QString nullAfter =
            ord + QStringLiteral(" IS NULL AND ") + quoted(m_table.identityColumn()) + QStringLiteral(" > ?");
        rows = select(nullAfter, {r.identity}, false, n, skip, wanted);
        if (rows.size() < n) {
            const int skipped = skip > 0 ? std::min(skip, countWhere(nullAfter, {r.identity})) : 0;
            rows += select(ord + QStringLiteral(" IS NOT NULL"), {}, false, n - int(rows.size()), skip - skipped, wanted);
        }
    } else {
        rows = select(order().after, {orderValue(r), r.identity}, false, n, skip, wanted);
    }
    numberFrom(rows, r.recNo > 0 ? r.recNo + skip + 1 : 0);
    return rows;
}

QList<TRecordData> TTableCursor::plainBefore(const TRecordData &r, int n, int skip, quint64 wanted)
{
    QList<TRecordData> rows;
    const QString ord = order().ord;
    const QString id = quoted(m_table.identityColumn());
    if (simpleOrder()) {
        rows = select(order().before, {r.identity}, true, n, skip, wanted);
    } else if (r.values.isNull(m_orderColumn)) {
        rows = select(ord + QStringLiteral(" IS NULL AND ") + id + QStringLiteral(" < ?"), {r.identity}, true, n, skip, wanted);
    } else {
        rows = select(order().before, {orderValue(r), r.identity}, true, n, skip, wanted);
        if (rows.size() < n) {
            const int skipped = skip > 0 ? std::min(skip, countWhere(order().before, {orderValue(r), r.identity})) : 0;
            rows = select(ord + QStringLiteral(" IS NULL"), {}, true, n - int(rows.size()), skip - skipped, wanted) + rows;
        }
    }
    if (r.recNo > 0)
        numberFrom(rows, r.recNo - skip - rows.size());
    return rows;
}

// Hands out the n records next to r in the walking direction. When r is where
// the previous call stopped, the walk goes on from what was read ahead, and
// the next read fetches twice as many as the last one; any other request
// starts afresh and reads just what it asks for.
QList<TRecordData> TTableCursor::walk(bool forward, const TRecordData &r, int n)
{
    Ahead &a = m_ahead;
    if (!continuesWalk(forward, r)) {
        // A new walk: learn afresh which columns its records are read for.
        m_usedColumns = 0;
        a.forward = forward;
        a.records.clear();
        a.pos = 0;
        a.nextBatch = n;
        a.generation = m_db.generation();
        QList<TRecordData> rows = forward ? plainAfter(r, n, 0) : plainBefore(r, n, 0);
        a.anchor = rows.isEmpty() ? 0 : (forward ? rows.last().identity : rows.first().identity);
        return rows;
    }
    if (a.records.size() - a.pos < n) {
        const int batch = std::min(std::max(n, a.nextBatch * ReadAheadGrowth), MaxReadAhead);
        a.nextBatch = batch;
        const TRecordData from = a.pos < a.records.size() ? a.records.last() : r;
        QList<TRecordData> more =
            forward ? plainAfter(from, batch, 0, m_usedColumns) : plainBefore(from, batch, 0, m_usedColumns);
        if (!forward)
            std::reverse(more.begin(), more.end());
        if (a.pos < a.records.size()) {
            a.records.remove(0, a.pos);
            a.records.append(std::move(more));
        } else {
            a.records = std::move(more);
        }
        a.pos = 0;
    }
    const qsizetype take = std::min<qsizetype>(n, a.records.size() - a.pos);
    QList<TRecordData> rows;
    rows.reserve(take);
    for (qsizetype i = 0; i < take; ++i)
        rows.append(std::move(a.records[a.pos + i]));
    a.pos += take;
    a.anchor = rows.isEmpty() ? 0 : rows.last().identity;
    if (!forward)
        std::reverse(rows.begin(), rows.end());
    return rows;
}

QList<TRecordData> TTableCursor::after(const TRecordData &r, int n, int skip)
{
    chooseReading();
    return skip == 0 ? walk(true, r, n) : plainAfter(r, n, skip);
}

bool TTableCursor::afterOne(const TRecordData &r, TRecordData &into)
{
    Ahead &a = m_ahead;
    if (continuesWalk(true, r) && a.pos < a.records.size()) {
        into = std::move(a.records[a.pos++]);
        a.anchor = into.identity;
        return true;
    }
    return TCursor::afterOne(r, into);  // after() chooses how to read
}

QList<TRecordData> TTableCursor::before(const TRecordData &r, int n, int skip)
{
    chooseReading();
    return skip == 0 ? walk(false, r, n) : plainBefore(r, n, skip);
}

int TTableCursor::count()
{
    chooseReading();
    // Counting a year costs as much as reading a tenth of it, and the same
    // periods come back: the engine keeps the count while the table is as
    // it was, whoever changes it.
    return m_db.keptCount(QStringLiteral("SELECT COUNT(*)") + m_from + where(QString()), withFilter({}));
}

void TTableCursor::complete(TRecordData &r)
{
    if (r.values.isComplete())
        return;
    // What was read ahead lacks the column now wanted as well: drop it, so
    // that the walk reads on with that column.
    if (m_ahead.pos < m_ahead.records.size())
        m_ahead.records.resize(m_ahead.pos);
    const std::optional<TRecordData> full = byIdentity(r.identity, false);
    for (int i = 0; i < r.values.size(); ++i) {
        if (!r.values.isUnread(i))
            continue;
        if (full)
            r.values.set(i, full->values.at(i));
        else
            r.values.setNull(i);  // deleted meanwhile
    }
}

int TTableCursor::recordNumber(const TRecordData &r)
{
    chooseReading();
    const QString ord = order().ord;
    const QString id = quoted(m_table.identityColumn());
    if (simpleOrder())
        return countWhere(order().before, {r.identity}) + 1;
    if (r.values.isNull(m_orderColumn))
        return countWhere(ord + QStringLiteral(" IS NULL AND ") + id + QStringLiteral(" < ?"), {r.identity}) + 1;
    return countWhere(QStringLiteral("(%1 IS NULL OR %2)").arg(ord, order().before), {orderValue(r), r.identity}) + 1;
}

std::optional<TRecordData> TTableCursor::byIdentity(qint64 identity, bool throughFilter)
{
    chooseReading();
    const QString cond = quoted(m_table.identityColumn()) + QStringLiteral(" = ?");
    QList<TRecordData> rows;
    if (throughFilter) {
        rows = select(cond, {identity}, false, 1, 0);
    } else {
        const TFilterExpr saved = m_filter;
        m_filter = TFilterExpr();
        rows = select(cond, {identity}, false, 1, 0);
        m_filter = saved;
    }
    if (rows.isEmpty())
        return std::nullopt;
    return rows.first();
}

std::optional<TRecordData> TTableCursor::locate(int column, const QVariant &value, bool prefix)
{
    chooseReading();
    const TCursorColumn &c = m_columns.at(column);
    QList<TRecordData> rows;
    if (prefix) {
        // Prefix ignoring case: both sides lowered by the engine, by Unicode's
        // rules, and the prefix measured in characters.
        const QString text = value.toString();
        rows = select(QStringLiteral("substr(lower(%1), 1, length(lower(CAST(? AS TEXT)))) = lower(CAST(? AS TEXT))")
                          .arg(quoted(c.name)),
                      {text, text}, false, 1, 0);
    } else if (!value.isValid() || value.isNull()) {
        rows = select(quoted(c.name) + QStringLiteral(" IS NULL"), {}, false, 1, 0);
    } else {
        rows = select(quoted(c.name) + QStringLiteral(" = ?"), {toStored(c.type, value)}, false, 1, 0);
    }
    if (rows.isEmpty())
        return std::nullopt;
    return rows.first();
}

QVariant TTableCursor::lookup(int keyColumn, const QVariant &key, int resultColumn)
{
    chooseReading();
    if (!key.isValid() || key.isNull())
        return QVariant();
    const TCursorColumn &k = m_columns.at(keyColumn);
    const TCursorColumn &res = m_columns.at(resultColumn);
    const QString sql = QStringLiteral("SELECT ") + quoted(res.name) + m_from +
                        where(quoted(k.name) + QStringLiteral(" = ?")) + QStringLiteral(" ORDER BY ") + order().asc +
                        QStringLiteral(" LIMIT 1");
    const QVariant stored = toStored(k.type, key);
    // A grid shows a name looked up on every row it paints: on a server a
    // statement each. What was looked up is kept while the table stays
    // unchanged.
    const QString cacheKey = QString::number(keyColumn) + QLatin1Char(':') + QString::number(resultColumn) +
                             QLatin1Char(':') + stored.toString();
    if (!m_lookups.isEmpty() && m_db.unchangedSince(sql, m_lookupStamp)) {
        if (auto it = m_lookups.constFind(cacheKey); it != m_lookups.cend())
            return *it;
    } else {
        m_lookups.clear();
    }
    if (m_lookups.isEmpty())
        m_lookupStamp = m_db.readStamp();
    TSqlReader q(m_db, sql, withFilter({stored}));
    QVariant v;
    if (q.next())
        v = q.value(0, res.type);
    if (m_lookups.size() >= MaxLookups)
        m_lookups.clear();
    m_lookups.insert(cacheKey, v);
    return v;
}

qint64 TTableCursor::insert(const TRecordValues &values)
{
    QStringList cols, marks;
    QVariantList params;
    for (qsizetype i = 1; i < m_columns.size(); ++i) {
        cols << quoted(m_columns.at(i).name);
        marks << QStringLiteral("?");
        params << toStored(m_columns.at(i).type, values.value(i));
    }
    return m_db.insert(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                           .arg(quoted(m_table.name), cols.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
                       params, m_table.identityColumn());
}

namespace {

// Runs a change in a transaction of its own that takes the write lock first,
// so that nobody writes between the check of the stored record and the
// change; inside the caller's transaction (a transfer) it runs in that one.
template <typename Change>
void underWriteLock(TEngineDatabase &db, Change change)
{
    if (db.inTransaction()) {
        change();
        return;
    }
    db.startTransaction();
    try {
        change();
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
}

} // namespace

// Raises EUpdateConflict unless the record is stored as it was read.
void TTableCursor::checkUnchanged(qint64 identity, const TRecordValues &read, bool deleting)
{
    // Read under a lock: nobody changes the record between this check and
    // the change.
    m_lockRows = true;
    std::optional<TRecordData> stored;
    try {
        stored = byIdentity(identity, false);
    } catch (...) {
        m_lockRows = false;
        throw;
    }
    m_lockRows = false;
    if (!stored)
        throw EUpdateConflict(deleting ? QStringLiteral("Another user has already deleted this record")
                                       : QStringLiteral("Another user has deleted this record: your change was not stored"),
                              true);
    for (int i = 0; i < int(m_columns.size()); ++i)
        if (!stored->values.sameValue(i, read))
            throw EUpdateConflict(
                deleting ? QStringLiteral("Another user has changed this record since it was read: it was not deleted, "
                                          "and it now shows their change")
                         : QStringLiteral("Another user has changed this record since it was read: your change was not "
                                          "stored, and the record now shows their change"),
                false);
}

void TTableCursor::update(qint64 identity, const TRecordValues &values, const TRecordValues &read)
{
    Q_ASSERT(read.isComplete());
    QStringList sets;
    QVariantList params;
    TRecordValues complete = values;
    for (qsizetype i = 1; i < m_columns.size(); ++i) {
        // A value left unread is the value read (Edit reads every column).
        if (complete.isUnread(int(i)))
            complete.set(int(i), read.at(int(i)));
        if (complete.sameValue(int(i), read))
            continue;
        sets << quoted(m_columns.at(i).name) + QStringLiteral(" = ?");
        params << toStored(m_columns.at(i).type, complete.value(int(i)));
    }
    params << identity;
    underWriteLock(m_db, [&] {
        checkUnchanged(identity, read, false);
        if (sets.isEmpty())
            return;
        m_db.change(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                        .arg(quoted(m_table.name), sets.join(QStringLiteral(", ")), quoted(m_table.identityColumn())),
                    params);
    });
}

void TTableCursor::remove(qint64 identity, const TRecordValues &read)
{
    underWriteLock(m_db, [&] {
        checkUnchanged(identity, read, true);
        m_db.change(
            QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(quoted(m_table.name), quoted(m_table.identityColumn())),
            {identity});
    });
}
