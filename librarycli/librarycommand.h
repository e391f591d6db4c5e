#pragma once

#include "analysis/sessionanalysis.h"
#include "cli/fileimport.h"

#include <QJsonDocument>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <memory>

class LapLibrary;
class LibraryQueries;
class Options;
class ZelPluginInterfaceImport;

/// The library's own commands: --add (store recordings), --bests and --sessions (ask).
/// Each returns an exit status of ImportCommand.
class LibraryCommand
{
public:
    /// Text goes to out, errors to err.
    LibraryCommand(const Options& options, QTextStream& out, QTextStream& err);
    ~LibraryCommand();

    /// Checks every file, imports the new and changed ones in parallel and stores each as it
    /// comes, on this thread.
    int add(ZelPluginInterfaceImport& plugin, const QStringList& paths);
    int bests();
    int sessions();

    /// Opens the library and gives each file its best as reference (LibraryReferences);
    /// false after an error message.
    bool attachReferences(QVector<FileImport>& files, QVector<SessionAnalysis::Input>& inputs);
    /// The library's corner numbering of each track (none without a library): a failed query
    /// says so and leaves the corners to be found afresh.
    CornerLookup storedCorners();
    /// Says when the library's numbering did not fit the file and nothing of it was reused.
    void reportCorners(const FileAnalysis& file);
    /// Stores the given files of a run (not the library's bests) that the library lacks, with
    /// their analysis; an exit status.
    int store(const QVector<FileImport>& files, const SessionAnalysis& analysis);

private:
    bool open(LapLibrary& library);
    void printCounts(const LapLibrary& library, int added, int unchanged, int failed, int laps);
    bool writeJson(const QJsonDocument& json);
    void error(const QString& text);

    const Options& m_options;
    QTextStream& m_out;
    QTextStream& m_err;
    std::unique_ptr<LapLibrary> m_library; // of the run that adds to it or compares with it
    std::unique_ptr<LibraryQueries> m_queries; // of the corner numberings, for the run; closed before m_library
};
