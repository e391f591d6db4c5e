#pragma once

#include "model/dynamicvalue.h"

#include <QMap>
#include <QStringList>

namespace ZEL {

/// An ordered, implicitly shared set of named properties; the base of every model type.
class DynamicData
{
public:
    DynamicData() = default;
    DynamicData(const DynamicData&) = default;
    DynamicData& operator=(const DynamicData&) = default;
    virtual ~DynamicData();

    void setValue(const QString& key, const QVariant& value, const QString& unit);
    void setValue(const QString& key, const DynamicValue& entry);
    DynamicValue value(const QString& key) const;
    bool contains(const QString& key) const;
    QStringList keys() const;
    void removeValue(const QString& key);
    void clear();

    /// Read access to the whole set, in key order.
    const QMap<QString, DynamicValue>& values() const { return m_values; }

private:
    QMap<QString, DynamicValue> m_values;
};

} // namespace ZEL
