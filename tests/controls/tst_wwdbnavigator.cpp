#include "Clock.h"
#include "DMUnit.h"
#include "FormatSettings.h"
#include "ModalAnswer.h"
#include "TDataSource.h"
#include "TIntegerField.h"
#include "TStringField.h"
#include "TTable.h"
#include "TestAlias.h"
#include "TwwDBNavigator.h"

#include <QAccessible>
#include <QMessageBox>
#include <QtTest>

namespace {

// "1100": whether insert, delete, post and cancel are enabled.
QString enabledButtons(const TwwDBNavigator &bar)
{
    QString s;
    for (TwwNavButton *b : bar.Buttons())
        s += b->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

} // namespace

// The record navigator over the accounts list: its buttons, which of them
// are enabled in each state of the dataset, and what each does.
class tst_wwDBNavigator : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;
    std::unique_ptr<QWidget> m_window;
    TwwDBNavigator *m_bar = nullptr;

    void addAccounts(int count)
    {
        for (int i = 1; i <= count; ++i)
            m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES (?)"), {QStringLiteral("A%1").arg(i)});
    }
    // The bar on the accounts list, or on the sales with `sales`.
    void openModule(bool sales = false)
    {
        QVERIFY_DB(DM = new TDM());
        m_window = std::make_unique<QWidget>();
        m_bar = new TwwDBNavigator(m_window.get());
        m_bar->setObjectName(QStringLiteral("wwDBNavigator1"));
        m_bar->setShowHint(true);
        m_bar->setDataSource(sales ? DM->SalesDS : DM->AccountsDS);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    TwwNavButton *button(TNavButtonStyle s) const { return m_bar->Button(s); }
    QStringList names() const
    {
        QStringList out;
        DM->AccountsTable->DisableControls();
        for (DM->AccountsTable->First(); !DM->AccountsTable->Eof(); DM->AccountsTable->Next())
            out << DM->AccountsTableAccName->DisplayText();
        DM->AccountsTable->EnableControls();
        return out;
    }

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

    void theBarAndItsButtons()
    {
        addAccounts(2);
        openModule();
        QCOMPARE(m_bar->size(), QSize(200, 30));
        const QStringList hints{"Insert new record", "Delete current record", "Post changes of current record",
                                "Cancel changes made to current record"};
        const QStringList objectNames{"wwDBNavigator1Insert", "wwDBNavigator1Delete", "wwDBNavigator1Post",
                                      "wwDBNavigator1Cancel"};
        QCOMPARE(m_bar->Buttons().size(), 4);
        for (int i = 0; i < 4; ++i) {
            TwwNavButton *b = m_bar->Buttons().at(i);
            QCOMPARE(b->Index(), i);
            QCOMPARE(b->objectName(), objectNames.at(i));
            QCOMPARE(b->geometry(), QRect(i * 50, 0, 50, 30));
            QCOMPARE(b->toolTip(), hints.at(i));
            QCOMPARE(b->toolButtonStyle(), Qt::ToolButtonIconOnly);
            QVERIFY(b->autoRaise());
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(b);
            QCOMPARE(a->role(), QAccessible::Button);
            QCOMPARE(a->text(QAccessible::Name), hints.at(i));
            // An 18 x 18 picture, and a different, greyed one when disabled.
            const QImage normal = b->icon().pixmap(QSize(18, 18), QIcon::Normal).toImage();
            const QImage greyed = b->icon().pixmap(QSize(18, 18), QIcon::Disabled).toImage();
            QCOMPARE(normal.size(), QSize(18, 18));
            QVERIFY(normal != greyed);
            for (int y = 0; y < 18; ++y)
                for (int x = 0; x < 18; ++x)
                    QCOMPARE(qRed(greyed.pixel(x, y)) == qGreen(greyed.pixel(x, y)) &&
                                 qGreen(greyed.pixel(x, y)) == qBlue(greyed.pixel(x, y)),
                             true);
        }
        m_bar->setShowHint(false);
        QCOMPARE(button(TNavButtonStyle::nbsInsert)->toolTip(), QString());
    }

    // Which buttons are enabled ("insert delete post cancel") as the dataset
    // changes state.
    void enablingFollowsTheDataset_data()
    {
        QTest::addColumn<int>("accounts");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("enabled");
        QTest::newRow("browsing records") << 2 << "" << "1100";
        QTest::newRow("browsing an empty list") << 0 << "" << "1000";
        QTest::newRow("editing") << 2 << "edit" << "1111";
        QTest::newRow("inserting among records") << 2 << "insert" << "1111";
        QTest::newRow("inserting into an empty list keeps delete off") << 0 << "insert" << "1011";
        QTest::newRow("appending to an empty list keeps delete off") << 0 << "append" << "1011";
        QTest::newRow("typing a name into a record") << 2 << "type" << "1111";
        QTest::newRow("posted") << 2 << "post" << "1100";
        QTest::newRow("closed") << 2 << "close" << "0000";
        QTest::newRow("reopened") << 2 << "reopen" << "1100";
        QTest::newRow("bar disabled") << 2 << "disable" << "0000";
        QTest::newRow("bar enabled again while editing") << 2 << "disable edit enable" << "1111";
        QTest::newRow("no data source") << 2 << "unbind" << "0000";
    }
    void enablingFollowsTheDataset()
    {
        QFETCH(int, accounts);
        QFETCH(QString, step);
        QFETCH(QString, enabled);
        addAccounts(accounts);
        openModule();
        TTable *t = DM->AccountsTable;
        for (const QString &s : step.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (s == QLatin1String("edit"))
                QVERIFY_DB(t->Edit());
            else if (s == QLatin1String("insert"))
                QVERIFY_DB(t->Insert());
            else if (s == QLatin1String("append"))
                QVERIFY_DB(t->Append());
            else if (s == QLatin1String("type"))
                QVERIFY_DB(t->Edit(); DM->AccountsTableAccName->setText(QStringLiteral("x")));
            else if (s == QLatin1String("post"))
                QVERIFY_DB(t->Edit(); DM->AccountsTableAccName->setText(QStringLiteral("x")); t->Post());
            else if (s == QLatin1String("close"))
                t->Close();
            else if (s == QLatin1String("reopen"))
                QVERIFY_DB(t->Close(); t->Open());
            else if (s == QLatin1String("disable"))
                m_bar->setEnabled(false);
            else if (s == QLatin1String("enable"))
                m_bar->setEnabled(true);
            else if (s == QLatin1String("unbind"))
                m_bar->setDataSource(nullptr);
        }
        QCOMPARE(enabledButtons(*m_bar), enabled);
    }

    // Insert puts a blank row where the current one was; post stores it
    // (in the table's order), cancel drops it.
    void insertThenPostOrCancel()
    {
        addAccounts(3);
        openModule();
        QVERIFY_DB(DM->AccountsTable->Next());
        QTest::mouseClick(button(TNavButtonStyle::nbsInsert), Qt::LeftButton);
        QCOMPARE(DM->AccountsTable->State(), TDataSetState::dsInsert);
        QCOMPARE(enabledButtons(*m_bar), QStringLiteral("1111"));
        QTest::mouseClick(button(TNavButtonStyle::nbsCancel), Qt::LeftButton);
        QCOMPARE(DM->AccountsTable->State(), TDataSetState::dsBrowse);
        QCOMPARE(DM->AccountsTableAccName->DisplayText(), QStringLiteral("A2"));
        QCOMPARE(enabledButtons(*m_bar), QStringLiteral("1100"));

        QTest::mouseClick(button(TNavButtonStyle::nbsInsert), Qt::LeftButton);
        QVERIFY_DB(DM->AccountsTableAccName->setText(QStringLiteral("New")));
        QTest::mouseClick(button(TNavButtonStyle::nbsPost), Qt::LeftButton);
        QCOMPARE(DM->AccountsTable->State(), TDataSetState::dsBrowse);
        QCOMPARE(names(), (QStringList{"A1", "A2", "A3", "New"}));
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT COUNT(*) FROM Accounts")).toInt(), 4);
    }

    // Delete asks first: Cancel or Esc keeps the record, OK deletes it and
    // the next record (the previous after the last) becomes current.
    void deleteAsksFirst_data()
    {
        QTest::addColumn<int>("at");  // record number made current
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QString>("current");
        QTest::newRow("Enter takes OK") << 2 << "Return" << QStringList{"A1", "A3"} << "A3";
        QTest::newRow("OK on the last") << 3 << "Return" << QStringList{"A1", "A2"} << "A2";
        QTest::newRow("Esc keeps it") << 2 << "Escape" << QStringList{"A1", "A2", "A3"} << "A2";
    }
    void deleteAsksFirst()
    {
        QFETCH(int, at);
        QFETCH(QString, answer);
        QFETCH(QStringList, left);
        QFETCH(QString, current);
        addAccounts(3);
        openModule();
        QVERIFY_DB(DM->AccountsTable->setRecNo(at));
        ModalAnswer box(answer);
        QTest::mouseClick(button(TNavButtonStyle::nbsDelete), Qt::LeftButton);
        QCOMPARE(box.count(), 1);
        QCOMPARE(box.title(), QStringLiteral("Confirm"));
        QCOMPARE(box.text(), QStringLiteral("Delete record?"));
        QCOMPARE(box.icons().value(0), int(QMessageBox::Question));
        QCOMPARE(box.defaultButtons().value(0), QStringLiteral("OK"));
        QCOMPARE(DM->AccountsTableAccName->DisplayText(), current);
        QCOMPARE(names(), left);
    }

    // Delete while a new record is pending drops that record, not a stored one.
    void deleteWhileInsertingDropsTheNewRecord()
    {
        addAccounts(2);
        openModule();
        QTest::mouseClick(button(TNavButtonStyle::nbsInsert), Qt::LeftButton);
        ModalAnswer box(QStringLiteral("Return"));
        QTest::mouseClick(button(TNavButtonStyle::nbsDelete), Qt::LeftButton);
        QCOMPARE(box.count(), 1);
        QCOMPARE(DM->AccountsTable->State(), TDataSetState::dsBrowse);
        QCOMPARE(names(), (QStringList{"A1", "A2"}));
    }

    // A post the engine refuses: the error box, and the record still
    // pending with post and cancel enabled.
    void aRefusedPostLeavesTheRecordPending()
    {
        m_alias->exec(QStringLiteral("INSERT INTO Sales (Id, DocDate) VALUES (1, '2024-03-01')"));
        openModule(true);
        QTest::mouseClick(button(TNavButtonStyle::nbsInsert), Qt::LeftButton);
        QVERIFY_DB(DM->SalesTableId->setValue(1));  // the invoice number is taken
        ModalAnswer box(QStringLiteral("Return"));
        QTest::mouseClick(button(TNavButtonStyle::nbsPost), Qt::LeftButton);
        QCOMPARE(box.count(), 1);
        QCOMPARE(box.title(), QStringLiteral("Ardentry"));
        QVERIFY(!box.text().isEmpty());
        QCOMPARE(DM->SalesTable->State(), TDataSetState::dsInsert);
        QCOMPARE(enabledButtons(*m_bar), QStringLiteral("1111"));
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT COUNT(*) FROM Sales")).toInt(), 1);
    }

    // Held down well past the repeat delay, insert still acts once.
    void holdingInsertActsOnce()
    {
        addAccounts(1);
        openModule();
        int started = 0;
        DM->AccountsTable->OnNewRecord = [&](TDataSet *) { ++started; };
        int clicks = 0;
        button(TNavButtonStyle::nbsInsert)->OnClick = [&](QObject *sender) {
            QCOMPARE(sender, button(TNavButtonStyle::nbsInsert));
            ++clicks;
        };
        const auto &repeat = m_bar->RepeatInterval();
        QTest::mousePress(button(TNavButtonStyle::nbsInsert), Qt::LeftButton);
        QTest::qWait(repeat.InitialDelay + 3 * repeat.Interval);
        QTest::mouseRelease(button(TNavButtonStyle::nbsInsert), Qt::LeftButton);
        QCOMPARE(started, 1);
        QCOMPARE(clicks, 1);
        DM->AccountsTable->OnNewRecord = nullptr;
    }
};

QTEST_MAIN(tst_wwDBNavigator)
#include "tst_wwdbnavigator.moc"
