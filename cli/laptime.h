#pragma once

#include "cli/fileimport.h"

#include <QString>
#include <QTime>

/// How lap times read and which lap is the fastest.
namespace LapTime {

/// "m:ss.mmm", minutes unpadded and counted past the hour; "-" for a null time.
QString text(const QTime& time);

/// The same for a time in seconds, rounded to the millisecond; empty for NaN.
QString text(double seconds);

/// A sector time: "ss.mmm" below a minute, else as a lap time; empty for NaN.
QString sectorText(double seconds);

/// A difference with its sign: "+0.082", "-1.250"; empty for NaN.
QString gapText(double seconds);

/// Milliseconds of the lap; -1 for a null time.
int milliseconds(const QTime& time);

/// Whether the lap carries a real time, not the null time of an unfinished lap nor the
/// 59:59.000 that the plugin gives a lap it could not time.
bool isTimed(const ZEL::LapHeader& lap);

/// Index of the lap with the shortest real time, the first of equals; -1 when none has one.
int fastest(const LapList& laps);

} // namespace LapTime
