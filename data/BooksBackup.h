#pragma once

#include "BooksCheck.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

// Backups of the books, and putting one back in their place.
//
// A backup is a copy made with SQLite's online backup API from one read
// transaction of the books, so it is one moment of them even while the
// program or another one has them open (a copy of the file could catch a
// change half written). It counts as a backup only once it has passed the
// integrity check and holds as many records in each table as the books did
// at that moment: until then it has a hidden temporary name, and only then
// is it renamed to its own. Backups live in the folder "Backups" beside the
// books, one file per backup named by the local date and time it was made
// ("books-2026-03-01-142530.db"), with the counts it was made with beside it
// ("books-2026-03-01-142530.db.counts").
//
// A restore never leaves the books worse than it found them: it copies the
// chosen file beside the books and checks that copy whole before anything
// else, backs up the books as they are, and only then renames the copy over
// them. Killed at any moment, it leaves either the old books or the new
// ones, and every earlier backup, as they were.
//
// Every failure throws EDatabaseError with a message that says what was not
// done and why; nothing half made is left under a backup's name.
namespace BooksBackup {

struct TBackupInfo
{
    QString file;       // absolute path
    QDateTime taken;    // local time, as its name gives it
    qint64 size = 0;    // bytes
    // Records per table when it was made (or counted from the file when no
    // record of them is kept); empty when the file cannot be read.
    QList<BooksCheck::TTableCount> counts;
    QString problem;    // why the counts could not be read
};

// What is being done ("Copying the books"), and how far: done out of
// total, in the stage's own units; total 0 when unknown.
using TProgress = std::function<void(const QString &stage, qint64 done, qint64 total)>;

// Retention: the newest backups, and the newest of each of the last months
// (the month of now among them); the newest of every year is kept too.
inline constexpr int KeepLast = 10;
inline constexpr int KeepMonths = 12;

// The folder of the backups of a books file.
QString backupsFolder(const QString &booksFile);

// Backs up the books into their backups folder (made when missing), named by
// Clock::now(), then removes the backups that retention no longer keeps.
TBackupInfo backUp(const QString &booksFile, const TProgress &progress = {});

// Backs up the books into a file of the caller's choice, which must not
// exist yet. Retention does not touch it.
TBackupInfo backUpTo(const QString &booksFile, const QString &target, const TProgress &progress = {});

// The backups of the books, newest first.
QList<TBackupInfo> list(const QString &booksFile);

// When the newest backup of the books was made (from the names alone).
std::optional<QDateTime> newest(const QString &booksFile);

// Which of the backups made at these times retention keeps at `now`, in the
// order given.
QList<bool> retained(const QList<QDateTime> &taken, const QDateTime &now);

struct TRestoreResult
{
    QString source;                         // the file restored, absolute
    QList<BooksCheck::TTableCount> counts;  // of the books now in place
    TBackupInfo previous;                   // the books as they were
};

// Puts the database `source` in the place of the books. Refuses, with
// nothing replaced, when the books are open in a copy of the program or the
// administration tool (their lock, TBooksLock), when `source` is not a sound
// set of the books (or no longer holds the records counted when it was
// made), and when the books cannot be backed up first. The caller closes its
// own connections to the books before.
TRestoreResult restore(const QString &booksFile, const QString &source, const TProgress &progress = {});

}  // namespace BooksBackup
