#pragma once

#include "analysis/sessionanalysis.h"

#include <QString>

/// The setups the recordings were driven with, for the terminal: each file's CarSetup tree; files
/// of one car side by side, the values that differ first.
namespace SetupSheet {

/// names: how each file is called in the columns (its file name).
QString render(const SessionAnalysis& analysis, const QStringList& carNames, const QStringList& names);

} // namespace SetupSheet
