#pragma once

#include "cli/fileimport.h"

#include <QString>
#include <QStringList>

/// Writes one CSV per lap (a column per channel, a row per sample) and laps.csv (a row per
/// lap with its header fields and properties) into a folder. Every file is written under a
/// temporary name and renamed when complete; after a failure the files of this export are
/// removed again, so the folder never holds a partial export that looks whole.
class CsvExport
{
public:
    /// Creates the folder if needed; false when it cannot be created or written to.
    bool prepare(const QString& folder);

    bool write(const QVector<FileImport>& files);
    QString errorString() const { return m_error; }

    /// One text field, quoted when it holds a separator, a quote, a line break or edge blanks;
    /// a text that a spreadsheet would run as a formula (=, +, -, @, tab or carriage return
    /// first, and not a number) gets a leading apostrophe.
    static QString field(const QString& text);

private:
    bool writeLap(const ZEL::Lap& lap, const QString& name);
    bool writeLapIndex(const QVector<FileImport>& files, const QVector<QStringList>& lapFiles);
    bool save(const QString& name, const QByteArray& content);
    void removeWritten();

    QString m_folder;
    QStringList m_written;
    QString m_error;
};
