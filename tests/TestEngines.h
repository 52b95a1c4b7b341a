#pragma once

#include "EngineKind.h"

#include <QString>
#include <QtTest>

// Engine-level suites run every test once per kind of books: a SQLite folder
// and a database on the PostgreSQL server the test command starts (its
// maintenance database's URI is in ARDENTRY_TEST_PG). A suite adds the rows
// with
//
//     void initTestCase_data() { TestEngines::addRows(); }
//
// and starts its init() with TEST_ENGINE_AVAILABLE(); TestAlias then makes
// books of the current row's kind.
namespace TestEngines {

inline constexpr const char *ServerEnvVar = "ARDENTRY_TEST_PG";

// Adds the global rows "sqlite" and "postgresql".
void addRows();

// The kind of books of the current global row; SQLite in a suite without
// the rows. Fails hard where no row is current (initTestCase, cleanupTestCase
// of a suite with the rows): an alias there would silently be SQLite's.
TEngineKind current();

// The URI of the test server's maintenance database, empty when the test
// command started none.
QString serverAddress();

} // namespace TestEngines

// Skips the current test on the PostgreSQL row when no test server is known.
#define TEST_ENGINE_AVAILABLE()                                                                                      \
    do {                                                                                                             \
        if (TestEngines::current() == TEngineKind::PostgreSQL && TestEngines::serverAddress().isEmpty())            \
            QSKIP("no PostgreSQL test server: ARDENTRY_TEST_PG is not set (scripts/test starts one)");              \
    } while (false)

// Skips the current test on the PostgreSQL row, saying why it is about
// SQLite alone.
#define QSKIP_ON_SERVER(why)                                                                                         \
    do {                                                                                                             \
        if (TestEngines::current() == TEngineKind::PostgreSQL)                                                       \
            QSKIP("SQLite only: " why);                                                                              \
    } while (false)
