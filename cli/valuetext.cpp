#include "cli/valuetext.h"

#include "analysis/samplevalue.h"
#include "model/channel.h"

#include <QColor>
#include <QDateTime>
#include <QLocale>

#include <cmath>

namespace ValueText {

QString property(const QVariant& value)
{
    switch (int(value.type())) {
    case QMetaType::QColor: {
        const QColor colour = value.value<QColor>();
        return colour.isValid() ? colour.name() : QString();
    }
    case QMetaType::QDateTime:
        return value.toDateTime().toString(Qt::ISODate);
    default:
        return value.toString();
    }
}

QString sample(double value)
{
    if (!isSampleValue(value))
        return {};
    const float single = float(value);
    if (double(single) != value)
        return QString::number(value, 'g', QLocale::FloatingPointShortest);
    // Nine significant digits always read back as the same float; fewer usually do.
    for (int precision = 6; precision < 9; ++precision) {
        const QString text = QString::number(value, 'g', precision);
        if (text.toFloat() == single)
            return text;
    }
    return QString::number(value, 'g', 9);
}

} // namespace ValueText
