#include "Clock.h"
#include "DMUnit.h"
#include "FormatSettings.h"
#include "ModalAnswer.h"
#include "Startup.h"
#include "TQuery.h"
#include "TestAlias.h"
#include "TwwDBGrid.h"
#include "frmAccStatementUnit.h"
#include "frmMainUnit.h"
#include "rptExpensesStatementUnit.h"
#include "ui_frmMainUnit.h"

#include <QtTest>

// From the Summary tab into one account's history and one type's expenses,
// on the real main window over real books.
class tst_DrillDowns : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;

    Ui::TfrmMain *ui() const { return frmMain->ui; }

    // Opens a drill-down and reads what its window lists, then closes it.
    static ModalAnswer::Step readStatement(QStringList *rows)
    {
        return [rows](QWidget *w) {
            auto *grid = w->findChild<TwwDBGrid *>(QStringLiteral("wwDBGrid2"));
            QVERIFY(grid);
            for (int r = 0; r < grid->RecordRowCount(); ++r) {
                QStringList cells;
                for (int c = 0; c < grid->ColumnCount(); ++c)
                    cells << grid->CellText(r, c);
                *rows << cells.join(QLatin1Char('|'));
            }
            QApplication::setActiveWindow(w);
            QTest::keyClick(w->focusWidget() ? w->focusWidget() : w, Qt::Key_Escape);
        };
    }

private Q_SLOTS:
    void init()
    {
        m_alias = std::make_unique<TestAlias>();
        m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash'), ('Bank')"));
        m_alias->exec(QStringLiteral("INSERT INTO ExpTypes (ExpType) VALUES ('Rent'), ('Fuel')"));
        Clock::setTodaySource([] { return QDate(2024, 3, 13); });
        FormatSettings() = TFormatSettings();
    }
    void cleanup()
    {
        Startup::finish();
        m_alias.reset();
        Clock::setTodaySource({});
    }

    // The history covers every date, oldest first, whatever the period; the
    // link and a double-click on the balances open the same one.
    void accountHistoryShowsEveryDate_data()
    {
        QTest::addColumn<bool>("byDoubleClick");
        QTest::newRow("View Details") << false;
        QTest::newRow("double-click on the balance") << true;
    }
    void accountHistoryShowsEveryDate()
    {
        QFETCH(bool, byDoubleClick);
        m_alias->exec(QStringLiteral("INSERT INTO AccTrans (DocDate, AccID, \"Transaction\", Increase, Decrease) VALUES "
                                     "('2024-03-10', 1, 'this month', 5, 0), ('2019-06-01', 1, 'long ago', 100, 0), "
                                     "('2023-12-31', 1, 'last year', 0, 30), ('2024-03-11', 2, 'other account', 1, 0)"));
        QVERIFY(Startup::start());
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
        ui()->optToday->click();
        QStringList rows;
        ModalAnswer window(QList<ModalAnswer::Step>{readStatement(&rows)});
        if (byDoubleClick)
            QTest::mouseDClick(ui()->wwDBGrid1->viewport(), Qt::LeftButton, {}, ui()->wwDBGrid1->CellRect(0, 0).center());
        else
            QTest::mouseClick(ui()->lblAccTrans, Qt::LeftButton);
        QTRY_COMPARE(window.count(), 1);
        QCOMPARE(window.title(), QStringLiteral("Account Transactions History"));
        QCOMPARE(rows.size(), 3);
        QVERIFY2(rows.at(0).contains(QLatin1String("long ago")), qPrintable(rows.join(QLatin1Char('\n'))));
        QVERIFY(rows.at(1).contains(QLatin1String("last year")));
        QVERIFY(rows.at(2).contains(QLatin1String("this month")));
    }

    // Today with one expense today and two last month: the Summary shows
    // today's amount, the statement all three.
    void expenseStatementCoversAllDates()
    {
        m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, ExpType, Amount, Remarks) VALUES "
                                     "('2024-03-13', 1, 7, 'today'), ('2024-02-02', 1, 3, 'february a'), "
                                     "('2024-02-20', 1, 4, 'february b'), ('2024-03-13', 2, 1, 'fuel')"));
        QVERIFY(Startup::start());
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
        ui()->optToday->click();
        QCOMPARE(ui()->wwDBGrid6->CellText(0, 0), QStringLiteral("Rent"));
        QCOMPARE(ui()->wwDBGrid6->CellText(0, 1), QStringLiteral("7"));
        QStringList rows;
        ModalAnswer window(QList<ModalAnswer::Step>{readStatement(&rows)});
        QTest::mouseClick(ui()->Label7, Qt::LeftButton);
        QTRY_COMPARE(window.count(), 1);
        QCOMPARE(window.title(), QStringLiteral("Expense Statements"));
        QCOMPARE(rows.size(), 3);
        QVERIFY(rows.at(0).contains(QLatin1String("february a")));
        QVERIFY(rows.at(2).contains(QLatin1String("today")));
    }

    // No expense in the period: no row to drill into; the engine's error is
    // shown and no window opens.
    void noSummaryRowReportsTheEnginesError()
    {
        QVERIFY(Startup::start());
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
        QCOMPARE(DM->ExpTotalsQuery->RecordCount(), 0);
        ModalAnswer box(QStringLiteral("Return"));
        QTest::mouseClick(ui()->Label7, Qt::LeftButton);
        QTRY_COMPARE(box.count(), 1);
        QCOMPARE(box.title(), QStringLiteral("Ardentry"));
        QVERIFY(!box.text().isEmpty());
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(tst_DrillDowns)
#include "tst_drilldowns.moc"
