#include "realrecordings.h"

#include "ibt/ibtlayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <cstring>

namespace RealRecordings {

QString directory()
{
    return QStringLiteral(ZEL_SOURCE_DIR "/../shared/data/ibt");
}

QStringList files()
{
    const QDir dir(directory());
    QStringList paths;
    const QStringList names = dir.entryList({QStringLiteral("*.ibt")}, QDir::Files, QDir::Name);
    for (const QString& name : names)
        paths.append(dir.filePath(name));
    return paths;
}

void addRows()
{
    QTest::addColumn<QString>("path");
    const QStringList paths = files();
    if (paths.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no real recordings in %1").arg(directory())));
    for (const QString& path : paths)
        QTest::newRow(qPrintable(QFileInfo(path).fileName())) << path;
}

QByteArray sessionInfoText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray headerBytes = file.read(sizeof(irsdk_header));
    if (headerBytes.size() != int(sizeof(irsdk_header)))
        return {};
    irsdk_header header;
    std::memcpy(&header, headerBytes.constData(), sizeof header);
    if (header.sessionInfoLen <= 0 || header.sessionInfoOffset < 0
        || qint64(header.sessionInfoOffset) + header.sessionInfoLen > file.size())
        return {};
    if (!file.seek(header.sessionInfoOffset))
        return {};
    QByteArray text = file.read(header.sessionInfoLen);
    if (text.size() != header.sessionInfoLen)
        return {};
    text[text.size() - 1] = '\0';
    return text;
}

} // namespace RealRecordings
