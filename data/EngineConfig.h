#pragma once

#include <QString>

// The engine's own configuration: an INI file that maps each database alias
// to a folder. It lives in the user's configuration folder
// (<config>/Ardentry/engine.ini); the environment variable
// ARDENTRY_ENGINE_CONFIG names another file instead, which is how tests and
// the administration tool work on private aliases.
//
//   [Aliases]
//   ARD=/home/me/Books
namespace EngineConfig {

inline constexpr const char *ConfigEnvVar = "ARDENTRY_ENGINE_CONFIG";

// The file in force.
QString configFile();

// The folder of an alias. Throws EDatabaseError when the alias is not
// configured.
QString aliasFolder(const QString &alias);

// Whether the alias is configured (its folder may still be missing).
bool hasAlias(const QString &alias);

// Adds or replaces an alias in the configuration file, creating the file
// when needed. Throws EDatabaseError when the file cannot be written.
void setAlias(const QString &alias, const QString &folder);

// The database file inside an alias folder.
QString databaseFile(const QString &folder);

} // namespace EngineConfig
