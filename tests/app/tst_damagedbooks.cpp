#include "Clock.h"
#include "DMUnit.h"
#include "FormatSettings.h"
#include "ModalAnswer.h"
#include "Startup.h"
#include "TestAlias.h"
#include "frmMainUnit.h"
#include "ui_frmMainUnit.h"

#include <QtTest>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

// Ends the whole test program when a case runs longer than it may: a walk
// that never ends must fail the run, not hang it.
class Watchdog
{
public:
    Watchdog(const QString &name, std::chrono::seconds limit) : m_name(name.toUtf8())
    {
        m_thread = std::thread([this, limit] {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_done.wait_for(lock, limit, [this] { return m_finished; })) {
                std::fprintf(stderr, "FAIL: \"%s\" did not end within %lld s\n", m_name.constData(),
                             static_cast<long long>(limit.count()));
                std::abort();
            }
        });
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_one();
        m_thread.join();
    }

private:
    QByteArray m_name;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

const QDate Today(2026, 12, 10);

} // namespace

// Books that other programs, or other copies of this one, wrote to: each
// case opens them with the real start-up and main window and must end with
// the right figures, or with a message that says what is wrong and where.
class tst_DamagedBooks : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;

private Q_SLOTS:
    void init()
    {
        m_alias = std::make_unique<TestAlias>();
        m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash'), ('Bank')"));
        m_alias->exec(QStringLiteral("INSERT INTO ExpTypes (ExpType) VALUES ('Rent')"));
        Clock::setTodaySource([] { return Today; });
    }
    void cleanup()
    {
        Startup::finish();
        m_alias.reset();
        Clock::setTodaySource({});
        FormatSettings() = TFormatSettings();
    }

    void opens_data();
    void opens();
};

void tst_DamagedBooks::opens_data()
{
    QTest::addColumn<QStringList>("damage");     // statements run on the books first
    QTest::addColumn<bool>("wholeYear");         // Current Year is chosen after start-up
    QTest::addColumn<QStringList>("figures");    // sales, expenses, purchases, profits; empty: none shown
    QTest::addColumn<QStringList>("message");    // parts of the one box shown; empty: no box
    QTest::addColumn<bool>("startUpEnds");       // false: Application Error, exit code 1

    const auto sales = [](const QString &rows) { return QStringLiteral("INSERT INTO Sales (Id, DocDate, Total) VALUES ") + rows; };
    const auto figures = [](const char *s, const char *e = "0", const char *p = "0", const char *profit = nullptr) {
        return QStringList{QString::fromLatin1(s), QString::fromLatin1(e), QString::fromLatin1(p),
                           QString::fromLatin1(profit ? profit : s)};
    };
    const auto row = [](const char *name, const QStringList &damage, bool year, const QStringList &figs,
                        const QStringList &message, bool ends = true) {
        QTest::newRow(name) << damage << year << figs << message << ends;
    };

    // Dates in other forms are the day they name, everywhere.
    row("datetime() form on the month's last record",
        {sales(QStringLiteral("(1, '2026-12-05', 100), (2, '2026-12-10 00:00:00', 500)"))}, false, figures("600"), {});
    row("a one-digit day", {sales(QStringLiteral("(1, '2026-12-1', 50), (2, '2026-12-05', 100), (3, '2026-11-30', 9)"))},
        false, figures("150"), {});
    row("date and time with T on the last record", {sales(QStringLiteral("(1, '2026-12-01', 1), (2, '2026-12-10T08:30', 7)"))},
        false, figures("8"), {});
    row("counted once over the year",
        {sales(QStringLiteral("(1, '2026-03-01', 1000), (2, '2026-06-30 12:00:00', 5000), (3, '2026-12-05', 79.35), "
                              "(4, '2026-1-5', 0.5), (5, '2025-12-31 23:59', 1000000)"))},
        true, figures("6079.85"), {});
    row("a word names no day", {sales(QStringLiteral("(1, 'abc', 999), (2, '2026-12-05', 100)"))}, true, figures("100"), {});
    row("a number names no day", {sales(QStringLiteral("(1, 20261205, 999), (2, '2026-12-05', 100)"))}, false,
        figures("100"), {});
    row("expenses and purchases by their day",
        {QStringLiteral("INSERT INTO Expenses (DocDate, ExpType, Amount) VALUES ('2026-12-3 09:00', 1, 30), ('2026-12-09', 1, 1)"),
         QStringLiteral("INSERT INTO Purchases (Id, DocDate, Total) VALUES (1, '2026-12-10 17:45:00.250', 20)")},
        false, figures("0", "31", "20", "-51"), {});

    // Tables that cannot hold the program's fields end the start-up.
    row("sales without Remarks", {QStringLiteral("ALTER TABLE Sales DROP COLUMN Remarks")}, false, {},
        {QStringLiteral("Sales.DB"), QStringLiteral("Remarks")}, false);
    row("sales without Total", {QStringLiteral("ALTER TABLE Sales DROP COLUMN Total")}, false, {},
        {QStringLiteral("Sales.DB"), QStringLiteral("Total")}, false);
    row("a sales table of another program",
        {QStringLiteral("DROP TABLE Sales"), QStringLiteral("CREATE TABLE Sales (x INTEGER)")}, false, {},
        {QStringLiteral("Sales.DB"), QStringLiteral("SeqNo")}, false);
    row("expenses without DocDate",
        {QStringLiteral("DROP INDEX Expenses_Order"), QStringLiteral("DROP INDEX Expenses_Type"),
         QStringLiteral("ALTER TABLE Expenses DROP COLUMN DocDate")},
        false, {}, {QStringLiteral("Expenses.db"), QStringLiteral("DocDate")}, false);
    row("an amount column declared as text",
        {QStringLiteral("DROP TABLE Purchases"),
         QStringLiteral("CREATE TABLE Purchases (SeqNo INTEGER PRIMARY KEY, Id INTEGER, DocDate DATE, Supplier TEXT, "
                        "Total TEXT, Remarks TEXT, AccID INTEGER)")},
        false, {}, {QStringLiteral("Purchases.DB"), QStringLiteral("Total"), QStringLiteral("TEXT")}, false);
    row("a name column that turns digits into a number",
        {QStringLiteral("DROP TABLE Accounts"), QStringLiteral("CREATE TABLE Accounts (AccID INTEGER PRIMARY KEY, AccName NUMERIC)")},
        false, {}, {QStringLiteral("Accounts.db"), QStringLiteral("AccName")}, false);

    // Stored values that do not fit their fields are named, never read as 0:
    // the Summary stops at them, and the figures stay blank; one that the
    // opening of the books meets (a sum over all dates) ends the start-up.
    const QString olderSale = sales(QStringLiteral("(100, '2019-01-02', 1)"));
    const QString olderExpense = QStringLiteral("INSERT INTO Expenses (DocDate, ExpType, Amount) VALUES ('2019-01-02', 1, 1)");
    row("text in an expense amount",
        {olderExpense, QStringLiteral("INSERT INTO Expenses (Id, DocDate, ExpType, Amount) VALUES (17, '2026-12-02', 1, 'abc')")},
        false, {}, {QStringLiteral("Expenses.db, record 17"), QStringLiteral("Amount"), QStringLiteral("'abc'")}, false);
    row("text in a transaction's increase, summed into a balance",
        {QStringLiteral("INSERT INTO AccTrans (Id, DocDate, AccID, Increase, Decrease) VALUES (1, '2019-01-02', 1, 5, 0), "
                        "(4, '2021-01-02', 1, 'x', 0)")},
        false, {}, {QStringLiteral("AccTrans.db, record 4"), QStringLiteral("Increase"), QStringLiteral("'x'")}, false);
    row("an account key beyond 32 bits",
        {QStringLiteral("INSERT INTO AccTrans (Id, DocDate, AccID, Increase, Decrease) VALUES (1, '2026-12-01', 1, 100, 0), "
                        "(2, '2026-12-02', 4294967297, 50, 0)")},
        false, figures("0"), {QStringLiteral("AccTrans.db, record 2"), QStringLiteral("AccID"), QStringLiteral("4294967297")});
    row("two sales of 1E308",
        {olderSale, sales(QStringLiteral("(1, '2026-12-02', 1e308), (2, '2026-12-03', 1e308)"))}, false, {},
        {QStringLiteral("Sales.DB, invoice 1"), QStringLiteral("Total"), QStringLiteral("1E308")});
    row("an amount of 1E15", {olderSale, sales(QStringLiteral("(1, '2026-12-02', 1000000000000000)"))}, false, {},
        {QStringLiteral("Sales.DB, invoice 1"), QStringLiteral("Total")});
    row("text in an invoice number", {olderSale, sales(QStringLiteral("('A-7', '2026-12-02', 5)"))}, false, {},
        {QStringLiteral("Sales.DB, stored record 2"), QStringLiteral("Id"), QStringLiteral("'A-7'")});
    row("an unreadable record outside the period", {sales(QStringLiteral("(1, '2019-01-02', 'abc'), (2, '2026-12-01', 4)"))},
        false, figures("4"), {});
}

void tst_DamagedBooks::opens()
{
    QFETCH(QStringList, damage);
    QFETCH(bool, wholeYear);
    QFETCH(QStringList, figures);
    QFETCH(QStringList, message);
    QFETCH(bool, startUpEnds);

    for (const QString &statement : damage)
        m_alias->exec(statement);

    Watchdog watchdog(QString::fromLatin1(QTest::currentDataTag()), std::chrono::seconds(30));
    ModalAnswer boxes(QStringLiteral("Return"));
    const bool started = Startup::start();
    QCOMPARE(started, startUpEnds);
    if (started) {
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
        if (wholeYear)
            QTest::mouseClick(frmMain->ui->optYear, Qt::LeftButton);
    }
    QTRY_COMPARE(boxes.count(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) {
        QCOMPARE(boxes.title(), startUpEnds ? QStringLiteral("Ardentry") : QStringLiteral("Application Error"));
        for (const QString &part : std::as_const(message))
            QVERIFY2(boxes.text().contains(part), qPrintable(boxes.text()));
    }
    if (!started)
        return;
    const Ui::TfrmMain *ui = frmMain->ui;
    const QStringList shown{ui->lblSales->text(), ui->lblExpenses->text(), ui->lblPurchases->text(),
                            ui->lblProfits->text()};
    // A refused figure is not replaced by one that leaves the value out.
    QCOMPARE(shown, figures.isEmpty() ? QStringList(4, QString()) : figures);
}

QTEST_MAIN(tst_DamagedBooks)
#include "tst_damagedbooks.moc"
