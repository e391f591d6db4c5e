#pragma once

#include "analysis/alignedlap.h"
#include "analysis/corner.h"

#include <QVector>

#include <cmath>

/// How a lap took one corner, in metres from the line, m/s and seconds; NaN where a figure does
/// not apply (no braking for the corner, no reference) or the lap did not drive that far.
struct CornerFigures
{
    int number = 0;
    double brakePoint;  // where the brake first passes 10 % between the previous corner's end and the apex
    double entrySpeed;  // at the braking point
    double minSpeed;    // lowest speed between the corner's start and end ...
    double minAt;       // ... and where
    double throttleOn;  // where the throttle is back above 20 % after the apex
    double exitSpeed;   // at the corner's end
    double delta;       // time lost (positive) against the reference from the previous corner's end to this one's

    /// The figures of every corner for one lap. The time deltas need a reference and the lap's
    /// delta at the line: the corners' deltas add up to it to the millisecond (each a difference
    /// of whole milliseconds at the corners' ends).
    static QVector<CornerFigures> of(const ZEL::Lap& lap, const AlignedLap& aligned, const QVector<Corner>& corners,
                                     const AlignedLap* reference = nullptr, double deltaAtLine = std::nan(""));
};
