#pragma once

#include "plugin/zelplugininterfaceimport.h"

#include <QObject>

/// The plugin object the host loads: reads .ibt files into laps.
class iRPluginImport : public QObject, public ZelPluginInterfaceImport
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ZelPluginInterfaceImport_iid)
    Q_INTERFACES(ZelPluginInterfaceImport)

public:
    QString pluginName() override;
    QString simulatorName() override;
    QString version() override;
    QStringList formats() override;
    QVector<ZEL::Lap*> importFile(const QString& path, const QString& format) override;
};
