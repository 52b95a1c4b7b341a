#include "Clock.h"
#include "DMUnit.h"
#include "DialogKeys.h"
#include "FormatSettings.h"
#include "LookupDropDown.h"
#include "ModalAnswer.h"
#include "TDBEdit.h"
#include "TDBLookupComboBox.h"
#include "TDataSource.h"
#include "TField.h"
#include "TIntegerField.h"
#include "TQuery.h"
#include "TStringField.h"
#include "TTable.h"
#include "TestAlias.h"

#include <QAccessible>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

Q_DECLARE_METATYPE(QList<int>)

namespace {

// Accounts in AccID order; the names the search tests rely on.
const char *const AccountNames[] = {"Bank", "Cash box", "credit", "CAPITAL", "Carol", "Assets"};

} // namespace

// The lookup box, bound to a sale's Account and unbound over the accounts:
// what it shows, its list, the keys open and closed, incremental search,
// the mouse, and Enter and Esc in a dialog.
class tst_DBLookupComboBox : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;
    std::unique_ptr<QDialog> m_window;
    TDBLookupComboBox *m_box = nullptr;
    TDBEdit *m_edit = nullptr;
    qint64 m_now = 100000;

    void addAccounts(int count)
    {
        for (int i = 0; i < count; ++i)
            m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES (?)"),
                          {i < 6 ? QString::fromLatin1(AccountNames[i]) : QStringLiteral("Account %1").arg(i + 1)});
    }
    // A sale whose AccID is `accId` (null when 0).
    void addSale(int accId)
    {
        m_alias->exec(QStringLiteral("INSERT INTO Sales (Id, DocDate, Total, AccID) VALUES (7, '2024-03-01', 1, ?)"),
                      {accId ? QVariant(accId) : QVariant()});
    }
    void openModule()
    {
        QVERIFY_DB(DM = new TDM());
        m_window = std::make_unique<QDialog>();
        auto *layout = new QVBoxLayout(m_window.get());
        m_edit = new TDBEdit(m_window.get());
        m_edit->setDataSource(DM->SalesDS);
        m_edit->setDataField(QStringLiteral("Remarks"));
        auto *label = new QLabel(QStringLiteral("Account"), m_window.get());
        m_box = new TDBLookupComboBox(m_window.get());
        label->setBuddy(m_box);
        layout->addWidget(m_edit);
        layout->addWidget(label);
        layout->addWidget(m_box);
        m_box->setSearchClock([this] { return m_now; });
        m_window->show();
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }
    void bind()
    {
        m_box->setDataSource(DM->SalesDS);
        m_box->setDataField(QStringLiteral("Account"));
    }
    QVariant accId() const { return DM->SalesTableAccID->Value(); }
    LookupDropDown *list() const { return m_box->findChild<LookupDropDown *>(); }
    QString highlightName() const { return list()->highlightText(); }

private Q_SLOTS:
    void init()
    {
        FormatSettings() = TFormatSettings();
        Clock::setTodaySource([] { return QDate(2024, 3, 13); });
        m_alias = std::make_unique<TestAlias>();
    }
    void cleanup()
    {
        m_window.reset();
        delete DM;
        DM = nullptr;
        m_alias.reset();
        Clock::setTodaySource({});
    }

    void boundBoxShowsTheLookedUpName()
    {
        addAccounts(3);
        addSale(2);
        openModule();
        bind();
        QCOMPARE(m_box->Text(), QStringLiteral("Cash box"));
        QCOMPARE(m_box->KeyValue().toInt(), 2);
        QCOMPARE(m_box->ListDataSet(), DM->AccountsTable);
        QCOMPARE(m_box->DropDownRows(), 7);
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(m_box);
        QVERIFY(a);
        QCOMPARE(a->role(), QAccessible::ComboBox);
        QCOMPARE(a->text(QAccessible::Name), QStringLiteral("Account"));
        QCOMPARE(a->text(QAccessible::Value), QStringLiteral("Cash box"));

        // It follows its key field and the record.
        QVERIFY_DB(DM->SalesTable->Edit());
        QVERIFY_DB(DM->SalesTableAccID->setValue(3));
        QCOMPARE(m_box->Text(), QStringLiteral("credit"));
        QVERIFY_DB(DM->SalesTable->Cancel());
        QCOMPARE(m_box->Text(), QStringLiteral("Cash box"));
        QVERIFY_DB(DM->AccountsTable->Close());
        QCOMPARE(m_box->Text(), QString());
    }

    // Closed list: Down and Up accept the next or previous row at once
    // (the same row at the ends; the first row with no usable key). The
    // record enters edit state and shows the new name before any post.
    void closedListDownAndUpAccept_data()
    {
        QTest::addColumn<int>("start");  // 0: null
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("expected");
        QTest::newRow("down from 2") << 2 << int(Qt::Key_Down) << 3;
        QTest::newRow("up from 2") << 2 << int(Qt::Key_Up) << 1;
        QTest::newRow("down at the last") << 6 << int(Qt::Key_Down) << 6;
        QTest::newRow("up at the first") << 1 << int(Qt::Key_Up) << 1;
        QTest::newRow("down from null") << 0 << int(Qt::Key_Down) << 1;
        QTest::newRow("up from null") << 0 << int(Qt::Key_Up) << 1;
        QTest::newRow("down from a missing account") << 99 << int(Qt::Key_Down) << 1;
    }
    void closedListDownAndUpAccept()
    {
        QFETCH(int, start);
        QFETCH(int, key);
        QFETCH(int, expected);
        addAccounts(6);
        addSale(start);
        openModule();
        bind();
        m_box->setFocus();
        QTest::keyClick(m_box, Qt::Key(key));
        QCOMPARE(DM->SalesTable->State(), TDataSetState::dsEdit);
        QCOMPARE(accId().toInt(), expected);
        QCOMPARE(m_box->Text(), QString::fromLatin1(AccountNames[expected - 1]));
        QVERIFY(!m_box->ListVisible());
        QVERIFY_DB(DM->SalesTable->Post());
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT AccID FROM Sales")).toInt(), expected);
    }

    // Incremental search: each character typed (at the given clock time)
    // extends the search text; the first account in AccID order whose name
    // begins with it, in any case, is accepted.
    void incrementalSearch_data()
    {
        QTest::addColumn<QStringList>("typed");     // characters
        QTest::addColumn<QList<int>>("times");      // clock in ms at each
        QTest::addColumn<int>("expected");          // AccID, 0 = null
        QTest::addColumn<QString>("searchText");
        QTest::newRow("c") << QStringList{"c"} << QList<int>{0} << 2 << "c";
        QTest::newRow("c r quickly") << QStringList{"c", "r"} << QList<int>{0, 300} << 3 << "cr";
        QTest::newRow("any case") << QStringList{"c", "A", "p"} << QList<int>{0, 10, 20} << 4 << "cAp";
        QTest::newRow("a at exactly 2000 ms still extends")
            << QStringList{"c", "a", "r"} << QList<int>{0, 2000, 2100} << 5 << "car";
        QTest::newRow("after a pause of more than 2000 ms a starts anew")
            << QStringList{"c", "a"} << QList<int>{0, 2001} << 6 << "a";
        QTest::newRow("no match keeps the text and the key")
            << QStringList{"c", "z"} << QList<int>{0, 10} << 2 << "c";
        QTest::newRow("nothing matches at all") << QStringList{"z"} << QList<int>{0} << 0 << "";
        QTest::newRow("backspace empties the search text")
            << QStringList{"c", "\b", "a"} << QList<int>{0, 10, 20} << 6 << "a";
    }
    void incrementalSearch()
    {
        QFETCH(QStringList, typed);
        QFETCH(QList<int>, times);
        QFETCH(int, expected);
        QFETCH(QString, searchText);
        addAccounts(6);
        addSale(0);
        openModule();
        bind();
        m_box->setFocus();
        const qint64 base = m_now;
        for (int i = 0; i < typed.size(); ++i) {
            m_now = base + times.at(i);
            if (typed.at(i) == QLatin1String("\b"))
                QTest::keyClick(m_box, Qt::Key_Backspace);
            else
                QTest::keyClicks(m_box, typed.at(i));
        }
        QCOMPARE(accId().isNull() ? 0 : accId().toInt(), expected);
        QCOMPARE(m_box->SearchText(), searchText);
    }

    void searchTextHoldsAtMost32Characters()
    {
        m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES (?)"), {QString(40, QLatin1Char('x'))});
        addSale(0);
        openModule();
        bind();
        m_box->setFocus();
        QTest::keyClicks(m_box, QString(33, QLatin1Char('x')));
        QCOMPARE(m_box->SearchText().size(), 32);
        QCOMPARE(accId().toInt(), 1);
        // Getting the focus anew starts an empty search.
        m_edit->setFocus();
        m_box->setFocus();
        QCOMPARE(m_box->SearchText(), QString());
    }

    // The list: as wide as the box, as many rows as accounts up to seven
    // (seven for none), the current account highlighted.
    void listHeight_data()
    {
        QTest::addColumn<int>("accounts");
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("scrolls");
        QTest::newRow("three accounts") << 3 << 3 << false;
        QTest::newRow("seven accounts") << 7 << 7 << false;
        QTest::newRow("twenty accounts") << 20 << 7 << true;
        QTest::newRow("no accounts") << 0 << 7 << false;
    }
    void listHeight()
    {
        QFETCH(int, accounts);
        QFETCH(int, rows);
        QFETCH(bool, scrolls);
        addAccounts(accounts);
        addSale(accounts >= 2 ? 2 : 0);
        openModule();
        bind();
        m_box->setFocus();
        QTest::keyClick(m_box, Qt::Key_Down, Qt::AltModifier);
        QVERIFY(m_box->ListVisible());
        QVERIFY(m_box->hasFocus());
        LookupDropDown *l = list();
        QCOMPARE(l->rowCount(), rows);
        QCOMPARE(l->height(), rows * l->rowHeight() + 2);
        QCOMPARE(l->width(), m_box->width());
        QCOMPARE(l->findChild<QScrollBar *>()->isVisible(), scrolls);
        // The current account is highlighted, among the rows shown.
        QCOMPARE(l->highlightKey().toInt(), accounts >= 2 ? 2 : 0);
        QStringList shown;
        for (int row = 0; row < rows; ++row)
            shown << l->rowText(row);
        QCOMPARE(shown.contains(QStringLiteral("Cash box")), accounts >= 2);
        QCOMPARE(shown.count(QString()), rows - std::min(accounts, rows));
        QTest::keyClick(m_box, Qt::Key_Up, Qt::AltModifier);
        QVERIFY(!m_box->ListVisible());
        QCOMPARE(DM->SalesTable->State(), TDataSetState::dsBrowse);
    }

    // Keys with the list open move the highlight only; Enter accepts it,
    // Esc and losing the focus close the list without a change.
    void openListKeys_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("closeWith");  // Return, Escape, focus
        QTest::addColumn<QString>("highlighted");
        QTest::addColumn<int>("stored");
        const QList<int> downDown{Qt::Key_Down, Qt::Key_Right};
        QTest::newRow("down, right, Enter") << downDown << "Return" << "CAPITAL" << 4;
        QTest::newRow("down, right, Esc") << downDown << "Escape" << "CAPITAL" << 2;
        QTest::newRow("down, right, focus lost") << downDown << "focus" << "CAPITAL" << 2;
        QTest::newRow("up, left") << QList<int>{Qt::Key_Up, Qt::Key_Left} << "Return" << "Bank" << 1;
        QTest::newRow("page down") << QList<int>{Qt::Key_PageDown} << "Return" << "Account 8" << 8;
        QTest::newRow("page down, page up") << QList<int>{Qt::Key_PageDown, Qt::Key_PageUp} << "Return"
                                            << "Cash box" << 2;
        QTest::newRow("end") << QList<int>{Qt::Key_End} << "Return" << "Account 20" << 20;
        QTest::newRow("end, home") << QList<int>{Qt::Key_End, Qt::Key_Home} << "Return" << "Bank" << 1;
        QTest::newRow("typing searches") << QList<int>{Qt::Key_A, Qt::Key_S} << "Return" << "Assets" << 6;
    }
    void openListKeys()
    {
        QFETCH(QList<int>, keys);
        QFETCH(QString, closeWith);
        QFETCH(QString, highlighted);
        QFETCH(int, stored);
        addAccounts(20);
        addSale(2);
        openModule();
        bind();
        m_box->setFocus();
        QTest::keyClick(m_box, Qt::Key_Down, Qt::AltModifier);
        for (int k : keys) {
            if (k >= Qt::Key_A && k <= Qt::Key_Z)
                QTest::keyClicks(m_box, QString(QChar(k)).toLower());
            else
                QTest::keyClick(m_box, Qt::Key(k));
        }
        QCOMPARE(highlightName(), highlighted);
        QCOMPARE(accId().toInt(), 2);  // nothing taken while the list is open
        QCOMPARE(DM->SalesTable->State(), TDataSetState::dsBrowse);
        if (closeWith == QLatin1String("focus"))
            m_edit->setFocus(Qt::TabFocusReason);
        else
            QTest::keyClick(m_box, closeWith == QLatin1String("Return") ? Qt::Key_Return : Qt::Key_Escape);
        QVERIFY(!m_box->ListVisible());
        QCOMPARE(accId().toInt(), stored);
        QCOMPARE(m_box->Text(), stored == 2 ? QStringLiteral("Cash box") : highlighted);
    }

    void mouse()
    {
        addAccounts(6);
        addSale(2);
        openModule();
        bind();
        QTest::mouseClick(m_box, Qt::LeftButton);
        QVERIFY(m_box->hasFocus());
        QVERIFY(m_box->ListVisible());
        // A click on the box closes it again without a change.
        QTest::mouseClick(m_box, Qt::LeftButton);
        QVERIFY(!m_box->ListVisible());
        // A click outside the list closes it without a change.
        QTest::mouseClick(m_box, Qt::LeftButton);
        QTest::mouseClick(m_edit, Qt::LeftButton);
        QVERIFY(!m_box->ListVisible());
        QCOMPARE(accId().toInt(), 2);
        // A click on a row accepts it.
        QTest::mouseClick(m_box, Qt::LeftButton);
        LookupDropDown *l = list();
        const int row = 3;
        const QString name = l->rowText(row);
        QTest::mouseClick(l, Qt::LeftButton, {}, QPoint(10, 1 + row * l->rowHeight() + l->rowHeight() / 2));
        QVERIFY(!m_box->ListVisible());
        QCOMPARE(m_box->Text(), name);
        QCOMPARE(DM->SalesTableAccount->DisplayText(), name);
        QCOMPARE(DM->SalesTable->State(), TDataSetState::dsEdit);
    }

    // A record that cannot be edited takes no key: nothing is written.
    void nothingIsWrittenWhenTheDatasetCannotEdit()
    {
        addAccounts(3);
        addSale(2);
        openModule();
        m_alias->exec(QStringLiteral("INSERT INTO AccTrans (DocDate, Increase, Decrease, AccID) VALUES ('2024-03-01', 5, 0, 1)"));
        QVERIFY_DB(DM->AccBalancesQuery->Close());
        QVERIFY_DB(DM->AccBalancesQuery->Open());
        m_box->setDataSource(DM->AccBalancesDS);
        m_box->setDataField(QStringLiteral("Account"));
        m_box->setFocus();
        QCOMPARE(m_box->Text(), QStringLiteral("Bank"));
        QTest::keyClick(m_box, Qt::Key_Down);
        QCOMPARE(DM->AccBalancesQueryAccID->Value().toInt(), 1);
        QCOMPARE(DM->AccBalancesQuery->State(), TDataSetState::dsBrowse);
    }

    // The unbound box: ChosenKey starts null and cannot be read as text;
    // accepting a row sets it and writes nothing.
    void unboundBoxChoosesAKey()
    {
        addAccounts(6);
        addSale(2);
        openModule();
        m_box->setListSource(DM->AccountsDS);
        m_box->setKeyField(QStringLiteral("AccID"));
        m_box->setListField(QStringLiteral("AccName"));
        QVERIFY(!m_box->ChosenKey().isValid());
        QCOMPARE(m_box->Text(), QString());
        QVERIFY_DB_ERROR(m_box->ChosenKeyText(), QStringLiteral("Could not convert variant of type (Null) into type (String)"));
        m_box->setFocus();
        QTest::keyClick(m_box, Qt::Key_Down);
        QCOMPARE(m_box->ChosenKey().toInt(), 1);
        QCOMPARE(m_box->ChosenKeyText(), QStringLiteral("1"));
        QCOMPARE(m_box->Text(), QStringLiteral("Bank"));
        QTest::keyClicks(m_box, QStringLiteral("cr"));
        QCOMPARE(m_box->ChosenKeyText(), QStringLiteral("3"));
        QCOMPARE(m_box->Text(), QStringLiteral("credit"));
        QCOMPARE(DM->SalesTable->State(), TDataSetState::dsBrowse);
        QCOMPARE(accId().toInt(), 2);
        QCOMPARE(QAccessible::queryAccessibleInterface(m_box)->text(QAccessible::Value), QStringLiteral("credit"));
    }

    // Enter and Esc in a dialog go to the controls in creation order: with
    // the list open, a box created before the buttons takes them (accept,
    // close); created after them, the buttons do (OK, Cancel), and OK taking
    // the focus closes the list without a change.
    void enterAndEscInADialog_data()
    {
        QTest::addColumn<bool>("boxFirst");
        QTest::addColumn<bool>("open");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("pressed");  // the button that pressed itself
        QTest::addColumn<int>("stored");
        QTest::newRow("sales order, open, Enter accepts") << true << true << int(Qt::Key_Return) << "" << 3;
        QTest::newRow("sales order, open, keypad Enter accepts") << true << true << int(Qt::Key_Enter) << "" << 3;
        QTest::newRow("sales order, open, Esc closes") << true << true << int(Qt::Key_Escape) << "" << 2;
        QTest::newRow("sales order, closed, Enter presses OK") << true << false << int(Qt::Key_Return) << "OK" << 2;
        QTest::newRow("sales order, closed, Esc presses Cancel")
            << true << false << int(Qt::Key_Escape) << "Cancel" << 2;
        QTest::newRow("purchases order, open, Enter presses OK") << false << true << int(Qt::Key_Return) << "OK" << 2;
        QTest::newRow("purchases order, open, Esc presses Cancel")
            << false << true << int(Qt::Key_Escape) << "Cancel" << 2;
    }
    void enterAndEscInADialog()
    {
        QFETCH(bool, boxFirst);
        QFETCH(bool, open);
        QFETCH(int, key);
        QFETCH(QString, pressed);
        QFETCH(int, stored);
        addAccounts(6);
        addSale(2);
        openModule();
        bind();
        auto *ok = new QPushButton(QStringLiteral("&OK"), m_window.get());
        auto *cancel = new QPushButton(QStringLiteral("&Cancel"), m_window.get());
        m_window->layout()->addWidget(ok);
        m_window->layout()->addWidget(cancel);
        ok->setDefault(true);
        ok->show();
        cancel->show();
        QString clicked;
        connect(ok, &QPushButton::clicked, this, [&] {
            clicked += QStringLiteral("OK");
            ok->setFocus();
        });
        connect(cancel, &QPushButton::clicked, this, [&] {
            clicked += QStringLiteral("Cancel");
            m_window->hide();
        });
        const QList<QWidget *> controls = boxFirst ? QList<QWidget *>{m_edit, m_box, ok, cancel}
                                                   : QList<QWidget *>{m_edit, ok, cancel, m_box};
        new DialogKeys(m_window.get(), controls, nullptr, cancel);
        m_box->setFocus();
        if (open) {
            QTest::keyClick(m_box, Qt::Key_Down, Qt::AltModifier);
            QTest::keyClick(m_box, Qt::Key_Down);
        }
        QTest::keyClick(m_box, Qt::Key(key));
        QCOMPARE(clicked, pressed);
        QVERIFY(!m_box->ListVisible());
        QCOMPARE(accId().toInt(), stored);
        // Only Cancel closes the window here; nothing else does on its own.
        QCOMPARE(m_window->isVisible(), pressed != QLatin1String("Cancel"));
    }

    // With the focus on a button, Enter presses that button; text boxes
    // take neither key, and a modifier passes the key on untouched.
    void enterPressesTheFocusedButton()
    {
        addAccounts(1);
        addSale(1);
        openModule();
        auto *ok = new QPushButton(QStringLiteral("OK"), m_window.get());
        auto *other = new QPushButton(QStringLiteral("Other"), m_window.get());
        m_window->layout()->addWidget(ok);
        m_window->layout()->addWidget(other);
        ok->show();
        other->show();
        QSignalSpy okSpy(ok, &QPushButton::clicked), otherSpy(other, &QPushButton::clicked);
        auto *keys = new DialogKeys(m_window.get(), {m_edit, ok, other}, ok, nullptr);
        QCOMPARE(keys->defaultButton(), ok);
        other->setFocus();
        QTest::keyClick(other, Qt::Key_Return);
        QCOMPARE(otherSpy.count(), 1);
        QCOMPARE(okSpy.count(), 0);
        m_edit->setFocus();
        QTest::keyClick(m_edit, Qt::Key_Return);
        QCOMPARE(okSpy.count(), 1);
        QTest::keyClick(m_edit, Qt::Key_Escape);  // no cancel button: nothing
        QVERIFY(m_window->isVisible());
        QCOMPARE(otherSpy.count() + okSpy.count(), 2);
    }
};

QTEST_MAIN(tst_DBLookupComboBox)
#include "tst_dblookupcombobox.moc"
