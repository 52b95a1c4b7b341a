#pragma once

#include <QList>
#include <QString>
#include <functional>

class TEngineDatabase;

// Whether a database is a sound set of the program's books: every table of
// the catalog there with columns that can hold its fields, and (SQLite) a
// file that passes the integrity check. The administration tool's check, every
// backup and every restore ask the same question here.
namespace BooksCheck {

struct TTableCount
{
    QString fileName;  // "Sales.DB"
    qint64 rows = 0;
};

// Called now and then while the integrity check runs, with the work done and
// an estimate of the whole (the check tells nothing of its own progress).
using TProgress = std::function<void(qint64 done, qint64 total)>;

// Throws EDatabaseError naming the database (as `name`, or else as
// TEngineDatabase::describe()) and every problem of every table, or else
// every finding of the integrity check.
void requireSound(TEngineDatabase &db, const TProgress &progress = {}, const QString &name = {});

// The records in each table, in catalog order. Throws the engine's error
// (a missing table among them).
QList<TTableCount> counts(TEngineDatabase &db);

// "Accounts.db 3, AccTrans.db 120, ..." for messages and listings.
QString countsText(const QList<TTableCount> &counts);

}  // namespace BooksCheck
