#pragma once

#include "scenario/scenario.h"

#include <QByteArray>
#include <QString>

/// Small input files that several test suites build the same way.
namespace TestFiles {

/// Session info of a practice session in which car 0 is the player's.
QByteArray playerSessionInfo();

/// The scenario's file, in memory; ends the test program when it cannot be written.
QByteArray scenario(const ScenarioOptions& options);

/// Two timed laps at two records a second, from the scenario generator: every part of a real file,
/// small enough to cut at many places.
QByteArray twoLapScenario();

/// Writes the bytes to the path and returns it; ends the test program when it cannot.
QString write(const QString& path, const QByteArray& bytes);

/// The file's bytes; empty when it cannot be read.
QByteArray read(const QString& path);

} // namespace TestFiles
