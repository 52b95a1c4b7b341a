#pragma once

#include <QObject>

class TAutoIncField;
class TDataSet;
class TDataSource;
class TDateField;
class TFloatField;
class TIntegerField;
class TQuery;
class TStringField;
class TTable;

// The data module: every dataset the windows share, with a data source on
// each, the two summary queries and a scratch query. One instance, DM, lives
// from start-up to the end of the program. Creating it opens the six tables
// and the two queries; an error there ends start-up.
class TDM : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(TDM)

public:
    // The database alias every dataset names.
    static constexpr const char *DatabaseAlias = "ARD";

    explicit TDM(QObject *owner = nullptr);
    ~TDM() override;

    // The books can be read but not written (a read-only file or folder: a
    // backup copy, a share). They open for viewing; every post is refused
    // with the engine's message.
    bool ReadOnlyBooks() const;

    TTable *AccountsTable;
    TStringField *AccountsTableAccName;
    TAutoIncField *AccountsTableAccID;

    TTable *AccTransTable;
    TDateField *AccTransTableDocDate;
    TStringField *AccTransTableAccount;
    TStringField *AccTransTableTransaction;
    TFloatField *AccTransTableIncrease;
    TFloatField *AccTransTableDecrease;
    TStringField *AccTransTableRemarks;
    TAutoIncField *AccTransTableId;
    TIntegerField *AccTransTableAccID;

    TTable *ExpensesTable;
    TDateField *ExpensesTableDocDate;
    TStringField *ExpensesTableExpenses;
    TStringField *ExpensesTableAccount;
    TFloatField *ExpensesTableAmount;
    TStringField *ExpensesTableRemarks;
    TAutoIncField *ExpensesTableId;
    TIntegerField *ExpensesTableAccID;
    TIntegerField *ExpensesTableExpType;

    TTable *ExpTypesTable;
    TStringField *ExpTypesTableExpType;
    TAutoIncField *ExpTypesTableId;

    TTable *PurchasesTable;
    TIntegerField *PurchasesTableId;
    TDateField *PurchasesTableDocDate;
    TStringField *PurchasesTableSupplier;
    TFloatField *PurchasesTableTotal;
    TStringField *PurchasesTableAccount;
    TStringField *PurchasesTableRemarks;
    TIntegerField *PurchasesTableAccID;

    TTable *SalesTable;
    TIntegerField *SalesTableId;
    TDateField *SalesTableDocDate;
    TStringField *SalesTableCustomer;
    TStringField *SalesTableSalesMan;
    TFloatField *SalesTableTotal;
    TStringField *SalesTableAccount;
    TStringField *SalesTableRemarks;
    TIntegerField *SalesTableAccID;

    TQuery *AccBalancesQuery;
    TStringField *AccBalancesQueryAccount;
    TFloatField *AccBalancesQueryBalance;
    TIntegerField *AccBalancesQueryAccID;

    TQuery *ExpTotalsQuery;
    TStringField *ExpTotalsQueryExpenses;
    TFloatField *ExpTotalsQueryAmount;
    TIntegerField *ExpTotalsQueryExpType;

    TQuery *ds1;

    TDataSource *AccountsDS;
    TDataSource *AccTransDS;
    TDataSource *ExpensesDS;
    TDataSource *ExpTypesDS;
    TDataSource *PurchasesDS;
    TDataSource *SalesDS;
    TDataSource *AccBalancesDS;
    TDataSource *ExpTotalsDS;

    // New-record rules.
    void AccTransTableNewRecord(TDataSet *DataSet);
    void ExpensesTableNewRecord(TDataSet *DataSet);
    void SalesTableNewRecord(TDataSet *DataSet);
    void PurchasesTableNewRecord(TDataSet *DataSet);

    static const char *const AccBalancesSQL;
    static const char *const ExpTotalsSQL;

private:
    void proposeInvoiceNumber(const QString &statement, TIntegerField *id, TDateField *docDate);
};

// The one data module of the program (null before start-up creates it).
extern TDM *DM;
