#pragma once

#include "analysis/sessionanalysis.h"
#include "cli/fileimport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

/// The import summary as JSON: per file its messages, session, analysis and laps in result
/// order, then the best lap of every file that has a timed one. Keys name their units (Ms, Kmh,
/// L, Pct, M); channel values keep the recording's units.
class JsonReport
{
public:
    /// With channels, every lap also carries its channel values (null for missing ones).
    explicit JsonReport(bool withChannels) : m_withChannels(withChannels) {}

    /// The analysis holds the files in the same order.
    QJsonDocument build(const QVector<FileImport>& files, const SessionAnalysis& analysis) const;

    /// Writes to the file complete or not at all; "-" is standard output.
    bool write(const QVector<FileImport>& files, const SessionAnalysis& analysis, const QString& path);
    QString errorString() const { return m_error; }

private:
    QJsonObject fileObject(const FileImport& file, const SessionAnalysis& analysis, int index) const;
    QJsonObject lapObject(const LapAnalysis& lap, bool fastest) const;

    bool m_withChannels;
    QString m_error;
};
