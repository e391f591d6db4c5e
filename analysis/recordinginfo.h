#pragma once

#include "sessioninfo/carsetup.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVector>

class QFile;
struct irsdk_header;

/// What a recording says about itself beside its laps: when it was recorded, where, in what and
/// in which session, the track's length, where its sectors start and what its channels mean.
/// Reads the headers, the session-info block, the variable table and the first record only, so
/// a file says what it is even when it holds no lap.
class RecordingInfo
{
public:
    /// False with errorString() when the file or its headers cannot be read.
    bool read(const QString& path);
    /// Takes the facts from a session-info text, as read() does with the file's block; the
    /// session is the one numbered `session` (the player's at the first record).
    void readSessionInfo(const QByteArray& text, int session = 0);

    QString errorString() const { return m_error; }

    /// Start of the session the file recorded (UTC); invalid when the file does not say.
    QDateTime recordedAt() const { return m_recordedAt; }
    /// Where each sector starts, as fractions of the lap; the first is 0. Empty when unknown, and when
    /// the list is longer than any track's (LapExtent::maxSectors).
    const QVector<double>& sectorStartPct() const { return m_sectorStartPct; }
    /// Takes sector starts from elsewhere (a lap library), checked as those of a session info.
    void setSectorStartPct(QVector<double> starts);
    /// The track length that the session info states, in metres (often rounded to 10 m); 0 when unknown.
    double trackLengthM() const { return m_trackLengthM; }
    /// What kind of track it is ("road course", "oval", "short oval" ...); empty when unknown.
    QString trackType() const { return m_trackType; }
    /// How many turns the session info counts on the track; 0 when it does not say.
    int trackTurns() const { return m_trackTurns; }
    /// The car's setup; empty when the recording has none.
    const CarSetup& setup() const { return m_setup; }
    /// The league, session and sub-session the recording belongs to, and the name of the car's
    /// setup; empty where the file has none ("0" for an offline session).
    QString leagueId() const { return m_leagueId; }
    QString sessionId() const { return m_sessionId; }
    QString subSessionId() const { return m_subSessionId; }
    QString setupName() const { return m_setupName; }

    QString trackName() const { return m_trackName; }
    QString trackConfig() const { return m_trackConfig; }
    /// The player's car and name; empty when the session info names no player car.
    QString carName() const { return m_carName; }
    QString driverName() const { return m_driverName; }
    /// The session's type text ("Practice", "Offline Testing") and its code, -1 when unknown.
    QString sessionName() const { return m_sessionName; }
    int sessionType() const { return m_sessionType; }
    /// A channel's description from the variable table, by its lower-case name; empty when none.
    QString channelDescription(const QString& channel) const { return m_descriptions.value(channel); }

private:
    void readVariables(QFile& file, const irsdk_header& header, int* session);

    QDateTime m_recordedAt;
    QString m_trackName;
    QString m_trackConfig;
    QString m_carName;
    QString m_driverName;
    QString m_sessionName;
    int m_sessionType = -1;
    QHash<QString, QString> m_descriptions;
    QVector<double> m_sectorStartPct;
    double m_trackLengthM = 0.0;
    QString m_trackType;
    int m_trackTurns = 0;
    CarSetup m_setup;
    QString m_leagueId;
    QString m_sessionId;
    QString m_subSessionId;
    QString m_setupName;
    QString m_error;
};
