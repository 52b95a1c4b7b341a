#include "CharacterLimit.h"
#include "Clock.h"
#include "DMUnit.h"
#include "FormatSettings.h"
#include "ModalAnswer.h"
#include "TDataSource.h"
#include "TDateField.h"
#include "TField.h"
#include "TFloatField.h"
#include "TQuery.h"
#include "TStringField.h"
#include "TTable.h"
#include "TestAlias.h"
#include "TwwDBGrid.h"
#include "TwwInplaceEdit.h"

#include <QAccessible>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtTest>

namespace {

QString stateName(const TDataSet *ds)
{
    switch (ds->State()) {
    case TDataSetState::dsInactive:
        return QStringLiteral("inactive");
    case TDataSetState::dsBrowse:
        return QStringLiteral("browse");
    case TDataSetState::dsEdit:
        return QStringLiteral("edit");
    case TDataSetState::dsInsert:
        return QStringLiteral("insert");
    }
    return QString();
}

QAccessibleTableInterface *tableOf(TwwDBGrid *grid)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(grid);
    return iface ? iface->tableInterface() : nullptr;
}

// What assistive technology reads in a cell.
QString shown(TwwDBGrid *grid, int row, int col)
{
    QAccessibleTableInterface *t = tableOf(grid);
    QAccessibleInterface *c = t ? t->cellAt(row, col) : nullptr;
    return c ? c->text(QAccessible::Name) : QStringLiteral("<no cell>");
}

QPoint cellCentre(TwwDBGrid *grid, int row, int col)
{
    return grid->CellRect(row, col).center();
}

} // namespace

// The record grid on real widgets over a real temporary alias: the column
// list, the key table, in-place editing, the mouse, and what assistive
// technology sees. Each test gets fresh books and a fresh data module.
class tst_WwDBGrid : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;
    std::unique_ptr<QWidget> m_window;
    TwwDBGrid *m_grid = nullptr;
    QLineEdit *m_other = nullptr;  // another control of the window, to take the focus

    // Five expenses, remarks e0..e4, one a day from 1 March 2024.
    void fillFive()
    {
        for (int i = 0; i < 5; ++i)
            m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, Amount, Remarks) VALUES (?, ?, ?)"),
                          {QDate(2024, 3, 1 + i).toString(Qt::ISODate), i * 10.0, QStringLiteral("e%1").arg(i)});
    }
    void createDM()
    {
        try {
            DM = new TDM();
        } catch (const EDatabaseError &e) {
            QFAIL(qPrintable(e.message()));
        }
    }
    // A window holding a grid and a text box, shown and active.
    void showGrid(TDataSource *source, const QStringList &selected, TwwDBGridOptions options,
                  TwwDBGridKeyOptions keyOptions)
    {
        m_window = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(m_window.get());
        m_grid = new TwwDBGrid(m_window.get());
        m_other = new QLineEdit(m_window.get());
        layout->addWidget(m_grid);
        layout->addWidget(m_other);
        m_grid->setOptions(options);
        m_grid->setKeyOptions(keyOptions);
        m_grid->setSelected(selected);
        m_grid->setDataSource(source);
        m_window->resize(500, 300);
        m_window->show();
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        m_grid->setFocus();
        QVERIFY(m_grid->hasFocus());
    }
    // Sizes the grid to show exactly `rows` data rows.
    void showRows(int rows)
    {
        const int frame = m_grid->height() - m_grid->viewport()->height();
        m_grid->setFixedHeight(frame + m_grid->TitleHeight() + rows * m_grid->RowHeight());
        QTRY_COMPARE(m_grid->VisibleRowCount(), rows);
    }
    QString remarks() const { return DM->ExpensesTableRemarks->AsString(); }
    // The accounts A0 to A(count - 1) in a grid that edits in place, as the
    // master list's does, or with row select, as a record tab's.
    void showAccounts(int count, bool inPlace)
    {
        for (int i = 0; i < count; ++i)
            m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES (?)"), {QStringLiteral("A%1").arg(i)});
        createDM();
        showGrid(DM->AccountsDS, {QStringLiteral("AccName\t30\tAcc Name\tF")},
                 inPlace ? TwwCustomDBGrid::DefaultOptions : TwwCustomDBGrid::DefaultOptions | dgRowSelect,
                 TwwCustomDBGrid::DefaultKeyOptions | dgEnterToTab);
    }

private Q_SLOTS:
    void init()
    {
        FormatSettings() = TFormatSettings();
        FormatSettings().ShortDateFormat = QStringLiteral("dd/mm/yyyy");
        Clock::setTodaySource([] { return QDate(2024, 3, 13); });
        m_alias = std::make_unique<TestAlias>();
    }
    void cleanup()
    {
        m_window.reset();
        m_grid = nullptr;
        delete DM;
        DM = nullptr;
        m_alias.reset();
        Clock::setTodaySource({});
    }

    // The column list decides the columns, their titles, widths and order on
    // every activation; a line naming a missing field keeps the later
    // positions; fields not named stay hidden.
    void columnListOverridesTheFields()
    {
        fillFive();
        createDM();
        DM->ExpensesTableAmount->setDisplayLabel(QStringLiteral("Old label"));
        showGrid(DM->ExpensesDS,
                 {QStringLiteral("remarks\t20\tNote"), QStringLiteral("Missing\t5\tX"),
                  QStringLiteral("Amount\t8\tSum\tT")},
                 TwwCustomDBGrid::DefaultOptions | dgRowSelect, TwwCustomDBGrid::DefaultKeyOptions);

        QAccessibleTableInterface *table = tableOf(m_grid);
        QVERIFY(table);
        QCOMPARE(QAccessible::queryAccessibleInterface(m_grid)->role(), QAccessible::Table);
        QCOMPARE(table->columnCount(), 2);
        QCOMPARE(table->columnDescription(0), QStringLiteral("Note"));
        QCOMPARE(table->columnDescription(1), QStringLiteral("Sum"));
        QCOMPARE(DM->ExpensesTableRemarks->Index(), 0);
        QCOMPARE(DM->ExpensesTableAmount->Index(), 2);
        QVERIFY(!DM->ExpensesTableDocDate->Visible());
        QCOMPARE(table->rowCount(), 5);
        QCOMPARE(shown(m_grid, 1, 0), QStringLiteral("e1"));
        QCOMPARE(shown(m_grid, 3, 1), QStringLiteral("30"));
        QAccessibleInterface *header = table->cellAt(0, 0)->tableCellInterface()->columnHeaderCells().value(0);
        QVERIFY(header);
        QCOMPARE(header->role(), QAccessible::ColumnHeader);
        QCOMPARE(header->text(QAccessible::Name), QStringLiteral("Note"));
        const int zero = QFontMetrics(m_grid->font()).horizontalAdvance(QLatin1Char('0'));
        QCOMPARE(m_grid->ColumnWidth(0), 20 * zero + 4);

        // Whatever the fields carry when the dataset opens again, the list wins.
        DM->ExpensesTableRemarks->setDisplayLabel(QStringLiteral("Changed"));
        DM->ExpensesTableDocDate->setVisible(true);
        QCOMPARE(table->columnCount(), 3);
        QVERIFY_DB(DM->ExpensesTable->Close());
        QCOMPARE(table->rowCount(), 0);
        QVERIFY_DB(DM->ExpensesTable->Open());
        QCOMPARE(table->columnCount(), 2);
        QCOMPARE(table->columnDescription(0), QStringLiteral("Note"));
    }

    // The marked row is the current record whoever moves it, and a walk with
    // the controls switched off leaves the grid on the record current at the end.
    void followsTheDataset()
    {
        fillFive();
        createDM();
        showGrid(DM->ExpensesDS, {QStringLiteral("Remarks\t20\tRemarks")},
                 TwwCustomDBGrid::DefaultOptions | dgRowSelect, TwwCustomDBGrid::DefaultKeyOptions);
        QAccessibleTableInterface *table = tableOf(m_grid);
        QCOMPARE(table->selectedRows(), QList<int>{0});
        QVERIFY_DB(DM->ExpensesTable->MoveBy(3));
        QCOMPARE(table->selectedRows(), QList<int>{3});
        QVERIFY(table->cellAt(3, 0)->state().selected);
        QVERIFY(table->cellAt(3, 0)->state().focused);
        QVERIFY(!table->cellAt(2, 0)->state().selected);
        // A record tab without the focus highlights nothing.
        m_other->setFocus();
        QVERIFY(!table->cellAt(3, 0)->state().selected);
        m_grid->setFocus();

        DM->ExpensesTable->DisableControls();
        QVERIFY_DB(DM->ExpensesTable->First());
        QVERIFY_DB(DM->ExpensesTable->Next());
        QCOMPARE(m_grid->verticalScrollBar()->value(), 4);  // nothing reaches the grid meanwhile
        DM->ExpensesTable->EnableControls();
        QCOMPARE(table->selectedRows(), QList<int>{1});
        QCOMPARE(m_grid->verticalScrollBar()->value(), 2);  // record number 2 of 5
        QCOMPARE(m_grid->verticalScrollBar()->maximum(), 5);
    }

    // Scrolling a row moves the drawn rows and draws only the uncovered one,
    // reading one more record rather than the window again.
    void scrollingARowDrawsOnlyTheUncoveredRow()
    {
        fillFive();
        for (int i = 5; i < 40; ++i)
            m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, Remarks) VALUES ('2024-04-01', ?)"),
                          {QStringLiteral("f%1").arg(i)});
        createDM();
        showGrid(DM->ExpensesDS, {QStringLiteral("Remarks\t20\tRemarks")},
                 TwwCustomDBGrid::DefaultOptions | dgRowSelect, TwwCustomDBGrid::DefaultKeyOptions);
        showRows(4);
        QVERIFY_DB(DM->ExpensesTable->MoveBy(3));
        QApplication::processEvents();

        struct PaintSpy : QObject
        {
            QRegion painted;
            bool eventFilter(QObject *, QEvent *e) override
            {
                if (e->type() == QEvent::Paint)
                    painted += static_cast<QPaintEvent *>(e)->region();
                return false;
            }
        } spy;
        m_grid->viewport()->installEventFilter(&spy);
        const quint64 read = DM->ExpensesTable->RowsRead();
        QTest::keyClick(m_grid, Qt::Key_Down);
        QApplication::processEvents();
        QCOMPARE(remarks(), QStringLiteral("e4"));
        QCOMPARE(shown(m_grid, 3, 0), QStringLiteral("e4"));
        QCOMPARE(shown(m_grid, 0, 0), QStringLiteral("e1"));
        QVERIFY2(DM->ExpensesTable->RowsRead() - read < 4, "a one-row move read the window again");
        // The uncovered bottom row and the row that lost the mark, nothing more.
        QVERIFY(!spy.painted.isEmpty());
        QVERIFY2(spy.painted.boundingRect().height() <= 2 * m_grid->RowHeight(),
                 qPrintable(QStringLiteral("painted %1 px").arg(spy.painted.boundingRect().height())));
    }

    // The key table of the record grid: where each key leaves the current
    // record and the dataset's state, and which question it asks.
    void keys_data()
    {
        QTest::addColumn<bool>("inPlace");  // master-list grid rather than a record tab
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("record");  // remarks of the current record, "" for a new one
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("stored");

        const int none = Qt::NoModifier, ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier;
        const QString noBox;
        const QString discard = QStringLiteral("Discard changes to this record?");
        const QString del = QStringLiteral("Delete record?");
        // Record tab: row select, three rows shown, five records e0..e4.
        QTest::newRow("Down moves to the next record") << false << "e1" << int(Qt::Key_Down) << none << "" << noBox << "e2" << "browse" << 5;
        QTest::newRow("Down on the last record appends") << false << "e4" << int(Qt::Key_Down) << none << "" << noBox << "" << "insert" << 5;
        QTest::newRow("Down on an unchanged appended record stays") << false << "appended" << int(Qt::Key_Down) << none << "" << noBox << "" << "insert" << 5;
        QTest::newRow("Up discards an unchanged appended record") << false << "appended" << int(Qt::Key_Up) << none << "" << noBox << "e4" << "browse" << 5;
        QTest::newRow("Up moves to the prior record") << false << "e2" << int(Qt::Key_Up) << none << "" << noBox << "e1" << "browse" << 5;
        QTest::newRow("Down cancels an inserted record") << false << "inserted before e2" << int(Qt::Key_Down) << none << "" << noBox << "e2" << "browse" << 5;
        QTest::newRow("Up from an inserted record") << false << "inserted before e2" << int(Qt::Key_Up) << none << "" << noBox << "e1" << "browse" << 5;
        QTest::newRow("Page Down moves a screenful") << false << "e0" << int(Qt::Key_PageDown) << none << "" << noBox << "e3" << "browse" << 5;
        QTest::newRow("Page Up moves a screenful") << false << "e4" << int(Qt::Key_PageUp) << none << "" << noBox << "e1" << "browse" << 5;
        QTest::newRow("Home goes to the first record") << false << "e3" << int(Qt::Key_Home) << none << "" << noBox << "e0" << "browse" << 5;
        QTest::newRow("End goes to the last record") << false << "e1" << int(Qt::Key_End) << none << "" << noBox << "e4" << "browse" << 5;
        QTest::newRow("Right acts as Down") << false << "e1" << int(Qt::Key_Right) << none << "" << noBox << "e2" << "browse" << 5;
        QTest::newRow("Left acts as Up") << false << "e1" << int(Qt::Key_Left) << none << "" << noBox << "e0" << "browse" << 5;
        QTest::newRow("Ctrl+Up goes to the top row") << false << "e4" << int(Qt::Key_Up) << ctrl << "" << noBox << "e2" << "browse" << 5;
        QTest::newRow("Ctrl+Page Down goes to the bottom row") << false << "e0" << int(Qt::Key_PageDown) << ctrl << "" << noBox << "e2" << "browse" << 5;
        QTest::newRow("Ctrl+End goes to the last record") << false << "e1" << int(Qt::Key_End) << ctrl << "" << noBox << "e4" << "browse" << 5;
        QTest::newRow("Insert starts a record before the current one") << false << "e2" << int(Qt::Key_Insert) << none << "" << noBox << "" << "insert" << 5;
        QTest::newRow("Esc cancels an unchanged new record silently") << false << "appended" << int(Qt::Key_Escape) << none << "" << noBox << "e4" << "browse" << 5;
        QTest::newRow("Esc on a changed record, Yes discards") << false << "e1 changed" << int(Qt::Key_Escape) << none << "Return" << discard << "e1" << "browse" << 5;
        QTest::newRow("Esc on a changed record, No keeps it") << false << "e1 changed" << int(Qt::Key_Escape) << none << "Escape" << discard << "changed" << "edit" << 5;
        QTest::newRow("Ctrl+Delete answered OK deletes") << false << "e2" << int(Qt::Key_Delete) << ctrl << "Return" << del << "e3" << "browse" << 4;
        QTest::newRow("Ctrl+Delete answered Cancel keeps") << false << "e2" << int(Qt::Key_Delete) << ctrl << "Escape" << del << "e2" << "browse" << 5;
        // Master list: edits in place, Enter acts as Tab, one column.
        QTest::newRow("in place: Enter on the last record appends") << true << "e4" << int(Qt::Key_Return) << none << "" << noBox << "" << "insert" << 5;
        QTest::newRow("in place: Shift+Enter goes back") << true << "e2" << int(Qt::Key_Return) << shift << "" << noBox << "e1" << "browse" << 5;
        QTest::newRow("in place: Shift+Tab discards an unchanged new record") << true << "appended" << int(Qt::Key_Backtab) << shift << "" << noBox << "e4" << "browse" << 5;
        QTest::newRow("in place: Tab past the last column moves on") << true << "e0" << int(Qt::Key_Tab) << none << "" << noBox << "e1" << "browse" << 5;
        QTest::newRow("in place: Delete empties the cell") << true << "e1" << int(Qt::Key_Delete) << none << "" << noBox << "e1" << "edit" << 5;
    }
    void keys()
    {
        QFETCH(bool, inPlace);
        QFETCH(QString, start);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, answer);
        QFETCH(QString, question);
        QFETCH(QString, record);
        QFETCH(QString, state);
        QFETCH(int, stored);

        fillFive();
        createDM();
        const TwwDBGridOptions options =
            inPlace ? TwwCustomDBGrid::DefaultOptions : TwwCustomDBGrid::DefaultOptions | dgRowSelect;
        const TwwDBGridKeyOptions keyOptions =
            inPlace ? TwwCustomDBGrid::DefaultKeyOptions | dgEnterToTab : TwwCustomDBGrid::DefaultKeyOptions;
        showGrid(DM->ExpensesDS, {QStringLiteral("Remarks\t20\tRemarks")}, options, keyOptions);
        showRows(3);

        TTable *t = DM->ExpensesTable;
        if (start == QLatin1String("appended")) {
            QVERIFY_DB(t->Last());
            QVERIFY_DB(t->Append());
        } else if (start == QLatin1String("inserted before e2")) {
            QVERIFY_DB(t->MoveBy(2));
            QVERIFY_DB(t->Insert());
        } else if (start == QLatin1String("e1 changed")) {
            QVERIFY_DB(t->MoveBy(1));
            QVERIFY_DB(t->Edit());
            QVERIFY_DB(DM->ExpensesTableRemarks->setText(QStringLiteral("changed")));
        } else if (start == QLatin1String("e4")) {
            QVERIFY_DB(t->Last());
        } else {
            QVERIFY_DB(t->MoveBy(start.mid(1).toInt()));
        }

        ModalAnswer box(answer.isEmpty() ? QStringLiteral("Escape") : answer);
        QTest::keyClick(m_grid->InplaceEditor()->isVisible() ? static_cast<QWidget *>(m_grid->InplaceEditor())
                                                             : static_cast<QWidget *>(m_grid),
                        Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(box.count(), question.isEmpty() ? 0 : 1);
        if (!question.isEmpty()) {
            QCOMPARE(box.text(), question);
            QCOMPARE(box.title(), QStringLiteral("Confirm"));
            QCOMPARE(box.icons().value(0), int(QMessageBox::Question));
        }
        QCOMPARE(remarks(), record);
        QCOMPARE(stateName(t), state);
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT COUNT(*) FROM Expenses")).toInt(), stored);
        // The grid marks the current record.
        QAccessibleTableInterface *table = tableOf(m_grid);
        QCOMPARE(shown(m_grid, m_grid->CurrentRow(), 0), record);
        QApplication::setActiveWindow(m_window.get());  // back from the question's box
        QTRY_VERIFY(table->cellAt(m_grid->CurrentRow(), 0)->state().selected);
        if (key == Qt::Key_Delete && !modifiers)
            QCOMPARE(m_grid->InplaceEditor()->text(), QString());
    }

    // A master list edited in place: typing into an empty list starts the
    // first record, Enter stores it and appends the next, Esc first undoes
    // the typing and then drops the untouched record.
    void editsAMasterListInPlace()
    {
        createDM();
        showGrid(DM->AccountsDS, {QStringLiteral("AccName\t30\tAcc Name\tF")}, TwwCustomDBGrid::DefaultOptions,
                 TwwCustomDBGrid::DefaultKeyOptions | dgEnterToTab);
        TTable *t = DM->AccountsTable;
        QVERIFY(t->IsEmpty());
        // An empty list still shows its title.
        QCOMPARE(tableOf(m_grid)->rowCount(), 0);
        QCOMPARE(tableOf(m_grid)->columnDescription(0), QStringLiteral("Acc Name"));

        QTest::keyClicks(m_grid, QStringLiteral("Cash"));
        QVERIFY(m_grid->EditorMode());
        QCOMPARE(stateName(t), QStringLiteral("insert"));
        QCOMPARE(m_grid->InplaceEditor()->text(), QStringLiteral("Cash"));
        QTest::keyClick(m_grid->InplaceEditor(), Qt::Key_Return);
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT AccName FROM Accounts")).toString(), QStringLiteral("Cash"));
        QCOMPARE(stateName(t), QStringLiteral("insert"));
        QCOMPARE(shown(m_grid, 0, 0), QStringLiteral("Cash"));
        QCOMPARE(m_grid->CurrentRow(), 1);

        QTest::keyClicks(m_grid, QStringLiteral("Bank"));
        QCOMPARE(m_grid->InplaceEditor()->text(), QStringLiteral("Bank"));
        QTest::keyClick(m_grid->InplaceEditor(), Qt::Key_Escape);
        QVERIFY(!m_grid->EditorMode());
        QCOMPARE(shown(m_grid, 1, 0), QString());
        QCOMPARE(stateName(t), QStringLiteral("insert"));
        {
            ModalAnswer none(QStringLiteral("Escape"));
            QTest::keyClick(m_grid, Qt::Key_Escape);
            QCOMPARE(none.count(), 0);
        }
        QCOMPARE(stateName(t), QStringLiteral("browse"));
        QCOMPARE(DM->AccountsTableAccName->AsString(), QStringLiteral("Cash"));
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT COUNT(*) FROM Accounts")).toInt(), 1);

        // Renaming: F2, type, Tab leaves the field written and posted.
        QTest::keyClick(m_grid, Qt::Key_F2);
        QTest::keyClicks(m_grid->InplaceEditor(), QStringLiteral("Till"));
        QCOMPARE(stateName(t), QStringLiteral("edit"));
        QTest::keyClick(m_grid->InplaceEditor(), Qt::Key_Up);
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT AccName FROM Accounts")).toString(), QStringLiteral("Till"));

        // A name longer than the field is cut at the field's size while typing.
        const auto *limit = dynamic_cast<const CharacterLimit *>(m_grid->InplaceEditor()->validator());
        QVERIFY(limit);
        QCOMPARE(limit->characters(), 50);
    }

    // A text that does not convert stays in the cell, the error is shown and
    // the stored value keeps; a column flagged "T" cannot be changed.
    void rejectsATextThatDoesNotConvert()
    {
        fillFive();
        createDM();
        showGrid(DM->ExpensesDS, {QStringLiteral("Amount\t10\tAmount"), QStringLiteral("Remarks\t20\tRemarks\tT")},
                 TwwCustomDBGrid::DefaultOptions, TwwCustomDBGrid::DefaultKeyOptions);
        QTest::keyClicks(m_grid, QStringLiteral("1x,e"));  // x and , are not accepted by a float field
        QCOMPARE(m_grid->InplaceEditor()->text(), QStringLiteral("1e"));
        ModalAnswer box(QStringLiteral("Return"));
        QTest::keyClick(m_grid->InplaceEditor(), Qt::Key_Return);
        QCOMPARE(box.count(), 1);
        QCOMPARE(box.title(), QStringLiteral("Ardentry"));
        QCOMPARE(box.icons().value(0), int(QMessageBox::Critical));
        QCOMPARE(box.text(), QStringLiteral("'1e' is not a valid floating point value for field 'Amount'"));
        QVERIFY(m_grid->EditorMode());
        QCOMPARE(m_grid->InplaceEditor()->text(), QStringLiteral("1e"));
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT Amount FROM Expenses WHERE Remarks = 'e0'")).toDouble(), 0.0);

        // Moving away must write the text too: the same error, and the grid stays.
        ModalAnswer again(QStringLiteral("Return"));
        QTest::keyClick(m_grid->InplaceEditor(), Qt::Key_Down);
        QCOMPARE(again.count(), 1);
        QCOMPARE(remarks(), QStringLiteral("e0"));
        QCOMPARE(m_grid->InplaceEditor()->text(), QStringLiteral("1e"));

        QTest::keyClick(m_grid->InplaceEditor(), Qt::Key_Backspace);
        QTest::keyClick(m_grid->InplaceEditor(), Qt::Key_Down);
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT Amount FROM Expenses WHERE Remarks = 'e0'")).toDouble(), 1.0);
        QCOMPARE(remarks(), QStringLiteral("e1"));

        // The flagged column refuses typing and leaves the dataset browsing.
        QTest::keyClick(m_grid, Qt::Key_Right);
        QCOMPARE(m_grid->SelectedIndex(), 1);
        QTest::keyClicks(m_grid, QStringLiteral("zz"));
        QCOMPARE(stateName(DM->ExpensesTable), QStringLiteral("browse"));
        QCOMPARE(remarks(), QStringLiteral("e1"));
    }

    // The Summary lists run on queries that cannot be modified: Insert shows
    // the dataset's refusal, Ctrl+Delete and Down on the last row do nothing.
    void readOnlyQueryRefusesChanges()
    {
        m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash')"));
        m_alias->exec(QStringLiteral("INSERT INTO AccTrans (DocDate, AccID, Increase, Decrease) VALUES ('2024-03-01', 1, 10, 0)"));
        createDM();
        showGrid(DM->AccBalancesDS, {QStringLiteral("Account\t27\tAccount\t\t"), QStringLiteral("Balance\t13\tBalance\t\t")},
                 (TwwCustomDBGrid::DefaultOptions | dgRowSelect | dgAlwaysShowSelection) & ~TwwDBGridOptions(dgIndicator | dgColLines),
                 TwwCustomDBGrid::DefaultKeyOptions);
        QCOMPARE(shown(m_grid, 0, 0), QStringLiteral("Cash"));
        QCOMPARE(shown(m_grid, 0, 1), QStringLiteral("10"));
        {
            ModalAnswer box(QStringLiteral("Return"));
            QTest::keyClick(m_grid, Qt::Key_Insert);
            QCOMPARE(box.texts(), QStringList{QStringLiteral("AccBalancesQuery: Cannot modify a read-only dataset.")});
            QCOMPARE(box.title(), QStringLiteral("Ardentry"));
        }
        ModalAnswer none(QStringLiteral("Escape"));
        QTest::keyClick(m_grid, Qt::Key_Delete, Qt::ControlModifier);
        QTest::keyClick(m_grid, Qt::Key_Down);
        QCOMPARE(none.count(), 0);
        QCOMPARE(stateName(DM->AccBalancesQuery), QStringLiteral("browse"));
        // The Summary lists keep their highlighted row without the focus.
        m_other->setFocus();
        QVERIFY(tableOf(m_grid)->cellAt(0, 0)->state().selected);
    }

    // Clicks move the current record (and column without row select), a
    // double-click anywhere raises OnDblClick once, a wheel notch moves one record.
    void mouseAndWheel()
    {
        fillFive();
        createDM();
        showGrid(DM->ExpensesDS, {QStringLiteral("DocDate\t10\tDate"), QStringLiteral("Remarks\t20\tRemarks")},
                 TwwCustomDBGrid::DefaultOptions, TwwCustomDBGrid::DefaultKeyOptions);
        int raised = 0;
        QObject *sender = nullptr;
        m_grid->OnDblClick = [&](QObject *s) {
            ++raised;
            sender = s;
        };
        QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {}, cellCentre(m_grid, 3, 1));
        QCOMPARE(remarks(), QStringLiteral("e3"));
        QCOMPARE(m_grid->SelectedIndex(), 1);
        QVERIFY(!m_grid->EditorMode());
        // Below the last row nothing changes.
        QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {}, cellCentre(m_grid, 7, 0));
        QCOMPARE(remarks(), QStringLiteral("e3"));

        QTest::mouseDClick(m_grid->viewport(), Qt::LeftButton, {}, m_grid->TitleRect(0).center());
        QCOMPARE(raised, 1);
        QCOMPARE(sender, static_cast<QObject *>(m_grid));
        QCOMPARE(remarks(), QStringLiteral("e3"));

        QWheelEvent down(QPointF(cellCentre(m_grid, 1, 1)), QPointF(m_grid->viewport()->mapToGlobal(cellCentre(m_grid, 1, 1))),
                         QPoint(), QPoint(0, -QWheelEvent::DefaultDeltasPerStep), Qt::NoButton, Qt::NoModifier,
                         Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_grid->viewport(), &down);
        QCOMPARE(remarks(), QStringLiteral("e4"));
        QWheelEvent up(QPointF(cellCentre(m_grid, 1, 1)), QPointF(m_grid->viewport()->mapToGlobal(cellCentre(m_grid, 1, 1))),
                       QPoint(), QPoint(0, 2 * QWheelEvent::DefaultDeltasPerStep), Qt::NoButton, Qt::NoModifier,
                       Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_grid->viewport(), &up);
        QCOMPARE(remarks(), QStringLiteral("e2"));

        // The vertical bar's arrows move one record, without a new record at the end.
        QVERIFY_DB(DM->ExpensesTable->Last());
        m_grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(stateName(DM->ExpensesTable), QStringLiteral("browse"));
        m_grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(remarks(), QStringLiteral("e3"));
        QCOMPARE(m_grid->verticalScrollBar()->value(), 4);
    }

    // Dragging a title boundary resizes the column and its field's display
    // width; dragging a title moves the field. Both last until the column
    // list is applied again.
    void resizeAndMoveLastUntilTheListIsApplied()
    {
        fillFive();
        createDM();
        showGrid(DM->ExpensesDS, {QStringLiteral("DocDate\t10\tDate"), QStringLiteral("Remarks\t20\tRemarks")},
                 TwwCustomDBGrid::DefaultOptions, TwwCustomDBGrid::DefaultKeyOptions);
        const int zero = QFontMetrics(m_grid->font()).horizontalAdvance(QLatin1Char('0'));
        const QRect title = m_grid->TitleRect(0);
        const QPoint boundary(title.right() + 1, title.center().y());
        const int before = m_grid->ColumnWidth(0);
        QTest::mousePress(m_grid->viewport(), Qt::LeftButton, {}, boundary);
        QTest::mouseMove(m_grid->viewport(), boundary + QPoint(40, 0));
        QTest::mouseRelease(m_grid->viewport(), Qt::LeftButton, {}, boundary + QPoint(40, 0));
        const int r = zero / 2 - 3;
        QCOMPARE(DM->ExpensesTableDocDate->DisplayWidth(), std::max(0, (before + 40 + r - 4) / zero));
        QCOMPARE(m_grid->ColumnWidth(0), DM->ExpensesTableDocDate->DisplayWidth() * zero + 4);

        // A double-click on a boundary does not resize.
        const int width = DM->ExpensesTableDocDate->DisplayWidth();
        QTest::mouseDClick(m_grid->viewport(), Qt::LeftButton, {}, QPoint(m_grid->TitleRect(0).right() + 1, title.center().y()));
        QCOMPARE(DM->ExpensesTableDocDate->DisplayWidth(), width);

        // Drag the Remarks title onto the Date title.
        const QPoint from = m_grid->TitleRect(1).center();
        const QPoint to = m_grid->TitleRect(0).center();
        QTest::mousePress(m_grid->viewport(), Qt::LeftButton, {}, from);
        QTest::mouseMove(m_grid->viewport(), to);
        QTest::mouseRelease(m_grid->viewport(), Qt::LeftButton, {}, to);
        QCOMPARE(m_grid->ColumnTitle(0), QStringLiteral("Remarks"));

        QVERIFY_DB(DM->ExpensesTable->Close());
        QVERIFY_DB(DM->ExpensesTable->Open());
        QCOMPARE(m_grid->ColumnTitle(0), QStringLiteral("Date"));
        QCOMPARE(DM->ExpensesTableDocDate->DisplayWidth(), 10);
    }

    // A click makes the clicked record current even when a pending change
    // must be settled first: dropping an untouched new record or storing a
    // typed one rearranges the rows, and the click still lands on the record
    // the user saw under the mouse (which Ctrl+Delete then deletes).
    void clickAfterANewRecord_data()
    {
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("rows");   // data rows shown
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("clicked");
        QTest::newRow("appended below all records, click above") << false << 5 << 8 << "Down on the last" << 2;
        QTest::newRow("appended in a scrolled window, click the top row") << false << 12 << 3 << "Down on the last" << 0;
        QTest::newRow("appended in a scrolled window, click the middle row") << false << 12 << 3 << "Down on the last" << 1;
        QTest::newRow("appended by code away from the end") << false << 12 << 3 << "append from the first" << 1;
        QTest::newRow("inserted, click above") << false << 5 << 8 << "Insert on the third" << 0;
        QTest::newRow("inserted, click below") << false << 5 << 8 << "Insert on the third" << 4;
        QTest::newRow("inserted on the bottom row, click above") << false << 12 << 3 << "Insert on the last" << 0;
        QTest::newRow("in place: typed into an inserted record, click below") << true << 5 << 8 << "type into an inserted third" << 4;
        QTest::newRow("in place: typed over a name, click above") << true << 5 << 8 << "type over the third" << 0;
    }
    void clickAfterANewRecord()
    {
        QFETCH(bool, inPlace);
        QFETCH(int, records);
        QFETCH(int, rows);
        QFETCH(QString, start);
        QFETCH(int, clicked);
        showAccounts(records, inPlace);
        showRows(rows);
        TTable *t = DM->AccountsTable;
        if (start == QLatin1String("Down on the last")) {
            QTest::keyClick(m_grid, Qt::Key_End, Qt::ControlModifier);
            QTest::keyClick(m_grid, Qt::Key_Down);
        } else if (start == QLatin1String("append from the first")) {
            QVERIFY_DB(t->Append());
        } else if (start == QLatin1String("Insert on the last")) {
            QTest::keyClick(m_grid, Qt::Key_End, Qt::ControlModifier);
            QTest::keyClick(m_grid, Qt::Key_Insert);
        } else {
            QTest::keyClick(m_grid, Qt::Key_Down);
            QTest::keyClick(m_grid, Qt::Key_Down);
            if (start != QLatin1String("type over the third"))
                QTest::keyClick(m_grid, Qt::Key_Insert);
            if (start.startsWith(QLatin1String("type")))
                QTest::keyClicks(m_grid, QStringLiteral("New"));
        }
        QCOMPARE(stateName(t), start == QLatin1String("type over the third") ? QStringLiteral("edit")
                                                                              : QStringLiteral("insert"));
        const QString target = shown(m_grid, clicked, 0);
        QVERIFY(target.startsWith(QLatin1Char('A')));

        QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {}, cellCentre(m_grid, clicked, 0));
        QCOMPARE(stateName(t), QStringLiteral("browse"));
        QCOMPARE(DM->AccountsTableAccName->AsString(), target);
        QCOMPARE(shown(m_grid, m_grid->CurrentRow(), 0), target);
        {
            ModalAnswer ok(QStringLiteral("Return"));
            QTest::keyClick(m_grid, Qt::Key_Delete, Qt::ControlModifier);
            QCOMPARE(ok.count(), 1);
        }
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT COUNT(*) FROM Accounts WHERE AccName = ?"), {target}).toInt(), 0);
        const int typed = start.startsWith(QLatin1String("type into")) ? 1 : 0;
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT COUNT(*) FROM Accounts")).toInt(), records - 1 + typed);
    }

    // The last row counted is often cut by the grid's bottom edge. Whatever
    // takes the current record there (Ctrl+End, the thumb dropped at the
    // bottom, Down or Enter appending a record), it shows whole, with its
    // highlight and its cell editor; back at the top the first row shows whole.
    void currentRecordShowsWhole_data()
    {
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<QString>("how");
        QTest::newRow("Ctrl+End") << false << "Ctrl+End";
        QTest::newRow("thumb dropped at the bottom") << false << "thumb";
        QTest::newRow("Down appends") << false << "Down";
        QTest::newRow("in place: Enter appends, typing opens the editor") << true << "Enter";
    }
    void currentRecordShowsWhole()
    {
        QFETCH(bool, inPlace);
        QFETCH(QString, how);
        showAccounts(10, inPlace);
        // Three whole rows and half of a fourth.
        const int frame = m_grid->height() - m_grid->viewport()->height();
        m_grid->setFixedHeight(frame + m_grid->TitleHeight() + 3 * m_grid->RowHeight() + m_grid->RowHeight() / 2);
        QTRY_COMPARE(m_grid->VisibleRowCount(), 4);

        const auto showsWhole = [this](int row) {
            const QRect r = m_grid->CellRect(row, 0);
            return r.top() >= m_grid->TitleHeight() && r.bottom() < m_grid->viewport()->height();
        };
        if (how == QLatin1String("thumb")) {
            QScrollBar *bar = m_grid->verticalScrollBar();
            QStyleOptionSlider opt;
            opt.initFrom(bar);
            opt.orientation = bar->orientation();
            opt.minimum = bar->minimum();
            opt.maximum = bar->maximum();
            opt.sliderPosition = bar->sliderPosition();
            opt.sliderValue = bar->value();
            opt.singleStep = bar->singleStep();
            opt.pageStep = bar->pageStep();
            opt.subControls = QStyle::SC_All;
            const QRect thumb = bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, bar);
            QVERIFY(thumb.isValid());
            QTest::mousePress(bar, Qt::LeftButton, {}, thumb.center());
            QTest::mouseMove(bar, QPoint(thumb.center().x(), bar->height() - 1));
            QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(thumb.center().x(), bar->height() - 1));
            QCOMPARE(DM->AccountsTableAccName->AsString(), QStringLiteral("A9"));
        } else {
            QTest::keyClick(m_grid, Qt::Key_End, Qt::ControlModifier);
            if (how == QLatin1String("Down"))
                QTest::keyClick(m_grid, Qt::Key_Down);
            if (how == QLatin1String("Enter")) {
                QTest::keyClick(m_grid, Qt::Key_Return);
                QTest::keyClicks(m_grid, QStringLiteral("x"));
                QVERIFY(m_grid->EditorMode());
                const QRect editor = m_grid->InplaceEditor()->geometry();
                QVERIFY2(editor.top() >= m_grid->TitleHeight() && editor.bottom() < m_grid->viewport()->height(),
                         qPrintable(QStringLiteral("editor at %1..%2").arg(editor.top()).arg(editor.bottom())));
                QTest::keyClick(m_grid->InplaceEditor(), Qt::Key_Escape);
            }
        }
        const int row = m_grid->CurrentRow();
        QCOMPARE(row, 3);
        QVERIFY(showsWhole(row));
        if (!inPlace) {
            // The highlight is drawn down to the row's last line.
            const QImage shot = m_grid->viewport()->grab().toImage();
            const QRect r = m_grid->CellRect(row, 0);
            QCOMPARE(shot.pixel(r.center().x(), r.bottom() - 1), m_grid->palette().color(QPalette::Highlight).rgb());
        }
        QTest::keyClick(m_grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(m_grid->CurrentRow(), 0);
        QVERIFY(showsWhole(0));
    }

    // An empty grid shows its titles and one blank data row; below the last
    // row shown there is only the grid's colour: no lines, no indicator cells.
    void nothingBelowTheLastRow_data()
    {
        QTest::addColumn<int>("records");
        QTest::newRow("empty list") << 0;
        QTest::newRow("two records") << 2;
    }
    void nothingBelowTheLastRow()
    {
        QFETCH(int, records);
        showAccounts(records, true);
        QVERIFY(m_grid->VisibleRowCount() > 4);
        const QImage shot = m_grid->viewport()->grab().toImage();
        const int rows = std::max(1, records);
        const QRect last = m_grid->CellRect(rows - 1, 0);
        // The rows shown have their lines.
        QCOMPARE(shot.pixel(last.center().x(), last.bottom()), m_grid->palette().color(QPalette::Mid).rgb());
        int stray = 0;
        for (int y = last.bottom() + 1; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                stray += shot.pixel(x, y) != m_grid->Color().rgb();
        QCOMPARE(stray, 0);
    }

    // Nothing is drawn outside its cell. A number that does not fit shows a
    // row of '#' that nobody reads as a value, never a number broken or cut
    // into another; its whole text is in the cell's tooltip and accessible
    // text. Text wraps and clips inside its cell, on the highlighted row too.
    // Each row of the fixture has text in one cell only, so every pixel of
    // text must lie inside that cell.
    void cellsKeepTheirText_data()
    {
        QTest::addColumn<bool>("summary");
        QTest::newRow("record tab") << false;
        QTest::newRow("Summary expense totals") << true;
    }
    void cellsKeepTheirText()
    {
        QFETCH(bool, summary);
        const QStringList cutNumbers{"0.666666666666667", "-3437.10000000001", "12345678901234.5",
                                     "1.82041857961736E-37", "1234567890.12345"};
        const QString longWord = QStringLiteral("Pneumonoultramicroscopicsilicovolcanoconiosis");
        const QString sentence = QStringLiteral("paid in cash at the counter on a rainy afternoon");
        if (summary) {
            // Expense types nobody named, so that each row has its amount alone;
            // and one named type without an amount.
            m_alias->exec(QStringLiteral("INSERT INTO ExpTypes (ExpType) VALUES (?)"), {longWord + QStringLiteral(" and more")});
            m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, ExpType) VALUES ('2024-03-01', 1)"));
            for (int i = 0; i < cutNumbers.size(); ++i)
                m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, Amount, ExpType) VALUES ('2024-03-01', ?, ?)"),
                              {cutNumbers.at(i).toDouble(), 90 + i});
            m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, Amount, ExpType) VALUES ('2024-03-01', 10, 99)"));
        } else {
            for (const QString &n : cutNumbers)
                m_alias->exec(QStringLiteral("INSERT INTO Expenses (Amount) VALUES (?)"), {n.toDouble()});
            m_alias->exec(QStringLiteral("INSERT INTO Expenses (Amount) VALUES (10)"));
            m_alias->exec(QStringLiteral("INSERT INTO Expenses (Remarks) VALUES (?)"), {longWord});
            m_alias->exec(QStringLiteral("INSERT INTO Expenses (Remarks) VALUES (?)"), {sentence});
        }
        createDM();
        if (summary)
            showGrid(DM->ExpTotalsDS, {QStringLiteral("Expenses\t27\tExpenses\t\t"), QStringLiteral("Amount\t12\tAmount\t\t")},
                     (TwwCustomDBGrid::DefaultOptions | dgRowSelect | dgAlwaysShowSelection) &
                         ~TwwDBGridOptions(dgIndicator | dgColLines),
                     TwwCustomDBGrid::DefaultKeyOptions);
        else
            showGrid(DM->ExpensesDS, {QStringLiteral("DocDate\t10\tDate"), QStringLiteral("Amount\t6\tAmount"),
                                      QStringLiteral("Remarks\t12\tRemarks")},
                     TwwCustomDBGrid::DefaultOptions | dgRowSelect, TwwCustomDBGrid::DefaultKeyOptions);
        QPalette colours = m_grid->palette();
        colours.setColor(QPalette::Base, Qt::white);
        colours.setColor(QPalette::Text, Qt::black);
        colours.setColor(QPalette::Highlight, QColor(0, 0, 160));
        colours.setColor(QPalette::HighlightedText, QColor(255, 0, 0));
        m_grid->setPalette(colours);
        m_grid->setColor(Qt::white);
        const int rows = m_grid->RecordRowCount();
        QCOMPARE(rows, summary ? 7 : 8);
        // The highlighted row is the one with the longest text.
        for (int row = 0; row < rows; ++row)
            for (int col = 0; col < m_grid->ColumnCount(); ++col)
                if (m_grid->CellText(row, col).startsWith(longWord))
                    QVERIFY_DB(m_grid->DataSet()->MoveBy(row - m_grid->CurrentRow()));
        QVERIFY(m_grid->CellText(m_grid->CurrentRow(), summary ? 0 : 2).startsWith(longWord));

        // Which cell of each row holds text.
        QList<int> textColumn;
        for (int row = 0; row < rows; ++row) {
            int found = -1;
            for (int col = 0; col < m_grid->ColumnCount(); ++col)
                if (!m_grid->CellText(row, col).isEmpty()) {
                    QCOMPARE(found, -1);
                    found = col;
                }
            QVERIFY(found >= 0);
            textColumn << found;
        }
        const QImage shot = m_grid->viewport()->grab().toImage();
        const QList<QRgb> plain{QColor(Qt::white).rgb(), QColor(0, 0, 160).rgb(), colours.color(QPalette::Mid).rgb()};
        int outside = 0;
        QString first;
        for (int y = m_grid->TitleHeight(); y < shot.height(); ++y)
            for (int x = m_grid->CellRect(0, 0).left(); x < shot.width(); ++x) {
                if (plain.contains(shot.pixel(x, y)))
                    continue;
                const int row = (y - m_grid->TitleHeight()) / m_grid->RowHeight();
                // Inside the cell's lines.
                const QRect cell = row < rows ? m_grid->CellRect(row, textColumn.at(row)).adjusted(0, 0, summary ? 0 : -1, -1)
                                              : QRect();
                if (!cell.contains(x, y) && outside++ == 0)
                    first = QStringLiteral("(%1, %2) on row %3").arg(x).arg(y).arg(row);
            }
        QVERIFY2(outside == 0, qPrintable(QStringLiteral("%1 text pixels outside their cell, first at %2").arg(outside).arg(first)));

        const auto tooltip = [this](int row, int col) {
            QToolTip::hideText();
            if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); }))
                return QStringLiteral("<the last tooltip stays>");
            const QPoint at = m_grid->CellRect(row, col).center();
            QHelpEvent help(QEvent::ToolTip, at, m_grid->viewport()->mapToGlobal(at));
            QApplication::sendEvent(m_grid->viewport(), &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        for (int row = 0; row < rows; ++row) {
            const int col = textColumn.at(row);
            const QString text = m_grid->CellText(row, col);
            QCOMPARE(shown(m_grid, row, col), text);
            if (cutNumbers.contains(text)) {
                const QString mark = m_grid->ShownText(row, col);
                QVERIFY2(!mark.isEmpty() && mark.count(QLatin1Char('#')) == mark.size(), qPrintable(text + QStringLiteral(" shows ") + mark));
                QCOMPARE(tooltip(row, col), text);
            } else if (text == QLatin1String("10")) {
                QCOMPARE(m_grid->ShownText(row, col), text);
                QCOMPARE(tooltip(row, col), QString());
            } else {
                // A text too long for its cell: what is cut off is in the tooltip.
                QCOMPARE(m_grid->ShownText(row, col), text);
                QCOMPARE(tooltip(row, col), text);
            }
        }
    }

    // In a dialog, a row-select grid leaves Enter and Esc to the default and
    // cancel buttons and Tab to the focus chain; a grid that edits in place
    // keeps Enter. Leaving the grid drops an untouched new record.
    void windowTakesKeysBeforeARowSelectGrid_data()
    {
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");  // the dialog's result, -1 while it is open
        QTest::newRow("row select: Enter clicks the default button") << false << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::newRow("row select: Esc cancels the dialog") << false << int(Qt::Key_Escape) << int(QDialog::Rejected);
        QTest::newRow("in place: Enter stays in the grid") << true << int(Qt::Key_Return) << -1;
        QTest::newRow("in place: Esc without editor cancels the dialog") << true << int(Qt::Key_Escape) << int(QDialog::Rejected);
    }
    void windowTakesKeysBeforeARowSelectGrid()
    {
        QFETCH(bool, inPlace);
        QFETCH(int, key);
        QFETCH(int, result);
        fillFive();
        createDM();
        QDialog dialog;
        auto *layout = new QVBoxLayout(&dialog);
        auto *grid = new TwwDBGrid(&dialog);
        grid->setOptions(inPlace ? TwwCustomDBGrid::DefaultOptions : TwwCustomDBGrid::DefaultOptions | dgRowSelect);
        grid->setKeyOptions(TwwCustomDBGrid::DefaultKeyOptions | dgEnterToTab);
        grid->setSelected({QStringLiteral("Remarks\t20\tRemarks")});
        grid->setDataSource(DM->ExpensesDS);
        auto *ok = new QPushButton(QStringLiteral("OK"), &dialog);
        ok->setDefault(true);
        layout->addWidget(grid);
        layout->addWidget(ok);
        QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        dialog.setResult(-1);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        if (!inPlace) {
            // Tab moves the focus on; an untouched new record is dropped on leaving.
            grid->setFocus();
            QVERIFY_DB(DM->ExpensesTable->Append());
            QTest::keyClick(grid, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(ok));
            QCOMPARE(stateName(DM->ExpensesTable), QStringLiteral("browse"));
        }
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key(key));
        QCOMPARE(dialog.result(), result);
    }
};

QTEST_MAIN(tst_WwDBGrid)
#include "tst_wwdbgrid.moc"
