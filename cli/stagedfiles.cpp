#include "cli/stagedfiles.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QString replacedFolder = QStringLiteral("replaced");

/// Writes and closes the file with the system calls themselves, so that a failure keeps its errno.
bool writeFile(const QString& path, const QByteArray& content)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    qint64 done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.constData() + done, size_t(content.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            ::close(fd);
            errno = error;
            return false;
        }
        done += n;
    }
    return ::close(fd) == 0;
}

bool move(const QString& from, const QString& to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace

StagedFiles::StagedFiles(const QString& folder)
    : m_folder(folder), m_staging(QDir(folder).filePath(QStringLiteral(".ibtimport-XXXXXX")))
{
}

bool StagedFiles::fail(const QString& action, const QString& path)
{
    const int error = errno;
    m_error = QStringLiteral("cannot %1 %2: %3").arg(action, path, QString::fromLocal8Bit(std::strerror(error)));
    return false;
}

bool StagedFiles::add(const QString& name, const QByteArray& content)
{
    if (!m_staging.isValid()) {
        m_error = QStringLiteral("cannot write into %1: %2").arg(m_folder, m_staging.errorString());
        return false;
    }
    if (!writeFile(m_staging.filePath(name), content))
        return fail(QStringLiteral("write"), QDir(m_folder).filePath(name));
    m_names.append(name);
    return true;
}

bool StagedFiles::commit()
{
    const QDir folder(m_folder);
    const QDir replaced(m_staging.filePath(replacedFolder));
    if (!QDir(m_staging.path()).mkdir(replacedFolder))
        return fail(QStringLiteral("write into"), m_folder);
    for (int i = 0; i < m_names.size(); ++i) {
        const QString& name = m_names.at(i);
        const bool exists = QFile::exists(folder.filePath(name));
        if ((exists && !move(folder.filePath(name), replaced.filePath(name)))
            || !move(m_staging.filePath(name), folder.filePath(name))) {
            fail(QStringLiteral("replace"), folder.filePath(name));
            rollBack(i);
            return false;
        }
    }
    return true;
}

void StagedFiles::rollBack(int moved)
{
    const QDir folder(m_folder);
    const QDir replaced(m_staging.filePath(replacedFolder));
    for (int i = moved; i >= 0; --i) {
        const QString& name = m_names.at(i);
        if (i < moved)
            move(folder.filePath(name), m_staging.filePath(name));
        if (QFile::exists(replaced.filePath(name)))
            move(replaced.filePath(name), folder.filePath(name));
    }
}
