#include "cli/inputfiles.h"

#include <QDir>
#include <QFileInfo>

bool InputFiles::expand(const QStringList& arguments)
{
    m_paths.clear();
    m_errors.clear();
    for (const QString& argument : arguments) {
        const QFileInfo info(argument);
        if (!info.exists()) {
            m_errors.append(QStringLiteral("no such file or folder: %1").arg(argument));
        } else if (info.isDir()) {
            const QDir folder(argument);
            // Not recursive: a folder of sessions is one level of files.
            const QStringList names = folder.entryList({QStringLiteral("*.ibt")}, QDir::Files, QDir::Name);
            if (names.isEmpty())
                m_errors.append(QStringLiteral("no .ibt files in folder %1").arg(argument));
            for (const QString& name : names)
                m_paths.append(folder.filePath(name));
        } else {
            m_paths.append(argument);
        }
    }
    return m_errors.isEmpty();
}
