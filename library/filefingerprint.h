#pragma once

#include <QString>

/// What tells one recording from another without reading it whole: its size, its time of last
/// change, and a hash of its size, first and last blocks. A recording's header and first
/// records, and its last records, differ from any other's, so a moved or renamed file keeps its
/// fingerprint and a changed one gets a new one. The hash is MD5: no one forges recordings to
/// collide, and it costs a tenth of SHA-256, which libraries of the first version hold.
struct FileFingerprint
{
    QString path;        // absolute
    qint64 size = -1;
    qint64 modifiedMs = 0;
    QString hash;        // empty until computed

    /// Size and time of a file; false when it cannot be read.
    static bool stat(const QString& path, FileFingerprint& fingerprint);
    /// Adds the hash: reads two blocks. False with the reason when the file cannot be read.
    bool computeHash(QString& error);
    /// Whether a stored hash is of the kind computeHash() gives, not an older library's.
    static bool isCurrentHash(const QString& hash);
};
