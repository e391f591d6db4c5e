#include "probe.h"

#include "analysis/sessionanalysis.h"
#include "baseline.h"
#include "cli/jsonreport.h"
#include "cli/pluginhost.h"
#include "ibt/importdriver.h"
#include "plugin/zelplugininterfaceimport.h"
#include "report/reportpage.h"
#include "stopwatch.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTextStream>

#include <sys/resource.h>

#include <thread>

namespace {

qint64 peakResidentBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024; // kilobytes on Linux
}

/// The plugin as ibtimport loads it, from beside this program; null, with the reason told, if it does not load.
ZelPluginInterfaceImport* loadPlugin(PluginHost& host)
{
    if (!host.load(QString()))
        QTextStream(stderr) << "ibtbench: " << host.errorString() << '\n';
    return host.plugin();
}

bool import(const QString& path, Probe::Figures& figures, bool json)
{
    PluginHost host;
    ZelPluginInterfaceImport* plugin = loadPlugin(host);
    if (!plugin)
        return false;
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
        return written && !laps.isEmpty();
    }
    // The page with its traces; the summary, a small part of it, is left out.
    const Stopwatch reportStopwatch;
    const QByteArray page = ReportPage::html(QByteArrayLiteral("{\"files\":[]}"), analysis);
    figures.reportNanoseconds = reportStopwatch.wallNanoseconds();
    figures.reportCpuNanoseconds = reportStopwatch.cpuNanoseconds();
    return !laps.isEmpty() && analysis.files().size() == 1 && !page.isEmpty();
}

/// Two imports of the file at once, each on a thread of its own, through one plugin object.
bool importTwice(const QString& path, Probe::Figures& figures)
{
    PluginHost host;
    ZelPluginInterfaceImport* plugin = loadPlugin(host);
    if (!plugin)
        return false;
    figures.startBytes = peakResidentBytes();
    const Stopwatch stopwatch;
    QVector<ZEL::Lap*> laps[2];
    std::thread threads[2];
    for (int i = 0; i < 2; ++i)
        threads[i] = std::thread([&, i] { laps[i] = plugin->importFile(path, ImportDriver::formatFilter()); });
    for (std::thread& thread : threads)
        thread.join();
    figures.nanoseconds = stopwatch.wallNanoseconds();
    figures.cpuNanoseconds = stopwatch.cpuNanoseconds();
    figures.peakBytes = peakResidentBytes();
    figures.count = laps[0].size() + laps[1].size();
    const bool ok = !laps[0].isEmpty() && laps[0].size() == laps[1].size();
    for (const QVector<ZEL::Lap*>& imported : laps)
        qDeleteAll(imported);
    return ok;
}

} // namespace

int Probe::runHere(int kind, const QString& path)
{
    Figures figures;
    if (kind == Import || kind == HugePageImport || kind == Json) {
        if (!import(path, figures, kind == Json))
            return 1;
    } else if (kind == Batch || kind == HugePageBatch) {
        if (!importTwice(path, figures))
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
                        << figures.analysisNanoseconds << ' ' << figures.analysisCpuNanoseconds << ' '
                        << figures.reportNanoseconds << ' ' << figures.reportCpuNanoseconds << '\n';
    return 0;
}

Probe::Figures Probe::run(Kind kind, const QString& path)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (kind == HugePageImport || kind == HugePageBatch) {
        const QString given = environment.value(QStringLiteral("GLIBC_TUNABLES"));
        environment.insert(QStringLiteral("GLIBC_TUNABLES"), (given.isEmpty() ? QString() : given + QLatin1Char(':'))
                                                                 + QLatin1String(hugePageTunables()));
    }
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {childSwitch(), QString::number(kind), path});
    Figures figures;
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return figures;
    QTextStream in(child.readAllStandardOutput());
    in >> figures.nanoseconds >> figures.cpuNanoseconds >> figures.count >> figures.peakBytes >> figures.startBytes >> figures.samples
        >> figures.channelBytes >> figures.analysisNanoseconds >> figures.analysisCpuNanoseconds >> figures.reportNanoseconds >> figures.reportCpuNanoseconds;
    figures.ok = in.status() == QTextStream::Ok;
    return figures;
}
