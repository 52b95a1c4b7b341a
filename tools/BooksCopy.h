#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// Copies a whole set of books from one place to another, SQLite to a
// PostgreSQL server and back: the administration tool's `copy` command.
//
// A place is an alias of the engine configuration, a folder of SQLite books
// (or, to copy from, a books file such as a backup), or a postgresql://
// address. The books copied to must not hold a record: a folder without
// books or a server database without the tables gets them made; an alias,
// a folder or a server database that already holds the tables must have
// every one of them empty. Nothing is ever added to somebody's records.
//
// The copy keeps every identity (so every reference between the tables
// still holds) and each table's identity high-water mark, reads the books
// in one snapshot and writes the copy in one transaction, a batch of rows
// at a time, holding no whole table in memory. Values go as stored, except
// that a date a server's DATE column cannot hold as it is (another form of
// a day, on SQLite) goes as the day it names, or as no date. Books holding
// a value that does not fit its field are refused, as `check` names them.
// Before it commits, the copy is checked against the books by counts and
// sums per table, computed in SQL on both sides; a mismatch rolls the copy
// back and is reported as an error.
namespace BooksCopy {

struct TTableCopied
{
    QString fileName;  // "Sales.DB"
    qint64 rows = 0;
};

struct TCopyResult
{
    QString from;  // both as messages name them
    QString to;
    bool created = false;  // the copy made the tables where it copied to
    QList<TTableCopied> tables;  // in catalog order
    // Every date copied as the day it names rather than as it was stored,
    // or as no date: "<table>, record <n>: the field <f> holds <stored>,
    // copied as the day <day>".
    QStringList dateNotes;
};

// The stage ("Checking ...", "Copying Sales.DB") with the work done and the
// whole, now and then.
using TProgress = std::function<void(const QString &stage, qint64 done, qint64 total)>;

// Throws EDatabaseError naming what was refused or what failed; nothing is
// then left in the books copied to but the empty tables the copy made.
TCopyResult copy(const QString &from, const QString &to, const TProgress &progress = {});

}  // namespace BooksCopy
