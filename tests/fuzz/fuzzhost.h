#pragma once

#include "ibt/importdriver.h"
#include "plugin/zelplugininterfaceimport.h"

/// The host's side of an import in a fuzz target: fixed names; messages go to nobody.
class FuzzHost : public ZelPluginInterfaceImport
{
public:
    QString pluginName() override { return QStringLiteral("fuzz"); }
    QString simulatorName() override { return QStringLiteral("iRacing"); }
    QString version() override { return QStringLiteral("0"); }
    QStringList formats() override { return {ImportDriver::formatFilter()}; }
    QVector<ZEL::Lap*> importFile(const QString& path, const QString& format) override
    {
        return ImportDriver(*this).importFile(path, format);
    }
};
