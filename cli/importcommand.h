#pragma once

#include "analysis/sessionanalysis.h"
#include "cli/fileimport.h"

#include <QTextStream>

class LapComparison;
class Options;
class ZelPluginInterfaceImport;

/// The whole run of ibtimport: inputs, parallel import, report and exports.
class ImportCommand
{
public:
    enum ExitCode {
        Success = 0,
        ImportFailed = 1, // the plugin reported an error for a file
        BadInput = 2,     // arguments, inputs or the plugin itself
        ExportFailed = 3, // a CSV, JSON or plot file could not be written
    };

    explicit ImportCommand(const Options& options);

    int run();

private:
    bool collectInputs(QStringList& paths);
    ExitCode checkOutputs(const QStringList& inputs);
    /// The path of the session report; empty when none is asked for.
    QString reportPath() const;
    void printPluginInfo(ZelPluginInterfaceImport& plugin);
    void printReport(const QVector<FileImport>& files, const SessionAnalysis& analysis);
    void printDebrief(const QVector<FileImport>& files, const SessionAnalysis& analysis, const LapComparison* comparison);
    bool writeExports(const QVector<FileImport>& files, const SessionAnalysis& analysis);
    bool writePlots(const QVector<FileImport>& files, const SessionAnalysis& analysis);
    void error(const QString& text);

    const Options& m_options;
    QTextStream m_out; // standard output, or standard error while JSON goes to standard output
    QTextStream m_err;
};
