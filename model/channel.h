#pragma once

#include <QString>
#include <QVector>

namespace ZEL {

/// Stands for a sample that had no value for this channel: 1e25 as float, widened.
constexpr double missingValue = double(1e25f);
/// Values at or above this (and NaN) are not valid.
constexpr double validLimit = double(1e24f);

/// One data series of a lap: a value per sample and the unit of the values.
class Channel
{
public:
    Channel() = default;

    bool isValid(int index) const
    {
        return index >= 0 && index < values.size() && values.at(index) < validLimit;
    }
    double value(int index) const
    {
        return index >= 0 && index < values.size() ? values.at(index) : missingValue;
    }
    void setValue(int index, double value)
    {
        if (index >= 0 && index < values.size())
            values[index] = value;
    }
    void append(double value) { values.append(value); }
    int size() const { return values.size(); }
    QString unit() const { return m_unit; }
    void setUnit(const QString& unit) { m_unit = unit; }

    QVector<double> values;

private:
    QString m_unit;
};

} // namespace ZEL
