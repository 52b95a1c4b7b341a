#include "Clock.h"
#include "DMUnit.h"
#include "EngineDatabase.h"
#include "FormatSettings.h"
#include "DialogDriver.h"
#include "ModalAnswer.h"
#include "TDBEdit.h"
#include "TDBLookupComboBox.h"
#include "TField.h"
#include "TTable.h"
#include "TestAlias.h"
#include "frmExpensesUnit.h"
#include "frmPurchasesUnit.h"
#include "frmSalesUnit.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QWindow>
#include <QtTest>
#include <functional>

using namespace DialogDriver;

namespace {

// What the tests need to know of one entry dialog: its dataset, its table,
// the names of its boxes, and how the main window creates it.
struct EntryDialog
{
    std::function<QDialog *(QWidget *)> create;
    std::function<TTable *()> table;
    QString sqlTable;
    QString amountColumn;
    QString idBox; // empty: the dialog has no invoice number
    QString dateBox;
    QString amountBox;
};

EntryDialog entryDialog(const QString &name)
{
    if (name == QLatin1String("sale"))
        return {[](QWidget *p) { return static_cast<QDialog *>(new TfrmSales(p)); },
                [] { return DM->SalesTable; },
                QStringLiteral("Sales"),
                QStringLiteral("Total"),
                QStringLiteral("DBEdit1"),
                QStringLiteral("DBEdit2"),
                QStringLiteral("DBEdit5")};
    if (name == QLatin1String("purchase"))
        return {[](QWidget *p) { return static_cast<QDialog *>(new TfrmPurchases(p)); },
                [] { return DM->PurchasesTable; },
                QStringLiteral("Purchases"),
                QStringLiteral("Total"),
                QStringLiteral("DBEdit4"),
                QStringLiteral("DBEdit1"),
                QStringLiteral("DBEdit3")};
    Q_ASSERT(name == QLatin1String("expense"));
    return {[](QWidget *p) { return static_cast<QDialog *>(new TfrmExpenses(p)); },
            [] { return DM->ExpensesTable; },
            QStringLiteral("Expenses"),
            QStringLiteral("Amount"),
            QString(),
            QStringLiteral("DBEdit1"),
            QStringLiteral("DBEdit4")};
}

QString accessibleName(QWidget *w)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QString();
}

} // namespace

// The sale, purchase and expense dialogs over real books, driven as the main
// window and the user drive them: the record is appended (or left as it is
// for an edit), the dialog opens on it, the user types and presses keys, and
// the database says what was stored.
class tst_EntryDialogs : public QObject
{
    Q_OBJECT

    std::unique_ptr<DialogBooks> m_books;
    std::unique_ptr<QDialog> m_dialog;
    EntryDialog m_kind;

    // Opens the dialog of `kind` over the main window on the dataset's
    // current record; `append` starts a new record first, as New does.
    // Returns false, with the engine's message, when the books fail.
    bool open(const QString &kind, bool append)
    {
        m_kind = entryDialog(kind);
        if (!DialogBooks::createDM())
            return false;
        try {
            if (append)
                m_kind.table()->Append();
        } catch (const EDatabaseError &e) {
            qWarning("%s", qPrintable(e.message()));
            return false;
        }
        m_dialog.reset(m_kind.create(m_books->mainWindow()));
        m_dialog->show();
        return QTest::qWaitForWindowActive(m_dialog.get());
    }

    template <typename W = QWidget> W *control(const QString &name) const
    {
        W *w = m_dialog->findChild<W *>(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }

    QVariant stored(const QString &column, const QString &where = QStringLiteral("1 = 1")) const
    {
        return m_books->alias().scalar(QStringLiteral("SELECT \"%1\" FROM %2 WHERE %3").arg(column, m_kind.sqlTable, where));
    }
    int storedRows() const
    {
        return m_books->alias().scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(m_kind.sqlTable)).toInt();
    }
    static quint64 writes() { return TEngineDatabase::forAlias(QStringLiteral("ARD")).generation(); }

    // A stored record of the dialog's table with amount 100 (and invoice
    // number 5 where there is one).
    void storeOne(const QString &kind)
    {
        if (kind == QLatin1String("expense"))
            m_books->alias().exec(QStringLiteral("INSERT INTO Expenses (DocDate, Amount, ExpType, AccID) "
                                         "VALUES ('2024-03-02', 100, 1, 1)"));
        else
            m_books->alias().exec(QStringLiteral("INSERT INTO %1 (Id, DocDate, Total, AccID) VALUES (5, '2024-03-02', 100, 1)")
                              .arg(entryDialog(kind).sqlTable));
    }

    static void addKinds()
    {
        QTest::addColumn<QString>("kind");
        for (const char *k : {"sale", "purchase", "expense"})
            QTest::newRow(k) << QString::fromLatin1(k);
    }

private Q_SLOTS:
    void init()
    {
        m_books = std::make_unique<DialogBooks>();
        m_books->alias().exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash'), ('Bank'), ('Card')"));
        m_books->alias().exec(QStringLiteral("INSERT INTO ExpTypes (ExpType) VALUES ('Rent'), ('Food')"));
    }
    void cleanup()
    {
        m_dialog.reset();
        m_books.reset();
    }

    // Caption, frame, size, picture, background, fonts, and every control in
    // focus order with its place and its accessible name; Tab walks that
    // order and comes round to the first box again.
    void layout_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QStringList>("focusOrder");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<int>>("widths");
        QTest::addColumn<QStringList>("tahoma");
        QTest::newRow("sale") << "sale"
                              << "Sales And Income" << QSize(542, 296) << ":/pictures/sale.jpg"
                              << QStringList{"DBEdit1", "DBEdit2",           "DBEdit3", "DBEdit4",
                                             "DBEdit5", "DBLookupComboBox1", "DBEdit7"}
                              << QStringList{"Invoice ID", "Date",    "Customer", "Sales Man",
                                             "Total",      "Account", "Remarks"}
                              << QList<int>{134, 134, 241, 241, 134, 241, 313}
                              << QStringList{"DBEdit3", "DBEdit4", "DBLookupComboBox1", "DBEdit7"};
        QTest::newRow("purchase") << "purchase"
                                  << "Purchases" << QSize(540, 253) << ":/pictures/purchase.jpg"
                                  << QStringList{"DBEdit4", "DBEdit1",           "DBEdit2",
                                                 "DBEdit3", "DBLookupComboBox1", "DBEdit5"}
                                  << QStringList{"Invoice ID", "Date", "Supplier", "Total", "Account", "Remarks"}
                                  << QList<int>{134, 134, 264, 134, 241, 313}
                                  << QStringList{"DBEdit2", "DBLookupComboBox1", "DBEdit5"};
        QTest::newRow("expense") << "expense"
                                 << "Expenses" << QSize(540, 215) << ":/pictures/expense.jpg"
                                 << QStringList{"DBEdit1", "DBLookupComboBox2", "DBLookupComboBox1", "DBEdit4",
                                                "DBEdit5"}
                                 << QStringList{"Date", "Expenses", "Account", "Amount", "Remarks"}
                                 << QList<int>{134, 241, 241, 134, 321}
                                 << QStringList{"DBLookupComboBox2", "DBLookupComboBox1", "DBEdit5"};
    }
    void layout()
    {
        QFETCH(QString, kind);
        QFETCH(QString, caption);
        QFETCH(QSize, size);
        QFETCH(QString, picture);
        QFETCH(QStringList, focusOrder);
        QFETCH(QStringList, names);
        QFETCH(QList<int>, widths);
        QFETCH(QStringList, tahoma);
        QVERIFY(open(kind, true));
        QCOMPARE(m_dialog->windowTitle(), caption);
        QCOMPARE(m_dialog->size(), size);
        QCOMPARE(m_dialog->minimumSize(), size);
        QCOMPARE(m_dialog->maximumSize(), size);
        const Qt::WindowFlags flags = m_dialog->windowFlags();
        QVERIFY(flags & Qt::WindowTitleHint);
        QVERIFY(!(flags & (Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint)));
        QCOMPARE(m_dialog->palette().color(QPalette::Window), QColor(Qt::white));
        QCOMPARE(m_dialog->font().family(), QStringLiteral("Verdana"));
        QCOMPARE(m_dialog->font().pixelSize(), 11);

        auto *image = control<QLabel>(QStringLiteral("Image1"));
        QCOMPARE(image->geometry(), QRect(16, 16, 96, 96));
        QCOMPARE(image->pixmap().size(), QSize(96, 96));
        QCOMPARE(image->pixmap().toImage(), QPixmap(picture).toImage());

        // The dialog opens with the focus in its first box.
        for (int i = 0; i < focusOrder.size(); ++i) {
            QWidget *focus = QApplication::focusWidget();
            QVERIFY(focus);
            QCOMPARE(focus->objectName(), focusOrder.at(i));
            QCOMPARE(focus->geometry(), QRect(128, 24 + 40 * i, widths.at(i), 21));
            QCOMPARE(accessibleName(focus), names.at(i));
            QCOMPARE(focus->font().family(),
                     tahoma.contains(focus->objectName()) ? QStringLiteral("Tahoma") : QStringLiteral("Verdana"));
            QCOMPARE(focus->font().pixelSize(), 11);
            press(Qt::Key_Tab);
        }
        const int right = size.width() - 85;
        const struct
        {
            const char *name;
            const char *caption;
            int top;
        } buttons[] = {{"BitBtn1", "OK", 16}, {"BitBtn2", "Cancel", 48}};
        for (const auto &b : buttons) {
            QWidget *focus = QApplication::focusWidget();
            QCOMPARE(focus->objectName(), QString::fromLatin1(b.name));
            QCOMPARE(focus->geometry(), QRect(right, b.top, 75, 25));
            QCOMPARE(accessibleName(focus), QString::fromLatin1(b.caption));
            QCOMPARE(focus->font().family(), QStringLiteral("Verdana"));
            press(Qt::Key_Tab);
        }
        QCOMPARE(QApplication::focusWidget()->objectName(), focusOrder.first());
        QVERIFY(control<QPushButton>(QStringLiteral("BitBtn1"))->isDefault());
        // Looking did not change the record.
        QCOMPARE(m_kind.table()->State(), TDataSetState::dsInsert);
        QVERIFY(!m_kind.table()->Modified());
    }

    // New, then OK: the defaults are stored with what was typed; the amount
    // as the field writes it.
    void newThenOk_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("expected");
        for (const char *k : {"sale", "purchase", "expense"}) {
            QTest::addRow("%s, nothing typed", k) << QString::fromLatin1(k) << QString() << QString();
            QTest::addRow("%s, 12.50", k)
                << QString::fromLatin1(k) << QStringLiteral("12.50") << QStringLiteral("12.5");
        }
    }
    void newThenOk()
    {
        QFETCH(QString, kind);
        QFETCH(QString, amount);
        QFETCH(QString, expected);
        storeOne(kind);
        QVERIFY(open(kind, true));
        if (!amount.isEmpty())
            typeInto(control(m_kind.amountBox), amount);
        press(Qt::Key_Return);
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
        QCOMPARE(m_kind.table()->State(), TDataSetState::dsBrowse);
        QCOMPARE(storedRows(), 2);
        const QString added = QStringLiteral("DocDate = '2024-03-13'");
        QCOMPARE(stored(m_kind.amountColumn, added).toString(), expected);
        if (!m_kind.idBox.isEmpty())
            QCOMPARE(stored(QStringLiteral("Id"), added).toInt(), 6);
    }

    // Every box filled by a user who moves on with Tab and picks names with
    // the arrow keys of a closed list; each step of `inputs` is what is typed
    // in the next box of the focus order ("Down" presses that key).
    void everyBox_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QVariantList>("values");
        QTest::newRow("sale") << "sale"
                              << QStringList{"41", "3/1/24", "Acme Ltd", "Sam", "1500", "Down Down", "paid in cash"}
                              << "Id, DocDate, Customer, SalesMan, Total, AccID, Remarks"
                              << QVariantList{41, "2024-03-01", "Acme Ltd", "Sam", 1500.0, 2, "paid in cash"};
        QTest::newRow("purchase") << "purchase" << QStringList{"9", "3/2/24", "Supplies Co", "75.25", "Down", "box"}
                                  << "Id, DocDate, Supplier, Total, AccID, Remarks"
                                  << QVariantList{9, "2024-03-02", "Supplies Co", 75.25, 1, "box"};
        QTest::newRow("expense") << "expense" << QStringList{"3/3/24", "Down Down", "Down Down Down", "40", "March"}
                                 << "DocDate, ExpType, AccID, Amount, Remarks"
                                 << QVariantList{"2024-03-03", 2, 3, 40.0, "March"};
    }
    void everyBox()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, inputs);
        QFETCH(QString, columns);
        QFETCH(QVariantList, values);
        QVERIFY(open(kind, true));
        for (const QString &input : inputs) {
            QWidget *box = QApplication::focusWidget();
            if (input.startsWith(QLatin1String("Down"))) {
                for (int i = 0; i < int(input.count(QLatin1String("Down"))); ++i)
                    QTest::keyClick(box, Qt::Key_Down);
            } else {
                QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClicks(box, input);
            }
            press(Qt::Key_Tab);
        }
        press(Qt::Key_Return);
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(storedRows(), 1);
        QSqlQuery q(m_books->alias().fixture());
        QVERIFY(q.exec(QStringLiteral("SELECT %1 FROM %2").arg(columns, m_kind.sqlTable)) && q.next());
        for (int i = 0; i < values.size(); ++i)
            QCOMPARE(q.value(i).toString(), values.at(i).toString());
    }

    // Cancel in every way a user has: the button, Esc, its access key, and
    // closing the window from the title bar or with Alt+F4.
    void newThenCancelStoresNothing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("way");
        for (const char *k : {"sale", "purchase", "expense"})
            for (const char *w : {"button", "Esc", "Alt+C", "window close"})
                QTest::addRow("%s, %s", k, w) << QString::fromLatin1(k) << QString::fromLatin1(w);
    }
    void newThenCancelStoresNothing()
    {
        QFETCH(QString, kind);
        QFETCH(QString, way);
        QVERIFY(open(kind, true));
        typeInto(control(m_kind.amountBox), QStringLiteral("99"));
        if (way == QLatin1String("button"))
            QTest::mouseClick(control(QStringLiteral("BitBtn2")), Qt::LeftButton);
        else if (way == QLatin1String("Esc"))
            press(Qt::Key_Escape);
        else if (way == QLatin1String("Alt+C"))
            press(Qt::Key_C, Qt::AltModifier);
        else
            m_dialog->close();
        QTRY_VERIFY(!m_dialog->isVisible());
        QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
        QCOMPARE(m_kind.table()->State(), TDataSetState::dsBrowse);
        QVERIFY(m_kind.table()->IsEmpty());
        QCOMPARE(storedRows(), 0);
    }

    // Edit, change the amount, then leave without OK: the stored amount
    // stays, and the dataset shows it again.
    void editThenCancelKeepsStored_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("byWindowClose");
        for (const char *k : {"sale", "purchase", "expense"}) {
            QTest::addRow("%s, Cancel", k) << QString::fromLatin1(k) << false;
            QTest::addRow("%s, window close", k) << QString::fromLatin1(k) << true;
        }
    }
    void editThenCancelKeepsStored()
    {
        QFETCH(QString, kind);
        QFETCH(bool, byWindowClose);
        storeOne(kind);
        QVERIFY(open(kind, false));
        QCOMPARE(m_kind.table()->State(), TDataSetState::dsBrowse);
        auto *amount = control<TDBEdit>(m_kind.amountBox);
        typeInto(amount, QStringLiteral("250"));
        QCOMPARE(m_kind.table()->State(), TDataSetState::dsEdit);
        if (byWindowClose)
            m_dialog->close();
        else
            QTest::mouseClick(control(QStringLiteral("BitBtn2")), Qt::LeftButton);
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(m_kind.table()->State(), TDataSetState::dsBrowse);
        QCOMPARE(m_kind.table()->FieldByName(m_kind.amountColumn)->AsFloat(), 100.0);
        QCOMPARE(amount->text(), QStringLiteral("100"));
        QCOMPARE(stored(m_kind.amountColumn).toDouble(), 100.0);
    }

    // Edit, walk through every box, OK: nothing is written at all.
    void editThenOkWithoutChangeWritesNothing_data() { addKinds(); }
    void editThenOkWithoutChangeWritesNothing()
    {
        QFETCH(QString, kind);
        storeOne(kind);
        QVERIFY(open(kind, false));
        const quint64 before = writes();
        ModalAnswer answer(QStringLiteral("Return"));
        while (!qobject_cast<QPushButton *>(QApplication::focusWidget()))
            press(Qt::Key_Tab);
        press(Qt::Key_Return);
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(answer.count(), 0);
        QCOMPARE(writes(), before);
        QCOMPARE(m_kind.table()->State(), TDataSetState::dsBrowse);
    }

    // A date that is no date: the error is shown once per OK, nothing is
    // stored, and every time the dialog stays open on the pending record
    // with the focus in "Date" and its text selected, so that typing
    // replaces it; once corrected, OK stores it. The keys go to the dialog's
    // window as the window system sends them: once a box has closed, to the
    // window under the pointer, whether or not anybody has activated it.
    void badDateKeepsTheDialogOpen_data() { addKinds(); }
    void badDateKeepsTheDialogOpen()
    {
        QFETCH(QString, kind);
        QVERIFY(open(kind, true));
        auto *date = control<TDBEdit>(m_kind.dateBox);
        typeInto(date, QStringLiteral("2/30/24"));
        QWindow *window = m_dialog->windowHandle();
        for (int attempt = 1; attempt <= 3; ++attempt) {
            {
                ModalAnswer answer(QStringList{QStringLiteral("Return"), QStringLiteral("Return")});
                QTest::keyClick(window, Qt::Key_Return);
                QCOMPARE(answer.titles(), QStringList{QStringLiteral("Ardentry")});
                QCOMPARE(answer.text(), QStringLiteral("'2/30/24' is not a valid date."));
            }
            QVERIFY(m_dialog->isVisible());
            QCOMPARE(m_kind.table()->State(), TDataSetState::dsInsert);
            QCOMPARE(storedRows(), 0);
            QTRY_VERIFY(m_dialog->isActiveWindow());
            QCOMPARE(QApplication::focusWidget(), date);
            QCOMPARE(date->selectedText(), QStringLiteral("2/30/24"));
        }

        for (QChar c : QStringLiteral("3/1/24"))
            QTest::keyClick(window, c.toLatin1());
        QCOMPARE(date->text(), QStringLiteral("3/1/24"));
        QTest::keyClick(window, Qt::Key_Return);
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(stored(QStringLiteral("DocDate")).toString(), QStringLiteral("2024-03-01"));
    }

    // The engine refuses a second record with a stored invoice number: the
    // refusal is shown, the record stays pending in the open dialog, and a
    // corrected number is stored.
    void duplicateInvoiceNumber_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("sale") << "sale";
        QTest::newRow("purchase") << "purchase";
    }
    void duplicateInvoiceNumber()
    {
        QFETCH(QString, kind);
        storeOne(kind);
        QVERIFY(open(kind, true));
        auto *id = control<TDBEdit>(m_kind.idBox);
        QCOMPARE(id->text(), QStringLiteral("6"));
        typeInto(id, QStringLiteral("5"));
        {
            ModalAnswer answer(QStringList{QStringLiteral("Return"), QStringLiteral("Return")});
            press(Qt::Key_Return);
            QCOMPARE(answer.titles(), QStringList{QStringLiteral("Ardentry")});
            QVERIFY2(answer.text().startsWith(QLatin1String("Key violation")), qPrintable(answer.text()));
        }
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(m_kind.table()->State(), TDataSetState::dsInsert);
        QCOMPARE(id->text(), QStringLiteral("5"));
        QCOMPARE(storedRows(), 1);

        reactivate(m_dialog.get());

        typeInto(id, QStringLiteral("7"));
        press(Qt::Key_Return);
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(storedRows(), 2);
        QCOMPARE(stored(QStringLiteral("Id"), QStringLiteral("DocDate = '2024-03-13'")).toInt(), 7);
    }

    // Enter and Esc while the Account list is open, with "Bank" highlighted
    // (the list of an empty account opens with no row highlighted):
    // the sale dialog gives the keys to the list, the others to their
    // buttons, the list closing without taking the row.
    void keysWithTheAccountListOpen_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("staysOpen");
        QTest::addColumn<QVariant>("accID");
        QTest::newRow("sale, Enter takes the row") << "sale" << int(Qt::Key_Return) << true << QVariant(2);
        QTest::newRow("sale, Esc closes the list") << "sale" << int(Qt::Key_Escape) << true << QVariant();
        QTest::newRow("purchase, Enter presses OK") << "purchase" << int(Qt::Key_Return) << false << QVariant();
        QTest::newRow("purchase, Esc presses Cancel") << "purchase" << int(Qt::Key_Escape) << false << QVariant();
        QTest::newRow("expense, Enter presses OK") << "expense" << int(Qt::Key_Return) << false << QVariant();
    }
    void keysWithTheAccountListOpen()
    {
        QFETCH(QString, kind);
        QFETCH(int, key);
        QFETCH(bool, staysOpen);
        QFETCH(QVariant, accID);
        QVERIFY(open(kind, true));
        auto *box = control<TDBLookupComboBox>(QStringLiteral("DBLookupComboBox1"));
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(box->ListVisible());
        press(Qt::Key_Down);
        press(Qt::Key_Down);
        press(Qt::Key(key));
        QVERIFY(!box->ListVisible());
        QCOMPARE(m_dialog->isVisible(), staysOpen);
        const bool ok = key == Qt::Key_Return;
        if (staysOpen) {
            QCOMPARE(m_kind.table()->State(), TDataSetState::dsInsert);
            QCOMPARE(m_kind.table()->FieldByName(QStringLiteral("AccID"))->Value(), accID);
            QCOMPARE(box->Text(), accID.isValid() ? QStringLiteral("Bank") : QString());
            press(Qt::Key_Return);
            QVERIFY(!m_dialog->isVisible());
        }
        QCOMPARE(storedRows(), ok || staysOpen ? 1 : 0);
        if (storedRows())
            QCOMPARE(stored(QStringLiteral("AccID")).toString(), accID.toString());
    }
};

QTEST_MAIN(tst_EntryDialogs)
#include "tst_entrydialogs.moc"
