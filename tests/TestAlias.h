#pragma once

#include "EDatabaseError.h"
#include "EngineKind.h"

#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>
#include <QVariantList>
#include <QtTest>

// A fresh, private alias for one test, with an engine configuration file of
// its own, so the user's books are never touched. Its books are empty books
// made by the same code the administration tool uses: in a temporary folder
// (SQLite), or in a database of its own on the test server (PostgreSQL),
// created here and dropped again at the end. Without a kind, it takes the
// one of the current engine row (TestEngines.h). A second connection
// (fixture()) writes fixtures and reads results straight from the database,
// beside the engine: fixture SQL is to run on both (unquoted names, bound
// values, dates as ISO text).
class TestAlias
{
    Q_DISABLE_COPY(TestAlias)

public:
    explicit TestAlias(const QString &alias = QStringLiteral("ARD"));
    TestAlias(TEngineKind kind, const QString &alias = QStringLiteral("ARD"));
    ~TestAlias();

    TEngineKind kind() const { return m_kind; }
    // What the alias points at: the folder, or the server address.
    QString place() const;
    // The folder and its database file: SQLite books only.
    QString folder() const;
    QString databaseFile() const;
    QString configFile() const;

    // Runs a statement on the fixture connection; fails the test on error.
    void exec(const QString &sql, const QVariantList &params = {});
    // The first column of the first row, or an invalid QVariant.
    QVariant scalar(const QString &sql, const QVariantList &params = {});
    QSqlDatabase fixture() const;

private:
    void makeServerDatabase();
    void dropServerDatabase();

    TEngineKind m_kind;
    QTemporaryDir m_dir;
    QString m_alias;
    QString m_connection;
    QString m_serverDatabase;
    QString m_serverPlace;
    QByteArray m_oldConfig;
};

// Runs a data-layer step and fails the test with the engine's message when
// it throws.
#define QVERIFY_DB(statement)                                                                                       \
    do {                                                                                                             \
        try {                                                                                                        \
            statement;                                                                                               \
        } catch (const EDatabaseError &e_) {                                                                         \
            QFAIL(qPrintable(QStringLiteral("%1 raised: %2").arg(QStringLiteral(#statement), e_.message())));        \
        }                                                                                                            \
    } while (false)

// Checks that a step throws EDatabaseError with exactly this message.
#define QVERIFY_DB_ERROR(statement, expected)                                                                        \
    do {                                                                                                             \
        QString m_;                                                                                                  \
        try {                                                                                                        \
            statement;                                                                                               \
        } catch (const EDatabaseError &e_) {                                                                         \
            m_ = e_.message();                                                                                       \
        }                                                                                                            \
        QCOMPARE(m_, QString(expected));                                                                             \
    } while (false)
