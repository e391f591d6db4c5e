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
    m_recordsLeft = qMax<qint64>(0, m_recordsLeft - 1);
    const int first = playerOnly() ? playerCarIdx : 0;
    const int end = playerOnly() ? playerCarIdx + 1 : cars.size();
    for (int i = first; i < end; ++i) {
        cars[i].endSample();
        cars[i].recordsLeft = m_recordsLeft;
    }
}

void IbtReader::flushRecords()
{
    if (isCarIndex(playerCarIdx))
        cars[playerCarIdx].flush();
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
