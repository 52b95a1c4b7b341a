#include "BooksLock.h"

#include "EDatabaseError.h"

#include <QElapsedTimer>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

QString TBooksLock::lockFile(const QString &booksFile)
{
    return booksFile + QStringLiteral(".lock");
}

std::unique_ptr<TBooksLock> TBooksLock::take(const QString &booksFile, Mode mode, int waitMs)
{
    const QByteArray path = lockFile(booksFile).toLocal8Bit();
    // A lock of either kind can be held on a file opened for reading only,
    // which is all a read-only folder allows once the file is there.
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw EDatabaseError(QStringLiteral("Cannot open the lock file %1: %2")
                                 .arg(QString::fromLocal8Bit(path), qt_error_string(errno)));
    const int operation = (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (::flock(fd, operation) == 0)
            return std::unique_ptr<TBooksLock>(new TBooksLock(fd));
        if (errno != EWOULDBLOCK && errno != EINTR) {
            const int error = errno;
            ::close(fd);
            throw EDatabaseError(QStringLiteral("Cannot lock the file %1: %2")
                                     .arg(QString::fromLocal8Bit(path), qt_error_string(error)));
        }
        if (waited.elapsed() >= waitMs) {
            ::close(fd);
            return nullptr;
        }
        QThread::msleep(20);
    }
}

TBooksLock::~TBooksLock()
{
    ::close(m_fd);
}
