#include "cli/hugepageheap.h"
#include "scenario/scenario.h"
#include "probe.h"
#include "recordfile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

constexpr double mega = 1e6;
constexpr double maxImportOverDecode = 1.3;
constexpr double maxPeakOverData = 1.2;
constexpr double peakAllowance = 50 * mega;
constexpr double maxLinearity = 6.5;
constexpr double maxAnalysisOverImport = 0.2;
// Writing the summary with every channel value takes at most twice the import and 100 MB beside its laps.
constexpr double maxJsonOverImport = 2.0;
constexpr double maxJsonExtraBytes = 100e6;
constexpr int shortMinutes = 10;
constexpr int longMinutes = 60;

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

QString fixed(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

QString verdict(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("MISSED");
}

/// The best of the runs of one measurement, in seconds.
struct Best {
    double wall = std::numeric_limits<double>::max();
    double cpu = std::numeric_limits<double>::max();

    void add(const Probe::Figures& figures)
    {
        wall = std::min(wall, figures.nanoseconds / 1e9);
        cpu = std::min(cpu, figures.cpuNanoseconds / 1e9);
    }
};

/// One file under test and the best of its runs.
struct Subject {
    QString path;
    qint64 records = 0;
    qint64 fileBytes = 0;
    Best a;
    Best b;
    Best c;
    Best d;
    Best plain; // (c) on ordinary pages
    Best e;
    qint64 jsonPeakBytes = 0; // of the process that imported and wrote the JSON
    Probe::Figures import;
};

bool describe(Subject& subject)
{
    RecordFile file;
    if (!file.open(subject.path)) {
        out() << "ibtbench: " << subject.path << ": " << file.errorString() << '\n';
        return false;
    }
    subject.records = file.recordCount();
    subject.fileBytes = file.fileSize();
    out() << QFileInfo(subject.path).fileName() << ": " << subject.records << " records of "
          << file.header().bufLen << " bytes, " << file.variables().size() << " variables, "
          << fixed(subject.fileBytes / mega, 1) << " MB\n";
    return true;
}

bool runOnce(Subject& subject)
{
    const Probe::Figures a = Probe::run(Probe::Read, subject.path);
    const Probe::Figures b = Probe::run(Probe::Decode, subject.path);
    const Probe::Figures c = Probe::run(Probe::Import, subject.path);
    const Probe::Figures plain = Probe::run(Probe::PlainImport, subject.path);
    const Probe::Figures e = Probe::run(Probe::Json, subject.path);
    if (!a.ok || !b.ok || !c.ok || !plain.ok || !e.ok) {
        out() << "ibtbench: " << subject.path << ": a measurement failed\n";
        return false;
    }
    subject.a.add(a);
    subject.b.add(b);
    subject.c.add(c);
    Probe::Figures d;
    d.nanoseconds = c.analysisNanoseconds;
    d.cpuNanoseconds = c.analysisCpuNanoseconds;
    subject.d.add(d);
    subject.plain.add(plain);
    subject.e.add(e);
    subject.jsonPeakBytes = std::max(subject.jsonPeakBytes, e.peakBytes);
    const qint64 peak = std::max(subject.import.peakBytes, c.peakBytes);
    subject.import = c;
    subject.import.peakBytes = peak;
    return true;
}

void printRate(const QString& label, const Best& best, const Subject& subject)
{
    out() << "  " << label.leftJustified(22) << fixed(best.wall, 3).rightJustified(8) << " s "
          << QString::number(qRound64(subject.records / best.wall)).rightJustified(10) << " records/s "
          << fixed(subject.fileBytes / mega / best.wall, 0).rightJustified(7) << " MB/s   (processor "
          << fixed(best.cpu, 3) << " s)\n";
}

/// Prints the best times of the subject and checks its targets.
bool report(const Subject& subject)
{
    const Probe::Figures& import = subject.import;
    out() << QFileInfo(subject.path).fileName() << " (" << subject.records << " records, " << import.count << " laps, "
          << import.samples << " samples)\n";
    printRate(QStringLiteral("(a) fread records"), subject.a, subject);
    printRate(QStringLiteral("(b) decode to columns"), subject.b, subject);
    printRate(QStringLiteral("(c) importFile"), subject.c, subject);
    printRate(QStringLiteral("    on ordinary pages"), subject.plain, subject);
    // Rates per record say nothing about work done per lap.
    out() << "  " << QStringLiteral("(d) lap analysis").leftJustified(22) << fixed(subject.d.wall, 3).rightJustified(8)
          << " s of the laps imported" << QString(16, QLatin1Char(' ')) << "(processor " << fixed(subject.d.cpu, 3)
          << " s)\n";
    const double ratio = subject.c.wall / subject.b.wall;
    const double analysisShare = subject.d.wall / subject.c.wall;
    const bool analysisQuick = analysisShare <= maxAnalysisOverImport;
    const double limit = maxPeakOverData * import.channelBytes + peakAllowance;
    const bool fastEnough = ratio <= maxImportOverDecode;
    const bool smallEnough = import.peakBytes <= limit;
    out() << "  c/a = " << fixed(subject.c.wall / subject.a.wall, 2) << " (on ordinary pages "
          << fixed(subject.plain.wall / subject.a.wall, 2) << ")   c/b = " << fixed(ratio, 2) << " (target <= "
          << maxImportOverDecode << ": " << verdict(fastEnough) << "; in processor time "
          << fixed(subject.c.cpu / subject.b.cpu, 2) << ")\n"
          << "  peak memory " << fixed(import.peakBytes / mega, 1) << " MB (" << fixed(import.startBytes / mega, 1)
          << " MB before the import) for " << fixed(import.channelBytes / mega, 1)
          << " MB of channel data = " << fixed(double(import.peakBytes) / import.channelBytes, 2)
          << " x (target <= " << maxPeakOverData << " x data + 50 MB = " << fixed(limit / mega, 1)
          << " MB: " << verdict(smallEnough) << ")\n"
          << "  d/c = " << fixed(analysisShare, 2) << " (target <= " << maxAnalysisOverImport << ": "
          << verdict(analysisQuick) << "; in processor time " << fixed(subject.d.cpu / subject.c.cpu, 2) << ")\n";
    // (e) streams: time and memory against the import's, not against the size of the text.
    const double jsonShare = subject.e.wall / subject.c.wall;
    const double jsonExtra = double(subject.jsonPeakBytes - import.peakBytes);
    const bool jsonQuick = jsonShare <= maxJsonOverImport;
    const bool jsonSmall = jsonExtra <= maxJsonExtraBytes;
    out() << "  " << QStringLiteral("(e) --json, channels").leftJustified(22) << fixed(subject.e.wall, 3).rightJustified(8)
          << " s  e/c = " << fixed(jsonShare, 2) << " (target <= " << maxJsonOverImport << ": " << verdict(jsonQuick)
          << "; processor " << fixed(subject.e.cpu, 3) << " s); peak " << fixed(subject.jsonPeakBytes / mega, 1)
          << " MB = import's " << (jsonExtra < 0 ? "" : "+") << fixed(jsonExtra / mega, 1) << " MB (target <= +"
          << fixed(maxJsonExtraBytes / mega, 0) << " MB: " << verdict(jsonSmall) << ")\n";
    return fastEnough && smallEnough && analysisQuick && jsonQuick && jsonSmall;
}

/// Runs (a), (b) and (c) on every subject, round after round, so that a slow spell of the machine
/// hits all of them alike; false on errors.
bool measure(std::vector<Subject>& subjects, int runs)
{
    for (Subject& subject : subjects) {
        if (!describe(subject))
            return false;
    }
    out().flush();
    for (int run = 0; run < runs; ++run) {
        for (Subject& subject : subjects) {
            if (!runOnce(subject))
                return false;
        }
    }
    return true;
}

/// Writes a wide recording of that many minutes with a pit stop into the directory.
QString generate(const QTemporaryDir& dir, int minutes)
{
    ScenarioOptions options;
    options.wide = true;
    options.minutes = minutes;
    options.pitStop = true;
    Scenario scenario(options);
    const QString path = dir.filePath(QStringLiteral("bench-%1min.ibt").arg(minutes));
    QElapsedTimer timer;
    timer.start();
    if (!scenario.write(path)) {
        out() << "ibtbench: " << scenario.errorString() << '\n';
        return {};
    }
    out() << "generated a " << minutes << "-minute recording at " << options.tickRate << " Hz, "
          << scenario.laps().size() << " laps driven, in " << fixed(timer.elapsed() / 1000.0, 1) << " s\n";
    return path;
}

} // namespace

int main(int argc, char* argv[])
{
    HugePageHeap::restartWithHugePages(argv);
    QCoreApplication app(argc, argv);
    if (argc == 4 && QString::fromLocal8Bit(argv[1]) == Probe::childSwitch())
        return Probe::runHere(QString::fromLocal8Bit(argv[2]).toInt(), QString::fromLocal8Bit(argv[3]));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Times the import against (a) a plain fread of the records and (b) a bare decode of every variable into "
        "columns, and (d) the lap analysis of the imported laps against the import, on generated 10- and 60-minute "
        "recordings (removed afterwards), or on the files given."));
    parser.addHelpOption();
    const QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("Best of <n> runs (default 3)."),
                                        QStringLiteral("n"), QStringLiteral("3"));
    parser.addOption(runsOption);
    const QCommandLineOption keepOption(
        QStringLiteral("keep"), QStringLiteral("Keep the generated recordings (to time ibtimport on them, say)."));
    parser.addOption(keepOption);
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral(".ibt files to measure instead."),
                                 QStringLiteral("[files...]"));
    parser.process(app);
    const int runs = std::max(1, parser.value(runsOption).toInt());

    std::vector<Subject> subjects;
    const QStringList files = parser.positionalArguments();
    QTemporaryDir dir;
    if (files.isEmpty()) {
        if (!dir.isValid()) {
            out() << "ibtbench: no temporary directory: " << dir.errorString() << '\n';
            return 2;
        }
        if (parser.isSet(keepOption)) {
            dir.setAutoRemove(false);
            out() << "the recordings stay in " << dir.path() << '\n';
        }
        for (int minutes : {shortMinutes, longMinutes}) {
            Subject subject;
            subject.path = generate(dir, minutes);
            if (subject.path.isEmpty())
                return 2;
            subjects.push_back(subject);
        }
    } else {
        for (const QString& path : files) {
            Subject subject;
            subject.path = path;
            subjects.push_back(subject);
        }
    }
    if (!measure(subjects, runs))
        return 2;

    bool met = true;
    for (const Subject& subject : subjects)
        met = report(subject) && met;
    if (files.isEmpty()) {
        const Subject& shorter = subjects.front();
        const Subject& longer = subjects.back();
        const double linearity = longer.c.wall / shorter.c.wall;
        const bool linear = linearity <= maxLinearity;
        met = met && linear;
        // The machine's own scaling shows in the bare decode, whose work is proportional to the records.
        out() << "linearity: c(" << longMinutes << " min) / c(" << shortMinutes << " min) = " << fixed(linearity, 2)
              << " (target <= " << maxLinearity << ": " << verdict(linear) << "); in processor time "
              << fixed(longer.c.cpu / shorter.c.cpu, 2) << "; records " << fixed(double(longer.records) / shorter.records, 2)
              << ", channel data " << fixed(double(longer.import.channelBytes) / shorter.import.channelBytes, 2)
              << ", b " << fixed(longer.b.wall / shorter.b.wall, 2) << "\n";
    }
    return met ? 0 : 1;
}
