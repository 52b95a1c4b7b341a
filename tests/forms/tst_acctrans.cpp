#include "Clock.h"
#include "DMUnit.h"
#include "EngineDatabase.h"
#include "FormatSettings.h"
#include "DialogDriver.h"
#include "ModalAnswer.h"
#include "TDBEdit.h"
#include "TDBLookupComboBox.h"
#include "TEdit.h"
#include "TField.h"
#include "TFloatField.h"
#include "TTable.h"
#include "TestAlias.h"
#include "frmAccTrans2Unit.h"
#include "frmAccTransUnit.h"
#include "ui_frmAccTrans2Unit.h"
#include "ui_frmAccTransUnit.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QSqlError>
#include <QtTest>

using namespace DialogDriver;

namespace {

QString accessibleName(QWidget *w)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QString();
}

// As the standard error box shows it: ")" sorts before ".", so no full stop.
const QString NullKey = QStringLiteral("Could not convert variant of type (Null) into type (String)");

} // namespace

// The account transaction dialog and the transfer dialog over real books,
// driven as the main window and the user drive them; the database says what
// was stored.
class tst_AccTrans : public QObject
{
    Q_OBJECT

    std::unique_ptr<DialogBooks> m_books;
    std::unique_ptr<QDialog> m_dialog;

    bool show(QDialog *dialog)
    {
        m_dialog.reset(dialog);
        m_dialog->show();
        return QTest::qWaitForWindowActive(m_dialog.get());
    }

    // The single dialog on AccTransTable's current record; `append` starts
    // a new record first, as New Transaction does.
    TfrmAccTrans *openSingle(bool append)
    {
        if (!DialogBooks::createDM())
            return nullptr;
        if (append) {
            try {
                DM->AccTransTable->Append();
            } catch (const EDatabaseError &e) {
                qWarning("%s", qPrintable(e.message()));
                return nullptr;
            }
        }
        auto *d = new TfrmAccTrans(m_books->mainWindow());
        return show(d) ? d : nullptr;
    }

    TfrmAccTrans2 *openTransfer()
    {
        if (!DialogBooks::createDM())
            return nullptr;
        auto *d = new TfrmAccTrans2(m_books->mainWindow());
        return show(d) ? d : nullptr;
    }

    int storedRows() const { return m_books->alias().scalar(QStringLiteral("SELECT COUNT(*) FROM AccTrans")).toInt(); }
    // The stored records as "AccID DocDate Increase Decrease Transaction Remarks", by Id.
    QStringList storedRecords() const
    {
        QStringList rows;
        QSqlQuery q(m_books->alias().fixture());
        if (!q.exec(QStringLiteral("SELECT AccID, DocDate, Increase, Decrease, \"Transaction\", Remarks FROM AccTrans "
                                   "ORDER BY Id")))
            return {q.lastError().text()};
        while (q.next()) {
            QStringList r;
            for (int i = 0; i < 6; ++i)
                r << (q.isNull(i) ? QStringLiteral("null") : q.value(i).toString());
            rows << r.join(QLatin1Char('|'));
        }
        return rows;
    }
    static quint64 writes() { return TEngineDatabase::forAlias(QStringLiteral("ARD")).generation(); }
    static bool inTransaction() { return TEngineDatabase::forAlias(QStringLiteral("ARD")).inTransaction(); }

    void leave(const QString &way)
    {
        if (way == QLatin1String("button"))
            QTest::mouseClick(m_dialog->findChild<QPushButton *>(QStringLiteral("BitBtn2")), Qt::LeftButton);
        else if (way == QLatin1String("Esc"))
            press(Qt::Key_Escape);
        else
            m_dialog->close();
    }

    static void addWaysToLeave()
    {
        QTest::addColumn<QString>("way");
        for (const char *w : {"button", "Esc", "window close"})
            QTest::newRow(w) << QString::fromLatin1(w);
    }

private Q_SLOTS:
    void init()
    {
        m_books = std::make_unique<DialogBooks>();
        m_books->alias().exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash'), ('Bank'), ('Card')"));
    }
    void cleanup()
    {
        m_dialog.reset();
        m_books.reset();
    }

    // Caption, frame, size, picture, fonts, and every control in focus
    // order with its place and accessible name; Tab walks that order.
    void layout_data()
    {
        QTest::addColumn<bool>("transfer");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QStringList>("focusOrder");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<QRect>>("places");
        QTest::addColumn<QStringList>("tahoma");
        QTest::newRow("single") << false << "Account Transaction" << QSize(501, 216)
                                << QStringList{"DBEdit2", "DBLookupComboBox1", "DBEdit4", "DBEdit5",
                                               "DBEdit6", "DBEdit7",           "BitBtn1", "BitBtn2"}
                                << QStringList{"DocDate",  "Account", "Transaction", "Increase",
                                               "Decrease", "Remarks", "OK",          "Cancel"}
                                << QList<QRect>{{128, 24, 134, 21},  {128, 64, 193, 21},  {128, 104, 273, 21},
                                                {128, 144, 121, 21}, {280, 144, 121, 21}, {128, 184, 273, 21},
                                                {416, 16, 75, 25},   {416, 48, 75, 25}}
                                << QStringList{"DBLookupComboBox1", "DBEdit4", "DBEdit5", "DBEdit6", "DBEdit7"};
        QTest::newRow("transfer")
            << true << "Double Account Transaction" << QSize(509, 284)
            << QStringList{"txtDocDate", "cboF", "cboT", "txtTrans", "txtAmount", "txtRemarks", "BitBtn1", "BitBtn2"}
            << QStringList{"DocDate", "From Account", "To Account", "Transaction", "Amount", "Remarks", "OK", "Cancel"}
            << QList<QRect>{{128, 24, 121, 21},  {128, 64, 193, 21},  {128, 104, 193, 21}, {128, 144, 281, 21},
                            {128, 184, 121, 21}, {128, 224, 281, 21}, {416, 16, 75, 25},   {416, 48, 75, 25}}
            << QStringList{"cboF", "cboT", "txtTrans", "txtRemarks"};
    }
    void layout()
    {
        QFETCH(bool, transfer);
        QFETCH(QString, caption);
        QFETCH(QSize, size);
        QFETCH(QStringList, focusOrder);
        QFETCH(QStringList, names);
        QFETCH(QList<QRect>, places);
        QFETCH(QStringList, tahoma);
        QVERIFY(transfer ? static_cast<QDialog *>(openTransfer()) : openSingle(true));
        QCOMPARE(m_dialog->windowTitle(), caption);
        QCOMPARE(m_dialog->size(), size);
        const Qt::WindowFlags flags = m_dialog->windowFlags();
        if (transfer) {
            // An ordinary window: system menu, the three boxes, resizable.
            QVERIFY(flags & Qt::WindowSystemMenuHint);
            QVERIFY(flags & Qt::WindowCloseButtonHint);
            QVERIFY((flags & Qt::WindowMinMaxButtonsHint) == Qt::WindowMinMaxButtonsHint);
            QVERIFY(m_dialog->minimumSize() != m_dialog->maximumSize());
            m_dialog->resize(700, 400);
            QTRY_COMPARE(m_dialog->size(), QSize(700, 400));
        } else {
            QVERIFY(!(flags & (Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint)));
            QCOMPARE(m_dialog->minimumSize(), size);
            QCOMPARE(m_dialog->maximumSize(), size);
        }
        QCOMPARE(m_dialog->palette().color(QPalette::Window), QColor(Qt::white));
        auto *image = m_dialog->findChild<QLabel *>(QStringLiteral("Image1"));
        QVERIFY(image);
        QCOMPARE(image->geometry(), QRect(16, 16, 96, 96));
        QCOMPARE(image->pixmap().toImage(), QPixmap(QStringLiteral(":/pictures/transaction.jpg")).toImage());

        // The controls keep their places whatever the window's size.
        for (int i = 0; i < focusOrder.size(); ++i) {
            QWidget *focus = QApplication::focusWidget();
            QVERIFY(focus);
            QCOMPARE(focus->objectName(), focusOrder.at(i));
            QCOMPARE(focus->geometry(), places.at(i));
            QCOMPARE(accessibleName(focus), names.at(i));
            QCOMPARE(focus->font().family(),
                     tahoma.contains(focus->objectName()) ? QStringLiteral("Tahoma") : QStringLiteral("Verdana"));
            QCOMPARE(focus->font().pixelSize(), 11);
            press(Qt::Key_Tab);
        }
        QCOMPARE(QApplication::focusWidget()->objectName(), focusOrder.first());
    }

    // The date box starts with today in the user's short date format; the
    // other boxes start empty, the account boxes with no choice.
    void transferStartsWithToday_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("today");
        QTest::newRow("m/d/yy") << "m/d/yy"
                                << "3/13/24";
        QTest::newRow("dd/mm/yyyy") << "dd/mm/yyyy"
                                    << "13/03/2024";
    }
    void transferStartsWithToday()
    {
        QFETCH(QString, format);
        QFETCH(QString, today);
        FormatSettings().ShortDateFormat = format;
        TfrmAccTrans2 *d = openTransfer();
        QVERIFY(d);
        QCOMPARE(d->ui->txtDocDate->Text(), today);
        for (TEdit *e : {d->ui->txtTrans, d->ui->txtAmount, d->ui->txtRemarks})
            QVERIFY(e->Text().isEmpty());
        for (TDBLookupComboBox *b : {d->ui->cboF, d->ui->cboT}) {
            QVERIFY(!b->ChosenKey().isValid());
            QVERIFY(b->Text().isEmpty());
        }
        QCOMPARE(DM->AccTransTable->State(), TDataSetState::dsBrowse);
    }

    // OK stores an empty increase or decrease as 0.
    void singleAmounts_data()
    {
        QTest::addColumn<QString>("increase");
        QTest::addColumn<QString>("decrease");
        QTest::addColumn<QString>("stored");
        QTest::newRow("increase only") << "100"
                                       << ""
                                       << "1|2024-03-13|100|0|null|null";
        QTest::newRow("decrease only") << ""
                                       << "35.5"
                                       << "1|2024-03-13|0|35.5|null|null";
        QTest::newRow("both empty") << ""
                                    << ""
                                    << "1|2024-03-13|0|0|null|null";
    }
    void singleAmounts()
    {
        QFETCH(QString, increase);
        QFETCH(QString, decrease);
        QFETCH(QString, stored);
        TfrmAccTrans *d = openSingle(true);
        QVERIFY(d);
        pickRow(d->ui->DBLookupComboBox1, 1);
        if (!increase.isEmpty())
            typeInto(d->ui->DBEdit5, increase);
        if (!decrease.isEmpty())
            typeInto(d->ui->DBEdit6, decrease);
        press(Qt::Key_Return);
        QVERIFY(!d->isVisible());
        QCOMPARE(DM->AccTransTable->State(), TDataSetState::dsBrowse);
        QCOMPARE(storedRecords(), QStringList{stored});
    }

    // An amount that does not convert stops OK where it failed: the error is
    // shown once, the rejected text is neither replaced by 0 nor stored, the
    // record stays pending in the open dialog; once corrected, OK stores it.
    void rejectedAmountStopsOk_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("stored");
        QTest::newRow("increase") << "DBEdit5"
                                  << "1-2"
                                  << "'1-2' is not a valid floating point value for field 'Increase'"
                                  << "null|2024-03-13|12|0|null|null";
        QTest::newRow("decrease") << "DBEdit6"
                                  << "5e"
                                  << "'5e' is not a valid floating point value for field 'Decrease'"
                                  << "null|2024-03-13|0|12|null|null";
    }
    void rejectedAmountStopsOk()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(QString, stored);
        TfrmAccTrans *d = openSingle(true);
        QVERIFY(d);
        auto *amount = d->findChild<TDBEdit *>(box);
        typeInto(amount, text);
        {
            ModalAnswer answer(QStringList{QStringLiteral("Return"), QStringLiteral("Return")});
            press(Qt::Key_Return);
            QCOMPARE(answer.titles(), QStringList{QStringLiteral("Ardentry")});
            QCOMPARE(answer.text(), message);
        }
        QVERIFY(d->isVisible());
        QCOMPARE(d->focusWidget(), amount);
        QCOMPARE(amount->text(), text);
        QVERIFY(DM->AccTransTable->FieldByName(amount->DataField())->IsNull());
        QCOMPARE(DM->AccTransTable->State(), TDataSetState::dsInsert);
        QCOMPARE(storedRows(), 0);

        reactivate(m_dialog.get());
        typeInto(amount, QStringLiteral("12"));
        press(Qt::Key_Return);
        QVERIFY(!d->isVisible());
        QCOMPARE(storedRecords(), QStringList{stored});
    }

    // A stored record with an empty increase, opened by Edit: left
    // unchanged, OK writes nothing and closes quietly; changed, OK fills the
    // empty increase with 0.
    void editedRecordWithAnEmptyAmount_data()
    {
        QTest::addColumn<QString>("remarks");
        QTest::addColumn<QString>("stored");
        QTest::newRow("untouched") << ""
                                   << "1|2024-03-02|null|50|null|null";
        QTest::newRow("remarks typed") << "fee"
                                       << "1|2024-03-02|0|50|null|fee";
    }
    void editedRecordWithAnEmptyAmount()
    {
        QFETCH(QString, remarks);
        QFETCH(QString, stored);
        m_books->alias().exec(QStringLiteral("INSERT INTO AccTrans (DocDate, Decrease, AccID) VALUES ('2024-03-02', 50, 1)"));
        TfrmAccTrans *d = openSingle(false);
        QVERIFY(d);
        QCOMPARE(DM->AccTransTable->State(), TDataSetState::dsBrowse);
        const quint64 before = writes();
        if (!remarks.isEmpty())
            typeInto(d->ui->DBEdit7, remarks);
        ModalAnswer answer(QStringLiteral("Return"));
        press(Qt::Key_Return);
        QVERIFY(!d->isVisible());
        QCOMPARE(answer.count(), 0);
        QCOMPARE(writes() == before, remarks.isEmpty());
        QCOMPARE(DM->AccTransTable->State(), TDataSetState::dsBrowse);
        QCOMPARE(storedRecords(), QStringList{stored});
    }

    // Edit, change the increase, leave without OK: the stored record stays.
    void editThenLeaveKeepsStored_data() { addWaysToLeave(); }
    void editThenLeaveKeepsStored()
    {
        QFETCH(QString, way);
        m_books->alias().exec(QStringLiteral(
            "INSERT INTO AccTrans (DocDate, Increase, Decrease, AccID) VALUES ('2024-03-02', 10, 0, 1)"));
        TfrmAccTrans *d = openSingle(false);
        QVERIFY(d);
        typeInto(d->ui->DBEdit5, QStringLiteral("99"));
        QCOMPARE(DM->AccTransTable->State(), TDataSetState::dsEdit);
        leave(way);
        QVERIFY(!d->isVisible());
        QCOMPARE(DM->AccTransTable->State(), TDataSetState::dsBrowse);
        QCOMPARE(DM->AccTransTableIncrease->AsFloat(), 10.0);
        QCOMPARE(storedRecords(), QStringList{QStringLiteral("1|2024-03-02|10|0|null|null")});
    }

    // New, then leave without OK: nothing is stored or left pending.
    void newThenLeaveStoresNothing_data() { addWaysToLeave(); }
    void newThenLeaveStoresNothing()
    {
        QFETCH(QString, way);
        TfrmAccTrans *d = openSingle(true);
        QVERIFY(d);
        typeInto(d->ui->DBEdit5, QStringLiteral("99"));
        leave(way);
        QVERIFY(!d->isVisible());
        QCOMPARE(DM->AccTransTable->State(), TDataSetState::dsBrowse);
        QVERIFY(DM->AccTransTable->IsEmpty());
        QCOMPARE(storedRows(), 0);
    }

    // A transfer from Cash to Bank, typed box by box with Tab: two records,
    // the balances move by the amount in opposite directions.
    void transfer_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("iso");
        QTest::addColumn<QString>("stored");
        QTest::newRow("250") << "3/1/24"
                             << "250"
                             << "2024-03-01"
                             << "250";
        QTest::newRow("empty amount") << "3/1/24"
                                      << ""
                                      << "2024-03-01"
                                      << "0";
        QTest::newRow("12.5") << "3/1/24"
                              << "12.5"
                              << "2024-03-01"
                              << "12.5";
        QTest::newRow("today's date as it starts") << ""
                                                   << "250"
                                                   << "2024-03-13"
                                                   << "250";
    }
    void transfer()
    {
        QFETCH(QString, date);
        QFETCH(QString, amount);
        QFETCH(QString, iso);
        QFETCH(QString, stored);
        TfrmAccTrans2 *d = openTransfer();
        QVERIFY(d);
        QCOMPARE(QApplication::focusWidget(), d->ui->txtDocDate);
        if (!date.isEmpty()) {
            QTest::keyClick(d->ui->txtDocDate, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(d->ui->txtDocDate, date);
        }
        press(Qt::Key_Tab);
        press(Qt::Key_Down);
        press(Qt::Key_Tab);
        press(Qt::Key_Down);
        press(Qt::Key_Down);
        press(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("move to bank"));
        press(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), amount);
        press(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("weekly"));
        press(Qt::Key_Return);
        QVERIFY(!d->isVisible());
        QCOMPARE(storedRecords(), (QStringList{QStringLiteral("1|%1|0|%2|move to bank|weekly").arg(iso, stored),
                                               QStringLiteral("2|%1|%2|0|move to bank|weekly").arg(iso, stored)}));
        const QString balance = QStringLiteral("SELECT Sum(Increase) - Sum(Decrease) FROM AccTrans WHERE AccID = %1");
        QCOMPARE(m_books->alias().scalar(balance.arg(1)).toDouble(), -stored.toDouble());
        QCOMPARE(m_books->alias().scalar(balance.arg(2)).toDouble(), stored.toDouble());
        QCOMPARE(DM->AccTransTable->State(), TDataSetState::dsBrowse);
        QVERIFY(!inTransaction());
    }

    // A transfer that cannot be stored whole is not stored at all: the
    // first input that fails, in the order the records meet them, is
    // reported with its conversion's message; nothing is stored or pending
    // and the dialog stays open, and the corrected transfer is stored.
    void refusedTransferStoresNothing_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("message");
        const QString negative = QStringLiteral("'0-250' is not a valid floating point value for field 'Decrease'");
        QTest::newRow("date is no date") << "2/30/24" << 1 << "250" << 2 << "'2/30/24' is not a valid date.";
        QTest::newRow("no From Account") << "3/1/24" << 0 << "250" << 2 << NullKey;
        QTest::newRow("negative amount") << "3/1/24" << 1 << "-250" << 2 << negative;
        QTest::newRow("amount with a leading blank")
            << "3/1/24" << 1 << " 5" << 2 << "'0 5' is not a valid floating point value for field 'Decrease'";
        QTest::newRow("no To Account") << "3/1/24" << 1 << "250" << 0 << NullKey;
        QTest::newRow("date before From") << "2/30/24" << 0 << "250" << 2 << "'2/30/24' is not a valid date.";
        QTest::newRow("From before amount") << "3/1/24" << 0 << "-250" << 2 << NullKey;
        QTest::newRow("amount before To") << "3/1/24" << 1 << "-250" << 0 << negative;
    }
    void refusedTransferStoresNothing()
    {
        QFETCH(QString, date);
        QFETCH(int, from);
        QFETCH(QString, amount);
        QFETCH(int, to);
        QFETCH(QString, message);
        TfrmAccTrans2 *d = openTransfer();
        QVERIFY(d);
        d->ui->txtDocDate->setText(date);
        pickRow(d->ui->cboF, from);
        pickRow(d->ui->cboT, to);
        d->ui->txtAmount->setText(amount);
        const quint64 before = writes();
        {
            ModalAnswer answer(QStringList{QStringLiteral("Return"), QStringLiteral("Return")});
            press(Qt::Key_Return);
            QCOMPARE(answer.titles(), QStringList{QStringLiteral("Ardentry")});
            QCOMPARE(answer.text(), message);
        }
        QVERIFY(d->isVisible());
        // Checked before anything was started: not even a write undone.
        QCOMPARE(writes(), before);
        QCOMPARE(storedRows(), 0);
        QCOMPARE(DM->AccTransTable->State(), TDataSetState::dsBrowse);
        QVERIFY(DM->AccTransTable->IsEmpty());
        QVERIFY(!inTransaction());

        reactivate(m_dialog.get());
        d->ui->txtDocDate->setText(QStringLiteral("3/1/24"));
        if (!from)
            pickRow(d->ui->cboF, 1);
        if (!to)
            pickRow(d->ui->cboT, 2);
        d->ui->txtAmount->setText(QStringLiteral("250"));
        press(Qt::Key_Return);
        QVERIFY(!d->isVisible());
        QCOMPARE(storedRecords(),
                 (QStringList{QStringLiteral("1|2024-03-01|0|250||"), QStringLiteral("2|2024-03-01|250|0||")}));
    }

    // The engine refuses the second record (here a trigger of the books
    // stands for any refusal): the first one, already written, is undone,
    // and the table shows what is stored.
    void refusalOfTheSecondRecordUndoesTheFirst()
    {
        m_books->alias().exec(QStringLiteral(
            "INSERT INTO AccTrans (DocDate, Increase, Decrease, AccID) VALUES ('2024-03-02', 1000, 0, 1)"));
        m_books->alias().exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON AccTrans WHEN NEW.Increase > 0 "
                                     "BEGIN SELECT RAISE(ABORT, 'increase refused'); END"));
        TfrmAccTrans2 *d = openTransfer();
        QVERIFY(d);
        pickRow(d->ui->cboF, 1);
        pickRow(d->ui->cboT, 2);
        d->ui->txtAmount->setText(QStringLiteral("250"));
        {
            ModalAnswer answer(QStringList{QStringLiteral("Return"), QStringLiteral("Return")});
            press(Qt::Key_Return);
            QCOMPARE(answer.titles(), QStringList{QStringLiteral("Ardentry")});
            QVERIFY2(answer.text().contains(QLatin1String("increase refused")), qPrintable(answer.text()));
        }
        QVERIFY(d->isVisible());
        QCOMPARE(storedRecords(), QStringList{QStringLiteral("1|2024-03-02|1000|0|null|null")});
        QCOMPARE(DM->AccTransTable->State(), TDataSetState::dsBrowse);
        QVERIFY(!inTransaction());
        QCOMPARE(DM->AccTransTable->RecordCount(), 1);
        QCOMPARE(DM->AccTransTableIncrease->AsFloat(), 1000.0);
    }

    void transferCancelStoresNothing_data() { addWaysToLeave(); }
    void transferCancelStoresNothing()
    {
        QFETCH(QString, way);
        TfrmAccTrans2 *d = openTransfer();
        QVERIFY(d);
        pickRow(d->ui->cboF, 1);
        pickRow(d->ui->cboT, 2);
        d->ui->txtAmount->setText(QStringLiteral("250"));
        const quint64 before = writes();
        leave(way);
        QVERIFY(!d->isVisible());
        QCOMPARE(writes(), before);
        QCOMPARE(storedRows(), 0);
        QCOMPARE(DM->AccTransTable->State(), TDataSetState::dsBrowse);
    }

    // Enter with an account list open and another account highlighted
    // presses OK in both dialogs; the highlighted row is not taken.
    void enterWithAListOpenPressesOk_data()
    {
        QTest::addColumn<bool>("transfer");
        QTest::newRow("single") << false;
        QTest::newRow("transfer") << true;
    }
    void enterWithAListOpenPressesOk()
    {
        QFETCH(bool, transfer);
        TDBLookupComboBox *box = nullptr;
        if (transfer) {
            TfrmAccTrans2 *d = openTransfer();
            QVERIFY(d);
            pickRow(d->ui->cboF, 1);
            pickRow(d->ui->cboT, 1);
            box = d->ui->cboT;
        } else {
            TfrmAccTrans *d = openSingle(true);
            QVERIFY(d);
            pickRow(d->ui->DBLookupComboBox1, 1);
            box = d->ui->DBLookupComboBox1;
        }
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(box->ListVisible());
        press(Qt::Key_Down);
        press(Qt::Key_Return);
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
        const QString accounts = m_books->alias().scalar(QStringLiteral("SELECT group_concat(AccID) FROM AccTrans")).toString();
        QCOMPARE(accounts, transfer ? QStringLiteral("1,1") : QStringLiteral("1"));
    }
};

QTEST_MAIN(tst_AccTrans)
#include "tst_acctrans.moc"
