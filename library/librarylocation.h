#pragma once

#include <QString>

/// Where a lap library lives: an SQLite file, or a PostgreSQL database named by a URL
/// postgresql://[user[:password]@][host][:port]/dbname[?host=/socket/dir]. Fields the URL
/// leaves out stay empty, so that libpq takes them from the PG* variables and ~/.pgpass.
struct LibraryLocation
{
    enum Backend { SQLite, PostgreSQL };

    Backend backend = SQLite;
    QString path;     // the SQLite file
    QString user;     // PostgreSQL fields, empty when not given
    QString password;
    QString host;     // a name, an address or a socket folder
    int port = -1;
    QString database;

    /// False with an error text when the argument is a URL that cannot be read.
    static bool parse(const QString& text, LibraryLocation& location, QString& error);

    /// How the library is named in messages: the path, or the URL without its password.
    QString displayName() const;
};
