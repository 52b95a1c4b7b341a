#include "TestEngines.h"

namespace {

bool rowsAdded = false;

} // namespace

namespace TestEngines {

void addRows()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(TEngineKind::SQLite);
    QTest::newRow("postgresql") << int(TEngineKind::PostgreSQL);
    rowsAdded = true;
}

TEngineKind current()
{
    if (!rowsAdded)
        return TEngineKind::SQLite;
    const char *function = QTest::currentTestFunction();
    if (!function || qstrcmp(function, "initTestCase") == 0 || qstrcmp(function, "cleanupTestCase") == 0)
        qFatal("TestEngines: no engine row is current outside a test function; make the alias in the test or its init()");
    return TEngineKind(*static_cast<int *>(QTest::qGlobalData("engine", QMetaType::Int)));
}

QString serverAddress()
{
    return qEnvironmentVariable(ServerEnvVar);
}

} // namespace TestEngines
