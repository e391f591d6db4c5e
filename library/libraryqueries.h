#pragma once

#include "analysis/cornernumbering.h"
#include "library/laptrace.h"

#include <QSqlQuery>
#include <QString>
#include <QVector>

class LapLibrary;

/// What to list: case-insensitive parts of the names; empty matches everything.
struct LibraryFilter
{
    QString track;
    QString car;
    QString driver;

    bool matches(const QString& track, const QString& car, const QString& driver) const;
};

/// The best of one track, layout, car and driver over every session in the library.
struct LibraryBest
{
    QString track;
    QString config;
    QString car;
    QString driver;
    qint64 bestLapMs = -1;
    qint64 theoreticalBestMs = -1; // -1 when no sector count has a best for every sector
    int validLaps = 0;
    int sessions = 0;
    QString path;                  // of the best lap's file
    int lapNumber = 0;
    QString recordedAt;            // ISO 8601 UTC, empty when unknown
};

/// One stored recording with what it came to.
struct LibrarySession
{
    QString path;
    QString recordedAt;
    QString track;
    QString config;
    QString car;
    QString driver;
    QString sessionName;
    QString error;
    int laps = 0;
    int validLaps = 0;
    qint64 bestLapMs = -1;
    int bestLapNumber = -1;
};

/// A stored best lap to compare with, with its trace.
struct LibraryLap
{
    QString track;
    QString config;
    QString car;
    QString driver;
    QString recordedAt;
    QString path;
    int lapNumber = 0;
    qint64 lapTimeMs = -1;
    LapTrace trace;
    QVector<double> sectorStartPct; // of its file, as fractions of the lap; empty when not stored
    QVector<qint64> sectorTimesMs;  // -1 for a sector not driven whole
};

/// The questions the command line asks of a library; every value bound.
class LibraryQueries
{
public:
    explicit LibraryQueries(LapLibrary& library);

    /// Per track, layout, car and driver, ordered by track, layout, car and best time.
    bool bests(const LibraryFilter& filter, QVector<LibraryBest>& result);
    /// Every stored recording, by recording date.
    bool sessions(const LibraryFilter& filter, QVector<LibrarySession>& result);
    /// The fastest valid lap with a trace on this track, layout and car, by the driver (a name,
    /// case-insensitive) or by anyone when the driver is empty, on laps of the layout that
    /// measures trackLengthM (0: any). False with an empty lap when there is none; errorString()
    /// tells a failure from that.
    bool bestLap(const QString& track, const QString& config, const QString& car, const QString& driver,
                 double trackLengthM, LibraryLap& lap);
    /// The corner numbering of the track and layout; empty when it has none. False with
    /// errorString() on a failure, or an empty one when the stored one does not hold together.
    /// Asked once per file of a run: its statement stays prepared while these queries live.
    bool cornerNumbering(const QString& track, const QString& config, CornerNumbering& numbering);

    QString errorString() const { return m_error; }

private:
    LapLibrary& m_library;
    QSqlQuery m_numbering;
    QString m_error;
};
