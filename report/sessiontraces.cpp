#include "report/sessiontraces.h"

#include "report/lapresampler.h"
#include "report/numbertext.h"

#include <QSet>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double earthRadiusM = 6371000.0;
constexpr double noValue = std::numeric_limits<double>::quiet_NaN();
// The grid steps to choose from, finest first: fine enough to see a braking point on a short track.
constexpr double steps[] = {1.0, 2.0, 2.5, 4.0, 5.0, 10.0, 20.0, 50.0};
// Bytes of one grid point of the charted channels, time and map together, commas included.
constexpr double baseBytesPerPoint = 44.0;
// The charted channels may take this share of the budget; the extra channels get what the rest leaves.
constexpr double baseShare = 0.6;
// Beyond this the extra channels are too coarse to be worth their bytes.
constexpr int maxExtraStride = 64;
// Four significant digits are more than a chart or a read-out shows.
constexpr int significantDigits = 4;
constexpr int maxDecimals = 6;
constexpr int timeDecimals = 3;
constexpr int mapDecimals = 1;

/// A channel the page charts by default, in the units a driver reads.
struct BaseChannel {
    const char* key;
    const char* label;
    const char* unit;
    const char* source; // the lap's channel
    double scale;
    int decimals;
    bool stepped; // takes the nearest sample's value instead of blending two
};

const BaseChannel baseChannels[] = {
    {"speed", "Speed", "km/h", "speed", 3.6, 1, false},
    {"throttle", "Throttle", "%", "throttle", 100.0, 0, false},
    {"brake", "Brake", "%", "brake", 100.0, 0, false},
    {"gear", "Gear", "", "gear", 1.0, 0, true},
    {"steer", "Steering", "deg", "steeringwheelangle", 180.0 / pi, 0, false},
};

const QString timeSource = QStringLiteral("sessiontime");
const QString distanceSource = QStringLiteral("lapdist");
const QString latSource = QStringLiteral("lat");
const QString lonSource = QStringLiteral("lon");

/// Whether every finite value rounds to the first one at these decimals; first is NaN when none is.
bool isConstant(const QVector<double>& values, int decimals, double* first)
{
    const double half = 0.5 * std::pow(10.0, -decimals);
    *first = noValue;
    for (const double v : values) {
        if (!std::isfinite(v))
            continue;
        if (std::isnan(*first))
            *first = v;
        else if (std::fabs(v - *first) >= half)
            return false;
    }
    return true;
}

/// Appends "key":values to a JSON object's members: an array, one number when the values are
/// constant over the lap, null when there are none.
void appendMember(QByteArray& members, const QString& key, const QVector<double>& values, int decimals, int stride)
{
    if (!members.isEmpty())
        members.append(',');
    NumberText::appendString(members, key);
    members.append(':');
    double first;
    if (isConstant(values, decimals, &first))
        NumberText::append(members, first, decimals);
    else
        NumberText::appendArray(members, values, decimals, stride);
}

/// a and b, with a comma between them when both hold something.
QByteArray joined(const QByteArray& a, const QByteArray& b)
{
    return a.isEmpty() || b.isEmpty() ? a + b : a + ',' + b;
}

QByteArray channelEntry(const QString& key, const QString& label, const QString& unit, int stride)
{
    QByteArray entry("{\"key\":");
    NumberText::appendString(entry, key);
    entry.append(",\"label\":");
    NumberText::appendString(entry, label);
    entry.append(",\"unit\":");
    NumberText::appendString(entry, unit);
    if (stride > 1)
        entry.append(",\"stride\":").append(QByteArray::number(stride));
    entry.append('}');
    return entry;
}

/// Each sample's distance from the line, never decreasing; NaN for samples without one.
QVector<double> sampleDistances(const ZEL::Lap& lap)
{
    QVector<double> distances(lap.sampleCount(), noValue);
    const QSharedPointer<ZEL::Channel> channel = lap.channel(distanceSource);
    if (!channel)
        return distances;
    double reached = 0.0;
    for (int i = 0; i < channel->size() && i < distances.size(); ++i) {
        // A zero in the middle of a lap is a sample the simulator blanked, not the line.
        if (!channel->isValid(i) || (channel->value(i) <= 0.0 && reached > 0.0))
            continue;
        reached = std::max(reached, channel->value(i));
        distances[i] = reached;
    }
    return distances;
}

double lastDistance(const QVector<double>& distances)
{
    const auto last = std::find_if(distances.crbegin(), distances.crend(), [](double d) { return !std::isnan(d); });
    return last == distances.crend() ? 0.0 : *last;
}

/// Decimals that keep a channel's significant digits, and whether it only holds whole numbers.
int decimalsFor(const QVector<const ZEL::Channel*>& channels, bool* whole)
{
    double largest = 0.0;
    *whole = true;
    for (const ZEL::Channel* channel : channels) {
        for (int i = 0; i < channel->size(); ++i) {
            if (!channel->isValid(i))
                continue;
            const double v = channel->value(i);
            largest = std::max(largest, std::fabs(v));
            *whole = *whole && v == std::floor(v);
        }
    }
    if (*whole || largest == 0.0)
        return 0;
    const int digits = int(std::floor(std::log10(largest))) + 1;
    return std::max(0, std::min(significantDigits - digits, maxDecimals));
}

} // namespace

/// One lap on the file's grid and the members of its values object.
struct SessionTraces::LapGrid {
    const ZEL::Lap* lap;
    LapResampler resampler;
    QByteArray values; // members of the values object
    QByteArray time;   // "time":[...]
    QByteArray map;    // "x":[...],"y":[...], empty without positions

    QVector<double> resampled(const QString& name, bool stepped, double scale = 1.0) const
    {
        return resampled(lap->channel(name).data(), stepped, scale);
    }

    QVector<double> resampled(const ZEL::Channel* channel, bool stepped, double scale = 1.0) const
    {
        if (!channel)
            return QVector<double>(resampler.size(), noValue);
        QVector<double> values = stepped ? resampler.nearest(*channel) : resampler.linear(*channel);
        if (scale != 1.0) {
            for (double& v : values)
                v *= scale;
        }
        return values;
    }

    /// Latitude or longitude without the samples the simulator left at 0/0 for want of a position.
    ZEL::Channel position(const QString& name) const
    {
        const QSharedPointer<ZEL::Channel> lat = lap->channel(latSource);
        const QSharedPointer<ZEL::Channel> lon = lap->channel(lonSource);
        ZEL::Channel channel = *lap->channel(name);
        for (int i = 0; i < channel.size(); ++i) {
            if (lat->value(i) == 0.0 && lon->value(i) == 0.0)
                channel.setValue(i, ZEL::missingValue);
        }
        return channel;
    }
};

/// The channels beyond the charted ones at one stride: their list entries and each lap's members.
struct SessionTraces::Extras {
    QByteArray channels;
    QVector<QByteArray> values;
    qint64 bytes = 0;

    Extras(const QVector<LapGrid>& grids, const QStringList& names, int stride) : values(grids.size())
    {
        for (const QString& name : names) {
            QVector<const ZEL::Channel*> sources;
            for (const LapGrid& grid : grids) {
                if (const QSharedPointer<ZEL::Channel> channel = grid.lap->channel(name))
                    sources.append(channel.data());
            }
            bool whole;
            const int decimals = decimalsFor(sources, &whole);
            channels.append(channels.isEmpty() ? "" : ",").append(channelEntry(name, name, sources.first()->unit(), stride));
            for (int i = 0; i < grids.size(); ++i) {
                const int before = values.at(i).size();
                appendMember(values[i], name, grids.at(i).resampled(name, whole), decimals, stride);
                bytes += values.at(i).size() - before;
            }
        }
    }
};

/// Positions in metres east and north of the middle of a file's laps, flat around it.
struct SessionTraces::MapProjection {
    double lat0 = 0.0;
    double lon0 = 0.0;
    bool known = false;

    explicit MapProjection(const QVector<LapGrid>& grids)
    {
        double latMin = 90, latMax = -90, lonMin = 180, lonMax = -180;
        for (const LapGrid& grid : grids) {
            const QSharedPointer<ZEL::Channel> lat = grid.lap->channel(latSource);
            const QSharedPointer<ZEL::Channel> lon = grid.lap->channel(lonSource);
            for (int i = 0; lat && lon && i < lat->size(); ++i) {
                // The simulator writes 0/0 for samples it has no position for.
                if (!lat->isValid(i) || !lon->isValid(i) || (lat->value(i) == 0.0 && lon->value(i) == 0.0))
                    continue;
                latMin = std::min(latMin, lat->value(i));
                latMax = std::max(latMax, lat->value(i));
                lonMin = std::min(lonMin, lon->value(i));
                lonMax = std::max(lonMax, lon->value(i));
                known = true;
            }
        }
        lat0 = (latMin + latMax) / 2;
        lon0 = (lonMin + lonMax) / 2;
    }

    QByteArray json(const LapGrid& grid) const
    {
        if (!known || !grid.lap->channel(latSource) || !grid.lap->channel(lonSource))
            return QByteArray();
        const ZEL::Channel lon = grid.position(lonSource);
        const ZEL::Channel lat = grid.position(latSource);
        QVector<double> x = grid.resampled(&lon, false);
        QVector<double> y = grid.resampled(&lat, false);
        const double metresPerDegree = earthRadiusM * pi / 180.0;
        for (int k = 0; k < x.size(); ++k) {
            x[k] = (x.at(k) - lon0) * metresPerDegree * std::cos(lat0 * pi / 180.0);
            y[k] = (y.at(k) - lat0) * metresPerDegree;
        }
        QByteArray text("\"x\":");
        NumberText::appendArray(text, x, mapDecimals);
        text.append(",\"y\":");
        NumberText::appendArray(text, y, mapDecimals);
        return text;
    }
};

SessionTraces::SessionTraces(const Laps& laps, qint64 byteBudget)
{
    QVector<QVector<double>> distances;
    double totalLength = 0.0;
    for (const QSharedPointer<ZEL::Lap>& lap : laps) {
        distances.append(sampleDistances(*lap));
        totalLength += lastDistance(distances.last());
    }
    m_step = steps[std::size(steps) - 1];
    for (const double step : steps) {
        if (totalLength / step * baseBytesPerPoint <= baseShare * byteBudget) {
            m_step = step;
            break;
        }
    }
    QVector<LapGrid> grids;
    for (int i = 0; i < laps.size(); ++i) {
        LapResampler resampler(distances.at(i), m_step);
        if (resampler.size() > 0)
            grids.append({laps.at(i).data(), resampler, {}, {}, {}});
    }

    QByteArray channels;
    QSet<QString> charted{timeSource, distanceSource, latSource, lonSource};
    for (const BaseChannel& base : baseChannels) {
        const QString source = QLatin1String(base.source);
        charted.insert(source);
        if (std::none_of(grids.cbegin(), grids.cend(), [&](const LapGrid& grid) { return grid.lap->channel(source); }))
            continue;
        channels.append(channels.isEmpty() ? "" : ",")
            .append(channelEntry(QLatin1String(base.key), QLatin1String(base.label), QString::fromUtf8(base.unit), 1));
        for (LapGrid& grid : grids)
            appendMember(grid.values, QLatin1String(base.key), grid.resampled(source, base.stepped, base.scale),
                         base.decimals, 1);
    }

    // The other channels, thinned as a whole when they would not fit in what is left.
    QStringList extraNames;
    for (const LapGrid& grid : grids)
        extraNames += grid.lap->channelNames();
    extraNames.removeDuplicates();
    extraNames.sort();
    extraNames.erase(std::remove_if(extraNames.begin(), extraNames.end(),
                                    [&](const QString& name) { return charted.contains(name); }),
                     extraNames.end());
    // Time and map first: what they and the charted channels leave is the extra channels' room.
    const MapProjection map(grids);
    qint64 used = 0;
    for (LapGrid& grid : grids) {
        QVector<double> time = grid.resampled(timeSource, false);
        const auto start = std::find_if(time.cbegin(), time.cend(), [](double t) { return !std::isnan(t); });
        const double startTime = start == time.cend() ? 0.0 : *start;
        for (double& t : time)
            t -= startTime;
        grid.time = "\"time\":";
        NumberText::appendArray(grid.time, time, timeDecimals);
        grid.map = map.json(grid);
        used += grid.time.size() + grid.map.size() + grid.values.size();
    }
    const qint64 room = std::max<qint64>(1, byteBudget - used);
    Extras extras(grids, extraNames, 1);
    while (extras.bytes > room && m_extraStride < maxExtraStride) {
        const qint64 factor = std::max<qint64>(2, (extras.bytes + room - 1) / room);
        m_extraStride = int(std::min<qint64>(maxExtraStride, m_extraStride * factor));
        extras = Extras(grids, extraNames, m_extraStride);
    }

    m_json = "{\"stepM\":";
    NumberText::append(m_json, m_step, 2);
    m_json.append(",\"channels\":[").append(joined(channels, extras.channels)).append("],\"laps\":[");
    for (int i = 0; i < grids.size(); ++i) {
        const LapGrid& grid = grids.at(i);
        m_json.append(i > 0 ? ",{" : "{").append("\"lapNumber\":").append(QByteArray::number(grid.lap->lapNumber()));
        m_json.append(',').append(grid.time);
        m_json.append(",\"values\":{").append(joined(grid.values, extras.values.at(i))).append('}');
        if (!grid.map.isEmpty())
            m_json.append(',').append(grid.map);
        m_json.append('}');
    }
    m_json.append("]}");
}
