#include "BooksBackup.h"

#include "BooksLock.h"
#include "Clock.h"
#include "EDatabaseError.h"
#include "EngineCatalog.h"
#include "EngineDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <numeric>
#include <sqlite3.h>
#include <unistd.h>

namespace {

// Pages copied between two reports of progress: 4 MB of the usual 4 KB
// pages, a hundred reports or so for ten years of books.
constexpr int StepPages = 1024;

// A temporary file younger than this is never taken for one a killed run
// left (see removeStaleTemporaries).
constexpr qint64 StaleTemporarySecs = 60;

const QString BackupsFolderName = QStringLiteral("Backups");
const QString CountsSuffix = QStringLiteral(".counts");
// Temporary files are hidden and carry this in their name, followed by the
// process and a serial number.
const QString PartialMark = QStringLiteral(".partial-");
const QString NameTimeFormat = QStringLiteral("yyyy-MM-dd-HHmmss");

// The source of a copy is not a sound set of the books (as opposed to a
// copy that could not be written).
class ENotSound : public EDatabaseError
{
public:
    using EDatabaseError::EDatabaseError;
};

QString systemError(int error)
{
    return qt_error_string(error);
}

// What a failed write of SQLite means for the user.
QString writeProblem(sqlite3 *db, int rc)
{
    const int error = sqlite3_system_errno(db);
    const int primary = rc & 0xff;
    if (primary == SQLITE_FULL || error == ENOSPC || error == EDQUOT)
        return QStringLiteral("the disk is full");
    if (error == EFBIG)
        return QStringLiteral("the file would grow larger than the system allows");
    if (primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY || primary == SQLITE_PERM || error == EACCES ||
        error == EROFS || error == EPERM)
        return QStringLiteral("the folder cannot be written");
    return TEngineDatabase::messageFor(rc, QString::fromUtf8(sqlite3_errmsg(db)));
}

QString fileProblem(int error)
{
    if (error == ENOSPC || error == EDQUOT)
        return QStringLiteral("the disk is full");
    if (error == EFBIG)
        return QStringLiteral("the file would grow larger than the system allows");
    if (error == EACCES || error == EROFS || error == EPERM)
        return QStringLiteral("the folder cannot be written");
    return systemError(error);
}

// Makes what was written to a file, or the names in a folder, last past a
// crash of the system.
void sync(const QString &path, bool folder)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
    if (fd < 0 || ::fsync(fd) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        throw EDatabaseError(QStringLiteral("cannot write %1 to the disk: %2").arg(path, fileProblem(error)));
    }
    ::close(fd);
}

void renameFile(const QString &from, const QString &to)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throw EDatabaseError(QStringLiteral("cannot rename %1 to %2: %3").arg(from, to, fileProblem(errno)));
}

// The files SQLite keeps beside a database while it writes it.
const char *const SideFiles[] = {"-journal", "-wal", "-shm"};

// A temporary file, made here rather than by SQLite so that a folder that
// cannot be written says so in the words of the system, and the files SQLite
// keeps beside it: all removed when it goes out of scope unless it was kept.
// It holds a flock(2) lock on its file for as long as it lives, which tells
// a run that finds it whether the run that made it is still going; no SQLite
// connection to it may outlive it (closing its descriptor would let go of
// that connection's locks).
class TTemporary
{
    Q_DISABLE_COPY(TTemporary)

public:
    explicit TTemporary(const QString &beside)
    {
        static int serial = 0;
        const QFileInfo target(beside);
        m_path = target.dir().filePath(QLatin1Char('.') + target.fileName() + PartialMark +
                                       QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-') +
                                       QString::number(++serial));
        m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (m_fd < 0)
            throw EDatabaseError(QStringLiteral("cannot create %1: %2").arg(m_path, fileProblem(errno)));
        ::flock(m_fd, LOCK_EX);
    }
    ~TTemporary()
    {
        if (!m_keep) {
            QFile::remove(m_path);
            for (const char *suffix : SideFiles)
                QFile::remove(m_path + QLatin1String(suffix));
        }
        ::close(m_fd);
    }
    const QString &path() const { return m_path; }
    void keep() { m_keep = true; }

private:
    QString m_path;
    int m_fd = -1;
    bool m_keep = false;
};

struct TSqliteHandle
{
    sqlite3 *db = nullptr;
    ~TSqliteHandle() { sqlite3_close_v2(db); }
};

// Copies every page of `source` into the new file `target` with SQLite's
// backup API, all from one read transaction of the source, and returns the
// source's counts at that moment, which the check of the copy compares with
// its own (so they are counted as the check's first step). The source's
// writers wait meanwhile (or are told the books are busy after the engine's
// busy wait), as they would behind a long read of the program.
QList<BooksCheck::TTableCount> copyPages(const QString &source, bool readOnly, const QString &target,
                                         const BooksBackup::TProgress &progress, const QString &copyStage,
                                         const QString &checkStage)
{
    std::unique_ptr<TEngineDatabase> from;
    try {
        from = TEngineDatabase::openFile(source, readOnly);
        // The read transaction starts with the first read.
        from->run(QStringLiteral("BEGIN"));
        from->run(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    } catch (const EDatabaseError &e) {
        throw ENotSound(e.message());
    }
    sqlite3 *src = from->handle();
    struct TEndRead
    {
        sqlite3 *db;
        ~TEndRead() { sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr); }
    } endRead{src};

    TSqliteHandle to;
    int rc = sqlite3_open_v2(QFile::encodeName(target).constData(), &to.db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK)
        throw EDatabaseError(QStringLiteral("cannot open %1: %2").arg(target, writeProblem(to.db, rc)));
    sqlite3_extended_result_codes(to.db, 1);
    sqlite3_exec(to.db, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    sqlite3_backup *backup = sqlite3_backup_init(to.db, "main", src, "main");
    if (!backup)
        throw EDatabaseError(QStringLiteral("cannot copy to %1: %2").arg(target, writeProblem(to.db, sqlite3_errcode(to.db))));
    do {
        rc = sqlite3_backup_step(backup, StepPages);
        if (progress && (rc == SQLITE_OK || rc == SQLITE_DONE)) {
            const int total = sqlite3_backup_pagecount(backup);
            progress(copyStage, total - sqlite3_backup_remaining(backup), total);
        }
    } while (rc == SQLITE_OK);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) {
        const int primary = rc & 0xff;
        if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB)
            throw ENotSound(QStringLiteral("%1: %2").arg(source, QString::fromUtf8(sqlite3_errstr(rc))));
        throw EDatabaseError(QStringLiteral("cannot write %1: %2").arg(target, writeProblem(to.db, rc)));
    }
    // A copy of books another program put in write-ahead mode would carry
    // that mode; the program's own books keep a rollback journal.
    rc = sqlite3_exec(to.db, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw EDatabaseError(QStringLiteral("cannot write %1: %2").arg(target, writeProblem(to.db, rc)));
    rc = sqlite3_close(to.db);
    to.db = nullptr;
    if (rc != SQLITE_OK)
        throw EDatabaseError(QStringLiteral("cannot close %1").arg(target));
    if (progress)
        progress(checkStage, 0, 0);
    try {
        return BooksCheck::counts(*from);
    } catch (const EDatabaseError &e) {
        throw ENotSound(e.message());
    }
}

bool sameCounts(const QList<BooksCheck::TTableCount> &a, const QList<BooksCheck::TTableCount> &b)
{
    return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(),
                      [](const auto &x, const auto &y) { return x.fileName == y.fileName && x.rows == y.rows; });
}

// Checks a copy whole: the tables, SQLite's integrity check, and the counts
// it was copied with. `name` is what messages call it.
void verifyCopy(const QString &copy, const QString &name, const QList<BooksCheck::TTableCount> &expected,
                const BooksBackup::TProgress &progress, const QString &stage)
{
    try {
        std::unique_ptr<TEngineDatabase> db = TEngineDatabase::openFile(copy, true);
        BooksCheck::requireSound(
            *db, progress ? BooksCheck::TProgress([&](qint64 done, qint64 total) { progress(stage, done, total); })
                          : BooksCheck::TProgress(),
            name);
        const QList<BooksCheck::TTableCount> found = BooksCheck::counts(*db);
        if (!sameCounts(found, expected))
            throw EDatabaseError(QStringLiteral("%1 holds other counts of records than it was copied with: %2 against %3")
                                     .arg(name, BooksCheck::countsText(found), BooksCheck::countsText(expected)));
    } catch (const ENotSound &) {
        throw;
    } catch (const EDatabaseError &e) {
        throw ENotSound(e.message());
    }
}

// The counts kept beside a backup, or none when there is no readable record
// of every table.
std::optional<QList<BooksCheck::TTableCount>> recordedCounts(const QString &backup)
{
    QFile f(backup + CountsSuffix);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QList<BooksCheck::TTableCount> counts;
    const QList<TTableDef> &tables = EngineCatalog::tables();
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.trimmed().isEmpty())
            continue;
        const QList<QByteArray> parts = line.split(' ');
        bool ok = false;
        const qint64 rows = parts.size() == 2 ? parts.at(1).toLongLong(&ok) : 0;
        if (!ok || rows < 0 || counts.size() >= tables.size() ||
            QString::fromUtf8(parts.at(0)) != tables.at(counts.size()).fileName)
            return std::nullopt;
        counts.append({tables.at(counts.size()).fileName, rows});
    }
    if (counts.size() != tables.size())
        return std::nullopt;
    return counts;
}

void writeCounts(const QString &backup, const QList<BooksCheck::TTableCount> &counts)
{
    TTemporary temp(backup + CountsSuffix);
    QFile f(temp.path());
    QByteArray text;
    for (const BooksCheck::TTableCount &c : counts)
        text += c.fileName.toUtf8() + ' ' + QByteArray::number(c.rows) + '\n';
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size() || !f.flush())
        throw EDatabaseError(QStringLiteral("cannot write %1: %2").arg(f.fileName(), f.errorString()));
    f.close();
    sync(temp.path(), false);
    renameFile(temp.path(), backup + CountsSuffix);
    temp.keep();
}

// Copies the books into `target` through a temporary file beside it, checks
// the copy, and gives it its name only then.
BooksBackup::TBackupInfo makeBackup(const QString &booksFile, const QString &target, const QDateTime &taken,
                                    bool recordCounts, const BooksBackup::TProgress &progress,
                                    const QString &copyStage, const QString &checkStage)
{
    const QString books = QFileInfo(booksFile).absoluteFilePath();
    try {
        if (QFileInfo::exists(target))
            throw EDatabaseError(QStringLiteral("%1 already exists").arg(target));
        TTemporary temp(target);
        const QList<BooksCheck::TTableCount> counts =
            copyPages(books, false, temp.path(), progress, copyStage, checkStage);
        verifyCopy(temp.path(), QStringLiteral("the copy of %1").arg(books), counts, progress, checkStage);
        sync(temp.path(), false);
        if (recordCounts)
            writeCounts(target, counts);
        if (QFileInfo::exists(target))
            throw EDatabaseError(QStringLiteral("%1 already exists").arg(target));
        try {
            renameFile(temp.path(), target);
        } catch (...) {
            QFile::remove(target + CountsSuffix);
            throw;
        }
        temp.keep();
        sync(QFileInfo(target).absolutePath(), true);
        return {target, taken, QFileInfo(target).size(), counts, QString()};
    } catch (const EDatabaseError &e) {
        throw EDatabaseError(QStringLiteral("Cannot back up the books %1 to %2: %3").arg(books, target, e.message()));
    }
}

// The backups of the books: their names begin with the name of the books
// file and end in the date and time, with a serial number when two were
// made in the same second.
struct TNamedBackup
{
    QString file;
    QDateTime taken;
    int serial = 1;
};

QList<TNamedBackup> namedBackups(const QString &booksFile)
{
    const QString stem = QFileInfo(booksFile).completeBaseName();
    const QRegularExpression name(QStringLiteral("^%1-(\\d{4}-\\d\\d-\\d\\d-\\d{6})(?:-(\\d+))?\\.db$")
                                      .arg(QRegularExpression::escape(stem)));
    QList<TNamedBackup> found;
    const QDir folder(BooksBackup::backupsFolder(booksFile));
    const QStringList entries = folder.entryList(QDir::Files);
    for (const QString &entry : entries) {
        const QRegularExpressionMatch m = name.match(entry);
        if (!m.hasMatch())
            continue;
        const QDateTime taken = QDateTime::fromString(m.captured(1), NameTimeFormat);
        if (!taken.isValid())
            continue;
        found.append({folder.absoluteFilePath(entry), taken, m.capturedLength(2) ? m.captured(2).toInt() : 1});
    }
    std::sort(found.begin(), found.end(), [](const TNamedBackup &a, const TNamedBackup &b) {
        return a.taken != b.taken ? a.taken > b.taken : a.serial > b.serial;
    });
    return found;
}

QString newBackupFile(const QString &booksFile, const QDateTime &taken)
{
    const QDir folder(BooksBackup::backupsFolder(booksFile));
    const QString base = QFileInfo(booksFile).completeBaseName() + QLatin1Char('-') + taken.toString(NameTimeFormat);
    QString file = folder.absoluteFilePath(base + QStringLiteral(".db"));
    for (int serial = 2; QFileInfo::exists(file); ++serial)
        file = folder.absoluteFilePath(QStringLiteral("%1-%2.db").arg(base).arg(serial));
    return file;
}

// Removes what killed runs left in a folder: temporary files whose run no
// longer holds their lock. A file a minute old at least, so that one just
// made and not yet locked is never taken for one.
void removeStaleTemporaries(const QString &folder)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo &f : entries) {
        const QString name = f.fileName();
        if (!name.startsWith(QLatin1Char('.')) || !name.contains(PartialMark) ||
            std::any_of(std::begin(SideFiles), std::end(SideFiles),
                        [&name](const char *suffix) { return name.endsWith(QLatin1String(suffix)); }) ||
            f.lastModified().secsTo(now) < StaleTemporarySecs)
            continue;
        const int fd = ::open(QFile::encodeName(f.absoluteFilePath()).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            QFile::remove(f.absoluteFilePath());
            for (const char *suffix : SideFiles)
                QFile::remove(f.absoluteFilePath() + QLatin1String(suffix));
        }
        ::close(fd);
    }
}

QString makeBackupsFolder(const QString &booksFile)
{
    const QString folder = BooksBackup::backupsFolder(booksFile);
    if (!QDir().mkpath(folder))
        throw EDatabaseError(QStringLiteral("Cannot back up the books %1: the folder %2 cannot be made")
                                 .arg(QFileInfo(booksFile).absoluteFilePath(), folder));
    removeStaleTemporaries(folder);
    return folder;
}

// Removes the backups retention no longer keeps, and records of counts left
// without their backup. A backup that cannot be removed stays: one backup
// too many harms nobody.
void prune(const QString &booksFile)
{
    const QList<TNamedBackup> backups = namedBackups(booksFile);
    QList<QDateTime> taken;
    for (const TNamedBackup &b : backups)
        taken.append(b.taken);
    const QList<bool> keep = BooksBackup::retained(taken, Clock::now());
    for (qsizetype i = 0; i < backups.size(); ++i)
        if (!keep.at(i) && QFile::remove(backups.at(i).file))
            QFile::remove(backups.at(i).file + CountsSuffix);
    const QDir folder(BooksBackup::backupsFolder(booksFile));
    const QStringList records = folder.entryList({QLatin1Char('*') + CountsSuffix}, QDir::Files);
    for (const QString &record : records) {
        const QString backup = folder.absoluteFilePath(record.chopped(CountsSuffix.size()));
        if (!QFileInfo::exists(backup))
            QFile::remove(folder.absoluteFilePath(record));
    }
}

// Puts the checked copy in the place of the books. The books are held under
// SQLite's exclusive lock meanwhile, which also plays back a change another
// program left half made: a rollback journal is then not needed by anybody
// and goes, so that no journal of the old books can ever be played into the
// new ones.
void replaceBooks(const QString &books, const QString &copy)
{
    TSqliteHandle old;
    int rc = sqlite3_open_v2(QFile::encodeName(books).constData(), &old.db, SQLITE_OPEN_READWRITE, nullptr);
    const auto refuse = [&](int code) {
        return EDatabaseError(QStringLiteral("cannot take the books %1 from other programs: %2")
                                  .arg(books, TEngineDatabase::messageFor(code, QString::fromUtf8(sqlite3_errmsg(old.db)))));
    };
    if (rc != SQLITE_OK)
        throw refuse(rc);
    TEngineDatabase::applyConnectionSettings(old.db);
    // Books another program put in write-ahead mode keep changes in a file
    // beside them, which must be played in and removed first.
    {
        sqlite3_stmt *mode = nullptr;
        rc = sqlite3_prepare_v2(old.db, "PRAGMA journal_mode", -1, &mode, nullptr);
        const bool wal = rc == SQLITE_OK && sqlite3_step(mode) == SQLITE_ROW &&
                         qstricmp(reinterpret_cast<const char *>(sqlite3_column_text(mode, 0)), "wal") == 0;
        sqlite3_finalize(mode);
        if (rc != SQLITE_OK)
            throw refuse(rc);
        if (wal && (rc = sqlite3_exec(old.db, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr)) != SQLITE_OK)
            throw refuse(rc);
    }
    if ((rc = sqlite3_exec(old.db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr)) != SQLITE_OK)
        throw refuse(rc);
    const QString journal = books + QStringLiteral("-journal");
    if (QFileInfo::exists(journal) && !QFile::remove(journal))
        throw EDatabaseError(QStringLiteral("cannot remove %1").arg(journal));
    renameFile(copy, books);
    sqlite3_exec(old.db, "ROLLBACK", nullptr, nullptr, nullptr);
    // The books are replaced from here on, whatever follows: a folder that
    // cannot be synced now is written out by the system later, and saying
    // that nothing was replaced would be false.
    try {
        sync(QFileInfo(books).absolutePath(), true);
    } catch (const EDatabaseError &) {
    }
}

} // namespace

QString BooksBackup::backupsFolder(const QString &booksFile)
{
    return QFileInfo(booksFile).absoluteDir().filePath(BackupsFolderName);
}

BooksBackup::TBackupInfo BooksBackup::backUp(const QString &booksFile, const TProgress &progress)
{
    makeBackupsFolder(booksFile);
    const QDateTime taken = Clock::now();
    TBackupInfo made = makeBackup(booksFile, newBackupFile(booksFile, taken), taken, true, progress,
                                  QStringLiteral("Copying the books"), QStringLiteral("Checking the copy"));
    prune(booksFile);
    return made;
}

BooksBackup::TBackupInfo BooksBackup::backUpTo(const QString &booksFile, const QString &target,
                                               const TProgress &progress)
{
    return makeBackup(booksFile, QFileInfo(target).absoluteFilePath(), Clock::now(), false, progress,
                      QStringLiteral("Copying the books"), QStringLiteral("Checking the copy"));
}

QList<BooksBackup::TBackupInfo> BooksBackup::list(const QString &booksFile)
{
    QList<TBackupInfo> result;
    const QList<TNamedBackup> backups = namedBackups(booksFile);
    for (const TNamedBackup &b : backups) {
        TBackupInfo info{b.file, b.taken, QFileInfo(b.file).size(), {}, {}};
        if (const auto recorded = recordedCounts(b.file)) {
            info.counts = *recorded;
        } else {
            try {
                std::unique_ptr<TEngineDatabase> db = TEngineDatabase::openFile(b.file, true);
                info.counts = BooksCheck::counts(*db);
            } catch (const EDatabaseError &e) {
                info.problem = e.message();
            }
        }
        result.append(info);
    }
    return result;
}

std::optional<QDateTime> BooksBackup::newest(const QString &booksFile)
{
    const QList<TNamedBackup> backups = namedBackups(booksFile);
    if (backups.isEmpty())
        return std::nullopt;
    return backups.constFirst().taken;
}

QList<bool> BooksBackup::retained(const QList<QDateTime> &taken, const QDateTime &now)
{
    QList<qsizetype> newestFirst(taken.size());
    std::iota(newestFirst.begin(), newestFirst.end(), 0);
    std::stable_sort(newestFirst.begin(), newestFirst.end(),
                     [&taken](qsizetype a, qsizetype b) { return taken.at(a) > taken.at(b); });
    QList<bool> keep(taken.size(), false);
    for (qsizetype i = 0; i < newestFirst.size() && i < KeepLast; ++i)
        keep[newestFirst.at(i)] = true;
    const QDate thisMonth(now.date().year(), now.date().month(), 1);
    QSet<int> monthsSeen;
    QSet<int> yearsSeen;
    for (qsizetype i : std::as_const(newestFirst)) {
        const QDate day = taken.at(i).date();
        const int month = day.year() * 12 + day.month() - 1;
        const int monthsBack = thisMonth.year() * 12 + thisMonth.month() - 1 - month;
        if (monthsBack >= 0 && monthsBack < KeepMonths && !monthsSeen.contains(month)) {
            monthsSeen.insert(month);
            keep[i] = true;
        }
        if (!yearsSeen.contains(day.year())) {
            yearsSeen.insert(day.year());
            keep[i] = true;
        }
    }
    return keep;
}

BooksBackup::TRestoreResult BooksBackup::restore(const QString &booksFile, const QString &source,
                                                 const TProgress &progress)
{
    const QString books = QFileInfo(booksFile).absoluteFilePath();
    const QString from = QFileInfo(source).absoluteFilePath();
    const QString nothingReplaced = QStringLiteral("Nothing was replaced.");
    if (!QFileInfo(from).isFile())
        throw EDatabaseError(QStringLiteral("Cannot restore from %1: there is no such file. %2").arg(from, nothingReplaced));
    if (QFileInfo(from).canonicalFilePath() == QFileInfo(books).canonicalFilePath())
        throw EDatabaseError(
            QStringLiteral("Cannot restore from %1: it is the books themselves. %2").arg(from, nothingReplaced));
    if (!QFileInfo::exists(books))
        throw EDatabaseError(QStringLiteral("Cannot restore the books %1: they do not exist. %2").arg(books, nothingReplaced));

    std::unique_ptr<TBooksLock> lock;
    try {
        lock = TBooksLock::take(books, TBooksLock::Mode::Exclusive);
    } catch (const EDatabaseError &e) {
        throw EDatabaseError(QStringLiteral("Cannot restore the books %1: %2. %3").arg(books, e.message(), nothingReplaced));
    }
    if (!lock)
        throw EDatabaseError(QStringLiteral("Cannot restore the books %1: they are open in another copy of Ardentry or in "
                                            "ardentry-db; close it and try again. %2")
                                 .arg(books, nothingReplaced));
    removeStaleTemporaries(QFileInfo(books).absolutePath());

    // The copy that will become the books is what is checked, so nothing
    // that changes the chosen file afterwards can reach the books.
    TTemporary copy(books);
    QList<BooksCheck::TTableCount> counts;
    try {
        counts = copyPages(from, true, copy.path(), progress, QStringLiteral("Copying the backup"),
                           QStringLiteral("Checking the backup"));
        verifyCopy(copy.path(), from, counts, progress, QStringLiteral("Checking the backup"));
        if (const auto recorded = recordedCounts(from); recorded && !sameCounts(*recorded, counts))
            throw ENotSound(QStringLiteral("it holds other counts of records than when it was made: %1 against %2")
                                .arg(BooksCheck::countsText(counts), BooksCheck::countsText(*recorded)));
        sync(copy.path(), false);
    } catch (const ENotSound &e) {
        throw EDatabaseError(QStringLiteral("Cannot restore from %1: it is not a sound set of the books: %2\n%3")
                                 .arg(from, e.message(), nothingReplaced));
    } catch (const EDatabaseError &e) {
        throw EDatabaseError(QStringLiteral("Cannot restore from %1: %2. %3").arg(from, e.message(), nothingReplaced));
    }

    TRestoreResult result;
    result.source = from;
    result.counts = counts;
    try {
        makeBackupsFolder(books);
        const QDateTime taken = Clock::now();
        result.previous = makeBackup(books, newBackupFile(books, taken), taken, true, progress,
                                     QStringLiteral("Backing up the books as they are"),
                                     QStringLiteral("Checking that backup"));
    } catch (const EDatabaseError &e) {
        throw EDatabaseError(QStringLiteral("The books were not restored: %1\n%2").arg(e.message(), nothingReplaced));
    }

    if (progress)
        progress(QStringLiteral("Replacing the books"), 0, 1);
    try {
        replaceBooks(books, copy.path());
    } catch (const EDatabaseError &e) {
        throw EDatabaseError(QStringLiteral("Cannot restore the books %1: %2. %3").arg(books, e.message(), nothingReplaced));
    }
    copy.keep();
    if (progress)
        progress(QStringLiteral("Replacing the books"), 1, 1);
    return result;
}
