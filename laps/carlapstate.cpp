#include "laps/carlapstate.h"

#include "ibt/recordcolumns.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <type_traits>

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
    // Most slots never hold a value: skipping their clear spares a call and the map's reference
    // counting, for every slot at every record.
    if (!sample.values().isEmpty())
        sample.clear();
    record = nullptr;
    if (lapFinished) {
        m_lastLapSamples = lap.sampleCount();
        startNewLap();
        lapFinished = false;
    }
}

void CarLapState::startNewLap()
{
    flush();
    maxLapDistPct = std::numeric_limits<double>::quiet_NaN();
    lap.clear();
    lap = nextLap;
    nextLap.clear();
    m_lapOrder = m_nextLapOrder;
    m_nextLapOrder.reset();
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

QVariant CarLapState::sampleValue(const QString& key) const
{
    return sampleValue(key, record ? record->indexOf(key) : -1);
}

QVariant CarLapState::sampleValue(const QString& key, int column) const
{
    // Entries are set after decoding, so they win over the record's columns.
    const auto& entries = sample.values();
    if (!entries.isEmpty()) {
        const auto entry = entries.constFind(key);
        if (entry != entries.cend())
            return entry.value().value;
    }
    return record && column >= 0 ? record->value(column) : QVariant();
}

template<typename T>
T CarLapState::sampleNumber(const QString& key, int column, T absent) const
{
    constexpr qint32 type = std::is_same_v<T, float> ? irsdk_float : std::is_same_v<T, int> ? irsdk_int : irsdk_bool;
    if (record && column >= 0 && sample.values().isEmpty()) {
        const RecordColumns::Column& c = record->at(column);
        if (c.type == type && !c.isConstant())
            return T(RecordColumns::number<type>(record->bytes() + c.offset));
    }
    const QVariant value = sampleValue(key, column);
    if (!value.isValid())
        return absent;
    if constexpr (std::is_same_v<T, float>)
        return value.toFloat();
    else if constexpr (std::is_same_v<T, int>)
        return value.toInt();
    else
        return value.toBool();
}

template float CarLapState::sampleNumber(const QString&, int, float) const;
template int CarLapState::sampleNumber(const QString&, int, int) const;
template bool CarLapState::sampleNumber(const QString&, int, bool) const;

ZEL::Sample CarLapState::fullSample() const
{
    ZEL::Sample full;
    for (int i = 0; i < record->size(); ++i)
        full.setValue(record->at(i).key, ZEL::DynamicValue(record->value(i), record->at(i).unit));
    const auto& entries = sample.values();
    for (auto entry = entries.cbegin(); entry != entries.cend(); ++entry)
        full.setValue(entry.key(), entry.value());
    return full;
}

void CarLapState::appendTo(ZEL::Lap& target, ChannelOrder& order, LapBudget& budget)
{
    if (record && order.append(target, *record, sample))
        return;
    // New keys, a lap changed since or a channel out of room: merge, and work the order out again
    // for the next record. The order lets go of its share of the lap's channel map first, which the
    // merge would copy otherwise.
    order.flush();
    order.reset();
    const ZEL::Sample merged = record ? fullSample() : sample;
    makeRoom(target, merged, budget);
    target.appendSample(merged);
    if (!record)
        return;
    // Laps of a run are about as long as each other: a lap just begun gets room for a little more
    // than the last one held, so that its channels are filled without growing by copies. A first lap
    // gets room for what is left of the file, which on a short file is the whole of it. The next lap
    // begins at the line while this one is still open (its completion is seen a few records later),
    // so this one, nearly whole, is the last lap then.
    if (target.sampleCount() == 1) {
        if (&target == &nextLap)
            m_lapOrder.flush();
        const qint64 last = &target == &nextLap && !lap.isEmpty() ? lap.sampleCount() : m_lastLapSamples;
        const qint64 room = last > 0 ? last + last / spareShare : std::min<qint64>(recordsLeft + 1, firstLapRoom);
        for (const QSharedPointer<ZEL::Channel>& channel : target.channels())
            budget.reserve(channel->values, room);
    }
    order.workOut(target, *record);
}

void CarLapState::makeRoom(const ZEL::Lap& target, const ZEL::Sample& sample, LapBudget& budget)
{
    // A new key gets a channel with room for a marker per sample so far and its value.
    const ZEL::ChannelMap& channels = target.channels();
    const auto& entries = sample.values();
    qint64 newChannels = 0;
    for (auto entry = entries.cbegin(); entry != entries.cend(); ++entry)
        newChannels += channels.contains(entry.key()) ? 0 : 1;
    budget.charge(newChannels * (LapBudget::channelCost + (target.sampleCount() + 1) * LapBudget::valueCost));
    for (const QSharedPointer<ZEL::Channel>& channel : channels)
        budget.makeRoom(channel->values);
}
