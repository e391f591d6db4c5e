#pragma once

#include "model/lap.h"

#include <QStringList>

/// A lap as "name[unit]=v,v;..." per channel, six significant digits, "~" for the missing-value marker
/// and no brackets without a unit, then "@key=value" per property.
inline QString lapText(const ZEL::Lap& lap)
{
    QStringList items;
    for (auto it = lap.channels().cbegin(); it != lap.channels().cend(); ++it) {
        QStringList values;
        for (double value : it.value()->values)
            values << (value == ZEL::missingValue ? QStringLiteral("~") : QString::number(value, 'g', 6));
        items << QStringLiteral("%1[%2]=").arg(it.key(), it.value()->unit()) + values.join(QLatin1Char(','));
    }
    for (const QString& key : lap.keys())
        items << QLatin1Char('@') + key + QLatin1Char('=') + lap.value(key).value.toString();
    return items.join(QLatin1Char(';')).remove(QStringLiteral("[]"));
}
