#pragma once

#include "ibt/ibtlayout.h"
#include "ibt/recordcolumns.h"
#include "laps/carlapstate.h"
#include "sessioninfo/sessioninfonode.h"

#include <QString>
#include <QVector>

/// Everything one import shares: the session-info tree, the variables' names and units, and one
/// lap state per car slot. Lives for one file.
class IbtReader
{
public:
    static constexpr int carSlots = 64;
    /// The key under which the player's samples are marked with 1.
    static QString fullTelemetryKey() { return QStringLiteral("fulltelemetry"); }

    IbtReader();

    void setFullTelemetry(bool fullTelemetry);
    /// The number of records in the file, when known: a first lap's channels get room for them.
    void setRecordCount(qint64 records) { m_recordsLeft = records; }
    void endSample();
    /// Completes the player's laps with the records kept back for appending in a batch; needed
    /// before the bytes of the records decoded so far are overwritten.
    void flushRecords();
    /// Decodes one record into the cars' samples, under the variables' lower-case names.
    void decodeRecord(const irsdk_header& header, const irsdk_varHeader* varHeaders, const char* record);
    /// Finds the player car and the drivers' names in the session info.
    void readDriverList();
    /// Runs lap detection for every car on the record just decoded.
    void updateLaps();
    bool isPlayerLapFinished() const;
    ZEL::Lap playerLap() const;
    void finishPlayerLap(bool completed);

    void fillLapHeader(int carIdx, ZEL::LapHeader& header) const;
    void finishLap(int carIdx, bool completed);
    void dropConstantChannels(int carIdx);
    /// Adds at most derivedChannels channels to the car's lap, each of a value per sample.
    void addDerivedChannels(int carIdx);
    static constexpr int derivedChannels = 4;
    void repairLapStart(int carIdx, const QString& channelName);

    SessionInfoNode sessionInfo;
    QVector<QString> varNames;
    QVector<QString> varUnits;
    QVector<CarLapState> cars;
    /// What the laps may allocate; unlimited unless the import sets a limit.
    LapBudget budget;
    qint32 playerCarIdx = -1;
    bool fullTelemetry = false;
    /// With full telemetry: the player's sample reads each record in place instead of copying its
    /// values into the sample map, and is appended to laps in a key order worked out once.
    bool fastPath = false;

private:
    /// Where a variable's elements lie in a record, worked out once per import.
    struct VarSlot {
        qint32 type;
        qint32 offset;
        qint32 count; // elements that fit in the record; 0 skips the variable
    };

    void prepareVariables(const irsdk_header& header, const irsdk_varHeader* varHeaders);
    bool isCarIndex(int carIdx) const { return carIdx >= 0 && carIdx < cars.size(); }
    /// Whether only the player's car takes part in a record: read in place with full telemetry,
    /// nothing is decoded for the others, so their lap state stays as it began.
    bool playerOnly() const { return fastPath && fullTelemetry && isCarIndex(playerCarIdx); }
    int sessionNumber() const;
    void spreadSessionTime();
    /// Appends the car's sample to the lap it belongs to, if any.
    void routeSample(CarLapState& car);

    /// The columns of the keys lap detection reads at every record, looked up once per import.
    struct KeyColumns {
        int sessionNum = -1;
        int lapDistPct = -1;
        int sessionState = -1;
        int lap = -1;
        int isOnTrack = -1;
        int onPitRoad = -1;
        int lapLastLapTime = -1;
        int lapCurrentLapTime = -1;
        int speed = -1;
    };

    QVector<VarSlot> m_layout;
    RecordColumns m_columns;
    KeyColumns m_keyColumns;
    qint64 m_recordsLeft = 0;
};
