#include "EngineConfig.h"

#include "EDatabaseError.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <algorithm>

namespace {
const QString AliasGroup = QStringLiteral("Aliases");
}

QString EngineConfig::configFile()
{
    const QString env = qEnvironmentVariable(ConfigEnvVar);
    if (!env.isEmpty())
        return env;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Ardentry/engine.ini");
}

bool EngineConfig::hasAlias(const QString &alias)
{
    QSettings s(configFile(), QSettings::IniFormat);
    s.beginGroup(AliasGroup);
    return !s.value(alias).toString().isEmpty();
}

QString EngineConfig::aliasFolder(const QString &alias)
{
    const QString file = configFile();
    QSettings s(file, QSettings::IniFormat);
    s.beginGroup(AliasGroup);
    const QString folder = s.value(alias).toString();
    if (folder.isEmpty())
        throw EDatabaseError(QStringLiteral("Unknown database alias: %1 (engine configuration %2)").arg(alias, file));
    return folder;
}

void EngineConfig::setAlias(const QString &alias, const QString &folder)
{
    // The name is an INI key: keep it to letters, digits and underscores so
    // it can never name a group or another key.
    const bool plain = !alias.isEmpty() && std::all_of(alias.cbegin(), alias.cend(), [](QChar c) {
        return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
               (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_');
    });
    if (!plain)
        throw EDatabaseError(QStringLiteral("An alias name has only letters, digits and underscores: %1").arg(alias));
    const QString file = configFile();
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSettings s(file, QSettings::IniFormat);
    s.beginGroup(AliasGroup);
    s.setValue(alias, QDir(folder).absolutePath());
    s.endGroup();
    s.sync();
    if (s.status() != QSettings::NoError)
        throw EDatabaseError(QStringLiteral("Cannot write the engine configuration %1").arg(file));
}

QString EngineConfig::databaseFile(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("books.db"));
}
