#pragma once

#include <QDateTime>
#include <QString>
#include <QVector>

/// What a recording says about itself beside its records: when it was recorded, the track's
/// length and where its sectors start. Reads only the headers and the session-info block.
class RecordingInfo
{
public:
    /// False with errorString() when the file or its headers cannot be read.
    bool read(const QString& path);
    /// Takes the facts from a session-info text, as read() does with the file's block.
    void readSessionInfo(const QByteArray& text);

    QString errorString() const { return m_error; }

    /// Start of the session the file recorded (UTC); invalid when the file does not say.
    QDateTime recordedAt() const { return m_recordedAt; }
    /// Where each sector starts, as fractions of the lap; the first is 0. Empty when unknown, and when
    /// the list is longer than any track's (LapExtent::maxSectors).
    const QVector<double>& sectorStartPct() const { return m_sectorStartPct; }
    /// The track length that the session info states, in metres (often rounded to 10 m); 0 when unknown.
    double trackLengthM() const { return m_trackLengthM; }
    /// What kind of track it is ("road course", "oval", "short oval" ...); empty when unknown.
    QString trackType() const { return m_trackType; }
    /// How many turns the session info counts on the track; 0 when it does not say.
    int trackTurns() const { return m_trackTurns; }
    /// The league, session and sub-session the recording belongs to, and the name of the car's
    /// setup; empty where the file has none ("0" for an offline session).
    QString leagueId() const { return m_leagueId; }
    QString sessionId() const { return m_sessionId; }
    QString subSessionId() const { return m_subSessionId; }
    QString setupName() const { return m_setupName; }

private:
    QDateTime m_recordedAt;
    QVector<double> m_sectorStartPct;
    double m_trackLengthM = 0.0;
    QString m_trackType;
    int m_trackTurns = 0;
    QString m_leagueId;
    QString m_sessionId;
    QString m_subSessionId;
    QString m_setupName;
    QString m_error;
};
