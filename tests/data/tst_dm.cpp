#include "Clock.h"
#include "DMUnit.h"
#include "TAutoIncField.h"
#include "FormatSettings.h"
#include "TDataSource.h"
#include "TDateField.h"
#include "TField.h"
#include "TFloatField.h"
#include "TIntegerField.h"
#include "TQuery.h"
#include "TStringField.h"
#include "TTable.h"
#include "TestAlias.h"
#include "TestEngines.h"

#include <QtTest>

// The data module over a real alias: what it opens, the fields it shows and
// the rules that fill new records.
class tst_DM : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;

    void createDM()
    {
        try {
            DM = new TDM();
        } catch (const EDatabaseError &e) {
            QFAIL(qPrintable(e.message()));
        }
    }

private Q_SLOTS:
    void initTestCase_data() { TestEngines::addRows(); }
    void init()
    {
        TEST_ENGINE_AVAILABLE();
        FormatSettings() = TFormatSettings();
        Clock::setTodaySource([] { return QDate(2024, 3, 13); });
        m_alias = std::make_unique<TestAlias>();
    }
    void cleanup()
    {
        delete DM;
        DM = nullptr;
        m_alias.reset();
        Clock::setTodaySource({});
    }

    void opensEverythingButTheScratchQuery()
    {
        createDM();
        for (TDataSet *d : {static_cast<TDataSet *>(DM->AccountsTable), static_cast<TDataSet *>(DM->AccTransTable),
                            static_cast<TDataSet *>(DM->ExpensesTable), static_cast<TDataSet *>(DM->ExpTypesTable),
                            static_cast<TDataSet *>(DM->PurchasesTable), static_cast<TDataSet *>(DM->SalesTable),
                            static_cast<TDataSet *>(DM->AccBalancesQuery), static_cast<TDataSet *>(DM->ExpTotalsQuery)})
            QVERIFY2(d->Active(), qPrintable(d->Name()));
        QVERIFY(!DM->ds1->Active());
        QCOMPARE(DM->SalesDS->DataSet(), DM->SalesTable);
        QCOMPARE(DM->ExpTotalsDS->DataSet(), DM->ExpTotalsQuery);
        QVERIFY(DM->AccountsDS->AutoEdit());
        QVERIFY(!DM->SalesTable->Filtered());
    }

    // The first table that cannot be opened is the one the message names.
    void creationFailsOnTheFirstMissingTable()
    {
        m_alias->exec(QStringLiteral("DROP TABLE ExpTypes"));
        m_alias->exec(QStringLiteral("DROP TABLE Sales"));
        QString message;
        try {
            DM = new TDM();
        } catch (const EDatabaseError &e) {
            message = e.message();
        }
        QVERIFY(!DM);
        QVERIFY2(message.startsWith(QLatin1String("Table does not exist: ExpTypes.db")), qPrintable(message));
    }

    void fieldLists_data()
    {
        QTest::addColumn<QString>("dataset");
        QTest::addColumn<QStringList>("fields");  // name:label:width, "-" before a hidden one
        QTest::newRow("accounts") << "AccountsTable" << QStringList{"AccName:Acc Name:30", "-AccID:Acc ID:10"};
        QTest::newRow("account transactions")
            << "AccTransTable"
            << QStringList{"DocDate:DocDate:10", "Account:Account:18",   "Transaction:Transaction:22",
                           "Increase:Increase:14", "Decrease:Decrease:14", "Remarks:Remarks:16",
                           "-Id:Serial:6",       "-AccID:AccID:10"};
        QTest::newRow("expenses") << "ExpensesTable"
                                  << QStringList{"DocDate:Date:10",   "Expenses:Expenses:22", "Account:Account:16",
                                                 "Amount:Amount:10",  "Remarks:Remarks:28",   "-Id:Serial:6",
                                                 "-AccID:Acc ID:10", "-ExpType:Expenses Type:10"};
        QTest::newRow("expense types") << "ExpTypesTable" << QStringList{"ExpType:Expenses Type:30", "-Id:Id:8"};
        QTest::newRow("purchases") << "PurchasesTable"
                                   << QStringList{"Id:Invoice ID:10", "DocDate:Date:10",   "Supplier:Supplier:20",
                                                  "Total:Total:10",   "Account:Account:17", "Remarks:Remarks:27",
                                                  "-AccID:Acc ID:10"};
        QTest::newRow("sales") << "SalesTable"
                               << QStringList{"Id:Invoice ID:10",  "DocDate:Date:10",    "Customer:Customer:19",
                                              "SalesMan:Sales Man:18", "Total:Total:10", "Account:Account:19",
                                              "Remarks:Remarks:27", "-AccID:Acc ID:10"};
        QTest::newRow("balances") << "AccBalancesQuery"
                                  << QStringList{"Account:Account:27", "Balance:Balance:13", "-AccID:Acc ID:10"};
        QTest::newRow("expense totals") << "ExpTotalsQuery"
                                        << QStringList{"Expenses:Expenses:27", "Amount:Amount:12", "-ExpType:ExpType:10"};
    }
    void fieldLists()
    {
        QFETCH(QString, dataset);
        QFETCH(QStringList, fields);
        createDM();
        auto *d = DM->findChild<TDataSet *>(dataset);
        QVERIFY(d);
        QStringList actual;
        for (TField *f : d->Fields())
            actual << QStringLiteral("%1%2:%3:%4")
                          .arg(f->Visible() ? QString() : QStringLiteral("-"), f->FieldName(), f->DisplayLabel())
                          .arg(f->DisplayWidth());
        QCOMPARE(actual, fields);
    }

    void fieldMembersHaveTheirKinds()
    {
        createDM();
        QCOMPARE(DM->SalesTableTotal->DataType(), TFieldType::Float);
        QCOMPARE(DM->SalesTableId->DataType(), TFieldType::Integer);
        QCOMPARE(DM->AccTransTableId->DataType(), TFieldType::AutoInc);
        QCOMPARE(DM->AccTransTableDocDate->DataType(), TFieldType::Date);
        QCOMPARE(DM->SalesTableSalesMan->Size(), 50);
        QCOMPARE(DM->SalesTableAccount->FieldKind(), TFieldKind::fkLookup);
        QCOMPARE(DM->ExpTotalsQueryExpenses->LookupDataSet(), DM->ExpTypesTable);
        QVERIFY(!DM->AccBalancesQuery->CanModify());
        QVERIFY(DM->SalesTableTotal->CanModify());
        QVERIFY(!DM->AccountsTableAccID->CanModify());
        QVERIFY(!DM->SalesTableAccount->CanModify());
    }

    void invoiceNumberIsProposed_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QList<int>>("stored");
        QTest::addColumn<int>("proposed");  // 0: no number follows, the record is refused
        QTest::newRow("empty sales") << "Sales" << QList<int>{} << 1;
        QTest::newRow("sales 7 and 12") << "Sales" << QList<int>{12, 7} << 13;
        QTest::newRow("empty purchases") << "Purchases" << QList<int>{} << 1;
        QTest::newRow("purchases 7 and 12") << "Purchases" << QList<int>{7, 12} << 13;
        QTest::newRow("sales up to the last number") << "Sales" << QList<int>{2147483646} << 2147483647;
        QTest::newRow("sales at the last number") << "Sales" << QList<int>{5, 2147483647} << 0;
        QTest::newRow("purchases at the last number") << "Purchases" << QList<int>{2147483647} << 0;
    }
    void invoiceNumberIsProposed()
    {
        QFETCH(QString, table);
        QFETCH(QList<int>, stored);
        QFETCH(int, proposed);
        for (int id : stored)
            m_alias->exec(QStringLiteral("INSERT INTO %1 (Id, DocDate) VALUES (?, '2023-06-01')").arg(table), {id});
        createDM();
        TTable *t = table == QLatin1String("Sales") ? DM->SalesTable : DM->PurchasesTable;
        // The period shows neither stored invoice.
        QVERIFY_DB({
            t->setFilter(QStringLiteral("DocDate = '3/13/24'"));
            t->setFiltered(true);
        });
        QVERIFY(t->IsEmpty());
        if (proposed == 0) {
            // Adding one would overflow: the new record is refused, clearly.
            QVERIFY_DB_ERROR(t->Append(),
                             QStringLiteral("No invoice number follows 2147483647, the highest an invoice can have"));
            QCOMPARE(t->State(), TDataSetState::dsBrowse);
            QVERIFY(t->IsEmpty());
            QVERIFY(!DM->ds1->Active());
        } else {
            QVERIFY_DB(t->Append());
            QCOMPARE(t->FieldByName(QStringLiteral("Id"))->AsInteger(), proposed);
            QCOMPARE(t->FieldByName(QStringLiteral("DocDate"))->AsDate(), QDate(2024, 3, 13));
            QVERIFY(!t->Modified());
            QVERIFY(!DM->ds1->Active());
            // Nothing typed: settling drops it again.
            QVERIFY_DB(t->CheckBrowseMode());
        }
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toInt(), int(stored.size()));
    }

    void newJournalRecordsGetTodayEvenOutsideThePeriod()
    {
        createDM();
        for (TTable *t : {DM->AccTransTable, DM->ExpensesTable}) {
            QVERIFY_DB({
                t->setFilter(QStringLiteral("DocDate = '1/1/24'"));
                t->setFiltered(true);
                t->Append();
            });
            QCOMPARE(t->FieldByName(QStringLiteral("DocDate"))->AsDate(), QDate(2024, 3, 13));
            QVERIFY_DB({
                t->FieldByName(QStringLiteral("Remarks"))->setAsString(QStringLiteral("stored"));
                t->Post();
            });
            // Stored, but hidden by the period.
            QVERIFY(t->IsEmpty());
        }
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT DocDate FROM AccTrans")).toString(), QStringLiteral("2024-03-13"));
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT DocDate FROM Expenses")).toString(), QStringLiteral("2024-03-13"));
    }

    void summaryQueriesShowNamesAndFollowTheirStatements()
    {
        m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash'), ('Bank')"));
        m_alias->exec(QStringLiteral("INSERT INTO ExpTypes (ExpType) VALUES ('Rent')"));
        m_alias->exec(QStringLiteral("INSERT INTO AccTrans (DocDate, AccID, Increase, Decrease) VALUES "
                                     "('2020-01-01', 2, 100, 0), ('2024-03-13', 2, 0, 40), ('2024-03-13', 5, 1, 0)"));
        m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, ExpType, Amount) VALUES "
                                     "('2024-03-13', 1, 10), ('2024-02-01', 1, 5), ('2024-03-13', 7, 1)"));
        createDM();
        QStringList balances;
        for (DM->AccBalancesQuery->First(); !DM->AccBalancesQuery->Eof(); DM->AccBalancesQuery->Next())
            balances << DM->AccBalancesQueryAccount->DisplayText() + QLatin1Char('=') +
                            DM->AccBalancesQueryBalance->DisplayText();
        QCOMPARE(balances, (QStringList{"Bank=60", "=1"}));

        QVERIFY_DB({
            DM->ExpTotalsQuery->Close();
            DM->ExpTotalsQuery->setSQL(QStringLiteral("select ExpType,Sum(Amount) as Amount From Expenses Where ") +
                                       QStringLiteral("DocDate = '03/13/2024'") + QStringLiteral(" Group By ExpType"));
            DM->ExpTotalsQuery->Open();
        });
        QStringList totals;
        for (DM->ExpTotalsQuery->First(); !DM->ExpTotalsQuery->Eof(); DM->ExpTotalsQuery->Next())
            totals << DM->ExpTotalsQueryExpenses->DisplayText() + QLatin1Char('=') + DM->ExpTotalsQueryAmount->DisplayText();
        QCOMPARE(totals, (QStringList{"Rent=10", "=1"}));
    }
};

QTEST_GUILESS_MAIN(tst_DM)
#include "tst_dm.moc"
