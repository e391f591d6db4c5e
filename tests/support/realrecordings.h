#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

/// The simulator's own recordings kept beside the source tree, read-only.
namespace RealRecordings {

/// The folder that holds them.
QString directory();

/// Paths of every .ibt file in the folder, sorted by name; empty when the folder is absent.
QStringList files();

/// A "path" column with one row per recording, named by its file name; skips the test when there are none.
void addRows();

/// The raw session-info block of a recording with its last byte replaced by NUL,
/// as the importer hands it to the parser; empty when the file cannot be read.
QByteArray sessionInfoText(const QString& path);

} // namespace RealRecordings
