#pragma once

#include "cli/fileimport.h"

#include <QStringList>

#include <functional>

class ZelPluginInterfaceImport;

/// Runs one importFile call per file, on as many threads as there are cores, and files each
/// message the plugin sends under the file whose import sent it.
class ParallelImporter
{
public:
    explicit ParallelImporter(ZelPluginInterfaceImport& plugin) : m_plugin(plugin) {}

    /// The imports in the order of the paths; shows progress on a terminal meanwhile.
    QVector<FileImport> importAll(const QStringList& paths);
    /// Hands each import, as it finishes, to take on the calling thread (the one writer of what
    /// they give, such as a library connection) with its index in the paths, then frees its laps.
    void importEach(const QStringList& paths, const std::function<void(int, FileImport&)>& take);

private:
    void importOne(FileImport& file, const QString& format);

    ZelPluginInterfaceImport& m_plugin;
};
