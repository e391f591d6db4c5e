#include "cli/pluginhost.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

bool PluginHost::load(const QString& path)
{
    const QString file = path.isEmpty()
        ? QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("libvirad.so"))
        : path;
    if (!QFileInfo::exists(file)) {
        m_error = QStringLiteral("plugin not found: %1").arg(file);
        return false;
    }
    m_loader.setFileName(QFileInfo(file).absoluteFilePath());
    QObject* instance = m_loader.instance();
    if (!instance) {
        m_error = QStringLiteral("cannot load plugin %1: %2").arg(file, m_loader.errorString());
        return false;
    }
    m_plugin = qobject_cast<ZelPluginInterfaceImport*>(instance);
    if (!m_plugin) {
        m_error = QStringLiteral("%1 is not a ZEL import plugin").arg(file);
        return false;
    }
    return true;
}
