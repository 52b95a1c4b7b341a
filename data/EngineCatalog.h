#pragma once

#include "FieldTypes.h"

#include <QList>
#include <QString>
#include <QStringList>

// The engine's schema of the books: the six tables, their stored columns,
// reading orders and keys. The administration tool creates tables from it,
// and the engine reads it to know how to order, type and key each table.
struct TColumnDef
{
    QString name;
    TFieldType type;
    int size = 0;  // characters, for String columns
};

struct TTableDef
{
    QString name;      // SQL name, "Sales"
    QString fileName;  // name the program opens it by, "Sales.DB"
    // Stored columns in stored order. The first one is the record identity:
    // an auto-increment integer that is never reused, so that it also gives
    // the order in which records were stored.
    QList<TColumnDef> columns;
    QString orderColumn;     // the table is read in ascending order of this column, then of the identity
    bool identityIsField;    // false when the identity is internal to the engine (Sales, Purchases)
    QStringList uniqueColumns;  // unique keys besides the identity (nulls allowed)

    const QString &identityColumn() const { return columns.first().name; }
    const TColumnDef *column(const QString &name) const;  // case-insensitive
};

namespace EngineCatalog {

const QList<TTableDef> &tables();

// Finds a table by its file name ("Sales.DB") or its SQL name ("Sales"),
// without regard to case. Null when there is none.
const TTableDef *find(const QString &name);

// Statements that create every table and index of an empty database.
QStringList createStatements();

// Whether an identifier (optionally qualified "t.col") names a date column of
// any table.
bool isDateColumn(const QString &identifier);

// Quotes an identifier for SQL ("Transaction" is a keyword).
QString quoted(const QString &identifier);

} // namespace EngineCatalog
