#include "library/laplibrary.h"

#include "library/libraryschema.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>

namespace {

QAtomicInt connectionCount;

// Writers wait this long for each other's transactions; a file's transaction takes milliseconds.
constexpr int busyTimeoutMs = 60000;
// libpq's own limit, per address tried: an unreachable server answers within 10 s.
constexpr int connectTimeoutS = 4;

const QByteArray sqliteMagic("SQLite format 3\0", 16);

// SQLITE_FULL and SQLITE_CONSTRAINT, also as the low byte of an extended code.
constexpr int sqliteFull = 13;
constexpr int sqliteConstraint = 19;
const QString postgresDiskFull = QStringLiteral("53100");
const QString postgresUniqueViolation = QStringLiteral("23505");

} // namespace

LapLibrary::LapLibrary()
    : m_connectionName(QStringLiteral("laplibrary-%1").arg(connectionCount.fetchAndAddRelaxed(1)))
{
}

LapLibrary::~LapLibrary()
{
    if (m_db.isValid())
        m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool LapLibrary::open(const LibraryLocation& location)
{
    m_location = location;
    const bool opened = location.backend == LibraryLocation::SQLite ? openSQLite() : openPostgreSQL();
    if (!opened)
        return false;
    // Only reads until the database is known to be a library of a version this code knows.
    QString error;
    const int version = LibrarySchema::versionOf(*this, error);
    if (version < 0 || version > LibrarySchema::currentVersion())
        return refuse(error);
    // WAL lets readers go on while one writer writes; foreign keys remove a file's laps with it.
    if (!isPostgreSQL()
        && !(execute(QStringLiteral("PRAGMA synchronous=NORMAL")) && execute(QStringLiteral("PRAGMA journal_mode=WAL"))
             && execute(QStringLiteral("PRAGMA foreign_keys=ON"))))
        return false;
    return LibrarySchema::migrate(*this, version, error) || refuse(error);
}

bool LapLibrary::openSQLite()
{
    const QString& path = m_location.path;
    const QFileInfo info(path);
    // Anything that is not an SQLite file is refused before the driver sees it, so that
    // nothing is ever written into it.
    if (info.exists()) {
        QFile file(path);
        if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
            m_error = QStringLiteral("cannot open the library %1: %2")
                          .arg(path, info.isDir() ? QStringLiteral("it is a folder") : file.errorString());
            return false;
        }
        const QByteArray head = file.read(sqliteMagic.size());
        if (!head.isEmpty() && head != sqliteMagic) {
            m_error = QStringLiteral("%1 is not a lap library (not an SQLite database); left unchanged").arg(path);
            return false;
        }
    } else if (!info.dir().exists()) {
        m_error = QStringLiteral("cannot create the library %1: no such folder").arg(path);
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
        m_error = QStringLiteral("Qt's SQLite driver is missing (Debian: libqt5sql5-sqlite)");
        return false;
    }
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_db.setDatabaseName(path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    if (!m_db.open()) {
        m_error = QStringLiteral("cannot open the library %1: %2").arg(path, describe(m_db.lastError()));
        return false;
    }
    return true;
}

bool LapLibrary::openPostgreSQL()
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        m_error = QStringLiteral("Qt's PostgreSQL driver is missing (Debian: libqt5sql5-psql)");
        return false;
    }
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
    // Empty fields are left out of the connection, so libpq fills them from PG* and ~/.pgpass.
    m_db.setDatabaseName(m_location.database);
    m_db.setUserName(m_location.user);
    m_db.setPassword(m_location.password);
    m_db.setHostName(m_location.host);
    m_db.setPort(m_location.port);
    m_db.setConnectOptions(
        QStringLiteral("connect_timeout=%1;application_name=ibtimport").arg(connectTimeoutS));
    if (!m_db.open()) {
        m_error = QStringLiteral("cannot connect to the library %1: %2")
                      .arg(m_location.displayName(), describe(m_db.lastError()));
        return false;
    }
    return execute(QStringLiteral("SET client_min_messages TO WARNING"));
}

bool LapLibrary::refuse(const QString& error)
{
    const QString name = m_location.displayName();
    m_error = error.startsWith(name) ? error : QStringLiteral("%1: %2").arg(name, error);
    return false;
}

bool LapLibrary::execute(const QString& sql)
{
    QSqlQuery query(m_db);
    if (!query.exec(sql))
        return fail(query);
    return true;
}

bool LapLibrary::run(QSqlQuery& query, const QString& sql, const QVariantList& values)
{
    // Statements without values run unprepared: PostgreSQL prepares no DDL.
    if (values.isEmpty())
        return query.exec(sql) || fail(query);
    if (query.lastQuery() != sql && !query.prepare(sql))
        return fail(query);
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values.at(i));
    if (!query.exec())
        return fail(query);
    return true;
}

bool LapLibrary::beginWrite()
{
    return execute(isPostgreSQL() ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
}

bool LapLibrary::commit()
{
    if (execute(QStringLiteral("COMMIT")))
        return true;
    rollback();
    return false;
}

void LapLibrary::rollback()
{
    QSqlQuery query(m_db);
    query.exec(QStringLiteral("ROLLBACK"));
}

bool LapLibrary::fail(const QSqlQuery& query)
{
    const QSqlError error = query.lastError();
    const QString code = error.nativeErrorCode();
    // SQLite's primary code is the same for every kind of constraint: its text tells.
    m_conflict = isPostgreSQL() ? code == postgresUniqueViolation
                                : (code.toInt() & 0xff) == sqliteConstraint
                                      && error.databaseText().contains(QLatin1String("UNIQUE"));
    m_error = QStringLiteral("%1: %2").arg(m_location.displayName(), describe(error));
    return false;
}

QString LapLibrary::describe(const QSqlError& error) const
{
    const QString code = error.nativeErrorCode();
    if (isPostgreSQL() ? code == postgresDiskFull : (code.toInt() & 0xff) == sqliteFull)
        return QStringLiteral("No space left on device");
    const QString text = error.databaseText().simplified();
    return text.isEmpty() ? error.text().simplified() : text;
}
