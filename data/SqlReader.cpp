#include "SqlReader.h"

#include "EDatabaseError.h"
#include "EngineDatabase.h"
#include "FieldText.h"
#include "PgBackend.h"
#include "RecordValues.h"
#include "StoredDate.h"

#include <cmath>
#include <limits>
#include <sqlite3.h>

namespace {

void bind(sqlite3_stmt *st, int index, const QVariant &v)
{
    if (!v.isValid() || v.isNull()) {
        sqlite3_bind_null(st, index);
        return;
    }
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        sqlite3_bind_int64(st, index, v.toLongLong());
        return;
    case QMetaType::Double:
        sqlite3_bind_double(st, index, v.toDouble());
        return;
    case QMetaType::QDate: {
        const QByteArray iso = v.toDate().toString(Qt::ISODate).toUtf8();
        sqlite3_bind_text(st, index, iso.constData(), int(iso.size()), SQLITE_TRANSIENT);
        return;
    }
    default: {
        const QByteArray text = v.toString().toUtf8();
        sqlite3_bind_text(st, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        return;
    }
    }
}

} // namespace

TSqlReader::TSqlReader(TEngineDatabase &db, const QString &sql, const QVariantList &params)
    : m_db(db)
{
    if (TPgBackend *pg = db.pg()) {
        m_pg = pg->query(sql, params);
        return;
    }
    m_statement = db.readStatement(sql);
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
    for (qsizetype i = 0; i < params.size(); ++i)
        bind(m_statement, int(i) + 1, params.at(i));
}

TSqlReader::~TSqlReader()
{
    if (m_statement)
        sqlite3_reset(m_statement);
}

bool TSqlReader::next()
{
    if (m_pg)
        return m_pg->next();
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3 *h = m_db.handle();
    const QString message = TEngineDatabase::messageFor(sqlite3_extended_errcode(h), QString::fromUtf8(sqlite3_errmsg(h)));
    sqlite3_reset(m_statement);
    throw EDatabaseError(message);
}

int TSqlReader::columnCount() const
{
    if (m_pg)
        return m_pg->columnCount();
    return sqlite3_column_count(m_statement);
}

QString TSqlReader::columnName(int column) const
{
    if (m_pg)
        return m_pg->columnName(column);
    return QString::fromUtf8(sqlite3_column_name(m_statement, column));
}

TFieldType TSqlReader::columnType(int column, int *size) const
{
    if (m_pg)
        return m_pg->columnType(column, size);
    const QString decl = QString::fromUtf8(sqlite3_column_decltype(m_statement, column)).toUpper();
    if (size)
        *size = 0;
    if (decl.startsWith(QLatin1String("INT")))
        return TFieldType::Integer;
    if (decl == QLatin1String("DATE"))
        return TFieldType::Date;
    if (decl.startsWith(QLatin1String("VARCHAR")) || decl.startsWith(QLatin1String("CHAR")) ||
        decl.startsWith(QLatin1String("TEXT"))) {
        if (size) {
            const qsizetype open = decl.indexOf(QLatin1Char('('));
            *size = open > 0 ? decl.mid(open + 1).chopped(1).toInt() : 255;
        }
        return TFieldType::String;
    }
    return TFieldType::Float;
}

bool TSqlReader::isNull(int column) const
{
    if (m_pg)
        return m_pg->isNull(column);
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

qint64 TSqlReader::toInt64(int column) const
{
    if (m_pg)
        return m_pg->toInt64(column);
    return sqlite3_column_int64(m_statement, column);
}

QVariant TSqlReader::value(int column, TFieldType type) const
{
    TRecordValues v;
    v.resize(1);
    if (!read(column, type, v, 0))
        return QVariant();
    return v.at(0);
}

bool TSqlReader::read(int column, TFieldType type, TRecordValues &into, int slot) const
{
    if (m_pg)
        return m_pg->read(column, type, into, slot);
    const int stored = sqlite3_column_type(m_statement, column);
    if (stored == SQLITE_NULL) {
        into.setNull(slot);
        return true;
    }
    switch (type) {
    case TFieldType::Float: {
        double v = 0;
        if (stored == SQLITE_FLOAT)
            v = sqlite3_column_double(m_statement, column);
        else if (stored == SQLITE_INTEGER)
            v = double(sqlite3_column_int64(m_statement, column));
        else
            break;
        if (!FieldText::fitsAmount(v))
            break;
        into.setDouble(slot, v);
        return true;
    }
    case TFieldType::Integer:
    case TFieldType::AutoInc: {
        qint64 v = 0;
        if (stored == SQLITE_INTEGER) {
            v = sqlite3_column_int64(m_statement, column);
        } else if (stored == SQLITE_FLOAT) {
            const double d = sqlite3_column_double(m_statement, column);
            if (!(d >= -2147483648.0 && d <= 2147483647.0) || d != std::trunc(d))
                break;
            v = qint64(d);
        } else {
            break;
        }
        if (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())
            break;
        into.setInt(slot, v);
        return true;
    }
    case TFieldType::Date:
        if (stored == SQLITE_TEXT)
            into.setDate(slot, StoredDate::day(reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column)),
                                               sqlite3_column_bytes(m_statement, column)));
        else
            into.setNull(slot);  // a number or a blob names no day
        return true;
    case TFieldType::String: {
        if (stored == SQLITE_BLOB)
            break;
        const char *s = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
        into.setText(slot, s, sqlite3_column_bytes(m_statement, column));
        return true;
    }
    }
    into.setNull(slot);
    return false;
}

QString TSqlReader::storedText(int column) const
{
    if (m_pg)
        return m_pg->storedText(column);
    switch (sqlite3_column_type(m_statement, column)) {
    case SQLITE_NULL:
        return QStringLiteral("null");
    case SQLITE_INTEGER:
        return QString::number(sqlite3_column_int64(m_statement, column));
    case SQLITE_FLOAT:
        return FieldText::formatGeneral(sqlite3_column_double(m_statement, column), TFormatSettings());
    case SQLITE_BLOB:
        return QStringLiteral("a binary value of %1 bytes").arg(sqlite3_column_bytes(m_statement, column));
    default: {
        const char *s = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
        QString text = QString::fromUtf8(s, sqlite3_column_bytes(m_statement, column));
        if (text.size() > 40)
            text = text.left(40) + QStringLiteral("...");
        return QLatin1Char('\'') + text + QLatin1Char('\'');
    }
    }
}

QString TSqlReader::originTable(int column) const
{
    if (m_pg)
        return m_pg->originTable(column);
    return QString::fromUtf8(sqlite3_column_table_name(m_statement, column));
}

QString TSqlReader::originColumn(int column) const
{
    if (m_pg)
        return m_pg->originColumn(column);
    return QString::fromUtf8(sqlite3_column_origin_name(m_statement, column));
}
