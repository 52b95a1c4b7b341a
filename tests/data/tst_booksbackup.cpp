#include "BooksBackup.h"
#include "BooksLock.h"
#include "Clock.h"
#include "EngineCatalog.h"
#include "EngineDatabase.h"
#include "TestAlias.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>
#include <sys/file.h>

namespace {

// Runs statements on a database file through a connection of its own, opened
// afresh: after a restore, a connection opened before it still reads the
// file it replaced.
QString execOnFile(const QString &file, const QStringList &statements)
{
    const QString connection = QStringLiteral("tst_booksbackup-raw");
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(file);
        if (!db.open())
            error = db.lastError().text();
        for (const QString &sql : statements) {
            QSqlQuery q(db);
            if (error.isEmpty() && !q.exec(sql))
                error = sql + QStringLiteral(": ") + q.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return error;
}

// Every stored value of every table, in identity order: two files with the
// same hash hold the same books.
QByteArray contentHash(const QString &file)
{
    const QString connection = QStringLiteral("tst_booksbackup-hash");
    QCryptographicHash hash(QCryptographicHash::Sha256);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(file);
        if (!db.open())
            return QByteArray("cannot open");
        for (const TTableDef &t : EngineCatalog::tables()) {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(EngineCatalog::quoted(t.name))))
                hash.addData(QByteArray("no table"));
            while (q.next()) {
                for (int i = 0; i < int(t.columns.size()); ++i)
                    hash.addData(q.isNull(i) ? QByteArray("\x01null\x1f") : q.value(i).toString().toUtf8() + '\x1f');
                hash.addData(QByteArray("\x1e"));
            }
            hash.addData(t.name.toUtf8());
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return hash.result();
}

QByteArray fileHash(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

QStringList hidden(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden);
}

QDateTime at(const QString &text)
{
    return QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm"));
}

// The message of the engine error a step throws; empty when it throws none.
template <typename Step>
QString errorOf(Step step)
{
    try {
        step();
    } catch (const EDatabaseError &e) {
        return e.message();
    }
    return {};
}

struct TStageReport
{
    QString stage;
    qint64 done;
    qint64 total;
};

} // namespace

// Backups made with SQLite's backup API, kept by retention, listed with their
// counts, and a restore that refuses anything but sound books and never
// leaves the books worse.
class tst_BooksBackup : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAlias> m_alias;
    QDateTime m_now;

    QString books() const { return m_alias->databaseFile(); }
    QString backups() const { return BooksBackup::backupsFolder(books()); }

    void fill(int sales)
    {
        QVERIFY(m_alias->fixture().transaction());
        m_alias->exec(QStringLiteral("INSERT INTO Accounts (AccName) VALUES ('Cash'), ('Bank')"));
        m_alias->exec(QStringLiteral("INSERT INTO ExpTypes (ExpType) VALUES ('Rent')"));
        for (int i = 1; i <= sales; ++i)
            m_alias->exec(QStringLiteral("INSERT INTO Sales (Id, DocDate, Customer, Total, AccID) VALUES (?, ?, ?, ?, 1)"),
                          {i, QStringLiteral("2026-02-%1").arg(1 + i % 28, 2, 10, QLatin1Char('0')),
                           QStringLiteral("Customer %1").arg(i), i * 10.5});
        m_alias->exec(QStringLiteral("INSERT INTO Expenses (DocDate, Amount, AccID, ExpType) VALUES ('2026-02-03', 7.25, 2, 1)"));
        QVERIFY(m_alias->fixture().commit());
    }

private Q_SLOTS:
    void init()
    {
        m_alias = std::make_unique<TestAlias>();
        m_now = at(QStringLiteral("2026-03-01 14:25")).addSecs(30);
        Clock::setNowSource([this] { return m_now; });
    }

    void cleanup()
    {
        m_alias.reset();
        Clock::setNowSource({});
    }

    void backUpMakesCheckedNamedCopy()
    {
        fill(40);
        QList<TStageReport> reports;
        BooksBackup::TBackupInfo made;
        QVERIFY_DB(made = BooksBackup::backUp(books(), [&reports](const QString &s, qint64 d, qint64 t) {
            reports.append({s, d, t});
        }));
        QCOMPARE(made.file, QDir(backups()).absoluteFilePath(QStringLiteral("books-2026-03-01-142530.db")));
        QCOMPARE(contentHash(made.file), contentHash(books()));
        QCOMPARE(BooksCheck::countsText(made.counts),
                 QStringLiteral("Accounts.db 2, AccTrans.db 0, Expenses.db 1, ExpTypes.db 1, Purchases.DB 0, Sales.DB 40"));
        QCOMPARE(entries(backups()), (QStringList{QStringLiteral("books-2026-03-01-142530.db"),
                                                  QStringLiteral("books-2026-03-01-142530.db.counts")}));

        // Each stage goes forward and ends whole: the copy, then its check.
        QStringList stages;
        for (qsizetype i = 0; i < reports.size(); ++i) {
            const TStageReport &r = reports.at(i);
            if (stages.isEmpty() || stages.last() != r.stage)
                stages << r.stage;
            else
                QVERIFY(r.done >= reports.at(i - 1).done);
            QVERIFY(r.done <= r.total);
            if (i + 1 == reports.size() || reports.at(i + 1).stage != r.stage)
                QCOMPARE(r.done, r.total);
        }
        QCOMPARE(stages, (QStringList{QStringLiteral("Copying the books"), QStringLiteral("Checking the copy")}));

        // A second backup in the same second gets a name of its own, and the
        // list shows both, newest first, with their counts.
        m_alias->exec(QStringLiteral("DELETE FROM Sales WHERE Id > 30"));
        QVERIFY_DB(made = BooksBackup::backUp(books()));
        QCOMPARE(QFileInfo(made.file).fileName(), QStringLiteral("books-2026-03-01-142530-2.db"));
        QList<BooksBackup::TBackupInfo> listed;
        QVERIFY_DB(listed = BooksBackup::list(books()));
        QCOMPARE(listed.size(), 2);
        QCOMPARE(listed.at(0).file, made.file);
        QCOMPARE(listed.at(0).counts.last().rows, 30);
        QCOMPARE(listed.at(1).counts.last().rows, 40);
        QCOMPARE(listed.at(1).taken, m_now);
        QCOMPARE(listed.at(1).size, QFileInfo(listed.at(1).file).size());
        QCOMPARE(BooksBackup::newest(books()), std::optional<QDateTime>(m_now));
    }

    void retention_data()
    {
        QTest::addColumn<QStringList>("taken");  // "yyyy-MM-dd HH:mm", any order
        QTest::addColumn<QString>("now");
        QTest::addColumn<QStringList>("removed");

        QStringList oneDay;
        for (int i = 0; i < 11; ++i)
            oneDay << QStringLiteral("2026-03-01 10:%1").arg(i, 2, 10, QLatin1Char('0'));
        QTest::newRow("ten or fewer are all kept") << oneDay.mid(1, 10) << "2026-03-01 12:00" << QStringList{};
        QTest::newRow("the eleventh of one day goes") << oneDay << "2026-03-01 12:00" << oneDay.mid(0, 1);

        // The 1st and the 15th of every month from January 2025 to March
        // 2026: the ten newest, then the newest of each month back to April
        // 2025; January to March 2025 are thirteen months back and more.
        QStringList twiceAMonth;
        QStringList removed;
        for (QDate d(2025, 1, 1); d <= QDate(2026, 3, 1); d = d.addMonths(1)) {
            for (int day : {1, 15}) {
                const QString text = QDate(d.year(), d.month(), day).toString(QStringLiteral("yyyy-MM-dd 09:00"));
                twiceAMonth << text;
                const bool newest = d >= QDate(2025, 11, 1);
                if (!newest && (d < QDate(2025, 4, 1) || day == 1))
                    removed << text;
            }
        }
        QTest::newRow("one a month for twelve months") << twiceAMonth << "2026-03-20 12:00" << removed;

        QStringList years = oneDay.mid(1, 10);
        years << QStringLiteral("2019-06-01 09:00") << QStringLiteral("2019-12-31 23:59")
              << QStringLiteral("2020-07-07 09:00") << QStringLiteral("2020-05-05 09:00");
        QTest::newRow("the newest of every year stays")
            << years << "2026-03-01 12:00"
            << QStringList{QStringLiteral("2019-06-01 09:00"), QStringLiteral("2020-05-05 09:00")};
    }

    void retention()
    {
        QFETCH(QStringList, taken);
        QFETCH(QString, now);
        QFETCH(QStringList, removed);
        QList<QDateTime> times;
        for (const QString &t : std::as_const(taken))
            times << at(t);
        const QList<bool> keep = BooksBackup::retained(times, at(now));
        QStringList gone;
        for (qsizetype i = 0; i < taken.size(); ++i)
            if (!keep.at(i))
                gone << taken.at(i);
        gone.sort();
        removed.sort();
        QCOMPARE(gone, removed);
    }

    // A backup removes what retention no longer keeps, with its counts, and
    // what killed runs left long ago; nothing else in the folder.
    void backUpRemovesWhatRetentionDoesNotKeep()
    {
        fill(3);
        QStringList made;
        for (int hour = 0; hour < BooksBackup::KeepLast; ++hour) {
            m_now = at(QStringLiteral("2026-03-01 08:00")).addSecs(hour * 3600);
            QVERIFY_DB(made << QFileInfo(BooksBackup::backUp(books()).file).fileName());
        }
        QCOMPARE(entries(backups()).size(), 2 * BooksBackup::KeepLast);
        const auto put = [this](const QString &name, int hoursOld) {
            QFile f(QDir(backups()).filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("x");
            QVERIFY(f.flush());
            QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-hoursOld * 3600),
                                  QFileDevice::FileModificationTime));
        };
        put(QStringLiteral("notes.txt"), 100);
        put(QStringLiteral("books-2020-01-01-000000.db.counts"), 100);                 // its backup is gone
        put(QStringLiteral(".books-2026-02-01-000000.db.partial-1-1"), 2);             // a killed run's
        put(QStringLiteral(".books-2026-02-01-000000.db.partial-1-1-journal"), 2);
        put(QStringLiteral(".books-2026-03-01-100000.db.partial-2-1"), 2);             // a run still going
        QFile going(QDir(backups()).filePath(QStringLiteral(".books-2026-03-01-100000.db.partial-2-1")));
        QVERIFY(going.open(QIODevice::ReadOnly));
        QCOMPARE(::flock(going.handle(), LOCK_EX), 0);

        m_now = at(QStringLiteral("2026-03-01 20:00"));
        QVERIFY_DB(made << QFileInfo(BooksBackup::backUp(books()).file).fileName());
        QStringList expected;
        for (const QString &name : made.mid(1))
            expected << name << name + QStringLiteral(".counts");
        expected << QStringLiteral(".books-2026-03-01-100000.db.partial-2-1") << QStringLiteral("notes.txt");
        expected.sort();
        QCOMPARE(entries(backups()), expected);
    }

    void listCountsBackupsWithoutRecord()
    {
        fill(5);
        BooksBackup::TBackupInfo made;
        QVERIFY_DB(made = BooksBackup::backUp(books()));
        QVERIFY(QFile::remove(made.file + QStringLiteral(".counts")));
        QFile garbage(QDir(backups()).filePath(QStringLiteral("books-2026-01-01-000000.db")));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray("not the books\n").repeated(100));
        garbage.close();

        QList<BooksBackup::TBackupInfo> listed;
        QVERIFY_DB(listed = BooksBackup::list(books()));
        QCOMPARE(listed.size(), 2);
        QCOMPARE(listed.at(0).counts.last().rows, 5);
        QVERIFY(listed.at(0).problem.isEmpty());
        QVERIFY(listed.at(1).counts.isEmpty());
        QVERIFY2(listed.at(1).problem.contains(QStringLiteral("not a database")), qPrintable(listed.at(1).problem));
    }

    void restorePutsBackupInPlace()
    {
        fill(20);
        BooksBackup::TBackupInfo before;
        QVERIFY_DB(before = BooksBackup::backUp(books()));
        const QByteArray backedUp = contentHash(books());
        m_alias->exec(QStringLiteral("DELETE FROM Sales WHERE Id > 5"));
        m_alias->exec(QStringLiteral("UPDATE Accounts SET AccName = 'Till' WHERE AccID = 1"));
        const QByteArray changed = contentHash(books());
        m_alias->fixture().close();

        const QByteArray earlier = fileHash(before.file);
        m_now = m_now.addSecs(3600);
        QStringList stages;
        BooksBackup::TRestoreResult r;
        QVERIFY_DB(r = BooksBackup::restore(books(), before.file, [&stages](const QString &s, qint64, qint64) {
            if (stages.isEmpty() || stages.last() != s)
                stages << s;
        }));
        QCOMPARE(stages, (QStringList{QStringLiteral("Copying the backup"), QStringLiteral("Checking the backup"),
                                      QStringLiteral("Backing up the books as they are"),
                                      QStringLiteral("Checking that backup"), QStringLiteral("Replacing the books")}));
        QCOMPARE(contentHash(books()), backedUp);
        QCOMPARE(r.source, before.file);
        QCOMPARE(r.counts.last().rows, 20);
        QCOMPARE(contentHash(r.previous.file), changed);
        QCOMPARE(BooksBackup::list(books()).size(), 2);
        QCOMPARE(fileHash(before.file), earlier);
        // Nothing is left beside the books but themselves and their lock.
        QCOMPARE(entries(m_alias->folder()), (QStringList{QStringLiteral("books.db"), QStringLiteral("books.db.lock")}));
        // The engine opens what is there now.
        QSqlQuery q;
        QVERIFY_DB(q = TEngineDatabase::forAlias(QStringLiteral("ARD"))
                           .run(QStringLiteral("SELECT AccName FROM Accounts WHERE AccID = 1")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("Cash"));
    }

    void restoreRefusesUnsoundFile_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("expected");  // part of the message
        QTest::newRow("not a database") << "garbage" << "file is not a database";
        QTest::newRow("a table missing") << "DROP TABLE Sales" << "Sales.DB";
        QTest::newRow("a column missing") << "ALTER TABLE Expenses DROP COLUMN Remarks" << "Remarks";
        QTest::newRow("a damaged page") << "page" << "not a sound set of the books";
        QTest::newRow("records gone since it was made") << "DELETE FROM Sales WHERE Id = 3" << "other counts";
        QTest::newRow("no such file") << "missing" << "no such file";
        QTest::newRow("the books themselves") << "books" << "the books themselves";
    }

    void restoreRefusesUnsoundFile()
    {
        QFETCH(QString, damage);
        QFETCH(QString, expected);
        fill(200);
        BooksBackup::TBackupInfo made;
        QVERIFY_DB(made = BooksBackup::backUp(books()));
        QString source = made.file;
        if (damage == QLatin1String("garbage")) {
            QFile f(source);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray("These are not the books you are looking for.\n").repeated(200));
        } else if (damage == QLatin1String("page")) {
            // A b-tree page gets a page type that does not exist.
            QFile f(source);
            QVERIFY(f.open(QIODevice::ReadWrite));
            const qint64 pageSize = 4096;
            QVERIFY(f.size() > 4 * pageSize);
            QVERIFY(f.seek(2 * pageSize));
            f.write(QByteArray(8, '\xff'));
        } else if (damage == QLatin1String("missing")) {
            source += QStringLiteral(".gone");
        } else if (damage == QLatin1String("books")) {
            source = books();
        } else {
            const QString error = execOnFile(source, {damage});
            QVERIFY2(error.isEmpty(), qPrintable(error));
        }
        const QByteArray booksBefore = fileHash(books());
        const QStringList backupsBefore = entries(backups());

        const QString error = errorOf([&] { BooksBackup::restore(books(), source, {}); });
        QVERIFY2(error.contains(expected), qPrintable(error));
        QVERIFY2(error.endsWith(QStringLiteral("Nothing was replaced.")), qPrintable(error));
        QCOMPARE(fileHash(books()), booksBefore);
        QCOMPARE(entries(backups()), backupsBefore);
        QCOMPARE(hidden(m_alias->folder()), QStringList{});
    }

    // The lock tells the books open in another copy: the restore refuses, and
    // a copy that starts while a restore runs waits, then is told.
    void restoreAndOpenExcludeEachOther()
    {
        fill(5);
        BooksBackup::TBackupInfo made;
        QVERIFY_DB(made = BooksBackup::backUp(books()));
        QVERIFY_DB(TEngineDatabase::forAlias(QStringLiteral("ARD")));
        const QByteArray booksBefore = fileHash(books());
        const QString error = errorOf([&] { BooksBackup::restore(books(), made.file, {}); });
        QVERIFY2(error.contains(QStringLiteral("open in another copy of Ardentry")), qPrintable(error));
        QCOMPARE(fileHash(books()), booksBefore);
        QCOMPARE(BooksBackup::list(books()).size(), 1);

        TEngineDatabase::closeAll();
        {
            std::unique_ptr<TBooksLock> restoring = TBooksLock::take(books(), TBooksLock::Mode::Exclusive);
            QVERIFY(restoring);
            QElapsedTimer waited;
            waited.start();
            QVERIFY_DB_ERROR(TEngineDatabase::forAlias(QStringLiteral("ARD")),
                             QStringLiteral("Cannot open the database %1: a restore is replacing it; try again later")
                                 .arg(books()));
            QVERIFY(waited.elapsed() >= 4000);
        }
        QVERIFY_DB(BooksBackup::restore(books(), made.file, {}));
    }

    // Books that another program left with a change half made (a hot
    // rollback journal beside them), or in write-ahead mode, are replaced
    // whole: no journal of theirs is ever played into the restored books.
    void restoreLeavesNothingOfTheOldBooksBehind_data()
    {
        QTest::addColumn<QString>("state");
        QTest::newRow("a change half made") << "hot journal";
        QTest::newRow("write-ahead log") << "wal";
    }

    void restoreLeavesNothingOfTheOldBooksBehind()
    {
        QFETCH(QString, state);
        const bool wal = state == QLatin1String("wal");
        fill(200);
        BooksBackup::TBackupInfo made;
        QVERIFY_DB(made = BooksBackup::backUp(books()));
        const QByteArray backedUp = contentHash(made.file);
        m_alias->fixture().close();
        const QString journal = books() + (wal ? QStringLiteral("-wal") : QStringLiteral("-journal"));

        // What a writer killed in the middle leaves: a copy of the books and
        // of their journal or log, taken while it still had them open. A
        // rollback journal holds a change half made (the transaction had to
        // write pages early), a write-ahead log a change committed but not
        // yet played into the file.
        const QString crashed = m_alias->folder() + QStringLiteral("-crashed");
        QVERIFY(QDir().mkpath(crashed));
        QByteArray previous = backedUp;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("writer"));
            db.setDatabaseName(books());
            QVERIFY(db.open());
            QSqlQuery q(db);
            if (wal) {
                QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode = WAL")));
                QVERIFY(q.exec(QStringLiteral("PRAGMA wal_autocheckpoint = 0")));
                QVERIFY(q.exec(QStringLiteral("DELETE FROM Sales WHERE Id > 10")));
                previous = contentHash(books());
            } else {
                QVERIFY(q.exec(QStringLiteral("PRAGMA cache_size = 1")));
                QVERIFY(q.exec(QStringLiteral("BEGIN")));
                QVERIFY(q.exec(QStringLiteral("UPDATE Sales SET Customer = Customer || printf('%.500c', 'x')")));
            }
            QVERIFY(QFile::copy(books(), crashed + QStringLiteral("/books.db")));
            QVERIFY(QFile::copy(journal, crashed + QStringLiteral("/journal")));
            if (!wal)
                QVERIFY(q.exec(QStringLiteral("ROLLBACK")));
            q.finish();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("writer"));
        QFile::remove(journal);
        QVERIFY(QFile::remove(books()));
        QVERIFY(QFile::copy(crashed + QStringLiteral("/books.db"), books()));
        QVERIFY(QFile::copy(crashed + QStringLiteral("/journal"), journal));
        if (!wal) {
            QFile j(journal);
            QVERIFY(j.open(QIODevice::ReadOnly));
            QCOMPARE(j.read(8), QByteArray::fromHex("d9d505f920a163d7"));
        }

        m_now = m_now.addSecs(60);
        BooksBackup::TRestoreResult r;
        QVERIFY_DB(r = BooksBackup::restore(books(), made.file, {}));
        QVERIFY(!QFileInfo::exists(journal));
        QVERIFY(!QFileInfo::exists(books() + QStringLiteral("-shm")));
        QCOMPARE(contentHash(books()), backedUp);
        QCOMPARE(execOnFile(books(), {QStringLiteral("PRAGMA integrity_check")}), QString());
        // The books as they were are backed up as their journal or log
        // leaves them: without the half-made change, with the committed one.
        QCOMPARE(contentHash(r.previous.file), previous);
        QVERIFY(previous != backedUp || !wal);
    }
};

QTEST_GUILESS_MAIN(tst_BooksBackup)
#include "tst_booksbackup.moc"
