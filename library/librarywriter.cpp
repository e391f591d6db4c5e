#include "library/librarywriter.h"

#include "analysis/lapextent.h"
#include "library/laplibrary.h"
#include "library/storedfile.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSysInfo>

#include <cmath>

namespace {

const QString selectByPath =
    QStringLiteral("SELECT id, size, modified_ms, fingerprint FROM files WHERE host = ? AND path = ?");
const QString selectByFingerprint = QStringLiteral("SELECT id, host, path FROM files WHERE fingerprint = ?");
const QString updateModified = QStringLiteral("UPDATE files SET modified_ms = ? WHERE id = ?");
const QString updateFingerprint = QStringLiteral("UPDATE files SET fingerprint = ? WHERE id = ?");
const QString updatePath = QStringLiteral("UPDATE files SET path = ?, modified_ms = ? WHERE id = ?");
const QString deleteFile = QStringLiteral("DELETE FROM files WHERE id = ?");
const QString selectOtherCopy =
    QStringLiteral("SELECT id FROM files WHERE fingerprint = ? AND NOT (host = ? AND path = ?)");
const QString upsertFile = QStringLiteral(
    "INSERT INTO files (host, path, size, modified_ms, fingerprint, recorded_at, track, config, car, driver,"
    " driver_id, track_length_m, session_type, session_name, league_id, session_id, subsession_id, setup_name,"
    " error, added_at, lap_count, valid_laps, best_lap_ms, best_lap_number, sector_start_pct)"
    " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
    " ON CONFLICT (host, path) DO UPDATE SET size = excluded.size, modified_ms = excluded.modified_ms,"
    " fingerprint = excluded.fingerprint, recorded_at = excluded.recorded_at, track = excluded.track,"
    " config = excluded.config, car = excluded.car, driver = excluded.driver, driver_id = excluded.driver_id,"
    " track_length_m = excluded.track_length_m, session_type = excluded.session_type,"
    " session_name = excluded.session_name, league_id = excluded.league_id, session_id = excluded.session_id,"
    " subsession_id = excluded.subsession_id, setup_name = excluded.setup_name, error = excluded.error,"
    " added_at = excluded.added_at, lap_count = excluded.lap_count, valid_laps = excluded.valid_laps,"
    " best_lap_ms = excluded.best_lap_ms, best_lap_number = excluded.best_lap_number,"
    " sector_start_pct = excluded.sector_start_pct"
    // No row comes back when another writer stored this very file meanwhile.
    " WHERE files.fingerprint <> excluded.fingerprint"
    " RETURNING id");
const QString deleteLaps = QStringLiteral("DELETE FROM laps WHERE file_id = ?");
const QString deleteBestSectors = QStringLiteral("DELETE FROM best_sectors WHERE file_id = ?");
const QString insertLap = QStringLiteral(
    "INSERT INTO laps (file_id, lap_index, lap_number, run_number, lap_in_run, kind, completed, valid_time,"
    " lap_time_ms, sector_times_ms, top_speed_kmh, min_speed_kmh, fuel_used_l)"
    " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id");
const QString insertBestSector =
    QStringLiteral("INSERT INTO best_sectors (file_id, sector_count, sector, best_ms) VALUES (?, ?, ?, ?)");
// The best valid time of the group on laps of the same layout among the other files: a lap under
// it is a new best. Each file keeps its own best, so that this reads files, not laps.
const QString selectGroupBest = QStringLiteral(
    "SELECT MIN(f.best_lap_ms) FROM files f"
    " WHERE f.track = ? AND f.config = ? AND f.car = ? AND f.driver = ? AND f.id <> ?"
    " AND (f.track_length_m IS NULL OR f.track_length_m BETWEEN ? AND ?)");
// Nothing when the track has a numbering already: the first stays, also against a writer at the same time.
const QString insertNumbering = QStringLiteral(
    "INSERT INTO corner_numberings (track, config, track_length_m, source_path, source_lap, defined_at)"
    " VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (track, config) DO NOTHING RETURNING id");
const QString insertCorner =
    QStringLiteral("INSERT INTO corners (numbering_id, number, start_m, apex_m, end_m) VALUES (?, ?, ?, ?, ?)");
const QString insertTrace = QStringLiteral("INSERT INTO traces (lap_id, data) VALUES (?, ?)");

QVariant text(const QString& value)
{
    return value.isEmpty() ? LapLibrary::null(QVariant::String) : QVariant(value);
}

QVariant number(double value)
{
    return std::isfinite(value) ? QVariant(value) : LapLibrary::null(QVariant::Double);
}

QVariant milliseconds(qint64 value)
{
    return value >= 0 ? QVariant(value) : LapLibrary::null(QVariant::LongLong);
}

QString sectorList(const QVector<qint64>& times)
{
    QStringList texts;
    for (const qint64 ms : times)
        texts.append(ms >= 0 ? QString::number(ms) : QString());
    return texts.join(QLatin1Char(','));
}

/// The track, layout, car and driver whose laps a file's join, as the library names them.
QVariantList groupOf(const SessionSummary& session)
{
    return {LapLibrary::name(session.trackName), LapLibrary::name(session.trackConfig),
            LapLibrary::name(session.carName), LapLibrary::name(session.driverName)};
}

/// Exact to the last bit: a stored fraction reads back as the one the session info gave.
QString fractionList(const QVector<double>& fractions)
{
    QStringList texts;
    for (const double fraction : fractions)
        texts.append(QString::number(fraction, 'g', 17));
    return texts.join(QLatin1Char(','));
}

} // namespace

LibraryWriter::LibraryWriter(LapLibrary& library) : m_library(library), m_host(QSysInfo::machineHostName())
{
}

bool LibraryWriter::failed()
{
    m_error = m_library.errorString();
    return false;
}

QSqlQuery* LibraryWriter::run(const QString& sql, const QVariantList& values)
{
    auto kept = m_statements.find(sql);
    if (kept == m_statements.end())
        kept = m_statements.insert(sql, m_library.newQuery());
    return m_library.run(*kept, sql, values) ? &*kept : nullptr;
}

LibraryWriter::Need LibraryWriter::check(FileFingerprint& file)
{
    if (!FileFingerprint::stat(file.path, file)) {
        m_error = QStringLiteral("cannot read %1").arg(file.path);
        return Need::Error;
    }
    QSqlQuery* byPath = run(selectByPath, {m_host, file.path});
    if (!byPath) {
        failed();
        return Need::Refused;
    }
    const bool known = byPath->next();
    const qint64 knownId = known ? byPath->value(0).toLongLong() : -1;
    const bool same = known && byPath->value(1).toLongLong() == file.size && byPath->value(2).toLongLong() == file.modifiedMs;
    const QString knownHash = known ? byPath->value(3).toString() : QString();
    byPath->finish();
    if (same && FileFingerprint::isCurrentHash(knownHash))
        return Need::Unchanged;

    QString reason;
    if (!file.computeHash(reason)) {
        m_error = QStringLiteral("cannot read %1: %2").arg(file.path, reason);
        return Need::Error;
    }
    // An older library's hash is replaced once, so that the row follows the file when it moves.
    if (same)
        return run(updateFingerprint, {file.hash, knownId}) ? Need::Unchanged : (failed(), Need::Refused);
    if (known && knownHash == file.hash)
        return run(updateModified, {file.modifiedMs, knownId}) ? Need::Unchanged : (failed(), Need::Refused);

    QSqlQuery* copy = run(selectByFingerprint, {file.hash});
    if (!copy) {
        failed();
        return Need::Refused;
    }
    if (!copy->next())
        return Need::Import;
    const qint64 copyId = copy->value(0).toLongLong();
    const bool moved = copy->value(1).toString() == m_host && !QFileInfo::exists(copy->value(2).toString());
    copy->finish();
    // What was at this path before is gone; a file that moved here takes its place.
    if (!m_library.beginWrite() || (known && !run(deleteFile, {knownId}))
        || (moved && !run(updatePath, {file.path, file.modifiedMs, copyId})) || !m_library.commit()) {
        m_library.rollback();
        failed();
        return Need::Refused;
    }
    return Need::Unchanged;
}

bool LibraryWriter::store(const StoredFile& file, bool& alreadyStored)
{
    alreadyStored = false;
    if (!m_library.beginWrite())
        return failed();
    if (storeRows(file, alreadyStored) && (alreadyStored || m_library.commit()))
        return true;
    m_library.rollback();
    // A unique constraint stopped it: another writer stored the same recording first.
    if (m_library.lastFailureWasConflict()) {
        alreadyStored = true;
        return true;
    }
    return failed();
}

bool LibraryWriter::storeRows(const StoredFile& file, bool& alreadyStored)
{
    QSqlQuery* copy = run(selectOtherCopy, {file.file.hash, m_host, file.file.path});
    if (!copy)
        return false;
    alreadyStored = copy->next();
    copy->finish();
    if (alreadyStored) {
        m_library.rollback();
        return true;
    }
    int validLaps = 0;
    const StoredLap* best = nullptr;
    for (const StoredLap& lap : file.laps) {
        if (!lap.validTime)
            continue;
        ++validLaps;
        if (!best || lap.lapTimeMs < best->lapTimeMs)
            best = &lap;
    }
    QVariantList fileValues{m_host, file.file.path, file.file.size, file.file.modifiedMs, file.file.hash,
                            file.recordedAt.isValid() ? QVariant(file.recordedAt.toUTC().toString(Qt::ISODate))
                                                      : LapLibrary::null(QVariant::String)};
    fileValues << groupOf(file.session)
               << QVariantList{text(file.driverId), number(file.trackLengthM), file.session.sessionType,
                               text(file.session.sessionName), text(file.leagueId), text(file.sessionId),
                               text(file.subSessionId), text(file.setupName), text(file.error),
                               QDateTime::currentDateTimeUtc().toString(Qt::ISODate), file.laps.size(), validLaps,
                               best ? QVariant(best->lapTimeMs) : LapLibrary::null(QVariant::LongLong),
                               best ? QVariant(best->lapNumber) : LapLibrary::null(QVariant::Int),
                               text(fractionList(file.sectorStartPct))};
    QSqlQuery* upserted = run(upsertFile, fileValues);
    if (!upserted)
        return false;
    alreadyStored = !upserted->next();
    const qint64 fileId = alreadyStored ? -1 : upserted->value(0).toLongLong();
    upserted->finish();
    if (alreadyStored) {
        m_library.rollback();
        return true;
    }
    if (!run(deleteLaps, {fileId}) || !run(deleteBestSectors, {fileId}))
        return false;

    qint64 bestLapId = -1;
    for (const StoredLap& lap : file.laps) {
        const QVariantList values{fileId, lap.index, lap.lapNumber, lap.runNumber, lap.lapInRun, lap.kind,
                                  int(lap.completed), int(lap.validTime), milliseconds(lap.lapTimeMs),
                                  sectorList(lap.sectorTimesMs), number(lap.topSpeedKmh), number(lap.minSpeedKmh),
                                  number(lap.fuelUsedL)};
        QSqlQuery* inserted = run(insertLap, values);
        if (!inserted || !inserted->next())
            return false;
        if (lap.index == file.bestLap)
            bestLapId = inserted->value(0).toLongLong();
        inserted->finish();
    }
    for (int k = 0; k < file.bestSectorsMs.size(); ++k) {
        if (!run(insertBestSector, {fileId, file.bestSectorsMs.size(), k, file.bestSectorsMs.at(k)}))
            return false;
    }
    if (!storeCorners(file))
        return false;
    if (bestLapId < 0)
        return true;
    // Traces stay for every lap that was a best when it came: when a best's file is replaced or
    // removed, the best before it can still be drawn.
    const auto [shortest, longest] = LapExtent::sameLayoutRange(file.trackLengthM);
    QSqlQuery* groupBest = run(selectGroupBest, groupOf(file.session) << fileId << shortest << longest);
    if (!groupBest || !groupBest->next())
        return false;
    const QVariant fastest = groupBest->value(0);
    groupBest->finish();
    if (!fastest.isNull() && fastest.toLongLong() <= file.laps.at(file.bestLap).lapTimeMs)
        return true;
    return run(insertTrace, {bestLapId, file.bestTrace.encode()});
}

bool LibraryWriter::storeCorners(const StoredFile& file)
{
    const CornerNumbering& numbering = file.corners;
    if (numbering.isEmpty() || !numbering.holdsTogether()) // only what reads back as a numbering
        return true;
    const QVariantList values{LapLibrary::name(file.session.trackName), LapLibrary::name(file.session.trackConfig), numbering.trackLength,
                              numbering.sourcePath, numbering.sourceLap,
                              QDateTime::currentDateTimeUtc().toString(Qt::ISODate)};
    QSqlQuery* inserted = run(insertNumbering, values);
    if (!inserted)
        return false;
    const bool added = inserted->next();
    const qint64 id = added ? inserted->value(0).toLongLong() : -1;
    inserted->finish();
    for (int i = 0; added && i < numbering.corners.size(); ++i) {
        const Corner& corner = numbering.corners.at(i);
        if (!run(insertCorner, {id, corner.number, corner.start, corner.apex, corner.end}))
            return false;
    }
    return true;
}
