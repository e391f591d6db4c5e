#pragma once

#include <QString>

/// What the import is measured against: the same file read with no model at all.
namespace Baseline {

struct Run {
    qint64 nanoseconds = 0;    // from opening the file to the last record; freeing is left out
    qint64 cpuNanoseconds = 0; // the same in processor time
    qint64 count = -1;         // records or values handled; -1 when the file could not be read
};

/// (a) Reads every record with fread and nothing else; counts records.
Run readRecords(const QString& path);

/// (b) Decodes every variable of every record (arrays: the last element, as the import keeps)
/// into one reserved column of doubles per variable; counts values.
Run decodeColumns(const QString& path);

} // namespace Baseline
