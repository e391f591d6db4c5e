#pragma once

#include "plugin/zelplugininterfaceimport.h"

#include <QPluginLoader>
#include <QString>

/// Finds and loads libvirad.so the way the desktop host does, and hands out its import interface.
class PluginHost
{
public:
    /// An empty path looks next to the running binary.
    bool load(const QString& path);
    QString errorString() const { return m_error; }
    ZelPluginInterfaceImport* plugin() const { return m_plugin; }

private:
    QPluginLoader m_loader;
    ZelPluginInterfaceImport* m_plugin = nullptr;
    QString m_error;
};
