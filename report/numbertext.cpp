#include "report/numbertext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QString>

#include <cmath>
#include <cstdint>

namespace {

constexpr int maxDecimals = 6;
constexpr double powers[maxDecimals + 1] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6};
// Beyond this a scaled value would not fit in 64 bits; such values print in full.
constexpr double maxScaled = 9e15;

} // namespace

namespace NumberText {

void append(QByteArray& out, double value, int decimals)
{
    if (!std::isfinite(value)) {
        out.append("null");
        return;
    }
    decimals = std::max(0, std::min(decimals, maxDecimals));
    const double scaledValue = std::round(value * powers[decimals]);
    if (std::fabs(scaledValue) > maxScaled) {
        out.append(QByteArray::number(value, 'g', 15));
        return;
    }
    auto scaled = std::int64_t(scaledValue);
    // Trailing zeros of the fraction say nothing.
    while (decimals > 0 && scaled % 10 == 0) {
        scaled /= 10;
        --decimals;
    }
    if (scaled < 0) {
        out.append('-');
        scaled = -scaled;
    }
    char digits[24];
    int n = 0;
    do {
        digits[n++] = char('0' + scaled % 10);
        scaled /= 10;
    } while (scaled > 0 || n <= decimals);
    for (int i = n - 1; i >= 0; --i) {
        out.append(digits[i]);
        if (i == decimals && i > 0)
            out.append('.');
    }
}

void appendArray(QByteArray& out, const QVector<double>& values, int decimals, int stride)
{
    out.append('[');
    for (int i = 0; i < values.size(); i += stride) {
        if (i > 0)
            out.append(',');
        append(out, values.at(i), decimals);
    }
    out.append(']');
}

void appendString(QByteArray& out, const QString& text)
{
    QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    array.replace('<', "\\u003c");
    out.append(array.mid(1, array.size() - 2));
}

} // namespace NumberText
