#include "DMUnit.h"
#include "ModalAnswer.h"
#include "ReadOnlyPath.h"
#include "Startup.h"
#include "TestAlias.h"
#include "TTable.h"
#include "frmMainUnit.h"
#include "ui_frmMainUnit.h"

#include <QFile>
#include <QMessageBox>
#include <QtTest>

// Books that cannot be worked on end the start-up with the Application Error
// box and exit code 1, and the start-up leaves the file as it found it.
// Read-only books open for viewing.
class tst_Startup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Startup::finish(); }

    void badBooksEndTheStartUp_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message");
        QTest::newRow("locked by another program")
            << "lock" << "The database is locked by another program; try again later";
        QTest::newRow("zero-byte file") << "empty" << "Table does not exist: Accounts";
        QTest::newRow("truncated database") << "truncated" << "database disk image is malformed";
    }
    void badBooksEndTheStartUp()
    {
        QFETCH(QString, damage);
        QFETCH(QString, message);
        TestAlias alias;
        // Enough records that the tables reach well past the first pages.
        alias.exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash')"));
        alias.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                                  "INSERT INTO Expenses (DocDate, AccID, Amount, Remarks) "
                                  "SELECT '2024-03-01', 1, i, 'expense ' || i FROM n"));
        if (damage == QLatin1String("lock")) {
            alias.exec(QStringLiteral("BEGIN EXCLUSIVE"));
        } else {
            alias.fixture().close();
            QFile f(alias.databaseFile());
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.resize(damage == QLatin1String("empty") ? 0 : f.size() / 2));
        }
        const QByteArray before = [&] {
            QFile f(alias.databaseFile());
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();

        ModalAnswer answer(QStringLiteral("Return"));
        QCOMPARE(Startup::run(*qApp), 1);
        QCOMPARE(answer.count(), 1);
        QCOMPARE(answer.title(), QStringLiteral("Application Error"));
        QVERIFY2(answer.text().contains(message), qPrintable(answer.text()));
        QCOMPARE(answer.icons().value(0), int(QMessageBox::Critical));
        QVERIFY(!frmMain);
        QVERIFY(!DM);

        if (damage == QLatin1String("lock"))
            alias.exec(QStringLiteral("ROLLBACK"));
        QFile after(alias.databaseFile());
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);
    }

    // Books on a read-only medium open for viewing: the user is told once
    // that changes cannot be saved, the Summary shows what they hold, and a
    // new sale is refused with the engine's message, the dialog staying open
    // until it is cancelled. Nothing is written.
    void readOnlyBooksOpenForViewing_data()
    {
        QTest::addColumn<bool>("wholeFolder");
        QTest::newRow("read-only file") << false;
        QTest::newRow("read-only folder") << true;
    }
    void readOnlyBooksOpenForViewing()
    {
        QFETCH(bool, wholeFolder);
        TestAlias alias;
        alias.exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash')"));
        alias.exec(QStringLiteral("INSERT INTO Sales (Id, DocDate, Total) VALUES (1, ?, 1500)"),
                   {QDate::currentDate().toString(Qt::ISODate)});
        alias.fixture().close();
        ReadOnlyPath readOnly(wholeFolder ? alias.folder() : alias.databaseFile());
        if (!readOnly.possible())
            QSKIP("cannot make books read-only here (root, and no immutable attribute on this file system)");
        const QByteArray before = [&] {
            QFile f(alias.databaseFile());
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();

        {
            ModalAnswer told(QStringLiteral("Return"));
            QVERIFY(Startup::start());
            frmMain->show();
            QVERIFY(QTest::qWaitForWindowExposed(frmMain));
            QTRY_COMPARE(told.count(), 1);
            QCOMPARE(told.title(), QStringLiteral("Warning"));
            QVERIFY2(told.text().contains(QLatin1String("read-only")) &&
                         told.text().contains(QLatin1String("changes cannot be saved")),
                     qPrintable(told.text()));
            QCOMPARE(told.icons().value(0), int(QMessageBox::Warning));
        }
        QCOMPARE(frmMain->ui->lblSales->text(), QStringLiteral("1500"));

        // OK in the sale dialog (pressed once the answer's own turn is over,
        // so that the box it opens is answered in turn), OK in the box, then
        // Cancel in the dialog, still open on the refused record.
        auto later = [](QWidget *w, Qt::Key key) {
            QTimer::singleShot(0, w, [w, key] { QTest::keyClick(w->focusWidget() ? w->focusWidget() : w, key); });
        };
        ModalAnswer refused(QList<ModalAnswer::Step>{
            [later](QWidget *dialog) { later(dialog, Qt::Key_Return); },
            [later](QWidget *box) { later(box, Qt::Key_Return); },
            [later](QWidget *dialog) { later(dialog, Qt::Key_Escape); },
        });
        frmMain->BitBtn12Click(frmMain->ui->btnNewSale);
        QCOMPARE(refused.titles(), (QStringList{"Sales And Income", "Ardentry", "Sales And Income"}));
        QCOMPARE(refused.texts().value(1),
                 QStringLiteral("The database cannot be written: it or its folder is read-only."));
        QCOMPARE(DM->SalesTable->State(), TDataSetState::dsBrowse);
        QCOMPARE(frmMain->ui->lblSales->text(), QStringLiteral("1500"));
        Startup::finish();

        QFile after(alias.databaseFile());
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);
    }
};

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
