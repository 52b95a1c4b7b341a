#pragma once

#include "EngineCatalog.h"
#include "FieldTypes.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <memory>

class QSqlError;
class TRecordValues;
struct pg_conn;
struct pg_result;

// The rows one statement gave on a PostgreSQL server, read whole: every read
// of the engine is a batch with a limit, so a result is small, and holding
// it lets other statements run while it is read.
class TPgRows
{
    Q_DISABLE_COPY(TPgRows)

public:
    explicit TPgRows(pg_result *result, const class TPgBackend &backend, const QString &sql);
    ~TPgRows();

    bool next();
    int columnCount() const;
    QString columnName(int column) const;
    TFieldType columnType(int column, int *size) const;
    bool isNull(int column) const;
    qint64 toInt64(int column) const;
    bool read(int column, TFieldType type, TRecordValues &into, int slot) const;
    QString storedText(int column) const;
    QString originTable(int column) const;
    QString originColumn(int column) const;

private:
    pg_result *m_result;
    const TPgBackend &m_backend;
    QString m_sql;
    int m_row = -1;
    int m_rows = 0;
};

// Books on a PostgreSQL server. The connection is Qt's (QPSQL), so that the
// administration tool and the tests can use QSqlQuery on it; the engine's
// own statements go straight through libpq on the same connection, with
// values bound as text and results read whole, in one round trip each.
//
// Change detection: every table of the books carries a statement trigger
// that stamps its row in ard_changes with the next value of a sequence. A
// stamp never repeats, even after a rollback, so a result read while a
// table's stamp was s is right for as long as the stamp is still s: after
// this connection's changes at once, after another desk's when it commits.
class TPgBackend
{
    Q_DISABLE_COPY(TPgBackend)

public:
    // Connects to the database a server address names, with time-outs for
    // the connection, every statement and every lock wait, so that a server
    // that is down, refuses or goes away gives an error, never a hang.
    // Throws EDatabaseError.
    static std::unique_ptr<TPgBackend> connect(const QString &address, const QString &connection);
    // Creates the six tables, their indexes and the change stamps in the
    // database an address names (which must exist). Throws when a table of
    // the books is already there.
    static void createBooks(const QString &address);
    // The statements that createBooks runs.
    static QStringList createStatements();
    // The settings every connection runs first (time-outs, date style,
    // encoding), in one place so that anything measured beside the engine
    // can work under the same ones.
    static QStringList sessionSettings();
    // A QPSQL connection to the database an address names (user, host,
    // port, database and libpq's options from the address), not opened.
    static QSqlDatabase addConnection(const QString &address, const QString &connection);
    // The address as messages show it (no password, no options).
    static QString displayAddress(const QString &address);

    ~TPgBackend();

    const QString &location() const { return m_location; }
    QSqlDatabase database() const;

    // Runs a statement with values bound in order ("?" marks, or "?N"), and
    // returns its rows. Throws EDatabaseError with the engine's message.
    std::unique_ptr<TPgRows> query(const QString &sql, const QVariantList &params);
    // Runs a statement that returns no rows; gives the rows it changed.
    qint64 command(const QString &sql, const QVariantList &params = {});
    // Statements sent to the server so far (round trips).
    quint64 roundTrips() const { return m_roundTrips; }

    // The tables of the books a statement names.
    QList<QByteArray> tablesRead(const QString &sql);

    // The change stamp of each table of the catalog, in catalog order; -1
    // for a table without one (books made by another program: nothing read
    // from it is kept).
    QList<qint64> changeStamps();

    bool hasTable(const TTableDef &table);
    QStringList schemaProblems(const TTableDef &table);
    static QString unfitCondition(const TColumnDef &column);
    bool isWritable();
    qint64 identityHighWater(const TTableDef &table);
    void raiseIdentity(const TTableDef &table, qint64 atLeast);

    static QString messageFor(const QSqlError &error);
    QString messageFor(const QByteArray &state, const QString &text) const;

    // The catalog's spelling of a result column's name (the server folds
    // unquoted names to lower case), or the statement's own.
    QString spelledAsWritten(const QString &sql, const QByteArray &name) const;
    QString tableNameOf(unsigned int oid) const;
    QString columnNameOf(unsigned int oid, int attnum) const;

private:
    TPgBackend() = default;
    pg_result *execute(const QString &sql, const QVariantList &params);
    void setUpSession();
    void reconnectIfLost();
    void learnCatalog();

    QString m_connection;
    QString m_location;
    pg_conn *m_conn = nullptr;
    quint64 m_roundTrips = 0;
    // Statements prepared on the server, by their text.
    QHash<QString, QByteArray> m_statements;
    QHash<QString, QList<QByteArray>> m_statementTables;
    // The tables of the books by their object id, and their columns by
    // number, to name the origin of a result column.
    QHash<unsigned int, QString> m_tables;
    QHash<quint64, QString> m_columns;
    int m_writable = -1;
    QList<qint64> m_stamps;
    QElapsedTimer m_stampsRead;  // invalid: read them again
    std::unique_ptr<QObject> m_turnEnd;
    bool m_inTransaction = false;
};
