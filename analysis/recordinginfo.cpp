#include "analysis/recordinginfo.h"

#include "analysis/lapextent.h"
#include "ibt/ibtlayout.h"
#include "sessioninfo/sessioninfonode.h"
#include "sessioninfo/sessiontype.h"

#include <QFile>

#include <algorithm>

namespace {

// The same bound the import puts on the session-info block: it must lie inside the file; and
// no real session info comes near this, so a corrupt length cannot make us allocate gigabytes.
constexpr qint64 maxSessionInfoBytes = 64 * 1024 * 1024;

template<typename T>
bool readStruct(QFile& file, T& into)
{
    return file.read(reinterpret_cast<char*>(&into), sizeof into) == qint64(sizeof into);
}

/// A text field of the file: up to its first NUL, never past its width.
QString fieldText(const char* field, int width)
{
    return QString::fromLatin1(field, int(qstrnlen(field, uint(width))));
}

} // namespace

bool RecordingInfo::read(const QString& path)
{
    *this = RecordingInfo();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    irsdk_header header;
    irsdk_diskSubHeader subHeader;
    if (!readStruct(file, header) || !readStruct(file, subHeader)) {
        m_error = QStringLiteral("%1: file too short for its headers").arg(path);
        return false;
    }
    if (subHeader.sessionStartDate > 0)
        m_recordedAt = QDateTime::fromSecsSinceEpoch(subHeader.sessionStartDate, Qt::UTC);

    const qint64 offset = header.sessionInfoOffset;
    const qint64 length = header.sessionInfoLen;
    if (length <= 0 || length > maxSessionInfoBytes || offset < 0 || offset > file.size()
        || length > file.size() - offset || !file.seek(offset)) {
        m_error = QStringLiteral("%1: no readable session info").arg(path);
        return false;
    }
    const QByteArray text = file.read(length);
    if (text.size() != length) {
        m_error = QStringLiteral("%1: no readable session info").arg(path);
        return false;
    }
    int session = 0;
    readVariables(file, header, &session);
    readSessionInfo(text, session);
    return true;
}

void RecordingInfo::readVariables(QFile& file, const irsdk_header& header, int* session)
{
    // The table must lie inside the file, so a corrupt count allocates nothing.
    const qint64 tableBytes = qint64(header.numVars) * qint64(sizeof(irsdk_varHeader));
    if (header.numVars <= 0 || header.varHeaderOffset < 0 || tableBytes > file.size() - header.varHeaderOffset
        || !file.seek(header.varHeaderOffset))
        return;
    for (int v = 0; v < header.numVars; ++v) {
        irsdk_varHeader variable;
        if (!readStruct(file, variable))
            return;
        const QString name = fieldText(variable.name, IRSDK_MAX_STRING).toLower();
        m_descriptions.insert(name, fieldText(variable.desc, IRSDK_MAX_DESC));
        // The session the player drove at the first record, as the laps take it. Only that
        // variable sends the read elsewhere: a seek per variable costs a system call each.
        const qint64 at = qint64(header.varBuf[0].bufOffset) + variable.offset;
        qint32 number = 0;
        if (name == QLatin1String("sessionnum") && variable.type == irsdk_int && variable.offset >= 0
            && variable.offset + qint64(sizeof number) <= header.bufLen && header.varBuf[0].bufOffset >= 0
            && at + qint64(sizeof number) <= file.size()) {
            const qint64 pos = file.pos();
            if (file.seek(at) && readStruct(file, number) && number >= 0)
                *session = number;
            file.seek(pos);
        }
    }
}

void RecordingInfo::readSessionInfo(const QByteArray& text, int session)
{
    // The parser reads up to the first NUL; the block's last byte is one, as the import makes it.
    QByteArray terminated = text;
    terminated.append('\0');
    SessionInfoNode root;
    root.parse(terminated.constData());

    const QString length = root.valueAt(QStringLiteral("WeekendInfo/TrackLength")).simplified();
    const QStringList words = length.split(QLatin1Char(' '));
    const double number = words.first().toDouble();
    const QString unit = words.size() > 1 ? words.at(1) : QString();
    m_trackLengthM = number > 0.0 ? number * (unit == QLatin1String("m") ? 1.0 : 1000.0) : 0.0;

    m_setup = CarSetup::fromSessionInfo(text);
    m_trackName = root.valueAt(QStringLiteral("WeekendInfo/TrackDisplayName"));
    m_trackConfig = root.valueAt(QStringLiteral("WeekendInfo/TrackConfigName"));
    const QString player = root.valueAt(QStringLiteral("DriverInfo/DriverCarIdx"));
    bool known = false;
    const int car = player.toInt(&known);
    if (known && car >= 0) {
        if (const SessionInfoNode* driver = root.childAt(QStringLiteral("DriverInfo/Drivers/") + QString::number(car))) {
            m_carName = driver->value(QStringLiteral("CarScreenName"));
            m_driverName = driver->value(QStringLiteral("UserName"));
        }
    }
    m_sessionName = root.valueAt(QStringLiteral("SessionInfo/Sessions/%1/SessionType").arg(session));
    m_sessionType = sessionTypeCode(m_sessionName);

    m_trackType = root.valueAt(QStringLiteral("WeekendInfo/TrackType")).trimmed();
    m_trackTurns = std::max(0, root.valueAt(QStringLiteral("WeekendInfo/TrackNumTurns")).toInt());
    const auto identity = [&root](const char* path) {
        const QString value = root.valueAt(QLatin1String(path)).trimmed();
        return value == QLatin1String("0") ? QString() : value;
    };
    m_leagueId = identity("WeekendInfo/LeagueID");
    m_sessionId = identity("WeekendInfo/SessionID");
    m_subSessionId = identity("WeekendInfo/SubSessionID");
    m_setupName = root.valueAt(QStringLiteral("DriverInfo/DriverSetupName")).trimmed();

    QVector<double> starts;
    if (const SessionInfoNode* sectors = root.childAt(QStringLiteral("SplitTimeInfo/Sectors"))) {
        for (const SessionInfoNode* sector : sectors->children()) {
            bool ok = false;
            const double start = sector->value(QStringLiteral("SectorStartPct")).toDouble(&ok);
            if (ok)
                starts.append(start);
        }
    }
    setSectorStartPct(starts);
}

void RecordingInfo::setSectorStartPct(QVector<double> starts)
{
    starts.erase(std::remove_if(starts.begin(), starts.end(), [](double start) { return !(start >= 0.0 && start < 1.0); }),
                 starts.end());
    // Session-info children are keyed by sector number as text ("10" sorts before "2"), so order by value.
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    if (!starts.isEmpty() && starts.first() != 0.0)
        starts.prepend(0.0);
    // A list no track has is a forged one: no sectors rather than megabytes of them for every lap.
    if (starts.size() > LapExtent::maxSectors)
        starts.clear();
    m_sectorStartPct = starts;
}
