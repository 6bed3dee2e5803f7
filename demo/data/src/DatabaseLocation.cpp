#include "demo/data/DatabaseLocation.h"

#include <QDir>
#include <QUrl>
#include <QtGlobal>

namespace demo::data {

QString DatabaseLocation::describe() const
{
    if (engine == Engine::Sqlite) return sqliteFile;
    if (!isValid()) return QStringLiteral("QUILLNET_DATABASE");
    return QStringLiteral("%1@%2:%3/%4").arg(user, host).arg(port).arg(databaseName);
}

bool DatabaseLocation::isValid() const
{
    if (engine == Engine::Sqlite) return !sqliteFile.isEmpty();
    return !host.isEmpty() && !databaseName.isEmpty() && port > 0 && port < 65536;
}

DatabaseLocation DatabaseLocation::fromPostgresUrl(const QString& text)
{
    DatabaseLocation location;
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres")))
        return location;
    location.engine = Engine::PostgreSql;
    location.host = url.host();
    location.user = url.userName(QUrl::FullyDecoded);
    location.password = url.password(QUrl::FullyDecoded);
    location.port = url.port(5432);
    location.databaseName = url.path(QUrl::FullyDecoded).mid(1);
    if (!location.isValid()) return DatabaseLocation{};
    return location;
}

DatabaseLocation DatabaseLocation::fromEnvironment()
{
    const QString url = qEnvironmentVariable("QUILLNET_DATABASE");
    if (!url.isEmpty()) {
        DatabaseLocation location = fromPostgresUrl(url);
        // A malformed address must not silently fall back to a local file: the program
        // reports the unusable location when it opens it.
        if (!location.isValid()) {
            location = DatabaseLocation{};
            location.engine = Engine::PostgreSql;
        }
        return location;
    }
    QString folder = qEnvironmentVariable("QUILLNET_DATA_DIR");
    if (folder.isEmpty()) {
        const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
        folder = (xdg.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : xdg) +
                 QStringLiteral("/quillnet");
    }
    DatabaseLocation location;
    location.sqliteFile = QDir(folder).filePath(QStringLiteral("contacts.sqlite"));
    return location;
}

}  // namespace demo::data
