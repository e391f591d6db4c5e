#pragma once

#include "model/lap.h"

#include <QString>
#include <QVector>

/// A lap's samples placed on lap distance: the samples that carry a usable distance and time,
/// in order of strictly increasing distance, with the time elapsed since the lap began.
/// Nothing is invented: samples are only left out, never moved or added. A record whose distance
/// moved faster than any car travels (one bad record jumping ahead and back) is left out too.
class AlignedLap
{
public:
    AlignedLap() = default;

    /// Aligns a lap on a track of the given length in metres; 0 lets the lap find its own
    /// (measuredTrackLength(), else its "Track length" property).
    static AlignedLap of(const ZEL::Lap& lap, double trackLengthM = 0.0);

    /// The track length this lap's own distance and fraction channels imply, in metres, from the
    /// sample furthest round the lap (its fraction in `reach`); 0 when it has no sample with both,
    /// or when no track is that long.
    static double measuredTrackLength(const ZEL::Lap& lap, double* reach = nullptr);
    /// The lap's "Track length" property in metres (the session info's, often rounded); 0 when
    /// absent or when no track is that long.
    static double statedTrackLength(const ZEL::Lap& lap);

    bool isEmpty() const { return m_distance.isEmpty(); }
    int size() const { return m_distance.size(); }

    /// Metres from the line, strictly increasing; slightly negative for a sample taken just
    /// before the line that the simulator already counted to this lap.
    const QVector<double>& distance() const { return m_distance; }
    /// Seconds since the lap began: since its line crossing when it starts at the line, else
    /// since its first aligned sample.
    const QVector<double>& time() const { return m_time; }
    /// Where each aligned sample sits in the lap's channels.
    const QVector<int>& sampleIndex() const { return m_index; }

    /// A channel's value at each aligned sample (the missing-value marker where it has none).
    QVector<double> values(const ZEL::Channel& channel) const;
    /// The same for a channel of the lap by name; all markers when the lap lacks it.
    QVector<double> values(const ZEL::Lap& lap, const QString& channel) const;

    bool startsAtLine() const { return m_startsAtLine; }
    bool endsAtLine() const { return m_endsAtLine; }
    /// Whether it runs from line to line.
    bool isComplete() const { return m_startsAtLine && m_endsAtLine; }
    double trackLength() const { return m_trackLength; }
    /// Time from line to line as the samples place the crossings; NaN unless complete.
    double lineToLineTime() const;
    /// Scales the clock of a complete lap so that line to line takes exactly `seconds` (its
    /// recorded time: the sample clock and the simulator's timing differ by up to a record).
    void stretchTo(double seconds);
    /// How far the lap reaches in metres: the line when it ends there, else its last sample.
    double end() const;

    /// Elapsed time at a distance, linear between neighbouring samples (and the line crossings
    /// at the ends); NaN outside what the lap covered.
    double timeAt(double distance) const;
    /// Values given at the aligned samples, taken at each grid distance: linear between the two
    /// samples around it, the missing-value marker outside the lap or when either is missing.
    /// The grid must be ascending.
    QVector<double> resample(const QVector<double>& valuesAtSamples, const QVector<double>& grid) const;

private:
    QVector<double> m_distance;
    QVector<double> m_time;
    QVector<int> m_index;
    double m_trackLength = 0.0;
    double m_endTime = 0.0; // elapsed time at the closing line crossing, when it ends at the line
    bool m_startsAtLine = false;
    bool m_endsAtLine = false;
};
