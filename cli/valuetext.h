#pragma once

#include <QString>
#include <QVariant>

/// Text forms of property and channel values, shared by the terminal, CSV and JSON output.
namespace ValueText {

/// A property value as a person reads it: colours by name ("" when invalid), date-times in
/// ISO form, numbers in their shortest exact form.
QString property(const QVariant& value);

/// A channel value; empty for the missing-value marker and anything else not valid. Values
/// that came from single-precision variables get the shortest text that reads back as the
/// same float, so 0.1f shows as 0.1 and not as its widened double.
QString sample(double value);


} // namespace ValueText
