#pragma once

#include "Cursor.h"
#include "EngineCatalog.h"
#include "EngineKind.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <memory>

class QSqlError;
class TBooksLock;
class TPgBackend;
struct sqlite3;
struct sqlite3_stmt;
class TSqlReader;

// One open database of an alias: the SQLite file in the alias folder, or the
// database on a PostgreSQL server the alias names, shared by every table and
// query that names the alias. What differs on a server (connecting, reading
// rows, identities, errors, change detection, the schema) is TPgBackend's;
// everything above this class names no engine.
//
// It runs statements with bound values only, keeps prepared statements for
// reuse, and makes every write one durable transaction (on SQLite: rollback
// journal, synchronous=FULL) unless the caller holds a transaction of its own.
class TEngineDatabase
{
    Q_DISABLE_COPY(TEngineDatabase)

public:
    // The open database of an alias, opened on first use. Throws
    // EDatabaseError naming what is missing: the alias, its folder, the
    // database file, or a file that is not a database.
    // While it is open it holds the books' lock shared (TBooksLock): a
    // restore waits for nobody to have them open. Throws when a restore
    // holds the lock for longer than the busy wait.
    static TEngineDatabase &forAlias(const QString &alias);

    // A database file of its own, outside any alias: a backup, or the books
    // copied or checked beside the engine. Read-only opens never change the
    // file (a file that needs its last change rolled back cannot then be
    // read). It takes no lock, is not shared and closes when released.
    // Throws like forAlias when the file is missing or is not a database.
    static std::unique_ptr<TEngineDatabase> openFile(const QString &file, bool readOnly);
    // Books named by where they are, outside any alias: a folder of SQLite
    // books, a SQLite file, or a server address. Not shared; a server
    // connection is opened for writing whatever readOnly says.
    static std::unique_ptr<TEngineDatabase> openPlace(const QString &place, bool readOnly);

    // The settings of every connection the engine opens to a SQLite file
    // (what SQL it accepts, its functions, the busy wait, durability and
    // cache), in one place so that anything measured beside the engine can
    // work under the same ones.
    static void applyConnectionSettings(sqlite3 *db);

    // Closes every open database (program end, tests).
    static void closeAll();

    // Creates an empty database with the six tables in a folder (created if
    // needed), or in the existing database a server address names. Throws
    // when a database is already there.
    static void createBooks(const QString &place);

    ~TEngineDatabase();

    TEngineKind kind() const { return m_pg ? TEngineKind::PostgreSQL : TEngineKind::SQLite; }
    const QString &alias() const { return m_alias; }
    const QString &file() const { return m_file; }
    // The database as messages name it: "<file> (alias <alias>)", or the
    // file alone when it was opened outside an alias.
    QString describe() const;
    QSqlDatabase database() const;

    // Throws "Table does not exist: <file name> (alias <alias>)" when the
    // database lacks the table, and the first of schemaProblems() when its
    // columns cannot hold the program's fields. Checked once per connection.
    void checkTable(const TTableDef &table);
    // What keeps a table from holding the program's fields: a missing
    // column, a column whose declared type would change what is stored in
    // it (a number column that keeps text, a text column that turns "007"
    // into 7), an identity that is not the table's integer primary key.
    // Empty when the table is sound or absent.
    QStringList schemaProblems(const TTableDef &table);

    // False when a post could not store a record: SQLite opened a
    // write-protected file for reading only, or the folder cannot take the
    // rollback journal. Such books can still be read.
    bool isWritable() const;

    // Throws the engine's error when the books cannot be read now (another
    // program holds them locked past the busy wait).
    void checkReadable();

    // A prepared statement for this text, kept for reuse. The caller binds
    // every value, runs it through exec() and finishes it after reading.
    QSqlQuery &prepared(const QString &sql);

    // Binds params in order and runs q. Throws EDatabaseError with the
    // engine's message on failure.
    void exec(QSqlQuery &q, const QVariantList &params = {});

    // Runs a statement once (not kept) and returns its query for reading.
    QSqlQuery run(const QString &sql, const QVariantList &params = {});

    // Explicit transaction spanning several writes (a transfer's two
    // records). Nested calls are not allowed.
    void startTransaction();
    void commit();
    void rollback();
    bool inTransaction() const { return m_explicitTransaction; }

    // Runs one write (insert, update, delete) in its own transaction, or in
    // the caller's when one is open. Returns the statement for reading
    // lastInsertId (SQLite only) and numRowsAffected.
    QSqlQuery &write(const QString &sql, const QVariantList &params);
    // Runs an INSERT like write() and gives the identity the engine gave the
    // record in identityColumn.
    qint64 insert(const QString &sql, const QVariantList &params, const QString &identityColumn);
    // Runs an UPDATE or DELETE like write() and gives the records it changed.
    qint64 change(const QString &sql, const QVariantList &params);
    // What follows a select that rereads a record about to be changed in the
    // current transaction, so that nobody changes it before the change is
    // stored (SQLite's write lock already keeps everybody out).
    QString lockingClause() const;
    // Statements sent to a server so far: each is a round trip (0 on SQLite).
    quint64 roundTrips() const;

    // The highest identity the engine has given in a table (deleted records
    // count), and making sure the next one it gives is above atLeast: a
    // copy keeps the identities of the books it copies.
    qint64 identityHighWater(const TTableDef &table);
    void raiseIdentity(const TTableDef &table, qint64 atLeast);

    // Counts every write made through this database; readers compare it to
    // drop what they read ahead before a change.
    quint64 generation() const { return m_generation; }

    // The message for a stored value that does not fit its field: it names
    // the table, the record (by its identity, or by its invoice number where
    // the identity is the engine's own) and the field.
    QString badValueMessage(const TTableDef &table, int column, qint64 identity, const QString &stored);

    // The message for the first stored value of a column that does not fit
    // its field (from the given record on), or an empty text when there is
    // none.
    QString firstUnfitValueMessage(const TTableDef &table, int column, qint64 fromIdentity = 0);

    // The user-visible text of an engine error.
    static QString messageFor(const QSqlError &error);
    static QString messageFor(int code, const QString &text);

    // SQLite's own handle of the connection, for the reads that go through
    // many rows (TSqlReader).
    sqlite3 *handle() const { return m_handle; }

    // Results kept while the tables they were read from stay unchanged: the
    // Summary runs the same grouped sums and counts again on every refresh,
    // most often over books that did not change, or changed in another
    // journal. A change made through this connection (by any statement or
    // trigger) is seen row by row; one committed by another connection is
    // seen through SQLite's data version. Take a stamp before running the
    // statement, keep the result after it was read whole.
    struct TReadStamp
    {
        quint64 changes = 0;
        qint64 external = -1;
        QList<qint64> tableStamps;  // a server's change stamp per catalog table
    };
    TReadStamp readStamp();
    // Whether the tables a statement reads are unchanged since the stamp
    // (the statement must have run once on this database).
    bool unchangedSince(const QString &sql, const TReadStamp &stamp);
    const QList<TRecordData> *keptResult(const QString &sql, const QVariantList &params);
    void keepResult(const QString &sql, const QVariantList &params, const TReadStamp &stamp,
                    const QList<TRecordData> &rows);
    // The first rows of a result, kept the same way while it is read on: a
    // statement closed before its end and opened again (the Summary's
    // balances, reopened on every refresh) goes on from where it stopped
    // instead of running again from its start. Gives the stamp they were
    // read under, to go on reading under.
    const QList<TRecordData> *keptFirstRows(const QString &sql, const QVariantList &params, TReadStamp *stamp);
    void keepFirstRows(const QString &sql, const QVariantList &params, const TReadStamp &stamp,
                       const QList<TRecordData> &rows);
    // Runs a statement that counts (its first column of its first row), or
    // gives the count it gave before while its tables are unchanged.
    int keptCount(const QString &sql, const QVariantList &params);
    // Results longer than this are not kept.
    static constexpr int MaxKeptRows = 1024;

    // Dates in other forms. The program writes a date as "yyyy-mm-dd", and
    // SQL on such text orders and compares by the day. Another program may
    // have written "2026-12-10 08:30", "2026-12-1" or a word: such a value
    // names its day, or none, only through ard_day(), which costs a call per
    // row and no index. So reads take the plain column wherever the rows
    // they can meet hold only the program's own form, and ard_day()
    // elsewhere. This tells which, for a date column: whether it holds a
    // value in another form among the stored texts in [from, to) of any of
    // the ranges, or anywhere when `ranges` is empty. It steps through the
    // column's distinct values by its index (one small read per distinct
    // day), and keeps the answer while it stays true: a change by this
    // connection writes only the program's own form, so "none" lasts until
    // another program commits.
    struct TTextRange
    {
        QString from;
        QString to;
    };
    bool hasOtherDateForms(const TTableDef &table, const QString &column, const QList<TTextRange> &ranges);
    // The stretches of stored text in which a value naming a day from `from`
    // to `to` (both valid, from <= to) can stand, for hasOtherDateForms;
    // empty (the whole column) for a span of many years.
    static QList<TTextRange> textRangesFor(const QDate &from, const QDate &to);

    // The tables a read statement reads (known once it was prepared).
    QList<QByteArray> tablesRead(const QString &sql) const;

    // The condition (for a WHERE) true for a stored value of the column that
    // does not fit its field, as TSqlReader::read refuses it.
    QString unfitCondition(const TColumnDef &column) const;

private:
    friend class TSqlReader;
    TPgBackend *pg() const { return m_pg.get(); }
    QString errorMessage(const QSqlError &error) const;
    static QString sqliteUnfitCondition(const TColumnDef &column);
    sqlite3_stmt *readStatement(const QString &sql);

    TEngineDatabase(QString alias, QString file, QString connection);
    static std::unique_ptr<TEngineDatabase> open(const QString &alias, const QString &file, const QString &connection,
                                                 bool readOnly);
    void execRaw(const QString &sql);
    qint64 externalVersion();
    static void rowChanged(void *self, int op, const char *database, const char *table, qint64 rowid);
    static void rolledBack(void *self);

    QString m_alias;
    QString m_file;
    QString m_connection;
    std::unique_ptr<TBooksLock> m_lock;
    std::unique_ptr<TPgBackend> m_pg;
    QHash<QString, std::shared_ptr<QSqlQuery>> m_prepared;
    QHash<QString, sqlite3_stmt *> m_readStatements;
    sqlite3 *m_handle = nullptr;
    bool m_explicitTransaction = false;
    quint64 m_generation = 0;

    // The tables each read statement reads, learnt when it was prepared.
    QHash<QString, QList<QByteArray>> m_statementTables;
    // Rows changed through this connection, and the count at each table's
    // latest change.
    quint64 m_changes = 0;
    QHash<QByteArray, quint64> m_lastChange;
    quint64 m_lastRollback = 0;  // the count when a rollback last undid changes
    struct KeptResult
    {
        QVariantList params;
        TReadStamp stamp;
        QList<TRecordData> rows;
        quint64 lastUse = 0;
        bool complete = true;
    };
    KeptResult *findKept(const QString &sql, const QVariantList &params);
    void keep(const QString &sql, const QVariantList &params, const TReadStamp &stamp, const QList<TRecordData> &rows,
              bool complete);
    static constexpr int MaxKeptResults = 64;
    quint64 m_keptUses = 0;
    QHash<QString, QList<KeptResult>> m_kept;
    int m_keptCount = 0;

    struct DateFormsVerdict
    {
        bool otherForms = false;
        TReadStamp stamp;
    };
    QHash<QString, DateFormsVerdict> m_dateForms;
    QList<const TTableDef *> m_checkedTables;
};
