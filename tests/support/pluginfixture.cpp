#include "support/pluginfixture.h"

#include <QObject>
#include <QTemporaryDir>

PluginFixture::PluginFixture() : m_loader(QStringLiteral(ZEL_PLUGIN_PATH))
{
    m_instance = m_loader.instance();
    if (!m_instance) {
        m_error = m_loader.errorString();
        return;
    }
    m_plugin = qobject_cast<ZelPluginInterfaceImport*>(m_instance);
    if (!m_plugin)
        m_error = QStringLiteral("%1 does not implement ZelPluginInterfaceImport").arg(m_loader.fileName());
}

ImportResult PluginFixture::import(const QString& path, const QString& format)
{
    ImportResult result;
    if (!m_plugin)
        return result;
    {
        // The context object ends the connection when the call is over.
        QObject receiver;
        QObject::connect(&m_plugin->emitter, &ZelDataEmitter::sendMessage, &receiver,
                         [&result](const QString& message, int verbose) {
                             result.messages.append(message);
                             result.verbosities.append(verbose);
                         },
                         Qt::DirectConnection);
        const QVector<ZEL::Lap*> laps = m_plugin->importFile(path, format);
        result.laps.reserve(laps.size());
        for (ZEL::Lap* lap : laps)
            result.laps.append(QSharedPointer<ZEL::Lap>(lap));
    }
    return result;
}

SessionAnalysis PluginFixture::analyse(Scenario& scenario)
{
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("scenario.ibt"));
    if (!scenario.write(path))
        qFatal("cannot write the scenario: %s", qPrintable(scenario.errorString()));
    return analyse(path);
}
