#pragma once

#include "model/lap.h"

#include <QStringList>

/// A lap as text that tells any two laps apart, floating-point values by their bits, but for its
/// random ids and "DateTime", the moment of import: the header fields, the properties, then per
/// channel its name, unit and a hash of its values.
QStringList lapDump(const ZEL::Lap& lap);
