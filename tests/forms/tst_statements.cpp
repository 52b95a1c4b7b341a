#include "DMUnit.h"
#include "FormatSettings.h"
#include "MessageDlg.h"
#include "ModalAnswer.h"
#include "TField.h"
#include "TQuery.h"
#include "TestAlias.h"
#include "TwwDBGrid.h"
#include "frmAccStatementUnit.h"
#include "rptExpensesStatementUnit.h"
#include "ui_frmAccStatementUnit.h"
#include "ui_rptExpensesStatementUnit.h"

#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace {

// The statement texts as the Summary's drill-downs build them.
QString historyOf(const QString &accId)
{
    return QStringLiteral("select * From AccTrans Where AccID = ") + accId + QStringLiteral(" Order By DocDate");
}
QString expensesOf(const QString &expType)
{
    return QStringLiteral("select * From Expenses Where ExpType = ") + expType + QStringLiteral(" Order By DocDate");
}

// One of the two statement windows, seen through what both have.
struct StatementWindow
{
    std::unique_ptr<QDialog> window;
    TwwDBGrid *grid = nullptr;
    QPushButton *close = nullptr;
    TQuery *query = nullptr;
    std::function<void(const QString &)> open;
};

StatementWindow create(const QString &kind)
{
    StatementWindow s;
    if (kind == QLatin1String("history")) {
        auto *w = new TfrmAccStatement();
        s.window.reset(w);
        s.grid = w->ui->wwDBGrid2;
        s.close = w->ui->BitBtn1;
        s.query = w->AccTransQuery;
        s.open = [w](const QString &sql) { w->OpenStatement(sql); };
    } else {
        auto *w = new TrptExpensesStatement();
        s.window.reset(w);
        s.grid = w->ui->wwDBGrid2;
        s.close = w->ui->BitBtn1;
        s.query = w->Query;
        s.open = [w](const QString &sql) { w->OpenStatement(sql); };
    }
    return s;
}

// The whole drill-down as the main window runs it: the engine's error, if
// any, goes to the standard error box.
void drillDown(const QString &kind, QWidget *owner, const QString &sql)
{
    MessageDlg::Guard(owner, [&] {
        if (kind == QLatin1String("history"))
            TfrmAccStatement::Execute(owner, sql);
        else
            TrptExpensesStatement::Execute(owner, sql);
    });
}

bool anyStatementWindow()
{
    const QWidgetList all = QApplication::topLevelWidgets();
    return std::any_of(all.begin(), all.end(), [](const QWidget *w) {
        return qobject_cast<const TfrmAccStatement *>(w) || qobject_cast<const TrptExpensesStatement *>(w);
    });
}

} // namespace

// The account history and the expense statement on real windows over real
// books: what they list and in which order, that their grids change nothing,
// and that a failing statement shows no window.
class tst_Statements : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;
    StatementWindow m_s;

    void showWithStatement(const QString &kind, const QString &sql)
    {
        m_s = create(kind);
        QVERIFY_DB(m_s.open(sql));
        m_s.window->show();
        QApplication::setActiveWindow(m_s.window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_s.window.get()));
        QVERIFY(m_s.grid->hasFocus());
    }
    QStringList row(int r) const
    {
        QStringList cells;
        for (int c = 0; c < m_s.grid->ColumnCount(); ++c)
            cells << m_s.grid->CellText(r, c);
        return cells;
    }

private Q_SLOTS:
    void init()
    {
        FormatSettings() = TFormatSettings();
        FormatSettings().ShortDateFormat = QStringLiteral("dd/mm/yyyy");
        m_alias = std::make_unique<TestAlias>();
        m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash'), ('Bank'), ('Card')"));
        m_alias->exec(QStringLiteral("INSERT INTO ExpTypes (ExpType) VALUES ('Rent'), ('Power')"));
        // Account 3 over three years, stored out of date order; account 1 once.
        const QString trans = QStringLiteral(
            "INSERT INTO AccTrans (DocDate, \"Transaction\", Increase, Decrease, Remarks, AccID) VALUES (?, ?, ?, ?, ?, ?)");
        m_alias->exec(trans, {QStringLiteral("2024-03-05"), QStringLiteral("Deposit"), 100.0, 0.0, QStringLiteral("March"), 3});
        m_alias->exec(trans, {QStringLiteral("2022-12-31"), QStringLiteral("Fee"), 0.0, 40.5, QString(), 3});
        m_alias->exec(trans, {QStringLiteral("2024-01-15"), QStringLiteral("Refund"), 7.25, 0.0, QStringLiteral("late"), 3});
        m_alias->exec(trans, {QStringLiteral("2024-02-01"), QStringLiteral("Other"), 1.0, 0.0, QString(), 1});
        // Rent: one expense "today" and two a month before; Power once.
        const QString expense =
            QStringLiteral("INSERT INTO Expenses (DocDate, Amount, Remarks, AccID, ExpType) VALUES (?, ?, ?, 1, ?)");
        m_alias->exec(expense, {QStringLiteral("2024-03-13"), 20.0, QStringLiteral("today"), 1});
        m_alias->exec(expense, {QStringLiteral("2024-02-11"), 6.0, QStringLiteral("Feb b"), 1});
        m_alias->exec(expense, {QStringLiteral("2024-02-10"), 5.0, QStringLiteral("Feb a"), 1});
        m_alias->exec(expense, {QStringLiteral("2024-03-01"), 30.0, QStringLiteral("power"), 2});
        try {
            DM = new TDM();
        } catch (const EDatabaseError &e) {
            QFAIL(qPrintable(e.message()));
        }
    }
    void cleanup()
    {
        m_s = StatementWindow();
        delete DM;
        DM = nullptr;
        m_alias.reset();
        FormatSettings() = TFormatSettings();
    }

    // Every record of the key, whatever its date, oldest first, in the
    // window's columns; the keys are read but not shown.
    void listsEveryDateOldestFirst_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<int>>("widths");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::newRow("account history")
            << "history" << historyOf(QStringLiteral("3"))
            << QStringList{"DocDate", "Transaction", "Increase", "Decrease", "Remarks"} << QList<int>{10, 22, 14, 14, 34}
            << QList<QStringList>{{"31/12/2022", "Fee", "0", "40.5", ""},
                                  {"15/01/2024", "Refund", "7.25", "0", "late"},
                                  {"05/03/2024", "Deposit", "100", "0", "March"}};
        QTest::newRow("expense statement")
            << "expenses" << expensesOf(QStringLiteral("1")) << QStringList{"DocDate", "Amount", "Remarks"}
            << QList<int>{10, 14, 34}
            << QList<QStringList>{{"10/02/2024", "5", "Feb a"}, {"11/02/2024", "6", "Feb b"}, {"13/03/2024", "20", "today"}};
        QTest::newRow("an account without transactions")
            << "history" << historyOf(QStringLiteral("2"))
            << QStringList{"DocDate", "Transaction", "Increase", "Decrease", "Remarks"} << QList<int>{10, 22, 14, 14, 34}
            << QList<QStringList>{};
    }
    void listsEveryDateOldestFirst()
    {
        QFETCH(QString, kind);
        QFETCH(QString, sql);
        QFETCH(QStringList, titles);
        QFETCH(QList<int>, widths);
        QFETCH(QList<QStringList>, rows);
        showWithStatement(kind, sql);
        QCOMPARE(m_s.query->SQL(), sql);
        QCOMPARE(m_s.grid->ColumnCount(), titles.size());
        for (int c = 0; c < titles.size(); ++c) {
            QCOMPARE(m_s.grid->ColumnTitle(c), titles.at(c));
            QCOMPARE(m_s.grid->ColumnField(c)->DisplayWidth(), widths.at(c));
        }
        QCOMPARE(m_s.grid->RecordRowCount(), rows.size());
        for (int r = 0; r < rows.size(); ++r)
            QCOMPARE(row(r), rows.at(r));
        QCOMPARE(m_s.query->RecordCount(), rows.size());
    }

    // The grids change nothing: Insert reports the query's refusal,
    // Ctrl+Delete and Down on the last row do nothing at all.
    void gridChangesNothing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("error");
        const QString history = historyOf(QStringLiteral("3"));
        const QString expenses = expensesOf(QStringLiteral("1"));
        const int none = Qt::NoModifier;
        QTest::newRow("history, Insert") << "history" << history << int(Qt::Key_Insert) << none
                                         << "AccTransQuery: Cannot modify a read-only dataset.";
        QTest::newRow("history, Ctrl+Delete")
            << "history" << history << int(Qt::Key_Delete) << int(Qt::ControlModifier) << QString();
        QTest::newRow("history, Down on the last row") << "history" << history << int(Qt::Key_Down) << none << QString();
        QTest::newRow("expenses, Insert") << "expenses" << expenses << int(Qt::Key_Insert) << none
                                          << "Query: Cannot modify a read-only dataset.";
        QTest::newRow("expenses, Ctrl+Delete")
            << "expenses" << expenses << int(Qt::Key_Delete) << int(Qt::ControlModifier) << QString();
        QTest::newRow("expenses, Down on the last row")
            << "expenses" << expenses << int(Qt::Key_Down) << none << QString();
    }
    void gridChangesNothing()
    {
        QFETCH(QString, kind);
        QFETCH(QString, sql);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, error);
        showWithStatement(kind, sql);
        QTest::keyClick(m_s.grid, Qt::Key_End);
        QCOMPARE(m_s.grid->CurrentRow(), 2);
        const QStringList last = row(2);
        {
            ModalAnswer box(QStringLiteral("Return"));
            QTest::keyClick(m_s.grid, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
            QCOMPARE(box.texts(), error.isEmpty() ? QStringList() : QStringList{error});
            if (!error.isEmpty()) {
                QCOMPARE(box.title(), QStringLiteral("Ardentry"));
                QCOMPARE(box.icons().value(0), int(QMessageBox::Critical));
            }
        }
        QVERIFY(m_s.window->isVisible());
        QVERIFY(m_s.query->State() == TDataSetState::dsBrowse);
        QCOMPARE(m_s.grid->RecordRowCount(), 3);
        QCOMPARE(m_s.grid->CurrentRow(), 2);
        QCOMPARE(row(2), last);
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT COUNT(*) FROM AccTrans")).toInt(), 4);
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT COUNT(*) FROM Expenses")).toInt(), 4);
    }

    // A drill-down runs the statement before showing anything: a good one
    // shows the window modally until Esc closes it; one without a key (no
    // summary row) shows only the engine's error, and no window.
    void drillDownOpensOnlyWhatRuns_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<bool>("fails");
        QTest::newRow("history") << "history" << historyOf(QStringLiteral("3"))
                                 << QStringList{"Account Transactions History"} << false;
        QTest::newRow("expense statement")
            << "expenses" << expensesOf(QStringLiteral("1")) << QStringList{"Expense Statements"} << false;
        QTest::newRow("history without a key") << "history" << historyOf(QString()) << QStringList{"Ardentry"} << true;
        QTest::newRow("expense statement without a key")
            << "expenses" << expensesOf(QString()) << QStringList{"Ardentry"} << true;
    }
    void drillDownOpensOnlyWhatRuns()
    {
        QFETCH(QString, kind);
        QFETCH(QString, sql);
        QFETCH(QStringList, titles);
        QFETCH(bool, fails);
        QWidget owner;
        owner.resize(800, 600);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));

        QString engineError;
        if (fails) {
            TQuery probe;
            probe.setDatabaseName(QStringLiteral("ARD"));
            probe.setSQL(sql);
            try {
                probe.Open();
            } catch (const EDatabaseError &e) {
                engineError = e.message();
            }
            QVERIFY(!engineError.isEmpty());
        }
        ModalAnswer answer(QStringList{QStringLiteral("Escape"), QStringLiteral("Escape")});
        drillDown(kind, &owner, sql);
        QCOMPARE(answer.titles(), titles);
        if (fails) {
            QCOMPARE(answer.icons().value(0), int(QMessageBox::Critical));
            QVERIFY2(answer.text().startsWith(engineError), qPrintable(answer.text()));
        }
        QVERIFY(!anyStatementWindow());
    }

    // What both windows are made of: caption, size, frame, fonts, the grid's
    // settings, and "Close" as the cancel button only.
    void windowSettings_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("size");
        QTest::newRow("history") << "history" << "Account Transactions History" << QSize(696, 480);
        QTest::newRow("expense statement") << "expenses" << "Expense Statements" << QSize(426, 480);
    }
    void windowSettings()
    {
        QFETCH(QString, kind);
        QFETCH(QString, caption);
        QFETCH(QSize, size);
        showWithStatement(kind, kind == QLatin1String("history") ? historyOf(QStringLiteral("3"))
                                                                 : expensesOf(QStringLiteral("1")));
        QDialog *w = m_s.window.get();
        QCOMPARE(w->windowTitle(), caption);
        QCOMPARE(w->size(), size);
        const Qt::WindowFlags flags = w->windowFlags();
        QVERIFY(flags.testFlags(Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint));
        QCOMPARE(w->font().family(), QStringLiteral("Verdana"));
        QCOMPARE(w->font().pixelSize(), 11);

        TwwDBGrid *g = m_s.grid;
        QCOMPARE(g->Options(), TwwCustomDBGrid::DefaultOptions | dgRowSelect);
        QCOMPARE(g->KeyOptions(), TwwCustomDBGrid::DefaultKeyOptions);
        QCOMPARE(g->PaintOptions().AlternatingRowColor, QColor(234, 245, 255));
        QCOMPARE(g->font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(g->font().pixelSize(), 11);
        QCOMPARE(g->TitleFont().family(), QStringLiteral("Verdana"));
        QCOMPARE(g->TitleFont().pixelSize(), 11);
        QCOMPARE(g->TitleAlignment(), Qt::AlignLeft);
        QCOMPARE(g->TitleLines(), 1);
        QCOMPARE(g->FixedCols(), 0);
        QVERIFY(g->ShowHorzScrollBar());
        QCOMPARE(g->geometry().topLeft(), QPoint(8, 8));

        // The alternating colour has no cell to show in: rows 1 and 2 (not
        // current, so not highlighted) show the plain window colour.
        const QImage image = g->viewport()->grab().toImage();
        const int lastCol = g->ColumnCount() - 1;
        for (int r : {1, 2}) {
            const QRect cell = g->CellRect(r, lastCol);
            const QPoint inside(std::min(cell.right(), g->viewport()->width()) - 4, cell.center().y());
            QCOMPARE(image.pixelColor(inside * image.devicePixelRatio()), g->Color());
        }

        // "Close" is the cancel button, not the default one: Enter in the
        // grid keeps the window, Esc closes it, and so does "Close".
        QVERIFY(!m_s.close->isDefault() && !m_s.close->autoDefault());
        QCOMPARE(m_s.close->text(), QStringLiteral("Close"));
        QCOMPARE(m_s.close->size(), QSize(75, 25));
        QCOMPARE(w->width() - m_s.close->mapTo(w, QPoint(m_s.close->width(), 0)).x(), 8);
        QTest::keyClick(g, Qt::Key_Return);
        QVERIFY(w->isVisible());
        QTest::keyClick(g, Qt::Key_Escape);
        QVERIFY(!w->isVisible());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTest::mouseClick(m_s.close, Qt::LeftButton);
        QVERIFY(!w->isVisible());
    }
};

QTEST_MAIN(tst_Statements)
#include "tst_statements.moc"
