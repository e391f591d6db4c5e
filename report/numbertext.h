#pragma once

#include <QByteArray>
#include <QVector>

/// Compact JSON number text for large series: fixed decimals, trailing zeros dropped, null for NaN.
namespace NumberText {

/// Appends value rounded to decimals (0 to 6); "null" when it is NaN or infinite.
void append(QByteArray& out, double value, int decimals);

/// Appends "[v0,v1,...]" with every stride-th value.
void appendArray(QByteArray& out, const QVector<double>& values, int decimals, int stride = 1);

/// Appends a JSON string literal, with "<" escaped so that the text is safe inside a script element.
void appendString(QByteArray& out, const QString& text);

} // namespace NumberText
