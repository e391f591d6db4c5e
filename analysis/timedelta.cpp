#include "analysis/timedelta.h"

#include "analysis/lapextent.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double minWiggle = 0.01;
constexpr double wiggleShare = 0.05;
// A stretch starts and ends where the delta moves: ends that add less than this much (at least
// `still`) of its change are trimmed off.
constexpr double still = 0.001;
constexpr double trimShare = 0.02;

/// Indices where a series turns by more than `threshold` against its run: the zigzag of the
/// series, first and last index included.
QVector<int> turningPoints(const QVector<double>& v, double threshold)
{
    QVector<int> pivots{0};
    int extreme = 0;
    int direction = 0;
    for (int k = 1; k < v.size(); ++k) {
        const double rise = v.at(k) - v.at(extreme);
        if (direction == 0) {
            if (std::fabs(v.at(k) - v.at(pivots.last())) >= threshold) {
                direction = v.at(k) > v.at(pivots.last()) ? 1 : -1;
                extreme = k;
            }
        } else if (rise * direction >= 0.0) {
            extreme = k;
        } else if (-rise * direction >= threshold) {
            pivots.append(extreme);
            direction = -direction;
            extreme = k;
        }
    }
    if (extreme != pivots.last())
        pivots.append(extreme);
    if (pivots.last() != v.size() - 1)
        pivots.append(v.size() - 1);
    return pivots;
}

} // namespace

TimeDelta::TimeDelta(const AlignedLap& lap, const AlignedLap& reference) : m_lap(lap), m_reference(reference) {}

bool TimeDelta::isComparable() const
{
    return m_lap.startsAtLine() && m_reference.startsAtLine();
}

double TimeDelta::at(double distance) const
{
    return isComparable() ? m_lap.timeAt(distance) - m_reference.timeAt(distance) : notANumber;
}

QVector<double> TimeDelta::over(const QVector<double>& grid) const
{
    QVector<double> result;
    result.reserve(grid.size());
    for (const double d : grid)
        result.append(at(d));
    return result;
}

double TimeDelta::atLine() const
{
    return isComparable() ? m_lap.lineToLineTime() - m_reference.lineToLineTime() : notANumber;
}

QVector<TimeDelta::Swing> TimeDelta::largestSwings(int count, double stepM) const
{
    if (!isComparable() || stepM <= 0.0 || count <= 0)
        return {};
    const double lapEnd = m_lap.endsAtLine() ? m_lap.trackLength() : m_lap.distance().last();
    const double referenceEnd = m_reference.endsAtLine() ? m_reference.trackLength() : m_reference.distance().last();
    const double end = std::min(lapEnd, referenceEnd);
    if (LapExtent::gridPoints(0.0, end, stepM, std::min(m_lap.size(), m_reference.size())) == 0)
        return {};
    QVector<double> grid;
    for (double d = 0.0; d < end; d += stepM)
        grid.append(d);
    grid.append(end);
    const QVector<double> delta = over(grid);
    if (std::any_of(delta.cbegin(), delta.cend(), [](double v) { return std::isnan(v); }))
        return {};
    const auto [low, high] = std::minmax_element(delta.cbegin(), delta.cend());
    const QVector<int> pivots = turningPoints(delta, std::max(minWiggle, wiggleShare * (*high - *low)));

    QVector<Swing> swings;
    for (int j = 1; j < pivots.size(); ++j) {
        int a = pivots.at(j - 1);
        int b = pivots.at(j);
        const double flat = std::max(still, trimShare * std::fabs(delta.at(b) - delta.at(a)));
        while (a + 1 < b && std::fabs(delta.at(a + 1) - delta.at(pivots.at(j - 1))) <= flat)
            ++a;
        while (b - 1 > a && std::fabs(delta.at(b - 1) - delta.at(pivots.at(j))) <= flat)
            --b;
        swings.append({grid.at(a), grid.at(b), delta.at(b) - delta.at(a)});
    }
    std::stable_sort(swings.begin(), swings.end(),
                     [](const Swing& x, const Swing& y) { return std::fabs(x.change) > std::fabs(y.change); });
    swings.resize(std::min(count, swings.size()));
    std::sort(swings.begin(), swings.end(), [](const Swing& x, const Swing& y) { return x.from < y.from; });
    return swings;
}
