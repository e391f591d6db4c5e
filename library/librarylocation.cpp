#include "library/librarylocation.h"

#include <QUrl>
#include <QUrlQuery>

bool LibraryLocation::parse(const QString& text, LibraryLocation& location, QString& error)
{
    location = LibraryLocation();
    const bool isUrl = text.startsWith(QLatin1String("postgresql://")) || text.startsWith(QLatin1String("postgres://"));
    if (!isUrl) {
        if (text.isEmpty()) {
            error = QStringLiteral("--library wants an SQLite file or a postgresql:// URL");
            return false;
        }
        location.path = text;
        return true;
    }
    const QUrl url(text, QUrl::StrictMode);
    // The URL itself may hold a password: messages name the parts only.
    if (!url.isValid()) {
        error = QStringLiteral("--library: not a readable postgresql:// URL");
        return false;
    }
    location.backend = PostgreSQL;
    location.user = url.userName(QUrl::FullyDecoded);
    location.password = url.password(QUrl::FullyDecoded);
    location.host = url.host(QUrl::FullyDecoded);
    location.port = url.port(-1);
    location.database = url.path(QUrl::FullyDecoded).mid(1);
    const QUrlQuery query(url);
    if (query.hasQueryItem(QStringLiteral("host")))
        location.host = query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
    if (location.database.isEmpty() || location.database.contains(QLatin1Char('/'))) {
        error = QStringLiteral("--library: the postgresql:// URL names no database (postgresql://host/dbname)");
        return false;
    }
    return true;
}

QString LibraryLocation::displayName() const
{
    if (backend == SQLite)
        return path;
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setUserName(user);
    if (!host.startsWith(QLatin1Char('/')))
        url.setHost(host);
    url.setPort(port);
    url.setPath(QLatin1Char('/') + database);
    if (host.startsWith(QLatin1Char('/')))
        url.setQuery(QStringLiteral("host=") + host);
    // With an empty host QUrl drops the "//" that the form needs.
    QString shown = url.toString(QUrl::RemovePassword);
    if (url.host().isEmpty() && !shown.startsWith(QLatin1String("postgresql://")))
        shown.replace(0, int(qstrlen("postgresql:")), QStringLiteral("postgresql://"));
    return shown;
}
