#pragma once

#include "analysis/sessionanalysis.h"
#include "analysis/sessionsummary.h"
#include "library/filefingerprint.h"
#include "library/laptrace.h"

#include <QDateTime>
#include <QString>
#include <QVector>

/// One lap as the library keeps it. Times in milliseconds, -1 where unknown; figures NaN where unknown.
struct StoredLap
{
    int index = 0;
    int lapNumber = 0;
    int runNumber = 0;
    int lapInRun = 0;
    int kind = 0;           // the lap status: out, timed, none
    bool completed = false;
    bool validTime = false;
    qint64 lapTimeMs = -1;
    QVector<qint64> sectorTimesMs;
    double topSpeedKmh;
    double minSpeedKmh;
    double fuelUsedL;
};

/// A recording as the library keeps it: where it is and what identifies it, its session, its
/// laps, and the trace of its fastest complete lap with a valid time, which is stored only when
/// it is a best of its track, layout, car and driver, and the corners found on it.
struct StoredFile
{
    FileFingerprint file;
    QString error;          // the import's error; empty when it worked
    QDateTime recordedAt;
    SessionSummary session; // track, layout, car, driver and session, as the report names them
    QString driverId;
    double trackLengthM = 0.0;
    QString leagueId;
    QString sessionId;
    QString subSessionId;
    QString setupName;
    QVector<double> sectorStartPct; // where the sectors start, as fractions of the lap
    QVector<StoredLap> laps;
    QVector<qint64> bestSectorsMs; // empty unless every sector has a best
    int bestLap = -1;              // index into laps of the trace's lap, -1 when none
    LapTrace bestTrace;            // encoded only when it is stored
    CornerNumbering corners;       // found on a timed lap: the track's numbering unless it has one; else empty

    /// From the analysis of the file's laps (a one-file SessionAnalysis).
    static StoredFile of(const FileFingerprint& file, const QString& error, const FileAnalysis& analysis);
};
