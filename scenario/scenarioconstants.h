#pragma once

// Where things are and how fast they change on the generated track: shared by the drive and
// the session-info text.

#include "scenario/scenario.h"

namespace scenario_constants {

// Where things are on the generated track, as fractions of the lap from the line.
constexpr double kPitEntryPct = 0.90;
constexpr double kPitBoxPct = 0.03; // the pit lane crosses the line, the boxes lie beyond it
constexpr double kPitExitPct = 0.08;
constexpr double kGridPct = 0.96; // pole slot; the grid stands behind the line
constexpr double kGridSpacingPct = 0.002;
constexpr double kResetPct = 0.40;

constexpr double kMeanSpeed = 45.0; // m/s over a flying lap; with lapSeconds it sets the length
constexpr double kPitSpeedLimit = 60.0 / 3.6;
constexpr double kPitAcceleration = 3.0;
constexpr double kTrackAcceleration = 8.0;
constexpr double kPitEntryBraking = 12.0;

constexpr double kStartWaitSeconds = 2.0; // in the box before the first departure
constexpr double kPitStopSeconds = 12.0;
constexpr double kGarageSeconds = 3.0; // out of the car after a reset
constexpr double kBoxWaitSeconds = 2.0; // back in the box after a reset
constexpr double kGridStateSeconds = 2.0; // each of the session states 1, 2 and 3
constexpr double kTailSeconds = 2.0; // recorded after the last lap timer restart
constexpr double kMinTimerDelay = 0.5; // the lap timer restarts this long after the line ...
constexpr double kMaxTimerDelay = 1.5; // ... at most this long
constexpr double kSessionStartTime = 300.0; // SessionTime of the first record
constexpr double kCarriedTimerSeconds = 20.0; // lap timer at the start of a recording on a later lap
constexpr double kMinLapSeconds = 10.0;

constexpr double kFuelMaxLitres = 60.0;
constexpr double kFuelMaxPct = 0.9;
constexpr double kFuelStartLitres = 20.0;
constexpr double kFuelKgPerLitre = 0.75;
constexpr double kFuelBudgetLitres = 18.0; // burnt over the planned laps, so a tank lasts
constexpr double kRefuelLitresPerSecond = 2.5;

constexpr int kCarSlots = 64;
constexpr int kSessionStateRacing = 4;
constexpr int kTrackLocNotInWorld = -1;
constexpr int kTrackLocInPitStall = 1;
constexpr int kTrackLocApproachingPits = 2;
constexpr int kTrackLocOnTrack = 3;

// Session flags and engine warnings as the simulator sets them.
constexpr qint32 kFlagGreen = 0x00000004;
constexpr qint32 kFlagStartHidden = 0x10000000;
constexpr qint32 kFlagStartReady = 0x20000000;
constexpr qint32 kFlagStartSet = 0x40000000;
constexpr qint32 kFlagStartGo = qint32(0x80000000u);
constexpr qint32 kWarnEngineStalled = 0x08;
constexpr qint32 kWarnPitSpeedLimiter = 0x10;
constexpr double kStartGoSeconds = 5.0;

// The circuit's centre, the track's reference point in the session info.
constexpr double kCentreLatitude = -43.5081;
constexpr double kCentreLongitude = 172.4123;
constexpr double kSemiMajorAxis = 6378137.0;                         // WGS84, metres

inline double trackLength(const ScenarioOptions& options)
{
    return options.track.isEmpty() ? options.lapSeconds * kMeanSpeed : options.track.length();
}

} // namespace scenario_constants
