#pragma once

#include "analysis/alignedlap.h"

/// The time a lap was behind a reference lap at equal distance: positive where it was slower.
/// Holds the two laps by reference; they must outlive it.
class TimeDelta
{
public:
    /// A stretch of the lap over which the delta moved one way.
    struct Swing
    {
        double from;   // metres
        double to;     // metres
        double change; // seconds; positive where the lap lost time to the reference
    };

    TimeDelta(const AlignedLap& lap, const AlignedLap& reference);

    /// Both laps start at the line, so their clocks agree on where zero is.
    bool isComparable() const;
    /// The delta at a distance in seconds; NaN where either lap has no time.
    double at(double distance) const;
    /// The delta at each grid distance.
    QVector<double> over(const QVector<double>& grid) const;
    /// The delta where the laps cross the line at the end; NaN unless both ran line to line.
    double atLine() const;

    /// The stretches where most time changed hands, at most `count` of them in lap order, from
    /// the delta sampled every stepM metres. Wiggles smaller than a twentieth of the delta's
    /// range (at least 10 ms) do not end a stretch.
    QVector<Swing> largestSwings(int count, double stepM = 5.0) const;

private:
    const AlignedLap& m_lap;
    const AlignedLap& m_reference;
};
