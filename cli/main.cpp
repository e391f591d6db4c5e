#include "cli/pluginhost.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ibtimport"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Reads .ibt telemetry files through the ZEL import plugin."));
    parser.addHelpOption();
    const QCommandLineOption pluginOption(QStringLiteral("plugin"),
                                          QStringLiteral("Load the plugin from <path> instead of next to this binary."),
                                          QStringLiteral("path"));
    parser.addOption(pluginOption);
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    PluginHost host;
    if (!host.load(parser.value(pluginOption))) {
        err << "ibtimport: " << host.errorString() << '\n';
        return 2;
    }
    ZelPluginInterfaceImport* plugin = host.plugin();
    out << "Plugin:    " << plugin->pluginName() << '\n'
        << "Simulator: " << plugin->simulatorName() << '\n'
        << "Version:   " << plugin->version() << '\n'
        << "Formats:   " << plugin->formats().join(QStringLiteral(", ")) << '\n';
    return 0;
}
