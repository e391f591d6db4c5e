#pragma once

#include "model/lap.h"

#include <QSharedPointer>
#include <QString>
#include <QVector>

using LapList = QVector<QSharedPointer<ZEL::Lap>>;

/// One text the plugin sent while it imported a file.
struct PluginMessage
{
    QString text;
    int verbose = 0; // 0 information, negative an error
};

/// What one importFile call gave back for one file.
struct FileImport
{
    QString path;
    LapList laps;
    QVector<PluginMessage> messages;
    /// A lap library's best, drawn from its stored trace: who drove it and when (ISO 8601).
    /// Such an entry is compared with, never printed, exported or stored as a file of the run.
    bool fromLibrary = false;
    QString libraryDriver{};
    QString libraryRecordedAt{};

    /// Whether the plugin reported an error for this file.
    bool failed() const;

    /// A name per file for what is written about it (CSV files, plots): its base name, with
    /// "-2", "-3" ... for inputs from different folders that share one, shown printable.
    static QStringList uniqueStems(const QVector<FileImport>& files);
    static QStringList uniqueStems(const QStringList& paths);
};
