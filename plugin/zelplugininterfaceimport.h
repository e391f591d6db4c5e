#pragma once

#include "model/lap.h"
#include "plugin/zeldataemitter.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <QtPlugin>

/// The one place that fixes the host's interface identifier.
#define ZelPluginInterfaceImport_iid "org.zel-telemetry.host.ZelPluginInterfaceImport/0.2"

/// The host's import interface: a plugin that turns a file into laps.
class ZelPluginInterfaceImport
{
public:
    virtual ~ZelPluginInterfaceImport() = default;

    virtual QString pluginName() = 0;
    virtual QString simulatorName() = 0;
    virtual QString version() = 0;
    virtual QStringList formats() = 0;
    /// The laps read from the file; each allocated with new and owned by the caller.
    virtual QVector<ZEL::Lap*> importFile(const QString& path, const QString& format) = 0;

    /// Sends text to the host, prefixed with the plugin's name.
    void emitMessage(const QString& text, int verbose);

    ZelDataEmitter emitter;
};

Q_DECLARE_INTERFACE(ZelPluginInterfaceImport, ZelPluginInterfaceImport_iid)
