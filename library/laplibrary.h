#pragma once

#include "library/librarylocation.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

/// One open connection to a lap library, on the thread that opened it: Qt's SQL connections
/// must not cross threads. Opening checks that the database is a library this code can use
/// before anything is written to it, and brings an older one up to date.
class LapLibrary
{
public:
    LapLibrary();
    ~LapLibrary();
    LapLibrary(const LapLibrary&) = delete;
    LapLibrary& operator=(const LapLibrary&) = delete;

    /// False with errorString() when the location holds no usable library or cannot be reached;
    /// the database is then left as it was.
    bool open(const LibraryLocation& location);
    QString errorString() const { return m_error; }
    const LibraryLocation& location() const { return m_location; }
    bool isPostgreSQL() const { return m_location.backend == LibraryLocation::PostgreSQL; }

    /// A statement prepared with its values bound in order; false with errorString() on failure.
    bool run(QSqlQuery& query, const QString& sql, const QVariantList& values = {});
    QSqlQuery newQuery() const { return QSqlQuery(m_db); }

    /// A write transaction: it takes the write lock at once on SQLite, so that two writers
    /// queue on the busy timeout instead of failing on a lock upgrade.
    bool beginWrite();
    bool commit();
    void rollback();

    /// Records an error of the query, "No space left on device" for a full disk.
    bool fail(const QSqlQuery& query);
    /// Whether the last failure was a unique constraint: another writer stored the row first.
    bool lastFailureWasConflict() const { return m_conflict; }

    /// A NULL of the given kind, for optional values.
    static QVariant null(QVariant::Type type) { return QVariant(type); }
    /// A name: never NULL, so that unnamed tracks or drivers still group and compare as equal.
    static QVariant name(const QString& text) { return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text); }

private:
    bool openSQLite();
    bool openPostgreSQL();
    bool execute(const QString& sql);
    /// Names the library in front of an error that does not yet.
    bool refuse(const QString& error);
    QString describe(const QSqlError& error) const;

    LibraryLocation m_location;
    QString m_connectionName;
    QSqlDatabase m_db;
    QString m_error;
    bool m_conflict = false;
};
