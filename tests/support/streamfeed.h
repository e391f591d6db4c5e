#pragma once

#include <QProcess>
#include <QString>

/// A named pipe that a shell command writes into, to read a file as a stream that cannot seek. The
/// writer waits until the pipe is opened for reading; it is ended when the feed goes.
class StreamFeed
{
public:
    /// A pipe at `path` that the shell command writes to (its standard output is the pipe).
    StreamFeed(const QString& path, const QString& command);
    ~StreamFeed();
    StreamFeed(const StreamFeed&) = delete;
    StreamFeed& operator=(const StreamFeed&) = delete;

    /// A pipe that carries the file at `source` once.
    static QString catCommand(const QString& source) { return QStringLiteral("cat '%1'").arg(source); }

    bool isValid() const { return m_valid; }
    QString path() const { return m_path; }

private:
    QString m_path;
    QProcess m_writer;
    bool m_valid = false;
};
