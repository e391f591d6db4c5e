#pragma once

#include "analysis/sessionanalysis.h"
#include "cli/fileimport.h"

#include <QString>
#include <QVector>

class LapLibrary;

/// Gives each file of a run the library's best lap of its track, layout and car as reference:
/// the same driver's, a named driver's, or anyone's ("any"). Each best joins the run as an entry
/// of its own, a lap rebuilt from its stored trace and named by driver and date. Only laps of the
/// file's layout count: laps of another length under the same names are another layout.
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

private:
    LapLibrary& m_library;
    QString m_referenceDriver;
    QString m_error;
};
