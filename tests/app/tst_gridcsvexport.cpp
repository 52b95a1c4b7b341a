#include "Clock.h"
#include "CsvParse.h"
#include "DMUnit.h"
#include "FormatSettings.h"
#include "ModalAnswer.h"
#include "Startup.h"
#include "TDataSet.h"
#include "TField.h"
#include "TFloatField.h"
#include "TTable.h"
#include "TestAlias.h"
#include "TwwDBGrid.h"
#include "TwwInplaceEdit.h"
#include "frmAccStatementUnit.h"
#include "frmAccountsUnit.h"
#include "frmMainUnit.h"
#include "ui_frmAccStatementUnit.h"
#include "ui_frmAccountsUnit.h"
#include "ui_frmMainUnit.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace {

// The standard save dialog: what it proposes, then the path typed over it
// and Enter.
ModalAnswer::Step saveAs(const QString &path, QString *proposed = nullptr)
{
    return [path, proposed](QWidget *dialog) {
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(edit);
        if (proposed)
            *proposed = edit->text();
        QApplication::setActiveWindow(dialog);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, path);
        QTest::keyClick(edit, Qt::Key_Return);
    };
}

void pressIn(QWidget *modal, Qt::Key key)
{
    QApplication::setActiveWindow(modal);
    QTest::keyClick(modal->focusWidget() ? modal->focusWidget() : modal, key);
}

} // namespace

// "Export to CSV..." on the program's real grids, headless, over real books:
// the context menu and Ctrl+Shift+E (from the cell editor too), the save
// dialog, the file it writes, the progress bar's Cancel and the error box.
class tst_GridCsvExport : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;
    std::unique_ptr<QTemporaryDir> m_dir;

    Ui::TfrmMain *ui() const { return frmMain->ui; }
    QString path(const QString &name) const { return m_dir->filePath(name); }

    void showTab(QWidget *tab, TwwDBGrid *grid)
    {
        ui()->Pages->setActivePage(tab);
        frmMain->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frmMain));
        grid->setFocus();
        QVERIFY(grid->hasFocus());
    }

    void addSales(int count, const QString &day)
    {
        QSqlDatabase db = m_alias->fixture();
        QVERIFY(db.transaction());
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO Sales (Id, DocDate, Customer, Total, AccID) VALUES (?, ?, ?, ?, 1)"));
        for (int i = 0; i < count; ++i) {
            q.addBindValue(100 + i);
            q.addBindValue(day);
            q.addBindValue(QStringLiteral("Customer %1").arg(i));
            q.addBindValue(i + 0.25);
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        QVERIFY(db.commit());
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_alias = std::make_unique<TestAlias>();
        m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash'), ('Bank, \"main\"')"));
        m_alias->exec(QStringLiteral("INSERT INTO Sales (Id, DocDate, Customer, SalesMan, Total, Remarks, AccID) VALUES "
                                     "(1, '2024-03-05', 'Contoso', 'Sam', 0.1, 'two\nlines', 2), "
                                     "(2, '2024-03-02', 'Northwind', NULL, 1E-5, '\u0645\u0631\u062d\u0628\u0627', 1), "
                                     "(3, '2024-02-28', 'February', NULL, 7, NULL, 1)"));
        m_alias->exec(QStringLiteral(
            "INSERT INTO AccTrans (DocDate, \"Transaction\", Increase, Decrease, Remarks, AccID) VALUES "
            "('2023-12-31', 'Opening', 100, NULL, 'old, \"year\"', 1), ('2024-03-01', 'Fee', NULL, 2.5, NULL, 1)"));
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
        m_dir.reset();
        Clock::setTodaySource({});
    }

    // A right click on a record tab's grid offers the command; the file holds
    // the period's records in the grid's columns and titles, in its order.
    void contextMenuExportsTheTabsPeriod()
    {
        showTab(ui()->TabSheetSales, ui()->wwDBGrid3);
        // The user moved the Total column to the front.
        DM->SalesTableTotal->setIndex(0);
        QTest::keyClick(ui()->wwDBGrid3, Qt::Key_Down);
        const int row = ui()->wwDBGrid3->CurrentRow();

        QString proposed;
        ModalAnswer answer(QList<ModalAnswer::Step>{saveAs(path(QStringLiteral("march.csv")), &proposed)});
        const QRect cell = ui()->wwDBGrid3->CellRect(0, 1);
        // What the window system sends for a right click (QTest's mouse
        // events go to the widget directly and make none).
        QWidget *viewport = ui()->wwDBGrid3->viewport();
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, cell.center(), viewport->mapToGlobal(cell.center()));
        QApplication::sendEvent(viewport, &rightClick);
        QMenu *menu = nullptr;
        QTRY_VERIFY((menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())));
        QCOMPARE(menu->actions().size(), 1);
        QAction *action = menu->actions().constFirst();
        QCOMPARE(action->text(), QStringLiteral("Export to CSV..."));
        QCOMPARE(action->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+E")));
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
        QTRY_COMPARE(answer.count(), 1);
        QCOMPARE(answer.title(), QStringLiteral("Export to CSV"));
        QCOMPARE(proposed, QStringLiteral("Sales and Income.csv"));

        QTRY_VERIFY(QFile::exists(path(QStringLiteral("march.csv"))));
        QCOMPARE(readCsvFile(path(QStringLiteral("march.csv"))),
                 (QList<QStringList>{{"Total", "Invoice ID", "Date", "Customer", "Sales Man", "Account", "Remarks"},
                                     {"1E-5", "2", "2024-03-02", "Northwind", "", "Cash", "\u0645\u0631\u062d\u0628\u0627"},
                                     {"0.1", "1", "2024-03-05", "Contoso", "Sam", "Bank, \"main\"", "two\nlines"}}));
        QCOMPARE(ui()->wwDBGrid3->CurrentRow(), row);
    }

    // Ctrl+Shift+E reaches the command from the cell being edited in a
    // master list; the file holds what is stored, and the typing is still
    // pending afterwards.
    void shortcutFromTheCellEditor()
    {
        TfrmAccounts window;
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        TwwDBGrid *grid = window.ui->wwDBGrid1;
        QVERIFY(grid->hasFocus());
        QTest::keyClicks(grid, QStringLiteral("Petty"));
        QVERIFY(grid->EditorMode());
        QWidget *editor = QApplication::focusWidget();
        QCOMPARE(editor, static_cast<QWidget *>(grid->InplaceEditor()));

        ModalAnswer answer(QList<ModalAnswer::Step>{saveAs(path(QStringLiteral("accounts.csv")))});
        QTest::keyClick(editor, Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_COMPARE(answer.count(), 1);
        QTRY_VERIFY(QFile::exists(path(QStringLiteral("accounts.csv"))));
        QCOMPARE(readCsvFile(path(QStringLiteral("accounts.csv"))),
                 (QList<QStringList>{{"Acc Name"}, {"Cash"}, {"Bank, \"main\""}}));
        QCOMPARE(grid->InplaceEditor()->text(), QStringLiteral("Petty"));
        QCOMPARE(DM->AccountsTable->State(), TDataSetState::dsEdit);
        DM->AccountsTable->Cancel();
    }

    // A statement exports every record of its account, whatever the period.
    void statementExportsEveryDate()
    {
        TfrmAccStatement window;
        QVERIFY_DB(window.OpenStatement(QStringLiteral("select * From AccTrans Where AccID = 1 Order By DocDate")));
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QString proposed;
        ModalAnswer answer(QList<ModalAnswer::Step>{saveAs(path(QStringLiteral("history.csv")), &proposed)});
        QTest::keyClick(window.ui->wwDBGrid2, Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_COMPARE(answer.count(), 1);
        QCOMPARE(proposed, QStringLiteral("Account Transactions History.csv"));
        QTRY_VERIFY(QFile::exists(path(QStringLiteral("history.csv"))));
        QCOMPARE(readCsvFile(path(QStringLiteral("history.csv"))),
                 (QList<QStringList>{{"DocDate", "Transaction", "Increase", "Decrease", "Remarks"},
                                     {"2023-12-31", "Opening", "100", "", "old, \"year\""},
                                     {"2024-03-01", "Fee", "", "2.5", ""}}));
    }

    // A long export shows its progress; Cancel (Esc) leaves no file.
    void cancelledExportLeavesNoFile()
    {
        addSales(30000, QStringLiteral("2024-03-07"));
        ui()->optYear->click();
        showTab(ui()->TabSheetSales, ui()->wwDBGrid3);
        QString progressLabel;
        ModalAnswer answer(QList<ModalAnswer::Step>{saveAs(path(QStringLiteral("long.csv"))), [&](QWidget *d) {
                                                        auto *p = qobject_cast<QProgressDialog *>(d);
                                                        QVERIFY(p);
                                                        QVERIFY(p->findChild<QPushButton *>());
                                                        progressLabel = p->labelText();
                                                        pressIn(d, Qt::Key_Escape);
                                                    }});
        answer.answerProgressWindows();
        QTest::keyClick(ui()->wwDBGrid3, Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_COMPARE(answer.count(), 2);
        QCOMPARE(answer.titles().at(1), QStringLiteral("Export to CSV"));
        QCOMPARE(progressLabel, QStringLiteral("Writing long.csv"));
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QVERIFY(!QFile::exists(path(QStringLiteral("long.csv"))));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // A stored value the program refuses to read stops the export: the
    // standard error box shows the engine's message and no file is written.
    // The value lies far below what the grid has read to show its rows.
    void unreadableValueIsReported()
    {
        addSales(3000, QStringLiteral("2024-03-20"));
        m_alias->exec(QStringLiteral("UPDATE Sales SET Total = 'lots' WHERE Id = 3099"));
        showTab(ui()->TabSheetSales, ui()->wwDBGrid3);
        ModalAnswer answer(QList<ModalAnswer::Step>{saveAs(path(QStringLiteral("bad.csv"))),
                                                    [](QWidget *d) { pressIn(d, Qt::Key_Return); }});
        QTest::keyClick(ui()->wwDBGrid3, Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_COMPARE(answer.count(), 2);
        QCOMPARE(answer.titles().at(1), QStringLiteral("Ardentry"));
        QCOMPARE(answer.texts().at(1),
                 QStringLiteral("Sales.DB, invoice 3099: the field Total holds 'lots', which is not a number."));
        QCOMPARE(answer.icons().at(1), int(QMessageBox::Critical));
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_MAIN(tst_GridCsvExport)
#include "tst_gridcsvexport.moc"
