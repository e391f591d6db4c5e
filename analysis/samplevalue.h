#pragma once

#include "model/channel.h"

#include <cmath>

/// Whether a channel value is a real sample: finite and below the missing-value marker's limit.
inline bool isSampleValue(double value)
{
    return std::isfinite(value) && value < ZEL::validLimit;
}
