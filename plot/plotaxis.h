#pragma once

#include <QString>
#include <QVector>

/// A linear axis over rounded limits with ticks at 1, 2 or 5 times a power of ten.
class PlotAxis
{
public:
    /// Widens [min, max] to whole ticks, aiming at about `ticks` intervals; a range of one
    /// value is widened around it.
    PlotAxis(double min, double max, int ticks);

    double lower() const { return m_lower; }
    double upper() const { return m_upper; }
    QVector<double> ticks() const;
    /// Where a value lies between the limits, 0 at lower() and 1 at upper().
    double fraction(double value) const { return (value - m_lower) / (m_upper - m_lower); }
    /// A tick label with as many decimals as the tick step needs.
    QString label(double value) const;

private:
    double m_lower;
    double m_upper;
    double m_step;
};
