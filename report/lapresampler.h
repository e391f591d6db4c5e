#pragma once

#include "model/channel.h"

#include <QVector>

/// Carries a lap's samples onto a distance grid d_k = k * step, from 0 to the lap's last distance.
/// Grid points before a lap's first sample (it started past the line) have no value.
class LapResampler
{
public:
    /// distances: one per sample in metres, NaN for samples to leave out; the others non-decreasing.
    LapResampler(const QVector<double>& distances, double step);

    /// Number of grid points; 0 when fewer than two samples have a distance.
    int size() const { return m_points.size(); }

    /// Linear between the samples around each grid point; NaN where either has no valid value.
    QVector<double> linear(const ZEL::Channel& channel) const;
    /// The value of the nearest sample, for channels that step (gear) and must not be blended.
    QVector<double> nearest(const ZEL::Channel& channel) const;

private:
    struct Point {
        int before; // last sample at or before the grid distance; -1 where the lap has no data
        int after;  // first sample after it (== before at the ends)
        double weight; // of the sample after
    };
    QVector<Point> m_points;
};
