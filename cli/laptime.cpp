#include "cli/laptime.h"

#include "analysis/sessionanalysis.h"

#include <cmath>

namespace LapTime {

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

QString text(double seconds)
{
    if (std::isnan(seconds) || seconds < 0.0 || seconds >= 86400.0)
        return QString();
    return text(QTime::fromMSecsSinceStartOfDay(int(std::lround(seconds * 1000.0))));
}

QString sectorText(double seconds)
{
    if (std::isnan(seconds))
        return QString();
    return seconds < 59.9995 ? QString::number(seconds, 'f', 3) : text(seconds);
}

QString gapText(double seconds)
{
    if (std::isnan(seconds))
        return QString();
    const QString number = QString::number(std::fabs(seconds), 'f', 3);
    return (seconds < 0.0 && number != QLatin1String("0.000") ? QLatin1Char('-') : QLatin1Char('+')) + number;
}

int milliseconds(const QTime& time)
{
    return time.isNull() ? -1 : time.msecsSinceStartOfDay();
}

bool isTimed(const ZEL::LapHeader& lap)
{
    return SessionAnalysis::hasValidTime(lap);
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
