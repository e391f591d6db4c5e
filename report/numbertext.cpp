#include "report/numbertext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QString>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr int maxDecimals = 6;
constexpr double powers[maxDecimals + 1] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6};
// Beyond this a scaled value would not fit in 64 bits; such values print in full.
constexpr double maxScaled = 9e15;
// Room for the text of one number: "null", a sign, 16 digits and a point, or 'g' with 15 digits,
// and the 8 bytes that a decimal point is put in with.
constexpr int maxChars = 32;

/// Writes the number's text at `at`, which has room for maxChars; returns the end of it. Digits are
/// moved in fixed blocks of 8 bytes, never with a copy of a counted length: this runs millions of times.
char* write(char* at, double value, int decimals)
{
    if (!std::isfinite(value)) {
        std::memcpy(at, "null", 4);
        return at + 4;
    }
    decimals = std::max(0, std::min(decimals, maxDecimals));
    const double scaledValue = std::round(value * powers[decimals]);
    if (std::fabs(scaledValue) > maxScaled) {
        const QByteArray text = QByteArray::number(value, 'g', 15);
        std::memcpy(at, text.constData(), size_t(text.size()));
        return at + text.size();
    }
    auto scaled = std::int64_t(scaledValue);
    // Trailing zeros of the fraction say nothing.
    while (decimals > 0 && scaled % 10 == 0) {
        scaled /= 10;
        --decimals;
    }
    if (scaled < 0) {
        *at++ = '-';
        scaled = -scaled;
    }
    if (double(scaled) < powers[decimals]) { // below one: "0.", the fraction's leading zeros, its digits
        const int digits = int(std::to_chars(at, at + maxChars, scaled).ptr - at);
        if (decimals == 0)
            return at + digits;
        char moved[8];
        std::memcpy(moved, at, 8);
        std::memcpy(at, "0.000000", 8);
        std::memcpy(at + 2 + decimals - digits, moved, 8);
        return at + 2 + decimals;
    }
    char* const end = std::to_chars(at, at + maxChars, scaled).ptr;
    if (decimals == 0)
        return end;
    char* const point = end - decimals;
    char fraction[8];
    std::memcpy(fraction, point, 8);
    *point = '.';
    std::memcpy(point + 1, fraction, 8);
    return end + 1;
}

} // namespace

namespace NumberText {

void append(QByteArray& out, double value, int decimals)
{
    char text[maxChars];
    out.append(text, int(write(text, value, decimals) - text));
}

void appendArray(QByteArray& out, const QVector<double>& values, int decimals, int stride)
{
    // Written straight into room made for the longest text of every number, then cut to what it took.
    const int start = out.size();
    const int count = values.isEmpty() ? 0 : (values.size() - 1) / stride + 1;
    out.resize(start + 2 + count * (maxChars + 1));
    char* const begin = out.data();
    char* at = begin + start;
    *at++ = '[';
    for (int i = 0; i < values.size(); i += stride) {
        if (i > 0)
            *at++ = ',';
        at = write(at, values.at(i), decimals);
    }
    *at++ = ']';
    out.resize(int(at - begin));
}

void appendString(QByteArray& out, const QString& text)
{
    QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    array.replace('<', "\\u003c");
    out.append(array.mid(1, array.size() - 2));
}

} // namespace NumberText
