#include "cli/fileimport.h"

#include "cli/terminaltext.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>

bool FileImport::failed() const
{
    return std::any_of(messages.cbegin(), messages.cend(),
                       [](const PluginMessage& message) { return message.verbose < 0; });
}

QStringList FileImport::uniqueStems(const QVector<FileImport>& files)
{
    QStringList paths;
    for (const FileImport& file : files)
        paths.append(file.path);
    return uniqueStems(paths);
}

QStringList FileImport::uniqueStems(const QStringList& paths)
{
    QStringList stems;
    QSet<QString> used;
    for (const QString& path : paths) {
        const QString base = TerminalText::printable(QFileInfo(path).completeBaseName());
        QString stem = base;
        for (int n = 2; used.contains(stem); ++n)
            stem = QStringLiteral("%1-%2").arg(base).arg(n);
        used.insert(stem);
        stems.append(stem);
    }
    return stems;
}
