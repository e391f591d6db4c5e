#pragma once

#include "analysis/alignedlap.h"
#include "analysis/localprojection.h"


/// Where the car was at each aligned sample of a lap, in metres on a local map; never a shape
/// of its own making: a lap without positions has an empty map.
class TrackMap
{
public:
    TrackMap() = default;

    static TrackMap of(const ZEL::Lap& lap, const AlignedLap& aligned, const LocalProjection& projection);

    /// The projection origin at the centre of the positions of these laps (bounding box); false
    /// when none has a position.
    static bool centreOf(const QVector<const ZEL::Lap*>& laps, LocalProjection& projection);

    /// Whether any sample has a position.
    bool isEmpty() const { return m_points == 0; }
    /// East and north in metres per aligned sample; NaN where the sample has no position.
    const QVector<double>& x() const { return m_x; }
    const QVector<double>& y() const { return m_y; }

private:
    QVector<double> m_x;
    QVector<double> m_y;
    int m_points = 0;
};
