#pragma once

#include <QString>

// The engine's own configuration: an INI file that maps each database alias
// to a folder of SQLite books or to a database on a PostgreSQL server, named
// by a connection URI in libpq's form (never with a password: the server's
// users keep theirs in ~/.pgpass or PGPASSWORD). It lives in the user's configuration folder
// (<config>/Ardentry/engine.ini); the environment variable
// ARDENTRY_ENGINE_CONFIG names another file instead, which is how tests and
// the administration tool work on private aliases.
//
//   [Aliases]
//   ARD=/home/me/Books
//   SHOP=postgresql://shop@server.local:5432/books
namespace EngineConfig {

inline constexpr const char *ConfigEnvVar = "ARDENTRY_ENGINE_CONFIG";

// The file in force.
QString configFile();

// What an alias points at: a folder or a server address. Throws
// EDatabaseError when the alias is not configured.
QString aliasFolder(const QString &alias);

// Whether a place is the address of a database server (postgresql://...),
// not a folder or file.
bool isServerAddress(const QString &place);

// Throws EDatabaseError when a server address cannot be used: not a URI
// libpq reads the way the engine does, or one that carries a password.
void checkServerAddress(const QString &address);

// Whether the alias is configured (its folder may still be missing).
bool hasAlias(const QString &alias);

// Adds or replaces an alias in the configuration file, creating the file
// when needed: a folder is kept as an absolute path, a server address as it
// is given. Throws EDatabaseError when the file cannot be written or the
// address carries a password.
void setAlias(const QString &alias, const QString &place);

// The database file inside an alias folder.
QString databaseFile(const QString &folder);

} // namespace EngineConfig
