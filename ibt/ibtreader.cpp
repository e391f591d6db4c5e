#include "ibt/ibtreader.h"

IbtReader::IbtReader() : cars(carSlots) {}

void IbtReader::setFullTelemetry(bool full)
{
    fullTelemetry = full;
    for (CarLapState& car : cars)
        car.fullTelemetry = full;
}

void IbtReader::endSample()
{
    for (CarLapState& car : cars)
        car.endSample();
}

bool IbtReader::isPlayerLapFinished() const
{
    return isCarIndex(playerCarIdx) && cars.at(playerCarIdx).lapFinished;
}

ZEL::Lap IbtReader::playerLap() const
{
    return isCarIndex(playerCarIdx) ? cars.at(playerCarIdx).lap : ZEL::Lap();
}

void IbtReader::finishPlayerLap(bool completed)
{
    if (isCarIndex(playerCarIdx))
        finishLap(playerCarIdx, completed);
}
