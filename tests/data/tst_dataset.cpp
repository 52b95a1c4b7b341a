#include "Clock.h"
#include "EngineConfig.h"
#include "FormatSettings.h"
#include "TDataLink.h"
#include "TDataSource.h"
#include "TField.h"
#include "TQuery.h"
#include "TStringField.h"
#include "TTable.h"
#include "TestAlias.h"
#include "TestEngines.h"

#include <QtTest>

namespace {

// A control's view of a dataset, recording what it is told.
class RecordingLink : public TDataLink
{
public:
    QStringList events;
    int changed = 0;

protected:
    void ActiveChanged() override { events << QStringLiteral("active"); }
    void DataSetChanged() override
    {
        ++changed;
        events << QStringLiteral("changed");
    }
    void DataSetScrolled(int distance) override { events << QStringLiteral("scrolled %1").arg(distance); }
    void RecordChanged(TField *f) override { events << (f ? QStringLiteral("field ") + f->FieldName() : QStringLiteral("record")); }
    void EditingChanged() override { events << QStringLiteral("editing"); }
    void UpdateData() override { events << QStringLiteral("commit"); }
};

TTable *journal(QObject *owner, const QString &file, const QString &name)
{
    auto *t = new TTable(owner);
    t->setObjectName(name);
    t->setDatabaseName(QStringLiteral("ARD"));
    t->setTableName(file);
    return t;
}

QStringList remarks(TTable *t)
{
    QStringList out;
    for (t->First(); !t->Eof(); t->Next())
        out << t->FieldByName(QStringLiteral("Remarks"))->AsString();
    return out;
}

} // namespace

// Datasets over real tables: moving through a window of a few records,
// counting, changing records and where the cursor lands afterwards, settling
// pending changes, the notifications controls receive, and field texts.
class tst_DataSet : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;
    std::unique_ptr<QObject> m_owner;
    TTable *m_expenses = nullptr;

    // Ten expenses, remarks e0..e9, one a day from 1 March 2024, stored in
    // an order that differs from the reading order.
    void fillTen()
    {
        for (int i : {5, 0, 9, 1, 8, 2, 7, 3, 6, 4})
            m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, Amount, Remarks) VALUES (?, ?, ?)"),
                          {QDate(2024, 3, 1 + i).toString(Qt::ISODate), i * 10.0, QStringLiteral("e%1").arg(i)});
    }
    QString current() const { return m_expenses->FieldByName(QStringLiteral("Remarks"))->AsString(); }
    // The SQL for the date that many days after 1 January 2020.
    QString daysAfter2020(const QString &days) const
    {
        if (m_alias->kind() == TEngineKind::PostgreSQL)
            return QStringLiteral("DATE '2020-01-01' + (%1)").arg(days);
        return QStringLiteral("date('2020-01-01', '+' || (%1) || ' days')").arg(days);
    }

private Q_SLOTS:
    void initTestCase_data() { TestEngines::addRows(); }
    void init()
    {
        TEST_ENGINE_AVAILABLE();
        FormatSettings() = TFormatSettings();
        FormatSettings().ShortDateFormat = QStringLiteral("dd/mm/yyyy");
        Clock::setTodaySource([] { return QDate(2024, 3, 13); });
        m_alias = std::make_unique<TestAlias>();
        m_owner = std::make_unique<QObject>();
        m_expenses = journal(m_owner.get(), QStringLiteral("Expenses.db"), QStringLiteral("ExpensesTable"));
    }
    void cleanup()
    {
        m_owner.reset();
        m_alias.reset();
        Clock::setTodaySource({});
    }

    // Another copy of the program, on a connection of its own, changes or
    // deletes the record this one has read: this one's change or deletion
    // is refused, nothing of it is stored, and the record is read again.
    void anotherCopysChangeIsNeverLost_data()
    {
        QTest::addColumn<QString>("theirs");  // "change" or "delete"
        QTest::addColumn<QString>("mine");
        QTest::addColumn<QString>("message");
        QTest::newRow("change after their change")
            << "change" << "change"
            << "Another user has changed this record since it was read: your change was not stored, and the record "
               "now shows their change";
        QTest::newRow("change after their deletion")
            << "delete" << "change" << "Another user has deleted this record: your change was not stored";
        QTest::newRow("deletion after their change")
            << "change" << "delete"
            << "Another user has changed this record since it was read: it was not deleted, and it now shows their "
               "change";
        QTest::newRow("deletion after their deletion") << "delete" << "delete"
                                                       << "Another user has already deleted this record";
    }
    void anotherCopysChangeIsNeverLost()
    {
        QFETCH(QString, theirs);
        QFETCH(QString, mine);
        QFETCH(QString, message);
        fillTen();
        EngineConfig::setAlias(QStringLiteral("ARD2"), m_alias->place());
        TTable *other = journal(m_owner.get(), QStringLiteral("Expenses.db"), QStringLiteral("OtherExpenses"));
        other->setDatabaseName(QStringLiteral("ARD2"));
        QVERIFY_DB(m_expenses->Open());
        QVERIFY_DB(other->Open());
        QVERIFY(m_expenses->Locate(QStringLiteral("Remarks"), QStringLiteral("e3")));
        QVERIFY(other->Locate(QStringLiteral("Remarks"), QStringLiteral("e3")));
        if (mine == QLatin1String("change")) {
            QVERIFY_DB(m_expenses->Edit());
            QVERIFY_DB(m_expenses->FieldByName(QStringLiteral("Remarks"))->setAsString(QStringLiteral("mine")));
        }
        if (theirs == QLatin1String("change")) {
            QVERIFY_DB(other->Edit());
            QVERIFY_DB(other->FieldByName(QStringLiteral("Amount"))->setAsFloat(999));
            QVERIFY_DB(other->Post());
        } else {
            QVERIFY_DB(other->Delete());
        }
        QVERIFY_DB_ERROR(mine == QLatin1String("change") ? m_expenses->Post() : m_expenses->Delete(), message);

        QCOMPARE(m_expenses->State(), TDataSetState::dsBrowse);
        if (theirs == QLatin1String("change")) {
            QCOMPARE(m_alias->scalar(QStringLiteral("SELECT Amount FROM Expenses WHERE Remarks = 'e3'")).toDouble(), 999.0);
            QCOMPARE(current(), QStringLiteral("e3"));
            QCOMPARE(m_expenses->FieldByName(QStringLiteral("Amount"))->AsFloat(), 999.0);
        } else {
            QCOMPARE(m_alias->scalar(QStringLiteral("SELECT count(*) FROM Expenses WHERE Remarks IN ('e3', 'mine')")).toInt(),
                     0);
            QCOMPARE(current(), QStringLiteral("e4"));  // the record after the one deleted
        }
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT count(*) FROM Expenses")).toInt(),
                 theirs == QLatin1String("change") ? 10 : 9);
    }

    // Posting a change writes only what changed, after checking the rest:
    // another copy's change to another record does not stand in the way.
    void changeOfAnotherRecordIsNoConflict()
    {
        fillTen();
        EngineConfig::setAlias(QStringLiteral("ARD2"), m_alias->place());
        TTable *other = journal(m_owner.get(), QStringLiteral("Expenses.db"), QStringLiteral("OtherExpenses"));
        other->setDatabaseName(QStringLiteral("ARD2"));
        QVERIFY_DB(m_expenses->Open());
        QVERIFY_DB(other->Open());
        QVERIFY(m_expenses->Locate(QStringLiteral("Remarks"), QStringLiteral("e3")));
        QVERIFY(other->Locate(QStringLiteral("Remarks"), QStringLiteral("e4")));
        QVERIFY_DB(m_expenses->Edit());
        QVERIFY_DB(m_expenses->FieldByName(QStringLiteral("Remarks"))->setAsString(QStringLiteral("mine")));
        QVERIFY_DB(other->Edit());
        QVERIFY_DB(other->FieldByName(QStringLiteral("Remarks"))->setAsString(QStringLiteral("theirs")));
        QVERIFY_DB(other->Post());
        QVERIFY_DB(m_expenses->Post());
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT count(*) FROM Expenses WHERE Remarks IN ('mine', 'theirs')")).toInt(),
                 2);
    }

    // Dates other programs wrote in other forms take their day's place in
    // the reading order, forwards and backwards, filtered or not, in a table
    // as in a query; a value that names no day reads as an empty date.
    void datesInOtherFormsTakeTheirDaysPlace()
    {
        QSKIP_ON_SERVER("a server's DATE column holds no other forms");
        m_alias->exec(QStringLiteral("INSERT INTO Expenses (Id, DocDate, Remarks) VALUES "
                                     "(1, '2024-03-02', 'c'), (2, '2024-3-1', 'b1'), (3, '2024-03-01 12:00', 'b2'), "
                                     "(4, NULL, 'n1'), (5, 'junk', 'n2'), (6, '2024-02-28T23:00', 'a'), "
                                     "(7, '2024-03-01', 'b3'), (8, 20240301, 'n3')"));
        QVERIFY_DB(m_expenses->Open());
        const QStringList all{QStringLiteral("n1"), QStringLiteral("n2"), QStringLiteral("n3"), QStringLiteral("a"),
                              QStringLiteral("b1"), QStringLiteral("b2"), QStringLiteral("b3"), QStringLiteral("c")};
        QCOMPARE(remarks(m_expenses), all);
        QStringList backwards;
        for (m_expenses->Last(); !m_expenses->Bof(); m_expenses->Prior())
            backwards.prepend(current());
        QCOMPARE(backwards, all);
        QVERIFY(m_expenses->Locate(QStringLiteral("Remarks"), QStringLiteral("b2")));
        QCOMPARE(m_expenses->FieldByName(QStringLiteral("DocDate"))->AsDate(), QDate(2024, 3, 1));
        QVERIFY(m_expenses->Locate(QStringLiteral("Remarks"), QStringLiteral("n2")));
        QVERIFY(m_expenses->FieldByName(QStringLiteral("DocDate"))->IsNull());

        QVERIFY_DB(m_expenses->setFilter(QStringLiteral("DocDate >= '01/03/2024' AND DocDate <= '01/03/2024'")));
        QVERIFY_DB(m_expenses->setFiltered(true));
        QCOMPARE(m_expenses->RecordCount(), 3);
        QCOMPARE(remarks(m_expenses), (QStringList{QStringLiteral("b1"), QStringLiteral("b2"), QStringLiteral("b3")}));

        TQuery query(m_owner.get());
        query.setObjectName(QStringLiteral("Query"));
        query.setDatabaseName(QStringLiteral("ARD"));
        query.setSQL(QStringLiteral("select * From Expenses Where DocDate >= '02/29/2024' Order By DocDate"));
        QVERIFY_DB(query.Open());
        QStringList queried;
        for (; !query.Eof(); query.Next())
            queried << query.FieldByName(QStringLiteral("Remarks"))->AsString();
        QCOMPARE(queried, (QStringList{QStringLiteral("b1"), QStringLiteral("b2"), QStringLiteral("b3"), QStringLiteral("c")}));
    }

    void readingOrderPutsUndatedFirstAndKeepsStoredOrderWithinADay()
    {
        m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, Remarks) VALUES "
                                     "('2024-03-02', 'b1'), (NULL, 'n1'), ('2024-03-01', 'a'), ('2024-03-02', 'b2'), "
                                     "(NULL, 'n2'), ('2024-03-02', 'b3')"));
        QVERIFY_DB(m_expenses->Open());
        QCOMPARE(remarks(m_expenses), (QStringList{"n1", "n2", "a", "b1", "b2", "b3"}));
        // The same order backwards, across the undated records.
        QStringList back;
        QVERIFY_DB({
            for (m_expenses->Last(); !m_expenses->Bof(); m_expenses->Prior())
                back.prepend(current());
        });
        QCOMPARE(back, (QStringList{"n1", "n2", "a", "b1", "b2", "b3"}));
    }

    // A link showing three rows makes the dataset hold a window of three
    // records; moves past its edges read more and scroll it.
    void movesThroughAWindowOfRecords()
    {
        fillTen();
        TDataSource ds(nullptr, m_expenses);
        RecordingLink link;
        link.setDataSource(&ds);
        link.setBufferCount(3);
        QVERIFY_DB(m_expenses->Open());
        QCOMPARE(link.RecordCount(), 3);
        QVERIFY(m_expenses->Bof());
        QCOMPARE(current(), QStringLiteral("e0"));

        link.events.clear();
        QVERIFY_DB(m_expenses->MoveBy(2));
        QCOMPARE(current(), QStringLiteral("e2"));
        QCOMPARE(link.ActiveRecord(), 2);
        QVERIFY_DB(m_expenses->Next());
        QCOMPARE(current(), QStringLiteral("e3"));
        QCOMPARE(link.ActiveRecord(), 2);
        // Inside the link's three rows only the mark moves; past them the rows scroll.
        QCOMPARE(link.events, (QStringList{"scrolled 0", "scrolled 1"}));
        QCOMPARE(m_expenses->RecNo(), 4);

        // The rows the link shows, through the record it presents.
        QStringList shown;
        for (int i = 0; i < link.RecordCount(); ++i) {
            link.setActiveRecord(i);
            shown << current();
        }
        link.setActiveRecord(link.ActiveRecord());
        QCOMPARE(shown, (QStringList{"e1", "e2", "e3"}));
        QCOMPARE(current(), QStringLiteral("e3"));

        // A long jump reads just the window that ends on the target.
        QCOMPARE(m_expenses->MoveBy(5), 5);
        QCOMPARE(current(), QStringLiteral("e8"));
        QCOMPARE(m_expenses->RecNo(), 9);
        QCOMPARE(m_expenses->MoveBy(100), 100);
        QVERIFY(m_expenses->Eof());
        QCOMPARE(current(), QStringLiteral("e9"));
        QCOMPARE(m_expenses->MoveBy(-7), -7);
        QCOMPARE(current(), QStringLiteral("e2"));
        QCOMPARE(m_expenses->MoveBy(-100), -100);
        QVERIFY(m_expenses->Bof());
        QCOMPARE(current(), QStringLiteral("e0"));
        QCOMPARE(m_expenses->MoveBy(-1), 0);

        QVERIFY_DB(m_expenses->setRecNo(7));
        QCOMPARE(current(), QStringLiteral("e6"));
        QCOMPARE(m_expenses->RecordCount(), 10);
        link.setDataSource(nullptr);
    }

    void walkingBothWaysMatchesTheReadingOrder()
    {
        fillTen();
        QVERIFY_DB(m_expenses->Open());
        QStringList forward = remarks(m_expenses);
        QCOMPARE(forward.size(), 10);
        for (int i = 0; i < 10; ++i)
            QCOMPARE(forward.at(i), QStringLiteral("e%1").arg(i));
        // Turning round in the middle of a walk that read ahead.
        QVERIFY_DB({
            m_expenses->First();
            for (int i = 0; i < 6; ++i)
                m_expenses->Next();
            m_expenses->Prior();
            m_expenses->Prior();
        });
        QCOMPARE(current(), QStringLiteral("e4"));
        QVERIFY_DB(m_expenses->Next());
        QCOMPARE(current(), QStringLiteral("e5"));
    }

    void filterRestrictsReadingAndCounting()
    {
        fillTen();
        m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, Remarks) VALUES (NULL, 'undated')"));
        QVERIFY_DB(m_expenses->Open());
        QCOMPARE(m_expenses->RecordCount(), 11);
        QVERIFY_DB(m_expenses->setFilter(QStringLiteral("DocDate >= '03/03/2024' AND DocDate <= '05/03/2024'")));
        QCOMPARE(m_expenses->RecordCount(), 11);  // set, not yet switched on
        QVERIFY_DB(m_expenses->setFiltered(true));
        QCOMPARE(remarks(m_expenses), (QStringList{"e2", "e3", "e4"}));
        QCOMPARE(m_expenses->RecordCount(), 3);
        QVERIFY_DB(m_expenses->setFilter(QStringLiteral("DocDate = '10/03/2024'")));
        QCOMPARE(remarks(m_expenses), (QStringList{"e9"}));
        // A date that does not read leaves the filter as it was.
        QVERIFY_DB_ERROR(m_expenses->setFilter(QStringLiteral("DocDate = '31/02/2024'")),
                         QStringLiteral("'31/02/2024' is not a valid date"));
        QCOMPARE(m_expenses->Filter(), QStringLiteral("DocDate = '10/03/2024'"));
        QCOMPARE(m_expenses->RecordCount(), 1);
        QVERIFY_DB(m_expenses->setFiltered(false));
        QCOMPARE(m_expenses->RecordCount(), 11);
    }

    // After a post the cursor stays on the record, in its place in the
    // reading order; a record the filter hides gives way to the next one
    // that passes, failing that the previous one.
    void positionAfterPost_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("count");
        QTest::newRow("inside the period, between two") << "04/03/2024" << "new" << 4;
        QTest::newRow("before the period") << "01/01/2024" << "e2" << 3;
        QTest::newRow("after the period") << "01/05/2024" << "e4" << 3;
        QTest::newRow("undated") << "" << "e2" << 3;
    }
    void positionAfterPost()
    {
        QFETCH(QString, date);
        QFETCH(QString, expected);
        QFETCH(int, count);
        fillTen();
        QVERIFY_DB({
            m_expenses->setFilter(QStringLiteral("DocDate >= '03/03/2024' AND DocDate <= '05/03/2024'"));
            m_expenses->setFiltered(true);
            m_expenses->Open();
            m_expenses->Append();
            m_expenses->FieldByName(QStringLiteral("DocDate"))->setAsString(date);
            m_expenses->FieldByName(QStringLiteral("Remarks"))->setAsString(QStringLiteral("new"));
            m_expenses->Post();
        });
        QCOMPARE(current(), expected);
        QCOMPARE(m_expenses->State(), TDataSetState::dsBrowse);
        QCOMPARE(m_expenses->RecordCount(), count);
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT COUNT(*) FROM Expenses WHERE Remarks = 'new'")).toInt(), 1);
    }

    void postHidingTheOnlyRecordLeavesTheTableEmpty()
    {
        m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, Remarks) VALUES ('2024-03-13', 'only')"));
        QVERIFY_DB({
            m_expenses->setFilter(QStringLiteral("DocDate = '13/03/2024'"));
            m_expenses->setFiltered(true);
            m_expenses->Open();
            m_expenses->Edit();
            m_expenses->FieldByName(QStringLiteral("DocDate"))->setAsString(QStringLiteral("14/03/2024"));
            m_expenses->Post();
        });
        QVERIFY(m_expenses->IsEmpty());
        QVERIFY(m_expenses->Bof() && m_expenses->Eof());
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT DocDate FROM Expenses")).toString(), QStringLiteral("2024-03-14"));
    }

    void deleteMovesToTheNextRecordOrThePreviousOne()
    {
        fillTen();
        QVERIFY_DB({
            m_expenses->setFilter(QStringLiteral("DocDate >= '03/03/2024' AND DocDate <= '05/03/2024'"));
            m_expenses->setFiltered(true);
            m_expenses->Open();
            m_expenses->Next();
            m_expenses->Delete();
        });
        QCOMPARE(current(), QStringLiteral("e4"));
        QVERIFY_DB(m_expenses->Delete());
        QCOMPARE(current(), QStringLiteral("e2"));
        QVERIFY_DB(m_expenses->Delete());
        QVERIFY(m_expenses->IsEmpty());
        QVERIFY(m_expenses->Bof() && m_expenses->Eof());
        QVERIFY_DB_ERROR(m_expenses->Delete(),
                         QStringLiteral("ExpensesTable: Cannot perform this operation on an empty dataset"));
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT COUNT(*) FROM Expenses")).toInt(), 7);
    }

    void cancelReturnsWhereTheUserWas()
    {
        fillTen();
        QVERIFY_DB(m_expenses->Open());
        QVERIFY_DB(m_expenses->MoveBy(3));
        QVERIFY_DB(m_expenses->Insert());
        QCOMPARE(m_expenses->State(), TDataSetState::dsInsert);
        QVERIFY(current().isEmpty());
        QVERIFY_DB(m_expenses->Cancel());
        QCOMPARE(current(), QStringLiteral("e3"));

        QVERIFY_DB(m_expenses->Append());
        QVERIFY(m_expenses->Eof());
        QVERIFY_DB(m_expenses->Cancel());
        QCOMPARE(current(), QStringLiteral("e3"));
        QVERIFY_DB(m_expenses->Last());

        QVERIFY_DB({
            m_expenses->Edit();
            m_expenses->FieldByName(QStringLiteral("Remarks"))->setAsString(QStringLiteral("changed"));
            m_expenses->Cancel();
        });
        QCOMPARE(current(), QStringLiteral("e9"));
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT COUNT(*) FROM Expenses")).toInt(), 10);
    }

    // Starting a record, moving or changing the filter first settles a
    // pending change: posted when the user changed it, dropped when not.
    void pendingChangesAreSettled_data()
    {
        QTest::addColumn<bool>("change");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("stored");
        for (const char *action : {"append", "insert", "next", "filter", "first"}) {
            QTest::newRow(QByteArray("changed, then ").append(action).constData()) << true << action << 1;
            QTest::newRow(QByteArray("untouched, then ").append(action).constData()) << false << action << 0;
        }
    }
    void pendingChangesAreSettled()
    {
        QFETCH(bool, change);
        QFETCH(QString, action);
        QFETCH(int, stored);
        int ran = 0;
        m_expenses->OnNewRecord = [&ran](TDataSet *d) {
            ++ran;
            d->FieldByName(QStringLiteral("DocDate"))->setAsDate(Clock::today());
        };
        QVERIFY_DB(m_expenses->Open());
        QVERIFY_DB(m_expenses->Append());
        QCOMPARE(ran, 1);
        // The rule's values are not the user's change.
        QVERIFY(!m_expenses->Modified());
        if (change)
            QVERIFY_DB(m_expenses->FieldByName(QStringLiteral("Amount"))->setAsString(QStringLiteral("12.50")));
        QVERIFY_DB({
            if (action == QLatin1String("append"))
                m_expenses->Append();
            else if (action == QLatin1String("insert"))
                m_expenses->Insert();
            else if (action == QLatin1String("next"))
                m_expenses->Next();
            else if (action == QLatin1String("filter"))
                m_expenses->setFilter(QStringLiteral("DocDate = '13/03/2024'"));
            else
                m_expenses->First();
        });
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT COUNT(*) FROM Expenses")).toInt(), stored);
        if (stored)
            QCOMPARE(m_alias->scalar(QStringLiteral("SELECT Amount FROM Expenses")).toDouble(), 12.5);
    }

    void aFailingNewRecordRuleAbandonsTheRecord()
    {
        fillTen();
        m_expenses->OnNewRecord = [](TDataSet *) { throw EDatabaseError(QStringLiteral("rule failed")); };
        QVERIFY_DB({
            m_expenses->Open();
            m_expenses->MoveBy(4);
        });
        QVERIFY_DB_ERROR(m_expenses->Append(), QStringLiteral("rule failed"));
        QCOMPARE(m_expenses->State(), TDataSetState::dsBrowse);
        QCOMPARE(current(), QStringLiteral("e4"));
        QVERIFY_DB_ERROR(m_expenses->Insert(), QStringLiteral("rule failed"));
        QCOMPARE(current(), QStringLiteral("e4"));
        QCOMPARE(m_expenses->RecordCount(), 10);
    }

    // A walk with the controls switched off reaches no control; switching
    // them on tells each one once, on the record current then.
    void switchedOffWalkNotifiesOnce()
    {
        fillTen();
        TDataSource ds(nullptr, m_expenses);
        RecordingLink link;
        link.setDataSource(&ds);
        QVERIFY_DB(m_expenses->Open());
        link.events.clear();
        double sum = 0;
        QVERIFY_DB({
            m_expenses->DisableControls();
            m_expenses->DisableControls();  // nested
            for (m_expenses->First(); !m_expenses->Eof(); m_expenses->Next())
                sum += m_expenses->FieldByName(QStringLiteral("Amount"))->AsFloat();
            m_expenses->First();
            m_expenses->EnableControls();
            QVERIFY(link.events.isEmpty());
            m_expenses->EnableControls();
        });
        QCOMPARE(sum, 450.0);
        QCOMPARE(link.events, QStringList{"changed"});

        // A state that differs from the one at switch-off is told first.
        link.events.clear();
        QVERIFY_DB({
            m_expenses->DisableControls();
            m_expenses->Edit();
            m_expenses->EnableControls();
        });
        QCOMPARE(link.events, (QStringList{"editing", "changed"}));
        // Closing passes even while switched off.
        QVERIFY_DB(m_expenses->Cancel());
        link.events.clear();
        m_expenses->DisableControls();
        m_expenses->Close();
        QCOMPARE(link.events, QStringList{"active"});
        m_expenses->EnableControls();
        link.setDataSource(nullptr);
    }

    void editingNotifiesAndCommits()
    {
        fillTen();
        TDataSource ds(nullptr, m_expenses);
        RecordingLink link;
        link.setDataSource(&ds);
        QVERIFY_DB(m_expenses->Open());
        link.events.clear();
        // AutoEdit: the data source puts a browsing dataset into edit state.
        ds.Edit();
        QCOMPARE(m_expenses->State(), TDataSetState::dsEdit);
        QVERIFY_DB(m_expenses->FieldByName(QStringLiteral("Remarks"))->setAsString(QStringLiteral("x")));
        QVERIFY_DB(m_expenses->Post());
        QCOMPARE(link.events, (QStringList{"editing", "record", "field Remarks", "commit", "editing", "changed"}));
        link.setDataSource(nullptr);
    }

    void fieldTextAssignment_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("error");
        QTest::newRow("float 12.50") << "Amount" << "12.50" << "12.5" << "";
        QTest::newRow("float 1E3") << "Amount" << "1E3" << "1000" << "";
        QTest::newRow("float thousands separator")
            << "Amount" << "1,000" << "" << "'1,000' is not a valid floating point value for field 'Amount'";
        QTest::newRow("float empty is null") << "Amount" << "" << "" << "";
        QTest::newRow("integer") << "ExpType" << " 42" << "42" << "";
        QTest::newRow("integer trailing space")
            << "ExpType" << "42 " << "" << "'42 ' is not a valid integer value for field 'ExpType'";
        QTest::newRow("integer overflow")
            << "ExpType" << "2147483648" << "" << "'2147483648' is not a valid integer value for field 'ExpType'";
        QTest::newRow("date day first") << "DocDate" << "5/3" << "05/03/2024" << "";
        QTest::newRow("date two-digit year back") << "DocDate" << "5/3/74" << "05/03/1974" << "";
        QTest::newRow("date two-digit year ahead") << "DocDate" << "5/3/73" << "05/03/2073" << "";
        QTest::newRow("date impossible") << "DocDate" << "31/2/2024" << "" << "'31/2/2024' is not a valid date";
        QTest::newRow("date empty is null") << "DocDate" << "" << "" << "";
        QTest::newRow("string cut to size") << "Remarks" << QString(260, QLatin1Char('r')) << QString(200, QLatin1Char('r')) << "";
        // Sizes count characters: one outside the basic plane (two 16-bit
        // units) at the last place is kept whole, never cut in half.
        const QString emoji = QStringLiteral("\U0001F600");
        QTest::newRow("string cut to size in characters")
            << "Remarks" << QString(199, QLatin1Char('r')) + emoji + QStringLiteral("tail")
            << QString(199, QLatin1Char('r')) + emoji << "";
        QTest::newRow("characters outside the basic plane count once")
            << "Remarks" << QString(150, QLatin1Char('r')) + emoji.repeated(60)
            << QString(150, QLatin1Char('r')) + emoji.repeated(50) << "";
    }
    void fieldTextAssignment()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QFETCH(QString, error);
        QVERIFY_DB({
            m_expenses->Open();
            m_expenses->Append();
        });
        TField *f = m_expenses->FieldByName(field);
        QVERIFY_DB_ERROR(f->setAsString(text), error);
        QCOMPARE(f->DisplayText(), shown);
        QCOMPARE(f->IsNull(), shown.isEmpty());
        QVERIFY_DB(m_expenses->Post());
        QCOMPARE(f->DisplayText(), shown);
        if (field == QLatin1String("Remarks"))
            QCOMPARE(m_alias->scalar(QStringLiteral("SELECT Remarks FROM Expenses")).toString(), shown);
    }

    void assignmentNeedsEditOrInsertState()
    {
        fillTen();
        QVERIFY_DB(m_expenses->Open());
        QVERIFY_DB_ERROR(m_expenses->FieldByName(QStringLiteral("Amount"))->setAsString(QStringLiteral("1")),
                         QStringLiteral("ExpensesTable: Dataset not in edit or insert mode"));
        QVERIFY_DB_ERROR(m_expenses->FieldByName(QStringLiteral("Amount"))->setAsString(QStringLiteral("bad")),
                         QStringLiteral("ExpensesTable: Dataset not in edit or insert mode"));
        QCOMPARE(m_expenses->FieldByName(QStringLiteral("Amount"))->AsFloat(), 0.0);
    }

    // Lookups ask the lookup table every time a record is read, without
    // moving it: a renamed account shows its new name, a deleted one nothing.
    void lookupFieldsFollowTheLookupTable()
    {
        m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash'), ('Bank')"));
        m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, AccID) VALUES ('2024-03-01', 2), ('2024-03-02', 9), "
                                     "('2024-03-03', NULL)"));
        TTable *accounts = journal(m_owner.get(), QStringLiteral("Accounts.db"), QStringLiteral("AccountsTable"));
        auto *account = new TStringField(m_expenses, QStringLiteral("Account"), 50, TFieldKind::fkLookup);
        account->setLookup(QStringLiteral("AccID"), accounts, QStringLiteral("AccID"), QStringLiteral("AccName"));
        for (const char *name : {"DocDate", "AccID"})
            new TStringField(m_expenses, QString::fromLatin1(name), 10);
        // The lookup table is closed: nothing shows.
        QVERIFY_DB(m_expenses->Open());
        QVERIFY(account->IsNull());
        QVERIFY_DB(accounts->Open());
        QVERIFY_DB(m_expenses->Refresh());
        QCOMPARE(account->DisplayText(), QStringLiteral("Bank"));
        QCOMPARE(accounts->FieldByName(QStringLiteral("AccName"))->AsString(), QStringLiteral("Cash"));
        QVERIFY_DB_ERROR(account->setAsString(QStringLiteral("x")), QStringLiteral("ExpensesTable: Dataset not in edit or insert mode"));

        QVERIFY_DB({
            accounts->Next();
            accounts->Edit();
            accounts->FieldByName(QStringLiteral("AccName"))->setAsString(QStringLiteral("Bank renamed"));
            accounts->Post();
            accounts->First();
            m_expenses->First();
        });
        QCOMPARE(account->DisplayText(), QStringLiteral("Bank renamed"));
        QVERIFY_DB(m_expenses->Next());
        QCOMPARE(account->DisplayText(), QString());  // no account 9
        QVERIFY_DB(m_expenses->Next());
        QCOMPARE(account->DisplayText(), QString());  // no key at all
        // Changing the key works the name out again at once.
        QVERIFY_DB({
            m_expenses->Edit();
            m_expenses->FieldByName(QStringLiteral("AccID"))->setAsString(QStringLiteral("1"));
        });
        QCOMPARE(account->DisplayText(), QStringLiteral("Cash"));
        QVERIFY_DB_ERROR(account->setAsString(QStringLiteral("Bank")), QStringLiteral("Field 'Account' cannot be modified"));
        QVERIFY_DB(m_expenses->Cancel());
        QVERIFY_DB({
            accounts->Locate(QStringLiteral("AccID"), 2);
            accounts->Delete();
            m_expenses->First();
        });
        QCOMPARE(account->DisplayText(), QString());
    }

    void locateFindsByValueAndByPrefix()
    {
        m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash'), ('Bank'), ('bank card')"));
        TTable *accounts = journal(m_owner.get(), QStringLiteral("Accounts.db"), QStringLiteral("AccountsTable"));
        QVERIFY_DB(accounts->Open());
        bool found = false;
        QVERIFY_DB(found = accounts->Locate(QStringLiteral("AccName"), QStringLiteral("BAN"), true));
        QVERIFY(found);
        QCOMPARE(accounts->FieldByName(QStringLiteral("AccID"))->AsInteger(), 2);
        QVERIFY_DB(found = accounts->Locate(QStringLiteral("AccID"), 3));
        QCOMPARE(accounts->FieldByName(QStringLiteral("AccName"))->AsString(), QStringLiteral("bank card"));
        QVERIFY_DB(found = accounts->Locate(QStringLiteral("AccName"), QStringLiteral("x"), true));
        QVERIFY(!found);
        QCOMPARE(accounts->FieldByName(QStringLiteral("AccID"))->AsInteger(), 3);
        QCOMPARE(accounts->Lookup(QStringLiteral("AccID"), 1, QStringLiteral("AccName")).toString(), QStringLiteral("Cash"));
        QCOMPARE(accounts->FieldByName(QStringLiteral("AccID"))->AsInteger(), 3);
        // Every letter folds, not A to Z alone; a character outside the basic
        // plane counts once in the prefix.
        m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('\u00c9cole'), ('\u00e4rger'), "
                                     "('\U0001F600 Fund')"));
        QVERIFY_DB(found = accounts->Locate(QStringLiteral("AccName"), QStringLiteral("\u00e9c"), true));
        QVERIFY(found);
        QCOMPARE(accounts->FieldByName(QStringLiteral("AccName"))->AsString(), QStringLiteral("\u00c9cole"));
        QVERIFY_DB(found = accounts->Locate(QStringLiteral("AccName"), QStringLiteral("\u00c4R"), true));
        QCOMPARE(accounts->FieldByName(QStringLiteral("AccName"))->AsString(), QStringLiteral("\u00e4rger"));
        QVERIFY_DB(found = accounts->Locate(QStringLiteral("AccName"), QStringLiteral("\U0001F600 f"), true));
        QCOMPARE(accounts->FieldByName(QStringLiteral("AccName"))->AsString(), QStringLiteral("\U0001F600 Fund"));
        QVERIFY_DB(found = accounts->Locate(QStringLiteral("AccName"), QStringLiteral("\u00e9x"), true));
        QVERIFY(!found);
    }

    // A bookmark finds its record again however the window changed: by a
    // move inside the window, by reading around it when it is far, after a
    // pending new record is dropped; not at all once another program
    // deleted it. A new record has none.
    void bookmarksFindARecordAgain()
    {
        fillTen();
        TDataSource ds(nullptr, m_expenses);
        RecordingLink link;
        link.setDataSource(&ds);
        link.setBufferCount(3);
        QVERIFY_DB(m_expenses->Open());
        QVERIFY_DB(m_expenses->MoveBy(8));
        const TBookmark e8 = m_expenses->GetBookmark();
        link.setActiveRecord(0);
        const TBookmark e6 = m_expenses->GetBookmark();
        link.setActiveRecord(link.ActiveRecord());
        QVERIFY(!e6.isEmpty() && !(e6 == e8));

        QVERIFY_DB(m_expenses->Append());
        QVERIFY(m_expenses->GetBookmark().isEmpty());
        link.events.clear();
        bool found = false;
        QVERIFY_DB(found = m_expenses->GotoBookmark(e6));
        QVERIFY(found);
        QCOMPARE(current(), QStringLiteral("e6"));
        QCOMPARE(m_expenses->State(), TDataSetState::dsBrowse);
        QVERIFY2(link.events.last().startsWith(QLatin1String("scrolled")), qPrintable(link.events.join(u',')));

        QVERIFY_DB(m_expenses->First());
        QVERIFY_DB(found = m_expenses->GotoBookmark(e8));
        QVERIFY(found);
        QCOMPARE(current(), QStringLiteral("e8"));
        QCOMPARE(m_expenses->RecNo(), 9);

        m_alias->exec(QStringLiteral("DELETE FROM Expenses WHERE Remarks = 'e6'"));
        QVERIFY_DB(m_expenses->First());
        QVERIFY_DB(found = m_expenses->GotoBookmark(e6));
        QVERIFY(!found);
        QCOMPARE(current(), QStringLiteral("e0"));
        QVERIFY_DB(found = m_expenses->GotoBookmark(TBookmark()));
        QVERIFY(!found);
        link.setDataSource(nullptr);
    }

    // Ten years of books must open, count and step without being loaded.
    void readsOnlyWhatIsAskedFor()
    {
        m_alias->exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
                                     "INSERT INTO Expenses (DocDate, Amount) SELECT %1, i FROM n")
                          .arg(daysAfter2020(QStringLiteral("i % 2000"))));
        TDataSource ds(nullptr, m_expenses);
        RecordingLink link;
        link.setDataSource(&ds);
        link.setBufferCount(20);
        QVERIFY_DB(m_expenses->Open());
        // Opening reads nothing: the first look reads the rows shown.
        QCOMPARE(m_expenses->RowsRead(), quint64(0));
        QVERIFY(!m_expenses->IsEmpty());
        QCOMPARE(m_expenses->RowsRead(), quint64(20));
        QCOMPARE(m_expenses->RecordCount(), 20000);
        QCOMPARE(m_expenses->RowsRead(), quint64(20));
        // One step past the shown rows reads one record.
        QVERIFY_DB(m_expenses->MoveBy(19));
        QVERIFY_DB(m_expenses->Next());
        QCOMPARE(m_expenses->RowsRead(), quint64(21));
        // The last record, and a jump back into the middle.
        QVERIFY_DB(m_expenses->Last());
        QVERIFY(m_expenses->RowsRead() < 100);
        QVERIFY_DB(m_expenses->setRecNo(10000));
        QCOMPARE(m_expenses->RecNo(), 10000);
        QVERIFY(m_expenses->RowsRead() < 100);
        // A filter applies in SQL: only the month's first rows are read.
        QVERIFY_DB({
            m_expenses->setFilter(QStringLiteral("DocDate >= '01/03/2021' AND DocDate <= '31/03/2021'"));
            m_expenses->setFiltered(true);
        });
        QCOMPARE(m_expenses->RecordCount(), 310);
        QVERIFY(m_expenses->RowsRead() < 150);
        link.setDataSource(nullptr);
    }

    // A long walk reads ahead only the columns being looked at. Whatever is
    // looked at later, on any record, must still be the stored value, and a
    // record changed after such a walk must keep every column it had.
    void walkReadsEveryValueItIsAskedFor()
    {
        m_alias->exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                                     "INSERT INTO Expenses (DocDate, Amount, Remarks, ExpType) SELECT "
                                     "%1, i, 'r' || i, i % 7 FROM n")
                          .arg(daysAfter2020(QStringLiteral("i / 3"))));
        QVERIFY_DB(m_expenses->Open());
        TField *amount = m_expenses->FieldByName(QStringLiteral("Amount"));
        TField *remark = m_expenses->FieldByName(QStringLiteral("Remarks"));
        TField *type = m_expenses->FieldByName(QStringLiteral("ExpType"));
        double sum = 0;
        int seen = 0;
        QVERIFY_DB({
            m_expenses->DisableControls();
            for (m_expenses->First(); !m_expenses->Eof(); m_expenses->Next()) {
                const int i = amount->AsInteger();
                sum += i;
                ++seen;
                // Now and then another column, then back to the amount only.
                if (seen % 700 == 0) {
                    QCOMPARE(remark->AsString(), QStringLiteral("r%1").arg(i));
                    QCOMPARE(type->AsInteger(), i % 7);
                }
            }
            m_expenses->EnableControls();
        });
        QCOMPARE(seen, 3000);
        QCOMPARE(sum, 3000.0 * 3001 / 2);

        // Deep into a walk that looked at amounts only, change one amount.
        QVERIFY_DB({
            m_expenses->First();
            for (int i = 0; i < 2000; ++i) {
                m_expenses->Next();
                sum += amount->AsFloat();
            }
            m_expenses->Edit();
            amount->setAsFloat(-1);
            QCOMPARE(remark->AsString(), QStringLiteral("r2001"));
            m_expenses->Post();
        });
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT Remarks || '/' || ExpType || '/' || DocDate FROM Expenses "
                                                "WHERE Amount = -1")),
                 QVariant(QStringLiteral("r2001/6/2021-10-29")));
        QCOMPARE(m_alias->scalar(QStringLiteral("SELECT COUNT(*) FROM Expenses WHERE Remarks IS NULL")).toInt(), 0);
    }

    void editOnAnEmptyTableStartsARecord()
    {
        QVERIFY_DB(m_expenses->Open());
        QVERIFY(m_expenses->Bof() && m_expenses->Eof());
        QVERIFY_DB(m_expenses->Edit());
        QCOMPARE(m_expenses->State(), TDataSetState::dsInsert);
        // Still at both ends while the first record is pending.
        QVERIFY(m_expenses->Bof() && m_expenses->Eof());
        QVERIFY_DB(m_expenses->FieldByName(QStringLiteral("Remarks"))->setAsString(QStringLiteral("first")));
        QVERIFY_DB(m_expenses->Post());
        QVERIFY(!m_expenses->Bof() && !m_expenses->Eof());
        QCOMPARE(current(), QStringLiteral("first"));
    }
};

QTEST_GUILESS_MAIN(tst_DataSet)
#include "tst_dataset.moc"
