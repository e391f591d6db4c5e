#include "analysis/localprojection.h"

#include <QtMath>

#include <cmath>

namespace {

constexpr double semiMajorAxis = 6378137.0;           // WGS84, metres
constexpr double flattening = 1.0 / 298.257223563;    // WGS84
constexpr double eccentricitySquared = flattening * (2.0 - flattening);

/// A point of the ellipsoid's surface on earth-centred, earth-fixed axes.
void earthCentred(double sinLat, double cosLat, double sinLon, double cosLon, double& x, double& y, double& z)
{
    const double n = semiMajorAxis / std::sqrt(1.0 - eccentricitySquared * sinLat * sinLat);
    x = n * cosLat * cosLon;
    y = n * cosLat * sinLon;
    z = n * (1.0 - eccentricitySquared) * sinLat;
}

} // namespace

LocalProjection::LocalProjection(double latitude, double longitude)
    : m_sinLat(std::sin(qDegreesToRadians(latitude))), m_cosLat(std::cos(qDegreesToRadians(latitude))),
      m_sinLon(std::sin(qDegreesToRadians(longitude))), m_cosLon(std::cos(qDegreesToRadians(longitude)))
{
    earthCentred(m_sinLat, m_cosLat, m_sinLon, m_cosLon, m_x, m_y, m_z);
}

QPointF LocalProjection::toLocal(double latitude, double longitude) const
{
    const double lat = qDegreesToRadians(latitude);
    const double lon = qDegreesToRadians(longitude);
    double x, y, z;
    earthCentred(std::sin(lat), std::cos(lat), std::sin(lon), std::cos(lon), x, y, z);
    const double dx = x - m_x;
    const double dy = y - m_y;
    const double dz = z - m_z;
    const double east = -m_sinLon * dx + m_cosLon * dy;
    const double north = -m_sinLat * m_cosLon * dx - m_sinLat * m_sinLon * dy + m_cosLat * dz;
    return {east, north};
}
