#pragma once

#include <QByteArray>
#include <QString>

/// A small file system of its own at a path, unmounted when it goes: a disk that fills up.
/// Needs root; errorString() says why not.
class Tmpfs
{
public:
    Tmpfs(const QString& path, qint64 bytes);
    ~Tmpfs();
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;

    QString errorString() const { return m_error; }

private:
    QByteArray m_path;
    QString m_error;
};
