#include "librarycli/libraryreferences.h"

#include "library/libraryqueries.h"

#include <QFileInfo>
#include <QMap>
#include <QStringList>

#include <cmath>

namespace {

const QString anyone = QStringLiteral("any");

const ZEL::Lap* namedLap(const LapList& laps)
{
    for (const QSharedPointer<ZEL::Lap>& lap : laps) {
        if (!lap->trackName().isEmpty())
            return lap.data();
    }
    return nullptr;
}

/// The stored best as a lap of a run: its trace's channels, its header from the library.
QSharedPointer<ZEL::Lap> lapOf(const LibraryLap& best)
{
    auto lap = QSharedPointer<ZEL::Lap>::create(best.trace.toLap());
    lap->setTrackName(best.track);
    lap->setTrackConfig(best.config);
    lap->setCarName(best.car);
    lap->setDriverName(best.driver);
    lap->setLapNumber(best.lapNumber);
    lap->setLapTime(QTime::fromMSecsSinceStartOfDay(int(best.lapTimeMs)));
    lap->setDateTime(QDateTime::fromString(best.recordedAt, Qt::ISODate));
    lap->setLapStatus(ZEL::LapHeader::LapStatusTimedLap);
    lap->setCompleted(true);
    return lap;
}

/// Appends the best to the run as an entry of its own, with its recording's sectors.
void join(const LibraryLap& best, QVector<FileImport>& files, QVector<SessionAnalysis::Input>& inputs)
{
    FileImport entry;
    entry.path = QStringLiteral("library: %1, %2 (lap %3 of %4)")
                     .arg(best.driver, best.recordedAt.left(10))
                     .arg(best.lapNumber)
                     .arg(QFileInfo(best.path).fileName());
    entry.laps.append(lapOf(best));
    entry.fromLibrary = true;
    entry.libraryDriver = best.driver;
    entry.libraryRecordedAt = best.recordedAt;
    SessionAnalysis::Input input{entry.path, entry.laps};
    input.sectorStartPct = best.sectorStartPct;
    QVector<double> sectorTimes;
    for (const qint64 ms : best.sectorTimesMs)
        sectorTimes.append(ms < 0 ? std::nan("") : ms / 1000.0);
    input.storedSectorTimes = {sectorTimes};
    inputs.append(input);
    files.append(entry);
}

/// A best asked for, and where it joined the run (-1 until a file takes it).
struct Answer
{
    bool found = false;
    LibraryLap best;
    int entry = -1;
};

} // namespace

bool LibraryReferences::attach(QVector<FileImport>& files, QVector<SessionAnalysis::Input>& inputs)
{
    LibraryQueries queries(m_library);
    QMap<QString, Answer> answers; // by what was asked
    const int given = files.size();
    for (int f = 0; f < given; ++f) {
        const ZEL::Lap* lap = namedLap(files.at(f).laps);
        if (!lap)
            continue;
        const QString driver = m_referenceDriver.isEmpty() ? lap->driverName()
                               : m_referenceDriver.compare(anyone, Qt::CaseInsensitive) == 0 ? QString()
                                                                                                : m_referenceDriver;
        // A length the laps do not tell (no distances) cannot rule a best out.
        const double length = SessionAnalysis::measuredTrackLength(files.at(f).laps);
        const QString key = QStringList{lap->trackName(), lap->trackConfig(), lap->carName(), driver,
                                        QString::number(qRound64(length))}
                                .join(QLatin1Char('\n'));
        if (!answers.contains(key)) {
            Answer answer;
            answer.found =
                queries.bestLap(lap->trackName(), lap->trackConfig(), lap->carName(), driver, length, answer.best);
            if (!answer.found && !queries.errorString().isEmpty()) {
                m_error = queries.errorString();
                return false;
            }
            answers.insert(key, answer);
        }
        Answer& answer = answers[key];
        if (!answer.found)
            continue;
        if (answer.entry < 0) {
            answer.entry = files.size();
            join(answer.best, files, inputs);
        }
        inputs[f].referenceInput = answer.entry;
    }
    return true;
}
