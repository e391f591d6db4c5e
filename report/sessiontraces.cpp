#include "report/sessiontraces.h"

#include "analysis/lapextent.h"
#include "analysis/sessionanalysis.h"

#include "report/lapresampler.h"
#include "report/numbertext.h"

#include <QSet>

#include <algorithm>
#include <cmath>
#include <cstdint>
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
// The extra channels' size and decimals are judged from every so many points before they are made.
constexpr int probeStride = 8;
// Four significant digits are more than a chart or a read-out shows.
constexpr int significantDigits = 4;
constexpr int maxDecimals = 6;
// A tenth of a millisecond, so that a delta of a few hundredths of a second is a line, not steps.
constexpr int timeDecimals = 4;
constexpr int mapDecimals = 1;
// The step divides the track length; to a micrometre, ten thousand steps end within 5 mm of the line.
constexpr int stepDecimals = 6;

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

QByteArray channelEntry(const QString& key, const QString& label, const QString& unit, const QString& description,
                        int stride)
{
    QByteArray entry("{\"key\":");
    NumberText::appendString(entry, key);
    entry.append(",\"label\":");
    NumberText::appendString(entry, label);
    entry.append(",\"unit\":");
    NumberText::appendString(entry, unit);
    if (!description.isEmpty()) {
        entry.append(",\"description\":");
        NumberText::appendString(entry, description);
    }
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

/// Whether a value is a whole number; without a call to floor, as this runs over every sample.
bool isWhole(double v)
{
    // Every double this large is whole; below it the conversion is exact.
    constexpr double allWhole = 4503599627370496.0; // 2^52
    return std::fabs(v) >= allWhole || double(std::int64_t(v)) == v;
}

/// Decimals that keep a channel's significant digits, and whether it only holds whole numbers, judged
/// from every few samples (a long session holds tens of millions of values), or from all of them when
/// those have no usable value.
int decimalsFor(const QVector<const ZEL::Channel*>& channels, bool* whole)
{
    double largest = 0.0;
    bool seen = false;
    *whole = true;
    for (const int step : {probeStride, 1}) {
        for (const ZEL::Channel* channel : channels) {
            const QVector<double>& values = channel->values;
            for (int i = 0; i < values.size(); i += step) {
                const double v = values.at(i);
                // Missing values and infinities are written as null; a digit count of infinity is no number.
                if (!(v < ZEL::validLimit) || !std::isfinite(v))
                    continue;
                seen = true;
                largest = std::max(largest, std::fabs(v));
                *whole = *whole && isWhole(v);
            }
        }
        if (seen)
            break;
    }
    if (*whole || largest == 0.0)
        return 0;
    const int digits = int(std::floor(std::log10(largest))) + 1;
    return std::max(0, std::min(significantDigits - digits, maxDecimals));
}

/// A channel beyond the charted ones: how it is written, worked out once over all laps.
struct ExtraChannel {
    QString name;
    QString key;
    QString unit;
    QString description; // the recording's
    int decimals;
    bool whole; // whole numbers only: taken from the nearest sample, not blended
};

} // namespace

/// One lap on the file's grid and the members of its values object.
struct SessionTraces::LapGrid {
    const LapAnalysis* lap;
    LapResampler resampler;
    QByteArray values; // members of the values object
    QByteArray time;   // "time":[...]
    QByteArray map;    // "x":[...],"y":[...], empty without positions

    /// A channel of the lap at every stride-th grid point, taken from the lap's samples in place.
    QVector<double> resampled(const QString& name, bool stepped, double scale = 1.0, int stride = 1) const
    {
        const QSharedPointer<ZEL::Channel> channel = lap->lap->channel(name);
        if (!channel)
            return QVector<double>(resampler.size() == 0 ? 0 : (resampler.size() - 1) / stride + 1, noValue);
        QVector<double> values = resampler.channel(*channel, lap->aligned.sampleIndex(), stepped, stride);
        if (scale != 1.0) {
            for (double& v : values)
                v *= scale;
        }
        return values;
    }
};

/// The channels beyond the charted ones at one stride: their list entries and each lap's members.
/// Each array is made at that stride only, from the lap's samples.
struct SessionTraces::Extras {
    QByteArray channels;
    QVector<QByteArray> values;
    int stride;
    qint64 bytes = 0;      // list entries and members
    qint64 arrayBytes = 0; // of the members that are arrays: what a stride thins
    qint64 fullArrayBytes = 0; // what those arrays would take at every grid point, estimated

    Extras(const QVector<LapGrid>& grids, const QVector<ExtraChannel>& extras, int stride)
        : values(grids.size()), stride(stride)
    {
        for (const ExtraChannel& extra : extras) {
            const QByteArray entry = channelEntry(extra.key, extra.name, extra.unit, extra.description, stride);
            channels.append(channels.isEmpty() ? "" : ",").append(entry);
            bytes += entry.size() + 1;
            for (int i = 0; i < grids.size(); ++i) {
                const int before = values.at(i).size();
                const QVector<double> taken = grids.at(i).resampled(extra.name, extra.whole, 1.0, stride);
                const int array = appendMember(values[i], extra.key, taken, extra.decimals, 1);
                arrayBytes += array;
                fullArrayBytes += taken.isEmpty() ? 0 : qint64(array) * grids.at(i).resampler.size() / taken.size();
                bytes += values.at(i).size() - before;
            }
        }
    }

    /// The stride that fits these channels into room, from what they took at this one.
    int strideFor(qint64 room) const
    {
        if (bytes - arrayBytes + fullArrayBytes <= room)
            return 1;
        // A stride thins the arrays only; names and constant values stay. A tenth is kept for each
        // array's last point and the laps' own keys.
        const qint64 arrayRoom = (room - (bytes - arrayBytes)) * 9 / 10;
        if (arrayRoom <= 0)
            return maxExtraStride;
        return int(std::clamp<qint64>((fullArrayBytes + arrayRoom - 1) / arrayRoom, 1, maxExtraStride));
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
    // A step that divides the track, so that a grid point lies on the line: time and delta reach it.
    // Rounded as written, so that the page's k × step is the grid used here.
    if (file.trackLength > 0.0) {
        const double scale = std::pow(10.0, stepDecimals);
        // Down, so that the line still falls on the last step.
        m_step = std::floor(file.trackLength / std::ceil(file.trackLength / m_step) * scale) / scale;
    }
    QVector<LapGrid> grids;
    for (const LapAnalysis& lap : file.laps) {
        LapResampler resampler(lap.aligned.distance(), m_step, lap.aligned.end());
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
            .append(channelEntry(QLatin1String(base.key), QLatin1String(base.label), QString::fromUtf8(base.unit),
                                 file.info.channelDescription(source), 1));
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
    QVector<ExtraChannel> extraChannels;
    for (const QString& name : qAsConst(extraNames)) {
        if (charted.contains(name))
            continue;
        QVector<const ZEL::Channel*> sources;
        for (const LapGrid& grid : grids) {
            if (const QSharedPointer<ZEL::Channel> channel = grid.lap->lap->channel(name))
                sources.append(channel.data());
        }
        ExtraChannel extra{name, recordingKeyPrefix + name, sources.first()->unit(), file.info.channelDescription(name),
                           0, false};
        extra.decimals = decimalsFor(sources, &extra.whole);
        extraChannels.append(extra);
    }
    // Time and map first: what they and the charted channels leave is the extra channels' room.
    qint64 used = 0;
    for (LapGrid& grid : grids) {
        grid.time = "\"time\":";
        // The lap's own clock at every point: 0 at the line, its time at the line at the end.
        QVector<double> time(grid.resampler.size());
        const double end = grid.lap->aligned.end();
        for (int k = 0; k < time.size(); ++k) {
            // The last point stands for the end, a rounding of the step short of it.
            const bool last = k + 1 == time.size() && end - k * m_step < 0.5 * m_step;
            time[k] = grid.lap->aligned.timeAt(last ? end : std::min(k * m_step, end));
        }
        NumberText::appendArray(grid.time, time, timeDecimals);
        if (!grid.lap->map.isEmpty()) {
            grid.map = "\"x\":";
            NumberText::appendArray(grid.map, grid.resampler.linear(grid.lap->map.x()), mapDecimals);
            grid.map.append(",\"y\":");
            NumberText::appendArray(grid.map, grid.resampler.linear(grid.lap->map.y()), mapDecimals);
        }
        used += grid.time.size() + grid.map.size() + grid.values.size();
    }
    const qint64 room = std::max<qint64>(1, byteBudget - used);
    // The stride is chosen from a sample of every probeStride-th point, and the arrays made at it
    // once; only when that sample misjudged them are they made again, thinner.
    Extras extras(grids, extraChannels, probeStride);
    int stride = extras.strideFor(room);
    if (stride == extras.stride && extras.bytes > room)
        stride = std::min(maxExtraStride, stride + 1);
    while (stride != extras.stride) {
        extras = Extras(grids, extraChannels, stride);
        if (extras.bytes <= room || stride == maxExtraStride)
            break;
        stride = std::min(maxExtraStride, std::max(stride + 1, extras.strideFor(room)));
    }
    m_extraStride = extras.stride;

    m_json = "{\"stepM\":";
    NumberText::append(m_json, m_step, stepDecimals);
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
