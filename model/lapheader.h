#pragma once

#include "model/dynamicdata.h"

#include <QDateTime>
#include <QTime>
#include <QUuid>
#include <QVariant>

namespace ZEL {

/// A lap without its samples: who, where, which session, run and lap, and how long it took.
class LapHeader : public DynamicData
{
public:
    enum SessionType {
        SessionTypeUnknown = -1,
        SessionTypeOfflineTesting = 0,
        SessionTypePractice = 1,
        SessionTypeQualify = 2,
        SessionTypeWarmup = 3,
        SessionTypeRace = 5,
    };

    enum LapStatus {
        LapStatusUnknown = -1,
        LapStatusOutLap = 0,
        LapStatusTimedLap = 1,
    };

    LapHeader() = default;

    QDateTime dateTime() const { return m_dateTime; }
    void setDateTime(const QDateTime& dateTime) { m_dateTime = dateTime; }
    QString driverName() const { return m_driverName; }
    void setDriverName(const QString& driverName) { m_driverName = driverName; }
    QString trackName() const { return m_trackName; }
    void setTrackName(const QString& trackName) { m_trackName = trackName; }
    QString trackConfig() const { return m_trackConfig; }
    void setTrackConfig(const QString& trackConfig) { m_trackConfig = trackConfig; }
    QString carName() const { return m_carName; }
    void setCarName(const QString& carName) { m_carName = carName; }
    QString comment() const { return m_comment; }
    void setComment(const QString& comment) { m_comment = comment; }
    QTime lapTime() const { return m_lapTime; }
    void setLapTime(const QTime& lapTime) { m_lapTime = lapTime; }
    QString simulatorName() const { return m_simulatorName; }
    void setSimulatorName(const QString& simulatorName) { m_simulatorName = simulatorName; }
    QString pluginName() const { return m_pluginName; }
    void setPluginName(const QString& pluginName) { m_pluginName = pluginName; }
    QUuid lapId() const { return m_lapId; }
    void setLapId(const QUuid& lapId) { m_lapId = lapId; }
    QUuid runId() const { return m_runId; }
    void setRunId(const QUuid& runId) { m_runId = runId; }
    QVariant carId() const { return m_carId; }
    void setCarId(const QVariant& carId) { m_carId = carId; }
    QUuid sessionId() const { return m_sessionId; }
    void setSessionId(const QUuid& sessionId) { m_sessionId = sessionId; }
    qint32 lapNumber() const { return m_lapNumber; }
    void setLapNumber(qint32 lapNumber) { m_lapNumber = lapNumber; }
    qint32 lapInRun() const { return m_lapInRun; }
    void setLapInRun(qint32 lapInRun) { m_lapInRun = lapInRun; }
    qint32 runNumber() const { return m_runNumber; }
    void setRunNumber(qint32 runNumber) { m_runNumber = runNumber; }
    SessionType sessionType() const { return m_sessionType; }
    void setSessionType(const SessionType& sessionType) { m_sessionType = sessionType; }
    LapStatus lapStatus() const { return m_lapStatus; }
    void setLapStatus(const LapStatus& lapStatus) { m_lapStatus = lapStatus; }
    bool completed() const { return m_completed; }
    void setCompleted(bool completed) { m_completed = completed; }

private:
    QDateTime m_dateTime;
    QString m_driverName;
    QString m_trackName;
    QString m_trackConfig;
    QString m_carName;
    QString m_comment;
    QTime m_lapTime;
    QString m_simulatorName;
    QString m_pluginName;
    QUuid m_lapId;
    QUuid m_runId;
    QVariant m_carId;
    QUuid m_sessionId;
    qint32 m_lapNumber = 0;
    qint32 m_lapInRun = 0;
    qint32 m_runNumber = 0;
    SessionType m_sessionType = SessionTypeUnknown;
    LapStatus m_lapStatus = LapStatusUnknown;
    bool m_completed = false;
};

} // namespace ZEL
