#pragma once

#include "analysis/sessionanalysis.h"
#include "cli/fileimport.h"
#include "library/librarywriter.h"

#include <QJsonObject>
#include <QString>

class LapLibrary;

/// Adds imported recordings to a library and counts what happened to each.
class LibraryAdder
{
public:
    explicit LibraryAdder(LapLibrary& library) : m_writer(library) {}

    /// Whether the file needs importing; an unchanged one is counted here.
    LibraryWriter::Need check(FileFingerprint& file);
    /// Stores an import with its analysis; false with errorString() when the library refused
    /// (then nothing more should be stored).
    bool add(const FileFingerprint& file, const FileImport& import, const FileAnalysis& analysis);

    int added() const { return m_added; }
    int unchanged() const { return m_unchanged; }
    int failed() const { return m_failed; }
    int laps() const { return m_laps; }
    /// {"added", "unchanged", "failed", "laps"}
    QJsonObject counts() const;
    QString errorString() const { return m_writer.errorString(); }

private:
    LibraryWriter m_writer;
    int m_added = 0;
    int m_unchanged = 0;
    int m_failed = 0;
    int m_laps = 0;
};
