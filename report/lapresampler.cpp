#include "report/lapresampler.h"

#include "analysis/lapextent.h"
#include "model/channel.h"

#include <cmath>
#include <limits>

namespace {

// Farther than a car goes between two records: the samples between are missing, and a value
// blended across the gap would be made up.
constexpr double maxGapM = 100.0;

bool isValid(const QVector<double>& values, int index)
{
    return index >= 0 && index < values.size() && values.at(index) < ZEL::validLimit;
}

} // namespace

LapResampler::LapResampler(const QVector<double>& distances, double step)
{
    QVector<int> used;
    for (int i = 0; i < distances.size(); ++i) {
        if (!std::isnan(distances.at(i)))
            used.append(i);
    }
    if (used.size() < 2 || !(step > 0.0))
        return;
    const double last = distances.at(used.last());
    if (!LapExtent::isPlausible(distances.at(used.first()), last, used.size()))
        return;
    const int count = int(std::floor(last / step)) + 1;
    m_points.reserve(count);
    int j = 0; // index into used: the last sample at or before the grid distance
    for (int k = 0; k < count; ++k) {
        const double d = k * step;
        while (j + 1 < used.size() && distances.at(used.at(j + 1)) <= d)
            ++j;
        const int before = used.at(j);
        if (d < distances.at(before)) {
            // Before the first sample: a lap that starts past the line (out of the pits, off the
            // grid) has no data here; one that starts within a step of it takes its first sample.
            const int first = distances.at(before) < step ? before : -1;
            m_points.append({first, first, 0.0});
            continue;
        }
        if (d == distances.at(before) || j + 1 == used.size()) {
            m_points.append({before, before, 0.0});
            continue;
        }
        const int after = used.at(j + 1);
        const double span = distances.at(after) - distances.at(before);
        if (span > maxGapM)
            m_points.append({-1, -1, 0.0});
        else
            m_points.append({before, after, span > 0.0 ? (d - distances.at(before)) / span : 0.0});
    }
}

QVector<double> LapResampler::linear(const QVector<double>& values) const
{
    QVector<double> grid(m_points.size(), std::numeric_limits<double>::quiet_NaN());
    for (int k = 0; k < m_points.size(); ++k) {
        const Point& p = m_points.at(k);
        if (isValid(values, p.before) && isValid(values, p.after))
            grid[k] = values.at(p.before) + p.weight * (values.at(p.after) - values.at(p.before));
    }
    return grid;
}

QVector<double> LapResampler::nearest(const QVector<double>& values) const
{
    QVector<double> grid(m_points.size(), std::numeric_limits<double>::quiet_NaN());
    for (int k = 0; k < m_points.size(); ++k) {
        const Point& p = m_points.at(k);
        const int index = p.weight < 0.5 ? p.before : p.after;
        if (isValid(values, index))
            grid[k] = values.at(index);
    }
    return grid;
}
