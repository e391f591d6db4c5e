#pragma once

#include "analysis/corner.h"

#include <QString>
#include <QVector>

#include <functional>

/// A track's corners as numbered once and kept between sessions (in a lap library), with the lap
/// they were found on, so that "turn 4" is the same place in every session of the track.
struct CornerNumbering
{
    QVector<Corner> corners;
    double trackLength = 0.0; // metres, as the laps of the file they were found in measured the track
    QString sourcePath;       // that file
    int sourceLap = -1;       // the lap's number
    QString definedAt;        // ISO 8601 UTC when it was stored; empty while it is not

    static constexpr int maxCorners = 1000; // more is not a track's numbering but noise

    bool isEmpty() const { return corners.isEmpty(); }
    /// The corners on laps that measure the track as length: their distances scaled by the ratio
    /// of the lengths. False when the lengths differ by more than driving lines do (another layout
    /// under the same name) or the numbering does not hold together (holdsTogether()).
    bool fitTo(double length, QVector<Corner>& fitted) const;
    /// Numbered 1, 2, ... by apex, at most maxCorners, every distance on a lap of trackLength.
    bool holdsTogether() const;
};

/// The stored numbering of a track and layout; an empty one when there is none.
using CornerLookup = std::function<CornerNumbering(const QString& track, const QString& config)>;
