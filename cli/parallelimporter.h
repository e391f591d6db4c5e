#pragma once

#include "cli/fileimport.h"

#include <QStringList>

class ZelPluginInterfaceImport;

/// Runs one importFile call per file, on as many threads as there are cores, and files each
/// message the plugin sends under the file whose import sent it.
class ParallelImporter
{
public:
    explicit ParallelImporter(ZelPluginInterfaceImport& plugin) : m_plugin(plugin) {}

    /// The imports in the order of the paths; shows progress on a terminal meanwhile.
    QVector<FileImport> importAll(const QStringList& paths);

private:
    void importOne(FileImport& file, const QString& format);

    ZelPluginInterfaceImport& m_plugin;
};
