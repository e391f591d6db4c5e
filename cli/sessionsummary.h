#pragma once

#include "cli/fileimport.h"

#include <QString>

/// Where, in what and in which session a file's laps were driven, read from the laps'
/// header fields and properties.
struct SessionSummary
{
    QString trackName;
    QString trackConfig;
    QString carName;
    QString driverName;
    QString sessionName;
    int sessionType = ZEL::LapHeader::SessionTypeUnknown;
    int fastestLap = -1; // index into the laps, -1 when no lap has a time

    /// Taken from the first lap that knows its track; a lap cut from an empty file knows nothing.
    static SessionSummary of(const LapList& laps);

    /// "Practice", "Race", ... for a session-type code; "unknown" for -1 and codes the plugin never gives.
    static QString sessionTypeName(int sessionType);
};
