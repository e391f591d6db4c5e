#pragma once

#include <QVector>

namespace ZEL {
class Channel;
}

/// Carries a lap's samples onto a distance grid d_k = k * step, from 0 to the lap's last distance.
/// Grid points before a lap's first sample (it started past the line) have no value.
class LapResampler
{
public:
    /// distances: one per sample in metres, NaN for samples to leave out; the others non-decreasing.
    /// The values given to linear() and nearest() hold one per sample in the same order.
    /// The grid reaches `end` when that lies beyond the last sample (a lap that ends at the line
    /// reaches the line), holding the last sample's values there.
    LapResampler(const QVector<double>& distances, double step, double end = 0.0);

    /// Number of grid points; 0 when fewer than two samples have a distance, or when they lie
    /// where no lap can (LapExtent).
    int size() const { return m_points.size(); }

    /// Linear between the samples around each grid point; NaN where either has no valid value
    /// (NaN or the missing-value marker).
    QVector<double> linear(const QVector<double>& values) const;
    /// The value of the nearest sample, for channels that step (gear) and must not be blended.
    QVector<double> nearest(const QVector<double>& values) const;
    /// A channel of the lap at every stride-th grid point, linear or nearest, read in place through
    /// sampleIndex, the lap's sample of each of the samples given to the constructor.
    QVector<double> channel(const ZEL::Channel& channel, const QVector<int>& sampleIndex, bool stepped,
                            int stride = 1) const;

private:
    struct Point {
        int before; // last sample at or before the grid distance; -1 where the lap has no data
        int after;  // first sample after it (== before at the ends)
        double weight; // of the sample after
    };
    /// The values at the grid points from valueAt(sample), the missing-value marker for none.
    template<typename ValueAt>
    QVector<double> take(ValueAt valueAt, bool stepped, int stride) const;

    QVector<Point> m_points;
};
