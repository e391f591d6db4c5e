#include "analysis/cornersettings.h"

CornerSettings CornerSettings::forTrackType(const QString& trackType)
{
    CornerSettings settings;
    const QString kind = trackType.toLower();
    // "oval", "short oval", "dirt oval", "superspeedway": banked ends joined by straights.
    if (kind.contains(QLatin1String("oval")) || kind.contains(QLatin1String("speedway"))) {
        settings.oval = true;
        settings.smoothingM = 60.0;
        settings.minTurnRad = 1.0;
    }
    return settings;
}
