#pragma once

#include "analysis/alignedlap.h"
#include "analysis/trackmap.h"

/// How sharply a lap turns along the track, on an even distance grid: from the map's positions,
/// else from yaw rate over speed. Also the lap's speed on the same grid, for the corner rules.
class TrackCurvature
{
public:
    /// smoothingM: width of the moving average. A lap that runs line to line wraps around.
    static TrackCurvature of(const ZEL::Lap& lap, const AlignedLap& aligned, const TrackMap& map, double smoothingM);

    bool isEmpty() const { return m_curvature.isEmpty(); }
    int size() const { return m_curvature.size(); }
    double step() const { return m_step; }
    /// Whether the grid goes round the whole lap, so that its ends join.
    bool wraps() const { return m_wraps; }
    double first() const { return m_first; }
    double distanceAt(int i) const { return m_first + i * m_step; }
    /// 1/m, positive one way and negative the other; NaN where unknown.
    const QVector<double>& curvature() const { return m_curvature; }
    /// m/s; NaN where unknown.
    const QVector<double>& speed() const { return m_speed; }

private:
    QVector<double> m_curvature;
    QVector<double> m_speed;
    double m_step = 1.0;
    double m_first = 0.0;
    bool m_wraps = false;
};
