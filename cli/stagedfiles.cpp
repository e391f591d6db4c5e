#include "cli/stagedfiles.h"

#include "output/outputfile.h"

#include <QDir>
#include <QDirIterator>
#include <QDateTime>
#include <QFileInfo>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString replacedFolder = QStringLiteral("replaced");
const QString lockName = QStringLiteral("lock");
const QString stagingPattern = QStringLiteral(".ibtimport-XXXXXX");
// A staging folder without a lock is only abandoned once it is older than an export takes to start.
constexpr int unlockedGraceSeconds = 60;

/// Opens a staging folder's lock file and takes its lock; -1 when another process holds it.
int takeLock(const QString& folder, int flags)
{
    const int fd = ::open(QFile::encodeName(QDir(folder).filePath(lockName)).constData(), flags | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool move(const QString& from, const QString& to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace

StagedFiles::StagedFiles(const QString& folder) : m_folder(folder), m_staging(QDir(folder).filePath(stagingPattern))
{
    if (m_staging.isValid())
        m_lock = takeLock(m_staging.path(), O_CREAT);
    removeAbandoned();
}

StagedFiles::~StagedFiles()
{
    if (m_lock >= 0)
        ::close(m_lock);
}

void StagedFiles::removeAbandoned()
{
    const QString prefix = stagingPattern.left(stagingPattern.indexOf(QLatin1Char('X')));
    QDirIterator it(m_folder, {prefix + QStringLiteral("??????")}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const QString path = it.next();
        if (QFileInfo(path).canonicalFilePath() == QFileInfo(m_staging.path()).canonicalFilePath() || QFileInfo(path).isSymLink())
            continue;
        const int lock = takeLock(path, 0);
        const bool unlockedAndOld = lock < 0 && !QFile::exists(QDir(path).filePath(lockName))
                                    && QFileInfo(path).lastModified().secsTo(QDateTime::currentDateTime()) > unlockedGraceSeconds;
        if (lock >= 0 || unlockedAndOld)
            QDir(path).removeRecursively();
        if (lock >= 0)
            ::close(lock);
    }
}

bool StagedFiles::fail(const QString& action, const QString& path)
{
    const int error = errno;
    m_error = QStringLiteral("cannot %1 %2: %3").arg(action, path, QString::fromLocal8Bit(std::strerror(error)));
    return false;
}

bool StagedFiles::add(const QString& name, const QByteArray& content)
{
    return add(name, [&content](QIODevice& file) { return file.write(content) == content.size(); });
}

bool StagedFiles::add(const QString& name, const std::function<bool(QIODevice&)>& write)
{
    if (!m_staging.isValid()) {
        m_error = QStringLiteral("cannot write into %1: %2").arg(m_folder, m_staging.errorString());
        return false;
    }
    OutputFile file(m_staging.filePath(name));
    if (!file.open() || !write(file) || !file.commit()) {
        m_error = QStringLiteral("cannot write %1: %2").arg(QDir(m_folder).filePath(name), file.errorString());
        return false;
    }
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
