#include "SqlReader.h"

#include "EDatabaseError.h"
#include "EngineDatabase.h"
#include "RecordValues.h"

#include <sqlite3.h>

namespace {

// Dates are stored as "yyyy-mm-dd"; reading them by hand is much cheaper
// than a general date parser, and anything else reads as null.
QDate isoDate(const unsigned char *s, int n)
{
    if (n != 10 || s[4] != '-' || s[7] != '-')
        return QDate();
    auto digits = [s](int from, int count) {
        int v = 0;
        for (int i = from; i < from + count; ++i) {
            if (s[i] < '0' || s[i] > '9')
                return -1;
            v = v * 10 + (s[i] - '0');
        }
        return v;
    };
    const int y = digits(0, 4), m = digits(5, 2), d = digits(8, 2);
    if (y < 0 || m < 0 || d < 0)
        return QDate();
    return QDate(y, m, d);
}

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
    : m_db(db), m_statement(db.readStatement(sql))
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
    for (qsizetype i = 0; i < params.size(); ++i)
        bind(m_statement, int(i) + 1, params.at(i));
}

TSqlReader::~TSqlReader()
{
    sqlite3_reset(m_statement);
}

bool TSqlReader::next()
{
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
    return sqlite3_column_count(m_statement);
}

QString TSqlReader::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(m_statement, column));
}

TFieldType TSqlReader::columnType(int column, int *size) const
{
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
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

qint64 TSqlReader::toInt64(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

QVariant TSqlReader::value(int column, TFieldType type) const
{
    if (isNull(column))
        return QVariant();
    switch (type) {
    case TFieldType::Float:
        return sqlite3_column_double(m_statement, column);
    case TFieldType::Integer:
    case TFieldType::AutoInc:
        return int(sqlite3_column_int64(m_statement, column));
    case TFieldType::Date: {
        const unsigned char *s = sqlite3_column_text(m_statement, column);
        const QDate d = isoDate(s, sqlite3_column_bytes(m_statement, column));
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case TFieldType::String: {
        const char *s = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
        return QString::fromUtf8(s, sqlite3_column_bytes(m_statement, column));
    }
    }
    return QVariant();
}

void TSqlReader::read(int column, TFieldType type, TRecordValues &into, int slot) const
{
    if (isNull(column)) {
        into.setNull(slot);
        return;
    }
    switch (type) {
    case TFieldType::Float:
        into.setDouble(slot, sqlite3_column_double(m_statement, column));
        return;
    case TFieldType::Integer:
    case TFieldType::AutoInc:
        into.setInt(slot, sqlite3_column_int64(m_statement, column));
        return;
    case TFieldType::Date:
        into.setDate(slot, isoDate(sqlite3_column_text(m_statement, column), sqlite3_column_bytes(m_statement, column)));
        return;
    case TFieldType::String: {
        const char *s = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
        into.setText(slot, s, sqlite3_column_bytes(m_statement, column));
        return;
    }
    }
}
