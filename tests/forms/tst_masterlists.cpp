#include "DMUnit.h"
#include "FormatSettings.h"
#include "DialogDriver.h"
#include "ModalAnswer.h"
#include "TDBLookupComboBox.h"
#include "TField.h"
#include "TIntegerField.h"
#include "TStringField.h"
#include "TTable.h"
#include "TestAlias.h"
#include "TwwDBGrid.h"
#include "TwwDBNavigator.h"
#include "TwwInplaceEdit.h"
#include "frmAccountsUnit.h"
#include "frmExpensesTypesUnit.h"
#include "ui_frmAccountsUnit.h"
#include "ui_frmExpensesTypesUnit.h"

#include <QMessageBox>
#include <QPushButton>
#include <QSqlQuery>
#include <QVBoxLayout>
#include <QtTest>

// Keys go where the user's keys go: to the control with the focus.
using DialogDriver::press;
using DialogDriver::type;

namespace {

// One of the two master lists, seen through what both have.
struct MasterList
{
    std::unique_ptr<QDialog> window;
    TwwDBGrid *grid = nullptr;
    TwwDBNavigator *navigator = nullptr;
    QPushButton *ok = nullptr;
    QLabel *picture = nullptr;
    TTable *table = nullptr;
    QString names;  // the stored names, by key
};

MasterList create(const QString &kind)
{
    MasterList l;
    if (kind == QLatin1String("accounts")) {
        auto *w = new TfrmAccounts();
        l.window.reset(w);
        l.grid = w->ui->wwDBGrid1;
        l.navigator = w->ui->wwDBNavigator1;
        l.ok = w->ui->BitBtn1;
        l.picture = w->ui->Image1;
        l.table = DM->AccountsTable;
        l.names = QStringLiteral("SELECT COALESCE(AccName, '') FROM Accounts ORDER BY AccID");
    } else {
        auto *w = new TfrmExpensesTypes();
        l.window.reset(w);
        l.grid = w->ui->wwDBGrid1;
        l.navigator = w->ui->wwDBNavigator1;
        l.ok = w->ui->BitBtn1;
        l.picture = w->ui->Image1;
        l.table = DM->ExpTypesTable;
        l.names = QStringLiteral("SELECT COALESCE(ExpType, '') FROM ExpTypes ORDER BY Id");
    }
    return l;
}

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

} // namespace

// The accounts and expense types lists on real windows over real books:
// editing in the grid, the navigator, what leaving the window does with a
// pending change, and where the names show up afterwards.
class tst_MasterLists : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;
    MasterList m_list;

    void open(const QString &kind)
    {
        m_list = create(kind);
        m_list.window->show();
        QApplication::setActiveWindow(m_list.window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_list.window.get()));
        QVERIFY(m_list.grid->hasFocus());
    }
    QStringList stored() const
    {
        QStringList out;
        QSqlQuery q(m_alias->fixture());
        if (!q.exec(m_list.names))
            return {QStringLiteral("<query failed>")};
        while (q.next())
            out << q.value(0).toString();
        return out;
    }
    QString currentName() const { return m_list.grid->CellText(m_list.grid->CurrentRow(), 0); }
    void clickNavigator(TNavButtonStyle style)
    {
        TwwNavButton *b = m_list.navigator->Button(style);
        QVERIFY(b && b->isEnabled());
        QTest::mouseClick(b, Qt::LeftButton);
    }
    // Leaves the window as the user would: OK, Esc, or the title bar's close box.
    void leave(const QString &how)
    {
        if (how == QLatin1String("OK"))
            QTest::mouseClick(m_list.ok, Qt::LeftButton);
        else if (how == QLatin1String("Esc"))
            press(Qt::Key_Escape);
        else
            m_list.window->close();
    }

private Q_SLOTS:
    void init()
    {
        FormatSettings() = TFormatSettings();
        m_alias = std::make_unique<TestAlias>();
        m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash'), ('Bank')"));
        m_alias->exec(QStringLiteral("INSERT INTO ExpTypes (ExpType) VALUES ('Rent'), ('Power')"));
        m_alias->exec(QStringLiteral("INSERT INTO AccTrans (DocDate, Increase, Decrease, AccID) VALUES ('2024-03-01', 10, 0, 1)"));
        m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, Amount, AccID, ExpType) VALUES ('2024-03-02', 20, 1, 1)"));
        try {
            DM = new TDM();
        } catch (const EDatabaseError &e) {
            QFAIL(qPrintable(e.message()));
        }
    }
    void cleanup()
    {
        m_list = MasterList();
        delete DM;
        DM = nullptr;
        m_alias.reset();
    }

    // Enter walks down the one column; on the last name it starts a new
    // record, a name typed into it and Enter stores it and starts the next,
    // and Shift+Enter on that untouched record drops it again.
    void enterWalksTheListAndAppends_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("accounts") << "accounts" << QStringList{"Cash", "Bank"};
        QTest::newRow("expense types") << "expense types" << QStringList{"Rent", "Power"};
    }
    void enterWalksTheListAndAppends()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, names);
        open(kind);
        TTable *t = m_list.table;
        QCOMPARE(currentName(), names.at(0));
        press(Qt::Key_Return);
        QCOMPARE(currentName(), names.at(1));
        QCOMPARE(stateName(t), QStringLiteral("browse"));

        press(Qt::Key_Return);
        QCOMPARE(stateName(t), QStringLiteral("insert"));
        QCOMPARE(m_list.grid->CurrentRow(), 2);
        QCOMPARE(currentName(), QString());

        type(QStringLiteral("Petty"));
        QVERIFY(m_list.grid->EditorMode());
        press(Qt::Key_Return);
        QCOMPARE(stored(), names + QStringList{"Petty"});
        QCOMPARE(stateName(t), QStringLiteral("insert"));
        QCOMPARE(m_list.grid->CurrentRow(), 3);
        QCOMPARE(m_list.grid->CellText(2, 0), QStringLiteral("Petty"));

        press(Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(stateName(t), QStringLiteral("browse"));
        QCOMPARE(m_list.grid->RecordRowCount(), 3);
        QCOMPARE(currentName(), QStringLiteral("Petty"));
        QCOMPARE(stored(), names + QStringList{"Petty"});
        QVERIFY(m_list.window->isVisible());
    }

    // OK, Esc outside a cell and the title bar's close box store what is
    // pending, the text still in the cell included, and an inserted record
    // even when nothing was typed into it; then the window is gone.
    void leavingStoresThePendingChange_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("pending");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("accounts, name typed, OK") << "accounts" << "typed" << "OK" << QStringList{"Till", "Bank"};
        QTest::newRow("accounts, name typed, title bar")
            << "accounts" << "typed" << "title bar" << QStringList{"Till", "Bank"};
        QTest::newRow("accounts, inserted, Esc") << "accounts" << "inserted" << "Esc" << QStringList{"Cash", "Bank", ""};
        QTest::newRow("accounts, inserted, title bar")
            << "accounts" << "inserted" << "title bar" << QStringList{"Cash", "Bank", ""};
        QTest::newRow("accounts, nothing, Esc") << "accounts" << "nothing" << "Esc" << QStringList{"Cash", "Bank"};
        QTest::newRow("expense types, name typed, OK")
            << "expense types" << "typed" << "OK" << QStringList{"Till", "Power"};
        QTest::newRow("expense types, inserted, Esc")
            << "expense types" << "inserted" << "Esc" << QStringList{"Rent", "Power", ""};
        QTest::newRow("expense types, name typed, close request")
            << "expense types" << "typed" << "title bar" << QStringList{"Till", "Power"};
    }
    void leavingStoresThePendingChange()
    {
        QFETCH(QString, kind);
        QFETCH(QString, pending);
        QFETCH(QString, how);
        QFETCH(QStringList, names);
        open(kind);
        if (pending == QLatin1String("typed")) {
            type(QStringLiteral("Till"));
            QVERIFY(m_list.grid->EditorMode());
        } else if (pending == QLatin1String("inserted")) {
            clickNavigator(TNavButtonStyle::nbsInsert);
            QCOMPARE(stateName(m_list.table), QStringLiteral("insert"));
        }
        ModalAnswer none(QStringLiteral("Escape"));
        leave(how);
        QCOMPARE(none.count(), 0);
        QCOMPARE(stored(), names);
        QCOMPARE(stateName(m_list.table), QStringLiteral("browse"));
        QVERIFY(!m_list.window->isVisible());
        QCOMPARE(m_list.window->result(), int(QDialog::Accepted));
    }

    // When the engine refuses the pending change, leaving shows its error and
    // the window stays open with the change still pending; the navigator's
    // Cancel drops it and then the window closes.
    void refusedChangeKeepsTheWindowOpen_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("pending");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("state");
        QTest::newRow("accounts, OK") << "accounts" << "typed" << "OK" << "edit";
        QTest::newRow("accounts, Esc") << "accounts" << "inserted" << "Esc" << "insert";
        QTest::newRow("accounts, title bar") << "accounts" << "typed" << "title bar" << "edit";
        QTest::newRow("expense types, title bar") << "expense types" << "inserted" << "title bar" << "insert";
    }
    void refusedChangeKeepsTheWindowOpen()
    {
        QFETCH(QString, kind);
        QFETCH(QString, pending);
        QFETCH(QString, how);
        QFETCH(QString, state);
        const QString table = kind == QLatin1String("accounts") ? QStringLiteral("Accounts") : QStringLiteral("ExpTypes");
        for (const char *event : {"INSERT", "UPDATE"})
            m_alias->exec(QStringLiteral("CREATE TRIGGER refuse_%1 BEFORE %1 ON %2 BEGIN SELECT RAISE(ABORT, "
                                         "'The books refuse this change'); END")
                              .arg(QString::fromLatin1(event), table));
        open(kind);
        const QStringList before = stored();
        if (pending == QLatin1String("typed"))
            type(QStringLiteral("Till"));
        else
            clickNavigator(TNavButtonStyle::nbsInsert);

        {
            ModalAnswer box(QStringLiteral("Return"));
            leave(how);
            QCOMPARE(box.count(), 1);
            QCOMPARE(box.title(), QStringLiteral("Ardentry"));
            QCOMPARE(box.icons().value(0), int(QMessageBox::Critical));
            QVERIFY2(box.text().contains(QStringLiteral("The books refuse this change")), qPrintable(box.text()));
        }
        QVERIFY(m_list.window->isVisible());
        QCOMPARE(stateName(m_list.table), state);
        QVERIFY(m_list.navigator->Button(TNavButtonStyle::nbsCancel)->isEnabled());
        QCOMPARE(stored(), before);

        clickNavigator(TNavButtonStyle::nbsCancel);
        QCOMPARE(stateName(m_list.table), QStringLiteral("browse"));
        ModalAnswer none(QStringLiteral("Escape"));
        m_list.window->close();
        QCOMPARE(none.count(), 0);
        QVERIFY(!m_list.window->isVisible());
        QCOMPARE(stored(), before);
    }

    // A window that goes away while still open (the program ending under
    // it) leaves no change half-done in the shared table.
    void destroyedWhileOpenLeavesNothingPending_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("pending");
        QTest::newRow("accounts, name typed") << "accounts" << "typed";
        QTest::newRow("expense types, inserted") << "expense types" << "inserted";
    }
    void destroyedWhileOpenLeavesNothingPending()
    {
        QFETCH(QString, kind);
        QFETCH(QString, pending);
        open(kind);
        const QStringList before = stored();
        if (pending == QLatin1String("typed")) {
            type(QStringLiteral("Till"));  // the record is in edit, the text still in the cell
        } else {
            clickNavigator(TNavButtonStyle::nbsInsert);
        }
        QVERIFY(m_list.table->State() != TDataSetState::dsBrowse);
        m_list.window.reset();
        QCOMPARE(stateName(m_list.table), QStringLiteral("browse"));
        QCOMPARE(stored(), before);
        QCOMPARE(m_list.table->FieldByName(kind == QLatin1String("accounts") ? QStringLiteral("AccName")
                                                                              : QStringLiteral("ExpType"))
                     ->AsString(),
                 before.first());
    }

    // Deleting asks "Delete record?" whether from the navigator or with
    // Ctrl+Delete; OK deletes the current record, Cancel keeps it.
    void deleteAsksFirst_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("via");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("accounts, navigator, OK") << "accounts" << "navigator" << "Return" << QStringList{"Bank"};
        QTest::newRow("accounts, navigator, Cancel")
            << "accounts" << "navigator" << "Escape" << QStringList{"Cash", "Bank"};
        QTest::newRow("accounts, Ctrl+Delete, OK") << "accounts" << "Ctrl+Delete" << "Return" << QStringList{"Bank"};
        QTest::newRow("accounts, Ctrl+Delete, Cancel")
            << "accounts" << "Ctrl+Delete" << "Escape" << QStringList{"Cash", "Bank"};
        QTest::newRow("expense types, navigator, OK")
            << "expense types" << "navigator" << "Return" << QStringList{"Power"};
        QTest::newRow("expense types, Ctrl+Delete, Cancel")
            << "expense types" << "Ctrl+Delete" << "Escape" << QStringList{"Rent", "Power"};
    }
    void deleteAsksFirst()
    {
        QFETCH(QString, kind);
        QFETCH(QString, via);
        QFETCH(QString, answer);
        QFETCH(QStringList, names);
        open(kind);
        {
            ModalAnswer box(answer);
            if (via == QLatin1String("navigator"))
                clickNavigator(TNavButtonStyle::nbsDelete);
            else
                press(Qt::Key_Delete, Qt::ControlModifier);
            QCOMPARE(box.titles(), QStringList{QStringLiteral("Confirm")});
            QCOMPARE(box.text(), QStringLiteral("Delete record?"));
        }
        QCOMPARE(stored(), names);
        QCOMPARE(currentName(), names.first());
        QCOMPARE(m_list.grid->RecordRowCount(), names.size());
        QVERIFY(m_list.window->isVisible());
    }

    // Ctrl+Delete answered Cancel while a name is being typed over: the typed
    // name stays pending, as the navigator says, and the focus stays in the
    // grid, so the next Enter goes on down the list instead of closing it.
    void cancelledDeleteKeepsTheTypedName()
    {
        open(QStringLiteral("accounts"));
        type(QStringLiteral("Till"));
        QVERIFY(m_list.grid->EditorMode());
        {
            ModalAnswer box(QStringLiteral("Escape"));
            press(Qt::Key_Delete, Qt::ControlModifier);
            QCOMPARE(box.text(), QStringLiteral("Delete record?"));
        }
        QApplication::setActiveWindow(m_list.window.get());  // back from the question's box
        QTRY_VERIFY(m_list.grid->hasFocus() || m_list.grid->InplaceEditor()->hasFocus());
        QCOMPARE(currentName(), QStringLiteral("Till"));
        QCOMPARE(stateName(m_list.table), QStringLiteral("edit"));
        QVERIFY(m_list.navigator->Button(TNavButtonStyle::nbsPost)->isEnabled());
        QCOMPARE(stored(), (QStringList{"Cash", "Bank"}));

        press(Qt::Key_Return);
        QVERIFY(m_list.window->isVisible());
        QCOMPARE(stored(), (QStringList{"Till", "Bank"}));
        QCOMPARE(currentName(), QStringLiteral("Bank"));
    }

    // The cell editor holds a name to its size in characters: a character
    // outside the basic plane at the last place is stored whole, and what
    // is typed past the limit is not taken.
    void cellEditorCountsWholeCharacters()
    {
        open(QStringLiteral("accounts"));
        const QString emoji = QString::fromUcs4(U"\U0001F600");
        const QString name = QString(49, QLatin1Char('a')) + emoji;
        type(QString(49, QLatin1Char('a')));
        QVERIFY(m_list.grid->EditorMode());
        QWidget *editor = QApplication::focusWidget();
        QTest::sendKeyEvent(QTest::Press, editor, Qt::Key_unknown, emoji, Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, editor, Qt::Key_unknown, emoji, Qt::NoModifier);
        type(QStringLiteral("b"));
        press(Qt::Key_Return);
        QCOMPARE(stored(), (QStringList{name, "Bank"}));
    }

    // Insert, from the navigator, first settles a pending new record: stored
    // when a name was typed into it, dropped when untouched.
    void insertSettlesThePendingRecordFirst_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("a typed name is stored") << "Petty" << QStringList{"Cash", "Bank", "Petty"};
        QTest::newRow("an untouched record is dropped") << "" << QStringList{"Cash", "Bank"};
    }
    void insertSettlesThePendingRecordFirst()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, names);
        open(QStringLiteral("accounts"));
        press(Qt::Key_Down);  // on Bank, the last name
        press(Qt::Key_Down);  // a new record below it
        QCOMPARE(stateName(m_list.table), QStringLiteral("insert"));
        type(typed);
        clickNavigator(TNavButtonStyle::nbsInsert);
        QCOMPARE(stored(), names);
        QCOMPARE(stateName(m_list.table), QStringLiteral("insert"));
        QCOMPARE(currentName(), QString());
        QCOMPARE(m_list.grid->RecordRowCount(), names.size() + 1);
    }

    // Expenses keep the key of a deleted type and show an empty name once
    // they are read again; nothing else about them changes.
    void deletingAnExpenseTypeLeavesItsExpensesUnnamed()
    {
        QCOMPARE(DM->ExpensesTableExpenses->AsString(), QStringLiteral("Rent"));
        open(QStringLiteral("expense types"));
        {
            ModalAnswer box(QStringLiteral("Return"));
            clickNavigator(TNavButtonStyle::nbsDelete);
            QCOMPARE(box.count(), 1);
        }
        QTest::mouseClick(m_list.ok, Qt::LeftButton);
        QVERIFY(!m_list.window->isVisible());
        QVERIFY_DB(DM->ExpensesTable->Refresh());
        QCOMPARE(DM->ExpensesTableExpenses->AsString(), QString());
        QCOMPARE(DM->ExpensesTableExpType->AsInteger(), 1);
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT COUNT(*) FROM Expenses WHERE ExpType = 1 AND Amount = 20")).toInt(), 1);
    }

    // A name stored in the accounts list is offered by a lookup box of the
    // accounts table at once, and a renamed account shows its new name where
    // its records are read again.
    void namesReachTheLookups()
    {
        QCOMPARE(DM->AccTransTableAccount->AsString(), QStringLiteral("Cash"));
        open(QStringLiteral("accounts"));
        type(QStringLiteral("Till"));
        press(Qt::Key_Return);  // stored; on Bank
        press(Qt::Key_Return);  // a new record
        type(QStringLiteral("Petty"));
        press(Qt::Key_Return);  // stored; another new record
        // Clicking OK takes the focus from the grid, which drops the
        // untouched new record before OK posts anything.
        QTest::mouseClick(m_list.ok, Qt::LeftButton);
        QVERIFY(!m_list.window->isVisible());
        QCOMPARE(stored(), (QStringList{"Till", "Bank", "Petty"}));

        QWidget other;
        auto *layout = new QVBoxLayout(&other);
        auto *box = new TDBLookupComboBox(&other);
        layout->addWidget(box);
        box->setListSource(DM->AccountsDS);
        box->setKeyField(QStringLiteral("AccID"));
        box->setListField(QStringLiteral("AccName"));
        box->setSearchClock([] { return qint64(0); });
        other.show();
        QApplication::setActiveWindow(&other);
        QVERIFY(QTest::qWaitForWindowActive(&other));
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("pe"));
        QCOMPARE(box->Text(), QStringLiteral("Petty"));
        QCOMPARE(box->ChosenKey().toInt(), 3);

        QVERIFY_DB(DM->AccTransTable->Refresh());
        QCOMPARE(DM->AccTransTableAccount->AsString(), QStringLiteral("Till"));
    }

    // What each window is made of: caption, size, frame, fonts, background,
    // picture, the grid's and the navigator's settings and places, OK as the
    // default button.
    void windowSettings_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("closeBox");
        QTest::addColumn<QString>("font");
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<int>("navigatorLeft");
        QTest::newRow("accounts") << "accounts" << "Accounts List" << QSize(454, 393) << true << "MS Sans Serif"
                                  << QStringList{"AccName\t30\tAcc Name\tF"} << 128;
        QTest::newRow("expense types") << "expense types" << "Expenses Types" << QSize(446, 396) << false << "Verdana"
                                       << QStringList{"ExpType\t30\tExpenses Type"} << 131;
    }
    void windowSettings()
    {
        QFETCH(QString, kind);
        QFETCH(QString, caption);
        QFETCH(QSize, size);
        QFETCH(bool, closeBox);
        QFETCH(QString, font);
        QFETCH(QStringList, selected);
        QFETCH(int, navigatorLeft);
        open(kind);
        QDialog *w = m_list.window.get();
        QCOMPARE(w->windowTitle(), caption);
        QCOMPARE(w->size(), size);
        const Qt::WindowFlags flags = w->windowFlags();
        QCOMPARE(flags.testFlag(Qt::WindowCloseButtonHint), closeBox);
        QCOMPARE(flags.testFlag(Qt::WindowSystemMenuHint), closeBox);
        QCOMPARE(flags.testFlag(Qt::WindowMaximizeButtonHint), closeBox);
        QVERIFY(flags.testFlag(Qt::WindowTitleHint));
        QCOMPARE(w->font().family(), font);
        QCOMPARE(w->font().pixelSize(), 11);
        QCOMPARE(w->palette().color(QPalette::Window), QColor(Qt::white));
        QVERIFY(!m_list.picture->pixmap().isNull());
        QCOMPARE(m_list.picture->size(), QSize(96, 96));

        TwwDBGrid *g = m_list.grid;
        QCOMPARE(g->Selected(), selected);
        QCOMPARE(g->ColumnCount(), 1);
        QCOMPARE(g->Options(), TwwCustomDBGrid::DefaultOptions);
        QCOMPARE(g->KeyOptions(), dgEnterToTab | dgAllowDelete | dgAllowInsert);
        QCOMPARE(g->font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(g->TitleFont().family(), font);
        QCOMPARE(g->TitleFont().pixelSize(), 11);
        QCOMPARE(g->geometry().top(), 40);
        QCOMPARE(g->geometry().left(), navigatorLeft);

        TwwDBNavigator *n = m_list.navigator;
        QCOMPARE(n->geometry(), QRect(navigatorLeft, 5, 200, 30));
        QVERIFY(n->ShowHint());
        QCOMPARE(n->Button(TNavButtonStyle::nbsInsert)->toolTip(), QStringLiteral("Insert new record"));
        QCOMPARE(n->Button(TNavButtonStyle::nbsInsert)->objectName(), QStringLiteral("wwDBNavigator1Insert"));
        QVERIFY(n->Button(TNavButtonStyle::nbsInsert)->isEnabled());
        QVERIFY(n->Button(TNavButtonStyle::nbsDelete)->isEnabled());
        QVERIFY(!n->Button(TNavButtonStyle::nbsPost)->isEnabled());
        QVERIFY(!n->Button(TNavButtonStyle::nbsCancel)->isEnabled());
        type(QStringLiteral("x"));
        QVERIFY(n->Button(TNavButtonStyle::nbsPost)->isEnabled());
        QVERIFY(n->Button(TNavButtonStyle::nbsCancel)->isEnabled());

        QVERIFY(m_list.ok->isDefault());
        QCOMPARE(m_list.ok->text(), QStringLiteral("OK"));
        QCOMPARE(m_list.ok->size(), QSize(75, 25));
        QCOMPARE(m_list.ok->geometry().top(), 40);
        QCOMPARE(m_list.ok->geometry().left(), g->geometry().right() + 8);
        // OK keeps its distance from the right edge as the window grows.
        const int margin = w->width() - m_list.ok->geometry().right();
        w->resize(w->width() + 100, w->height() + 50);
        QTRY_COMPARE(w->width() - m_list.ok->geometry().right(), margin);
        QCOMPARE(g->geometry().bottom(), w->height() - 9);
    }
};

QTEST_MAIN(tst_MasterLists)
#include "tst_masterlists.moc"
