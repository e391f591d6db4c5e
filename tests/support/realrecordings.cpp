#include "realrecordings.h"

#include "support/headerfields.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

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
    const QByteArray header = file.open(QIODevice::ReadOnly) ? file.read(sizeof(irsdk_header)) : QByteArray();
    if (header.size() != int(sizeof(irsdk_header)) || !file.seek(fieldOf(header, sessionInfoOffsetAt)))
        return {};
    QByteArray text = file.read(fieldOf(header, sessionInfoLenAt));
    if (text.isEmpty() || text.size() != fieldOf(header, sessionInfoLenAt))
        return {};
    text[text.size() - 1] = '\0';
    return text;
}

} // namespace RealRecordings
