#include "library/filefingerprint.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace {

constexpr qint64 blockBytes = 64 * 1024;
constexpr int hexDigits = 32; // of an MD5 hash

} // namespace

bool FileFingerprint::stat(const QString& path, FileFingerprint& fingerprint)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return false;
    fingerprint.path = info.absoluteFilePath();
    fingerprint.size = info.size();
    fingerprint.modifiedMs = info.lastModified().toMSecsSinceEpoch();
    fingerprint.hash.clear();
    return true;
}

bool FileFingerprint::computeHash(QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    QCryptographicHash hash(QCryptographicHash::Md5);
    const quint64 sizeBytes = qToLittleEndian(quint64(size));
    hash.addData(reinterpret_cast<const char*>(&sizeBytes), sizeof sizeBytes);
    hash.addData(file.read(blockBytes));
    if (size > blockBytes) {
        if (!file.seek(std::max(blockBytes, size - blockBytes))) {
            error = file.errorString();
            return false;
        }
        hash.addData(file.read(blockBytes));
    }
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return false;
    }
    this->hash = QString::fromLatin1(hash.result().toHex());
    return true;
}

bool FileFingerprint::isCurrentHash(const QString& hash)
{
    return hash.size() == hexDigits;
}
