#pragma once

#include "EDatabaseError.h"

#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>
#include <QVariantList>
#include <QtTest>

// A fresh, private alias for one test: a temporary folder with an empty
// database made by the same code the administration tool uses, and an engine
// configuration file of its own, so the user's books are never touched.
// A second connection (fixture()) writes fixtures and reads results straight
// from SQLite, beside the engine.
class TestAlias
{
    Q_DISABLE_COPY(TestAlias)

public:
    explicit TestAlias(const QString &alias = QStringLiteral("ARD"));
    ~TestAlias();

    QString folder() const;
    QString databaseFile() const;
    QString configFile() const;

    // Runs a statement on the fixture connection; fails the test on error.
    void exec(const QString &sql, const QVariantList &params = {});
    // The first column of the first row, or an invalid QVariant.
    QVariant scalar(const QString &sql, const QVariantList &params = {});
    QSqlDatabase fixture() const;

private:
    QTemporaryDir m_dir;
    QString m_alias;
    QString m_connection;
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
