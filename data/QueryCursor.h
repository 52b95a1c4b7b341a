#pragma once

#include "Cursor.h"
#include "EngineDatabase.h"

#include <memory>

// A read-only cursor over the result of one local SQL statement. Rows are
// read in batches only as far as someone asks (a grouped sum streams, so the
// first rows cost a fraction of the whole), numbered from 1, and kept while
// the query stays open, so moving back and forth does not run the statement
// again. On books where dates were stored in other forms, a statement that
// compares or orders by a date reads each date as the day it names. The record count first reads a few rows, and runs a COUNT over the
// statement only when the end is not among them.
class TSqlReader;

class TQueryCursor : public TCursor
{
public:
    // Prepares the statement, which checks it and tells its columns; rows
    // are read only when asked for. Throws EDatabaseError.
    TQueryCursor(TEngineDatabase &db, const QString &statement);
    ~TQueryCursor() override;

    const QList<TCursorColumn> &columns() const override { return m_columns; }
    bool canModify() const override { return false; }

    QList<TRecordData> first(int n, int skip = 0) override;
    QList<TRecordData> last(int n) override;
    QList<TRecordData> after(const TRecordData &r, int n, int skip = 0) override;
    QList<TRecordData> before(const TRecordData &r, int n, int skip = 0) override;
    int count() override;
    int recordNumber(const TRecordData &r) override { return int(r.recNo); }
    bool countKnown() const override { return m_count >= 0; }

    // Reads the whole result from its start, one row a call into `into`, and
    // keeps none of it (a result kept whole since it was last read comes
    // from there): an export goes through a long result in bounded memory,
    // in one run of the statement. The rows read for browsing stay as they
    // are. The statement stays open between calls, under a text of its own
    // so that no browsing read of the same query resets it, until the end,
    // an error or the cursor's end. Throws EDatabaseError as a browsing
    // read does.
    bool nextStreamed(TRecordData &into);

private:
    // Makes sure rows up to number `upTo` are read, if they exist.
    void readUpTo(qint64 upTo);
    QList<TRecordData> slice(qint64 fromNo, int n);
    void readBatch(int n);
    // One step of a read of the statement and the row it reaches, with the
    // error for a stored value that does not fit.
    bool step(TSqlReader &q);
    void readRow(const TSqlReader &q, TRecordData &into);
    bool hasOtherDateForms(const struct TLocalSql &prepared);
    [[noreturn]] void unfitValue(const TSqlReader &q, int column);
    [[noreturn]] void unfitSum(const QString &engineMessage);

    TEngineDatabase &m_db;
    QString m_sql;
    QVariantList m_params;
    QList<TCursorColumn> m_columns;
    QStringList m_summedColumns;
    QList<TRecordData> m_rows;
    bool m_atEnd = false;
    // Taken before the first row was read: the whole result is kept for the
    // next cursor on the same statement while its tables stay unchanged.
    TEngineDatabase::TReadStamp m_stamp;
    int m_count = -1;
    int m_nextBatch = 0;
    enum class StreamState { Idle, Kept, Running, Done };
    StreamState m_streamState = StreamState::Idle;
    std::unique_ptr<TSqlReader> m_stream;
    qint64 m_streamed = 0;
};
