#include "analysis/laptimestats.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

LapTimeStats LapTimeStats::of(QVector<double> times)
{
    constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
    const int n = times.size();
    if (n == 0)
        return {notANumber, notANumber, notANumber, notANumber};
    std::sort(times.begin(), times.end());
    const double mean = std::accumulate(times.cbegin(), times.cend(), 0.0) / n;
    double squares = 0.0;
    for (const double t : times)
        squares += (t - mean) * (t - mean);
    const double median = n % 2 ? times.at(n / 2) : (times.at(n / 2 - 1) + times.at(n / 2)) / 2.0;
    return {times.first(), mean, median, n > 1 ? std::sqrt(squares / (n - 1)) : notANumber};
}
