#include "DMUnit.h"
#include "ModalAnswer.h"
#include "ReadOnlyPath.h"
#include "Startup.h"
#include "TestAlias.h"
#include "frmMainUnit.h"

#include <QFile>
#include <QMessageBox>
#include <QtTest>

// Books that cannot be worked on end the start-up with the Application Error
// box and exit code 1, and the start-up leaves the file as it found it.
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
        QTest::newRow("read-only file") << "readonly file" << "it or its folder is read-only";
        QTest::newRow("read-only folder") << "readonly folder" << "it or its folder is read-only";
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
        std::unique_ptr<ReadOnlyPath> readOnly;
        if (damage == QLatin1String("lock")) {
            alias.exec(QStringLiteral("BEGIN EXCLUSIVE"));
        } else if (damage.startsWith(QLatin1String("readonly"))) {
            readOnly = std::make_unique<ReadOnlyPath>(damage.endsWith(QLatin1String("file")) ? alias.databaseFile()
                                                                                            : alias.folder());
            if (!readOnly->possible())
                QSKIP("cannot make books read-only here (root, and no immutable attribute on this file system)");
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
        readOnly.reset();
        QFile after(alias.databaseFile());
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);
    }
};

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
