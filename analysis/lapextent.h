#pragma once

#include <utility>

/// What a lap's distance can be. Grids over a lap (the report's traces, the plot, the delta's
/// stretches) are sized by it, so that a distance a file states but no lap can have (a forged or
/// broken LapDist) costs nothing: such a lap gets no grid.
namespace LapExtent {

/// Longer than any track, with room to spare.
constexpr double maxTrackLengthM = 100000.0;
/// Farther than any car goes between two records.
constexpr double maxMetresPerSample = 100.0;
/// More timing sectors than any track has: each lap carries a time and a gain per sector.
constexpr int maxSectors = 100;

/// Whether a track of this length can exist.
bool isPlausibleTrackLength(double metres);

/// Whether laps that measure a track as `length` drive the layout measured as `known` (> 0): the
/// line driven and the samples' clock move a measure by tenths of a per cent, more than 3 % is
/// a layout that the track's name does not tell apart.
bool sameLayout(double length, double known);
/// The known lengths that sameLayout() accepts for laps that measure `length` (> 0).
std::pair<double, double> sameLayoutRange(double length);

/// Whether `samples` samples of one lap can lie at the distances from..to (NaN: no): within a
/// track before the line to two after it, and no farther apart than the samples can reach.
bool isPlausible(double from, double to, int samples);

/// Points of a grid every step metres over from..to (both included where they fall on it);
/// 0 when the span is implausible for the samples or the step is not positive.
int gridPoints(double from, double to, double step, int samples);

} // namespace LapExtent
