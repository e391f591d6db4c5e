#include "model/dynamicdata.h"

namespace ZEL {

DynamicData::~DynamicData() = default;

void DynamicData::setValue(const QString& key, const QVariant& value, const QString& unit)
{
    // Built before the set is touched: the arguments may refer into the set itself.
    const DynamicValue entry(value, unit);
    setValue(key, entry);
}

void DynamicData::setValue(const QString& key, const DynamicValue& entry)
{
    m_values.insert(key, entry);
}

DynamicValue DynamicData::value(const QString& key) const
{
    return m_values.value(key);
}

bool DynamicData::contains(const QString& key) const
{
    return m_values.contains(key);
}

QStringList DynamicData::keys() const
{
    return m_values.keys();
}

void DynamicData::removeValue(const QString& key)
{
    m_values.remove(key);
}

void DynamicData::clear()
{
    m_values.clear();
}

} // namespace ZEL
