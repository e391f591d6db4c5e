#include "cli/sessionsummary.h"

#include "cli/laptime.h"

SessionSummary SessionSummary::of(const LapList& laps)
{
    SessionSummary summary;
    summary.fastestLap = LapTime::fastest(laps);
    for (const QSharedPointer<ZEL::Lap>& lap : laps) {
        if (lap->trackName().isEmpty())
            continue;
        summary.trackName = lap->trackName();
        summary.trackConfig = lap->trackConfig();
        summary.carName = lap->carName();
        summary.driverName = lap->driverName();
        summary.sessionName = lap->value(QStringLiteral("Session name")).value.toString();
        summary.sessionType = lap->sessionType();
        break;
    }
    return summary;
}

QString SessionSummary::sessionTypeName(int sessionType)
{
    switch (sessionType) {
    case ZEL::LapHeader::SessionTypeOfflineTesting:
        return QStringLiteral("offline testing");
    case ZEL::LapHeader::SessionTypePractice:
        return QStringLiteral("practice");
    case ZEL::LapHeader::SessionTypeQualify:
        return QStringLiteral("qualify");
    case ZEL::LapHeader::SessionTypeWarmup:
        return QStringLiteral("warmup");
    case ZEL::LapHeader::SessionTypeRace:
        return QStringLiteral("race");
    default:
        return QStringLiteral("unknown");
    }
}
