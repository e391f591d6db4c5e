#include "library/storedfile.h"

#include <cmath>

namespace {

qint64 milliseconds(double seconds)
{
    return std::isnan(seconds) ? -1 : qint64(std::llround(seconds * 1000.0));
}

} // namespace

StoredFile StoredFile::of(const FileFingerprint& file, const QString& error, const FileAnalysis& analysis)
{
    StoredFile stored;
    stored.file = file;
    stored.error = error;
    stored.recordedAt = analysis.info.recordedAt();
    stored.trackLengthM = analysis.trackLength;
    stored.leagueId = analysis.info.leagueId();
    stored.sessionId = analysis.info.sessionId();
    stored.subSessionId = analysis.info.subSessionId();
    stored.setupName = analysis.info.setupName();
    stored.sectorStartPct = analysis.info.sectorStartPct();
    stored.session = SessionSummary::of(analysis);
    for (const LapAnalysis& lap : analysis.laps) {
        stored.driverId = lap.lap->findValue(QStringLiteral("iRacing UserID")).value.toString();
        if (!stored.driverId.isEmpty())
            break;
    }

    for (int i = 0; i < analysis.laps.size(); ++i) {
        const LapAnalysis& lap = analysis.laps.at(i);
        StoredLap row;
        row.index = i;
        row.lapNumber = lap.lap->lapNumber();
        row.runNumber = lap.lap->runNumber();
        row.lapInRun = lap.lap->lapInRun();
        row.kind = lap.lap->lapStatus();
        row.completed = lap.lap->completed();
        row.validTime = lap.validTime;
        row.lapTimeMs = milliseconds(lap.lapTime);
        for (const double sector : lap.sectorTimes)
            row.sectorTimesMs.append(milliseconds(sector));
        row.topSpeedKmh = lap.figures.topSpeed * 3.6;
        row.minSpeedKmh = lap.figures.minSpeed * 3.6;
        row.fuelUsedL = lap.figures.fuelUsed;
        stored.laps.append(row);
        if (lap.validTime && lap.aligned.isComplete()
            && (stored.bestLap < 0 || lap.lapTime < analysis.laps.at(stored.bestLap).lapTime))
            stored.bestLap = i;
    }
    if (!std::isnan(analysis.theoreticalBest)) {
        for (const double best : analysis.bestSectors)
            stored.bestSectorsMs.append(milliseconds(best));
    }
    if (stored.bestLap >= 0) {
        const LapAnalysis& best = analysis.laps.at(stored.bestLap);
        stored.bestTrace = LapTrace::of(*best.lap, best.aligned);
        if (stored.bestTrace.isEmpty())
            stored.bestLap = -1;
    }
    // Only a whole lap with a recorded time defines a track's numbering for the sessions after it.
    if (analysis.cornerOrigin == FileAnalysis::CornerOrigin::TimedLap && !analysis.trackName.isEmpty())
        stored.corners = analysis.numbering;
    return stored;
}
