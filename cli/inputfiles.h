#pragma once

#include <QStringList>

/// The files a command line names: files as given (a pipe too), each folder replaced by the
/// regular .ibt files in it.
class InputFiles
{
public:
    /// False when an argument names nothing or a folder without .ibt files; errors() then
    /// holds one line per such argument.
    bool expand(const QStringList& arguments);

    QStringList paths() const { return m_paths; }
    QStringList errors() const { return m_errors; }

private:
    QStringList m_paths;
    QStringList m_errors;
};
