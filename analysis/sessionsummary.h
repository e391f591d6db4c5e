#pragma once

#include "analysis/sessionanalysis.h"

#include <QString>

/// Where, in what and in which session a file was recorded, as the analysis found it (its session
/// info first, so that a file without laps still says what it is), and its fastest lap.
struct SessionSummary
{
    QString trackName;
    QString trackConfig;
    QString carName;
    QString driverName;
    QString sessionName;
    int sessionType = ZEL::LapHeader::SessionTypeUnknown;
    int fastestLap = -1; // index into the laps, -1 when no lap has a time

    static SessionSummary of(const FileAnalysis& file);

    /// "Practice", "Race", ... for a session-type code; "unknown" for -1 and codes the plugin never gives.
    static QString sessionTypeName(int sessionType);
};
