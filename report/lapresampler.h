#pragma once

#include <QVector>

/// Carries a lap's samples onto a distance grid d_k = k * step, from 0 to the lap's last distance.
/// Grid points before a lap's first sample (it started past the line) have no value.
class LapResampler
{
public:
    /// distances: one per sample in metres, NaN for samples to leave out; the others non-decreasing.
    /// The values given to linear() and nearest() hold one per sample in the same order.
    LapResampler(const QVector<double>& distances, double step);

    /// Number of grid points; 0 when fewer than two samples have a distance, or when they lie
    /// where no lap can (LapExtent).
    int size() const { return m_points.size(); }

    /// Linear between the samples around each grid point; NaN where either has no valid value
    /// (NaN or the missing-value marker).
    QVector<double> linear(const QVector<double>& values) const;
    /// The value of the nearest sample, for channels that step (gear) and must not be blended.
    QVector<double> nearest(const QVector<double>& values) const;

private:
    struct Point {
        int before; // last sample at or before the grid distance; -1 where the lap has no data
        int after;  // first sample after it (== before at the ends)
        double weight; // of the sample after
    };
    QVector<Point> m_points;
};
