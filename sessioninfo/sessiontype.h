#pragma once

#include <QString>

/// The session-type code of a session's type text; -1 when the text names no known session.
inline int sessionTypeCode(const QString& text)
{
    if (text == QLatin1String("Race"))
        return 5;
    // Every testing recording seen spells it "Offline Testing"; both spellings mean testing.
    if (text == QLatin1String("Offline testing") || text == QLatin1String("Offline Testing"))
        return 0;
    if (text == QLatin1String("Qualify"))
        return 2;
    if (text == QLatin1String("Practice"))
        return 1;
    if (text == QLatin1String("Warmup"))
        return 3;
    return -1;
}
