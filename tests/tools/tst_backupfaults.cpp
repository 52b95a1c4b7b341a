#include "AdminTool.h"
#include "BooksBackup.h"
#include "BooksLock.h"
#include "EngineConfig.h"
#include "EngineDatabase.h"
#include "ReadOnlyPath.h"
#include "TestAlias.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>
#include <sys/resource.h>

#ifndef ARDENTRY_DB_EXE
#error "ARDENTRY_DB_EXE must name the built ardentry-db executable"
#endif
#ifndef ARDENTRY_EXE
#error "ARDENTRY_EXE must name the built program"
#endif

namespace {

// Books large enough that every stage of a backup or a restore lasts long
// enough to be killed in (a copy of some 40 MB, and its check).
constexpr qint64 LargeRows = 100000;

QByteArray fileHash(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&f);
    return hash.result();
}

// What tells two versions of the test's books apart, read through a
// connection opened afresh.
QString salesFigures(const QString &file)
{
    const QString connection = QStringLiteral("tst_backupfaults-read");
    QString result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(file);
        QSqlQuery q(db);
        if (!db.open() || !q.exec(QStringLiteral("SELECT count(*), total(Total) FROM Sales")) || !q.next())
            result = QStringLiteral("unreadable: ") + q.lastError().text();
        else
            result = q.value(0).toString() + QLatin1Char('/') + q.value(1).toString();
    }
    QSqlDatabase::removeDatabase(connection);
    return result;
}

QString change(const QString &file, const QString &sql)
{
    const QString connection = QStringLiteral("tst_backupfaults-change");
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(file);
        QSqlQuery q(db);
        if (!db.open() || !q.exec(sql))
            error = q.lastError().text();
    }
    QSqlDatabase::removeDatabase(connection);
    return error;
}

// Every backup file and its hash.
QHash<QString, QByteArray> backupFiles(const QString &books)
{
    QHash<QString, QByteArray> files;
    const QDir folder(BooksBackup::backupsFolder(books));
    for (const QString &name : folder.entryList(QDir::Files))
        files.insert(name, fileHash(folder.filePath(name)));
    return files;
}

QStringList listed(const QString &books)
{
    QStringList names;
    for (const BooksBackup::TBackupInfo &b : BooksBackup::list(books))
        names << QFileInfo(b.file).fileName();
    return names;
}

QStringList temporaries(const QString &books)
{
    const QString name = QStringLiteral(".*.partial-*");
    return QDir(QFileInfo(books).absolutePath()).entryList({name}, QDir::Files | QDir::Hidden) +
           QDir(BooksBackup::backupsFolder(books)).entryList({name}, QDir::Files | QDir::Hidden);
}

struct TRun
{
    int exitCode = -1;
    QString error;
};

TRun runTool(const QStringList &arguments, qint64 fileSizeLimit = 0)
{
    QProcess tool;
    if (fileSizeLimit > 0)
        tool.setChildProcessModifier([fileSizeLimit] {
            const rlimit limit{rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    tool.start(QStringLiteral(ARDENTRY_DB_EXE), arguments);
    if (!tool.waitForFinished(120000))
        return {-1, tool.errorString()};
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -2,
            QString::fromLocal8Bit(tool.readAllStandardError())};
}

} // namespace

// The backup and restore commands under the faults a user meets: killed in
// the middle, a full disk, a backups folder that cannot be written, and the
// books open in another copy of the program. None of them loses the books or
// an earlier backup.
class tst_BackupFaults : public QObject
{
    Q_OBJECT

    QTemporaryDir m_large;
    QString m_largeBooks;
    std::unique_ptr<TestAlias> m_alias;

    QString books() const { return m_alias->databaseFile(); }

    // Runs the tool and kills it (SIGKILL) as soon as it reports `stage`;
    // `inTime`: the kill must come before the command ends by itself.
    void killAt(const QStringList &arguments, const QString &stage, bool inTime)
    {
        QProcess tool;
        tool.setReadChannel(QProcess::StandardError);
        tool.start(QStringLiteral(ARDENTRY_DB_EXE), arguments);
        QByteArray progress;
        while (!progress.contains((stage + QLatin1Char('\n')).toUtf8()) && tool.waitForReadyRead(60000))
            progress += tool.readAllStandardError();
        tool.kill();
        QVERIFY(tool.waitForFinished());
        QVERIFY2(progress.contains(stage.toUtf8()), progress.constData());
        if (inTime)
            QCOMPARE(tool.exitStatus(), QProcess::CrashExit);
    }

    // Every file of the backups folder that was there before is still there
    // as it was.
    void keptWhole(const QHash<QString, QByteArray> &before)
    {
        const QHash<QString, QByteArray> after = backupFiles(books());
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QCOMPARE(after.value(it.key()), it.value());
    }

    // Makes what a killed run left look two minutes old.
    void ageTemporaries()
    {
        for (const QString &folder : {QFileInfo(books()).absolutePath(), BooksBackup::backupsFolder(books())}) {
            const QFileInfoList left = QDir(folder).entryInfoList({QStringLiteral(".*.partial-*")}, QDir::Files | QDir::Hidden);
            for (const QFileInfo &f : left) {
                QFile file(f.absoluteFilePath());
                QVERIFY(file.open(QIODevice::ReadWrite));
                QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-120), QFileDevice::FileModificationTime));
            }
        }
    }

    // Puts the large books in the alias's place.
    void useLargeBooks()
    {
        m_alias->fixture().close();
        QVERIFY(QFile::remove(books()));
        QVERIFY(QFile::copy(m_largeBooks, books()));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_large.isValid());
        const QByteArray config = qgetenv(EngineConfig::ConfigEnvVar);
        qputenv(EngineConfig::ConfigEnvVar, m_large.filePath(QStringLiteral("engine.ini")).toLocal8Bit());
        QVERIFY_DB(AdminTool::create(QStringLiteral("LARGE"), m_large.filePath(QStringLiteral("books"))));
        AdminTool::TGenerateOptions o;
        o.rows = LargeRows;
        o.end = QDate(2026, 2, 28);
        QVERIFY_DB(AdminTool::generate(QStringLiteral("LARGE"), o));
        TEngineDatabase::closeAll();
        m_largeBooks = EngineConfig::databaseFile(m_large.filePath(QStringLiteral("books")));
        qputenv(EngineConfig::ConfigEnvVar, config);
    }

    void init() { m_alias = std::make_unique<TestAlias>(); }
    void cleanup() { m_alias.reset(); }

    // Killed at any stage, a backup leaves the books and every earlier backup
    // as they were, and lists nothing it did not finish.
    void killedBackup_data()
    {
        QTest::addColumn<QString>("stage");  // the progress line the kill follows
        QTest::addColumn<bool>("finishable"); // the backup may have been finished
        QTest::newRow("copying") << "Copying the books: 10%" << false;
        QTest::newRow("checking") << "Checking the copy: 10%" << false;
        QTest::newRow("checked") << "Checking the copy: 100%" << true;
    }

    void killedBackup()
    {
        QFETCH(QString, stage);
        QFETCH(bool, finishable);
        useLargeBooks();
        QVERIFY_DB(BooksBackup::backUp(books()));
        const QHash<QString, QByteArray> before = backupFiles(books());
        const QStringList listedBefore = listed(books());
        const QByteArray booksBefore = fileHash(books());

        killAt({QStringLiteral("backup")}, stage, !finishable);

        QCOMPARE(fileHash(books()), booksBefore);
        keptWhole(before);
        const QStringList listedAfter = listed(books());
        if (!finishable || listedAfter.size() == listedBefore.size()) {
            QCOMPARE(listedAfter, listedBefore);
        } else {
            QCOMPARE(listedAfter.mid(1), listedBefore);
            QCOMPARE(salesFigures(BooksBackup::list(books()).constFirst().file), salesFigures(books()));
        }
        // What the killed run left does not stand in the next one's way, and
        // goes once it is old enough not to be a run just starting.
        ageTemporaries();
        const TRun again = runTool({QStringLiteral("backup")});
        QVERIFY2(again.exitCode == 0, qPrintable(again.error));
        QCOMPARE(temporaries(books()), QStringList{});
    }

    // Killed at any stage, a restore leaves the old books or, once it has
    // renamed the checked copy, the new ones; every earlier backup stays.
    void killedRestore_data()
    {
        QTest::addColumn<QString>("stage");
        QTest::addColumn<bool>("replaceable");  // the books may have been replaced
        QTest::newRow("copying the backup") << "Copying the backup: 10%" << false;
        QTest::newRow("checking the backup") << "Checking the backup: 10%" << false;
        QTest::newRow("backing up the books") << "Backing up the books as they are: 10%" << false;
        QTest::newRow("checking that backup") << "Checking that backup: 10%" << false;
        QTest::newRow("replacing") << "Replacing the books: 0%" << true;
    }

    void killedRestore()
    {
        QFETCH(QString, stage);
        QFETCH(bool, replaceable);
        useLargeBooks();
        BooksBackup::TBackupInfo earlier;
        QVERIFY_DB(earlier = BooksBackup::backUp(books()));
        QCOMPARE(change(books(), QStringLiteral("DELETE FROM Sales WHERE Id % 2 = 0")), QString());
        const QString oldBooks = salesFigures(books());
        const QString newBooks = salesFigures(earlier.file);
        QVERIFY(oldBooks != newBooks);
        const QHash<QString, QByteArray> before = backupFiles(books());

        killAt({QStringLiteral("restore"), earlier.file}, stage, !replaceable);

        const QString now = salesFigures(books());
        if (replaceable)
            QVERIFY2(now == oldBooks || now == newBooks, qPrintable(now));
        else
            QCOMPARE(now, oldBooks);
        AdminTool::TCheckReport report;
        QVERIFY_DB(report = AdminTool::check(QStringLiteral("ARD")));
        TEngineDatabase::closeAll();
        keptWhole(before);
        for (const BooksBackup::TBackupInfo &b : BooksBackup::list(books()))
            QVERIFY2(b.problem.isEmpty(), qPrintable(b.problem));

        ageTemporaries();
        const TRun again = runTool({QStringLiteral("restore"), earlier.file});
        QVERIFY2(again.exitCode == 0, qPrintable(again.error));
        QCOMPARE(salesFigures(books()), newBooks);
        QCOMPARE(temporaries(books()), QStringList{});
    }

    // A disk that fills (here: a limit on the size of the files the tool may
    // write) and a backups folder that cannot be written each stop the
    // command with a message that says so; the books stay as they were.
    void writeFailures_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("expected");
        for (const char *command : {"backup", "restore"}) {
            QTest::addRow("%s, disk full", command) << command << "full" << "the file would grow larger than the system allows";
            QTest::addRow("%s, read-only backups folder", command) << command << "read-only" << "the folder cannot be written";
        }
    }

    void writeFailures()
    {
        QFETCH(QString, command);
        QFETCH(QString, fault);
        QFETCH(QString, expected);
        QVERIFY_DB(AdminTool::sample(QStringLiteral("ARD")));
        TEngineDatabase::closeAll();
        BooksBackup::TBackupInfo earlier;
        QVERIFY_DB(earlier = BooksBackup::backUp(books()));
        QCOMPARE(change(books(), QStringLiteral("DELETE FROM Sales")), QString());
        const QByteArray booksBefore = fileHash(books());
        const QHash<QString, QByteArray> backupsBefore = backupFiles(books());

        std::unique_ptr<ReadOnlyPath> readOnly;
        if (fault == QLatin1String("read-only")) {
            readOnly = std::make_unique<ReadOnlyPath>(BooksBackup::backupsFolder(books()));
            if (!readOnly->possible())
                QSKIP("this file system cannot make a folder read-only");
        }
        const QStringList arguments =
            command == QLatin1String("backup") ? QStringList{command} : QStringList{command, earlier.file};
        // The books are some 70 KB: a copy of them outgrows 16 KB.
        const TRun run = runTool(arguments, fault == QLatin1String("full") ? 16 * 1024 : 0);
        readOnly.reset();

        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.error.contains(expected), qPrintable(run.error));
        if (command == QLatin1String("restore"))
            QVERIFY2(run.error.contains(QStringLiteral("Nothing was replaced.")), qPrintable(run.error));
        QCOMPARE(fileHash(books()), booksBefore);
        QCOMPARE(backupFiles(books()), backupsBefore);
        QCOMPARE(temporaries(books()), QStringList{});
    }

    // The program holds the books open: a restore refuses them and replaces
    // nothing, and goes ahead once the program has ended.
    void restoreRefusedWhileTheProgramRuns()
    {
        QVERIFY_DB(AdminTool::sample(QStringLiteral("ARD")));
        TEngineDatabase::closeAll();
        BooksBackup::TBackupInfo earlier;
        QVERIFY_DB(earlier = BooksBackup::backUp(books()));
        QCOMPARE(change(books(), QStringLiteral("DELETE FROM Sales")), QString());
        const QByteArray booksBefore = fileHash(books());

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(ARDENTRY_EXE));
        QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));
        // The program has the books open once their lock cannot be had alone.
        QTRY_VERIFY_WITH_TIMEOUT(!TBooksLock::take(books(), TBooksLock::Mode::Exclusive), 30000);

        const TRun refused = runTool({QStringLiteral("restore"), earlier.file});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.error.contains(QStringLiteral("open in another copy of Ardentry")), qPrintable(refused.error));
        QVERIFY2(refused.error.contains(QStringLiteral("Nothing was replaced.")), qPrintable(refused.error));
        QCOMPARE(fileHash(books()), booksBefore);
        QCOMPARE(listed(books()).size(), 1);
        QCOMPARE(program.state(), QProcess::Running);

        program.kill();
        QVERIFY(program.waitForFinished());
        const TRun restored = runTool({QStringLiteral("restore"), earlier.file});
        QVERIFY2(restored.exitCode == 0, qPrintable(restored.error));
        QCOMPARE(salesFigures(books()), salesFigures(earlier.file));
    }
};

QTEST_GUILESS_MAIN(tst_BackupFaults)
#include "tst_backupfaults.moc"
