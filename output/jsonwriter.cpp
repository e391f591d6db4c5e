#include "output/jsonwriter.h"

#include <QIODevice>
#include <QJsonArray>
#include <QJsonObject>

#include "analysis/samplevalue.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

constexpr int blockSize = 1 << 20;

} // namespace

JsonWriter::JsonWriter(QIODevice* device) : m_device(device)
{
    m_buffer.reserve(blockSize + 4096);
}

bool JsonWriter::flush()
{
    if (!m_failed && !m_buffer.isEmpty() && m_device->write(m_buffer) != m_buffer.size())
        m_failed = true;
    m_buffer.clear();
    return !m_failed;
}

void JsonWriter::raw(const char* text, int size)
{
    m_buffer.append(text, size);
    if (m_buffer.size() >= blockSize)
        flush();
}

void JsonWriter::separate()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_first.isEmpty()) {
        if (!m_first.last())
            m_buffer.append(',');
        m_first.last() = false;
    }
}

void JsonWriter::beginObject()
{
    separate();
    m_buffer.append('{');
    m_first.append(true);
}

void JsonWriter::endObject()
{
    m_first.removeLast();
    raw("}", 1);
}

void JsonWriter::beginArray()
{
    separate();
    m_buffer.append('[');
    m_first.append(true);
}

void JsonWriter::endArray()
{
    m_first.removeLast();
    raw("]", 1);
}

void JsonWriter::key(const char* name)
{
    key(QString::fromUtf8(name));
}

void JsonWriter::key(const QString& name)
{
    separate();
    string(name);
    m_buffer.append(':');
    m_afterKey = true;
}

void JsonWriter::null()
{
    separate();
    raw("null", 4);
}

void JsonWriter::value(bool v)
{
    separate();
    v ? raw("true", 4) : raw("false", 5);
}

void JsonWriter::value(int v)
{
    value(qint64(v));
}

void JsonWriter::value(qint64 v)
{
    separate();
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    raw(text, int(end - text));
}

void JsonWriter::value(double v)
{
    if (!std::isfinite(v))
        return null();
    separate();
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    raw(text, int(end - text));
}

void JsonWriter::samples(const QVector<double>& values)
{
    beginArray();
    // Tens of millions of numbers: written into a block here, which goes out when nearly full. A value
    // the same as the one before (most channels hold still for a while) repeats its text; a small whole
    // number, whose shortest text is its digits, is written as an integer.
    char block[64 * 1024];
    char* out = block;
    char* const full = block + sizeof block - 64;
    char last[32] = {}; // copied whole: the block keeps 64 bytes spare
    int lastLength = -1;
    double lastValue = 0.0;
    for (int i = 0; i < values.size(); ++i) {
        if (out > full) {
            raw(block, int(out - block));
            out = block;
        }
        if (i > 0)
            *out++ = ',';
        const double v = values.at(i);
        if (lastLength >= 0 && std::memcmp(&v, &lastValue, sizeof v) == 0) {
            std::memcpy(out, last, sizeof last);
            out += lastLength;
            continue;
        }
        char* const start = out;
        const float single = float(v);
        if (!isSampleValue(v)) {
            std::memcpy(out, "null", 4);
            out += 4;
        } else if (std::fabs(v) < 1e5 && v == std::trunc(v) && !(v == 0 && std::signbit(v))) {
            out = std::to_chars(out, block + sizeof block, int(v)).ptr;
        } else if (double(single) == v) {
            out = std::to_chars(out, block + sizeof block, single).ptr;
        } else {
            out = std::to_chars(out, block + sizeof block, v).ptr;
        }
        lastLength = int(out - start);
        std::memcpy(last, start, size_t(lastLength));
        lastValue = v;
    }
    raw(block, int(out - block));
    m_first.last() = false;
    endArray();
}

void JsonWriter::value(const QString& v)
{
    separate();
    string(v);
    if (m_buffer.size() >= blockSize)
        flush();
}

void JsonWriter::value(const char* v)
{
    value(QString::fromUtf8(v));
}

void JsonWriter::value(const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::Bool:
        return value(v.toBool());
    case QJsonValue::Double:
        return value(v.toDouble());
    case QJsonValue::String:
        return value(v.toString());
    case QJsonValue::Array:
        beginArray();
        for (const QJsonValue& element : v.toArray())
            value(element);
        return endArray();
    case QJsonValue::Object: {
        beginObject();
        const QJsonObject object = v.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            key(it.key());
            value(it.value());
        }
        return endObject();
    }
    default:
        return null();
    }
}

void JsonWriter::string(const QString& text)
{
    static const char hex[] = "0123456789abcdef";
    const QByteArray utf8 = text.toUtf8();
    m_buffer.append('"');
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            m_buffer.append('\\').append(c);
        } else if (u < 0x20 || c == '<' || u == 0x7f) {
            const char escaped[] = {'\\', 'u', '0', '0', hex[u >> 4], hex[u & 15]};
            m_buffer.append(escaped, 6);
        } else {
            m_buffer.append(c);
        }
    }
    m_buffer.append('"');
}
