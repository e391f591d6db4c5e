#include "analysis/lapfigures.h"

#include "analysis/samplevalue.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double fullThrottle = 0.98;
constexpr double braking = 0.02;

/// The share of the lap's time spent in samples that pass the test; each sample stands for the
/// time until the next one.
template<typename Test>
double timeShare(const AlignedLap& aligned, const QVector<double>& values, Test test)
{
    const QVector<double>& t = aligned.time();
    double inside = 0.0;
    double known = 0.0;
    for (int k = 0; k + 1 < values.size(); ++k) {
        if (!isSampleValue(values.at(k)))
            continue;
        const double dt = t.at(k + 1) - t.at(k);
        known += dt;
        if (test(values.at(k)))
            inside += dt;
    }
    return known > 0.0 ? inside / known : notANumber;
}

} // namespace

LapFigures LapFigures::of(const ZEL::Lap& lap, const AlignedLap& aligned)
{
    LapFigures figures{notANumber, notANumber, notANumber, notANumber, notANumber};
    // Speed and fuel over every sample of the lap, standing and rolling back included.
    const auto whole = [&lap](const QString& name) {
        const QSharedPointer<ZEL::Channel> channel = lap.channel(name);
        return channel ? channel->values : QVector<double>();
    };
    for (const double speed : whole(QStringLiteral("speed"))) {
        if (!isSampleValue(speed))
            continue;
        figures.topSpeed = std::isnan(figures.topSpeed) ? speed : std::max(figures.topSpeed, speed);
        figures.minSpeed = std::isnan(figures.minSpeed) ? speed : std::min(figures.minSpeed, speed);
    }

    // Fuel burnt: the level's falls only, so that a lap with a refuelling stop counts what the car
    // used rather than a negative amount.
    double previousFuel = notANumber;
    for (const double level : whole(QStringLiteral("fuellevel"))) {
        if (!isSampleValue(level))
            continue;
        figures.fuelUsed = std::isnan(previousFuel) ? 0.0 : figures.fuelUsed + std::max(0.0, previousFuel - level);
        previousFuel = level;
    }

    figures.fullThrottleShare = timeShare(aligned, aligned.values(lap, QStringLiteral("throttle")),
                                          [](double v) { return v >= fullThrottle; });
    figures.brakingShare =
        timeShare(aligned, aligned.values(lap, QStringLiteral("brake")), [](double v) { return v > braking; });
    return figures;
}
