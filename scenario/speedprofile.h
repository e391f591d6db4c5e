#pragma once

#include "scenario/trackshape.h"

/// The speed a car drives round a track shape at the limit: the lowest of its top speed, the
/// grip limit of each arc, what it reaches accelerating out of the corners before and what it
/// can still brake from for the corners ahead. The lap repeats, so the line is no boundary.
class SpeedProfile
{
public:
    /// What the car can do, in m/s and m/s².
    struct Limits
    {
        double grip = 13.0;         // lateral acceleration in an arc
        double braking = 12.0;
        double acceleration = 6.0;
        double topSpeed = 70.0;
    };

    SpeedProfile() = default;
    /// gripFactors scale the grip piece by piece (a driver who takes one corner better than
    /// another); missing factors are 1. A lap that carries its speed over the line from the lap
    /// before gives it as lineSpeed; a negative one repeats this lap's own.
    SpeedProfile(const TrackShape& shape, const Limits& limits, const QVector<double>& gripFactors = {},
                 double lineSpeed = -1.0);

    bool isEmpty() const { return m_speed.isEmpty(); }
    /// m/s at a distance from the line, linear between the profile's points.
    double speedAt(double distance) const;
    /// Seconds from the line to a distance along the lap.
    double timeAt(double distance) const;
    double lapTime() const { return m_time.isEmpty() ? 0.0 : m_time.last(); }

private:
    double interpolate(const QVector<double>& values, double distance) const;

    double m_step = 0.25; // metres between points
    QVector<double> m_speed;
    QVector<double> m_time;
};
