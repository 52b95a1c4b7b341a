#pragma once

#include "FieldTypes.h"

#include <QDate>
#include <QString>
#include <QVariant>
#include <memory>

class TEngineDatabase;
class TRecordValues;
class TPgRows;
struct sqlite3_stmt;

// Runs one read statement of the engine straight on SQLite's handle, or on
// the server's connection through libpq, and hands out its rows with typed
// values. The reads that walk a journal go through here, because going row
// by row through Qt's cached results costs several times what the engine
// itself spends. The statement is prepared once per database; on SQLite it
// is reset when the reader goes, on a server its rows are read whole when
// the reader starts.
class TSqlReader
{
    Q_DISABLE_COPY(TSqlReader)

public:
    // Binds params in order (dates as ISO text) and starts the statement.
    // Throws EDatabaseError with the engine's message.
    TSqlReader(TEngineDatabase &db, const QString &sql, const QVariantList &params);
    ~TSqlReader();

    // Moves to the next row; false at the end. Throws on an engine error.
    bool next();

    // The result's columns, known before the first row is read.
    int columnCount() const;
    QString columnName(int column) const;
    // The kind of a column read straight from a table column, from its
    // declared type; computed columns have none and count as floats.
    TFieldType columnType(int column, int *size = nullptr) const;

    bool isNull(int column) const;
    qint64 toInt64(int column) const;
    // The column's value typed for a field: QDate, double, int, QString;
    // an invalid QVariant for null and for a value that does not fit.
    QVariant value(int column, TFieldType type) const;
    // Reads the column into slot `slot` of a record, typed for a field.
    // Returns false, leaving the slot null, when the stored value does not
    // fit the field: text or a blob in a number, a whole number beyond 32
    // bits, a number of magnitude 1E15 or more, a blob in a text. A date
    // that names no day is not such a value: it reads as an empty date.
    bool read(int column, TFieldType type, TRecordValues &into, int slot) const;
    // The stored value as a message shows it: quoted text, a number, or
    // the size of a blob.
    QString storedText(int column) const;
    // The table and column a result column was read from, when it is one
    // (empty for a computed column).
    QString originTable(int column) const;
    QString originColumn(int column) const;

private:
    TEngineDatabase &m_db;
    sqlite3_stmt *m_statement = nullptr;
    std::unique_ptr<TPgRows> m_pg;
};
