#include "ibt/ibtreader.h"

void IbtReader::readDriverList()
{
    playerCarIdx = -1;
    if (const SessionInfoNode* driverInfo = sessionInfo.child(QStringLiteral("DriverInfo"))) {
        bool ok = false;
        const int idx = driverInfo->value(QStringLiteral("DriverCarIdx")).toInt(&ok, 10);
        if (ok)
            playerCarIdx = idx;
    }

    // List elements are named by their first field, which the simulator writes as the car index.
    const SessionInfoNode* drivers = sessionInfo.childAt(QStringLiteral("DriverInfo/Drivers"));
    if (!drivers)
        return;
    for (int i = 0; i < cars.size(); ++i) {
        CarLapState& car = cars[i];
        car.sample.setCarId(i);
        car.isPlayerCar = i == playerCarIdx;
        if (const SessionInfoNode* entry = drivers->child(QString::number(i))) {
            car.driverName = entry->value(QStringLiteral("UserName"));
            car.teamName = entry->value(QStringLiteral("TeamName"));
        }
    }
}
