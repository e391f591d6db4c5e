#pragma once

#include "model/lap.h"
#include "model/livepluginfo.h"
#include "model/sample.h"

#include <QObject>

/// The host's signal object: everything a plugin tells the host goes through it.
class ZelDataEmitter : public QObject
{
    Q_OBJECT

public:
    explicit ZelDataEmitter(QObject* parent = nullptr) : QObject(parent) {}

signals:
    void sendConnected();
    void sendDisconnected();
    void sendNotConnected();
    void sendTelemetryLap(const ZEL::Lap& lap);
    void sendTelemetryLapHeader(const ZEL::LapHeader& header);
    void sendAvailableCarListChanged(const ZEL::LivePluginInfo& carInfoList);
    void sendSample(const ZEL::Sample& sample);
    void sendMessage(const QString& message, int verbose);
    void sendProgress(int percent);
};
