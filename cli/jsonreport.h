#pragma once

#include "analysis/sessionanalysis.h"
#include "cli/fileimport.h"

#include <QByteArray>
#include <QString>

class JsonWriter;
struct SessionSummary;

/// The import summary as JSON: per file its messages, session, analysis and laps in result
/// order, then the best lap of every file that has a timed one. Keys name their units (Ms, Kmh,
/// L, Pct, M); channel values keep the recording's units. Written as it goes: with channels the
/// document is hundreds of megabytes. A file's strings (names, shared properties, channel list)
/// are written once per file, a lap carries only what is its own.
class JsonReport
{
public:
    using Properties = QMap<QString, ZEL::DynamicValue>;

    /// With channels, every lap also carries its channel values (null for missing ones).
    explicit JsonReport(bool withChannels) : m_withChannels(withChannels) {}

    /// The summary as compact text. The analysis holds the files in the same order.
    QByteArray text(const QVector<FileImport>& files, const SessionAnalysis& analysis) const;

    /// Writes to the file complete or not at all; "-" is standard output.
    bool write(const QVector<FileImport>& files, const SessionAnalysis& analysis, const QString& path);
    QString errorString() const { return m_error; }

private:
    void writeDocument(JsonWriter& json, const QVector<FileImport>& files, const SessionAnalysis& analysis) const;
    /// The files are those of the analysis: the reference's entry may be another of them.
    void writeFile(JsonWriter& json, const QVector<FileImport>& files, const SessionAnalysis& analysis, int index) const;
    void writeLap(JsonWriter& json, const LapAnalysis& lap, bool fastest, const SessionSummary& session,
                  const Properties& shared, const QStringList& channels) const;

    bool m_withChannels;
    QString m_error;
};
