#include "plot/plotaxis.h"

#include <algorithm>
#include <cmath>

namespace {

double niceStep(double range, int ticks)
{
    const double raw = range / std::max(ticks, 1);
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * magnitude >= raw)
            return factor * magnitude;
    }
    return 10.0 * magnitude;
}

} // namespace

PlotAxis::PlotAxis(double min, double max, int ticks)
{
    if (!(max > min)) {
        const double half = std::abs(min) > 0.0 ? std::abs(min) * 0.05 : 1.0;
        min -= half;
        max += half;
    }
    m_step = niceStep(max - min, ticks);
    m_lower = std::floor(min / m_step) * m_step;
    m_upper = std::ceil(max / m_step) * m_step;
}

QVector<double> PlotAxis::ticks() const
{
    QVector<double> values;
    // Counted, not accumulated, so that no tick is lost to rounding at the upper end.
    const int count = int(std::lround((m_upper - m_lower) / m_step));
    for (int i = 0; i <= count; ++i)
        values.append(m_lower + i * m_step);
    return values;
}

QString PlotAxis::label(double value) const
{
    const int decimals = std::max(0, int(-std::floor(std::log10(m_step) + 1e-9)));
    // Ticks near zero come out as -0.0 or 1e-17 from the arithmetic.
    return QString::number(std::abs(value) < m_step * 1e-6 ? 0.0 : value, 'f', decimals);
}
