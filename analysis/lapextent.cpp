#include "analysis/lapextent.h"

#include <algorithm>
#include <cmath>

namespace LapExtent {

namespace {
constexpr double maxLayoutDifference = 0.03;
}

bool sameLayout(double length, double known)
{
    return known > 0.0 && std::fabs(length / known - 1.0) <= maxLayoutDifference;
}

std::pair<double, double> sameLayoutRange(double length)
{
    return {length / (1.0 + maxLayoutDifference), length / (1.0 - maxLayoutDifference)};
}

bool isPlausibleTrackLength(double metres)
{
    return metres > 0.0 && metres <= maxTrackLengthM;
}

bool isPlausible(double from, double to, int samples)
{
    const double span = to - from;
    return from >= -maxTrackLengthM && to <= 2.0 * maxTrackLengthM && span >= 0.0
           && span <= double(std::max(samples - 1, 0)) * maxMetresPerSample;
}

int gridPoints(double from, double to, double step, int samples)
{
    if (!(step > 0.0) || !isPlausible(from, to, samples))
        return 0;
    return int(std::floor(to / step) - std::ceil(from / step)) + 1;
}

} // namespace LapExtent
