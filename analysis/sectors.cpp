#include "analysis/sectors.h"

#include <cmath>

Sectors::Sectors(const QVector<double>& startPct, double trackLengthM) : m_trackLength(trackLengthM)
{
    if (trackLengthM <= 0.0)
        return;
    for (const double pct : startPct)
        m_starts.append(pct * trackLengthM);
}

QVector<double> Sectors::times(const AlignedLap& lap) const
{
    QVector<double> result;
    if (count() == 0)
        return result;
    result.reserve(count());
    // The times at the boundaries are rounded, not the sectors: then the sectors of a lap add up
    // to the millisecond to the time at its line, which is its recorded time once stretched.
    const auto millisecondAt = [&lap](double distance) { return std::round(lap.timeAt(distance) * 1000.0); };
    double entry = millisecondAt(start(0));
    for (int k = 0; k < count(); ++k) {
        const double exit = millisecondAt(end(k));
        result.append((exit - entry) / 1000.0); // NaN when either end was not driven
        entry = exit;
    }
    return result;
}
