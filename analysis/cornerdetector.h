#pragma once

#include "analysis/corner.h"
#include "analysis/cornersettings.h"
#include "analysis/trackcurvature.h"

#include <QVector>

/// Finds a track's corners in the curvature of one lap: bends where it turns sharply enough,
/// each from where its curvature passes half its peak to where it falls below it again, bends
/// of one braking zone (the car gains little speed between them) joined, numbered from the line.
class CornerDetector
{
public:
    static QVector<Corner> detect(const TrackCurvature& curvature, const CornerSettings& settings);

private:
    struct Bend
    {
        int start;
        int apex;
        int end;
        int sign;
        double minSpeed; // NaN when the lap has no speed
    };

    static QVector<Bend> bends(const QVector<double>& tight, const QVector<double>& signedCurvature,
                               const QVector<double>& speed, double threshold, const CornerSettings& settings,
                               double step);
    static QVector<Bend> merged(const QVector<Bend>& bends, const QVector<double>& speed,
                                const CornerSettings& settings, double step, double lapLength);
};
