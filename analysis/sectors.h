#pragma once

#include "analysis/alignedlap.h"

/// The track's sectors as the session info places them, in metres.
class Sectors
{
public:
    Sectors() = default;
    /// Fractions of the lap where the sectors start (the first 0), on a track of that length.
    Sectors(const QVector<double>& startPct, double trackLengthM);

    int count() const { return m_starts.size(); }
    /// Where sector k starts and ends, in metres.
    double start(int k) const { return m_starts.at(k); }
    double end(int k) const { return k + 1 < m_starts.size() ? m_starts.at(k + 1) : m_trackLength; }

    /// The time the lap took through each sector, in whole milliseconds (as seconds): the differences
    /// of the rounded times at the boundaries, so that they add up to the time at the line. NaN
    /// where it did not drive it whole.
    QVector<double> times(const AlignedLap& lap) const;

private:
    QVector<double> m_starts;
    double m_trackLength = 0.0;
};
