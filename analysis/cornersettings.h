#pragma once

#include <QString>

/// How corners are found on a kind of track (the session info's TrackType).
struct CornerSettings
{
    bool oval = false;           // each end of the track is one corner
    double smoothingM = 20.0;    // window of the moving average over the curvature
    double minCurvature = 1.0 / 300.0; // 1/m a bend must pass at its tightest, on a road course
    double minTurnRad = 0.25;    // heading change a bend needs to count
    double mergeGapM = 100.0;    // bends closer than this ...
    double mergeSpeedRise = 0.10; // ... merge when the car does not gain more than this share of speed between

    static CornerSettings forTrackType(const QString& trackType);
};
