#pragma once

#include <QString>
#include <QVariant>

namespace ZEL {

/// One property: a value with its unit text.
class DynamicValue
{
public:
    DynamicValue() = default;
    DynamicValue(const QVariant& value, const QString& unit) : value(value), m_unit(unit) {}

    QVariant value;

    QString unit() const { return m_unit; }
    void setUnit(const QString& unit) { m_unit = unit; }

    /// The value's text, then a space and the unit when there is one ("3.6 kg").
    QString toString() const;

private:
    QString m_unit;
};

} // namespace ZEL
