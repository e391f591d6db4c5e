#include "analysis/sectors.h"

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
    double entry = lap.timeAt(start(0));
    for (int k = 0; k < count(); ++k) {
        const double exit = lap.timeAt(end(k));
        result.append(exit - entry); // NaN when either end was not driven
        entry = exit;
    }
    return result;
}
