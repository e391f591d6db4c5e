#include "scenario/speedprofile.h"

#include <algorithm>
#include <cmath>

SpeedProfile::SpeedProfile(const TrackShape& shape, const Limits& limits, const QVector<double>& gripFactors,
                           double lineSpeed)
{
    if (shape.isEmpty())
        return;
    const int n = std::max(2, int(std::ceil(shape.length() / m_step)));
    m_step = shape.length() / n;
    QVector<double> limit(n);
    for (int i = 0; i < n; ++i) {
        const double d = i * m_step;
        const int piece = shape.pieceAt(d);
        const double factor = piece < gripFactors.size() ? gripFactors.at(piece) : 1.0;
        const double curvature = std::fabs(shape.curvature(d));
        limit[i] = curvature > 0.0 ? std::min(limits.topSpeed, std::sqrt(limits.grip * factor / curvature))
                                   : limits.topSpeed;
    }
    // Two rounds each way settle what the lap before and after carries over the line.
    QVector<double> v = limit;
    if (lineSpeed >= 0.0)
        v[0] = std::min(v.at(0), lineSpeed);
    for (int i = 1; i < (lineSpeed >= 0.0 ? n : 2 * n); ++i) {
        const double reach = std::sqrt(v.at((i - 1) % n) * v.at((i - 1) % n) + 2.0 * limits.acceleration * m_step);
        v[i % n] = std::min(v.at(i % n), reach);
    }
    for (int i = 2 * n - 2; i >= 0; --i) {
        const double next = v.at((i + 1) % n);
        v[i % n] = std::min(v.at(i % n), std::sqrt(next * next + 2.0 * limits.braking * m_step));
    }
    m_speed = v;
    m_speed.append(v.first()); // the line again, a lap on
    m_time.resize(n + 1);
    m_time[0] = 0.0;
    for (int i = 1; i <= n; ++i)
        m_time[i] = m_time.at(i - 1) + 2.0 * m_step / (m_speed.at(i - 1) + m_speed.at(i));
}

double SpeedProfile::interpolate(const QVector<double>& values, double distance) const
{
    if (values.isEmpty())
        return 0.0;
    const double x = std::clamp(distance / m_step, 0.0, double(values.size() - 1));
    const int i = std::min(int(x), values.size() - 2);
    return values.at(i) + (values.at(i + 1) - values.at(i)) * (x - i);
}

double SpeedProfile::speedAt(double distance) const
{
    const double length = m_step * (m_speed.size() - 1);
    if (length <= 0.0)
        return 0.0;
    double d = std::fmod(distance, length);
    return interpolate(m_speed, d < 0.0 ? d + length : d);
}

double SpeedProfile::timeAt(double distance) const
{
    return interpolate(m_time, distance);
}
