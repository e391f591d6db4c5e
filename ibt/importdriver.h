#pragma once

#include "model/lap.h"

#include <QString>
#include <QVector>

#include <memory>
#include <vector>

class ZelPluginInterfaceImport;

/// Reads one .ibt file from its first header to its last record and returns the player's laps.
class ImportDriver
{
public:
    /// fastPath reads the player's records in place (IbtReader::fastPath); the laps are the same.
    explicit ImportDriver(ZelPluginInterfaceImport& plugin, bool fastPath = true)
        : m_plugin(plugin), m_fastPath(fastPath)
    {
    }

    /// The one file-dialog filter the plugin accepts.
    static QString formatFilter() { return QStringLiteral("iRacing binary telemetry (*.ibt)"); }

    /// Reports progress and errors through the plugin; an empty result on any failure.
    QVector<ZEL::Lap*> importFile(const QString& path, const QString& format);

private:
    /// Everything from opening the file to the final lap; false after an error was reported.
    bool readLaps(const QString& path, std::vector<std::unique_ptr<ZEL::Lap>>& laps);

    ZelPluginInterfaceImport& m_plugin;
    bool m_fastPath;
};
