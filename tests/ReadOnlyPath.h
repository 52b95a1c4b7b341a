#pragma once

#include <QFile>
#include <QString>

// Makes a file or folder read-only for as long as it lives. Permissions do
// not stop root, so as root it sets the file system's immutable attribute
// instead, which binds root too. possible() is false where neither can be
// done (root on a file system without the attribute, or without the right
// to set it); callers skip what they meant to check then.
class ReadOnlyPath
{
    Q_DISABLE_COPY(ReadOnlyPath)

public:
    explicit ReadOnlyPath(QString path);
    ~ReadOnlyPath();
    bool possible() const { return m_done; }

private:
    bool setImmutable(bool on) const;

    QString m_path;
    QFile::Permissions m_permissions;
    bool m_immutable = false;
    bool m_done = false;
};
