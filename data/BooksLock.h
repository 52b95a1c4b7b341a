#pragma once

#include <QString>
#include <memory>

// An advisory lock on a small file beside the books ("books.db.lock") that
// says who has the books open. SQLite cannot tell: it keeps no list of the
// connections to a file, and its own locks last only as long as a
// transaction. Every engine connection of an alias (the program, the
// administration tool) holds this lock shared for as long as it is open; a
// restore, which puts another file in the books' place, needs it alone, so
// that no copy of the program goes on writing into the file it replaced.
//
// It is a flock(2) lock: the kernel lets go of it when its holder ends,
// however it ends, so a killed program never leaves the books locked, and
// two holders in one process are told apart (each has its own open file).
// Programs that do not use the engine do not take it; SQLite's own locks
// still keep them from meeting a half-written change.
class TBooksLock
{
    Q_DISABLE_COPY(TBooksLock)

public:
    enum class Mode { Shared, Exclusive };

    // Takes the lock of the books file, waiting up to waitMs for holders of
    // the other kind to let go. Null when they did not. Throws EDatabaseError
    // when the lock file can neither be opened nor made (a read-only folder
    // without one).
    static std::unique_ptr<TBooksLock> take(const QString &booksFile, Mode mode, int waitMs = 0);

    // The lock file of a books file.
    static QString lockFile(const QString &booksFile);

    ~TBooksLock();

private:
    explicit TBooksLock(int fd) : m_fd(fd) {}
    int m_fd;
};
