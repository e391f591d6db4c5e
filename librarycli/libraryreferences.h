#pragma once

#include "analysis/sessionanalysis.h"
#include "cli/fileimport.h"

#include <QString>
#include <QStringList>
#include <QVector>

class LapLibrary;

/// Gives each file of a run the library's best lap of its track, layout and car as reference:
/// the same driver's, a named driver's, or anyone's ("any"). Each best joins the run as an entry
/// of its own, a lap rebuilt from its stored trace and named by driver and date. A best driven on
/// laps of another length (another layout under the same names) is no reference: the file keeps
/// the one the files given have, with a warning.
class LibraryReferences
{
public:
    /// referenceDriver: empty for each file's own driver.
    LibraryReferences(LapLibrary& library, const QString& referenceDriver)
        : m_library(library), m_referenceDriver(referenceDriver)
    {
    }

    /// Appends the bests to files and inputs (which match the files) and points each input at its
    /// best. False with errorString() when the library could not be asked.
    bool attach(QVector<FileImport>& files, QVector<SessionAnalysis::Input>& inputs);
    QString errorString() const { return m_error; }
    /// Bests not taken, one line each ("warning: FILE: ..."); text from the files, unescaped.
    QStringList warnings() const { return m_warnings; }

private:
    LapLibrary& m_library;
    QString m_referenceDriver;
    QString m_error;
    QStringList m_warnings;
};
