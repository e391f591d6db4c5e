#include "ibt/importdriver.h"

#include "plugin/zelplugininterfaceimport.h"

#include <QElapsedTimer>

QVector<ZEL::Lap*> ImportDriver::importFile(const QString& path, const QString& format)
{
    m_plugin.emitMessage(QLatin1String("Importing file ") + path + QLatin1String(" ..."), 0);
    m_plugin.emitMessage(QLatin1String("Using format ") + format, 0);
    QElapsedTimer timer;
    timer.start();
    QVector<ZEL::Lap*> laps;
    if (format != formatFilter()) {
        m_plugin.emitMessage(QStringLiteral("Unknown format"), -2);
        return laps;
    }
    return laps;
}
