#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

class SessionAnalysis;

/// The session report: one HTML page holding its styles, scripts (the page's own and the charting
/// library's) and data, so that it opens from disk with no network.
class ReportPage
{
public:
    /// summary: the import summary as JSON text ({"files": [...]}); analysis: of the same files in the same order.
    static QByteArray html(const QByteArray& summary, const SessionAnalysis& analysis);

    /// Writes the page complete or not at all.
    bool write(const QString& path, const QByteArray& summary, const SessionAnalysis& analysis);
    QString errorString() const { return m_error; }

private:
    QString m_error;
};
