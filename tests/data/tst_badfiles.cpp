#include "EngineDatabase.h"
#include "ReadOnlyPath.h"
#include "TField.h"
#include "TTable.h"
#include "TestAlias.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

#ifndef DURABILITY_WRITER
#error "DURABILITY_WRITER must name the built durability_writer executable"
#endif

namespace {

// Another program holding an exclusive lock on the books until release().
class LockingProgram
{
    Q_DISABLE_COPY(LockingProgram)

public:
    LockingProgram() = default;
    ~LockingProgram() { release(); }
    bool start()
    {
        m_process.start(QStringLiteral(DURABILITY_WRITER), {QStringLiteral("lock")});
        while (m_process.waitForReadyRead(10000)) {
            if (m_process.canReadLine())
                return m_process.readLine() == "locked\n";
        }
        return false;
    }
    void release()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        m_process.waitForFinished();
    }

private:
    QProcess m_process;
};

QString expensesRemarks(TestAlias &alias)
{
    QStringList remarks;
    QSqlQuery q(alias.fixture());
    q.exec(QStringLiteral("SELECT Remarks FROM Expenses ORDER BY Id"));
    while (q.next())
        remarks << q.value(0).toString();
    return remarks.join(QLatin1Char(','));
}

} // namespace

// Books the program cannot write, or that are not books at all, met while
// the program runs: the post that meets them is refused with a message that
// says why, the record stays pending, and nothing already stored is lost.
class tst_BadFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TEngineDatabase::closeAll(); }

    void refusedPostKeepsTheRecordPending_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message");
        // Whether the same post succeeds once the damage is undone, without
        // reopening the books.
        QTest::addColumn<bool>("retrySucceeds");
        QTest::newRow("locked by another program")
            << "lock" << "The database is locked by another program; try again later" << true;
        QTest::newRow("folder made read-only")
            << "folder" << "The database cannot be written: it or its folder is read-only" << true;
        QTest::newRow("file overwritten by something else") << "garbage" << "file is not a database" << true;
        QTest::newRow("table dropped by another program") << "table" << "Table does not exist: Expenses" << false;
    }
    void refusedPostKeepsTheRecordPending()
    {
        QFETCH(QString, damage);
        QFETCH(QString, message);
        QFETCH(bool, retrySucceeds);
        TestAlias alias;
        alias.exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash')"));
        alias.exec(QStringLiteral("INSERT INTO Expenses (Amount, Remarks) VALUES (5, 'stored')"));
        QObject owner;
        auto *expenses = new TTable(&owner);
        expenses->setObjectName(QStringLiteral("ExpensesTable"));
        expenses->setDatabaseName(QStringLiteral("ARD"));
        expenses->setTableName(QStringLiteral("Expenses.DB"));
        QVERIFY_DB({
            expenses->Open();
            expenses->Append();
            expenses->FieldByName(QStringLiteral("Amount"))->setAsFloat(7);
            expenses->FieldByName(QStringLiteral("Remarks"))->setAsString(QStringLiteral("pending"));
        });

        LockingProgram other;
        std::unique_ptr<ReadOnlyPath> readOnly;
        QByteArray original;
        if (damage == QLatin1String("lock")) {
            QVERIFY(other.start());
        } else if (damage == QLatin1String("folder")) {
            readOnly = std::make_unique<ReadOnlyPath>(alias.folder());
            if (!readOnly->possible())
                QSKIP("the folder cannot be made read-only here (root, and no immutable attribute)");
        } else if (damage == QLatin1String("garbage")) {
            QFile f(alias.databaseFile());
            QVERIFY(f.open(QIODevice::ReadWrite));
            original = f.readAll();
            f.seek(0);
            f.write(QByteArray(original.size(), 'x'));
        } else {
            alias.exec(QStringLiteral("DROP TABLE Expenses"));
        }

        QString refused;
        try {
            expenses->Post();
        } catch (const EDatabaseError &e) {
            refused = e.message();
        }
        QVERIFY2(refused.contains(message), qPrintable(refused));
        QCOMPARE(expenses->State(), TDataSetState::dsInsert);
        QCOMPARE(expenses->FieldByName(QStringLiteral("Remarks"))->AsString(), QStringLiteral("pending"));

        other.release();
        readOnly.reset();
        if (!original.isEmpty()) {
            QFile f(alias.databaseFile());
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.write(original);
        }
        if (retrySucceeds) {
            QVERIFY_DB(expenses->Post());
            QCOMPARE(expensesRemarks(alias), QStringLiteral("stored,pending"));
        }
        QCOMPARE(alias.scalar(QStringLiteral("SELECT AccName FROM Accounts")).toString(), QStringLiteral("Cash"));
        QCOMPARE(alias.scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    }
};

QTEST_GUILESS_MAIN(tst_BadFiles)
#include "tst_badfiles.moc"
