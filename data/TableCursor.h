#pragma once

#include "Cursor.h"
#include "EngineCatalog.h"
#include "EngineDatabase.h"
#include "FilterExpr.h"

#include <QHash>
#include <optional>

class TEngineDatabase;

// A cursor over one table, positioned by key: a record is found again by its
// reading-order value and identity, so moving one record costs one small
// indexed read however large the table is. Records whose order value is null
// come first, as they sort in SQL. A filter restricts every read in SQL.
//
// A date order is by the day each stored value names. Where the rows a read
// can meet hold only the program's own form of a date, that is the stored
// column's order and its index; where another program stored other forms,
// reads order, compare and position by ard_day() instead, so every walk
// still visits each record once and ends (TEngineDatabase::hasOtherDateForms).
//
// Walking forward (or backward) record by record reads ahead in growing
// batches, so a long walk costs about what one plain ordered select does,
// while a single step still reads a single record. What it reads ahead holds
// only the columns looked at since the walk began (a sum through a year
// needs one), and the rest of a record is read when somebody wants it.
class TTableCursor : public TCursor
{
public:
    TTableCursor(TEngineDatabase &db, const TTableDef &table);

    const QList<TCursorColumn> &columns() const override { return m_columns; }
    bool canModify() const override { return true; }

    QList<TRecordData> first(int n, int skip = 0) override;
    QList<TRecordData> last(int n) override;
    QList<TRecordData> after(const TRecordData &r, int n, int skip = 0) override;
    bool afterOne(const TRecordData &r, TRecordData &into) override;
    QList<TRecordData> before(const TRecordData &r, int n, int skip = 0) override;
    int count() override;
    int recordNumber(const TRecordData &r) override;
    void complete(TRecordData &r) override;

    const TTableDef &table() const { return m_table; }
    TEngineDatabase &database() const { return m_db; }

    // Replaces the filter; an empty expression reads every record.
    void setFilter(const TFilterExpr &filter);

    // The record with this identity, when it exists (and passes the filter,
    // when `throughFilter`).
    std::optional<TRecordData> byIdentity(qint64 identity, bool throughFilter);
    // The first record in reading order whose column equals value, or, with
    // `prefix`, whose text starts with value without regard to case.
    std::optional<TRecordData> locate(int column, const QVariant &value, bool prefix);
    // The value of resultColumn in the first record whose keyColumn equals
    // key, without moving anything. Null when none matches.
    QVariant lookup(int keyColumn, const QVariant &key, int resultColumn);

    // Writes. values are in column order; the identity column is ignored.
    // insert returns the identity the engine assigned.
    qint64 insert(const TRecordValues &values);
    // A change or a deletion is made only if the record is still stored as
    // it was read (`read`, every column known): another program or copy may
    // have changed or deleted it meanwhile, and its change must not be lost.
    // Otherwise nothing is written and EUpdateConflict is raised. A change
    // writes the columns whose values differ from what was read.
    void update(qint64 identity, const TRecordValues &values, const TRecordValues &read);
    void remove(qint64 identity, const TRecordValues &read);

    int identityColumn() const { return 0; }

    // Engine value <-> stored value.
    static QVariant toStored(TFieldType type, const QVariant &v);
    static QVariant fromStored(TFieldType type, const QVariant &v);

private:
    // `wanted` masks the columns to read (by column number); the identity
    // and the order column are always read, and the others left unread.
    static constexpr quint64 AllColumns = ~quint64(0);
    QList<TRecordData> select(const QString &condition, const QVariantList &params, bool descending, int n,
                              int skip, quint64 wanted = AllColumns);
    int countWhere(const QString &condition, const QVariantList &params);
    QString where(const QString &condition) const;
    QVariantList withFilter(const QVariantList &params) const;
    QList<TRecordData> plainAfter(const TRecordData &r, int n, int skip, quint64 wanted = AllColumns);
    QList<TRecordData> plainBefore(const TRecordData &r, int n, int skip, quint64 wanted = AllColumns);
    QList<TRecordData> walk(bool forward, const TRecordData &r, int n);
    QVariant orderValue(const TRecordData &r) const;
    bool simpleOrder() const { return m_orderColumn == 0; }
    bool continuesWalk(bool forward, const TRecordData &r) const;
    void chooseReading();
    void checkUnchanged(qint64 identity, const TRecordValues &read, bool deleting);

    // The SQL of the reading order: the order expression, ascending and
    // descending order, and the conditions "after" and "before" a bound
    // (order value, identity) pair.
    struct OrderSql
    {
        QString ord;
        QString asc;
        QString desc;
        QString after;
        QString before;
    };
    const OrderSql &order() const { return m_readByDay ? m_byDay : m_plain; }

    TEngineDatabase &m_db;
    const TTableDef &m_table;
    QList<TCursorColumn> m_columns;
    int m_orderColumn = 0;
    QString m_selectList;
    QString m_from;
    OrderSql m_plain;   // by the stored column
    OrderSql m_byDay;   // by the day a stored date names (ard_day)
    bool m_byDate = false;     // the reading order is a date column
    bool m_readByDay = false;  // reads go through ard_day() now
    TFilterExpr m_filter;
    // What the filter lets through of the date column: the stretches of text
    // to look through for other forms (all of it when empty), and the part
    // of the condition that keeps a read by the day on the index.
    QList<TEngineDatabase::TTextRange> m_dateRanges;
    bool m_noDays = false;
    QString m_prefilter;
    QVariantList m_prefilterParams;

    // Records read ahead beyond the last one handed out, in walking order.
    struct Ahead
    {
        bool forward = true;
        qint64 anchor = 0;  // identity of the record they follow
        QList<TRecordData> records;
        qsizetype pos = 0;  // next record to hand out
        int nextBatch = 1;
        quint64 generation = 0;
    } m_ahead;
    bool m_lockRows = false;  // the next select rereads a record about to be changed
    // Names looked up, while the table is unchanged since the stamp.
    static constexpr int MaxLookups = 4096;
    QHash<QString, QVariant> m_lookups;
    TEngineDatabase::TReadStamp m_lookupStamp;
};
