#include "Clock.h"
#include "CsvExport.h"
#include "CsvParse.h"
#include "DMUnit.h"
#include "FormatSettings.h"
#include "RecordReader.h"
#include "TDateField.h"
#include "TField.h"
#include "TFloatField.h"
#include "TIntegerField.h"
#include "TQuery.h"
#include "TStringField.h"
#include "TTable.h"
#include "TestAlias.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>
#include <cmath>
#include <cstdlib>

namespace {

const QString March = QStringLiteral("DocDate >= '01/03/2024' AND DocDate <= '31/03/2024'");

// Remarks that a careless writer or reader gets wrong.
const QStringList NastyRemarks = {
    QStringLiteral("plain"),
    QStringLiteral("comma, inside"),
    QStringLiteral("a \"quoted\" word"),
    QStringLiteral("two\nlines"),
    QStringLiteral("two\r\nlines"),
    QStringLiteral("Gr\u00fc\u00dfe aus K\u00f6ln, \u65e5\u672c"),
    QStringLiteral("\u0645\u0631\u062d\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645"),
    QStringLiteral("\u05e9\u05dc\u05d5\u05dd, \"\u05e2\u05d5\u05dc\u05dd\""),
    QStringLiteral("=1+1"),
    QStringLiteral(" leading and trailing blanks "),
};

// Amounts whose every bit must come back.
const QList<double> ExactAmounts = {1e-5, std::nextafter(1e15, 0.0), 0.1 + 0.2, -0.5, 1234.5, 100.0};

QString fileIn(const QTemporaryDir &dir, const QString &name)
{
    return dir.filePath(name);
}

QByteArray contents(const QString &fileName)
{
    QFile f(fileName);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

// Whether a CSV field holds exactly `value` as a field of `type` holds it.
bool sameValue(const QString &text, TFieldType type, const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return text.isEmpty();
    switch (type) {
    case TFieldType::Float: {
        const QByteArray bytes = text.toUtf8();
        char *end = nullptr;
        const double back = std::strtod(bytes.constData(), &end);
        return !text.isEmpty() && *end == '\0' && back == value.toDouble();
    }
    case TFieldType::Integer:
    case TFieldType::AutoInc:
        return text == QString::number(value.toLongLong());
    case TFieldType::Date:
        return QDate::fromString(text, Qt::ISODate) == value.toDate();
    case TFieldType::String:
        return text == value.toString();
    }
    return false;
}

} // namespace

// Exports of the books' lists, read back as CSV and compared with what the
// books hold: every list the program shows, over more than one batch, with
// the texts and amounts that trip writers up; a value the program refuses to
// read stops the export, and a cancelled or failed export leaves no file.
class tst_CsvExport : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TQuery> m_statement;

    void createDM()
    {
        try {
            DM = new TDM();
        } catch (const EDatabaseError &e) {
            QFAIL(qPrintable(e.message()));
        }
    }

    // The dataset and fields of a list, by name.
    struct List
    {
        TDataSet *dataSet = nullptr;
        QList<TField *> fields;
    };
    List list(const QString &name)
    {
        if (name == QLatin1String("sales"))
            return {DM->SalesTable,
                    {DM->SalesTableId, DM->SalesTableDocDate, DM->SalesTableCustomer, DM->SalesTableSalesMan,
                     DM->SalesTableTotal, DM->SalesTableAccount, DM->SalesTableRemarks}};
        if (name == QLatin1String("expenses"))
            return {DM->ExpensesTable,
                    {DM->ExpensesTableDocDate, DM->ExpensesTableExpenses, DM->ExpensesTableAccount,
                     DM->ExpensesTableAmount, DM->ExpensesTableRemarks}};
        if (name == QLatin1String("accounts list"))
            return {DM->AccountsTable, {DM->AccountsTableAccName}};
        if (name == QLatin1String("balances"))
            return {DM->AccBalancesQuery, {DM->AccBalancesQueryAccount, DM->AccBalancesQueryBalance}};
        if (name == QLatin1String("expense totals"))
            return {DM->ExpTotalsQuery, {DM->ExpTotalsQueryExpenses, DM->ExpTotalsQueryAmount}};
        // An account's history, as its window asks for it.
        m_statement = std::make_unique<TQuery>();
        m_statement->setObjectName(QStringLiteral("AccTransQuery"));
        m_statement->setDatabaseName(QStringLiteral("ARD"));
        m_statement->setSQL(QStringLiteral("select * From AccTrans Where AccID = 1 Order By DocDate"));
        m_statement->Open();
        List l{m_statement.get(), {}};
        for (const char *f : {"DocDate", "Transaction", "Increase", "Decrease", "Remarks"})
            l.fields << m_statement->FieldByName(QString::fromLatin1(f));
        return l;
    }

    static QStringList titlesOf(const QList<TField *> &fields)
    {
        QStringList titles;
        for (const TField *f : fields)
            titles << f->DisplayLabel();
        return titles;
    }

    bool exportList(const List &l, const QString &fileName, const CsvExport::Progress &progress = {})
    {
        TRecordReader reader(l.dataSet, l.fields);
        return CsvExport::write(reader, titlesOf(l.fields), fileName, progress);
    }

    // The file holds the titles, then exactly the records the dataset shows,
    // in its order, each value as the field holds it.
    void compareWithDataSet(const QString &fileName, const List &l)
    {
        const QList<QStringList> records = readCsvFile(fileName);
        QVERIFY(!records.isEmpty());
        QCOMPARE(records.first(), titlesOf(l.fields));
        int row = 1;
        l.dataSet->First();
        for (; !l.dataSet->Eof(); l.dataSet->Next(), ++row) {
            QVERIFY2(row < records.size(), "a record is missing");
            QCOMPARE(records.at(row).size(), l.fields.size());
            for (qsizetype c = 0; c < l.fields.size(); ++c) {
                const TField *f = l.fields.at(c);
                QVERIFY2(sameValue(records.at(row).at(c), f->DataType(), f->Value()),
                         qPrintable(QStringLiteral("row %1, %2: \"%3\" for \"%4\"")
                                        .arg(row)
                                        .arg(f->FieldName(), records.at(row).at(c), f->Value().toString())));
            }
        }
        QCOMPARE(records.size(), row);
    }

    // `count` sales in March, some on one day, the first ones without a date.
    void addManySales(int count)
    {
        QSqlDatabase db = m_alias->fixture();
        db.transaction();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO Sales (Id, DocDate, Customer, Total, Remarks, AccID) VALUES (?, ?, ?, ?, ?, 1)"));
        for (int i = 0; i < count; ++i) {
            q.addBindValue(1000 + i);
            q.addBindValue(i < 3 ? QVariant() : QVariant(QStringLiteral("2024-03-%1").arg(1 + (i * 7) % 28, 2, 10, QLatin1Char('0'))));
            q.addBindValue(QStringLiteral("Customer %1").arg(i));
            q.addBindValue(i * 0.01);
            q.addBindValue(NastyRemarks.at(i % NastyRemarks.size()));
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        QVERIFY(db.commit());
    }

private Q_SLOTS:
    void init()
    {
        FormatSettings() = TFormatSettings();
        FormatSettings().ShortDateFormat = QStringLiteral("dd/mm/yyyy");
        Clock::setTodaySource([] { return QDate(2024, 3, 13); });
        m_alias = std::make_unique<TestAlias>();
        m_dir = std::make_unique<QTemporaryDir>();
        m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash'), ('Bank, \"main\"'), (?)"),
                      {QStringLiteral("\u0635\u0646\u062f\u0648\u0642")});
        m_alias->exec(QStringLiteral("INSERT INTO ExpTypes (ExpType) VALUES ('Rent'), ('Power, water')"));
        const QString sale =
            QStringLiteral("INSERT INTO Sales (Id, DocDate, Customer, SalesMan, Total, Remarks, AccID) VALUES (?, ?, ?, ?, ?, ?, ?)");
        const QString expense =
            QStringLiteral("INSERT INTO Expenses (DocDate, Amount, Remarks, AccID, ExpType) VALUES (?, ?, ?, ?, ?)");
        const QString trans = QStringLiteral(
            "INSERT INTO AccTrans (DocDate, \"Transaction\", Increase, Decrease, Remarks, AccID) VALUES (?, ?, ?, ?, ?, ?)");
        for (int i = 0; i < NastyRemarks.size(); ++i) {
            const QString day = QStringLiteral("2024-03-%1").arg(1 + i % 3, 2, 10, QLatin1Char('0'));
            const QVariant amount = i < ExactAmounts.size() ? QVariant(ExactAmounts.at(i)) : QVariant();
            // The sums of the Summary stay below 1E15 as well.
            const QVariant small = i == 1 ? QVariant(123456789.125) : amount;
            // Account 9 does not exist: its name is empty.
            const int account = i == 4 ? 9 : 1 + i % 3;
            m_alias->exec(sale, {i + 1, day, NastyRemarks.at(i), NastyRemarks.at((i + 1) % NastyRemarks.size()),
                                 amount, NastyRemarks.at(i), account});
            m_alias->exec(expense, {day, small, NastyRemarks.at(i), account, 1 + i % 2});
            m_alias->exec(trans, {day, NastyRemarks.at(i), small, i % 2 ? QVariant(0.25) : QVariant(), NastyRemarks.at(i), 1});
        }
        // Outside the period.
        m_alias->exec(sale, {50, QStringLiteral("2024-02-29"), QStringLiteral("February"), QString(), 7.0, QString(), 1});
        m_alias->exec(expense, {QStringLiteral("2024-04-01"), 8.0, QStringLiteral("April"), 1, 1});
        createDM();
        for (TTable *t : {DM->SalesTable, DM->ExpensesTable}) {
            QVERIFY_DB(t->setFilter(March));
            QVERIFY_DB(t->setFiltered(true));
        }
        QVERIFY_DB(DM->ExpTotalsQuery->Close());
        DM->ExpTotalsQuery->setSQL(
            QStringLiteral("select ExpType,Sum(Amount) as Amount From Expenses Where DocDate >= '03/01/2024' Group By ExpType"));
        QVERIFY_DB(DM->ExpTotalsQuery->Open());
    }
    void cleanup()
    {
        m_statement.reset();
        delete DM;
        DM = nullptr;
        m_alias.reset();
        m_dir.reset();
        Clock::setTodaySource({});
        FormatSettings() = TFormatSettings();
    }

    // Every list comes back as the dataset shows it: a record tab's records
    // of the period, a master list, the Summary's lists and a statement,
    // lookups by name; reading leaves the dataset's current record alone.
    void listsReadBackAsShown_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("sales of the period") << "sales";
        QTest::newRow("expenses of the period") << "expenses";
        QTest::newRow("accounts list") << "accounts list";
        QTest::newRow("account balances") << "balances";
        QTest::newRow("expense totals") << "expense totals";
        QTest::newRow("account history") << "history";
    }
    void listsReadBackAsShown()
    {
        QFETCH(QString, name);
        const List l = list(name);
        l.dataSet->First();
        l.dataSet->Next();
        const int recNo = l.dataSet->RecNo();
        const QString fileName = fileIn(*m_dir, name + QStringLiteral(".csv"));
        bool written = false;
        QVERIFY_DB(written = exportList(l, fileName));
        QVERIFY(written);
        QCOMPARE(l.dataSet->RecNo(), recNo);
        compareWithDataSet(fileName, l);
    }

    // The stored values themselves come back, straight from the file: every
    // text, every bit of every amount, ISO dates, names looked up by key, an
    // unknown account and a missing amount as empty fields.
    void storedValuesComeBackExactly()
    {
        const QString fileName = fileIn(*m_dir, QStringLiteral("sales.csv"));
        QVERIFY_DB(exportList(list(QStringLiteral("sales")), fileName));
        const QList<QStringList> records = readCsvFile(fileName);
        QCOMPARE(records.first(), (QStringList{"Invoice ID", "Date", "Customer", "Sales Man", "Total", "Account", "Remarks"}));
        QCOMPARE(records.size(), NastyRemarks.size() + 1);
        QSqlQuery q(m_alias->fixture());
        QVERIFY(q.exec(QStringLiteral("SELECT s.Id, s.DocDate, s.Customer, s.Total, a.AccName, s.Remarks FROM Sales s "
                                      "LEFT JOIN Accounts a ON a.AccID = s.AccID WHERE s.DocDate >= '2024-03-01' "
                                      "ORDER BY s.DocDate, s.SeqNo")));
        for (int row = 1; q.next(); ++row) {
            const QStringList &r = records.at(row);
            QCOMPARE(r.at(0), q.value(0).toString());
            QCOMPARE(r.at(1), q.value(1).toString());
            QCOMPARE(r.at(2), q.value(2).toString());
            QVERIFY2(sameValue(r.at(4), TFieldType::Float, q.value(3)), qPrintable(r.at(4)));
            QCOMPARE(r.at(5), q.value(4).toString());
            QCOMPARE(r.at(6), q.value(5).toString());
        }
        const QStringList totals = [&] {
            QStringList t;
            for (int row = 1; row < records.size(); ++row)
                t << records.at(row).at(4);
            return t;
        }();
        for (const char *exact : {"1E-5", "999999999999999.9", "0.30000000000000004", "-0.5", "1234.5", "100"})
            QVERIFY2(totals.contains(QString::fromLatin1(exact)), exact);
        QVERIFY(totals.contains(QString()));
    }

    // A stored value the program refuses to read stops the export with the
    // engine's message naming table, record and field: no file is written,
    // and a file already there keeps what it held.
    void unfitValueStopsTheExport_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("message");
        QTest::newRow("an amount of 1E15")
            << "sales" << "UPDATE Sales SET Total = 1e15 WHERE Id = 7"
            << "Sales.DB, invoice 7: the field Total holds 1E15, which is not an amount the program "
               "accepts (amounts stay below 1E15)";
        QTest::newRow("text in an amount")
            << "expenses" << "UPDATE Expenses SET Amount = 'ten' WHERE Id = 3"
            << "Expenses.db, record 3: the field Amount holds 'ten', which is not a number";
        QTest::newRow("a key beyond 32 bits in a lookup's key")
            << "expenses" << "UPDATE Expenses SET AccID = 5000000000 WHERE Id = 2"
            << "Expenses.db, record 2: the field AccID holds 5000000000, which is not a whole number of 32 bits";
        QTest::newRow("in a statement")
            << "history" << "UPDATE AccTrans SET Decrease = -1e16 WHERE Id = 2"
            << "AccTrans.db, record 2: the field Decrease holds -1E16, which is not an amount the program "
               "accepts (amounts stay below 1E15)";
    }
    void unfitValueStopsTheExport()
    {
        QFETCH(QString, name);
        QFETCH(QString, fixture);
        QFETCH(QString, message);
        m_alias->exec(fixture);
        const QString fresh = fileIn(*m_dir, name + QStringLiteral("-fresh.csv"));
        const QString existing = fileIn(*m_dir, name + QStringLiteral("-existing.csv"));
        {
            QFile f(existing);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("kept\r\n");
        }
        const List l = list(name);
        QVERIFY_DB_ERROR(exportList(l, fresh), message);
        QVERIFY_DB_ERROR(exportList(l, existing), message);
        QVERIFY(!QFile::exists(fresh));
        QCOMPARE(contents(existing), QByteArray("kept\r\n"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), 1);  // no temporary file left
    }

    // Several batches of a table (ties of a day, records without a date
    // first) and of a statement come out each once, in order.
    void longListsKeepTheirOrder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("record tab") << "sales";
        QTest::newRow("statement") << "history";
    }
    void longListsKeepTheirOrder()
    {
        QFETCH(QString, name);
        addManySales(2 * TRecordReader::BatchSize + 123);
        m_alias->exec(QStringLiteral("INSERT INTO AccTrans (DocDate, \"Transaction\", Increase, Remarks, AccID) "
                                     "SELECT DocDate, Customer, Total, Remarks, 1 FROM Sales"));
        if (name == QLatin1String("sales")) {
            QVERIFY_DB(DM->SalesTable->setFiltered(false));
        }
        const List l = list(name);
        const QString fileName = fileIn(*m_dir, QStringLiteral("long.csv"));
        QVERIFY_DB(exportList(l, fileName));
        compareWithDataSet(fileName, l);
    }

    // Cancelling at a report of progress removes what was written; a file
    // already there keeps what it held.
    void cancelLeavesNoFile()
    {
        addManySales(CsvExport::ProgressStep + 10);
        const QString fileName = fileIn(*m_dir, QStringLiteral("cancelled.csv"));
        QList<qint64> reports;
        bool written = true;
        QVERIFY_DB(written = exportList(list(QStringLiteral("sales")), fileName, [&](qint64 n) {
                       reports << n;
                       return false;
                   }));
        QVERIFY(!written);
        QCOMPARE(reports, QList<qint64>{CsvExport::ProgressStep});
        QVERIFY(!QFile::exists(fileName));

        {
            QFile f(fileName);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("kept\r\n");
        }
        reports.clear();
        QVERIFY_DB(written = exportList(list(QStringLiteral("sales")), fileName, [&](qint64 n) {
                       reports << n;
                       return reports.size() < 2;  // cancelled at the very end
                   }));
        QVERIFY(!written);
        QCOMPARE(reports.size(), 2);
        QCOMPARE(contents(fileName), QByteArray("kept\r\n"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    // A folder that cannot take the file is the file's error, with its name.
    void unwritableFolderIsReported()
    {
        const QString fileName = fileIn(*m_dir, QStringLiteral("no such folder/list.csv"));
        QString message;
        try {
            exportList(list(QStringLiteral("sales")), fileName);
        } catch (const EDatabaseError &e) {
            message = e.message();
        }
        QVERIFY2(message.startsWith(QStringLiteral("Cannot write the file ") + QDir::toNativeSeparators(fileName) +
                                    QStringLiteral(": ")),
                 qPrintable(message));
    }
};

QTEST_GUILESS_MAIN(tst_CsvExport)
#include "tst_csvexport.moc"
