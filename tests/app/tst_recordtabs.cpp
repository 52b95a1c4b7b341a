#include "Clock.h"
#include "DMUnit.h"
#include "FormatSettings.h"
#include "ModalAnswer.h"
#include "Startup.h"
#include "TFloatField.h"
#include "TTable.h"
#include "TestAlias.h"
#include "TwwDBGrid.h"
#include "frmMainUnit.h"
#include "ui_frmMainUnit.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// The record tabs and the side bar driven as a user drives them: buttons and
// keys on the real main window, the real dialogs typed into, and then what
// the books hold and what the Summary shows.
class tst_RecordTabs : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;

    Ui::TfrmMain *ui() const { return frmMain->ui; }

    // Types into the dialog's field that has the focus, replacing its text.
    static void typeInto(QWidget *dialog, const char *editor, const QString &text)
    {
        auto *w = dialog->findChild<QWidget *>(QLatin1String(editor));
        QVERIFY2(w, editor);
        QApplication::setActiveWindow(dialog);
        w->setFocus();
        QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(w, Qt::Key_Delete);
        else
            QTest::keyClicks(w, text);
    }
    static void press(QWidget *dialog, Qt::Key key)
    {
        // The offscreen platform does not activate a dialog by itself; the
        // default and cancel buttons answer only in the active window.
        QApplication::setActiveWindow(dialog);
        QWidget *w = dialog->focusWidget() ? dialog->focusWidget() : dialog;
        QTest::keyClick(w, key);
    }

    int count(const QString &table) { return m_alias->scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table).toInt(); }

private Q_SLOTS:
    void init()
    {
        m_alias = std::make_unique<TestAlias>();
        m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash'), ('Bank')"));
        m_alias->exec(QStringLiteral("INSERT INTO ExpTypes (ExpType) VALUES ('Rent')"));
        Clock::setTodaySource([] { return QDate(2024, 3, 13); });
        QVERIFY(Startup::start());
        FormatSettings() = TFormatSettings();
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
    }
    void cleanup()
    {
        Startup::finish();
        m_alias.reset();
        Clock::setTodaySource({});
    }

    // From the Summary tab: Alt+S, type, Enter; the tab stays where it was.
    void newSaleFromTheSideBar()
    {
        ModalAnswer dialog(QList<ModalAnswer::Step>{[](QWidget *d) {
            typeInto(d, "DBEdit3", QStringLiteral("Contoso"));
            typeInto(d, "DBEdit5", QStringLiteral("120.5"));
            press(d, Qt::Key_Return);
        }});
        frmMain->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frmMain));
        QTest::keyClick(frmMain, Qt::Key_S, Qt::AltModifier);
        // A button's access key clicks it a moment later, as a user sees it
        // pressed.
        QTRY_COMPARE(dialog.count(), 1);
        QTRY_COMPARE(count(QStringLiteral("Sales")), 1);
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT Customer || '|' || Total || '|' || Id || '|' || DocDate FROM Sales"))
                     .toString(),
                 QStringLiteral("Contoso|120.5|1|2024-03-13"));
        QCOMPARE(ui()->lblSales->text(), QStringLiteral("120.5"));
        QCOMPARE(ui()->Pages->currentWidget(), ui()->TabSheet1);
    }

    void newThenCancelStoresNothing_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("table");
        QTest::newRow("sale") << "btnNewSale" << "Sales";
        QTest::newRow("expense") << "btnNewExpense" << "Expenses";
        QTest::newRow("purchase") << "btnNewPurchase" << "Purchases";
        QTest::newRow("account transaction") << "btnNewTrans" << "AccTrans";
    }
    void newThenCancelStoresNothing()
    {
        QFETCH(QString, button);
        QFETCH(QString, table);
        ModalAnswer dialog(QList<ModalAnswer::Step>{[](QWidget *d) { press(d, Qt::Key_Escape); }});
        frmMain->findChild<QPushButton *>(button)->click();
        QCOMPARE(dialog.count(), 1);
        QCOMPARE(count(table), 0);
        QCOMPARE(DM->findChild<TTable *>(table + QStringLiteral("Table"))->State(), TDataSetState::dsBrowse);
    }

    void editThenCancelKeepsTheStoredTotal()
    {
        m_alias->exec(QStringLiteral("INSERT INTO Sales (Id, DocDate, Total) VALUES (1, '2024-03-02', 10), "
                                     "(2, '2024-03-05', 20)"));
        ui()->optYear->click();
        ui()->Pages->setActivePage(ui()->TabSheetSales);
        ui()->wwDBGrid3->setFocus();
        QTest::keyClick(ui()->wwDBGrid3, Qt::Key_Down);
        QCOMPARE(DM->SalesTableTotal->AsFloat(), 20.0);
        ModalAnswer dialog(QList<ModalAnswer::Step>{[](QWidget *d) {
            typeInto(d, "DBEdit5", QStringLiteral("99"));
            press(d, Qt::Key_Escape);
        }});
        ui()->BitBtn14->click();
        QCOMPARE(dialog.count(), 1);
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT Total FROM Sales WHERE Id = 2")).toDouble(), 20.0);
        // The Summary refresh leaves the grid on the period's first sale.
        QCOMPARE(ui()->wwDBGrid3->CurrentRow(), 0);
        QCOMPARE(DM->SalesTableTotal->AsFloat(), 10.0);
    }

    void editThenOkWithoutAChangePostsNothing()
    {
        m_alias->exec(QStringLiteral("INSERT INTO Sales (Id, DocDate, Total) VALUES (1, '2024-03-02', 10)"));
        m_alias->exec(QStringLiteral("CREATE TABLE Writes (n INTEGER)"));
        m_alias->exec(QStringLiteral("CREATE TRIGGER CountWrites AFTER UPDATE ON Sales BEGIN INSERT INTO Writes VALUES (1); END"));
        ui()->optYear->click();
        ModalAnswer dialog(QList<ModalAnswer::Step>{[](QWidget *d) { press(d, Qt::Key_Return); }});
        // A double-click on the tab's grid runs Edit.
        ui()->Pages->setActivePage(ui()->TabSheetSales);
        QTest::mouseDClick(ui()->wwDBGrid3->viewport(), Qt::LeftButton, {}, ui()->wwDBGrid3->CellRect(0, 1).center());
        QCOMPARE(dialog.count(), 1);
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT COUNT(*) FROM Writes")).toInt(), 0);
    }

    void editAndDeleteOnAnEmptyPeriod()
    {
        m_alias->exec(QStringLiteral("INSERT INTO Sales (Id, DocDate, Total) VALUES (1, '2023-03-02', 10)"));
        ui()->lblSales->setText(QStringLiteral("stale"));
        {
            ModalAnswer nothing(QStringLiteral("Escape"));
            ui()->BitBtn14->click();
            QCOMPARE(nothing.count(), 0);
        }
        // Edit did not recompute; Delete asks nothing but recomputes.
        QCOMPARE(ui()->lblSales->text(), QStringLiteral("stale"));
        {
            ModalAnswer nothing(QStringLiteral("Escape"));
            ui()->BitBtn15->click();
            QCOMPARE(nothing.count(), 0);
        }
        QCOMPARE(ui()->lblSales->text(), QStringLiteral("0"));
        QCOMPARE(count(QStringLiteral("Sales")), 1);
    }

    void deleteAsksAreYouSure_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("left");
        QTest::newRow("Enter takes Yes") << "Return" << 0;
        QTest::newRow("Esc answers No") << "Escape" << 1;
        QTest::newRow("Alt+N") << "Alt+N" << 1;
    }
    void deleteAsksAreYouSure()
    {
        QFETCH(QString, key);
        QFETCH(int, left);
        m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, ExpType, Amount) VALUES ('2024-03-02', 1, 10)"));
        ui()->optYear->click();
        ui()->lblExpenses->setText(QStringLiteral("stale"));
        ModalAnswer box(key);
        ui()->BitBtn17->click();
        QCOMPARE(box.title(), QStringLiteral("Warning"));
        QCOMPARE(box.text(), QStringLiteral("Are you sure?"));
        QCOMPARE(box.defaultButtons().value(0), QStringLiteral("&Yes"));
        QCOMPARE(count(QStringLiteral("Expenses")), left);
        QCOMPARE(ui()->lblExpenses->text(), left ? QStringLiteral("10") : QStringLiteral("0"));
    }

    // A record deleted by the grid's own Ctrl+Delete leaves no stale Summary.
    void gridDeleteRecomputesTheSummary()
    {
        m_alias->exec(QStringLiteral("INSERT INTO Sales (Id, DocDate, Total) VALUES (1, '2024-03-02', 10), "
                                     "(2, '2024-03-03', 5)"));
        ui()->optYear->click();
        QCOMPARE(ui()->lblSales->text(), QStringLiteral("15"));
        ui()->Pages->setActivePage(ui()->TabSheetSales);
        ui()->wwDBGrid3->setFocus();
        ModalAnswer box(QStringLiteral("Return"));
        QTest::keyClick(ui()->wwDBGrid3, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(box.text(), QStringLiteral("Delete record?"));
        QCOMPARE(count(QStringLiteral("Sales")), 1);
        QCOMPARE(ui()->lblSales->text(), QStringLiteral("5"));
    }
};

QTEST_MAIN(tst_RecordTabs)
#include "tst_recordtabs.moc"
