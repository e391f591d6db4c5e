#include "analysis/trackmap.h"

#include <algorithm>
#include <limits>

namespace {

/// A usable position: both values valid and not the simulator's 0, 0 of a car out of the world.
bool placed(double lat, double lon)
{
    return lat < ZEL::validLimit && lon < ZEL::validLimit && (lat != 0.0 || lon != 0.0) && lat >= -90.0
           && lat <= 90.0 && lon >= -360.0 && lon <= 360.0;
}

} // namespace

TrackMap TrackMap::of(const ZEL::Lap& lap, const AlignedLap& aligned, const LocalProjection& projection)
{
    TrackMap map;
    const QSharedPointer<ZEL::Channel> lat = lap.channel(QStringLiteral("lat"));
    const QSharedPointer<ZEL::Channel> lon = lap.channel(QStringLiteral("lon"));
    if (!lat || !lon)
        return map;
    constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
    map.m_x.fill(notANumber, aligned.size());
    map.m_y.fill(notANumber, aligned.size());
    for (int k = 0; k < aligned.size(); ++k) {
        const int i = aligned.sampleIndex().at(k);
        if (!placed(lat->value(i), lon->value(i)))
            continue;
        const QPointF point = projection.toLocal(lat->value(i), lon->value(i));
        map.m_x[k] = point.x();
        map.m_y[k] = point.y();
        ++map.m_points;
    }
    if (map.m_points == 0)
        return TrackMap();
    return map;
}

bool TrackMap::centreOf(const QVector<const ZEL::Lap*>& laps, LocalProjection& projection)
{
    double minLat = 0.0, maxLat = 0.0, minLon = 0.0, maxLon = 0.0;
    bool any = false;
    for (const ZEL::Lap* lap : laps) {
        const QSharedPointer<ZEL::Channel> lat = lap->channel(QStringLiteral("lat"));
        const QSharedPointer<ZEL::Channel> lon = lap->channel(QStringLiteral("lon"));
        if (!lat || !lon)
            continue;
        for (int i = 0; i < std::min(lat->size(), lon->size()); ++i) {
            const double a = lat->value(i);
            const double o = lon->value(i);
            if (!placed(a, o))
                continue;
            minLat = any ? std::min(minLat, a) : a;
            maxLat = any ? std::max(maxLat, a) : a;
            minLon = any ? std::min(minLon, o) : o;
            maxLon = any ? std::max(maxLon, o) : o;
            any = true;
        }
    }
    if (any)
        projection = LocalProjection((minLat + maxLat) / 2.0, (minLon + maxLon) / 2.0);
    return any;
}
