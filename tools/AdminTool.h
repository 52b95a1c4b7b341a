#pragma once

#include "BooksBackup.h"
#include "BooksCheck.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

class TEngineDatabase;
struct TTableDef;

// The commands of the engine's administration tool, ardentry-db: the only
// code that creates the books' tables and fills them outside the program.
// Every command names its database by alias and reports failure by throwing
// EDatabaseError with a message that says what is wrong; the executable,
// tests and benchmarks call these functions directly.
namespace AdminTool {

inline const QString DefaultAlias = QStringLiteral("ARD");

// Creates the database with the six tables in a folder (created if needed),
// or in the database on a server that a postgresql:// address names (the
// database must exist), and points the alias at it in the engine
// configuration. Refuses when the alias's database or a database in the
// folder, or the six tables on the server, already exist.
void create(const QString &alias, const QString &place);

// Points the alias at books that exist: in a folder or on a server (a desk
// joining books that another desk put there). Throws, changing nothing, when
// the place holds no books with every table of the catalog.
void pointAlias(const QString &alias, const QString &place);

// Fills the alias with a small set of books for a first look: three
// accounts, a few expense types and three months of records ending at
// Clock::today(), so that the current month holds sales, expenses, purchases
// and account transactions, transfers among them. Refuses when any table of
// the alias already holds a record.
void sample(const QString &alias);

struct TGenerateOptions
{
    qint64 rows = 0;    // records in each of the four journals, at least 1
    int years = 10;     // the span of the dates, ending at end
    quint64 seed = 1;   // the same seed gives the same books on every machine
    int accounts = 20;  // at least 2: account 1 holds a fixed share of AccTrans
    int types = 30;     // expense types, at least 1
    QDate end;          // last date of the span; invalid means Clock::today()
};

struct TGenerateResult
{
    qint64 rowsWritten = 0;  // every record stored, master lists included
    qint64 elapsedMs = 0;
};

// Fills an empty alias with large books for benchmarks: options.accounts
// accounts, options.types expense types and options.rows records in each
// journal, dated uniformly over the span (the last record of each journal
// falls on the end date, so the current month always holds data). Account 1
// carries exactly a tenth (rounded down) of the account transactions; sales
// and purchases are numbered 1..rows in date order. Refuses books that hold
// any record and options out of range.
TGenerateResult generate(const QString &alias, const TGenerateOptions &options);

// What is wrong with the options, in the words of the command line's
// options ("--rows must be between ..."); empty when they are usable.
QString invalidGenerateOptions(const TGenerateOptions &options);

// The first and last dates of a generated span.
QDate generatedSpanStart(const TGenerateOptions &options);
QDate generatedSpanEnd(const TGenerateOptions &options);

using TTableCount = BooksCheck::TTableCount;

struct TCheckReport
{
    QString books;              // the books as messages name them
    QList<TTableCount> counts;  // in catalog order
    // Every stored value that does not fit its field (text in an amount, a
    // whole number beyond 32 bits, an amount of 1E15 or more): the program
    // refuses to read the records that hold them.
    QStringList unfitValues;
    // Every stored date in another form than the program's own: the day it
    // is read as, or that it names none and reads as an empty date. On a
    // server, the days the program cannot show ('infinity', before the year
    // 1 or after 9999).
    QStringList dateNotes;
};

// Checks that the alias's database opens, holds every table of the catalog
// with columns that can hold its fields, and (SQLite) passes the integrity
// check, then looks at every stored value. Throws naming what is wrong with
// the tables or the file.
TCheckReport check(const QString &alias);

struct TExportOptions
{
    QString table;  // "Sales", "Sales.DB", ... without regard to case
    QDate from;     // invalid: no bound; a table without dates takes none
    QDate to;
    QString file;
};

// Writes a table's records to a CSV file in the program's export format,
// in the table's reading order: a header row of its stored field names, one
// line a record, ISO dates and numbers that read back exactly. With `from`
// or `to`, only the records dated within them (inclusive). The file
// appears whole or not at all. Returns how many records it holds. Throws
// for an unknown table, bounds on a table without dates, a stored value the
// program refuses to read, or a file that cannot be written.
qint64 exportTable(const QString &alias, const TExportOptions &options);

// Backs up the alias's books into the backups folder beside them (retention
// then removes the backups it no longer keeps), or into `target` when it is
// given, which must not exist. Throws naming what was not done and why.
BooksBackup::TBackupInfo backup(const QString &alias, const QString &target = {},
                                const BooksBackup::TProgress &progress = {});

// The backups of the alias's books, newest first.
QList<BooksBackup::TBackupInfo> backups(const QString &alias);

// Puts `file` in the place of the alias's books (BooksBackup::restore): a
// name that is not a file as given is looked for in the backups folder. The
// alias must not be open in this process.
BooksBackup::TRestoreResult restore(const QString &alias, const QString &file,
                                    const BooksBackup::TProgress &progress = {});

struct TAliasLocation
{
    QString folder;        // for a server: the address as configured
    QString databaseFile;  // for a server: the address as messages show it
    bool server = false;
};

// Where the engine configuration puts an alias. Throws when it is not
// configured; does not require the database to exist.
TAliasLocation location(const QString &alias);

// The SQLite file of the alias's books; throws for books on a server, which
// the commands that copy files (backup, backups, restore) cannot handle.
QString booksFile(const QString &alias);

// Helpers the filling and copying commands share.

// Throws "<command> refused: the books of ... are not empty (<table> holds
// records)" unless every table of the catalog is there and empty.
void requireEmptyBooks(TEngineDatabase &db, const QString &command);

// How many of the catalog's tables the database holds.
int tablesPresent(TEngineDatabase &db);

// The engine's message for every stored value of the table that does not
// fit its field, in column and record order.
QStringList unfitValues(TEngineDatabase &db, const TTableDef &table);

// "<table>, record <n>: the field <f> holds <stored>, " and then readAs with
// the day (%1) for every stored date in another form than the program's own
// that names a day, or noDay for one that names none.
QStringList dateNotes(TEngineDatabase &db, const TTableDef &table, const QString &readAs, const QString &noDay);

}  // namespace AdminTool
