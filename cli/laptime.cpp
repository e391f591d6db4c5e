#include "cli/laptime.h"

namespace LapTime {

namespace {

constexpr int untimedMs = 3599 * 1000;

} // namespace

QString text(const QTime& time)
{
    if (time.isNull())
        return QStringLiteral("-");
    const int ms = time.msecsSinceStartOfDay();
    return QStringLiteral("%1:%2.%3")
        .arg(ms / 60000)
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

int milliseconds(const QTime& time)
{
    return time.isNull() ? -1 : time.msecsSinceStartOfDay();
}

bool isTimed(const ZEL::LapHeader& lap)
{
    const int ms = milliseconds(lap.lapTime());
    return ms > 0 && ms != untimedMs;
}

int fastest(const LapList& laps)
{
    int best = -1;
    for (int i = 0; i < laps.size(); ++i) {
        if (!isTimed(*laps.at(i)))
            continue;
        if (best < 0 || milliseconds(laps.at(i)->lapTime()) < milliseconds(laps.at(best)->lapTime()))
            best = i;
    }
    return best;
}

} // namespace LapTime
