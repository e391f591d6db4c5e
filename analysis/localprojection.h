#pragma once

#include <QPointF>

/// Places latitude and longitude on a flat map in metres around an origin: east and north on the
/// plane that touches the WGS84 ellipsoid there. Over a circuit a few kilometres across the plane
/// departs from the ground by millimetres.
class LocalProjection
{
public:
    LocalProjection() = default;
    /// Origin in decimal degrees.
    LocalProjection(double latitude, double longitude);

    /// East (x) and north (y) of the origin in metres.
    QPointF toLocal(double latitude, double longitude) const;

private:
    double m_sinLat = 0.0;
    double m_cosLat = 1.0;
    double m_sinLon = 0.0;
    double m_cosLon = 1.0;
    double m_x = 0.0; // the origin on the earth-centred axes
    double m_y = 0.0;
    double m_z = 0.0;
};
