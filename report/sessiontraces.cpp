#include "report/sessiontraces.h"

#include "analysis/lapextent.h"
#include "analysis/sessionanalysis.h"

#include "report/lapresampler.h"
#include "report/numbertext.h"

#include <QSet>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double noValue = std::numeric_limits<double>::quiet_NaN();
// The grid steps to choose from, finest first: fine enough to see a braking point on a short track.
constexpr double steps[] = {1.0, 2.0, 2.5, 4.0, 5.0, 10.0, 20.0, 50.0};
// Bytes of one grid point of the charted channels, time and map together, commas included.
constexpr double baseBytesPerPoint = 36.0;
// The charted channels may take this share of the budget; the extra channels get what the rest leaves.
constexpr double baseShare = 0.5;
// Beyond this the extra channels are too coarse to be worth their bytes.
constexpr int maxExtraStride = 64;
// Four significant digits are more than a chart or a read-out shows.
constexpr int significantDigits = 4;
constexpr int maxDecimals = 6;
// A tenth of a millisecond, so that a delta of a few hundredths of a second is a line, not steps.
constexpr int timeDecimals = 4;
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

// The recording's own channels are keyed apart from the page's series, so that a channel named
// "steer" or "delta" neither replaces nor hides the page's chart of that name.
const QString recordingKeyPrefix = QStringLiteral("channel:");

// Time, distance and position reach the page as the grid, "time" and the map, not as channels.
const QStringList gridChannels{QStringLiteral("sessiontime"), QStringLiteral("lapdist"), QStringLiteral("lapdistpct"),
                               QStringLiteral("lat"), QStringLiteral("lon")};

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
/// constant over the lap, null when there are none. Returns the bytes of the array, 0 for the others.
int appendMember(QByteArray& members, const QString& key, const QVector<double>& values, int decimals, int stride)
{
    if (!members.isEmpty())
        members.append(',');
    NumberText::appendString(members, key);
    members.append(':');
    double first;
    if (isConstant(values, decimals, &first)) {
        NumberText::append(members, first, decimals);
        return 0;
    }
    const int before = members.size();
    NumberText::appendArray(members, values, decimals, stride);
    return members.size() - before;
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

/// How far the grid of a lap reaches; 0 for a lap that gets no grid.
double lastDistance(const AlignedLap& aligned)
{
    return aligned.isEmpty() || !LapExtent::isPlausible(aligned.distance().first(), aligned.distance().last(), aligned.size())
               ? 0.0
               : std::max(0.0, aligned.distance().last());
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
            if (!std::isfinite(v))
                continue; // written as null; a digit count of infinity is no number
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
    const LapAnalysis* lap;
    LapResampler resampler;
    QByteArray values; // members of the values object
    QByteArray time;   // "time":[...]
    QByteArray map;    // "x":[...],"y":[...], empty without positions

    QVector<double> resampled(const QString& name, bool stepped, double scale = 1.0) const
    {
        const QSharedPointer<ZEL::Channel> channel = lap->lap->channel(name);
        if (!channel)
            return QVector<double>(resampler.size(), noValue);
        const QVector<double> atSamples = lap->aligned.values(*channel);
        QVector<double> values = stepped ? resampler.nearest(atSamples) : resampler.linear(atSamples);
        if (scale != 1.0) {
            for (double& v : values)
                v *= scale;
        }
        return values;
    }
};

/// The channels beyond the charted ones at one stride: their list entries and each lap's members.
struct SessionTraces::Extras {
    QByteArray channels;
    QVector<QByteArray> values;
    qint64 bytes = 0;      // list entries and members
    qint64 arrayBytes = 0; // of the members that are arrays: what a stride thins

    Extras(const QVector<LapGrid>& grids, const QStringList& names, int stride) : values(grids.size())
    {
        for (const QString& name : names) {
            QVector<const ZEL::Channel*> sources;
            for (const LapGrid& grid : grids) {
                if (const QSharedPointer<ZEL::Channel> channel = grid.lap->lap->channel(name))
                    sources.append(channel.data());
            }
            bool whole;
            const int decimals = decimalsFor(sources, &whole);
            const QString key = recordingKeyPrefix + name;
            const QByteArray entry = channelEntry(key, name, sources.first()->unit(), stride);
            channels.append(channels.isEmpty() ? "" : ",").append(entry);
            bytes += entry.size() + 1;
            for (int i = 0; i < grids.size(); ++i) {
                const int before = values.at(i).size();
                arrayBytes += appendMember(values[i], key, grids.at(i).resampled(name, whole), decimals, stride);
                bytes += values.at(i).size() - before;
            }
        }
    }
};

SessionTraces::SessionTraces(const FileAnalysis& file, qint64 byteBudget)
{
    double totalLength = 0.0;
    for (const LapAnalysis& lap : file.laps)
        totalLength += lastDistance(lap.aligned);
    m_step = steps[std::size(steps) - 1];
    for (const double step : steps) {
        if (totalLength / step * baseBytesPerPoint <= baseShare * byteBudget) {
            m_step = step;
            break;
        }
    }
    QVector<LapGrid> grids;
    for (const LapAnalysis& lap : file.laps) {
        LapResampler resampler(lap.aligned.distance(), m_step);
        if (resampler.size() > 0)
            grids.append({&lap, resampler, {}, {}, {}});
    }

    QByteArray channels;
    QSet<QString> charted(gridChannels.cbegin(), gridChannels.cend());
    for (const BaseChannel& base : baseChannels) {
        const QString source = QLatin1String(base.source);
        charted.insert(source);
        if (std::none_of(grids.cbegin(), grids.cend(),
                         [&](const LapGrid& grid) { return grid.lap->lap->channel(source); }))
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
        extraNames += grid.lap->lap->channelNames();
    extraNames.removeDuplicates();
    extraNames.sort();
    extraNames.erase(std::remove_if(extraNames.begin(), extraNames.end(),
                                    [&](const QString& name) { return charted.contains(name); }),
                     extraNames.end());
    // Time and map first: what they and the charted channels leave is the extra channels' room.
    qint64 used = 0;
    for (LapGrid& grid : grids) {
        grid.time = "\"time\":";
        NumberText::appendArray(grid.time, grid.resampler.linear(grid.lap->aligned.time()), timeDecimals);
        if (!grid.lap->map.isEmpty()) {
            grid.map = "\"x\":";
            NumberText::appendArray(grid.map, grid.resampler.linear(grid.lap->map.x()), mapDecimals);
            grid.map.append(",\"y\":");
            NumberText::appendArray(grid.map, grid.resampler.linear(grid.lap->map.y()), mapDecimals);
        }
        used += grid.time.size() + grid.map.size() + grid.values.size();
    }
    const qint64 room = std::max<qint64>(1, byteBudget - used);
    Extras extras(grids, extraNames, 1);
    if (extras.bytes > room) {
        // A stride thins the arrays only; names and constant values stay. A tenth is kept for each
        // array's last point and the laps' own keys.
        const qint64 arrayRoom = (room - (extras.bytes - extras.arrayBytes)) * 9 / 10;
        m_extraStride = arrayRoom <= 0 ? maxExtraStride
                                       : int(std::min<qint64>(maxExtraStride, (extras.arrayBytes + arrayRoom - 1) / arrayRoom));
        extras = Extras(grids, extraNames, m_extraStride);
    }

    m_json = "{\"stepM\":";
    NumberText::append(m_json, m_step, 2);
    m_json.append(",\"channels\":[").append(joined(channels, extras.channels)).append("],\"laps\":[");
    for (int i = 0; i < grids.size(); ++i) {
        const LapGrid& grid = grids.at(i);
        m_json.append(i > 0 ? ",{" : "{").append("\"lapNumber\":").append(QByteArray::number(grid.lap->lap->lapNumber()));
        // A lap that starts past the line (out of the pits, off the grid) has no time from it.
        m_json.append(",\"fromLine\":").append(grid.lap->aligned.startsAtLine() ? "true," : "false,").append(grid.time);
        m_json.append(",\"values\":{").append(joined(grid.values, extras.values.at(i))).append('}');
        if (!grid.map.isEmpty())
            m_json.append(',').append(grid.map);
        m_json.append('}');
    }
    m_json.append("]}");
}
