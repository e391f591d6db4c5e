#pragma once

#include "analysis/alignedlap.h"
#include "model/lap.h"

#include <QByteArray>
#include <QVector>

/// A lap kept in the library after its recording may be gone: time, speed, throttle, brake,
/// gear, steering and position on an even grid of lap distance from line to line, stored as
/// fixed-point columns (time and position as differences) compressed with zlib.
class LapTrace
{
public:
    /// At most this many points: 21 bytes each before compression keeps a trace under 100 KB.
    static constexpr int maxPoints = 4000;

    /// The trace of a lap that runs line to line; empty otherwise.
    static LapTrace of(const ZEL::Lap& lap, const AlignedLap& aligned);

    bool isEmpty() const { return m_points < 2; }
    int pointCount() const { return m_points; }
    double trackLengthM() const { return m_lengthM; }
    /// Seconds from the line at each point.
    const QVector<double>& time() const { return m_columns.at(0); }

    QByteArray encode() const;
    /// False for bytes that are not a trace (from a library written by something else).
    static bool decode(const QByteArray& bytes, LapTrace& trace);

    /// A lap with the trace's channels ("lapdist", "lapdistpct", "sessiontime", "speed", ...) at
    /// its points, for the analysis to treat like an imported lap; the caller sets its header.
    ZEL::Lap toLap() const;

private:
    double m_lengthM = 0.0;
    int m_points = 0;
    QVector<QVector<double>> m_columns; // one per stored channel, missing-value markers where unknown
};
