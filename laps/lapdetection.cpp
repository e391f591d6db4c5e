#include "ibt/ibtreader.h"
#include "sessioninfo/sessiontype.h"

#include <QDateTime>

#include <cmath>
#include <limits>

namespace {

constexpr float takesPart = -0.5f;       // a car without a lap-distance value (-1) sits out the record
constexpr double stationary = 0.001;     // lap-distance change below which a car in the pits is parked
constexpr double lineTail = 0.9;         // a lap this far round ...
constexpr double lineJump = 0.5;         // ... whose fraction falls this much has crossed the line
constexpr double zeroTime = 1e-5;
constexpr float noTime = 3599.0f;        // shows as 59:59.000
constexpr float msPerSecond = 1000.0f;
constexpr float secondsPerDay = 86400.0f;
constexpr int raceSession = 5;

enum class CarClass { Parked, PitRoad, Running };

} // namespace

int IbtReader::sessionNumber() const
{
    return isCarIndex(playerCarIdx)
               ? cars.at(playerCarIdx).sampleNumber(QStringLiteral("sessionnum"), m_keyColumns.sessionNum, 0)
               : -1;
}

void IbtReader::updateLaps()
{
    const int session = sessionNumber();
    // Made when a car first needs the session info; a record of the player alone rarely does.
    QString path;
    const auto sessionPath = [&]() -> const QString& {
        if (path.isNull())
            path = QStringLiteral("SessionInfo/Sessions/") + QString::number(session);
        return path;
    };

    const KeyColumns& k = m_keyColumns;
    const int first = playerOnly() ? playerCarIdx : 0;
    const int end = playerOnly() ? playerCarIdx + 1 : cars.size();
    for (int i = first; i < end; ++i) {
        CarLapState& car = cars[i];
        if (car.driverName.isEmpty())
            continue;
        car.lapDistPct = car.sampleNumber(QStringLiteral("lapdistpct"), k.lapDistPct, -1.0f);
        car.sessionState = car.sampleNumber(QStringLiteral("sessionstate"), k.sessionState, 0);
        if (!(car.lapDistPct > takesPart))
            continue;

        CarClass carClass = CarClass::Running;
        if (i == playerCarIdx) {
            car.lapNumber = car.sampleNumber(QStringLiteral("lap"), k.lap, -1);
            const bool onTrack = car.sampleNumber(QStringLiteral("isontrack"), k.isOnTrack, false);
            bool onPitRoad = false;
            if (onTrack) {
                onPitRoad = car.sampleNumber(QStringLiteral("onpitroad"), k.onPitRoad, false);
                car.lapLastTime = car.sampleNumber(QStringLiteral("laplastlaptime"), k.lapLastLapTime, -1.0f);
                car.lapCurrentTime = car.sampleNumber(QStringLiteral("lapcurrentlaptime"), k.lapCurrentLapTime, 1e25f);
            }
            if (!car.record) // a record read in place has the mark as a column
                car.sample.setValue(fullTelemetryKey(), 1, QString(""));
            if (!onTrack)
                carClass = CarClass::Parked;
            else if (onPitRoad)
                carClass = CarClass::PitRoad;
        } else {
            if (session < 0)
                continue;
            car.lapNumber = -1;
            const SessionInfoNode* results = sessionInfo.childAt(sessionPath());
            results = results ? results->child(QStringLiteral("ResultsPositions")) : nullptr;
            if (results) {
                for (int p = 0; p < cars.size(); ++p) {
                    const SessionInfoNode* position = results->child(QString::number(p));
                    if (position && position->value(QStringLiteral("CarIdx")).toInt() == i) {
                        car.lapNumber = position->value(QStringLiteral("LapsComplete")).toInt();
                        break;
                    }
                }
            }
            const QVariant onPitRoad = car.sampleValue(QStringLiteral("onpitroad"), k.onPitRoad);
            if (!onPitRoad.isValid() || onPitRoad.toBool()) {
                const float moved = car.lapDistPct - car.previous.lapDistPct;
                carClass = std::fabs(double(moved)) < stationary ? CarClass::Parked : CarClass::PitRoad;
            }
        }

        if (car.sessionType == -1)
            car.sessionType = sessionTypeCode(sessionInfo.valueAt(sessionPath() + QStringLiteral("/SessionType")));

        switch (carClass) {
        case CarClass::Parked: car.lapState = LapState::Parked; break;
        case CarClass::PitRoad: car.lapState = LapState::PitRoad; break;
        case CarClass::Running: car.updateOnTrack(); break;
        }

        if (car.lapCompleted) {
            finishLap(i, true);
            continue;
        }
        routeSample(car);
    }
}

void IbtReader::routeSample(CarLapState& car)
{
    if (car.lapState == LapState::Waiting)
        return;
    if (car.lap.isEmpty() && (car.lapState == LapState::Parked || car.lapState == LapState::PitRoad))
        return; // a lap does not begin in the pits
    // The slow-speed filter looks for the simulator's own capitalised key, which decoding never
    // produces; kept to the key as given, so every sample passes.
    if (car.sampleNumber(QStringLiteral("Speed"), m_keyColumns.speed, 1.0f) < 1.0f)
        return;
    const double max = car.maxLapDistPct;
    if (std::isnan(max) || double(car.lapDistPct) > max) {
        car.maxLapDistPct = double(car.lapDistPct);
        car.appendToLap(budget);
    } else if (max - double(car.lapDistPct) > lineJump && max > lineTail) {
        car.appendToNextLap(budget);
    } else {
        car.appendToLap(budget);
    }
}

void IbtReader::finishLap(int carIdx, bool completed)
{
    CarLapState& car = cars[carIdx];
    car.closeLap();
    ZEL::Lap& lap = car.lap;
    if (lap.isEmpty())
        return;

    if (car.previous.lapState == LapState::OutLap)
        lap.setLapStatus(ZEL::LapHeader::LapStatusOutLap);
    else if (car.previous.lapState == LapState::TimedLap)
        lap.setLapStatus(ZEL::LapHeader::LapStatusTimedLap);

    // An out lap has a time of its own only in a race. A time of a day or more is garbage and
    // would not fit the millisecond count.
    const float t = car.lapLastTime;
    const bool validTime = !(t < 0) && std::fabs(t) > zeroTime && t < secondsPerDay && completed
                           && !(lap.lapStatus() == ZEL::LapHeader::LapStatusOutLap && car.sessionType != raceSession);
    if (!validTime)
        car.lapLastTime = noTime;
    lap.setLapTime(QTime(0, 0, 0, 0).addMSecs(int(msPerSecond * car.lapLastTime)));

    lap.setLapId(car.previous.lapId);
    lap.setRunId(car.previous.runId);
    if (completed) {
        lap.setLapNumber(car.previous.lapNumber > 0 ? car.previous.lapNumber - 1 : 0);
        lap.setLapInRun(car.previous.lapInRun);
    } else {
        lap.setLapNumber(car.lapNumber);
        lap.setLapInRun(car.lapInRun);
    }
    lap.setRunNumber(car.previous.runCount);
    lap.setCompleted(completed);
    lap.setValue(QStringLiteral("DateTime"), QDateTime::currentDateTime(), QString(""));
    car.maxLapDistPct = std::numeric_limits<double>::quiet_NaN();

    fillLapHeader(carIdx, lap);
    dropConstantChannels(carIdx);
    budget.charge(derivedChannels * (LapBudget::channelCost + lap.sampleCount() * LapBudget::valueCost));
    addDerivedChannels(carIdx);
    for (const char* name : {"lapcurrentlaptime", "energybatterytomgu_klap", "energymgu_klapdeploypct"})
        repairLapStart(carIdx, QLatin1String(name));
    car.lapFinished = true;
}
