#pragma once

#include "analysis/alignedlap.h"
#include "analysis/corner.h"
#include "analysis/cornerfigures.h"
#include "analysis/cornernumbering.h"
#include "analysis/lapfigures.h"
#include "analysis/lapkind.h"
#include "analysis/laptimestats.h"
#include "analysis/recordinginfo.h"
#include "analysis/sectors.h"
#include "analysis/trackmap.h"

#include <QSharedPointer>
#include <QString>
#include <QVector>

/// One lap as the analysis sees it. Times in seconds, NaN where unknown.
struct LapAnalysis
{
    QSharedPointer<ZEL::Lap> lap;
    AlignedLap aligned;
    TrackMap map;                // empty when the lap has no positions
    LapFigures figures;
    LapKind::Kind kind = LapKind::None;
    bool validTime = false;      // a recorded time, not the plugin's 59:59.000 of an untimed lap
    double lapTime;              // the recorded time when valid
    QVector<double> sectorTimes; // one per sector of the file
    QVector<double> sectorGains; // sector time minus the reference's: positive where slower
    double deltaToReference;     // at the line
    QVector<CornerFigures> cornerFigures; // one per corner of the file's track

    /// The recorded time when valid, else the line to line time the samples give; NaN when neither.
    double bestKnownTime() const { return validTime ? lapTime : aligned.lineToLineTime(); }
};

/// One file's laps and what they add up to.
struct FileAnalysis
{
    QString path;
    RecordingInfo info;
    // What the file is: from its session info, else from the first lap that knows its track.
    QString trackName;
    QString trackConfig;
    QString carName;
    QString driverName;
    QString sessionName;
    int sessionType = -1;
    QString trackKey;              // track, configuration and car; laps compare only within one
    double trackLength = 0.0;      // metres, as the laps' distances imply; 0 when unknown
    Sectors sectors;
    QVector<LapAnalysis> laps;     // in the order of the input
    QVector<double> bestSectors;   // per sector, over laps with a valid time that drove every sector
    QVector<int> bestSectorLaps;   // index of the lap that set each, -1 when none
    double theoreticalBest;        // sum of bestSectors, never above the best lap; NaN when a sector has no best
    LapTimeStats stats;            // of the valid lap times
    bool hasMap = false;
    int referenceFile = -1;        // where the lap the deltas are against is; -1 when none
    int referenceLap = -1;
    QVector<Corner> corners;       // of the track, numbered the same in every file of it

    enum class CornerOrigin {
        None,         // no lap to find them on
        Stored,       // the track's stored numbering, fitted to this file's length
        TimedLap,     // found on a whole lap with a recorded time: the reference, or the file's best
        OtherLap,     // found on the lap that covers most of the track
    };
    CornerOrigin cornerOrigin = CornerOrigin::None;
    CornerNumbering numbering;     // the stored one the corners came from, or the one found in this run
    double refusedNumberingLength = 0.0; // > 0: the stored one's track length, too far from this file's to fit
};

/// The analysis of every lap of a set of files: distance alignment, sectors, the reference lap
/// (the fastest valid lap on the same track and configuration in the same car, from any of the
/// files) and the delta of each lap against it. A lap with a recorded time has its sample clock
/// stretched to that time, so that its sectors, its delta and its time tell one story.
class SessionAnalysis
{
public:
    struct Input
    {
        QString path; // read for its session info, sector starts and recording date
        QVector<QSharedPointer<ZEL::Lap>> laps;
        /// An input whose fastest valid lap the caller chose as this file's reference (a lap
        /// library's best); -1 to take the fastest of all inputs.
        int referenceInput = -1;
        /// For a lap library's best, whose path is no recording: where its sectors start, and per
        /// lap the sector times measured when it was stored (seconds, NaN where not driven whole).
        QVector<double> sectorStartPct = {};
        QVector<QVector<double>> storedSectorTimes = {};
    };

    /// storedCorners gives each track's kept numbering, used instead of finding the corners again.
    explicit SessionAnalysis(const QVector<Input>& inputs, const CornerLookup& storedCorners = {});

    const QVector<FileAnalysis>& files() const { return m_files; }
    /// The lap the deltas of a file are against; null when there is none.
    const LapAnalysis* referenceOf(int file) const;
    /// The file's lap of that number; null when it has none.
    const LapAnalysis* findLap(int file, int lapNumber) const;

    /// The track length the laps' own distances imply (the median of those past half distance,
    /// else the one that got furthest); 0 when no lap measures it.
    static double measuredTrackLength(const QVector<QSharedPointer<ZEL::Lap>>& laps);

    /// Whether the lap carries a recorded time: neither a null time nor the plugin's 59:59.000.
    static bool hasValidTime(const ZEL::LapHeader& lap);

    /// Whether two files are of one track and layout (the car aside); a file that names no track
    /// is like none but itself.
    static bool sameTrack(const FileAnalysis& a, const FileAnalysis& b);

private:
    void analyseFile(FileAnalysis& file, const Input& input);
    void chooseReferences();
    void takeChosenReferences(const QVector<Input>& inputs);
    void compareWithReferences();
    void findCorners(const CornerLookup& storedCorners);
    CornerNumbering detectCorners(int file, bool ownLaps, FileAnalysis::CornerOrigin& origin) const;

    QVector<FileAnalysis> m_files;
};
