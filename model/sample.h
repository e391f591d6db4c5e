#pragma once

#include "model/dynamicdata.h"

#include <QMetaType>

namespace ZEL {

/// One moment of telemetry: named values with units, for one car.
class Sample : public DynamicData
{
public:
    Sample() = default;

    QVariant carId() const { return m_carId; }
    void setCarId(const QVariant& carId) { m_carId = carId; }

private:
    QVariant m_carId;
};

} // namespace ZEL

Q_DECLARE_METATYPE(ZEL::Sample)
