#include "support/streamfeed.h"

#include <QFile>

#include <sys/stat.h>

StreamFeed::StreamFeed(const QString& path, const QString& command) : m_path(path)
{
    QFile::remove(path);
    if (mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
        return;
    m_writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_writer.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command + QStringLiteral(" > \"$0\""), path});
    m_valid = m_writer.waitForStarted();
}

StreamFeed::~StreamFeed()
{
    // A writer left blocked on a pipe nobody opened, or writing one that never ends, is stopped.
    if (m_writer.state() != QProcess::NotRunning) {
        m_writer.kill();
        m_writer.waitForFinished();
    }
    QFile::remove(m_path);
}
