#pragma once

#include "report/sessiontraces.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QString>
#include <QVector>

/// The session report: one HTML page holding its styles, scripts (the page's own and the charting
/// library's) and data, so that it opens from disk with no network.
class ReportPage
{
public:
    /// summary: the import summary ({"files": [...]}); laps: each of its files' laps, in the same order.
    static QByteArray html(const QJsonDocument& summary, const QVector<SessionTraces::Laps>& laps);

    /// Writes the page complete or not at all.
    bool write(const QString& path, const QJsonDocument& summary, const QVector<SessionTraces::Laps>& laps);
    QString errorString() const { return m_error; }

private:
    QString m_error;
};
