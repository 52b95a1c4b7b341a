#include "PgBackend.h"

#include "EDatabaseError.h"
#include "EngineConfig.h"
#include "FieldText.h"
#include "FormatSettings.h"
#include "RecordValues.h"
#include "StoredDate.h"

#include <QDate>
#include <QTimer>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <QVarLengthArray>
#include <cmath>
#include <cstdlib>
#include <libpq-fe.h>
#include <limits>

namespace {

// How long a server may take: to accept a connection, to run one statement,
// to let a lock go. Past them the user gets a message, never a frozen window.
constexpr int ConnectTimeoutS = 5;
constexpr int StatementTimeoutMs = 60000;
constexpr int LockTimeoutMs = 5000;  // as long as a busy SQLite file is waited for
// How long change stamps read once serve every check of a step.
constexpr qint64 StampsLifeMs = 500;

// PostgreSQL's type identities (pg_type.oid) that the books use.
constexpr Oid Int2Oid = 21, Int4Oid = 23, Int8Oid = 20, Float4Oid = 700, Float8Oid = 701, NumericOid = 1700,
              DateOid = 1082, VarcharOid = 1043, TextOid = 25, BpcharOid = 1042;

// The statement with libpq's numbered markers for the engine's "?" and "?N",
// leaving quoted text and names alone.
QString numberedMarkers(const QString &sql)
{
    QString out;
    out.reserve(sql.size() + 16);
    int next = 0;
    QChar quote;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            out += c;
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            out += c;
            continue;
        }
        if (c != QLatin1Char('?')) {
            out += c;
            continue;
        }
        qsizetype j = i + 1;
        while (j < sql.size() && sql.at(j).isDigit())
            ++j;
        out += QLatin1Char('$');
        if (j > i + 1) {
            out += sql.mid(i + 1, j - i - 1);
            i = j - 1;
        } else {
            out += QString::number(++next);
        }
    }
    return out;
}

QByteArray textOf(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Bool:
        return v.toBool() ? "1" : "0";
    case QMetaType::Double: {
        const double d = v.toDouble();
        if (std::isnan(d))
            return "NaN";
        if (std::isinf(d))
            return d > 0 ? "Infinity" : "-Infinity";
        return QByteArray::number(d, 'g', QLocale::FloatingPointShortest);
    }
    case QMetaType::QDate:
        return v.toDate().toString(Qt::ISODate).toLatin1();
    default:
        return v.toString().toUtf8();
    }
}

QString quotedText(const QString &s)
{
    QString t = s;
    t.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + t + QLatin1Char('\'');
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// A table's change stamp is kept under its name, by a trigger named after it.
QString triggerName(const TTableDef &t)
{
    return t.name.toLower() + QStringLiteral("_changed");
}

} // namespace

// ---- rows ----------------------------------------------------------------

TPgRows::TPgRows(pg_result *result, const TPgBackend &backend, const QString &sql)
    : m_result(result), m_backend(backend), m_sql(sql), m_rows(PQntuples(result))
{
}

TPgRows::~TPgRows()
{
    PQclear(m_result);
}

bool TPgRows::next()
{
    if (m_row >= m_rows)
        return false;
    return ++m_row < m_rows;
}

int TPgRows::columnCount() const
{
    return PQnfields(m_result);
}

QString TPgRows::columnName(int column) const
{
    const QString origin = originColumn(column);
    const QByteArray name = PQfname(m_result, column);
    if (!origin.isEmpty() && origin.compare(QString::fromUtf8(name), Qt::CaseInsensitive) == 0)
        return origin;
    return m_backend.spelledAsWritten(m_sql, name);
}

TFieldType TPgRows::columnType(int column, int *size) const
{
    if (size)
        *size = 0;
    // As on SQLite, only a column read straight from a table has a type of
    // its own; anything computed counts as a number.
    if (PQftable(m_result, column) == InvalidOid)
        return TFieldType::Float;
    switch (PQftype(m_result, column)) {
    case Int2Oid:
    case Int4Oid:
    case Int8Oid:
        return TFieldType::Integer;
    case DateOid:
        return TFieldType::Date;
    case VarcharOid:
    case TextOid:
    case BpcharOid: {
        const int mod = PQfmod(m_result, column);
        if (size)
            *size = mod > 4 ? mod - 4 : 255;
        return TFieldType::String;
    }
    default:
        return TFieldType::Float;
    }
}

bool TPgRows::isNull(int column) const
{
    return PQgetisnull(m_result, m_row, column) != 0;
}

qint64 TPgRows::toInt64(int column) const
{
    return std::strtoll(PQgetvalue(m_result, m_row, column), nullptr, 10);
}

bool TPgRows::read(int column, TFieldType type, TRecordValues &into, int slot) const
{
    if (PQgetisnull(m_result, m_row, column)) {
        into.setNull(slot);
        return true;
    }
    const char *text = PQgetvalue(m_result, m_row, column);
    const int bytes = PQgetlength(m_result, m_row, column);
    const Oid stored = PQftype(m_result, column);
    const bool number = stored == Int2Oid || stored == Int4Oid || stored == Int8Oid || stored == Float4Oid ||
                        stored == Float8Oid || stored == NumericOid;
    switch (type) {
    case TFieldType::Float: {
        if (!number)
            break;
        char *end = nullptr;
        const double v = std::strtod(text, &end);
        if (end != text + bytes || !FieldText::fitsAmount(v))
            break;
        into.setDouble(slot, v);
        return true;
    }
    case TFieldType::Integer:
    case TFieldType::AutoInc: {
        if (!number)
            break;
        char *end = nullptr;
        const double v = std::strtod(text, &end);
        if (end != text + bytes || !(v >= -2147483648.0 && v <= 2147483647.0) || v != std::trunc(v))
            break;
        into.setInt(slot, qint64(v));
        return true;
    }
    case TFieldType::Date:
        if (stored == DateOid || stored == TextOid || stored == VarcharOid)
            into.setDate(slot, StoredDate::day(text, bytes));  // 'infinity' or a day BC names no day
        else
            into.setNull(slot);
        return true;
    case TFieldType::String:
        if (stored == 17)  // bytea
            break;
        into.setText(slot, text, bytes);
        return true;
    }
    into.setNull(slot);
    return false;
}

QString TPgRows::storedText(int column) const
{
    if (PQgetisnull(m_result, m_row, column))
        return QStringLiteral("null");
    const QString text = QString::fromUtf8(PQgetvalue(m_result, m_row, column), PQgetlength(m_result, m_row, column));
    switch (PQftype(m_result, column)) {
    case Int2Oid:
    case Int4Oid:
    case Int8Oid:
        return text;
    case Float4Oid:
    case Float8Oid:
    case NumericOid: {
        bool ok = false;
        const double d = text.toDouble(&ok);
        return ok ? FieldText::formatGeneral(d, TFormatSettings()) : text;
    }
    default:
        return quotedText(text.size() > 40 ? text.left(40) + QStringLiteral("...") : text);
    }
}

QString TPgRows::originTable(int column) const
{
    return m_backend.tableNameOf(PQftable(m_result, column));
}

QString TPgRows::originColumn(int column) const
{
    return m_backend.columnNameOf(PQftable(m_result, column), PQftablecol(m_result, column));
}

// ---- the connection ------------------------------------------------------

QSqlDatabase TPgBackend::addConnection(const QString &address, const QString &connection)
{
    const QUrl url(address);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
    db.setHostName(url.host());
    if (url.port() > 0)
        db.setPort(url.port());
    db.setUserName(url.userName());
    db.setDatabaseName(url.path().mid(1));
    QStringList options;
    for (const auto &[key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
        options << key + QLatin1Char('=') + value;
    db.setConnectOptions(options.join(QLatin1Char(';')));
    return db;
}

QString TPgBackend::displayAddress(const QString &address)
{
    return QUrl(address).toDisplayString(QUrl::RemovePassword | QUrl::RemoveQuery);
}

std::unique_ptr<TPgBackend> TPgBackend::connect(const QString &address, const QString &connection)
{
    EngineConfig::checkServerAddress(address);
    std::unique_ptr<TPgBackend> b(new TPgBackend());
    b->m_connection = connection;
    b->m_location = displayAddress(address);

    QSqlDatabase db = addConnection(address, connection);
    if (!db.isValid()) {
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection);
        throw EDatabaseError(QStringLiteral("Cannot connect to the database server %1: Qt's PostgreSQL driver "
                                            "(QPSQL) is not installed")
                                 .arg(b->m_location));
    }
    QStringList options;
    if (!db.connectOptions().isEmpty())
        options << db.connectOptions();
    if (!db.connectOptions().contains(QLatin1String("connect_timeout=")))
        options << QStringLiteral("connect_timeout=%1").arg(ConnectTimeoutS);
    // A server that vanishes without closing the connection (a cable
    // pulled) is noticed within half a minute rather than never.
    options << QStringLiteral("keepalives_idle=10") << QStringLiteral("keepalives_interval=5")
            << QStringLiteral("keepalives_count=3") << QStringLiteral("tcp_user_timeout=30000")
            << QStringLiteral("application_name=Ardentry");
    db.setConnectOptions(options.join(QLatin1Char(';')));
    if (!db.open()) {
        const QString error = db.lastError().databaseText().trimmed().isEmpty() ? db.lastError().text()
                                                                                 : db.lastError().databaseText();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection);
        throw EDatabaseError(QStringLiteral("Cannot connect to the database server %1: %2")
                                 .arg(b->m_location, error.simplified()));
    }
    const QVariant h = db.driver()->handle();
    if (h.isValid() && (qstrcmp(h.typeName(), "PGconn*") == 0 || qstrcmp(h.typeName(), "pg_conn*") == 0))
        b->m_conn = *static_cast<pg_conn *const *>(h.constData());
    if (!b->m_conn)
        throw EDatabaseError(QStringLiteral("Cannot connect to the database server %1: no connection handle (%2)")
                                 .arg(b->m_location, QString::fromLatin1(h.typeName())));
    b->setUpSession();
    b->learnCatalog();
    return b;
}

QStringList TPgBackend::sessionSettings()
{
    return {QStringLiteral("SET statement_timeout = %1").arg(StatementTimeoutMs),
            QStringLiteral("SET lock_timeout = %1").arg(LockTimeoutMs),
            QStringLiteral("SET idle_in_transaction_session_timeout = %1").arg(StatementTimeoutMs),
            QStringLiteral("SET DateStyle = 'ISO, YMD'"), QStringLiteral("SET client_encoding = 'UTF8'")};
}

void TPgBackend::setUpSession()
{
    for (const QString &s : sessionSettings())
        command(s);
}

// A connection the server dropped (a restart, a network fault) has already
// been reported by the statement that met it; the next statement connects
// again, unless a transaction was open: what it held is gone, and only its
// end may say so.
void TPgBackend::reconnectIfLost()
{
    if (!m_conn)
        throw EDatabaseError(messageFor("08003", QStringLiteral("no connection to the server")));
    if (PQstatus(m_conn) == CONNECTION_OK || m_inTransaction)
        return;
    PQreset(m_conn);
    if (PQstatus(m_conn) != CONNECTION_OK)
        throw EDatabaseError(messageFor("08006", QString::fromUtf8(PQerrorMessage(m_conn))));
    m_statements.clear();
    setUpSession();
}

TPgBackend::~TPgBackend()
{
    m_conn = nullptr;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

QSqlDatabase TPgBackend::database() const
{
    return QSqlDatabase::database(m_connection, false);
}

void TPgBackend::learnCatalog()
{
    QStringList names;
    for (const TTableDef &t : EngineCatalog::tables())
        names << t.name.toLower();
    auto rows = query(QStringLiteral("SELECT c.oid, c.relname, a.attnum, a.attname FROM pg_class c"
                                     " JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped"
                                     " WHERE c.oid = ANY (ARRAY(SELECT to_regclass(quote_ident(n))"
                                     " FROM unnest(string_to_array(?, ',')) AS n))"),
                      {names.join(QLatin1Char(','))});
    while (rows->next()) {
        const unsigned int oid = unsigned(rows->toInt64(0));
        TRecordValues v;
        v.resize(2);
        rows->read(1, TFieldType::String, v, 0);
        rows->read(3, TFieldType::String, v, 1);
        const TTableDef *t = EngineCatalog::find(v.value(0).toString());
        if (!t)
            continue;
        m_tables.insert(oid, t->name);
        const TColumnDef *c = t->column(v.value(1).toString());
        m_columns.insert(quint64(oid) << 16 | quint64(rows->toInt64(2)), c ? c->name : v.value(1).toString());
    }
}

QString TPgBackend::tableNameOf(unsigned int oid) const
{
    return m_tables.value(oid);
}

QString TPgBackend::columnNameOf(unsigned int oid, int attnum) const
{
    return attnum > 0 ? m_columns.value(quint64(oid) << 16 | quint64(attnum)) : QString();
}

QString TPgBackend::spelledAsWritten(const QString &sql, const QByteArray &name) const
{
    const QString n = QString::fromUtf8(name);
    for (const TTableDef &t : EngineCatalog::tables())
        if (const TColumnDef *c = t.column(n))
            return c->name;
    for (qsizetype at = sql.indexOf(n, 0, Qt::CaseInsensitive); at >= 0;
         at = sql.indexOf(n, at + 1, Qt::CaseInsensitive)) {
        const qsizetype end = at + n.size();
        if ((at == 0 || !isWordChar(sql.at(at - 1))) && (end >= sql.size() || !isWordChar(sql.at(end))))
            return sql.mid(at, n.size());
    }
    return n;
}

pg_result *TPgBackend::execute(const QString &sql, const QVariantList &params)
{
    auto failure = [this](pg_result *r) {
        const QByteArray state = r ? QByteArray(PQresultErrorField(r, PG_DIAG_SQLSTATE)) : QByteArray();
        QString text = r ? QString::fromUtf8(PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY)) : QString();
        if (text.isEmpty())
            text = QString::fromUtf8(PQerrorMessage(m_conn)).simplified();
        PQclear(r);
        return EDatabaseError(messageFor(state, text));
    };
    reconnectIfLost();
    auto name = m_statements.constFind(sql);
    if (name == m_statements.cend()) {
        const QByteArray id = "ard_" + QByteArray::number(m_statements.size() + 1);
        ++m_roundTrips;
        pg_result *r = PQprepare(m_conn, id.constData(), numberedMarkers(sql).toUtf8().constData(), 0, nullptr);
        if (!r || PQresultStatus(r) != PGRES_COMMAND_OK)
            throw failure(r);
        PQclear(r);
        name = m_statements.insert(sql, id);
    }
    QList<QByteArray> texts;
    texts.reserve(params.size());
    QVarLengthArray<const char *, 16> values;
    for (const QVariant &v : params) {
        if (!v.isValid() || v.isNull()) {
            texts.append(QByteArray());
            values.append(nullptr);
        } else {
            texts.append(textOf(v));
            values.append(texts.constLast().constData());
        }
    }
    if (!sql.startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive))
        m_stampsRead.invalidate();
    ++m_roundTrips;
    pg_result *r = PQexecPrepared(m_conn, name->constData(), int(values.size()), values.constData(), nullptr,
                                  nullptr, 0);
    const ExecStatusType status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
        throw failure(r);
    return r;
}

std::unique_ptr<TPgRows> TPgBackend::query(const QString &sql, const QVariantList &params)
{
    return std::make_unique<TPgRows>(execute(sql, params), *this, sql);
}

qint64 TPgBackend::command(const QString &sql, const QVariantList &params)
{
    if (params.isEmpty() && !sql.contains(QLatin1Char('?'))) {
        // Set-up and transaction control: not worth a prepared statement.
        const bool ending = sql == QLatin1String("COMMIT") || sql == QLatin1String("ROLLBACK");
        if (ending && m_inTransaction && PQstatus(m_conn) != CONNECTION_OK) {
            m_inTransaction = false;
            throw EDatabaseError(messageFor("08006", QStringLiteral("the transaction was not stored")));
        }
        reconnectIfLost();
        m_stampsRead.invalidate();
        ++m_roundTrips;
        pg_result *r = PQexec(m_conn, sql.toUtf8().constData());
        if (ending)
            m_inTransaction = false;
        const ExecStatusType status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
        if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
            const QByteArray state = r ? QByteArray(PQresultErrorField(r, PG_DIAG_SQLSTATE)) : QByteArray();
            QString text = r ? QString::fromUtf8(PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY)) : QString();
            if (text.isEmpty())
                text = QString::fromUtf8(PQerrorMessage(m_conn)).simplified();
            PQclear(r);
            throw EDatabaseError(messageFor(state, text));
        }
        const qint64 n = QByteArray(PQcmdTuples(r)).toLongLong();
        PQclear(r);
        if (sql == QLatin1String("BEGIN"))
            m_inTransaction = true;
        return n;
    }
    pg_result *r = execute(sql, params);
    const qint64 n = QByteArray(PQcmdTuples(r)).toLongLong();
    PQclear(r);
    return n;
}

QList<QByteArray> TPgBackend::tablesRead(const QString &sql)
{
    auto it = m_statementTables.constFind(sql);
    if (it != m_statementTables.cend())
        return *it;
    QList<QByteArray> tables;
    for (const TTableDef &t : EngineCatalog::tables()) {
        const QString n = t.name;
        for (qsizetype at = sql.indexOf(n, 0, Qt::CaseInsensitive); at >= 0;
             at = sql.indexOf(n, at + 1, Qt::CaseInsensitive)) {
            const qsizetype end = at + n.size();
            if ((at == 0 || !isWordChar(sql.at(at - 1))) && (end >= sql.size() || !isWordChar(sql.at(end)))) {
                tables.append(n.toLower().toUtf8());
                break;
            }
        }
    }
    m_statementTables.insert(sql, tables);
    return tables;
}

QList<qint64> TPgBackend::changeStamps()
{
    // Asked for once per step of the user's: the stamps read stay in force
    // until the program waits for the user again (and never longer than a
    // moment), or until this desk writes. Another desk's post shows at the
    // next step, not half way through the painting of this one.
    if (m_stampsRead.isValid() && m_stampsRead.elapsed() < StampsLifeMs)
        return m_stamps;
    const QList<TTableDef> &tables = EngineCatalog::tables();
    QList<qint64> stamps(tables.size(), -1);
    // Only a stamp its trigger keeps counts: a table of another program's
    // making, or whose trigger was dropped, is read afresh every time.
    auto rows = query(QStringLiteral("SELECT s.name, s.version FROM ard_changes s"
                                     " WHERE to_regclass('ard_changes') IS NOT NULL AND EXISTS (SELECT 1 FROM pg_trigger g"
                                     " WHERE g.tgrelid = to_regclass(quote_ident(s.name))"
                                     " AND g.tgname = s.name || '_changed' AND g.tgenabled <> 'D')"),
                      {});
    while (rows->next()) {
        TRecordValues v;
        v.resize(1);
        rows->read(0, TFieldType::String, v, 0);
        for (qsizetype i = 0; i < tables.size(); ++i)
            if (tables.at(i).name.compare(v.value(0).toString(), Qt::CaseInsensitive) == 0)
                stamps[i] = rows->toInt64(1);
    }
    m_stamps = stamps;
    m_stampsRead.start();
    if (!m_turnEnd)
        m_turnEnd = std::make_unique<QObject>();
    QTimer::singleShot(0, m_turnEnd.get(), [this] { m_stampsRead.invalidate(); });
    return stamps;
}

bool TPgBackend::hasTable(const TTableDef &table)
{
    auto rows = query(QStringLiteral("SELECT CASE WHEN to_regclass(quote_ident(?)) IS NOT NULL THEN 1 ELSE 0 END"),
                      {table.name.toLower()});
    return rows->next() && rows->toInt64(0) != 0;
}

QStringList TPgBackend::schemaProblems(const TTableDef &table)
{
    struct Present
    {
        QString type;      // as declared
        QString typeName;  // the base type
        bool identity = false;
        bool key = false;
    };
    QHash<QString, Present> present;
    {
        auto rows = query(
            QStringLiteral(
                "SELECT a.attname, format_type(a.atttypid, a.atttypmod), t.typname,"
                " CASE WHEN a.attidentity <> '' OR pg_get_expr(d.adbin, d.adrelid) LIKE 'nextval(%' THEN 1 ELSE 0 END,"
                " CASE WHEN EXISTS (SELECT 1 FROM pg_index i WHERE i.indrelid = a.attrelid AND i.indisprimary"
                " AND i.indnatts = 1 AND i.indkey[0] = a.attnum) THEN 1 ELSE 0 END"
                " FROM pg_attribute a JOIN pg_type t ON t.oid = a.atttypid"
                " LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum"
                " WHERE a.attrelid = to_regclass(quote_ident(?)) AND a.attnum > 0 AND NOT a.attisdropped"),
            {table.name.toLower()});
        while (rows->next()) {
            TRecordValues v;
            v.resize(3);
            rows->read(0, TFieldType::String, v, 0);
            rows->read(1, TFieldType::String, v, 1);
            rows->read(2, TFieldType::String, v, 2);
            present.insert(v.value(0).toString().toLower(),
                           {v.value(1).toString(), v.value(2).toString(), rows->toInt64(3) != 0, rows->toInt64(4) != 0});
        }
    }
    QStringList problems;
    if (present.isEmpty())
        return problems;
    static const QStringList wholeTypes = {QStringLiteral("int2"), QStringLiteral("int4"), QStringLiteral("int8")};
    for (qsizetype i = 0; i < table.columns.size(); ++i) {
        const TColumnDef &c = table.columns.at(i);
        const auto it = present.constFind(c.name.toLower());
        if (it == present.cend()) {
            problems << QStringLiteral("Table %1 has no column %2").arg(table.fileName, c.name);
            continue;
        }
        const QString &t = it->typeName;
        const bool whole = wholeTypes.contains(t);
        QString cannot;
        switch (c.type) {
        case TFieldType::AutoInc:
            // The engine finds a record again by it: it must be the table's
            // key, and given by the server.
            if (!whole || !it->identity || !it->key)
                problems << QStringLiteral("Column %1 of table %2 must be its identity primary key (declared %3)")
                                .arg(c.name, table.fileName, it->type);
            break;
        case TFieldType::Integer:
            if (!whole && t != QLatin1String("numeric") && t != QLatin1String("float8"))
                cannot = QStringLiteral("a whole number");
            break;
        case TFieldType::Float:
            // real keeps 24 bits: it would round the amounts stored in it.
            if (!whole && t != QLatin1String("numeric") && t != QLatin1String("float8"))
                cannot = QStringLiteral("an amount");
            break;
        case TFieldType::String:
            // character pads what is stored with blanks.
            if (t != QLatin1String("varchar") && t != QLatin1String("text"))
                cannot = QStringLiteral("a text as it is typed");
            break;
        case TFieldType::Date:
            if (t != QLatin1String("date"))
                cannot = QStringLiteral("a date");
            break;
        }
        if (!cannot.isEmpty())
            problems << QStringLiteral("Column %1 of table %2 is declared %3, which cannot hold %4")
                            .arg(c.name, table.fileName, it->type, cannot);
    }
    return problems;
}

QString TPgBackend::unfitCondition(const TColumnDef &column)
{
    const QString c = EngineCatalog::quoted(column.name);
    switch (column.type) {
    case TFieldType::Float:
        // NaN is greater than every number, so it fails the bound too.
        return QStringLiteral("(%1 IS NOT NULL AND NOT (abs(%1) < 1e15))").arg(c);
    case TFieldType::Integer:
    case TFieldType::AutoInc:
        return QStringLiteral("(%1 IS NOT NULL AND NOT (%1 BETWEEN -2147483648 AND 2147483647 AND %1 = trunc(%1)))")
            .arg(c);
    case TFieldType::String:
    case TFieldType::Date:
        break;
    }
    return QStringLiteral("FALSE");
}

bool TPgBackend::isWritable()
{
    if (m_writable < 0) {
        QStringList names;
        for (const TTableDef &t : EngineCatalog::tables())
            names << t.name.toLower();
        auto rows = query(QStringLiteral("SELECT CASE WHEN current_setting('transaction_read_only') = 'off'"
                                         " AND NOT pg_is_in_recovery() AND coalesce(bool_and("
                                         "has_table_privilege(r, 'INSERT, UPDATE, DELETE')), TRUE) THEN 1 ELSE 0 END"
                                         " FROM (SELECT to_regclass(quote_ident(n)) AS r"
                                         " FROM unnest(string_to_array(?, ',')) AS n) AS t WHERE r IS NOT NULL"),
                          {names.join(QLatin1Char(','))});
        m_writable = rows->next() && rows->toInt64(0) != 0 ? 1 : 0;
    }
    return m_writable == 1;
}

qint64 TPgBackend::identityHighWater(const TTableDef &table)
{
    auto seq = query(QStringLiteral("SELECT pg_get_serial_sequence(?, ?)"),
                     {EngineCatalog::quoted(table.name), table.identityColumn().toLower()});
    TRecordValues v;
    v.resize(1);
    if (!seq->next() || seq->isNull(0))
        return 0;
    seq->read(0, TFieldType::String, v, 0);
    // The sequence's name is the server's, quoted as it needs.
    auto rows = query(QStringLiteral("SELECT CASE WHEN is_called THEN last_value ELSE 0 END FROM %1")
                          .arg(v.value(0).toString()),
                      {});
    return rows->next() ? rows->toInt64(0) : 0;
}

void TPgBackend::raiseIdentity(const TTableDef &table, qint64 atLeast)
{
    if (atLeast <= identityHighWater(table))
        return;
    query(QStringLiteral("SELECT setval(pg_get_serial_sequence(?, ?), ?, true)"),
          {EngineCatalog::quoted(table.name), table.identityColumn().toLower(), atLeast});
}

QString TPgBackend::messageFor(const QSqlError &error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    TPgBackend none;
    return none.messageFor(error.nativeErrorCode().toLatin1(), text.simplified());
}

QString TPgBackend::messageFor(const QByteArray &state, const QString &text) const
{
    if (state == "23505")
        return QStringLiteral("Key violation: another record already has this key (%1)").arg(text);
    if (state == "55P03" || state == "40P01" || state == "40001")
        return QStringLiteral("The database is locked by another program; try again later");
    if (state == "57014")
        return QStringLiteral("The database server %1 did not finish in time; try again later").arg(m_location);
    if (state == "25006" || state == "42501")
        return QStringLiteral("The database cannot be written: %1").arg(text);
    if (state == "42P01") {
        static const QRegularExpression relation(QStringLiteral("\"([^\"]+)\""));
        const QRegularExpressionMatch m = relation.match(text);
        const QString name = m.hasMatch() ? m.captured(1) : text;
        const TTableDef *table = EngineCatalog::find(name);
        return QStringLiteral("Table does not exist: %1").arg(table ? table->fileName : name);
    }
    if (state.startsWith("08") || state.startsWith("57P") || (state.isEmpty() && m_conn && PQstatus(m_conn) != CONNECTION_OK))
        return QStringLiteral("The connection to the database server %1 was lost: %2")
            .arg(m_location, text.simplified());
    return text.simplified();
}

// ---- creating books --------------------------------------------------------

QStringList TPgBackend::createStatements()
{
    using EngineCatalog::quoted;
    QStringList out;
    for (const TTableDef &t : EngineCatalog::tables()) {
        QStringList cols;
        for (const TColumnDef &c : t.columns) {
            QString type;
            switch (c.type) {
            case TFieldType::String:
                type = QStringLiteral("VARCHAR(%1)").arg(c.size);
                break;
            case TFieldType::Integer:
                type = QStringLiteral("INTEGER");
                break;
            case TFieldType::AutoInc:
                // BY DEFAULT: a copy of the books stores the identities it
                // brings; the sequence never gives one twice.
                type = QStringLiteral("INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY");
                break;
            case TFieldType::Float:
                type = QStringLiteral("DOUBLE PRECISION");
                break;
            case TFieldType::Date:
                type = QStringLiteral("DATE");
                break;
            }
            cols << quoted(c.name) + QLatin1Char(' ') + type;
        }
        for (const QString &u : t.uniqueColumns)
            cols << QStringLiteral("UNIQUE (%1)").arg(quoted(u));
        out << QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(t.name), cols.join(QStringLiteral(", ")));
        if (t.orderColumn != t.identityColumn())
            out << QStringLiteral("CREATE INDEX %1 ON %2 (%3, %4)")
                       .arg(quoted(t.name + QStringLiteral("_Order")), quoted(t.name), quoted(t.orderColumn),
                            quoted(t.identityColumn()));
    }
    // An account's history is read in SQLite's order, nulls first: an index
    // in that order gives its first screen at once, where one in the
    // server's own order (nulls last) makes it read and sort every
    // transaction of the account.
    out << QStringLiteral("CREATE INDEX acctrans_account ON acctrans (accid, docdate NULLS FIRST)");
    // The totals per type and the balances group in the same order, so the
    // server can hand out the first groups without adding up the rest.
    out << QStringLiteral("CREATE INDEX expenses_type ON expenses (exptype NULLS FIRST, docdate, amount)");
    out << QStringLiteral("CREATE INDEX acctrans_balance ON acctrans (accid NULLS FIRST, increase, decrease)");

    out << QStringLiteral("CREATE SEQUENCE ard_change_seq");
    out << QStringLiteral("CREATE TABLE ard_changes (name VARCHAR(63) PRIMARY KEY, version BIGINT NOT NULL)");
    out << QStringLiteral("CREATE FUNCTION ard_changed() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
                          " UPDATE ard_changes SET version = nextval('ard_change_seq') WHERE name = TG_TABLE_NAME;"
                          " RETURN NULL; END $$");
    for (const TTableDef &t : EngineCatalog::tables()) {
        out << QStringLiteral("INSERT INTO ard_changes (name, version) VALUES ('%1', nextval('ard_change_seq'))")
                   .arg(t.name.toLower());
        out << QStringLiteral("CREATE TRIGGER %1 AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON %2"
                              " FOR EACH STATEMENT EXECUTE FUNCTION ard_changed()")
                   .arg(triggerName(t), quoted(t.name));
    }
    return out;
}

void TPgBackend::createBooks(const QString &address)
{
    static quint64 made = 0;
    std::unique_ptr<TPgBackend> b = connect(address, QStringLiteral("ardentry-engine-create:%1").arg(++made));
    for (const TTableDef &t : EngineCatalog::tables())
        if (b->hasTable(t))
            throw EDatabaseError(
                QStringLiteral("A database already exists: %1 holds the table %2").arg(b->location(), t.name));
    b->command(QStringLiteral("BEGIN"));
    try {
        for (const QString &s : createStatements())
            b->command(s);
        b->command(QStringLiteral("COMMIT"));
    } catch (const EDatabaseError &e) {
        try {
            b->command(QStringLiteral("ROLLBACK"));
        } catch (const EDatabaseError &) {
        }
        throw EDatabaseError(QStringLiteral("Cannot create the tables in %1: %2").arg(b->location(), e.message()));
    }
}
