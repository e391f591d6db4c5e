#include "report/lapresampler.h"

#include "analysis/lapextent.h"
#include "model/channel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Farther than a car goes between two records: the samples between are missing, and a value
// blended across the gap would be made up.
constexpr double maxGapM = 100.0;

/// The value at an index; the missing-value marker outside the values.
double at(const QVector<double>& values, int index)
{
    return index >= 0 && index < values.size() ? values.at(index) : ZEL::missingValue;
}

} // namespace

LapResampler::LapResampler(const QVector<double>& distances, double step, double end)
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
    // A hair of slack, so that a grid laid to end on the line has its point there.
    const int count = int(std::floor(std::max(last, end) / step + 1e-9)) + 1;
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

template<typename ValueAt>
QVector<double> LapResampler::take(ValueAt valueAt, bool stepped, int stride) const
{
    stride = std::max(1, stride);
    const int count = m_points.isEmpty() ? 0 : (m_points.size() - 1) / stride + 1;
    QVector<double> grid(count, std::numeric_limits<double>::quiet_NaN());
    double* out = grid.data();
    for (int k = 0; k < count; ++k) {
        const Point& p = m_points.at(k * stride);
        if (stepped) {
            const double v = valueAt(p.weight < 0.5 ? p.before : p.after);
            if (v < ZEL::validLimit)
                out[k] = v;
            continue;
        }
        const double before = valueAt(p.before);
        const double after = valueAt(p.after);
        if (before < ZEL::validLimit && after < ZEL::validLimit)
            out[k] = before + p.weight * (after - before);
    }
    return grid;
}

QVector<double> LapResampler::linear(const QVector<double>& values) const
{
    return take([&](int i) { return at(values, i); }, false, 1);
}

QVector<double> LapResampler::nearest(const QVector<double>& values) const
{
    return take([&](int i) { return at(values, i); }, true, 1);
}

QVector<double> LapResampler::channel(const ZEL::Channel& channel, const QVector<int>& sampleIndex, bool stepped,
                                      int stride) const
{
    return take([&](int i) { return channel.value(i >= 0 && i < sampleIndex.size() ? sampleIndex.at(i) : -1); },
                stepped, stride);
}
