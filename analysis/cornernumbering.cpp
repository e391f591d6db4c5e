#include "analysis/cornernumbering.h"

#include "analysis/lapextent.h"

#include <cmath>

namespace {

bool onLap(double distance, double length)
{
    return std::isfinite(distance) && distance >= 0.0 && distance <= length;
}

} // namespace

bool CornerNumbering::fitTo(double length, QVector<Corner>& fitted) const
{
    if (!holdsTogether() || !(length > 0.0) || !LapExtent::sameLayout(length, trackLength))
        return false;
    const double scale = length / trackLength;
    fitted.clear();
    for (const Corner& corner : corners)
        fitted.append({corner.number, corner.start * scale, corner.apex * scale, corner.end * scale});
    return true;
}

bool CornerNumbering::holdsTogether() const
{
    if (!(trackLength > 0.0) || !std::isfinite(trackLength) || corners.size() > maxCorners)
        return false;
    for (int i = 0; i < corners.size(); ++i) {
        const Corner& corner = corners.at(i);
        if (corner.number != i + 1 || !onLap(corner.start, trackLength) || !onLap(corner.apex, trackLength)
            || !onLap(corner.end, trackLength) || (i > 0 && corner.apex < corners.at(i - 1).apex))
            return false;
    }
    return true;
}
