#pragma once

#include "analysis/sessionanalysis.h"
#include "cli/fileimport.h"

#include <QString>
#include <QStringList>

class QIODevice;

/// Writes one CSV per lap (a column per channel, a row per sample) and laps.csv (a row per
/// lap with its header fields, the analysis's figures and its properties) into a folder. The new files are written beside
/// the folder's own and moved in only when all are written (StagedFiles), so that a failure, a
/// full disk or an interrupt leaves an earlier export whole.
class CsvExport
{
public:
    /// Creates the folder if needed; false when it cannot be created or written to.
    bool prepare(const QString& folder);

    /// The analysis holds the files in the same order.
    bool write(const QVector<FileImport>& files, const SessionAnalysis& analysis);
    QString errorString() const { return m_error; }

    /// One text field, quoted when it holds a separator, a quote, a line break or edge blanks;
    /// a text that a spreadsheet would run as a formula (=, +, -, @, tab or carriage return
    /// first, and not a number) gets a leading apostrophe.
    static QString field(const QString& text);

private:
    static QByteArray lapCsv(const ZEL::Lap& lap);
    /// laps.csv, a row at a time: with a lap every other record its names alone would take
    /// hundreds of megabytes at once.
    static bool writeLapIndex(QIODevice& out, const QVector<FileImport>& files, const SessionAnalysis& analysis,
                              const QVector<QStringList>& lapFiles);

    QString m_folder;
    QString m_error;
};
