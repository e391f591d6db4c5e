#pragma once

#include "analysis/sessionanalysis.h"
#include "cli/fileimport.h"

#include <QTextStream>

/// The terminal report: per file the plugin's messages, the session and the analysed lap table,
/// optionally the laps' properties and the channels; for several files a best-lap summary.
class ReportPrinter
{
public:
    /// Errors of the plugin go to err, everything else to out.
    ReportPrinter(QTextStream& out, QTextStream& err) : m_out(out), m_err(err) {}

    void setShowProperties(bool show) { m_showProperties = show; }
    void setShowChannels(bool show) { m_showChannels = show; }
    /// Whether the plugin's information messages show; its errors always do.
    void setShowProgress(bool show) { m_showProgress = show; }

    /// The file's messages, session, lap table with its analysis (file `index` of it), and what else is asked for.
    void printFile(const FileImport& file, const SessionAnalysis& analysis, int index);
    void printBestLaps(const QVector<FileImport>& files, const SessionAnalysis& analysis);

private:
    void printMessages(const FileImport& file);
    void printSession(const FileAnalysis& analysis);
    void printProperties(const FileImport& file);
    void printChannels(const FileImport& file);

    QTextStream& m_out;
    QTextStream& m_err;
    bool m_showProperties = false;
    bool m_showChannels = false;
    bool m_showProgress = true;
};
