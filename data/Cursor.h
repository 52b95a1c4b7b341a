#pragma once

#include "FieldTypes.h"
#include "RecordValues.h"

#include <QList>
#include <QString>
#include <QVariant>

// A column as the engine delivers it.
struct TCursorColumn
{
    QString name;
    TFieldType type;
    int size = 0;
};

// One record as the engine hands it over: its values in column order, and
// where it stands.
struct TRecordData
{
    TRecordValues values;
    qint64 identity = 0;    // tables: the record's identity
    qint64 recNo = 0;       // 1-based number among the records that pass; 0 when not known
};

// Reads the records of a table or query in reading order, a few at a time:
// nothing here ever loads a whole table. Every list comes back in ascending
// reading order.
class TCursor
{
public:
    virtual ~TCursor() = default;

    virtual const QList<TCursorColumn> &columns() const = 0;
    virtual bool canModify() const = 0;

    // The first n records, after skipping `skip` of them.
    virtual QList<TRecordData> first(int n, int skip = 0) = 0;
    // The last n records.
    virtual QList<TRecordData> last(int n) = 0;
    // The n records that follow r, after skipping `skip` of them.
    virtual QList<TRecordData> after(const TRecordData &r, int n, int skip = 0) = 0;
    // The n records just before r (skipping the `skip` nearest to r).
    virtual QList<TRecordData> before(const TRecordData &r, int n, int skip = 0) = 0;

    // The record that follows r, moved into `into`; false when r is the
    // last. A walk asks for one record a step, so this must cost no list.
    virtual bool afterOne(const TRecordData &r, TRecordData &into)
    {
        QList<TRecordData> rows = after(r, 1);
        if (rows.isEmpty())
            return false;
        into = std::move(rows.first());
        return true;
    }

    // How many records pass.
    virtual int count() = 0;
    // r's 1-based number among them.
    virtual int recordNumber(const TRecordData &r) = 0;
    // Whether count() is known without running anything more.
    virtual bool countKnown() const { return true; }

    // Reads the values of r that were left unread (see noteUsed).
    virtual void complete(TRecordData &r) { Q_UNUSED(r); }
    // The dataset tells which columns are being looked at; a cursor may then
    // leave the others unread in the records a long walk reads ahead.
    void noteUsed(int column)
    {
        if (column >= 0 && column < 64)
            m_usedColumns |= quint64(1) << column;
    }

    // How many records this cursor has read from the engine so far (for
    // benchmarks and the tests that hold it to reading only what is asked).
    quint64 rowsRead() const { return m_rowsRead; }

protected:
    quint64 m_rowsRead = 0;
    quint64 m_usedColumns = 0;
};
