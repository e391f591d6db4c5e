#include "support/tmpfs.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <sys/mount.h>

Tmpfs::Tmpfs(const QString& path, qint64 bytes) : m_path(QFile::encodeName(path))
{
    const QByteArray options = "size=" + QByteArray::number(bytes);
    m_error = QDir().mkpath(path) && mount("tmpfs", m_path.constData(), "tmpfs", 0, options.constData()) == 0
                  ? QString()
                  : QString::fromLocal8Bit(std::strerror(errno));
}

Tmpfs::~Tmpfs()
{
    if (m_error.isEmpty())
        umount2(m_path.constData(), MNT_DETACH);
}
