#include "EngineConfig.h"

#include "EDatabaseError.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>
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

bool EngineConfig::isServerAddress(const QString &place)
{
    return place.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           place.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

void EngineConfig::checkServerAddress(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.path().count(QLatin1Char('/')) > 1)
        throw EDatabaseError(QStringLiteral("Not a database server address: %1 (write "
                                            "postgresql://user@host:port/database)")
                                 .arg(url.toDisplayString(QUrl::RemovePassword)));
    if (!url.password().isEmpty())
        throw EDatabaseError(QStringLiteral("A database server address must not hold a password: keep it in "
                                            "~/.pgpass or PGPASSWORD (%1)")
                                 .arg(url.toDisplayString(QUrl::RemovePassword)));
    const QUrlQuery query(url);
    if (query.hasQueryItem(QStringLiteral("password")))
        throw EDatabaseError(QStringLiteral("A database server address must not hold a password: keep it in "
                                            "~/.pgpass or PGPASSWORD (%1)")
                                 .arg(url.toDisplayString(QUrl::RemovePassword | QUrl::RemoveQuery)));
}

void EngineConfig::setAlias(const QString &alias, const QString &place)
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
    if (isServerAddress(place)) {
        checkServerAddress(place);
        s.setValue(alias, place);
    } else {
        s.setValue(alias, QDir(place).absolutePath());
    }
    s.endGroup();
    s.sync();
    if (s.status() != QSettings::NoError)
        throw EDatabaseError(QStringLiteral("Cannot write the engine configuration %1").arg(file));
}

QString EngineConfig::databaseFile(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("books.db"));
}
