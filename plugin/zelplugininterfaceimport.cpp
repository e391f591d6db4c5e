#include "plugin/zelplugininterfaceimport.h"

void ZelPluginInterfaceImport::emitMessage(const QString& text, int verbose)
{
    emit emitter.sendMessage(QLatin1String("[") + pluginName() + QLatin1String(" plugin] ") + text, verbose);
}
