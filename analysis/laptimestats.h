#pragma once

#include <QVector>

/// Best, mean, median and standard deviation of a set of lap times; NaN when the set is empty.
struct LapTimeStats
{
    double best;
    double mean;
    double median;
    double stdDev; // sample standard deviation; NaN for fewer than two laps, where it is unknown

    static LapTimeStats of(QVector<double> times);
};
