#include "analysis/alignedlap.h"

#include "analysis/lapextent.h"
#include "analysis/samplevalue.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
// A sample before the first wrap of the distance belongs before the line when the wrap comes
// this soon; a longer stretch is a lap driven on past the line under the same lap number.
constexpr double preLineSeconds = 1.0;
// A wrap is a jump from the last quarter of the lap into the first.
constexpr double wrapShare = 0.25;
// How far the first (last) sample may lie from the line, in steps between samples, for the lap
// to count as starting (ending) there. The simulator counts the new lap from the first record past
// it, and a lap may lose the record at the line to the lap before it.
constexpr double lineSteps = 2.5;
constexpr double lineSlackM = 0.01;
// No car covers ground faster than this: a distance that moves more in the time between two
// records (plus a little rounding) is a glitch of the record, not the car.
constexpr double plausibleSpeed = 140.0; // m/s
constexpr double plausibleSlackM = 2.0;
// A run of this many records that agree with each other but not with what came before is where the
// car really is (a tow, a reset): the distance is taken up from there.
constexpr int settleRecords = 3;

double at(const QSharedPointer<ZEL::Channel>& channel, int i)
{
    return channel ? channel->value(i) : ZEL::missingValue;
}

/// y at x on the line through (x0, y0) and (x1, y1).
double line(double x0, double y0, double x1, double y1, double x)
{
    return x1 == x0 ? y0 : y0 + (y1 - y0) * (x - x0) / (x1 - x0);
}

/// A sample the simulator blanked while the car was between places (a reset, a tow): no
/// position, no speed, distance 0, while a neighbour has a distance.
bool isBlanked(const ZEL::Lap& lap, const QVector<double>& raw, int i)
{
    if (raw.at(i) != 0.0)
        return false;
    const double speed = at(lap.channel(QStringLiteral("speed")), i);
    if (isSampleValue(speed) && speed != 0.0)
        return false;
    const double lat = at(lap.channel(QStringLiteral("lat")), i);
    const double lon = at(lap.channel(QStringLiteral("lon")), i);
    if ((isSampleValue(lat) && lat != 0.0) || (isSampleValue(lon) && lon != 0.0))
        return false;
    const auto placed = [&raw](int j) { return j >= 0 && j < raw.size() && isSampleValue(raw.at(j)) && raw.at(j) != 0.0; };
    return placed(i - 1) || placed(i + 1);
}

/// The way from one distance to the next, across the line when that is shorter.
double advance(double from, double to, double length)
{
    double step = to - from;
    if (length > 0.0 && step < -0.5 * length)
        step += length;
    else if (length > 0.0 && step > 0.5 * length)
        step -= length;
    return step;
}

/// The usable samples without the ones whose distance moved faster than a car could between
/// records: one bad record jumping ahead and back, or a few jumping ahead, must not hide the rest
/// of the lap.
QVector<int> withoutGlitches(const QVector<int>& usable, const QVector<double>& raw, const ZEL::Channel& time,
                             double length)
{
    const auto plausible = [&](int from, int to) {
        const double seconds = std::max(0.0, time.value(to) - time.value(from));
        return std::fabs(advance(raw.at(from), raw.at(to), length)) <= plausibleSpeed * seconds + plausibleSlackM;
    };
    // A lone record off the way both neighbours agree on, the first and last included.
    QVector<int> steady;
    steady.reserve(usable.size());
    const int n = usable.size();
    for (int k = 0; k < n; ++k) {
        const int i = usable.at(k);
        const bool spike = (k == 0 || k + 1 == n)
            ? n >= 3 && (k == 0 ? !plausible(i, usable.at(1)) && plausible(usable.at(1), usable.at(2))
                                : !plausible(usable.at(k - 1), i) && plausible(usable.at(k - 2), usable.at(k - 1)))
            : !plausible(usable.at(k - 1), i) && !plausible(i, usable.at(k + 1))
                  && plausible(usable.at(k - 1), usable.at(k + 1));
        if (!spike)
            steady.append(i);
    }
    // A jump is a glitch until the records after it agree with it: then the car is there (a tow,
    // a reset back down the lap).
    QVector<int> kept;
    QVector<int> run; // jumped in a row, each plausible after the one before
    for (const int i : qAsConst(steady)) {
        if (kept.isEmpty() || plausible(kept.last(), i)) {
            kept.append(i);
            run.clear();
            continue;
        }
        if (!run.isEmpty() && !plausible(run.last(), i))
            run.clear();
        run.append(i);
        if (run.size() >= settleRecords) {
            kept += run;
            run.clear();
        }
    }
    return kept;
}

} // namespace

double AlignedLap::measuredTrackLength(const ZEL::Lap& lap, double* reach)
{
    if (reach)
        *reach = 0.0;
    const QSharedPointer<ZEL::Channel> dist = lap.channel(QStringLiteral("lapdist"));
    const QSharedPointer<ZEL::Channel> pct = lap.channel(QStringLiteral("lapdistpct"));
    if (!dist || !pct)
        return 0.0;
    // The sample furthest round the lap gives the ratio with the least rounding in it.
    int best = -1;
    for (int i = 0; i < pct->size(); ++i) {
        const double p = pct->value(i);
        if (isSampleValue(p) && p > 0.0 && p < 1.0 && isSampleValue(dist->value(i)) && dist->value(i) > 0.0
            && (best < 0 || p > pct->value(best)))
            best = i;
    }
    // A length no track has is a forged or broken distance channel, not a measure.
    if (best < 0 || !LapExtent::isPlausibleTrackLength(dist->value(best) / pct->value(best)))
        return 0.0;
    if (reach)
        *reach = pct->value(best);
    return dist->value(best) / pct->value(best);
}

double AlignedLap::statedTrackLength(const ZEL::Lap& lap)
{
    const ZEL::DynamicValue km = lap.findValue(QStringLiteral("Track length"));
    const double metres = km.value.toDouble() * (km.unit() == QLatin1String("m") ? 1.0 : 1000.0);
    return LapExtent::isPlausibleTrackLength(metres) ? metres : 0.0;
}

AlignedLap AlignedLap::of(const ZEL::Lap& lap, double trackLengthM)
{
    AlignedLap aligned;
    const QSharedPointer<ZEL::Channel> time = lap.channel(QStringLiteral("sessiontime"));
    if (!time)
        return aligned;
    const double measured = trackLengthM > 0.0 ? trackLengthM : measuredTrackLength(lap);
    const double length = measured > 0.0 ? measured : statedTrackLength(lap);
    aligned.m_trackLength = length;

    const QSharedPointer<ZEL::Channel> dist = lap.channel(QStringLiteral("lapdist"));
    const QSharedPointer<ZEL::Channel> pct = lap.channel(QStringLiteral("lapdistpct"));
    const int n = lap.sampleCount();
    QVector<double> raw(n, ZEL::missingValue);
    for (int i = 0; i < n; ++i) {
        if (!isSampleValue(time->value(i)))
            continue;
        if (isSampleValue(at(dist, i)))
            raw[i] = dist->value(i);
        else if (isSampleValue(at(pct, i)) && length > 0.0)
            raw[i] = pct->value(i) * length;
        // A distance further off the lap than a lap's length is no place on it.
        if (length > 0.0 && isSampleValue(raw.at(i)) && (raw.at(i) < -length || raw.at(i) > 2.0 * length))
            raw[i] = ZEL::missingValue;
    }

    QVector<int> candidates;
    candidates.reserve(n);
    for (int i = 0; i < n; ++i) {
        if (isSampleValue(raw.at(i)) && !isBlanked(lap, raw, i))
            candidates.append(i);
    }
    const QVector<int> usable = withoutGlitches(candidates, raw, *time, length);

    // The first wrap from the end of the lap to its start: samples before it lie before the line
    // when they are few, otherwise the ones after it lie beyond the line.
    int wrap = -1;
    for (int k = 1; k < usable.size() && length > 0.0; ++k) {
        if (raw.at(usable.at(k - 1)) > (1.0 - wrapShare) * length && raw.at(usable.at(k)) < wrapShare * length) {
            wrap = k;
            break;
        }
    }
    const bool preLine =
        wrap > 0 && time->value(usable.at(wrap)) - time->value(usable.first()) <= preLineSeconds;

    aligned.m_distance.reserve(usable.size());
    aligned.m_time.reserve(usable.size());
    aligned.m_index.reserve(usable.size());
    for (int k = 0; k < usable.size(); ++k) {
        const int i = usable.at(k);
        double d = raw.at(i);
        if (wrap > 0 && preLine && k < wrap)
            d -= length;
        else if (wrap > 0 && !preLine && k >= wrap && d < wrapShare * length)
            d += length;
        if (!aligned.m_distance.isEmpty() && d <= aligned.m_distance.last())
            continue; // standing, rolling back, or put back by a reset: only new ground counts
        aligned.m_distance.append(d);
        aligned.m_time.append(time->value(i));
        aligned.m_index.append(i);
    }

    const QVector<double>& d = aligned.m_distance;
    QVector<double>& t = aligned.m_time;
    const int m = d.size();
    if (m < 2)
        return aligned;
    aligned.m_startsAtLine = d.at(0) <= lineSteps * (d.at(1) - d.at(0)) + lineSlackM;
    aligned.m_endsAtLine = length > 0.0 && d.at(m - 1) >= length - lineSteps * (d.at(m - 1) - d.at(m - 2)) - lineSlackM;

    double origin = t.first();
    if (aligned.m_startsAtLine) {
        const int after = int(std::lower_bound(d.cbegin(), d.cend(), 0.0) - d.cbegin());
        const int k = std::clamp(after, 1, m - 1);
        origin = line(d.at(k - 1), t.at(k - 1), d.at(k), t.at(k), 0.0);
    }
    if (aligned.m_endsAtLine) {
        const int after = int(std::lower_bound(d.cbegin(), d.cend(), length) - d.cbegin());
        const int k = std::clamp(after, 1, m - 1);
        aligned.m_endTime = line(d.at(k - 1), t.at(k - 1), d.at(k), t.at(k), length) - origin;
    }
    for (double& seconds : t)
        seconds -= origin;
    return aligned;
}

QVector<double> AlignedLap::values(const ZEL::Channel& channel) const
{
    QVector<double> result;
    result.reserve(m_index.size());
    for (const int i : m_index)
        result.append(channel.value(i));
    return result;
}

QVector<double> AlignedLap::values(const ZEL::Lap& lap, const QString& channel) const
{
    const QSharedPointer<ZEL::Channel> found = lap.channel(channel);
    return found ? values(*found) : QVector<double>(m_index.size(), ZEL::missingValue);
}

void AlignedLap::stretchTo(double seconds)
{
    if (!isComplete() || !(m_endTime > 0.0) || !(seconds > 0.0))
        return;
    const double factor = seconds / m_endTime;
    for (double& t : m_time)
        t *= factor;
    m_endTime = seconds;
}

double AlignedLap::end() const
{
    if (m_distance.isEmpty())
        return 0.0;
    return m_endsAtLine ? std::max(m_trackLength, m_distance.last()) : m_distance.last();
}

double AlignedLap::lineToLineTime() const
{
    return isComplete() ? m_endTime : notANumber;
}

double AlignedLap::timeAt(double distance) const
{
    if (m_distance.isEmpty() || std::isnan(distance))
        return notANumber;
    const double first = m_distance.first();
    const double last = m_distance.last();
    if (distance < first) {
        return m_startsAtLine && distance >= std::min(0.0, first) ? line(0.0, 0.0, first, m_time.first(), distance)
                                                                  : notANumber;
    }
    if (distance > last) {
        return m_endsAtLine && distance <= std::max(m_trackLength, last)
                   ? line(last, m_time.last(), m_trackLength, m_endTime, distance)
                   : notANumber;
    }
    const int k = int(std::lower_bound(m_distance.cbegin(), m_distance.cend(), distance) - m_distance.cbegin());
    if (k == 0)
        return m_time.first();
    return line(m_distance.at(k - 1), m_time.at(k - 1), m_distance.at(k), m_time.at(k), distance);
}

QVector<double> AlignedLap::resample(const QVector<double>& valuesAtSamples, const QVector<double>& grid) const
{
    QVector<double> result(grid.size(), ZEL::missingValue);
    if (valuesAtSamples.size() != m_distance.size() || m_distance.isEmpty())
        return result;
    int k = 0; // first sample at or beyond the grid point
    for (int g = 0; g < grid.size(); ++g) {
        const double x = grid.at(g);
        while (k < m_distance.size() && m_distance.at(k) < x)
            ++k;
        if (k == m_distance.size())
            break;
        if (m_distance.at(k) == x) {
            result[g] = valuesAtSamples.at(k);
        } else if (k > 0) {
            const double y0 = valuesAtSamples.at(k - 1);
            const double y1 = valuesAtSamples.at(k);
            if (isSampleValue(y0) && isSampleValue(y1))
                result[g] = line(m_distance.at(k - 1), y0, m_distance.at(k), y1, x);
        }
    }
    return result;
}
