#pragma once

#include "Cursor.h"
#include "FieldTypes.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <memory>

class TDataSet;
class TEngineDatabase;
class TField;
class TFilterExpr;
class TQueryCursor;
class TTableCursor;
struct TTableDef;

// Reads every record a dataset shows, in its order, for an export or a
// printout: a table's records through its filter, a query's rows as its
// statement returns them. It reads through cursors of its own, so the
// dataset's current record and the grids bound to it stay where they are,
// and it holds one batch of records at a time, so memory stays bounded
// however many records there are. A lookup column takes its names from its
// lookup table, read once when the reader is made.
//
// Values come as the engine's typed reads give them, so a stored value that
// does not fit its field stops the read with the engine's message naming
// table, record and field; nothing is ever read as 0 or empty instead.
class TRecordReader
{
    Q_DISABLE_COPY(TRecordReader)

public:
    // The values of `fields` (fields of `dataSet`, stored or lookup). A
    // closed dataset shows no records, and neither does the reader. Throws
    // EDatabaseError.
    TRecordReader(TDataSet *dataSet, const QList<TField *> &fields);
    // Every stored field of a table, through `filter`.
    TRecordReader(TEngineDatabase &db, const TTableDef &table, const TFilterExpr &filter);
    ~TRecordReader();

    int columnCount() const { return int(m_columns.size()); }
    // The kind of value a column holds; a lookup column holds text.
    TFieldType columnType(int column) const { return m_columns.at(column).type; }
    // The name of the stored column or field a column reads.
    const QString &columnName(int column) const { return m_columns.at(column).name; }

    // Moves to the next record; false after the last. Throws EDatabaseError.
    bool next();
    // A value of the current record: double, int, QDate or QString, an
    // invalid QVariant for null.
    QVariant value(int column) const;

    // The records per batch a table is read in.
    static constexpr int BatchSize = 4096;

private:
    struct Column
    {
        QString name;
        TFieldType type = TFieldType::String;
        int slot = -1;    // the cursor's column, for a stored value
        int lookup = -1;  // the lookup it shows, for a lookup value
    };
    // The names of a lookup table by key, first record in reading order
    // first, as the dataset's own lookup finds them.
    struct Lookup
    {
        int keySlot = -1;
        QHash<qint64, QVariant> byNumber;
        QHash<QString, QVariant> byText;
        bool numberKeys = true;
    };

    void openTable(TEngineDatabase &db, const TTableDef &table, const TFilterExpr &filter);
    int slotOf(const QString &name, const QString &dataSetName) const;
    Lookup readLookup(const TField *field, int keySlot);
    bool nextTableRecord();

    QList<Column> m_columns;
    QList<Lookup> m_lookups;
    QList<TCursorColumn> m_cursorColumns;
    std::unique_ptr<TTableCursor> m_table;
    std::unique_ptr<TQueryCursor> m_query;
    QList<TRecordData> m_batch;
    qsizetype m_pos = -1;
    bool m_tableDone = false;
    TRecordData m_row;  // the current query row
    const TRecordData *m_current = nullptr;
};
