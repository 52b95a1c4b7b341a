#pragma once

#include <QString>

// A database of its own on the test command's PostgreSQL server, for one
// test: made with a unique name on the server that ARDENTRY_TEST_PG names
// (postgresql://USER@HOST:PORT/postgres) and dropped when it goes, with
// whatever connections are left on it. Without the variable there is no
// server: available() is false and the test skips its server rows.
class TestServerDb
{
    Q_DISABLE_COPY(TestServerDb)

public:
    TestServerDb();
    ~TestServerDb();

    static bool serverGiven();
    static constexpr const char *SkipReason = "no test server: the test command sets ARDENTRY_TEST_PG";

    // Empty when the database could not be made (error() says why).
    QString uri() const { return m_uri; }
    QString error() const { return m_error; }

private:
    QString m_name;
    QString m_uri;
    QString m_error;
};
