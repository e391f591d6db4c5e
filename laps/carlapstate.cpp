#include "laps/carlapstate.h"

#include <QDebug>

#include <cmath>

namespace {

constexpr double raceGridLimit = 0.65;  // before the start: beyond this the car is behind the line
constexpr double pitExitLimit = 0.8;    // leaving the pits this late waits one record before the run
constexpr double zeroTime = 1e-5;
constexpr double timerDrop = 5.0;       // seconds the lap timer must fall to mark a completed lap
constexpr double invalidTime = double(1e24f);
constexpr int raceSession = 5;

bool isBeforeStart(qint32 sessionState)
{
    return sessionState >= 1 && sessionState <= 3;
}

} // namespace

void CarLapState::endSample()
{
    previous = *this;
    sample.clear();
    if (lapFinished) {
        startNewLap();
        lapFinished = false;
    }
}

void CarLapState::startNewLap()
{
    lap.clear();
    lap = nextLap;
    nextLap.clear();
    ++lapInRun;
    lap.setLapNumber(lapNumber);
    lapId = QUuid::createUuid();
    lap.setLapInRun(lapInRun);
}

void CarLapState::beginRun()
{
    lapState = LapState::OutLap;
    startNewLap();
    runId = QUuid::createUuid();
    lapInRun = 0;
    ++runCount;
}

void CarLapState::updateOnTrack()
{
    const LapState before = previous.lapState;
    if (sessionType == raceSession && isBeforeStart(sessionState)) {
        if (before == LapState::OutLap)
            lapState = LapState::OutLap;
        else if (double(lapDistPct) > raceGridLimit)
            lapState = LapState::Waiting;
        else
            beginRun();
    } else if (sessionType == raceSession && sessionState == 4 && before == LapState::OutLap) {
        lapState = double(lapDistPct) <= raceGridLimit ? LapState::TimedLap : LapState::OutLap;
    } else if (before == LapState::PitRoad) {
        if (double(lapDistPct) > pitExitLimit)
            lapState = LapState::Waiting;
        else
            beginRun();
    } else if (before == LapState::Waiting || before == LapState::None) {
        beginRun();
    }

    lapCompleted = isLapCompleted();
    if (lapCompleted && lapState == LapState::OutLap)
        lapState = LapState::TimedLap;
}

bool CarLapState::isLapCompleted() const
{
    if (previous.lapNumber < 0 || lapState == LapState::Waiting || previous.lapState == LapState::Waiting)
        return false;
    if (!isPlayerCar) {
        if (previous.lapNumber == lapNumber)
            return false;
        qDebug().noquote() << "lap completed" << driverName;
        return true;
    }
    if (lapState == LapState::TimedLap && previous.lapState == LapState::OutLap)
        return true;
    const float t = lapCurrentTime;
    if (std::fabs(t) <= zeroTime)
        return previous.lapNumber < lapNumber && lapNumber >= 0;
    if (fullTelemetry)
        return previous.lapCurrentTime - t > timerDrop && previous.lapCurrentTime < invalidTime;
    return t > 0 && previous.lapCurrentTime > 0 && previous.lapCurrentTime > t;
}
