#include "plugin/irpluginimport.h"

#include "ibt/importdriver.h"

QString iRPluginImport::pluginName()
{
    return QStringLiteral("ZEL iRacing ibt import plugin");
}

QString iRPluginImport::simulatorName()
{
    return QStringLiteral("iRacing");
}

QString iRPluginImport::version()
{
    return QStringLiteral("0.2");
}

QStringList iRPluginImport::formats()
{
    return {ImportDriver::formatFilter()};
}

QVector<ZEL::Lap*> iRPluginImport::importFile(const QString& path, const QString& format)
{
    return ImportDriver(*this).importFile(path, format);
}
