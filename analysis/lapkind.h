#pragma once

#include "analysis/alignedlap.h"

#include <QString>

/// What a lap is, in the words a driver uses, from the plugin's lap status and what the samples
/// show (the plugin's own status stays as it is; this only names laps for people).
namespace LapKind {

enum Kind {
    None,       // an in-lap, a lap cut short by a reset, a lap on pit road
    Out,        // from the pits or the grid to the line
    Joined,     // from where the recording started on track to the line
    Timed,      // line to line
    Unfinished, // the recording ended in it
};

/// firstOfRecording: the lap is the first the recording holds.
Kind of(const ZEL::Lap& lap, const AlignedLap& aligned, bool firstOfRecording);

/// The short label of the lap table: "out", "joined", "timed", "unfinished", "-".
QString label(Kind kind);

/// What the labels mean, for the legend under a lap table.
QString legend();

} // namespace LapKind
