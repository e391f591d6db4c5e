#pragma once

#include "ibt/ibtlayout.h"
#include "ibt/ibtsource.h"

#include <QString>

#include <vector>

/// An .ibt file read the plainest way: its headers, then one record after the other into one
/// reused buffer, through the import's own source (fread on a file).
class RecordFile
{
public:
    /// Reads the headers and the variable table and stands before the first record.
    bool open(const QString& path);
    QString errorString() const { return m_error; }

    const irsdk_header& header() const { return m_header; }
    const std::vector<irsdk_varHeader>& variables() const { return m_variables; }
    qint64 fileSize() const { return m_size; }
    /// Whole records between the first record and the end of the file.
    qint64 recordCount() const;

    /// Reads the next record into record(); false at the end of the file.
    bool next();
    const char* record() const { return m_record.data(); }

private:
    bool fail(const QString& message);

    IbtSource m_source;
    irsdk_header m_header{};
    std::vector<irsdk_varHeader> m_variables;
    std::vector<char> m_record;
    qint64 m_size = 0;
    QString m_error;
};
