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
            // Not recursive: a folder of sessions is one level of files. Regular files only, links
            // followed: a pipe or a device named .ibt would block the batch. The suffix is matched
            // here, since QDir's name filters miss names that are not valid UTF-8.
            const QStringList names = folder.entryList(QDir::Files, QDir::Name);
            const int before = m_paths.size();
            for (const QString& name : names) {
                const QString path = folder.filePath(name);
                if (name.endsWith(QLatin1String(".ibt"), Qt::CaseInsensitive) && QFileInfo(path).isFile())
                    m_paths.append(path);
            }
            if (m_paths.size() == before)
                m_errors.append(QStringLiteral("no .ibt files in folder %1").arg(argument));
        } else {
            m_paths.append(argument);
        }
    }
    return m_errors.isEmpty();
}
