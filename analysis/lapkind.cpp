#include "analysis/lapkind.h"

#include "analysis/samplevalue.h"

namespace LapKind {

namespace {

// The simulator's track-location code of a car on the track (1 is the pit stall, 2 pit road).
constexpr double onTrack = 3.0;
// Faster than any pit lane allows: a car this fast at its first record was out on the track.
constexpr double racingSpeed = 25.0; // m/s

double first(const ZEL::Lap& lap, const QString& channel, int sample)
{
    const QSharedPointer<ZEL::Channel> found = lap.channel(channel);
    return found ? found->value(sample) : ZEL::missingValue;
}

/// Whether the recording began with the car out on the track, not leaving the pits: on the track
/// (older recordings only say off pit road) and at a speed no pit lane allows.
bool startsOnTrack(const ZEL::Lap& lap, const AlignedLap& aligned)
{
    const int sample = aligned.isEmpty() ? 0 : aligned.sampleIndex().first();
    const double surface = first(lap, QStringLiteral("playertracksurface"), sample);
    const double pitRoad = first(lap, QStringLiteral("onpitroad"), sample);
    const double speed = first(lap, QStringLiteral("speed"), sample);
    const bool onTheTrack = isSampleValue(surface) ? surface == onTrack : isSampleValue(pitRoad) && pitRoad == 0.0;
    return onTheTrack && isSampleValue(speed) && speed > racingSpeed;
}

} // namespace

Kind of(const ZEL::Lap& lap, const AlignedLap& aligned, bool firstOfRecording)
{
    if (lap.sampleCount() == 0)
        return None;
    if (!lap.completed())
        return Unfinished;
    switch (lap.lapStatus()) {
    case ZEL::LapHeader::LapStatusTimedLap:
        return Timed;
    case ZEL::LapHeader::LapStatusOutLap:
        // Only the recording's start can find the car out on the track: later out laps leave the
        // pits, and a race's first lap leaves the grid.
        return firstOfRecording && lap.sessionType() != ZEL::LapHeader::SessionTypeRace && startsOnTrack(lap, aligned)
                   ? Joined
                   : Out;
    default:
        return None;
    }
}

QString label(Kind kind)
{
    switch (kind) {
    case Out:
        return QStringLiteral("out");
    case Joined:
        return QStringLiteral("joined");
    case Timed:
        return QStringLiteral("timed");
    case Unfinished:
        return QStringLiteral("unfinished");
    default:
        return QStringLiteral("-");
    }
}

QString legend()
{
    return QStringLiteral("out = out lap (from the pits or the grid to the line), joined = from where the recording "
                          "started on track to the line,\n      timed = timed lap (line to line), unfinished = the "
                          "recording ended in it,\n      - = no kind (an in-lap, a lap cut short by a reset, a lap on "
                          "pit road)");
}

} // namespace LapKind
