#include "ReadOnlyPath.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

ReadOnlyPath::ReadOnlyPath(QString path) : m_path(std::move(path))
{
    if (::geteuid() == 0) {
        m_immutable = setImmutable(true);
        m_done = m_immutable;
        return;
    }
    m_permissions = QFile::permissions(m_path);
    m_done = QFile::setPermissions(
        m_path, m_permissions & ~(QFile::WriteOwner | QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther));
}

ReadOnlyPath::~ReadOnlyPath()
{
    if (m_immutable)
        setImmutable(false);
    else if (m_done)
        QFile::setPermissions(m_path, m_permissions);
}

bool ReadOnlyPath::setImmutable(bool on) const
{
    // Folders open read-only too; the attribute is read and set on the open
    // descriptor.
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}
