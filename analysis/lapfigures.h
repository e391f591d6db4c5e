#pragma once

#include "analysis/alignedlap.h"

/// What a driver reads off one lap at a glance, in the recording's units: speed and fuel over all
/// its samples, the shares of its time over its aligned samples; NaN where the lap lacks the channel.
struct LapFigures
{
    double topSpeed;          // m/s
    double minSpeed;          // m/s
    double fuelUsed;          // the falls of the valid "fuellevel" samples, in its unit (litres)
    double fullThrottleShare; // of the lap's time, throttle at or above 0.98
    double brakingShare;      // of the lap's time, brake above 0.02

    static LapFigures of(const ZEL::Lap& lap, const AlignedLap& aligned);
};
