#pragma once

#include "scenario/speedprofile.h"
#include "scenario/trackshape.h"

#include <QByteArray>
#include <QPointF>
#include <QString>
#include <QVector>

#include <functional>

class IbtWriter;
class QIODevice;

/// What a scenario drives and how its file looks.
struct ScenarioOptions
{
    enum class Session {
        Testing,  // "Offline Testing", the only session
        Practice, // "Practice", the only session
        Race,     // session 2 of Practice, Qualify, Race; standing start from the grid
    };

    Session session = Session::Practice;
    int timedLaps = 3;         // flying laps, not counting out laps, in-laps and the cut-off last lap
    double lapSeconds = 60.0;  // nominal time of a flying lap; sets the track length
    int tickRate = 60;         // records per second
    bool pitStop = false;      // an in-lap into the pit box, a stop and a new out lap
    bool resetToPits = false;  // a lap cut short by a reset to the pits, then a new out lap
    bool blankRecords = false; // the first record, and the first after a reset, read Lap 0,
                               // LapDistPct 0 and off pit road, as the simulator writes them
    int firstLap = 0;          // Lap at the start of the recording
    int playerCarIdx = 0;
    int driverCount = 1;       // cars 0 .. driverCount - 1; raised to hold the player car
    bool wide = false;         // about 280 variables and 2.6 KB per record
    double minutes = 0.0;      // when > 0: lap, whatever timedLaps says, and stop after exactly this long
    quint32 seed = 1;          // varies lap times and timer delays
    QByteArray sessionInfo;    // replaces the generated session-info text when not empty
    QByteArray trackName = "Lakeside Motor Park"; // TrackDisplayName
    QByteArray carName = "Apex GT4 Hybrid";       // CarScreenName of every car
    // Empty: a circle as long as lapSeconds at 45 m/s, driven at the speed lapTimeShare() gives.
    // Otherwise this track, driven at the car's limits (then the track sets lapSeconds); the line
    // should lie where the car runs at top speed, as each lap takes its corners a little
    // differently.
    TrackShape track;
    SpeedProfile::Limits car;
};

/// One lap as the scenario drove it: a stretch with one value of Lap, or the part of it
/// before a reset.
struct ScenarioLap
{
    enum Kind {
        OutLap,     // from the pit box or the grid to the line
        TimedLap,   // line to line at speed
        InLap,      // from the line into the pit lane, ending at the line inside it
        AbortedLap, // ended by a reset to the pits, never reaching the line
    };

    int lapNumber = 0;      // Lap while it was driven
    Kind kind = TimedLap;
    double lapTime = -1.0;  // LapLastLapTime set when it ended (a float value), -1 when none
    qint64 lineRecord = -1; // first record with the next Lap; -1 when the line was not reached
    qint64 timerRecord = -1; // record where the lap timer restarted and LapLastLapTime was set
    QVector<double> gripFactors; // on a shaped track: the grip of each piece, as a share of the car's
    double lineSpeed = -1.0;     // on a shaped track: m/s when it began at the line at speed
};

/// Drives one car through a session and writes it as an .ibt file with the session info,
/// the variables and the record patterns of the simulator's own recordings.
class Scenario
{
public:
    explicit Scenario(const ScenarioOptions& options = {});

    const ScenarioOptions& options() const { return m_options; }
    /// The session-info text that goes into the file.
    QByteArray sessionInfo() const;
    /// Length of the generated track in metres.
    double trackLengthM() const;

    /// Share of a flying lap's time spent from the line to the lap fraction pct: the speed
    /// profile every flying lap follows, scaled to its own lap time.
    static double lapTimeShare(double pct);
    /// Where the car is at the lap fraction pct, east and north of the circuit's centre in metres:
    /// the circuit is a circle as long as the track, driven clockwise from its northern point.
    /// Lat and Lon hold this position on the WGS84 ellipsoid.
    static QPointF circuitPosition(double pct, double trackLengthM);
    /// The speed a lap of a shaped track was driven at; empty on the circle.
    SpeedProfile profileOf(const ScenarioLap& lap) const;

    bool write(const QString& path);
    /// Writes into an open, seekable device.
    bool write(QIODevice* device);
    QString errorString() const { return m_error; }

    /// What the last write drove, lap by lap in driving order.
    const QVector<ScenarioLap>& laps() const { return m_laps; }
    qint64 recordCount() const { return m_recordCount; }

private:
    class Drive;

    bool writeWith(const std::function<bool(IbtWriter&)>& open);

    ScenarioOptions m_options;
    QVector<ScenarioLap> m_laps;
    qint64 m_recordCount = 0;
    QString m_error;
};
