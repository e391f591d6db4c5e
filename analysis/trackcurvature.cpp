#include "analysis/trackcurvature.h"

#include "analysis/samplevalue.h"

#include <QtMath>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double maxGridPoints = 20000.0;
constexpr double minSpeedForYaw = 3.0; // m/s; slower, yaw rate over speed says little

QVector<double> orNaN(QVector<double> values)
{
    for (double& v : values) {
        if (!isSampleValue(v))
            v = notANumber;
    }
    return values;
}

} // namespace

TrackCurvature TrackCurvature::of(const ZEL::Lap& lap, const AlignedLap& aligned, const TrackMap& map, double smoothingM)
{
    TrackCurvature c;
    if (aligned.size() < 3)
        return c;
    const double length = aligned.trackLength();
    c.m_wraps = aligned.isComplete() && length > 0.0;
    const double from = c.m_wraps ? 0.0 : std::max(0.0, aligned.distance().first());
    const double to = c.m_wraps ? length : aligned.distance().last();
    if (!(to - from > 2.0 * smoothingM))
        return c;
    const int n = int(std::ceil((to - from) / std::max(1.0, (to - from) / maxGridPoints)));
    c.m_step = (to - from) / n;
    c.m_first = from;
    QVector<double> grid(c.m_wraps ? n : n + 1);
    for (int i = 0; i < grid.size(); ++i)
        grid[i] = from + i * c.m_step;
    const int m = grid.size();
    c.m_speed = orNaN(aligned.resample(aligned.values(lap, QStringLiteral("speed")), grid));
    const auto next = [&](int i) { return c.m_wraps ? (i + 1) % m : i + 1; };

    QVector<double> raw(m, notANumber);
    if (!map.isEmpty()) {
        const QVector<double> x = orNaN(aligned.resample(map.x(), grid));
        const QVector<double> y = orNaN(aligned.resample(map.y(), grid));
        // Heading of each chord, clockwise from north; its change per metre of track is the curvature.
        QVector<double> heading(m, notANumber);
        for (int i = 0; i < m; ++i) {
            const int j = next(i);
            if (j >= m)
                break;
            const double dx = x.at(j) - x.at(i);
            const double dy = y.at(j) - y.at(i);
            if (std::hypot(dx, dy) > 1e-6)
                heading[i] = std::atan2(dx, dy);
        }
        for (int i = 0; i < m; ++i) {
            const int j = next(i);
            if (j < m)
                raw[j] = std::remainder(heading.at(j) - heading.at(i), 2.0 * M_PI) / c.m_step;
        }
    } else {
        const QVector<double> yawRate = orNaN(aligned.resample(aligned.values(lap, QStringLiteral("yawrate")), grid));
        for (int i = 0; i < m; ++i) {
            if (c.m_speed.at(i) > minSpeedForYaw)
                raw[i] = yawRate.at(i) / c.m_speed.at(i);
        }
    }

    // Moving average over the window, of the known values in it.
    const int half = std::max(1, int(std::lround(smoothingM / c.m_step / 2.0)));
    c.m_curvature.fill(notANumber, m);
    double sum = 0.0;
    int count = 0;
    const auto at = [&](int i) -> double {
        if (c.m_wraps)
            return raw.at(((i % m) + m) % m);
        return i >= 0 && i < m ? raw.at(i) : notANumber;
    };
    for (int i = -half; i <= half; ++i) {
        if (!std::isnan(at(i))) {
            sum += at(i);
            ++count;
        }
    }
    for (int i = 0; i < m; ++i) {
        if (count > 0)
            c.m_curvature[i] = sum / count;
        const double leaving = at(i - half);
        const double entering = at(i + half + 1);
        if (!std::isnan(leaving)) {
            sum -= leaving;
            --count;
        }
        if (!std::isnan(entering)) {
            sum += entering;
            ++count;
        }
    }
    if (std::none_of(raw.cbegin(), raw.cend(), [](double v) { return !std::isnan(v); }))
        return TrackCurvature();
    return c;
}
