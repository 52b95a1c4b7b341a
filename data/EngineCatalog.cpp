#include "EngineCatalog.h"

namespace {

QList<TTableDef> makeTables()
{
    using T = TFieldType;
    QList<TTableDef> t;
    t.append({QStringLiteral("Accounts"), QStringLiteral("Accounts.db"),
              {{QStringLiteral("AccID"), T::AutoInc}, {QStringLiteral("AccName"), T::String, 50}},
              QStringLiteral("AccID"), true, {}});
    t.append({QStringLiteral("AccTrans"), QStringLiteral("AccTrans.db"),
              {{QStringLiteral("Id"), T::AutoInc},
               {QStringLiteral("DocDate"), T::Date},
               {QStringLiteral("Transaction"), T::String, 100},
               {QStringLiteral("Increase"), T::Float},
               {QStringLiteral("Decrease"), T::Float},
               {QStringLiteral("Remarks"), T::String, 200},
               {QStringLiteral("AccID"), T::Integer}},
              QStringLiteral("DocDate"), true, {}});
    t.append({QStringLiteral("Expenses"), QStringLiteral("Expenses.db"),
              {{QStringLiteral("Id"), T::AutoInc},
               {QStringLiteral("DocDate"), T::Date},
               {QStringLiteral("Amount"), T::Float},
               {QStringLiteral("Remarks"), T::String, 200},
               {QStringLiteral("AccID"), T::Integer},
               {QStringLiteral("ExpType"), T::Integer}},
              QStringLiteral("DocDate"), true, {}});
    t.append({QStringLiteral("ExpTypes"), QStringLiteral("ExpTypes.db"),
              {{QStringLiteral("Id"), T::AutoInc}, {QStringLiteral("ExpType"), T::String, 50}},
              QStringLiteral("Id"), true, {}});
    t.append({QStringLiteral("Purchases"), QStringLiteral("Purchases.DB"),
              {{QStringLiteral("SeqNo"), T::AutoInc},
               {QStringLiteral("Id"), T::Integer},
               {QStringLiteral("DocDate"), T::Date},
               {QStringLiteral("Supplier"), T::String, 50},
               {QStringLiteral("Total"), T::Float},
               {QStringLiteral("Remarks"), T::String, 200},
               {QStringLiteral("AccID"), T::Integer}},
              QStringLiteral("DocDate"), false, {QStringLiteral("Id")}});
    t.append({QStringLiteral("Sales"), QStringLiteral("Sales.DB"),
              {{QStringLiteral("SeqNo"), T::AutoInc},
               {QStringLiteral("Id"), T::Integer},
               {QStringLiteral("DocDate"), T::Date},
               {QStringLiteral("Customer"), T::String, 100},
               {QStringLiteral("SalesMan"), T::String, 50},
               {QStringLiteral("Total"), T::Float},
               {QStringLiteral("Remarks"), T::String, 200},
               {QStringLiteral("AccID"), T::Integer}},
              QStringLiteral("DocDate"), false, {QStringLiteral("Id")}});
    return t;
}

QString sqlType(const TColumnDef &c)
{
    switch (c.type) {
    case TFieldType::String:
        return QStringLiteral("VARCHAR(%1)").arg(c.size);
    case TFieldType::Integer:
        return QStringLiteral("INTEGER");
    case TFieldType::AutoInc:
        return QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    case TFieldType::Float:
        return QStringLiteral("DOUBLE PRECISION");
    case TFieldType::Date:
        return QStringLiteral("DATE");
    }
    Q_UNREACHABLE();
}

} // namespace

const TColumnDef *TTableDef::column(const QString &n) const
{
    for (const TColumnDef &c : columns)
        if (c.name.compare(n, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

const QList<TTableDef> &EngineCatalog::tables()
{
    static const QList<TTableDef> t = makeTables();
    return t;
}

const TTableDef *EngineCatalog::find(const QString &name)
{
    for (const TTableDef &t : tables())
        if (t.fileName.compare(name, Qt::CaseInsensitive) == 0 || t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

namespace {

QString quotedAsIs(const QString &identifier)
{
    QString s = identifier;
    s.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

} // namespace

// In lower case: a server keeps the books' names as unquoted SQL folds them,
// and SQLite matches names without regard to case.
QString EngineCatalog::quoted(const QString &identifier)
{
    return quotedAsIs(identifier.toLower());
}

QStringList EngineCatalog::createStatements()
{
    QStringList out;
    for (const TTableDef &t : tables()) {
        QStringList cols;
        for (const TColumnDef &c : t.columns)
            cols << quotedAsIs(c.name) + QLatin1Char(' ') + sqlType(c);
        for (const QString &u : t.uniqueColumns)
            cols << QStringLiteral("UNIQUE (%1)").arg(quotedAsIs(u));
        out << QStringLiteral("CREATE TABLE %1 (%2)").arg(quotedAsIs(t.name), cols.join(QStringLiteral(", ")));
        // The reading order, ties broken by the identity (stored order). For
        // tables ordered by their identity the primary key already serves.
        if (t.orderColumn != t.identityColumn())
            out << QStringLiteral("CREATE INDEX %1 ON %2 (%3, %4)")
                       .arg(quotedAsIs(t.name + QStringLiteral("_Order")), quotedAsIs(t.name), quotedAsIs(t.orderColumn),
                            quotedAsIs(t.identityColumn()));
    }
    // The statements ask for one account's history and one type's expenses.
    out << QStringLiteral("CREATE INDEX \"AccTrans_Account\" ON \"AccTrans\" (\"AccID\", \"DocDate\")");
    // It also holds the amounts, so the totals per type read no table rows.
    out << QStringLiteral(
        "CREATE INDEX \"Expenses_Type\" ON \"Expenses\" (\"ExpType\", \"DocDate\", \"Amount\")");
    // Every Summary refresh sums each account's movements over all dates: an
    // index holding the amounts answers that without reading the table.
    out << QStringLiteral(
        "CREATE INDEX \"AccTrans_Balance\" ON \"AccTrans\" (\"AccID\", \"Increase\", \"Decrease\")");
    return out;
}

bool EngineCatalog::isDateColumn(const QString &identifier)
{
    QString col = identifier;
    const qsizetype dot = col.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        col = col.mid(dot + 1);
    if (col.size() >= 2 && col.startsWith(QLatin1Char('"')) && col.endsWith(QLatin1Char('"')))
        col = col.mid(1, col.size() - 2);
    for (const TTableDef &t : tables())
        if (const TColumnDef *c = t.column(col); c && c->type == TFieldType::Date)
            return true;
    return false;
}
