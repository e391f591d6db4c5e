#pragma once

#include <QString>

class LapLibrary;

/// The library's tables, one schema for every backend, as numbered steps from an empty
/// database to the current version. The table schema_version records how far a database is.
class LibrarySchema
{
public:
    static int currentVersion();

    /// The version the database is at: 0 for one without tables; -1 with an error for one
    /// that holds other tables or cannot be read. Reads only.
    static int versionOf(LapLibrary& library, QString& error);

    /// Runs the steps a database at version (as versionOf() read it on opening) lacks, each in its
    /// own transaction; refuses a newer one.
    static bool migrate(LapLibrary& library, int version, QString& error);
};
