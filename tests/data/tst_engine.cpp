#include "EngineConfig.h"
#include "EngineDatabase.h"
#include "FormatSettings.h"
#include "TQuery.h"
#include "TTable.h"
#include "TestAlias.h"
#include "TestEngines.h"
#include "TField.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

// The engine as the program relies on it: aliases, tables opened by file
// name, keys, and the local SQL statements of the summary and statements.
class tst_Engine : public QObject
{
    Q_OBJECT

private:
    static TTable *openTable(QObject *owner, const QString &file)
    {
        auto *t = new TTable(owner);
        t->setObjectName(file);
        t->setDatabaseName(QStringLiteral("ARD"));
        t->setTableName(file);
        t->Open();
        return t;
    }

    // The program goes back to waiting for the user, as it does between
    // another program's change and its own next refresh: on a server, the
    // change stamps read during one turn serve that turn only.
    static void nextTurn() { QCoreApplication::processEvents(); }

private Q_SLOTS:
    void initTestCase_data() { TestEngines::addRows(); }
    void init()
    {
        TEST_ENGINE_AVAILABLE();
        FormatSettings() = TFormatSettings();
    }

    void missingThingsAreNamed_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("expected");
        QTest::newRow("alias not configured") << "alias" << "Unknown database alias: ARD";
        QTest::newRow("alias folder gone") << "folder" << "The folder of database alias ARD does not exist";
        QTest::newRow("database file gone") << "file" << "The database of alias ARD does not exist";
        QTest::newRow("not a database") << "garbage" << "file is not a database";
        QTest::newRow("table dropped") << "table" << "Table does not exist: Sales.DB";
    }
    void missingThingsAreNamed()
    {
        QFETCH(QString, damage);
        QFETCH(QString, expected);
        if (damage == QLatin1String("folder") || damage == QLatin1String("file") || damage == QLatin1String("garbage"))
            QSKIP_ON_SERVER("a folder and a database file");
        TestAlias alias;
        if (damage == QLatin1String("alias")) {
            QFile::remove(alias.configFile());
        } else if (damage == QLatin1String("folder")) {
            QVERIFY(QDir(alias.folder()).removeRecursively());
        } else if (damage == QLatin1String("file")) {
            QVERIFY(QFile::remove(alias.databaseFile()));
        } else if (damage == QLatin1String("garbage")) {
            alias.fixture().close();
            QFile f(alias.databaseFile());
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray(4096, 'x'));
        } else {
            alias.exec(QStringLiteral("DROP TABLE Sales"));
        }
        QString message;
        try {
            QObject owner;
            openTable(&owner, QStringLiteral("Sales.DB"));
        } catch (const EDatabaseError &e) {
            message = e.message();
        }
        QVERIFY2(message.contains(expected), qPrintable(message));
        // Nothing was created behind the user's back.
        if (damage == QLatin1String("file"))
            QVERIFY(!QFile::exists(alias.databaseFile()));
    }

    void tablesOpenByFileNameWithoutRegardToCase()
    {
        TestAlias alias;
        QObject owner;
        QVERIFY_DB(openTable(&owner, QStringLiteral("sales.db")));
        QVERIFY_DB(openTable(&owner, QStringLiteral("ACCTRANS.DB")));
    }

    // A deleted account's number must never name a new account, or its old
    // transactions would change owner.
    void autoIncrementKeysAreNeverReused()
    {
        TestAlias alias;
        QObject owner;
        TTable *t = nullptr;
        QVERIFY_DB(t = openTable(&owner, QStringLiteral("Accounts.db")));
        QVERIFY_DB({
            t->Append();
            t->FieldByName(QStringLiteral("AccName"))->setAsString(QStringLiteral("Cash"));
            t->Post();
            t->Append();
            t->FieldByName(QStringLiteral("AccName"))->setAsString(QStringLiteral("Bank"));
            t->Post();
        });
        QCOMPARE(t->FieldByName(QStringLiteral("AccID"))->AsInteger(), 2);
        QVERIFY_DB(t->Delete());
        QVERIFY_DB({
            t->Append();
            t->FieldByName(QStringLiteral("AccName"))->setAsString(QStringLiteral("Card"));
            t->Post();
        });
        QCOMPARE(t->FieldByName(QStringLiteral("AccID"))->AsInteger(), 3);
    }

    void duplicateInvoiceNumberIsAKeyViolation()
    {
        TestAlias alias;
        QObject owner;
        TTable *t = nullptr;
        QVERIFY_DB(t = openTable(&owner, QStringLiteral("Sales.DB")));
        QVERIFY_DB({
            t->Append();
            t->FieldByName(QStringLiteral("Id"))->setAsInteger(7);
            t->Post();
            t->Append();
            t->FieldByName(QStringLiteral("Id"))->setAsInteger(7);
        });
        QString message;
        try {
            t->Post();
        } catch (const EDatabaseError &e) {
            message = e.message();
        }
        QVERIFY2(message.startsWith(QLatin1String("Key violation")), qPrintable(message));
        // The refused record stays pending so the user can correct it.
        QCOMPARE(t->State(), TDataSetState::dsInsert);
        QVERIFY_DB({
            t->FieldByName(QStringLiteral("Id"))->setAsInteger(8);
            t->Post();
        });
        // Records without a number do not collide with each other.
        QVERIFY_DB({
            t->Append();
            t->Post();
            t->Append();
            t->FieldByName(QStringLiteral("Customer"))->setAsString(QStringLiteral("x"));
            t->Post();
        });
        QCOMPARE(alias.scalar(QStringLiteral("SELECT COUNT(*) FROM Sales")).toInt(), 4);
    }

    void summaryStatements()
    {
        TestAlias alias;
        alias.exec(QStringLiteral("INSERT INTO AccTrans (DocDate, AccID, Increase, Decrease) VALUES "
                                  "('2024-03-01', 1, 100, 0), ('2024-03-20', 1, 0, 30.5), ('2023-01-01', 2, 5, 0)"));
        alias.exec(QStringLiteral("INSERT INTO Expenses (DocDate, ExpType, Amount) VALUES "
                                  "('2024-03-09', 1, 10), ('2024-03-15', 1, 2.5), ('2024-03-16', 1, 1000), "
                                  "('2024-03-10', 2, 7), (NULL, 2, 99)"));
        QObject owner;
        auto run = [&](const QString &sql) {
            auto *q = new TQuery(&owner);
            q->setObjectName(QStringLiteral("Q"));
            q->setDatabaseName(QStringLiteral("ARD"));
            q->setSQL(sql);
            q->Open();
            QMap<int, double> rows;
            for (; !q->Eof(); q->Next())
                rows[q->Fields().at(0)->AsInteger()] = q->Fields().at(1)->AsFloat();
            return rows;
        };
        QMap<int, double> balances;
        QVERIFY_DB(balances = run(QStringLiteral(
                       "select AccID,( Sum(Increase) - Sum(Decrease) ) as Balance From AccTrans Group by AccID")));
        QCOMPARE(balances, (QMap<int, double>{{1, 69.5}, {2, 5.0}}));

        QMap<int, double> all;
        QVERIFY_DB(all = run(QStringLiteral(
                       "select ExpType,Sum(Amount) as Amount From Expenses Where 1 <> 2 Group By ExpType")));
        QCOMPARE(all, (QMap<int, double>{{1, 1012.5}, {2, 106.0}}));

        // The period condition: dates month, day, year, with the user's separator.
        QMap<int, double> week;
        QVERIFY_DB(week = run(QStringLiteral("select ExpType,Sum(Amount) as Amount From Expenses Where "
                                             "DocDate >= '03.09.2024' AND DocDate <= '03.15.2024' Group By ExpType")));
        QCOMPARE(week, (QMap<int, double>{{1, 12.5}, {2, 7.0}}));
        QMap<int, double> day;
        QVERIFY_DB(day = run(QStringLiteral(
                       "select ExpType,Sum(Amount) as Amount From Expenses Where DocDate = '03/10/2024' Group By ExpType")));
        QCOMPARE(day, (QMap<int, double>{{2, 7.0}}));

        QVERIFY_DB_ERROR(run(QStringLiteral("select ExpType,Sum(Amount) as Amount From Expenses Where "
                                            "DocDate = 'Mar 10 2024' Group By ExpType")),
                         QStringLiteral("'Mar 10 2024' is not a valid date"));
    }

    // A statement run again on unchanged tables gives its result without
    // running; any change to a table it reads, by this program, by a trigger
    // or by another program, runs it afresh.
    void keptResultsFollowEveryChange()
    {
        TestAlias alias;
        alias.exec(QStringLiteral("INSERT INTO AccTrans (DocDate, AccID, Increase, Decrease) VALUES "
                                  "('2024-03-01', 1, 100, 0), ('2024-03-02', 2, 5, 0)"));
        // A sale that also books its money, as another program's trigger might.
        if (alias.kind() == TEngineKind::PostgreSQL) {
            alias.exec(QStringLiteral("CREATE FUNCTION SaleBooks() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                                      "INSERT INTO AccTrans (DocDate, AccID, Increase, Decrease) "
                                      "VALUES (NEW.DocDate, 1, NEW.Total, 0); RETURN NULL; END $$"));
            alias.exec(QStringLiteral("CREATE TRIGGER SaleBooks AFTER INSERT ON Sales FOR EACH ROW "
                                      "EXECUTE FUNCTION SaleBooks()"));
        } else {
            alias.exec(QStringLiteral("CREATE TRIGGER SaleBooks AFTER INSERT ON Sales BEGIN "
                                      "INSERT INTO AccTrans (DocDate, AccID, Increase, Decrease) "
                                      "VALUES (NEW.DocDate, 1, NEW.Total, 0); END"));
        }
        QObject owner;
        auto *balances = new TQuery(&owner);
        balances->setDatabaseName(QStringLiteral("ARD"));
        balances->setSQL(
            QStringLiteral("select AccID,( Sum(Increase) - Sum(Decrease) ) as Balance From AccTrans Group by AccID"));
        auto firstBalance = [&] {
            balances->Close();
            balances->Open();
            balances->RecordCount();  // reads it to the end, as a grid showing it does
            return balances->FieldByName(QStringLiteral("Balance"))->AsFloat();
        };
        TTable *expenses = nullptr;
        TTable *accTrans = nullptr;
        TTable *sales = nullptr;
        QVERIFY_DB({
            expenses = openTable(&owner, QStringLiteral("Expenses.db"));
            accTrans = openTable(&owner, QStringLiteral("AccTrans.db"));
            sales = openTable(&owner, QStringLiteral("Sales.db"));
        });
        auto post = [](TTable *t, const char *field, double value) {
            t->Append();
            t->FieldByName(QLatin1String(field))->setAsFloat(value);
            t->FieldByName(QStringLiteral("DocDate"))->setAsDate(QDate(2024, 3, 5));
            if (TField *account = t->FindField(QStringLiteral("AccID")))
                account->setAsInteger(1);
            t->Post();
        };

        QVERIFY_DB(QCOMPARE(firstBalance(), 100.0));
        QVERIFY(balances->RowsRead() > 0);
        QVERIFY_DB(QCOMPARE(firstBalance(), 100.0));
        QCOMPARE(balances->RowsRead(), quint64(0));  // kept

        // Many other periods counted meanwhile make room by dropping what was
        // used longest ago, never the balances asked for at every refresh.
        for (int day = 1; day <= 100; ++day) {
            QVERIFY_DB({
                expenses->setFilter(QStringLiteral("DocDate = '%1'").arg(QDate(2023, 1, 1).addDays(day).toString(
                    QStringLiteral("MM/dd/yyyy"))));
                expenses->setFiltered(true);
                expenses->RecordCount();
            });
            if (day % 10 == 0) {
                QVERIFY_DB(QCOMPARE(firstBalance(), 100.0));
                QCOMPARE(balances->RowsRead(), quint64(0));
            }
        }
        QVERIFY_DB(expenses->setFiltered(false));

        QVERIFY_DB(post(expenses, "Amount", 7));  // another table
        QVERIFY_DB(QCOMPARE(firstBalance(), 100.0));
        QCOMPARE(balances->RowsRead(), quint64(0));

        QVERIFY_DB(post(accTrans, "Increase", 1));
        QVERIFY_DB(QCOMPARE(firstBalance(), 101.0));
        QVERIFY_DB(post(sales, "Total", 20));
        QVERIFY_DB(QCOMPARE(firstBalance(), 121.0));
        alias.exec(QStringLiteral("UPDATE AccTrans SET Increase = 1000 WHERE Increase = 100"));
        nextTurn();
        QVERIFY_DB(QCOMPARE(firstBalance(), 1021.0));

        // A result read inside a transaction that is then undone is not kept.
        TEngineDatabase &db = TEngineDatabase::forAlias(QStringLiteral("ARD"));
        QVERIFY_DB({
            db.startTransaction();
            post(accTrans, "Increase", 500);
            QCOMPARE(firstBalance(), 1521.0);
            db.rollback();
            accTrans->Refresh();
        });
        QVERIFY_DB(QCOMPARE(firstBalance(), 1021.0));

        // Counts of a filtered table are kept the same way.
        QVERIFY_DB({
            expenses->setFilter(QStringLiteral("DocDate >= '03/01/2024'"));
            expenses->setFiltered(true);
            QCOMPARE(expenses->RecordCount(), 1);
            expenses->setFiltered(false);
        });
        alias.exec(QStringLiteral("INSERT INTO Expenses (DocDate, Amount) VALUES ('2024-03-09', 1)"));
        nextTurn();
        QVERIFY_DB({
            expenses->setFiltered(true);
            QCOMPARE(expenses->RecordCount(), 2);
        });
        // ... and follow another program's insert without any step of ours.
        alias.exec(QStringLiteral("INSERT INTO Expenses (DocDate, Amount) VALUES ('2024-03-10', 1)"));
        nextTurn();
        QVERIFY_DB(QCOMPARE(expenses->RecordCount(), 3));
    }

    // A statement closed before its end and opened again (the Summary's
    // balances on every refresh) goes on from the rows it read, unless what
    // it reads changed meanwhile.
    void reopenedStatementGoesOnFromItsFirstRows()
    {
        TestAlias alias;
        alias.exec(QStringLiteral("INSERT INTO AccTrans (DocDate, AccID, Increase, Decrease) VALUES "
                                  "('2024-03-01', 1, 100, 0), ('2024-03-02', 2, 5, 0), ('2024-03-03', 3, 7, 1)"));
        QObject owner;
        auto *balances = new TQuery(&owner);
        balances->setDatabaseName(QStringLiteral("ARD"));
        balances->setSQL(
            QStringLiteral("select AccID,( Sum(Increase) - Sum(Decrease) ) as Balance From AccTrans Group by AccID"));
        QVERIFY_DB(balances->Open());
        QCOMPARE(balances->RowsRead(), quint64(1));
        QVERIFY_DB({
            balances->Close();
            balances->Open();
        });
        QCOMPARE(balances->RowsRead(), quint64(0));
        QCOMPARE(balances->FieldByName(QStringLiteral("Balance"))->AsFloat(), 100.0);
        QVERIFY_DB(QCOMPARE(balances->RecordCount(), 3));
        QCOMPARE(balances->RowsRead(), quint64(2));

        auto *history = new TQuery(&owner);
        history->setDatabaseName(QStringLiteral("ARD"));
        history->setSQL(QStringLiteral("select * From AccTrans Where AccID > 0 Order By DocDate"));
        QVERIFY_DB(history->Open());
        alias.exec(QStringLiteral("UPDATE AccTrans SET Increase = 90 WHERE AccID = 1"));
        nextTurn();
        QVERIFY_DB({
            history->Close();
            history->Open();
        });
        QCOMPARE(history->RowsRead(), quint64(1));
        QCOMPARE(history->FieldByName(QStringLiteral("Increase"))->AsFloat(), 90.0);
        QVERIFY_DB(QCOMPARE(history->RecordCount(), 3));
    }

    void statementQueriesReadEveryStoredFieldByDate()
    {
        TestAlias alias;
        alias.exec(QStringLiteral("INSERT INTO AccTrans (DocDate, AccID, \"transaction\", Increase, Decrease, Remarks) "
                                  "VALUES ('2024-03-02', 3, 'b', 1, 0, 'r2'), ('2023-12-31', 3, 'a', 2, 0, 'r1'), "
                                  "('2024-01-01', 4, 'other', 9, 0, '')"));
        QObject owner;
        auto *q = new TQuery(&owner);
        q->setObjectName(QStringLiteral("AccTransQuery"));
        q->setDatabaseName(QStringLiteral("ARD"));
        q->setSQL(QStringLiteral("select * From AccTrans Where AccID = 3 Order By DocDate"));
        QVERIFY_DB(q->Open());
        QStringList names;
        for (TField *f : q->Fields())
            names << f->FieldName();
        for (const char *n : {"DocDate", "Transaction", "Increase", "Decrease", "Remarks", "Id", "AccID"})
            QVERIFY2(names.contains(QLatin1String(n), Qt::CaseInsensitive), n);
        QCOMPARE(q->RecordCount(), 2);
        QCOMPARE(q->FieldByName(QStringLiteral("docdate"))->DisplayText(), QStringLiteral("12/31/23"));
        QCOMPARE(q->FieldByName(QStringLiteral("Transaction"))->AsString(), QStringLiteral("a"));
        QVERIFY_DB_ERROR(q->Insert(), QStringLiteral("AccTransQuery: Cannot modify a read-only dataset"));
        QVERIFY_DB_ERROR(q->Edit(), QStringLiteral("AccTransQuery: Cannot modify a read-only dataset"));
        QVERIFY_DB_ERROR(q->Delete(), QStringLiteral("AccTransQuery: Cannot modify a read-only dataset"));
    }

    void maxInvoiceNumberIsNullOnAnEmptyTable()
    {
        TestAlias alias;
        QObject owner;
        auto *q = new TQuery(&owner);
        q->setDatabaseName(QStringLiteral("ARD"));
        q->setSQL(QStringLiteral("Select Max(ID) as MaxID From Sales"));
        QVERIFY_DB(q->Open());
        QVERIFY(q->FieldByName(QStringLiteral("MaxID"))->IsNull());
        QCOMPARE(q->FieldByName(QStringLiteral("MaxID"))->AsInteger(), 0);
    }

    // Every post is its own transaction, on a journal synced to disk (a
    // server keeps its own).
    void postsAreDurableTransactions()
    {
        TestAlias alias;
        QObject owner;
        TTable *t = nullptr;
        QVERIFY_DB(t = openTable(&owner, QStringLiteral("Expenses.db")));
        QVERIFY_DB({
            t->Append();
            t->FieldByName(QStringLiteral("Amount"))->setAsFloat(1.25);
            t->Post();
        });
        // Another connection sees it at once: nothing is left uncommitted.
        QCOMPARE(alias.scalar(QStringLiteral("SELECT Amount FROM Expenses")).toDouble(), 1.25);
        if (alias.kind() != TEngineKind::SQLite)
            return;
        TEngineDatabase &db = TEngineDatabase::forAlias(QStringLiteral("ARD"));
        QSqlQuery q = db.run(QStringLiteral("PRAGMA synchronous"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 2);  // FULL
    }

    // Another program holding the database: the post waits a while, then
    // says so, and the record stays pending for another try.
    void busyDatabaseIsReportedAndNothingIsLost()
    {
        TestAlias alias;
        QObject owner;
        TTable *t = nullptr;
        QVERIFY_DB(t = openTable(&owner, QStringLiteral("Expenses.db")));
        QVERIFY_DB({
            t->Append();
            t->FieldByName(QStringLiteral("Amount"))->setAsFloat(9);
        });
        if (alias.kind() == TEngineKind::PostgreSQL) {
            alias.exec(QStringLiteral("BEGIN"));
            alias.exec(QStringLiteral("LOCK TABLE Expenses IN EXCLUSIVE MODE"));
        } else {
            alias.exec(QStringLiteral("BEGIN EXCLUSIVE"));
        }
        QVERIFY_DB_ERROR(t->Post(), QStringLiteral("The database is locked by another program; try again later"));
        QCOMPARE(t->State(), TDataSetState::dsInsert);
        alias.exec(QStringLiteral("ROLLBACK"));
        QVERIFY_DB(t->Post());
        QCOMPARE(alias.scalar(QStringLiteral("SELECT Amount FROM Expenses")).toDouble(), 9.0);
    }

    void explicitTransactionStoresAllOrNothing()
    {
        TestAlias alias;
        QObject owner;
        TTable *t = nullptr;
        QVERIFY_DB(t = openTable(&owner, QStringLiteral("AccTrans.db")));
        TEngineDatabase &db = TEngineDatabase::forAlias(QStringLiteral("ARD"));
        QVERIFY_DB({
            db.startTransaction();
            t->Append();
            t->FieldByName(QStringLiteral("Decrease"))->setAsFloat(250);
            t->Post();
            t->Append();
            t->FieldByName(QStringLiteral("Increase"))->setAsFloat(250);
            t->Post();
            db.rollback();
        });
        QCOMPARE(alias.scalar(QStringLiteral("SELECT COUNT(*) FROM AccTrans")).toInt(), 0);
        QVERIFY_DB(t->Refresh());
        QVERIFY(t->IsEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_Engine)
#include "tst_engine.moc"
