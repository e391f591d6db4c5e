#include "probe.h"

#include "analysis/sessionanalysis.h"
#include "baseline.h"
#include "cli/jsonreport.h"
#include "cli/hugepageheap.h"
#include "ibt/importdriver.h"
#include "plugin/zelplugininterfaceimport.h"
#include "stopwatch.h"

#include <QCoreApplication>
#include <QFile>
#include <QPluginLoader>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTextStream>

#include <sys/resource.h>

namespace {

qint64 peakResidentBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024; // kilobytes on Linux
}

bool import(const QString& path, Probe::Figures& figures, bool json)
{
    QPluginLoader loader(QCoreApplication::applicationDirPath() + QStringLiteral("/libvirad.so"));
    auto* plugin = qobject_cast<ZelPluginInterfaceImport*>(loader.instance());
    if (!plugin) {
        QTextStream(stderr) << "ibtbench: " << loader.errorString() << '\n';
        return false;
    }
    figures.startBytes = peakResidentBytes();
    const Stopwatch stopwatch;
    const QVector<ZEL::Lap*> laps = plugin->importFile(path, ImportDriver::formatFilter());
    figures.nanoseconds = stopwatch.wallNanoseconds();
    figures.cpuNanoseconds = stopwatch.cpuNanoseconds();
    figures.peakBytes = peakResidentBytes();
    figures.count = laps.size();
    SessionAnalysis::Input input{path, {}};
    for (ZEL::Lap* lap : laps) {
        figures.samples += lap->sampleCount();
        figures.channelBytes += qint64(lap->sampleCount()) * lap->channels().size() * qint64(sizeof(double));
        input.laps.append(QSharedPointer<ZEL::Lap>(lap));
    }
    // What a host adds to show the laps: alignment, sectors, figures, map and deltas of every lap.
    const Stopwatch analysisStopwatch;
    const SessionAnalysis analysis({input});
    figures.analysisNanoseconds = analysisStopwatch.wallNanoseconds();
    figures.analysisCpuNanoseconds = analysisStopwatch.cpuNanoseconds();
    if (json) {
        // The import's peak is where the JSON starts from; the file goes once it is timed.
        const QString jsonPath = path + QStringLiteral(".json");
        figures.startBytes = figures.peakBytes;
        const Stopwatch jsonStopwatch;
        const bool written = JsonReport(true).write({{path, input.laps, {}}}, analysis, jsonPath);
        figures.nanoseconds = jsonStopwatch.wallNanoseconds();
        figures.cpuNanoseconds = jsonStopwatch.cpuNanoseconds();
        figures.peakBytes = peakResidentBytes();
        QFile::remove(jsonPath);
        if (!written)
            return false;
    }
    return !laps.isEmpty() && analysis.files().size() == 1;
}

} // namespace

int Probe::runHere(int kind, const QString& path)
{
    Figures figures;
    if (kind == Import || kind == PlainImport || kind == Json) {
        if (!import(path, figures, kind == Json))
            return 1;
    } else {
        figures.startBytes = peakResidentBytes();
        const Baseline::Run run = kind == Read ? Baseline::readRecords(path) : Baseline::decodeColumns(path);
        if (run.count < 0)
            return 1;
        figures.nanoseconds = run.nanoseconds;
        figures.cpuNanoseconds = run.cpuNanoseconds;
        figures.count = run.count;
        figures.peakBytes = peakResidentBytes();
    }
    QTextStream(stdout) << figures.nanoseconds << ' ' << figures.cpuNanoseconds << ' ' << figures.count << ' ' << figures.peakBytes << ' '
                        << figures.startBytes << ' ' << figures.samples << ' ' << figures.channelBytes << ' '
                        << figures.analysisNanoseconds << ' ' << figures.analysisCpuNanoseconds << '\n';
    return 0;
}

Probe::Figures Probe::run(Kind kind, const QString& path)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QByteArray tunables = qgetenv("GLIBC_TUNABLES");
    environment.insert(QStringLiteral("GLIBC_TUNABLES"),
                       QString::fromStdString(HugePageHeap::tunables(tunables.isNull() ? nullptr : tunables.constData(),
                                                                     kind != PlainImport)));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {childSwitch(), QString::number(kind), path});
    Figures figures;
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return figures;
    QTextStream in(child.readAllStandardOutput());
    in >> figures.nanoseconds >> figures.cpuNanoseconds >> figures.count >> figures.peakBytes >> figures.startBytes >> figures.samples
        >> figures.channelBytes >> figures.analysisNanoseconds >> figures.analysisCpuNanoseconds;
    figures.ok = in.status() == QTextStream::Ok;
    return figures;
}
