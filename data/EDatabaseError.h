#pragma once

#include <QString>
#include <exception>

// The one error type of the data layer: the engine, datasets and fields raise
// it with the text the user will see. Whoever handles a user's action catches
// it in one place and shows the message; nothing below that level swallows it.
class EDatabaseError : public std::exception
{
public:
    explicit EDatabaseError(QString message) : m_message(std::move(message)), m_bytes(m_message.toUtf8()) {}

    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_bytes.constData(); }

private:
    QString m_message;
    QByteArray m_bytes;
};

// A change refused because the record is no longer stored as the dataset
// read it: another program or another copy changed or deleted it meanwhile.
// Nothing was written.
class EUpdateConflict : public EDatabaseError
{
public:
    EUpdateConflict(QString message, bool deleted) : EDatabaseError(std::move(message)), m_deleted(deleted) {}
    bool deleted() const noexcept { return m_deleted; }

private:
    bool m_deleted;
};
