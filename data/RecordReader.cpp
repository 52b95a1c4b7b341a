#include "RecordReader.h"

#include "EDatabaseError.h"
#include "EngineCatalog.h"
#include "EngineDatabase.h"
#include "QueryCursor.h"
#include "TDataSet.h"
#include "TField.h"
#include "TQuery.h"
#include "TTable.h"
#include "TableCursor.h"

namespace {

bool isNull(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}

// The next batch of a table's records in reading order after `last` (from
// the start when null), every column of them read: a walk that goes on reads
// only the columns it was told are used.
QList<TRecordData> nextBatch(TTableCursor &cursor, const TRecordData *last)
{
    for (int i = 0; i < int(cursor.columns().size()); ++i)
        cursor.noteUsed(i);
    QList<TRecordData> rows = last ? cursor.after(*last, TRecordReader::BatchSize) : cursor.first(TRecordReader::BatchSize);
    for (TRecordData &r : rows)
        cursor.complete(r);
    return rows;
}

const TTableDef &tableDefOf(const TTable *table)
{
    const TTableDef *def = EngineCatalog::find(table->TableName());
    if (!def)
        throw EDatabaseError(QStringLiteral("Table does not exist: %1").arg(table->TableName()));
    return *def;
}

} // namespace

TRecordReader::TRecordReader(TDataSet *dataSet, const QList<TField *> &fields)
{
    if (!dataSet->Active()) {
        m_tableDone = true;
        for (const TField *f : fields)
            m_columns.append({f->FieldName(), f->DataType(), -1, -1});
        return;
    }
    if (auto *table = qobject_cast<TTable *>(dataSet)) {
        TEngineDatabase &db = TEngineDatabase::forAlias(table->DatabaseName());
        openTable(db, tableDefOf(table), table->ActiveFilter());
    } else if (auto *query = qobject_cast<TQuery *>(dataSet)) {
        m_query = std::make_unique<TQueryCursor>(TEngineDatabase::forAlias(query->DatabaseName()), query->SQL());
        m_cursorColumns = m_query->columns();
    } else {
        Q_ASSERT(false);  // every dataset is a table or a query
        m_tableDone = true;
    }
    for (const TField *f : fields) {
        Column c{f->FieldName(), f->DataType(), -1, -1};
        if (f->FieldKind() == TFieldKind::fkLookup) {
            c.type = TFieldType::String;
            c.lookup = int(m_lookups.size());
            m_lookups.append(readLookup(f, slotOf(f->KeyFields(), dataSet->Name())));
        } else {
            c.slot = slotOf(f->FieldName(), dataSet->Name());
        }
        m_columns.append(c);
    }
}

TRecordReader::TRecordReader(TEngineDatabase &db, const TTableDef &table, const TFilterExpr &filter)
{
    openTable(db, table, filter);
    // An identity that is the engine's own (sales and purchases go by their
    // invoice numbers) is no field of the program's.
    for (int i = table.identityIsField ? 0 : 1; i < int(m_cursorColumns.size()); ++i)
        m_columns.append({m_cursorColumns.at(i).name, m_cursorColumns.at(i).type, i, -1});
}

TRecordReader::~TRecordReader() = default;

void TRecordReader::openTable(TEngineDatabase &db, const TTableDef &table, const TFilterExpr &filter)
{
    db.checkTable(table);
    m_table = std::make_unique<TTableCursor>(db, table);
    m_table->setFilter(filter);
    m_cursorColumns = m_table->columns();
}

int TRecordReader::slotOf(const QString &name, const QString &dataSetName) const
{
    for (qsizetype i = 0; i < m_cursorColumns.size(); ++i)
        if (m_cursorColumns.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    throw EDatabaseError(QStringLiteral("%1: Field '%2' not found").arg(dataSetName, name));
}

// The lookup field's value for every key its lookup table holds: the result
// of the first record in the table's reading order (through its filter)
// with that key, cut to the field's size. A lookup table that is not open
// gives no names, as it gives the field none.
TRecordReader::Lookup TRecordReader::readLookup(const TField *field, int keySlot)
{
    Lookup lookup;
    lookup.keySlot = keySlot;
    const auto *table = qobject_cast<const TTable *>(field->LookupDataSet());
    if (!table || !table->Active())
        return lookup;
    const TTableDef &def = tableDefOf(table);
    TTableCursor cursor(TEngineDatabase::forAlias(table->DatabaseName()), def);
    cursor.setFilter(table->ActiveFilter());
    auto columnOf = [&](const QString &name) {
        for (qsizetype i = 0; i < def.columns.size(); ++i)
            if (def.columns.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
                return int(i);
        throw EDatabaseError(QStringLiteral("%1: Field '%2' not found").arg(table->Name(), name));
    };
    const int key = columnOf(field->LookupKeyFields());
    const int result = columnOf(field->LookupResultField());
    const TFieldType keyType = def.columns.at(key).type;
    lookup.numberKeys = keyType == TFieldType::Integer || keyType == TFieldType::AutoInc;
    for (QList<TRecordData> rows = nextBatch(cursor, nullptr); !rows.isEmpty();
         rows = nextBatch(cursor, &rows.last())) {
        for (const TRecordData &r : std::as_const(rows)) {
            const QVariant k = r.values.at(key);
            if (isNull(k))
                continue;
            QVariant v = r.values.at(result);
            if (!isNull(v) && field->Size() > 0)
                v = v.toString().left(field->Size());
            if (lookup.numberKeys)
                lookup.byNumber.insert(k.toLongLong(), v);  // keeps the first
            else
                lookup.byText.insert(k.toString(), v);
        }
    }
    return lookup;
}

bool TRecordReader::next()
{
    if (m_query) {
        m_current = m_query->nextStreamed(m_row) ? &m_row : nullptr;
        return m_current;
    }
    return nextTableRecord();
}

bool TRecordReader::nextTableRecord()
{
    m_current = nullptr;
    if (m_tableDone)
        return false;
    if (++m_pos >= m_batch.size()) {
        QList<TRecordData> rows = nextBatch(*m_table, m_batch.isEmpty() ? nullptr : &m_batch.last());
        if (rows.isEmpty()) {
            m_tableDone = true;
            m_batch.clear();
            return false;
        }
        m_batch = std::move(rows);
        m_pos = 0;
    }
    m_current = &m_batch.at(m_pos);
    return true;
}

QVariant TRecordReader::value(int column) const
{
    Q_ASSERT(m_current);
    const Column &c = m_columns.at(column);
    if (c.lookup < 0)
        return c.slot >= 0 ? m_current->values.at(c.slot) : QVariant();
    const Lookup &l = m_lookups.at(c.lookup);
    const QVariant key = m_current->values.at(l.keySlot);
    if (isNull(key))
        return QVariant();
    return l.numberKeys ? l.byNumber.value(key.toLongLong()) : l.byText.value(key.toString());
}
