#include "librarycli/libraryreferences.h"

#include "library/libraryqueries.h"

#include <QFileInfo>
#include <QMap>

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

} // namespace

bool LibraryReferences::attach(QVector<FileImport>& files, QVector<SessionAnalysis::Input>& inputs)
{
    LibraryQueries queries(m_library);
    QMap<QString, int> entries; // by what was asked: the entry that holds the answer, -1 for none
    const int given = files.size();
    for (int f = 0; f < given; ++f) {
        const ZEL::Lap* lap = namedLap(files.at(f).laps);
        if (!lap)
            continue;
        const QString driver = m_referenceDriver.isEmpty() ? lap->driverName()
                               : m_referenceDriver.compare(anyone, Qt::CaseInsensitive) == 0 ? QString()
                                                                                                : m_referenceDriver;
        const QString key = QStringList{lap->trackName(), lap->trackConfig(), lap->carName(), driver}.join(QLatin1Char('\n'));
        if (!entries.contains(key)) {
            LibraryLap best;
            if (!queries.bestLap(lap->trackName(), lap->trackConfig(), lap->carName(), driver, best)) {
                if (!queries.errorString().isEmpty()) {
                    m_error = queries.errorString();
                    return false;
                }
                entries.insert(key, -1);
                continue;
            }
            FileImport entry;
            entry.path = QStringLiteral("library: %1, %2 (lap %3 of %4)")
                             .arg(best.driver, best.recordedAt.left(10))
                             .arg(best.lapNumber)
                             .arg(QFileInfo(best.path).fileName());
            entry.laps.append(lapOf(best));
            entry.fromLibrary = true;
            entry.libraryDriver = best.driver;
            entry.libraryRecordedAt = best.recordedAt;
            entries.insert(key, files.size());
            SessionAnalysis::Input input{entry.path, entry.laps};
            input.sectorStartPct = best.sectorStartPct;
            QVector<double> sectorTimes;
            for (const qint64 ms : qAsConst(best.sectorTimesMs))
                sectorTimes.append(ms < 0 ? std::nan("") : ms / 1000.0);
            input.storedSectorTimes = {sectorTimes};
            inputs.append(input);
            files.append(entry);
        }
        inputs[f].referenceInput = entries.value(key);
    }
    return true;
}
