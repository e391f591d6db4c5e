#include "analysis/sessionanalysis.h"

#include "analysis/cornerdetector.h"
#include "analysis/lapextent.h"
#include "analysis/timedelta.h"

#include <QMap>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr int untimedMs = 3599 * 1000; // what the plugin gives a lap it could not time

double median(QVector<double> values)
{
    if (values.isEmpty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const int n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2.0;
}

/// The file's identity from its session info; what the info lacks comes from the first lap that
/// knows its track (a file that could not be read again).
void identify(FileAnalysis& file, const QVector<QSharedPointer<ZEL::Lap>>& laps)
{
    const RecordingInfo& info = file.info;
    file.trackName = info.trackName();
    file.trackConfig = info.trackConfig();
    file.carName = info.carName();
    file.driverName = info.driverName();
    file.sessionName = info.sessionName();
    file.sessionType = info.sessionType();
    const auto known = std::find_if(laps.cbegin(), laps.cend(),
                                    [](const QSharedPointer<ZEL::Lap>& lap) { return !lap->trackName().isEmpty(); });
    if (known != laps.cend()) {
        const ZEL::Lap& lap = **known;
        const auto orLap = [](QString& field, const QString& fromLap) {
            if (field.isEmpty())
                field = fromLap;
        };
        orLap(file.trackName, lap.trackName());
        orLap(file.trackConfig, lap.trackConfig());
        orLap(file.carName, lap.carName());
        orLap(file.driverName, lap.driverName());
        orLap(file.sessionName, lap.value(QStringLiteral("Session name")).value.toString());
        if (file.sessionType < 0)
            file.sessionType = lap.sessionType();
    }
    // A file that names no track is a track of its own: laps of two unnamed tracks never compare.
    const QString track = file.trackName.isEmpty() ? QStringLiteral("\n") + file.path
                                                   : file.trackName + QLatin1Char('\n') + file.trackConfig;
    file.trackKey = track + QLatin1Char('\n') + file.carName;
}

/// The track and its configuration of a file's key, without the car.
QString trackOf(const FileAnalysis& file)
{
    return file.trackKey.section(QLatin1Char('\n'), 0, 1);
}

} // namespace

bool SessionAnalysis::hasValidTime(const ZEL::LapHeader& lap)
{
    const QTime time = lap.lapTime();
    return time.isValid() && time.msecsSinceStartOfDay() > 0 && time.msecsSinceStartOfDay() != untimedMs;
}

SessionAnalysis::SessionAnalysis(const QVector<Input>& inputs, const CornerLookup& storedCorners)
{
    m_files.resize(inputs.size());
    for (int f = 0; f < inputs.size(); ++f)
        analyseFile(m_files[f], inputs.at(f));

    // One map origin per track, whatever the car, so that laps from different files lie on each
    // other where the report draws them together.
    QMap<QString, QVector<const ZEL::Lap*>> lapsByTrack;
    for (const FileAnalysis& file : qAsConst(m_files)) {
        for (const LapAnalysis& lap : file.laps)
            lapsByTrack[trackOf(file)].append(lap.lap.data());
    }
    QMap<QString, LocalProjection> projections;
    for (auto it = lapsByTrack.cbegin(); it != lapsByTrack.cend(); ++it) {
        LocalProjection projection;
        if (TrackMap::centreOf(it.value(), projection))
            projections.insert(it.key(), projection);
    }
    for (FileAnalysis& file : m_files) {
        if (!projections.contains(trackOf(file)))
            continue;
        const LocalProjection projection = projections.value(trackOf(file));
        for (LapAnalysis& lap : file.laps) {
            lap.map = TrackMap::of(*lap.lap, lap.aligned, projection);
            file.hasMap = file.hasMap || !lap.map.isEmpty();
        }
    }

    chooseReferences();
    takeChosenReferences(inputs);
    compareWithReferences();
    findCorners(storedCorners);
}

void SessionAnalysis::takeChosenReferences(const QVector<Input>& inputs)
{
    for (int f = 0; f < inputs.size(); ++f) {
        const int chosen = inputs.at(f).referenceInput;
        if (chosen < 0 || chosen >= m_files.size() || chosen == f)
            continue;
        const QVector<LapAnalysis>& laps = m_files.at(chosen).laps;
        for (int i = 0; i < laps.size(); ++i) {
            if (!laps.at(i).validTime || !laps.at(i).aligned.isComplete())
                continue;
            if (m_files.at(f).referenceFile != chosen || laps.at(i).lapTime < laps.at(m_files.at(f).referenceLap).lapTime) {
                m_files[f].referenceFile = chosen;
                m_files[f].referenceLap = i;
            }
        }
    }
}

void SessionAnalysis::analyseFile(FileAnalysis& file, const Input& input)
{
    file.path = input.path;
    file.info.read(input.path); // a file that cannot be read again just has no sectors or date
    if (!input.sectorStartPct.isEmpty())
        file.info.setSectorStartPct(input.sectorStartPct);
    identify(file, input.laps);

    // The laps' own measure whenever one has it: the session info rounds the length, often to 10 m.
    const double measured = measuredTrackLength(input.laps);
    const double stated = LapExtent::isPlausibleTrackLength(file.info.trackLengthM()) ? file.info.trackLengthM() : 0.0;
    file.trackLength = measured > 0.0 ? measured
                       : stated > 0.0 || input.laps.isEmpty() ? stated
                                                              : AlignedLap::statedTrackLength(*input.laps.first());
    file.sectors = Sectors(file.info.sectorStartPct(), file.trackLength);

    QVector<double> validTimes;
    file.laps.reserve(input.laps.size());
    for (const QSharedPointer<ZEL::Lap>& lap : input.laps) {
        LapAnalysis analysis;
        analysis.lap = lap;
        analysis.aligned = AlignedLap::of(*lap, file.trackLength);
        analysis.figures = LapFigures::of(*lap, analysis.aligned);
        analysis.kind = LapKind::of(*lap, analysis.aligned, file.laps.isEmpty());
        analysis.validTime = hasValidTime(*lap);
        analysis.lapTime = analysis.validTime ? lap->lapTime().msecsSinceStartOfDay() / 1000.0 : notANumber;
        if (analysis.validTime)
            analysis.aligned.stretchTo(analysis.lapTime);
        // Stored times are the ones its recording gave; its trace would place the boundaries only
        // to within a millisecond.
        const int index = file.laps.size();
        const bool stored = index < input.storedSectorTimes.size()
                            && input.storedSectorTimes.at(index).size() == file.sectors.count();
        analysis.sectorTimes = stored ? input.storedSectorTimes.at(index) : file.sectors.times(analysis.aligned);
        analysis.sectorGains.fill(notANumber, file.sectors.count());
        analysis.deltaToReference = notANumber;
        if (analysis.validTime)
            validTimes.append(analysis.lapTime);
        file.laps.append(analysis);
    }
    file.stats = LapTimeStats::of(validTimes);

    // Best sectors only from laps with a recorded time that drove every sector.
    file.bestSectors.fill(notANumber, file.sectors.count());
    file.bestSectorLaps.fill(-1, file.sectors.count());
    for (int i = 0; i < file.laps.size(); ++i) {
        const LapAnalysis& lap = file.laps.at(i);
        const QVector<double>& times = lap.sectorTimes;
        if (!lap.validTime || std::any_of(times.cbegin(), times.cend(), [](double t) { return std::isnan(t); }))
            continue;
        for (int k = 0; k < times.size(); ++k) {
            if (file.bestSectorLaps.at(k) < 0 || times.at(k) < file.bestSectors.at(k)) {
                file.bestSectors[k] = times.at(k);
                file.bestSectorLaps[k] = i;
            }
        }
    }
    file.theoreticalBest = file.bestSectors.isEmpty() ? notANumber : 0.0;
    for (const double best : qAsConst(file.bestSectors))
        file.theoreticalBest += best; // NaN stays NaN
    // The best lap is one way to drive every sector; when its own samples could not split it
    // (a lost record at the line), the others' sectors must still not promise worse.
    file.theoreticalBest = std::min(file.theoreticalBest, file.stats.best);
}

double SessionAnalysis::measuredTrackLength(const QVector<QSharedPointer<ZEL::Lap>>& laps)
{
    // Laps past half distance measure best; else the one that got furthest.
    QVector<double> lengths;
    double furthest = 0.0;
    double furthestLength = 0.0;
    for (const QSharedPointer<ZEL::Lap>& lap : laps) {
        double reach = 0.0;
        const double length = AlignedLap::measuredTrackLength(*lap, &reach);
        if (length > 0.0 && reach > 0.5)
            lengths.append(length);
        if (length > 0.0 && reach > furthest) {
            furthest = reach;
            furthestLength = length;
        }
    }
    return !lengths.isEmpty() ? median(lengths) : furthestLength;
}

bool SessionAnalysis::sameTrack(const FileAnalysis& a, const FileAnalysis& b)
{
    return trackOf(a) == trackOf(b);
}

void SessionAnalysis::chooseReferences()
{
    // The fastest lap with a recorded time that ran line to line, per track, configuration and car.
    QMap<QString, QPair<int, int>> fastest;
    for (int f = 0; f < m_files.size(); ++f) {
        const FileAnalysis& file = m_files.at(f);
        for (int i = 0; i < file.laps.size(); ++i) {
            const LapAnalysis& lap = file.laps.at(i);
            if (!lap.validTime || !lap.aligned.isComplete())
                continue;
            const auto known = fastest.constFind(file.trackKey);
            if (known == fastest.cend() || lap.lapTime < m_files.at(known->first).laps.at(known->second).lapTime)
                fastest.insert(file.trackKey, {f, i});
        }
    }
    for (FileAnalysis& file : m_files) {
        const auto found = fastest.constFind(file.trackKey);
        if (found == fastest.cend())
            continue;
        file.referenceFile = found->first;
        file.referenceLap = found->second;
    }
}

void SessionAnalysis::compareWithReferences()
{
    for (int f = 0; f < m_files.size(); ++f) {
        const LapAnalysis* reference = referenceOf(f);
        if (!reference)
            continue;
        for (LapAnalysis& lap : m_files[f].laps) {
            // Recorded times are exact to the millisecond; the samples place the line only to
            // within a fraction of a record, so they stand in only where a time is missing.
            if (lap.validTime)
                lap.deltaToReference = lap.lapTime - reference->lapTime;
            else
                lap.deltaToReference = TimeDelta(lap.aligned, reference->aligned).atLine();
            if (lap.sectorTimes.size() != reference->sectorTimes.size())
                continue;
            for (int k = 0; k < lap.sectorTimes.size(); ++k)
                lap.sectorGains[k] = lap.sectorTimes.at(k) - reference->sectorTimes.at(k);
        }
    }
}

void SessionAnalysis::findCorners(const CornerLookup& storedCorners)
{
    // One numbering per track, so that a corner's number is the same place in every file: the
    // stored one where it fits, else the one found in this run.
    QMap<QString, CornerNumbering> stored; // by track and layout
    QMap<QString, QPair<CornerNumbering, FileAnalysis::CornerOrigin>> found; // by track, layout and car; per file for another layout
    for (int f = 0; f < m_files.size(); ++f) {
        FileAnalysis& file = m_files[f];
        const QString track = trackOf(file);
        if (storedCorners && !file.trackName.isEmpty() && !stored.contains(track))
            stored.insert(track, storedCorners(file.trackName, file.trackConfig));
        const CornerNumbering given = stored.value(track);
        if (!given.isEmpty() && given.fitTo(file.trackLength, file.corners)) {
            file.cornerOrigin = FileAnalysis::CornerOrigin::Stored;
            file.numbering = given;
        } else {
            // A layout other than the stored one's finds its corners on its own laps: the run's
            // reference may be a lap of the stored layout.
            const bool otherLayout = !given.isEmpty() && file.trackLength > 0.0;
            if (otherLayout)
                file.refusedNumberingLength = given.trackLength;
            const QString key = otherLayout ? file.trackKey + QLatin1Char('\n') + QString::number(f) : file.trackKey;
            if (!found.contains(key)) {
                FileAnalysis::CornerOrigin origin = FileAnalysis::CornerOrigin::None;
                const CornerNumbering numbering = detectCorners(f, otherLayout, origin);
                found.insert(key, {numbering, origin});
            }
            file.numbering = found.value(key).first;
            file.cornerOrigin = found.value(key).second;
            file.corners = file.numbering.corners;
        }
        const LapAnalysis* reference = referenceOf(f);
        for (LapAnalysis& lap : file.laps) {
            lap.cornerFigures = CornerFigures::of(*lap.lap, lap.aligned, file.corners,
                                                  reference ? &reference->aligned : nullptr, lap.deltaToReference);
        }
    }
}

CornerNumbering SessionAnalysis::detectCorners(int file, bool ownLaps, FileAnalysis::CornerOrigin& origin) const
{
    // From the reference lap (with ownLaps the file's fastest timed lap), else from the lap of the
    // track that covers most of it.
    const LapAnalysis* source = referenceOf(file);
    int sourceFile = m_files.at(file).referenceFile;
    if (ownLaps && sourceFile != file) {
        source = nullptr;
        sourceFile = file;
        for (const LapAnalysis& lap : m_files.at(file).laps) {
            if (lap.validTime && lap.aligned.isComplete() && (!source || lap.lapTime < source->lapTime))
                source = &lap;
        }
    }
    origin = source ? FileAnalysis::CornerOrigin::TimedLap : FileAnalysis::CornerOrigin::OtherLap;
    double covered = 0.0;
    for (int f = 0; f < m_files.size() && origin == FileAnalysis::CornerOrigin::OtherLap; ++f) {
        if (m_files.at(f).trackKey != m_files.at(file).trackKey || (ownLaps && f != file))
            continue;
        for (const LapAnalysis& lap : m_files.at(f).laps) {
            const double span = lap.aligned.isEmpty() ? 0.0 : lap.aligned.distance().last() - lap.aligned.distance().first();
            if (span > covered) {
                covered = span;
                source = &lap;
                sourceFile = f;
            }
        }
    }
    if (!source) {
        origin = FileAnalysis::CornerOrigin::None;
        return {};
    }
    const CornerSettings settings = CornerSettings::forTrackType(m_files.at(file).info.trackType());
    CornerNumbering numbering;
    numbering.corners = CornerDetector::detect(
        TrackCurvature::of(*source->lap, source->aligned, source->map, settings.smoothingM), settings);
    numbering.trackLength = m_files.at(sourceFile).trackLength;
    numbering.sourcePath = m_files.at(sourceFile).path;
    numbering.sourceLap = source->lap->lapNumber();
    return numbering;
}

const LapAnalysis* SessionAnalysis::referenceOf(int file) const
{
    if (file < 0 || file >= m_files.size() || m_files.at(file).referenceFile < 0)
        return nullptr;
    const FileAnalysis& owner = m_files.at(m_files.at(file).referenceFile);
    return &owner.laps.at(m_files.at(file).referenceLap);
}

const LapAnalysis* SessionAnalysis::findLap(int file, int lapNumber) const
{
    if (file < 0 || file >= m_files.size())
        return nullptr;
    for (const LapAnalysis& lap : m_files.at(file).laps) {
        if (lap.lap->lapNumber() == lapNumber)
            return &lap;
    }
    return nullptr;
}
