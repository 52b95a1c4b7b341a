#include "TTable.h"

#include "Clock.h"
#include "EDatabaseError.h"
#include "EngineCatalog.h"
#include "EngineDatabase.h"
#include "TableCursor.h"

TTable::TTable(QObject *owner) : TDataSet(owner) {}

const TTableDef &TTable::tableDef() const
{
    const TTableDef *def = EngineCatalog::find(m_tableName);
    if (!def)
        throw EDatabaseError(QStringLiteral("Table does not exist: %1").arg(m_tableName));
    return *def;
}

TFilterExpr TTable::parseFilter(const QString &text) const
{
    const TTableDef &def = tableDef();
    return TFilterExpr::parse(
        text,
        [&def](const QString &name) -> std::optional<TFilterExpr::Column> {
            if (const TColumnDef *c = def.column(name))
                return TFilterExpr::Column{c->name, c->type};
            return std::nullopt;
        },
        FormatSettings(), Clock::today());
}

std::unique_ptr<TCursor> TTable::openCursor()
{
    TEngineDatabase &db = TEngineDatabase::forAlias(m_databaseName);
    const TTableDef &def = tableDef();
    db.checkTable(def);
    auto cursor = std::make_unique<TTableCursor>(db, def);
    if (m_filtered)
        cursor->setFilter(m_filter);
    m_tableCursor = cursor.get();
    return cursor;
}

void TTable::setFilter(const QString &text)
{
    if (Active())
        CheckBrowseMode();
    if (text == m_filterText)
        return;
    m_filter = parseFilter(text);
    m_filterText = text;
    if (Active() && m_filtered) {
        m_tableCursor->setFilter(m_filter);
        refilter();
    }
}

void TTable::setFiltered(bool filtered)
{
    if (Active())
        CheckBrowseMode();
    m_filtered = filtered;
    if (Active()) {
        m_tableCursor->setFilter(filtered ? m_filter : TFilterExpr());
        refilter();
    }
}

TRecordData TTable::writeRecord(const TRecordData &record, const TRecordData *read)
{
    qint64 identity = record.identity;
    if (!read)
        identity = m_tableCursor->insert(record.values);
    else
        m_tableCursor->update(identity, record.values, read->values);
    std::optional<TRecordData> stored = m_tableCursor->byIdentity(identity, false);
    if (!stored)
        throw EDatabaseError(QStringLiteral("%1: the record could not be read back after it was stored").arg(Name()));
    return *stored;
}

void TTable::deleteRecord(const TRecordData &record)
{
    m_tableCursor->remove(record.identity, record.values);
}

std::optional<TRecordData> TTable::reread(const TRecordData &record)
{
    return m_tableCursor->byIdentity(record.identity, true);
}

std::optional<TRecordData> TTable::locateRecord(int column, const QVariant &value, bool prefix)
{
    return m_tableCursor->locate(column, value, prefix);
}

QVariant TTable::lookupValue(int keyColumn, const QVariant &key, int resultColumn)
{
    return m_tableCursor->lookup(keyColumn, key, resultColumn);
}
