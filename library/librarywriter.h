#pragma once

#include "library/filefingerprint.h"

#include <QHash>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

class LapLibrary;
struct StoredFile;

/// Puts recordings into the library, one transaction per file, on the library's thread.
/// Unique constraints keep a file from being stored twice, whoever else writes at the same time.
class LibraryWriter
{
public:
    explicit LibraryWriter(LapLibrary& library);

    enum class Need {
        Import,    // new, or changed at its path
        Unchanged, // the library has it: at this path, or moved here (its row follows it), or a copy
        Error,     // the file cannot be read; see errorString()
        Refused,   // the library failed; see errorString()
    };
    /// Whether a file must be imported; reads its two blocks only when its size or time changed.
    /// Stats the file itself: the fingerprint's path must be set.
    Need check(FileFingerprint& file);

    /// Stores the file, replacing the rows of an earlier version at its path. False with
    /// errorString() when the library refused; alreadyStored when another writer was first.
    bool store(const StoredFile& file, bool& alreadyStored);

    QString errorString() const { return m_error; }

private:
    bool storeRows(const StoredFile& file, bool& alreadyStored);
    bool storeCorners(const StoredFile& file);
    bool failed();
    /// Runs a statement prepared once per writer, not once per file; null on failure. A
    /// statement that returns rows is finished after reading, so that it holds no lock.
    QSqlQuery* run(const QString& sql, const QVariantList& values);

    LapLibrary& m_library;
    QString m_host;
    QString m_error;
    QHash<QString, QSqlQuery> m_statements;
};
