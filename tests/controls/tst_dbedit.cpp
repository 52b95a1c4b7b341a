#include "Clock.h"
#include "DMUnit.h"
#include "FieldText.h"
#include "FormatSettings.h"
#include "ModalAnswer.h"
#include "TDBEdit.h"
#include "TDataSource.h"
#include "TDateField.h"
#include "TEdit.h"
#include "TField.h"
#include "TFloatField.h"
#include "TTable.h"
#include "TestAlias.h"

#include <QAccessible>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// A small entry window over the sales table: a labelled bound box per
// field, then an OK button, as the entry dialogs lay them out.
struct SalesWindow
{
    QDialog window;
    QMap<QString, TDBEdit *> boxes;
    QPushButton *ok = nullptr;

    explicit SalesWindow(TDataSource *source)
    {
        auto *layout = new QVBoxLayout(&window);
        for (const char *name : {"Id", "DocDate", "Customer", "SalesMan", "Total", "Remarks"}) {
            const QString field = QString::fromLatin1(name);
            auto *label = new QLabel(source->DataSet()->FieldByName(field)->DisplayLabel(), &window);
            auto *box = new TDBEdit(&window);
            box->setObjectName(field);
            box->setDataSource(source);
            box->setDataField(field);
            label->setBuddy(box);
            layout->addWidget(label);
            layout->addWidget(box);
            boxes.insert(field, box);
        }
        ok = new QPushButton(QStringLiteral("&OK"), &window);
        layout->addWidget(ok);
    }
    bool show()
    {
        window.show();
        QApplication::setActiveWindow(&window);
        return QTest::qWaitForWindowActive(&window);
    }
};

} // namespace

// The bound text box on a real sales table: what it shows, the keys it
// takes, writing on focus loss and on a post, and a text that does not
// convert.
class tst_DBEdit : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;
    std::unique_ptr<SalesWindow> m_w;

    TDBEdit *box(const QString &field) const { return m_w->boxes.value(field); }
    QVariant storedValue(const QString &column) const
    {
        return m_alias->scalar(QStringLiteral("SELECT \"%1\" FROM Sales WHERE Id = 7").arg(column));
    }
    // Gives the box the focus as Tab would and selects its text.
    void enter(TDBEdit *b)
    {
        b->setFocus(Qt::TabFocusReason);
        QVERIFY(b->hasFocus());
        b->selectAll();
    }

private Q_SLOTS:
    void init()
    {
        FormatSettings() = TFormatSettings();
        FormatSettings().ShortDateFormat = QStringLiteral("dd/mm/yyyy");
        Clock::setTodaySource([] { return QDate(2024, 3, 13); });
        m_alias = std::make_unique<TestAlias>();
        m_alias->exec(QStringLiteral("INSERT INTO Sales (Id, DocDate, Customer, SalesMan, Total, Remarks) "
                                     "VALUES (7, '2024-03-01', 'Ann', 'Bob', 12.5, 'first')"));
        QVERIFY_DB(DM = new TDM());
        m_w = std::make_unique<SalesWindow>(DM->SalesDS);
        QVERIFY(m_w->show());
    }
    void cleanup()
    {
        m_w.reset();
        delete DM;
        DM = nullptr;
        m_alias.reset();
        Clock::setTodaySource({});
        FormatSettings() = TFormatSettings();
    }

    void showsTheFieldAlignedByItsClass()
    {
        TDBEdit *total = box(QStringLiteral("Total"));
        QCOMPARE(total->text(), QStringLiteral("12.5"));
        QVERIFY(total->alignment() & Qt::AlignRight);
        QCOMPARE(box(QStringLiteral("DocDate"))->text(), QStringLiteral("01/03/2024"));
        QVERIFY(box(QStringLiteral("DocDate"))->alignment() & Qt::AlignLeft);
        QVERIFY(total->isReadOnly()); // browse state: no input until a key asks to edit
        enter(total);
        QVERIFY(total->alignment() & Qt::AlignLeft);
        box(QStringLiteral("Customer"))->setFocus(Qt::TabFocusReason);
        QVERIFY(total->alignment() & Qt::AlignRight);

        // What assistive technology reads: the label as name, the text as value.
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(total);
        QVERIFY(a);
        QCOMPARE(a->text(QAccessible::Name), QStringLiteral("Total"));
        QCOMPARE(a->text(QAccessible::Value), QStringLiteral("12.5"));
        QCOMPARE(a->role(), QAccessible::EditableText);

        // Closing the dataset leaves the boxes empty.
        DM->SalesTable->Close();
        QCOMPARE(total->text(), QString());
        QVERIFY(!total->Field());
    }

    // The box on a string field holds the field's size in characters (code
    // points): typing or pasting past it keeps what fits, and a character
    // outside the basic plane (two 16-bit units) is kept or dropped whole.
    void maxLengthComesFromTheStringFieldSize_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("maxLength");
        QTest::newRow("Customer") << "Customer" << 100;
        QTest::newRow("SalesMan") << "SalesMan" << 50;
        QTest::newRow("Remarks") << "Remarks" << 200;
        QTest::newRow("Total: no limit") << "Total" << 0;
        QTest::newRow("DocDate: no limit") << "DocDate" << 0;
    }
    void maxLengthComesFromTheStringFieldSize()
    {
        QFETCH(QString, field);
        QFETCH(int, maxLength);
        TDBEdit *b = box(field);
        QCOMPARE(b->MaxLength(), maxLength);
        if (maxLength == 0)
            return;
        const QString emoji = QStringLiteral("\U0001F600");
        enter(b);
        QTest::keyClicks(b, QString(maxLength + 10, QLatin1Char('w')));
        QCOMPARE(b->text(), QString(maxLength, QLatin1Char('w')));

        // Typed: a character that fits at the last place is taken whole;
        // past the limit nothing is, not even half of one.
        QTest::keyClick(b, Qt::Key_Backspace);
        QTest::sendKeyEvent(QTest::Click, b, Qt::Key_unknown, emoji, Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Click, b, Qt::Key_unknown, emoji, Qt::NoModifier);
        QCOMPARE(b->text(), QString(maxLength - 1, QLatin1Char('w')) + emoji);

        // Pasted: what fits, by whole characters.
        b->selectAll();
        QGuiApplication::clipboard()->setText(QString(maxLength - 2, QLatin1Char('p')) + emoji.repeated(3));
        QTest::keyClick(b, Qt::Key_V, Qt::ControlModifier);
        const QString kept = QString(maxLength - 2, QLatin1Char('p')) + emoji.repeated(2);
        QCOMPARE(b->text(), kept);
        QTest::keyClick(b, Qt::Key_Tab);
        QCOMPARE(DM->SalesTable->FieldByName(field)->AsString(), kept);
    }

    // Each field class takes its own characters; the others are dropped
    // (with a beep). The first accepted key puts the record into edit state.
    void acceptsTheCharactersOfItsFieldClass_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QChar>("decimal");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        const QChar point = QLatin1Char('.'), comma = QLatin1Char(',');
        QTest::newRow("float, full stop") << "Total" << point << "+1a2.5x,E-3e!" << "+12.5E-3e";
        QTest::newRow("float, comma") << "Total" << comma << "1.5,2" << "15,2";
        QTest::newRow("integer") << "Id" << point << "-1x2.3+ " << "-123+";
        QTest::newRow("date takes anything") << "DocDate" << point << "5/3 x" << "5/3 x";
        QTest::newRow("string takes anything") << "Customer" << point << "Zed & co. #1" << "Zed & co. #1";
    }
    void acceptsTheCharactersOfItsFieldClass()
    {
        QFETCH(QString, field);
        QFETCH(QChar, decimal);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        FormatSettings().DecimalSeparator = decimal;
        TDBEdit *b = box(field);
        enter(b);
        QTest::keyClick(b, Qt::Key_Delete);
        QCOMPARE(DM->SalesTable->State(), TDataSetState::dsEdit);
        QTest::keyClicks(b, typed);
        QCOMPARE(b->text(), shown);
        QVERIFY(b->Modified());
    }

    // Keys that would change the text of a field that cannot be modified
    // change nothing, and do not start editing.
    void aFieldThatCannotBeModifiedTakesNoKeys()
    {
        TDBEdit b(&m_w->window);
        b.setDataSource(DM->AccTransDS);
        b.setDataField(QStringLiteral("Id"));  // the table assigns it
        m_alias->exec(QStringLiteral("INSERT INTO AccTrans (DocDate, Increase) VALUES ('2024-03-01', 5)"));
        QVERIFY_DB(DM->AccTransTable->Refresh());
        b.show();
        b.setFocus(Qt::TabFocusReason);
        const QString before = b.text();
        QVERIFY(!before.isEmpty());
        QTest::keyClicks(&b, QStringLiteral("12"));
        QTest::keyClick(&b, Qt::Key_Backspace);
        QCOMPARE(b.text(), before);
        QCOMPARE(DM->AccTransTable->State(), TDataSetState::dsBrowse);
    }

    // Leaving the box writes its text through the field, then shows the
    // field's text anew; the post stores it.
    void commitsOnFocusLoss_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QVariant>("stored");
        QTest::newRow("12.50 stores 12.5") << "Total" << "12.50" << "12.5" << QVariant(12.5);
        QTest::newRow("1E3") << "Total" << "1E3" << "1000" << QVariant(1000.0);
        QTest::newRow("empty number is null") << "Total" << "" << "" << QVariant();
        QTest::newRow("day and month take this year") << "DocDate" << "5/3" << "05/03/2024" << QVariant("2024-03-05");
        QTest::newRow("74 is 1974") << "DocDate" << "5/3/74" << "05/03/1974" << QVariant("1974-03-05");
        QTest::newRow("73 is 2073") << "DocDate" << "5/3/73" << "05/03/2073" << QVariant("2073-03-05");
        QTest::newRow("empty date is null") << "DocDate" << "" << "" << QVariant();
        QTest::newRow("text") << "Customer" << "Carl" << "Carl" << QVariant("Carl");
    }
    void commitsOnFocusLoss()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QVariant, stored);
        TDBEdit *b = box(field);
        enter(b);
        QTest::keyClick(b, Qt::Key_Delete);
        QTest::keyClicks(b, typed);
        QTest::keyClick(b, Qt::Key_Tab);
        QVERIFY(!b->hasFocus());
        QVERIFY(!b->Modified());
        QCOMPARE(b->text(), shown);
        QCOMPARE(DM->SalesTable->FieldByName(field)->DisplayText(), shown);
        QVERIFY_DB(DM->SalesTable->Post());
        const QVariant actual = storedValue(field);
        if (!stored.isValid())
            QVERIFY(actual.isNull());
        else
            QCOMPARE(actual.toString(), stored.toString());
    }

    // A box that still has the focus is committed by the post itself.
    void thePostCommitsTheFocusedBox()
    {
        TDBEdit *b = box(QStringLiteral("Remarks"));
        enter(b);
        QTest::keyClicks(b, QStringLiteral("changed"));
        QVERIFY_DB(DM->SalesTable->Post());
        QCOMPARE(storedValue(QStringLiteral("Remarks")).toString(), QStringLiteral("changed"));
        QVERIFY(b->hasFocus());
        QVERIFY(!b->Modified());
    }

    // Cancelling drops typed text: the box shows the stored value again and
    // takes no input until the next key.
    void cancelShowsTheStoredValueAgain()
    {
        TDBEdit *b = box(QStringLiteral("Customer"));
        enter(b);
        QTest::keyClicks(b, QStringLiteral("Zed"));
        QCOMPARE(b->text(), QStringLiteral("Zed"));
        DM->SalesTable->Cancel();
        QCOMPARE(b->text(), QStringLiteral("Ann"));
        QVERIFY(!b->Modified());
        QVERIFY(b->isReadOnly());
        QCOMPARE(storedValue(QStringLiteral("Customer")).toString(), QStringLiteral("Ann"));
    }

    // A text that does not convert: the error box, the focus kept with the
    // text selected, the field unchanged, the click that moved the focus
    // swallowed; the post then fails with the same error.
    void aFailedCommitKeepsTheFocus_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<bool>("byClick");
        QTest::addColumn<QString>("message");
        const QString floatMessage = QStringLiteral("'abc' is not a valid floating point value for field 'Total'");
        QTest::newRow("letters pasted into Total, Tab") << "Total" << "abc" << false << floatMessage;
        QTest::newRow("letters pasted into Total, click on OK") << "Total" << "abc" << true << floatMessage;
        QTest::newRow("no such day, click on OK")
            << "DocDate" << "31/2/2024" << true << "'31/2/2024' is not a valid date";
        QTest::newRow("integer too large, Tab")
            << "Id" << "99999999999" << false << "'99999999999' is not a valid integer value for field 'Invoice ID'";
    }
    void aFailedCommitKeepsTheFocus()
    {
        QFETCH(QString, field);
        QFETCH(QString, pasted);
        QFETCH(bool, byClick);
        QFETCH(QString, message);
        TDBEdit *b = box(field);
        const QString before = DM->SalesTable->FieldByName(field)->DisplayText();
        QSignalSpy clicked(m_w->ok, &QPushButton::clicked);
        enter(b);
        QApplication::clipboard()->setText(pasted);
        QTest::keyClick(b, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(b->text(), pasted);
        {
            ModalAnswer answer(QStringLiteral("Return"));
            if (byClick)
                QTest::mouseClick(m_w->ok, Qt::LeftButton);
            else
                QTest::keyClick(b, Qt::Key_Tab);
            QCOMPARE(answer.count(), 1);
            QCOMPARE(answer.title(), QStringLiteral("Ardentry"));
            QCOMPARE(answer.text(), FieldText::withFullStop(message));
        }
        // The headless platform has no window manager to hand the activation
        // back to the window once the error box is gone.
        QCOMPARE(m_w->window.focusWidget(), b);
        QApplication::setActiveWindow(&m_w->window);
        QVERIFY(b->hasFocus());
        QCOMPARE(QApplication::focusWidget(), b);
        QCOMPARE(b->selectedText(), pasted);
        QCOMPARE(clicked.count(), 0);
        QVERIFY(!m_w->ok->isDown());
        QVERIFY(b->Modified());
        QCOMPARE(DM->SalesTable->FieldByName(field)->DisplayText(), before);

        QVERIFY_DB_ERROR(DM->SalesTable->Post(), message);
        QCOMPARE(DM->SalesTable->State(), TDataSetState::dsEdit);
        // The next click on the button is an ordinary one again... after the
        // text is corrected.
        b->selectAll();
        QTest::keyClick(b, Qt::Key_Delete);
        QTest::mouseClick(m_w->ok, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(QApplication::focusWidget(), m_w->ok);
    }

    // The plain text box: free text, read and written by the program.
    void plainTextBox()
    {
        TEdit e(&m_w->window);
        e.show();
        e.setText(QStringLiteral("0"));
        e.setFocus();
        QTest::keyClick(&e, Qt::Key_End);
        QTest::keyClicks(&e, QStringLiteral("12,5 abc"));
        QCOMPARE(e.Text(), QStringLiteral("012,5 abc"));
        QCOMPARE(e.maxLength(), 32767);
    }
};

QTEST_MAIN(tst_DBEdit)
#include "tst_dbedit.moc"
