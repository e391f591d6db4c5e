#include "output/outputfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool statOf(const QString& path, struct stat& info)
{
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

} // namespace

OutputFile::OutputFile(const QString& path) : m_path(path) {}

OutputFile::~OutputFile()
{
    discard();
}

bool OutputFile::fail(int error)
{
    m_failure = QStringLiteral("cannot write %1: %2")
                    .arg(m_path == QLatin1String("-") ? QStringLiteral("to standard output") : m_path,
                         QString::fromLocal8Bit(std::strerror(error)));
    setErrorString(QString::fromLocal8Bit(std::strerror(error)));
    return false;
}

void OutputFile::discard()
{
    if (m_ownsFd && m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_ownsFd = false;
    if (!m_temporary.isEmpty())
        ::unlink(QFile::encodeName(m_temporary).constData());
    m_temporary.clear();
    if (isOpen())
        QIODevice::close();
}

bool OutputFile::open(OpenMode mode)
{
    discard();
    if (m_path == QLatin1String("-")) {
        m_fd = STDOUT_FILENO;
        return QIODevice::open(mode | Unbuffered);
    }
    // Written where a link points, so that the link stays a link.
    const QFileInfo info(m_path);
    m_target = info.isSymLink() && !info.canonicalFilePath().isEmpty() ? info.canonicalFilePath() : m_path;
    struct stat existing;
    const bool exists = statOf(m_target, existing);
    if (exists && (S_ISCHR(existing.st_mode) || S_ISFIFO(existing.st_mode))) {
        m_fd = ::open(QFile::encodeName(m_target).constData(), O_WRONLY | O_CLOEXEC);
        if (m_fd < 0)
            return fail(errno);
        m_ownsFd = true;
        return QIODevice::open(mode | Unbuffered);
    }
    const QFileInfo target(m_target);
    QByteArray name = QFile::encodeName(target.dir().filePath(QStringLiteral(".%1.XXXXXX").arg(target.fileName())));
    m_fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0)
        return fail(errno);
    m_ownsFd = true;
    m_temporary = QFile::decodeName(name);
    // mkstemp makes the file for its owner only: a new export is read like any other file, one that
    // replaces an earlier export keeps its permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(m_fd, exists && S_ISREG(existing.st_mode) ? existing.st_mode & 07777 : 0666 & ~mask);
    return QIODevice::open(mode | Unbuffered);
}

qint64 OutputFile::writeData(const char* data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(m_fd, data + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            fail(n < 0 ? errno : ENOSPC);
            return -1;
        }
        done += n;
    }
    return done;
}

bool OutputFile::commit()
{
    if (!isOpen() || !m_failure.isEmpty()) {
        discard();
        return m_failure.isEmpty() ? fail(EBADF) : false;
    }
    if (m_temporary.isEmpty()) {
        discard();
        return true;
    }
    const int closed = ::close(m_fd);
    const int closeError = errno;
    m_fd = -1;
    if (closed != 0) {
        discard();
        return fail(closeError);
    }
    if (std::rename(QFile::encodeName(m_temporary).constData(), QFile::encodeName(m_target).constData()) != 0) {
        const int error = errno;
        discard();
        return fail(error);
    }
    m_temporary.clear();
    discard();
    return true;
}

QString OutputFile::inputNamedBy(const QString& output, const QStringList& inputs)
{
    struct stat out;
    if (output == QLatin1String("-") || !statOf(output, out) || !S_ISREG(out.st_mode))
        return QString();
    for (const QString& input : inputs) {
        struct stat in;
        if (statOf(input, in) && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
            return input;
    }
    return QString();
}
