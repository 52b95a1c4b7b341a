#include "DMUnit.h"

#include "Clock.h"
#include "EDatabaseError.h"
#include "EngineDatabase.h"
#include "TAutoIncField.h"
#include "TDataSource.h"
#include "TDateField.h"
#include "TFloatField.h"
#include "TIntegerField.h"
#include "TQuery.h"
#include "TStringField.h"
#include "TTable.h"

#include <limits>

TDM *DM = nullptr;

const char *const TDM::AccBalancesSQL =
    "select AccID,( Sum(Increase) - Sum(Decrease) ) as Balance From AccTrans Group by AccID";
const char *const TDM::ExpTotalsSQL =
    "select ExpType,Sum(Amount) as Amount From Expenses Where 1 <> 2 Group By ExpType";

namespace {

template <typename F>
F *field(F *f, const char *label, int width, bool visible = true)
{
    f->setDisplayLabel(QString::fromLatin1(label));
    f->setDisplayWidth(width);
    f->setVisible(visible);
    return f;
}

TStringField *lookup(TDataSet *owner, const char *name, const char *label, int width, const char *keyField,
                     TDataSet *table, const char *tableKey, const char *result)
{
    auto *f = new TStringField(owner, QString::fromLatin1(name), 50, TFieldKind::fkLookup);
    f->setLookup(QString::fromLatin1(keyField), table, QString::fromLatin1(tableKey), QString::fromLatin1(result));
    return field(f, label, width);
}

TTable *table(QObject *owner, const char *name, const char *file)
{
    auto *t = new TTable(owner);
    t->setObjectName(QString::fromLatin1(name));
    t->setDatabaseName(QString::fromLatin1(TDM::DatabaseAlias));
    t->setTableName(QString::fromLatin1(file));
    return t;
}

TQuery *query(QObject *owner, const char *name, const char *sql)
{
    auto *q = new TQuery(owner);
    q->setObjectName(QString::fromLatin1(name));
    q->setDatabaseName(QString::fromLatin1(TDM::DatabaseAlias));
    if (sql)
        q->setSQL(QString::fromLatin1(sql));
    return q;
}

} // namespace

TDM::TDM(QObject *owner) : QObject(owner)
{
    AccountsTable = table(this, "AccountsTable", "Accounts.db");
    AccountsTableAccName = field(new TStringField(AccountsTable, QStringLiteral("AccName"), 50), "Acc Name", 30);
    AccountsTableAccID = field(new TAutoIncField(AccountsTable, QStringLiteral("AccID")), "Acc ID", 10, false);

    ExpTypesTable = table(this, "ExpTypesTable", "ExpTypes.db");
    ExpTypesTableExpType = field(new TStringField(ExpTypesTable, QStringLiteral("ExpType"), 50), "Expenses Type", 30);
    ExpTypesTableId = field(new TAutoIncField(ExpTypesTable, QStringLiteral("Id")), "Id", 8, false);

    AccTransTable = table(this, "AccTransTable", "AccTrans.db");
    AccTransTableDocDate = field(new TDateField(AccTransTable, QStringLiteral("DocDate")), "DocDate", 10);
    AccTransTableAccount = lookup(AccTransTable, "Account", "Account", 18, "AccID", AccountsTable, "AccID", "AccName");
    AccTransTableTransaction =
        field(new TStringField(AccTransTable, QStringLiteral("Transaction"), 100), "Transaction", 22);
    AccTransTableIncrease = field(new TFloatField(AccTransTable, QStringLiteral("Increase")), "Increase", 14);
    AccTransTableDecrease = field(new TFloatField(AccTransTable, QStringLiteral("Decrease")), "Decrease", 14);
    AccTransTableRemarks = field(new TStringField(AccTransTable, QStringLiteral("Remarks"), 200), "Remarks", 16);
    AccTransTableId = field(new TAutoIncField(AccTransTable, QStringLiteral("Id")), "Serial", 6, false);
    AccTransTableAccID = field(new TIntegerField(AccTransTable, QStringLiteral("AccID")), "AccID", 10, false);

    ExpensesTable = table(this, "ExpensesTable", "Expenses.db");
    ExpensesTableDocDate = field(new TDateField(ExpensesTable, QStringLiteral("DocDate")), "Date", 10);
    ExpensesTableExpenses = lookup(ExpensesTable, "Expenses", "Expenses", 22, "ExpType", ExpTypesTable, "Id", "ExpType");
    ExpensesTableAccount = lookup(ExpensesTable, "Account", "Account", 16, "AccID", AccountsTable, "AccID", "AccName");
    ExpensesTableAmount = field(new TFloatField(ExpensesTable, QStringLiteral("Amount")), "Amount", 10);
    ExpensesTableRemarks = field(new TStringField(ExpensesTable, QStringLiteral("Remarks"), 200), "Remarks", 28);
    ExpensesTableId = field(new TAutoIncField(ExpensesTable, QStringLiteral("Id")), "Serial", 6, false);
    // The two hidden keys have no width of their own.
    ExpensesTableAccID = field(new TIntegerField(ExpensesTable, QStringLiteral("AccID")), "Acc ID", 10, false);
    ExpensesTableExpType = field(new TIntegerField(ExpensesTable, QStringLiteral("ExpType")), "Expenses Type", 10, false);

    PurchasesTable = table(this, "PurchasesTable", "Purchases.DB");
    PurchasesTableId = field(new TIntegerField(PurchasesTable, QStringLiteral("Id")), "Invoice ID", 10);
    PurchasesTableDocDate = field(new TDateField(PurchasesTable, QStringLiteral("DocDate")), "Date", 10);
    PurchasesTableSupplier = field(new TStringField(PurchasesTable, QStringLiteral("Supplier"), 50), "Supplier", 20);
    PurchasesTableTotal = field(new TFloatField(PurchasesTable, QStringLiteral("Total")), "Total", 10);
    PurchasesTableAccount =
        lookup(PurchasesTable, "Account", "Account", 17, "AccID", AccountsTable, "AccID", "AccName");
    PurchasesTableRemarks = field(new TStringField(PurchasesTable, QStringLiteral("Remarks"), 200), "Remarks", 27);
    PurchasesTableAccID = field(new TIntegerField(PurchasesTable, QStringLiteral("AccID")), "Acc ID", 10, false);

    SalesTable = table(this, "SalesTable", "Sales.DB");
    SalesTableId = field(new TIntegerField(SalesTable, QStringLiteral("Id")), "Invoice ID", 10);
    SalesTableDocDate = field(new TDateField(SalesTable, QStringLiteral("DocDate")), "Date", 10);
    SalesTableCustomer = field(new TStringField(SalesTable, QStringLiteral("Customer"), 100), "Customer", 19);
    SalesTableSalesMan = field(new TStringField(SalesTable, QStringLiteral("SalesMan"), 50), "Sales Man", 18);
    SalesTableTotal = field(new TFloatField(SalesTable, QStringLiteral("Total")), "Total", 10);
    SalesTableAccount = lookup(SalesTable, "Account", "Account", 19, "AccID", AccountsTable, "AccID", "AccName");
    SalesTableRemarks = field(new TStringField(SalesTable, QStringLiteral("Remarks"), 200), "Remarks", 27);
    SalesTableAccID = field(new TIntegerField(SalesTable, QStringLiteral("AccID")), "Acc ID", 10, false);

    AccBalancesQuery = query(this, "AccBalancesQuery", AccBalancesSQL);
    AccBalancesQueryAccount =
        lookup(AccBalancesQuery, "Account", "Account", 27, "AccID", AccountsTable, "AccID", "AccName");
    AccBalancesQueryBalance = field(new TFloatField(AccBalancesQuery, QStringLiteral("Balance")), "Balance", 13);
    AccBalancesQueryAccID = field(new TIntegerField(AccBalancesQuery, QStringLiteral("AccID")), "Acc ID", 10, false);

    ExpTotalsQuery = query(this, "ExpTotalsQuery", ExpTotalsSQL);
    ExpTotalsQueryExpenses =
        lookup(ExpTotalsQuery, "Expenses", "Expenses", 27, "ExpType", ExpTypesTable, "Id", "ExpType");
    ExpTotalsQueryAmount = field(new TFloatField(ExpTotalsQuery, QStringLiteral("Amount")), "Amount", 12);
    ExpTotalsQueryExpType = field(new TIntegerField(ExpTotalsQuery, QStringLiteral("ExpType")), "ExpType", 10, false);

    ds1 = query(this, "ds1", nullptr);

    AccountsDS = new TDataSource(this, AccountsTable);
    AccTransDS = new TDataSource(this, AccTransTable);
    ExpensesDS = new TDataSource(this, ExpensesTable);
    ExpTypesDS = new TDataSource(this, ExpTypesTable);
    PurchasesDS = new TDataSource(this, PurchasesTable);
    SalesDS = new TDataSource(this, SalesTable);
    AccBalancesDS = new TDataSource(this, AccBalancesQuery);
    ExpTotalsDS = new TDataSource(this, ExpTotalsQuery);
    for (TDataSource *ds : {AccountsDS, AccTransDS, ExpensesDS, ExpTypesDS, PurchasesDS, SalesDS, AccBalancesDS,
                            ExpTotalsDS})
        ds->setAutoEdit(true);
    AccountsDS->setObjectName(QStringLiteral("AccountsDS"));
    AccTransDS->setObjectName(QStringLiteral("AccTransDS"));
    ExpensesDS->setObjectName(QStringLiteral("ExpensesDS"));
    ExpTypesDS->setObjectName(QStringLiteral("ExpTypesDS"));
    PurchasesDS->setObjectName(QStringLiteral("PurchasesDS"));
    SalesDS->setObjectName(QStringLiteral("SalesDS"));
    AccBalancesDS->setObjectName(QStringLiteral("AccBalancesDS"));
    ExpTotalsDS->setObjectName(QStringLiteral("ExpTotalsDS"));

    AccTransTable->OnNewRecord = [this](TDataSet *d) { AccTransTableNewRecord(d); };
    ExpensesTable->OnNewRecord = [this](TDataSet *d) { ExpensesTableNewRecord(d); };
    SalesTable->OnNewRecord = [this](TDataSet *d) { SalesTableNewRecord(d); };
    PurchasesTable->OnNewRecord = [this](TDataSet *d) { PurchasesTableNewRecord(d); };

    // Opening order matters: an error names the first thing that is missing.
    AccountsTable->Open();
    AccTransTable->Open();
    ExpensesTable->Open();
    ExpTypesTable->Open();
    PurchasesTable->Open();
    SalesTable->Open();
    AccBalancesQuery->Open();
    ExpTotalsQuery->Open();
}

bool TDM::ReadOnlyBooks() const
{
    return !TEngineDatabase::forAlias(QString::fromLatin1(DatabaseAlias)).isWritable();
}

TDM::~TDM()
{
    // Lookup fields refer to the master tables: close the journals first.
    for (TDataSet *d : {static_cast<TDataSet *>(ExpTotalsQuery), static_cast<TDataSet *>(AccBalancesQuery),
                        static_cast<TDataSet *>(SalesTable), static_cast<TDataSet *>(PurchasesTable),
                        static_cast<TDataSet *>(ExpensesTable), static_cast<TDataSet *>(AccTransTable),
                        static_cast<TDataSet *>(ExpTypesTable), static_cast<TDataSet *>(AccountsTable),
                        static_cast<TDataSet *>(ds1)})
        d->Close();
}

void TDM::AccTransTableNewRecord(TDataSet *)
{
    AccTransTableDocDate->setAsDate(Clock::today());
}

void TDM::ExpensesTableNewRecord(TDataSet *)
{
    ExpensesTableDocDate->setAsDate(Clock::today());
}

void TDM::SalesTableNewRecord(TDataSet *)
{
    proposeInvoiceNumber(QStringLiteral("Select Max(ID) as MaxID From Sales"), SalesTableId, SalesTableDocDate);
}

void TDM::PurchasesTableNewRecord(TDataSet *)
{
    proposeInvoiceNumber(QStringLiteral("Select Max(ID) as MaxID From Purchases"), PurchasesTableId,
                         PurchasesTableDocDate);
}

// The highest invoice number stored, whatever the period shows, plus one;
// an empty table proposes 1. Past the highest number an invoice can have
// there is no next one: the new record is refused with a message saying so
// (adding one would overflow).
void TDM::proposeInvoiceNumber(const QString &statement, TIntegerField *id, TDateField *docDate)
{
    ds1->Close();
    ds1->setSQL(statement);
    ds1->Open();
    const int highest = ds1->FieldByName(QStringLiteral("MaxID"))->AsInteger();
    ds1->Close();
    if (highest == std::numeric_limits<qint32>::max())
        throw EDatabaseError(QStringLiteral("No invoice number follows %1, the highest an invoice can have").arg(highest));
    docDate->setAsDate(Clock::today());
    id->setAsInteger(highest + 1);
}
