#include "cli/sessionsummary.h"

#include "cli/laptime.h"

SessionSummary SessionSummary::of(const FileAnalysis& file)
{
    SessionSummary summary;
    QVector<QSharedPointer<ZEL::Lap>> laps;
    for (const LapAnalysis& lap : file.laps)
        laps.append(lap.lap);
    summary.fastestLap = LapTime::fastest(laps);
    summary.trackName = file.trackName;
    summary.trackConfig = file.trackConfig;
    summary.carName = file.carName;
    summary.driverName = file.driverName;
    summary.sessionName = file.sessionName;
    summary.sessionType = file.sessionType;
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
