#include "importprobe.h"

#include "ibt/importdriver.h"
#include "plugin/zelplugininterfaceimport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPluginLoader>
#include <QProcess>
#include <QTextStream>

#include <sys/resource.h>

namespace {

qint64 peakResidentBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024; // kilobytes on Linux
}

} // namespace

int ImportProbe::runHere(const QString& path)
{
    QTextStream out(stdout);
    QPluginLoader loader(QCoreApplication::applicationDirPath() + QStringLiteral("/libvirad.so"));
    auto* plugin = qobject_cast<ZelPluginInterfaceImport*>(loader.instance());
    if (!plugin) {
        QTextStream(stderr) << "ibtbench: " << loader.errorString() << '\n';
        return 1;
    }

    const qint64 start = peakResidentBytes();
    QElapsedTimer timer;
    timer.start();
    const QVector<ZEL::Lap*> laps = plugin->importFile(path, ImportDriver::formatFilter());
    const qint64 nanoseconds = timer.nsecsElapsed();
    const qint64 peak = peakResidentBytes();

    qint64 samples = 0;
    qint64 channelBytes = 0;
    for (const ZEL::Lap* lap : laps) {
        samples += lap->sampleCount();
        channelBytes += qint64(lap->sampleCount()) * lap->channels().size() * qint64(sizeof(double));
    }
    out << nanoseconds << ' ' << peak << ' ' << start << ' ' << laps.size() << ' ' << samples << ' ' << channelBytes << '\n';
    qDeleteAll(laps);
    return laps.isEmpty() ? 1 : 0;
}

ImportProbe::Figures ImportProbe::runInChild(const QString& path)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {childSwitch(), path});
    Figures figures;
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return figures;
    QTextStream in(child.readAllStandardOutput());
    in >> figures.nanoseconds >> figures.peakBytes >> figures.startBytes >> figures.laps >> figures.samples >> figures.channelBytes;
    figures.ok = in.status() == QTextStream::Ok;
    return figures;
}
