#include "analysis/sessionsummary.h"

SessionSummary SessionSummary::of(const FileAnalysis& file)
{
    SessionSummary summary;
    for (int i = 0; i < file.laps.size(); ++i) {
        const LapAnalysis& lap = file.laps.at(i);
        if (lap.validTime && (summary.fastestLap < 0 || lap.lapTime < file.laps.at(summary.fastestLap).lapTime))
            summary.fastestLap = i;
    }
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
