#pragma once

/// One corner of a track, numbered from the line; distances in metres from it. A corner that
/// spans the line starts near the end of the lap and ends near its start.
struct Corner
{
    int number = 0;
    double start = 0.0;
    double apex = 0.0; // where the bend is tightest
    double end = 0.0;
};
