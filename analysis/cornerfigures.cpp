#include "analysis/cornerfigures.h"

#include "analysis/samplevalue.h"
#include "analysis/timedelta.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double brakeOn = 0.10;
constexpr double throttleLevel = 0.20;

/// A channel at the aligned samples with what lies between them.
class Trace
{
public:
    Trace(const AlignedLap& aligned, QVector<double> values) : m_d(aligned.distance()), m_v(std::move(values)) {}

    int size() const { return m_d.size(); }
    double distance(int k) const { return m_d.at(k); }
    bool known(int k) const { return isSampleValue(m_v.at(k)); }
    double value(int k) const { return known(k) ? m_v.at(k) : notANumber; }
    /// First sample at or beyond a distance.
    int index(double distance) const
    {
        return int(std::lower_bound(m_d.cbegin(), m_d.cend(), distance) - m_d.cbegin());
    }
    double at(double distance) const
    {
        const int k = index(distance);
        if (k >= size() || (k == 0 && m_d.first() > distance))
            return notANumber;
        if (m_d.at(k) == distance || k == 0)
            return value(k);
        const double share = (distance - m_d.at(k - 1)) / (m_d.at(k) - m_d.at(k - 1));
        return value(k - 1) + (value(k) - value(k - 1)) * share;
    }
    /// Where the value rises through the level between samples k - 1 and k.
    double crossing(int k, double level) const
    {
        const double a = value(k - 1), b = value(k);
        return m_d.at(k - 1) + (level - a) / (b - a) * (m_d.at(k) - m_d.at(k - 1));
    }
    /// Whether it rises through the level from sample k - 1 to k.
    bool risesAt(int k, double level) const
    {
        return k > 0 && known(k - 1) && known(k) && m_v.at(k - 1) <= level && m_v.at(k) > level;
    }

private:
    const QVector<double>& m_d;
    QVector<double> m_v;
};

qint64 wholeMs(double seconds)
{
    return std::llround(seconds * 1000.0);
}

} // namespace

QVector<CornerFigures> CornerFigures::of(const ZEL::Lap& lap, const AlignedLap& aligned, const QVector<Corner>& corners,
                                         const AlignedLap* reference, double deltaAtLine)
{
    QVector<CornerFigures> result;
    if (corners.isEmpty())
        return result;
    const double length = aligned.trackLength();
    const Trace speed(aligned, aligned.values(lap, QStringLiteral("speed")));
    const Trace brake(aligned, aligned.values(lap, QStringLiteral("brake")));
    const Trace throttle(aligned, aligned.values(lap, QStringLiteral("throttle")));
    const int n = corners.size();
    // In the lap's own distances: a corner that spans the line starts before it.
    const auto startOf = [&](const Corner& c) { return c.start > c.end ? c.start - length : c.start; };

    // The delta at each corner's end, in whole milliseconds, so that the segments add up exactly.
    QVector<double> atEnd(n, notANumber);
    if (reference && !std::isnan(deltaAtLine)) {
        const TimeDelta delta(aligned, *reference);
        for (int i = 0; i < n; ++i)
            atEnd[i] = wholeMs(delta.at(corners.at(i).end));
    }
    const double atLine = std::isnan(deltaAtLine) ? notANumber : double(wholeMs(deltaAtLine));

    for (int i = 0; i < n; ++i) {
        const Corner& corner = corners.at(i);
        const Corner& previous = corners.at((i + n - 1) % n);
        CornerFigures f;
        f.number = corner.number;
        const double start = startOf(corner);
        const double segmentStart = n == 1 || previous.end > corner.end ? previous.end - length : previous.end;

        f.brakePoint = notANumber;
        for (int k = std::max(1, brake.index(segmentStart)); k < brake.size() && brake.distance(k) <= corner.apex; ++k) {
            if (brake.risesAt(k, brakeOn)) {
                f.brakePoint = brake.crossing(k, brakeOn);
                break;
            }
        }
        f.entrySpeed = speed.at(f.brakePoint);

        f.minSpeed = f.minAt = notANumber;
        for (int k = speed.index(start); k < speed.size() && speed.distance(k) <= corner.end; ++k) {
            if (speed.known(k) && !(speed.value(k) >= f.minSpeed)) {
                f.minSpeed = speed.value(k);
                f.minAt = speed.distance(k);
            }
        }

        // Back on the throttle: the first rise through 20 % from the apex on, or, when the
        // driver is already on it there, the last rise before it since braking began.
        f.throttleOn = notANumber;
        const double from = std::isnan(f.brakePoint) ? start : std::min(f.brakePoint, start);
        const Corner& next = corners.at((i + 1) % n);
        const double until = i + 1 < n && next.start > corner.end ? next.start : length;
        const double atApex = throttle.at(corner.apex);
        if (atApex <= throttleLevel) {
            for (int k = throttle.index(corner.apex); k < throttle.size() && throttle.distance(k) <= until; ++k) {
                if (throttle.risesAt(k, throttleLevel)) {
                    f.throttleOn = throttle.crossing(k, throttleLevel);
                    break;
                }
            }
        } else if (atApex > throttleLevel) {
            for (int k = throttle.index(corner.apex); k > 0 && throttle.distance(k - 1) >= from; --k) {
                if (throttle.risesAt(k, throttleLevel)) {
                    f.throttleOn = throttle.crossing(k, throttleLevel);
                    break;
                }
            }
        }
        f.exitSpeed = speed.at(corner.end);

        // The segment from the previous corner's end to this one's, across the line when it wraps.
        const double before = atEnd.at((i + n - 1) % n);
        f.delta = segmentStart < 0.0 ? (atLine - before + atEnd.at(i)) / 1000.0 : (atEnd.at(i) - before) / 1000.0;
        result.append(f);
    }
    return result;
}
