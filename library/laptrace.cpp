#include "library/laptrace.h"

#include <QtEndian>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

/// How a channel is kept: its value times the scale, rounded, in so many bytes; a difference
/// to the previous value for the steadily changing ones.
struct Column
{
    const char* channel;
    const char* unit;
    double scale;
    int bytes;
    bool difference;
};

const Column columns[] = {
    {"sessiontime", "s", 1000.0, 4, true},       // milliseconds
    {"speed", "m/s", 100.0, 2, false},             // cm/s
    {"throttle", "%", 10000.0, 2, false},
    {"brake", "%", 10000.0, 2, false},
    {"gear", "", 1.0, 1, false},
    {"steeringwheelangle", "rad", 1000.0, 2, false}, // milliradians
    {"lat", "deg", 1e7, 4, true},                  // 1e-7 degrees, about a centimetre
    {"lon", "deg", 1e7, 4, true},
};
constexpr int columnCount = int(sizeof columns / sizeof columns[0]);

int rowBytes()
{
    int bytes = 0;
    for (const Column& column : columns)
        bytes += column.bytes;
    return bytes;
}

const QByteArray magic("ZLT1");
constexpr double stepM = 2.0;
constexpr int headerBytes = 4 + 4 + 8; // magic, points, track length
// A trace never unpacks to more than this, whatever a damaged row claims.
constexpr int maxBodyBytes = headerBytes + LapTrace::maxPoints * 21;

qint64 missingCode(int bytes)
{
    return -(qint64(1) << (8 * bytes - 1));
}

qint64 clampCode(double value, int bytes)
{
    const double limit = double((qint64(1) << (8 * bytes - 1)) - 1);
    return qint64(std::llround(std::clamp(value, -limit, limit)));
}

/// Writes the code's low bytes at `at` and moves past them.
void put(char*& at, qint64 code, int bytes)
{
    for (int b = 0; b < bytes; ++b)
        *at++ = char((quint64(code) >> (8 * b)) & 0xff);
}

qint64 take(const char* in, int bytes)
{
    quint64 raw = 0;
    for (int b = 0; b < bytes; ++b)
        raw |= quint64(quint8(in[b])) << (8 * b);
    const quint64 sign = quint64(1) << (8 * bytes - 1);
    return qint64(raw ^ sign) - qint64(sign); // sign-extends
}

bool usable(double value)
{
    return !std::isnan(value) && value < ZEL::validLimit;
}

/// Points before the first and after the last known value take the nearest known one.
void fillEnds(QVector<double>& values)
{
    int first = 0;
    while (first < values.size() && !usable(values.at(first)))
        ++first;
    int last = values.size() - 1;
    while (last >= 0 && !usable(values.at(last)))
        --last;
    if (first > last)
        return;
    for (int i = 0; i < first; ++i)
        values[i] = values.at(first);
    for (int i = last + 1; i < values.size(); ++i)
        values[i] = values.at(last);
}

} // namespace

LapTrace LapTrace::of(const ZEL::Lap& lap, const AlignedLap& aligned)
{
    LapTrace trace;
    const double length = aligned.trackLength();
    if (!aligned.isComplete() || !(length > 0.0))
        return trace;
    trace.m_lengthM = length;
    trace.m_points = std::clamp(int(std::ceil(length / stepM)) + 1, 2, maxPoints);
    QVector<double> grid(trace.m_points);
    for (int i = 0; i < trace.m_points; ++i)
        grid[i] = length * i / (trace.m_points - 1);
    QVector<double> time(trace.m_points);
    for (int i = 0; i < trace.m_points; ++i)
        time[i] = aligned.timeAt(grid.at(i));
    trace.m_columns.append(time);
    for (int c = 1; c < columnCount; ++c) {
        QVector<double> values = aligned.resample(aligned.values(lap, QLatin1String(columns[c].channel)), grid);
        fillEnds(values);
        trace.m_columns.append(values);
    }
    return trace;
}

QByteArray LapTrace::encode() const
{
    QByteArray body(headerBytes + m_points * rowBytes(), Qt::Uninitialized);
    char* at = body.data();
    std::memcpy(at, magic.constData(), magic.size());
    at += magic.size();
    put(at, m_points, 4);
    qint64 lengthBits = 0;
    std::memcpy(&lengthBits, &m_lengthM, sizeof lengthBits);
    put(at, lengthBits, 8);
    for (int c = 0; c < columnCount; ++c) {
        const Column& column = columns[c];
        qint64 previous = 0;
        for (const double value : m_columns.at(c)) {
            if (!usable(value)) {
                put(at, missingCode(column.bytes), column.bytes);
                continue;
            }
            const qint64 code = clampCode(value * column.scale, column.difference ? 4 : column.bytes);
            put(at, column.difference ? code - previous : code, column.bytes);
            if (column.difference)
                previous = code;
        }
    }
    // zlib's fastest level: a tenth larger than its best and fifteen times faster, which adding feels.
    return qCompress(body, 1);
}

bool LapTrace::decode(const QByteArray& bytes, LapTrace& trace)
{
    trace = LapTrace();
    // qCompress puts the unpacked size first, big-endian: checked before anything is allocated.
    if (bytes.size() < 4 || qFromBigEndian<quint32>(bytes.constData()) > quint32(maxBodyBytes))
        return false;
    const QByteArray body = qUncompress(bytes);
    if (body.size() < headerBytes || !body.startsWith(magic))
        return false;
    const qint64 points = take(body.constData() + 4, 4);
    const qint64 lengthBits = take(body.constData() + 8, 8);
    double length = 0.0;
    std::memcpy(&length, &lengthBits, sizeof length);
    if (points < 2 || points > maxPoints || body.size() != headerBytes + points * rowBytes() || !(length > 0.0)
        || !std::isfinite(length))
        return false;
    trace.m_points = int(points);
    trace.m_lengthM = length;
    const char* at = body.constData() + headerBytes;
    for (const Column& column : columns) {
        QVector<double> values(trace.m_points);
        qint64 previous = 0;
        for (double& value : values) {
            const qint64 code = take(at, column.bytes);
            at += column.bytes;
            if (code == missingCode(column.bytes)) {
                value = ZEL::missingValue;
                continue;
            }
            const qint64 absolute = column.difference ? previous + code : code;
            if (column.difference)
                previous = absolute;
            value = double(absolute) / column.scale;
        }
        trace.m_columns.append(values);
    }
    return true;
}

ZEL::Lap LapTrace::toLap() const
{
    ZEL::Lap lap;
    const auto add = [&lap](const QString& name, const QVector<double>& values, const char* unit) {
        auto* channel = new ZEL::Channel;
        channel->values = values;
        channel->setUnit(QLatin1String(unit));
        lap.addChannel(channel, name);
    };
    QVector<double> distance(m_points);
    QVector<double> share(m_points);
    for (int i = 0; i < m_points; ++i) {
        distance[i] = m_lengthM * i / (m_points - 1);
        share[i] = double(i) / (m_points - 1);
    }
    add(QStringLiteral("lapdist"), distance, "m");
    add(QStringLiteral("lapdistpct"), share, "%");
    for (int c = 0; c < m_columns.size(); ++c)
        add(QLatin1String(columns[c].channel), m_columns.at(c), columns[c].unit);
    lap.setValue(QStringLiteral("Track length"), m_lengthM / 1000.0, QStringLiteral("km"));
    return lap;
}
