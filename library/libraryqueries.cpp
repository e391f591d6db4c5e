#include "library/libraryqueries.h"

#include "analysis/lapextent.h"
#include "library/laplibrary.h"

#include <QHash>
#include <QMap>

#include <algorithm>

namespace {

// Each group's count of valid laps and sessions and its best time, joined back to the files
// that drove that time (ties come in recording order; the first is taken). Files carry their
// own counts and best, so that this reads sessions, not laps.
const QString selectBests = QStringLiteral(
    "SELECT g.track, g.config, g.car, g.driver, g.valid_laps, g.sessions, g.best_ms, f.path, f.best_lap_number,"
    " f.recorded_at"
    " FROM (SELECT track, config, car, driver, SUM(valid_laps) AS valid_laps, COUNT(*) AS sessions,"
    "  MIN(best_lap_ms) AS best_ms"
    "  FROM files WHERE valid_laps > 0 GROUP BY track, config, car, driver) g"
    " JOIN files f ON f.track = g.track AND f.config = g.config AND f.car = g.car AND f.driver = g.driver"
    "  AND f.best_lap_ms = g.best_ms"
    " ORDER BY g.track, g.config, g.car, g.best_ms, g.driver, f.recorded_at, f.best_lap_number");
const QString selectBestSectors = QStringLiteral(
    "SELECT f.track, f.config, f.car, f.driver, s.sector_count, s.sector, MIN(s.best_ms)"
    " FROM best_sectors s JOIN files f ON f.id = s.file_id"
    " GROUP BY f.track, f.config, f.car, f.driver, s.sector_count, s.sector");
const QString selectSessions = QStringLiteral(
    "SELECT path, recorded_at, track, config, car, driver, session_name, error, lap_count, valid_laps, best_lap_ms,"
    " best_lap_number FROM files ORDER BY recorded_at, path");
const QString selectBestLap = QStringLiteral(
    "SELECT f.driver, f.recorded_at, f.path, l.lap_number, l.lap_time_ms, t.data, f.sector_start_pct, l.sector_times_ms"
    " FROM laps l JOIN files f ON f.id = l.file_id JOIN traces t ON t.lap_id = l.id"
    " WHERE f.track = ? AND f.config = ? AND f.car = ? AND l.valid_time = 1 AND (? = '' OR lower(f.driver) = lower(?))"
    " AND (f.track_length_m IS NULL OR f.track_length_m BETWEEN ? AND ?)"
    " ORDER BY l.lap_time_ms, f.recorded_at, l.id LIMIT 1");
const QString selectCornerNumbering = QStringLiteral(
    "SELECT n.track_length_m, n.source_path, n.source_lap, n.defined_at, c.number, c.start_m, c.apex_m, c.end_m"
    " FROM corner_numberings n JOIN corners c ON c.numbering_id = n.id"
    " WHERE n.track = ? AND n.config = ? ORDER BY c.number LIMIT ?");

QString groupKey(const QString& track, const QString& config, const QString& car, const QString& driver)
{
    return QStringList{track, config, car, driver}.join(QLatin1Char('\n'));
}

} // namespace

LibraryQueries::LibraryQueries(LapLibrary& library) : m_library(library), m_numbering(library.newQuery())
{
    m_numbering.setForwardOnly(true);
}

bool LibraryFilter::matches(const QString& trackName, const QString& carName, const QString& driverName) const
{
    return trackName.contains(track, Qt::CaseInsensitive) && carName.contains(car, Qt::CaseInsensitive)
           && driverName.contains(driver, Qt::CaseInsensitive);
}

bool LibraryQueries::bests(const LibraryFilter& filter, QVector<LibraryBest>& result)
{
    result.clear();
    QSqlQuery query = m_library.newQuery();
    query.setForwardOnly(true);
    if (!m_library.run(query, selectBests)) {
        m_error = m_library.errorString();
        return false;
    }
    QString last;
    while (query.next()) {
        LibraryBest best;
        best.track = query.value(0).toString();
        best.config = query.value(1).toString();
        best.car = query.value(2).toString();
        best.driver = query.value(3).toString();
        const QString key = groupKey(best.track, best.config, best.car, best.driver);
        if (key == last || !filter.matches(best.track, best.car, best.driver))
            continue;
        last = key;
        best.validLaps = query.value(4).toInt();
        best.sessions = query.value(5).toInt();
        best.bestLapMs = query.value(6).toLongLong();
        best.path = query.value(7).toString();
        best.lapNumber = query.value(8).toInt();
        best.recordedAt = query.value(9).toString();
        result.append(best);
    }

    // Per group and sector count, the sum of the best sectors when every sector has one; the
    // finest division wins when a track's sectors changed between sessions.
    if (!m_library.run(query, selectBestSectors)) {
        m_error = m_library.errorString();
        return false;
    }
    QHash<QString, QMap<int, QMap<int, qint64>>> sectors; // group -> count -> sector -> best
    while (query.next()) {
        const QString key = groupKey(query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
                                     query.value(3).toString());
        sectors[key][query.value(4).toInt()].insert(query.value(5).toInt(), query.value(6).toLongLong());
    }
    for (LibraryBest& best : result) {
        const auto byCount = sectors.value(groupKey(best.track, best.config, best.car, best.driver));
        for (auto it = byCount.cbegin(); it != byCount.cend(); ++it) {
            if (it.value().size() != it.key())
                continue;
            qint64 sum = 0;
            for (const qint64 ms : it.value())
                sum += ms;
            best.theoreticalBestMs = sum;
        }
    }
    return true;
}

bool LibraryQueries::sessions(const LibraryFilter& filter, QVector<LibrarySession>& result)
{
    result.clear();
    QSqlQuery query = m_library.newQuery();
    query.setForwardOnly(true);
    if (!m_library.run(query, selectSessions)) {
        m_error = m_library.errorString();
        return false;
    }
    while (query.next()) {
        LibrarySession session;
        session.path = query.value(0).toString();
        session.recordedAt = query.value(1).toString();
        session.track = query.value(2).toString();
        session.config = query.value(3).toString();
        session.car = query.value(4).toString();
        session.driver = query.value(5).toString();
        if (!filter.matches(session.track, session.car, session.driver))
            continue;
        session.sessionName = query.value(6).toString();
        session.error = query.value(7).toString();
        session.laps = query.value(8).toInt();
        session.validLaps = query.value(9).toInt();
        session.bestLapMs = query.value(10).isNull() ? -1 : query.value(10).toLongLong();
        session.bestLapNumber = query.value(11).isNull() ? -1 : query.value(11).toInt();
        result.append(session);
    }
    return true;
}

bool LibraryQueries::bestLap(const QString& track, const QString& config, const QString& car, const QString& driver,
                             double trackLengthM, LibraryLap& lap)
{
    lap = LibraryLap();
    m_error.clear();
    QSqlQuery query = m_library.newQuery();
    query.setForwardOnly(true);
    QVariantList values{LapLibrary::name(track), LapLibrary::name(config), LapLibrary::name(car),
                        LapLibrary::name(driver), LapLibrary::name(driver)};
    // Another layout under the same names is no comparison; an unknown length rules nothing out.
    const auto [shortest, longest] = trackLengthM > 0.0 ? LapExtent::sameLayoutRange(trackLengthM)
                                                         : std::pair<double, double>(0.0, LapExtent::maxTrackLengthM);
    values << shortest << longest;
    if (!m_library.run(query, selectBestLap, values)) {
        m_error = m_library.errorString();
        return false;
    }
    if (!query.next())
        return false;
    if (!LapTrace::decode(query.value(5).toByteArray(), lap.trace)) {
        m_error = QStringLiteral("%1: the stored trace of lap %2 of %3 is damaged")
                      .arg(m_library.location().displayName())
                      .arg(query.value(3).toInt())
                      .arg(query.value(2).toString());
        return false;
    }
    lap.track = track;
    lap.config = config;
    lap.car = car;
    lap.driver = query.value(0).toString();
    lap.recordedAt = query.value(1).toString();
    lap.path = query.value(2).toString();
    lap.lapNumber = query.value(3).toInt();
    lap.lapTimeMs = query.value(4).toLongLong();
    // Read as the writer wrote them; a list that does not read as numbers is no list.
    const QStringList starts = query.value(6).toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& start : starts) {
        bool ok = false;
        lap.sectorStartPct.append(start.toDouble(&ok));
        if (!ok) {
            lap.sectorStartPct.clear();
            break;
        }
    }
    // Empty between commas where the lap did not drive a sector whole.
    const QString times = query.value(7).toString();
    for (const QString& time : times.isEmpty() ? QStringList() : times.split(QLatin1Char(','))) {
        bool ok = false;
        const qint64 ms = time.toLongLong(&ok);
        lap.sectorTimesMs.append(ok && ms >= 0 ? ms : -1);
    }
    return true;
}

bool LibraryQueries::cornerNumbering(const QString& track, const QString& config, CornerNumbering& numbering)
{
    numbering = CornerNumbering();
    m_error.clear();
    QSqlQuery& query = m_numbering;
    const QVariantList values{LapLibrary::name(track), LapLibrary::name(config), CornerNumbering::maxCorners + 1};
    if (!m_library.run(query, selectCornerNumbering, values)) {
        m_error = m_library.errorString();
        return false;
    }
    while (query.next()) {
        numbering.trackLength = query.value(0).toDouble();
        numbering.sourcePath = query.value(1).toString();
        numbering.sourceLap = query.value(2).toInt();
        numbering.definedAt = query.value(3).toString();
        numbering.corners.append(
            {query.value(4).toInt(), query.value(5).toDouble(), query.value(6).toDouble(), query.value(7).toDouble()});
    }
    query.finish(); // kept prepared, but holding no read lock between files
    if (numbering.isEmpty() || numbering.holdsTogether())
        return true;
    m_error = QStringLiteral("warning: %1: the stored corner numbering of %2 does not hold together; corners found afresh")
                  .arg(m_library.location().displayName(), track);
    numbering = CornerNumbering();
    return false;
}
