#include "model/dynamicvalue.h"

namespace ZEL {

QString DynamicValue::toString() const
{
    const QString text = value.toString();
    return m_unit.isEmpty() ? text : text + QLatin1Char(' ') + m_unit;
}

} // namespace ZEL
