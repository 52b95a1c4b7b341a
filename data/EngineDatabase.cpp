#include "EngineDatabase.h"

#include "BooksLock.h"
#include "EDatabaseError.h"
#include "EngineConfig.h"
#include "PgBackend.h"
#include "SqlFunctions.h"
#include "SqlReader.h"
#include "StoredDate.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlDriver>
#include <QUrl>
#include <map>
#include <sqlite3.h>

namespace {

// A busy database (another program holds its lock) is waited for this long
// before the user is told.
constexpr int BusyTimeoutMs = 5000;

std::map<QString, std::unique_ptr<TEngineDatabase>> &openDatabases()
{
    static std::map<QString, std::unique_ptr<TEngineDatabase>> m;
    return m;
}

QString connectionName(const QString &alias)
{
    return QStringLiteral("ardentry-engine:") + alias.toUpper();
}

// Opens an existing SQLite file for reading and writing without ever creating
// it: a mistyped alias folder must not silently become an empty database.
QSqlDatabase connectTo(const QString &connection, const QString &file, bool readOnly)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    QUrl url = QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath());
    url.setQuery(readOnly ? QStringLiteral("mode=ro") : QStringLiteral("mode=rw"));
    db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    return db;
}

} // namespace

TEngineDatabase::TEngineDatabase(QString alias, QString file, QString connection)
    : m_alias(std::move(alias)), m_file(std::move(file)), m_connection(std::move(connection))
{
}

TEngineDatabase::~TEngineDatabase()
{
    if (m_pg) {
        m_prepared.clear();
        m_pg.reset();
        return;
    }
    for (sqlite3_stmt *st : std::as_const(m_readStatements))
        sqlite3_finalize(st);
    m_readStatements.clear();
    m_prepared.clear();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

TEngineDatabase &TEngineDatabase::forAlias(const QString &alias)
{
    auto &databases = openDatabases();
    const QString key = alias.toUpper();
    if (auto it = databases.find(key); it != databases.end())
        return *it->second;

    const QString folder = EngineConfig::aliasFolder(alias);
    if (EngineConfig::isServerAddress(folder)) {
        std::unique_ptr<TEngineDatabase> d(new TEngineDatabase(alias, TPgBackend::displayAddress(folder),
                                                               connectionName(alias)));
        d->m_pg = TPgBackend::connect(folder, d->m_connection);
        TEngineDatabase &ref = *d;
        databases.emplace(key, std::move(d));
        static bool closeServerAtExit = false;
        if (!closeServerAtExit && QCoreApplication::instance()) {
            qAddPostRoutine(&TEngineDatabase::closeAll);
            closeServerAtExit = true;
        }
        return ref;
    }
    if (!QFileInfo(folder).isDir())
        throw EDatabaseError(QStringLiteral("The folder of database alias %1 does not exist: %2").arg(alias, folder));
    const QString file = EngineConfig::databaseFile(folder);
    if (!QFileInfo::exists(file))
        throw EDatabaseError(
            QStringLiteral("The database of alias %1 does not exist: %2 (create it with ardentry-db create)")
                .arg(alias, file));

    // A restore that holds the books alone is waited for like a busy
    // database. A folder that cannot hold the lock file cannot be restored
    // into either, so the books are opened without it.
    std::unique_ptr<TBooksLock> lock;
    try {
        lock = TBooksLock::take(file, TBooksLock::Mode::Shared, BusyTimeoutMs);
        if (!lock)
            throw EDatabaseError(
                QStringLiteral("Cannot open the database %1: a restore is replacing it; try again later").arg(file));
    } catch (const EDatabaseError &) {
        if (QFileInfo::exists(TBooksLock::lockFile(file)) || QFileInfo(QFileInfo(file).absolutePath()).isWritable())
            throw;
    }
    std::unique_ptr<TEngineDatabase> d = open(alias, file, connectionName(alias), false);
    d->m_lock = std::move(lock);
    TEngineDatabase &ref = *d;
    databases.emplace(key, std::move(d));
    // Connections must go while Qt's SQL layer still exists: close them when
    // the application object does, whoever forgets to.
    static bool closeAtExit = false;
    if (!closeAtExit && QCoreApplication::instance()) {
        qAddPostRoutine(&TEngineDatabase::closeAll);
        closeAtExit = true;
    }
    return ref;
}

std::unique_ptr<TEngineDatabase> TEngineDatabase::open(const QString &alias, const QString &file,
                                                       const QString &connection, bool readOnly)
{
    std::unique_ptr<TEngineDatabase> d(new TEngineDatabase(alias, file, connection));
    QSqlDatabase db = connectTo(connection, file, readOnly);
    if (!db.open())
        throw EDatabaseError(QStringLiteral("Cannot open the database %1: %2").arg(file, messageFor(db.lastError())));
    // Reading the schema is the first access that touches the file's
    // contents, so this is where a file that is not a database shows.
    {
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
            throw EDatabaseError(QStringLiteral("Cannot open the database %1: %2")
                                     .arg(file, messageFor(probe.lastError())));
    }
    const QVariant h = db.driver()->handle();
    if (h.isValid() && qstrcmp(h.typeName(), "sqlite3*") == 0)
        d->m_handle = *static_cast<sqlite3 *const *>(h.constData());
    if (!d->m_handle)
        throw EDatabaseError(QStringLiteral("Cannot open the database %1: no SQLite handle").arg(file));
    applyConnectionSettings(d->m_handle);
    sqlite3_update_hook(d->m_handle, &TEngineDatabase::rowChanged, d.get());
    sqlite3_rollback_hook(d->m_handle, &TEngineDatabase::rolledBack, d.get());
    return d;
}

std::unique_ptr<TEngineDatabase> TEngineDatabase::openFile(const QString &file, bool readOnly)
{
    static quint64 opened = 0;
    if (!QFileInfo::exists(file))
        throw EDatabaseError(QStringLiteral("The database %1 does not exist").arg(file));
    return open(QString(), file, QStringLiteral("ardentry-engine-file:%1:").arg(++opened) + file, readOnly);
}

std::unique_ptr<TEngineDatabase> TEngineDatabase::openPlace(const QString &place, bool readOnly)
{
    static quint64 opened = 0;
    if (EngineConfig::isServerAddress(place)) {
        std::unique_ptr<TEngineDatabase> d(new TEngineDatabase(
            QString(), TPgBackend::displayAddress(place), QStringLiteral("ardentry-engine-place:%1").arg(++opened)));
        d->m_pg = TPgBackend::connect(place, d->m_connection);
        return d;
    }
    if (QFileInfo(place).isDir())
        return openFile(EngineConfig::databaseFile(place), readOnly);
    return openFile(place, readOnly);
}

QString TEngineDatabase::describe() const
{
    return m_alias.isEmpty() ? m_file : QStringLiteral("%1 (alias %2)").arg(m_file, m_alias);
}

void TEngineDatabase::applyConnectionSettings(sqlite3 *db)
{
    // A double-quoted name that matches no column must be an error, not a
    // string literal: a table that lacks a column would otherwise read the
    // column's name as its value.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    SqlFunctions::install(db);
    sqlite3_busy_timeout(db, BusyTimeoutMs);
    sqlite3_exec(db, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA foreign_keys = OFF", nullptr, nullptr, nullptr);
    // A year of a journal's index and rows fits in this, so walking the
    // same period again (every Summary refresh does) reads no page twice.
    sqlite3_exec(db, "PRAGMA cache_size = -32768", nullptr, nullptr, nullptr);
}

void TEngineDatabase::closeAll()
{
    openDatabases().clear();
}

void TEngineDatabase::createBooks(const QString &place)
{
    if (EngineConfig::isServerAddress(place)) {
        TPgBackend::createBooks(place);
        return;
    }
    const QString &folder = place;
    if (!QDir().mkpath(folder))
        throw EDatabaseError(QStringLiteral("Cannot create the folder %1").arg(folder));
    const QString file = EngineConfig::databaseFile(folder);
    if (QFileInfo::exists(file))
        throw EDatabaseError(QStringLiteral("A database already exists: %1").arg(file));

    const QString connection = QStringLiteral("ardentry-engine-create:") + file;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(file);
        if (!db.open()) {
            const QString error = messageFor(db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(connection);
            throw EDatabaseError(QStringLiteral("Cannot create the database %1: %2").arg(file, error));
        }
        QSqlQuery q(db);
        bool ok = q.exec(QStringLiteral("PRAGMA synchronous = FULL")) && db.transaction();
        for (const QString &stmt : EngineCatalog::createStatements()) {
            if (!ok)
                break;
            ok = q.exec(stmt);
        }
        const QString error = ok ? QString() : messageFor(q.lastError().isValid() ? q.lastError() : db.lastError());
        if (ok)
            ok = db.commit();
        else
            db.rollback();
        db.close();
        if (!ok) {
            QSqlDatabase::removeDatabase(connection);
            QFile::remove(file);
            throw EDatabaseError(QStringLiteral("Cannot create the tables in %1: %2").arg(file, error));
        }
    }
    QSqlDatabase::removeDatabase(connection);
}

QSqlDatabase TEngineDatabase::database() const
{
    return m_pg ? m_pg->database() : QSqlDatabase::database(m_connection, false);
}

void TEngineDatabase::checkTable(const TTableDef &table)
{
    if (m_checkedTables.contains(&table))
        return;
    bool found = false;
    if (m_pg) {
        found = m_pg->hasTable(table);
    } else {
        QSqlQuery &q = prepared(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?"));
        exec(q, {table.name});
        found = q.next() && q.value(0).toInt() > 0;
        q.finish();
    }
    const QString where = m_alias.isEmpty() ? m_file : QStringLiteral("alias %1, %2").arg(m_alias, m_file);
    if (!found)
        throw EDatabaseError(QStringLiteral("Table does not exist: %1 (%2)").arg(table.fileName, where));
    const QStringList problems = schemaProblems(table);
    if (!problems.isEmpty())
        throw EDatabaseError(QStringLiteral("%1 (%2)").arg(problems.first(), where));
    m_checkedTables.append(&table);
}

namespace {

// SQLite's rules for the affinity a declared type gives a column.
enum class Affinity { Integer, Text, Blob, Real, Numeric };

Affinity affinityOf(const QString &declared)
{
    const QString t = declared.toUpper();
    if (t.contains(QLatin1String("INT")))
        return Affinity::Integer;
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB")) || t.contains(QLatin1String("TEXT")))
        return Affinity::Text;
    if (t.contains(QLatin1String("BLOB")) || t.trimmed().isEmpty())
        return Affinity::Blob;
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) || t.contains(QLatin1String("DOUB")))
        return Affinity::Real;
    return Affinity::Numeric;
}

} // namespace

QStringList TEngineDatabase::schemaProblems(const TTableDef &table)
{
    if (m_pg)
        return m_pg->schemaProblems(table);
    struct Present
    {
        QString type;
        int pk = 0;
    };
    QHash<QString, Present> present;
    int keyColumns = 0;
    {
        QSqlQuery q = run(QStringLiteral("SELECT name, type, pk FROM pragma_table_info(?)"), {table.name});
        while (q.next()) {
            present.insert(q.value(0).toString().toLower(), {q.value(1).toString(), q.value(2).toInt()});
            if (q.value(2).toInt() > 0)
                ++keyColumns;
        }
    }
    QStringList problems;
    if (present.isEmpty())
        return problems;
    for (qsizetype i = 0; i < table.columns.size(); ++i) {
        const TColumnDef &c = table.columns.at(i);
        const auto it = present.constFind(c.name.toLower());
        if (it == present.cend()) {
            problems << QStringLiteral("Table %1 has no column %2").arg(table.fileName, c.name);
            continue;
        }
        const Affinity a = affinityOf(it->type);
        const QString declared = it->type.isEmpty() ? QStringLiteral("no type") : it->type;
        QString cannot;
        switch (c.type) {
        case TFieldType::AutoInc:
            // The engine finds a record again by it, and SQLite reports
            // changes by it: it must be the row's own key.
            if (i == 0 && (it->type.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) != 0 || it->pk != 1 ||
                           keyColumns != 1))
                problems << QStringLiteral("Column %1 of table %2 must be its INTEGER PRIMARY KEY (declared %3)")
                                .arg(c.name, table.fileName, declared);
            else if (a == Affinity::Text)
                cannot = QStringLiteral("a whole number");
            break;
        case TFieldType::Integer:
            if (a == Affinity::Text)
                cannot = QStringLiteral("a whole number");
            break;
        case TFieldType::Float:
            if (a == Affinity::Text)
                cannot = QStringLiteral("an amount");
            break;
        case TFieldType::String:
            if (a != Affinity::Text && a != Affinity::Blob)
                cannot = QStringLiteral("a text as it is typed");
            break;
        case TFieldType::Date:
            break;  // the program's own form of a date is kept as text by every affinity
        }
        if (!cannot.isEmpty())
            problems << QStringLiteral("Column %1 of table %2 is declared %3, which cannot hold %4")
                            .arg(c.name, table.fileName, declared, cannot);
    }
    return problems;
}

bool TEngineDatabase::isWritable() const
{
    if (m_pg)
        return m_pg->isWritable();
    return sqlite3_db_readonly(m_handle, "main") != 1 && QFileInfo(QFileInfo(m_file).absolutePath()).isWritable();
}

void TEngineDatabase::checkReadable()
{
    if (m_pg) {
        m_pg->command(QStringLiteral("SELECT 1"));
        return;
    }
    TSqlReader q(*this, QStringLiteral("SELECT count(*) FROM sqlite_master"), {});
    q.next();
}

QSqlQuery &TEngineDatabase::prepared(const QString &sql)
{
    auto it = m_prepared.find(sql);
    if (it == m_prepared.end()) {
        auto q = std::make_shared<QSqlQuery>(database());
        // A server's forward-only result keeps the connection busy until it
        // is read to its end: the engine's own reads share the connection.
        q->setForwardOnly(!m_pg);
        if (!q->prepare(sql))
            throw EDatabaseError(errorMessage(q->lastError()));
        it = m_prepared.insert(sql, q);
    }
    return **it;
}

void TEngineDatabase::exec(QSqlQuery &q, const QVariantList &params)
{
    for (qsizetype i = 0; i < params.size(); ++i)
        q.bindValue(int(i), params.at(i));
    if (!q.exec()) {
        const QString message = errorMessage(q.lastError());
        q.finish();
        throw EDatabaseError(message);
    }
}

QSqlQuery TEngineDatabase::run(const QString &sql, const QVariantList &params)
{
    QSqlQuery q(database());
    q.setForwardOnly(!m_pg);
    if (!q.prepare(sql))
        throw EDatabaseError(errorMessage(q.lastError()));
    exec(q, params);
    return q;
}

void TEngineDatabase::execRaw(const QString &sql)
{
    if (m_pg) {
        m_pg->command(sql);
        return;
    }
    QSqlQuery q(database());
    if (!q.exec(sql))
        throw EDatabaseError(messageFor(q.lastError()));
}

QString TEngineDatabase::errorMessage(const QSqlError &error) const
{
    return m_pg ? m_pg->messageFor(error.nativeErrorCode().toLatin1(),
                                   (error.databaseText().isEmpty() ? error.text() : error.databaseText()).trimmed())
                : messageFor(error);
}

void TEngineDatabase::startTransaction()
{
    Q_ASSERT(!m_explicitTransaction);
    // IMMEDIATE takes the write lock now, so a busy database is reported
    // before the first record is written rather than half way through. A
    // server locks each record as it is reread or written.
    execRaw(m_pg ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
    m_explicitTransaction = true;
}

void TEngineDatabase::commit()
{
    Q_ASSERT(m_explicitTransaction);
    execRaw(QStringLiteral("COMMIT"));
    m_explicitTransaction = false;
    ++m_generation;
}

void TEngineDatabase::rollback()
{
    if (!m_explicitTransaction)
        return;
    m_explicitTransaction = false;
    ++m_generation;
    if (m_pg) {
        // Nothing read inside the transaction is kept past it (the hook
        // tells this on SQLite).
        m_lastRollback = ++m_changes;
        try {
            m_pg->command(QStringLiteral("ROLLBACK"));
        } catch (const EDatabaseError &) {
            // A lost connection has no transaction left to undo.
        }
        return;
    }
    QSqlQuery q(database());
    q.exec(QStringLiteral("ROLLBACK"));
}

QSqlQuery &TEngineDatabase::write(const QString &sql, const QVariantList &params)
{
    QSqlQuery &q = prepared(sql);
    ++m_generation;
    // A single statement on a server is a transaction of its own.
    if (m_explicitTransaction || m_pg) {
        exec(q, params);
        return q;
    }
    execRaw(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        exec(q, params);
        execRaw(QStringLiteral("COMMIT"));
    } catch (...) {
        q.finish();
        QSqlQuery r(database());
        r.exec(QStringLiteral("ROLLBACK"));
        throw;
    }
    return q;
}

qint64 TEngineDatabase::insert(const QString &sql, const QVariantList &params, const QString &identityColumn)
{
    if (m_pg) {
        ++m_generation;
        auto rows = m_pg->query(sql + QStringLiteral(" RETURNING ") + EngineCatalog::quoted(identityColumn), params);
        return rows->next() ? rows->toInt64(0) : 0;
    }
    QSqlQuery &q = write(sql, params);
    const qint64 id = q.lastInsertId().toLongLong();
    q.finish();
    return id;
}

qint64 TEngineDatabase::change(const QString &sql, const QVariantList &params)
{
    if (m_pg) {
        ++m_generation;
        return m_pg->command(sql, params);
    }
    QSqlQuery &q = write(sql, params);
    const qint64 n = q.numRowsAffected();
    q.finish();
    return n;
}

QString TEngineDatabase::lockingClause() const
{
    return m_pg ? QStringLiteral(" FOR UPDATE") : QString();
}

quint64 TEngineDatabase::roundTrips() const
{
    return m_pg ? m_pg->roundTrips() : 0;
}

qint64 TEngineDatabase::identityHighWater(const TTableDef &table)
{
    if (m_pg)
        return m_pg->identityHighWater(table);
    // AUTOINCREMENT keeps the highest identity ever given in sqlite_sequence.
    TSqlReader q(*this,
                 QStringLiteral("SELECT max(coalesce((SELECT seq FROM sqlite_sequence WHERE name = ?), 0),"
                                " coalesce((SELECT max(%1) FROM %2), 0))")
                     .arg(EngineCatalog::quoted(table.identityColumn()), EngineCatalog::quoted(table.name)),
                 {table.name});
    return q.next() ? q.toInt64(0) : 0;
}

void TEngineDatabase::raiseIdentity(const TTableDef &table, qint64 atLeast)
{
    if (m_pg) {
        m_pg->raiseIdentity(table, atLeast);
        return;
    }
    if (atLeast <= identityHighWater(table))
        return;
    const QVariantList params = {atLeast, table.name};
    if (write(QStringLiteral("UPDATE sqlite_sequence SET seq = ? WHERE name = ?"), params).numRowsAffected() == 0)
        write(QStringLiteral("INSERT INTO sqlite_sequence (seq, name) VALUES (?, ?)"), params).finish();
}

QList<QByteArray> TEngineDatabase::tablesRead(const QString &sql) const
{
    return m_pg ? m_pg->tablesRead(sql) : m_statementTables.value(sql);
}

sqlite3_stmt *TEngineDatabase::readStatement(const QString &sql)
{
    auto it = m_readStatements.constFind(sql);
    if (it != m_readStatements.cend())
        return *it;
    sqlite3_stmt *st = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    // SQLite names every table the statement reads while preparing it (with
    // an empty column name for one it only counts).
    QList<QByteArray> tables;
    sqlite3_set_authorizer(
        m_handle,
        [](void *into, int action, const char *table, const char *, const char *, const char *) {
            if (action == SQLITE_READ && table) {
                auto *list = static_cast<QList<QByteArray> *>(into);
                const QByteArray name = QByteArray(table).toLower();
                if (!list->contains(name))
                    list->append(name);
            }
            return SQLITE_OK;
        },
        &tables);
    const int rc = sqlite3_prepare_v3(m_handle, utf8.constData(), int(utf8.size()), SQLITE_PREPARE_PERSISTENT, &st,
                                      nullptr);
    sqlite3_set_authorizer(m_handle, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(st);
        throw EDatabaseError(messageFor(sqlite3_extended_errcode(m_handle), QString::fromUtf8(sqlite3_errmsg(m_handle))));
    }
    m_readStatements.insert(sql, st);
    m_statementTables.insert(sql, tables);
    return st;
}

void TEngineDatabase::rowChanged(void *self, int, const char *, const char *table, qint64)
{
    auto *db = static_cast<TEngineDatabase *>(self);
    db->m_lastChange.insert(QByteArray(table).toLower(), ++db->m_changes);
}

// A rollback undoes changes without naming them, and a result read inside
// the transaction may hold them: nothing read before it is kept.
void TEngineDatabase::rolledBack(void *self)
{
    auto *db = static_cast<TEngineDatabase *>(self);
    db->m_lastRollback = ++db->m_changes;
}

qint64 TEngineDatabase::externalVersion()
{
    TSqlReader q(*this, QStringLiteral("PRAGMA data_version"), {});
    return q.next() ? q.toInt64(0) : -1;
}

TEngineDatabase::TReadStamp TEngineDatabase::readStamp()
{
    if (m_pg)
        return {m_changes, 0, m_pg->changeStamps()};
    return {m_changes, externalVersion(), {}};
}

bool TEngineDatabase::unchangedSince(const QString &sql, const TReadStamp &stamp)
{
    if (m_pg) {
        if (stamp.external < 0 || m_lastRollback > stamp.changes)
            return false;
        const QList<QByteArray> tables = m_pg->tablesRead(sql);
        if (tables.isEmpty())
            return false;
        const QList<qint64> now = m_pg->changeStamps();
        const QList<TTableDef> &catalog = EngineCatalog::tables();
        for (qsizetype i = 0; i < catalog.size(); ++i) {
            if (!tables.contains(catalog.at(i).name.toLower().toUtf8()))
                continue;
            if (i >= stamp.tableStamps.size() || stamp.tableStamps.at(i) < 0 || now.at(i) != stamp.tableStamps.at(i))
                return false;
        }
        return true;
    }
    const auto tables = m_statementTables.constFind(sql);
    if (tables == m_statementTables.cend() || stamp.external < 0 || m_lastRollback > stamp.changes ||
        externalVersion() != stamp.external)
        return false;
    for (const QByteArray &t : *tables)
        if (m_lastChange.value(t, 0) > stamp.changes)
            return false;
    return true;
}

TEngineDatabase::KeptResult *TEngineDatabase::findKept(const QString &sql, const QVariantList &params)
{
    auto it = m_kept.find(sql);
    if (it == m_kept.end())
        return nullptr;
    for (qsizetype i = 0; i < it->size(); ++i) {
        if (it->at(i).params != params)
            continue;
        if (unchangedSince(sql, it->at(i).stamp)) {
            KeptResult &k = (*it)[i];
            k.lastUse = ++m_keptUses;
            return &k;
        }
        it->removeAt(i);
        --m_keptCount;
        return nullptr;
    }
    return nullptr;
}

const QList<TRecordData> *TEngineDatabase::keptResult(const QString &sql, const QVariantList &params)
{
    const KeptResult *k = findKept(sql, params);
    return k && k->complete ? &k->rows : nullptr;
}

const QList<TRecordData> *TEngineDatabase::keptFirstRows(const QString &sql, const QVariantList &params,
                                                         TReadStamp *stamp)
{
    const KeptResult *k = findKept(sql, params);
    if (!k || k->complete)
        return nullptr;
    *stamp = k->stamp;
    return &k->rows;
}

int TEngineDatabase::keptCount(const QString &sql, const QVariantList &params)
{
    if (const QList<TRecordData> *kept = keptResult(sql, params))
        return int(kept->constFirst().identity);
    const TReadStamp stamp = readStamp();
    TSqlReader q(*this, sql, params);
    TRecordData counted;
    counted.identity = q.next() ? q.toInt64(0) : 0;
    keepResult(sql, params, stamp, {counted});
    return int(counted.identity);
}

void TEngineDatabase::keepResult(const QString &sql, const QVariantList &params, const TReadStamp &stamp,
                                 const QList<TRecordData> &rows)
{
    keep(sql, params, stamp, rows, true);
}

void TEngineDatabase::keepFirstRows(const QString &sql, const QVariantList &params, const TReadStamp &stamp,
                                    const QList<TRecordData> &rows)
{
    keep(sql, params, stamp, rows, false);
}

void TEngineDatabase::keep(const QString &sql, const QVariantList &params, const TReadStamp &stamp,
                           const QList<TRecordData> &rows, bool complete)
{
    if (rows.size() > MaxKeptRows || !unchangedSince(sql, stamp))
        return;
    QList<KeptResult> &same = m_kept[sql];
    for (qsizetype i = 0; i < same.size(); ++i) {
        if (same.at(i).params == params) {
            same[i] = {params, stamp, rows, ++m_keptUses, complete};
            return;
        }
    }
    // A handful of periods and accounts is what a session goes back to; the
    // result used longest ago makes room (never all at once: the balances,
    // the dearest of them, are asked for at every refresh).
    if (m_keptCount >= MaxKeptResults) {
        auto oldest = m_kept.end();
        qsizetype oldestAt = -1;
        for (auto k = m_kept.begin(); k != m_kept.end(); ++k)
            for (qsizetype i = 0; i < k->size(); ++i)
                if (oldestAt < 0 || k->at(i).lastUse < oldest->at(oldestAt).lastUse) {
                    oldest = k;
                    oldestAt = i;
                }
        oldest->removeAt(oldestAt);
        --m_keptCount;
    }
    m_kept[sql].append({params, stamp, rows, ++m_keptUses, complete});
    ++m_keptCount;
}

bool TEngineDatabase::hasOtherDateForms(const TTableDef &table, const QString &column,
                                       const QList<TTextRange> &ranges)
{
    // A server's DATE column holds days and nothing else.
    if (m_pg)
        return false;
    QString key = table.name + QLatin1Char('\n') + column;
    for (const TTextRange &r : ranges)
        key += QLatin1Char('\n') + r.from + QLatin1Char('\t') + r.to;
    if (auto it = m_dateForms.constFind(key); it != m_dateForms.cend()) {
        const DateFormsVerdict &v = *it;
        const bool sameBooks = v.stamp.external >= 0 && m_lastRollback <= v.stamp.changes &&
                               externalVersion() == v.stamp.external;
        // Where other forms were found, a change of ours may have replaced
        // the last of them.
        if (sameBooks && (!v.otherForms || m_lastChange.value(table.name.toLower().toUtf8(), 0) <= v.stamp.changes))
            return v.otherForms;
    }
    const TReadStamp stamp = readStamp();
    const QString t = EngineCatalog::quoted(table.name);
    const QString c = EngineCatalog::quoted(column);
    // The recursion visits each distinct value once, from one index step to
    // the next, and a value is in another form when ard_day() does not give
    // it back unchanged.
    auto found = [&](const QString &firstStep, const QString &nextStep, const QVariantList &params) {
        const QString sql = QStringLiteral("WITH RECURSIVE d(v) AS (SELECT (SELECT min(%1) FROM %2 WHERE %3)"
                                           " UNION ALL SELECT (SELECT min(%1) FROM %2 WHERE %4) FROM d WHERE d.v IS NOT NULL)"
                                           " SELECT 1 FROM d WHERE d.v IS NOT NULL AND ard_day(d.v) IS NOT d.v LIMIT 1")
                                .arg(c, t, firstStep, nextStep);
        TSqlReader q(*this, sql, params);
        return q.next();
    };
    bool other = false;
    if (ranges.isEmpty()) {
        other = found(c + QStringLiteral(" IS NOT NULL"), c + QStringLiteral(" > d.v"), {});
    } else {
        for (const TTextRange &r : ranges) {
            if (found(QStringLiteral("%1 >= ?1 AND %1 < ?2").arg(c), QStringLiteral("%1 > d.v AND %1 < ?2").arg(c),
                      {r.from, r.to})) {
                other = true;
                break;
            }
        }
    }
    if (m_dateForms.size() > 256)
        m_dateForms.clear();
    m_dateForms.insert(key, {other, stamp});
    return other;
}

// The stretches of stored text in which a value naming a day from `from` to
// `to` can stand: the program's own forms of those days with anything after
// them ("2026-12-10 08:30"), a one-digit day in the first and last months
// ("2026-12-1"), and a one-digit month ("2026-1-5", which sorts after
// "2026-12-31"). Where a value naming a day in the range stands outside
// [from, to] as plain text, it stands in one of these. Empty for a span of
// more years than is worth looking through in parts.
QList<TEngineDatabase::TTextRange> TEngineDatabase::textRangesFor(const QDate &from, const QDate &to)
{
    if (!StoredDate::isStorable(from) || !StoredDate::isStorable(to) || to.year() - from.year() > 2)
        return {};
    const auto monthText = [](int y, int m, int digits) {
        return QStringLiteral("%1-%2-").arg(y, 4, 10, QLatin1Char('0')).arg(m, digits, 10, QLatin1Char('0'));
    };
    // Every text that starts with `prefix`: "-" is followed by ".".
    const auto startingWith = [](const QString &prefix) {
        QString end = prefix;
        end.back() = QLatin1Char('.');
        return TEngineDatabase::TTextRange{prefix, end};
    };
    QList<TEngineDatabase::TTextRange> ranges;
    ranges.append({StoredDate::canonical(from), to.year() < 9999 || to.dayOfYear() < to.daysInYear()
                                                   ? StoredDate::canonical(to.addDays(1))
                                                   : QStringLiteral("9999-12-32")});
    ranges.append(startingWith(monthText(from.year(), from.month(), 2)));
    if (to.year() != from.year() || to.month() != from.month())
        ranges.append(startingWith(monthText(to.year(), to.month(), 2)));
    for (int y = from.year(); y <= to.year(); ++y) {
        for (int m = 1; m <= 9; ++m) {
            const QDate first(y, m, 1);
            if (first.addMonths(1) > from && first <= to)
                ranges.append(startingWith(monthText(y, m, 1)));
        }
    }
    return ranges;
}

QString TEngineDatabase::unfitCondition(const TColumnDef &column) const
{
    return m_pg ? TPgBackend::unfitCondition(column) : sqliteUnfitCondition(column);
}

QString TEngineDatabase::sqliteUnfitCondition(const TColumnDef &column)
{
    const QString c = EngineCatalog::quoted(column.name);
    switch (column.type) {
    case TFieldType::Float:
        return QStringLiteral("(%1 IS NOT NULL AND NOT (typeof(%1) IN ('integer', 'real') AND abs(%1) < 1e15))").arg(c);
    case TFieldType::Integer:
    case TFieldType::AutoInc:
        return QStringLiteral("(%1 IS NOT NULL AND NOT (typeof(%1) IN ('integer', 'real') AND %1 = round(%1)"
                              " AND %1 BETWEEN -2147483648 AND 2147483647))")
            .arg(c);
    case TFieldType::String:
        return QStringLiteral("(typeof(%1) = 'blob')").arg(c);
    case TFieldType::Date:
        break;
    }
    return QStringLiteral("0");
}

QString TEngineDatabase::firstUnfitValueMessage(const TTableDef &table, int column, qint64 fromIdentity)
{
    const TColumnDef &c = table.columns.at(column);
    const QString identity = EngineCatalog::quoted(table.identityColumn());
    TSqlReader q(*this,
                 QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 >= ? AND %4 ORDER BY %1 LIMIT 1")
                     .arg(identity, EngineCatalog::quoted(c.name), EngineCatalog::quoted(table.name),
                          unfitCondition(c)),
                 {fromIdentity});
    if (!q.next())
        return {};
    const qint64 record = q.toInt64(0);
    const QString stored = q.storedText(1);
    return badValueMessage(table, column, record, stored);
}

QString TEngineDatabase::badValueMessage(const TTableDef &table, int column, qint64 identity, const QString &stored)
{
    const TColumnDef &c = table.columns.at(column);
    QString record = QStringLiteral("record %1").arg(identity);
    if (!table.identityIsField) {
        // The user knows a sale or a purchase by its invoice number.
        const TColumnDef *invoice = table.column(QStringLiteral("Id"));
        if (invoice && invoice != &c) {
            TSqlReader q(*this,
                         QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                             .arg(EngineCatalog::quoted(invoice->name), EngineCatalog::quoted(table.name),
                                  EngineCatalog::quoted(table.identityColumn())),
                         {identity});
            const QVariant id = q.next() ? q.value(0, TFieldType::Integer) : QVariant();
            record = id.isValid() ? QStringLiteral("invoice %1").arg(id.toInt())
                                  : QStringLiteral("stored record %1").arg(identity);
        } else {
            record = QStringLiteral("stored record %1").arg(identity);
        }
    }
    QString what;
    switch (c.type) {
    case TFieldType::Float:
        what = stored.startsWith(QLatin1Char('\'')) || stored.startsWith(QLatin1String("a binary"))
                   ? QStringLiteral("which is not a number")
                   : QStringLiteral("which is not an amount the program accepts (amounts stay below 1E15)");
        break;
    case TFieldType::Integer:
    case TFieldType::AutoInc:
        what = QStringLiteral("which is not a whole number of 32 bits");
        break;
    case TFieldType::String:
    case TFieldType::Date:
        what = QStringLiteral("which is not text");
        break;
    }
    return QStringLiteral("%1, %2: the field %3 holds %4, %5").arg(table.fileName, record, c.name, stored, what);
}

QString TEngineDatabase::messageFor(int code, const QString &text)
{
    return messageFor(QSqlError(QString(), text, QSqlError::StatementError, QString::number(code)));
}

QString TEngineDatabase::messageFor(const QSqlError &error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    const QString code = error.nativeErrorCode();
    // SQLite's primary code 19 is a constraint; its extended 2067 and 1555
    // are a unique or primary key that already holds the value.
    if (text.contains(QLatin1String("UNIQUE constraint failed"), Qt::CaseInsensitive) || code == QLatin1String("2067") ||
        code == QLatin1String("1555"))
        return QStringLiteral("Key violation: another record already has this key (%1)").arg(text);
    if (code == QLatin1String("5") || text.contains(QLatin1String("database is locked"), Qt::CaseInsensitive))
        return QStringLiteral("The database is locked by another program; try again later");
    // A write that cannot create its rollback journal (14, "unable to open
    // database file") meets a folder that cannot be written to.
    if (code == QLatin1String("8") || code == QLatin1String("14") ||
        text.contains(QLatin1String("readonly"), Qt::CaseInsensitive))
        return QStringLiteral("The database cannot be written: it or its folder is read-only");
    // A table another program dropped while this one runs: named as the
    // program opens it, the way opening names a missing table.
    static const QLatin1String noSuchTable("no such table: ");
    if (text.startsWith(noSuchTable)) {
        const QString name = text.mid(noSuchTable.size()).trimmed();
        const TTableDef *table = EngineCatalog::find(name);
        return QStringLiteral("Table does not exist: %1").arg(table ? table->fileName : name);
    }
    return text.trimmed();
}
