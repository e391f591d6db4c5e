#pragma once

#include "analysis/sessionanalysis.h"

#include <QString>

/// The corner-by-corner debrief for the terminal: a lap's braking point, entry, minimum and exit
/// speed, throttle pick-up and time per corner beside the reference's, the three corners that
/// lost the most first ("Turn 4: brakes 12 m earlier, minimum 4.1 km/h lower, -0.18 s").
class CornerTable
{
public:
    /// The file's corners, then every lap with a valid time against the file's reference.
    static QString renderFile(const SessionAnalysis& analysis, int file);
    /// Lap b against lap a over the corners of their track.
    static QString renderComparison(const LapAnalysis& a, const QString& nameA, const LapAnalysis& b,
                                    const QString& nameB, const QVector<Corner>& corners);

    /// What a corner cost in a few words: braking, minimum speed, throttle and the time gained
    /// (negative: lost); empty parts are left out.
    static QString summary(const CornerFigures& lap, const CornerFigures& reference);

private:
    static QString renderLap(const QVector<CornerFigures>& lap, const QVector<CornerFigures>& reference,
                             const QString& title);
};
