#pragma once

#include "laps/channelorder.h"
#include "laps/lapbudget.h"
#include "model/lap.h"
#include "model/sample.h"

#include <QString>
#include <QUuid>

#include <limits>

/// State of a car's lap state machine.
enum class LapState : qint32 {
    None = -1,    // nothing seen yet
    Waiting = 2,  // running, but the lap or run has not begun; samples are not kept
    Parked = 3,   // not on track (player) / stationary in the pits (other cars)
    PitRoad = 4,  // on pit road and moving
    OutLap = 5,   // the first lap of a run
    TimedLap = 6, // a lap that began at a line crossing
};

/// What lap detection tracks per car; kept twice, as now and as at the end of the previous record.
struct LapTracking {
    QUuid lapId;
    QUuid runId;
    qint32 lapNumber = -1;
    qint32 lapInRun = -1;
    qint32 runCount = 0;
    float lapDistPct = -1.0f;
    float lapCurrentTime = -1.0f;
    float lapLastTime = -1.0f;
    qint32 sessionState = 0;
    LapState lapState = LapState::None;
    qint32 sessionType = -1;
    bool lapCompleted = false;
};

/// One car slot of the reader: its tracking values, its current sample and the laps being built.
class CarLapState : public LapTracking
{
public:
    /// A lap's channels start with room for the samples of the car's last lap and 1/spareShare more.
    static constexpr int spareShare = 32;
    /// A car's first lap starts with room for the records left in the file, up to this many.
    static constexpr int firstLapRoom = 1 << 14;

    LapTracking previous;

    ZEL::Sample sample;
    /// When set, the current record read in place: the sample's values are its columns, overlaid
    /// by the entries of sample (then only what was set after decoding).
    const RecordColumns* record = nullptr;
    ZEL::Lap lap;
    ZEL::Lap nextLap; // samples after the line, before the completion of lap is seen
    QString driverName;
    QString teamName;
    /// Records left in the file after this one, when known (0 otherwise).
    qint64 recordsLeft = 0;
    /// The highest lap-distance fraction of the lap so far; NaN before its first sample.
    double maxLapDistPct = std::numeric_limits<double>::quiet_NaN();
    bool isPlayerCar = false;
    bool fullTelemetry = false;
    bool lapFinished = false;

    /// Closes the record: remembers the tracking values, empties the sample, starts a lap if one was finished.
    void endSample();
    void startNewLap();
    void updateOnTrack();
    bool isLapCompleted() const;

    /// The sample's value of that key; invalid when it has none.
    QVariant sampleValue(const QString& key) const;
    /// The same, with the key's column in the record read in place looked up once (-1 for none).
    QVariant sampleValue(const QString& key, int column) const;
    /// The value as the variant's toFloat(), toInt() or toBool() gives it (T float, int or bool), absent
    /// when the sample has none; read from the record without a variant when its column holds a T.
    template<typename T>
    T sampleNumber(const QString& key, int column, T absent) const;
    /// Appends the sample to a lap; what the lap's channels grow by is counted in the budget first.
    void appendToLap(LapBudget& budget) { appendTo(lap, m_lapOrder, budget); }
    void appendToNextLap(LapBudget& budget) { appendTo(nextLap, m_nextLapOrder, budget); }
    /// Completes the laps' channels with the records kept back for appending in a batch.
    void flush()
    {
        m_lapOrder.flush();
        m_nextLapOrder.flush();
    }
    /// The same, and the lap's channel order lets go of its share of the lap's channel map, which
    /// changing the map in place (as finishing the lap does) would copy otherwise.
    void closeLap()
    {
        flush();
        m_lapOrder.reset();
    }

private:
    void beginRun();
    /// The sample as a map while a record is read in place: its columns, then the entries.
    ZEL::Sample fullSample() const;
    void appendTo(ZEL::Lap& target, ChannelOrder& order, LapBudget& budget);
    /// Counts and makes what merging the sample into the target allocates, before the merge.
    static void makeRoom(const ZEL::Lap& target, const ZEL::Sample& sample, LapBudget& budget);

    ChannelOrder m_lapOrder;
    ChannelOrder m_nextLapOrder;
    int m_lastLapSamples = 0; // of the car's last finished lap: the room a new lap's channels get
};
