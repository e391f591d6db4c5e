#pragma once

#include "analysis/corner.h"
#include "analysis/cornerfigures.h"

#include <QJsonArray>

/// Corners and per-corner figures as the JSON summary (and the page) carry them: metres, km/h
/// and whole milliseconds, null where a figure does not apply.
namespace CornerJson {

/// [{"number", "startM", "apexM", "endM"}]
QJsonArray corners(const QVector<Corner>& corners);
/// [{"number", "brakePointM", "entryKmh", "minKmh", "minAtM", "throttleOnM", "exitKmh", "deltaMs"}]
QJsonArray figures(const QVector<CornerFigures>& figures);

} // namespace CornerJson
