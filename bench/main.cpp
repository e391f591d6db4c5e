#include "scenario/scenario.h"
#include "probe.h"
#include "recordfile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

constexpr double mega = 1e6;
constexpr double maxImportOverRead = 4.0;
constexpr double maxImportOverDecode = 1.3;
constexpr double maxReportOverImport = 1.5;
constexpr double maxLongReportSeconds = 0.3;
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

/// The machine's load averages over 1, 5 and 15 minutes, as the kernel gives them.
QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(file.readLine()).section(QLatin1Char(' '), 0, 2);
}

QString verdict(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("MISSED");
}

double median(std::vector<double> values)
{
    const size_t half = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + half, values.end());
    if (values.size() % 2 == 1)
        return values[half];
    return (values[half] + *std::max_element(values.begin(), values.begin() + half)) / 2;
}

/// The runs of one measurement; its figures are their medians, in seconds: a run that other jobs
/// slowed or a lucky one moves them less than it moves the best or the mean.
struct Runs {
    std::vector<double> walls;
    std::vector<double> cpus;
    double wall = 0;
    double cpu = 0;

    void add(const Probe::Figures& figures)
    {
        walls.push_back(figures.nanoseconds / 1e9);
        cpus.push_back(figures.cpuNanoseconds / 1e9);
        wall = median(walls);
        cpu = median(cpus);
    }
};

/// One file under test and its runs.
struct Subject {
    QString path;
    qint64 records = 0;
    qint64 fileBytes = 0;
    Runs a;
    Runs b;
    Runs c;
    Runs d;
    Runs e;
    Runs huge;      // (c) with the huge-page heap
    Runs batch;     // two imports at once on two threads
    Runs hugeBatch; // the same with the huge-page heap
    Runs json;      // (f) --json with channel values
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
    const Probe::Figures huge = Probe::run(Probe::HugePageImport, subject.path);
    const Probe::Figures batch = Probe::run(Probe::Batch, subject.path);
    const Probe::Figures hugeBatch = Probe::run(Probe::HugePageBatch, subject.path);
    const Probe::Figures json = Probe::run(Probe::Json, subject.path);
    if (!a.ok || !b.ok || !c.ok || !huge.ok || !batch.ok || !hugeBatch.ok || !json.ok) {
        out() << "ibtbench: " << subject.path << ": a measurement failed\n";
        return false;
    }
    subject.a.add(a);
    subject.b.add(b);
    subject.c.add(c);
    subject.huge.add(huge);
    subject.batch.add(batch);
    subject.hugeBatch.add(hugeBatch);
    subject.json.add(json);
    subject.jsonPeakBytes = std::max(subject.jsonPeakBytes, json.peakBytes);
    Probe::Figures d;
    d.nanoseconds = c.analysisNanoseconds;
    d.cpuNanoseconds = c.analysisCpuNanoseconds;
    subject.d.add(d);
    Probe::Figures e;
    e.nanoseconds = c.reportNanoseconds;
    e.cpuNanoseconds = c.reportCpuNanoseconds;
    subject.e.add(e);
    const qint64 peak = std::max(subject.import.peakBytes, c.peakBytes);
    subject.import = c;
    subject.import.peakBytes = peak;
    return true;
}

void printRate(const QString& label, const Runs& runs, const Subject& subject, int imports = 1)
{
    out() << "  " << label.leftJustified(30) << fixed(runs.wall, 3).rightJustified(8) << " s "
          << QString::number(qRound64(imports * subject.records / runs.wall)).rightJustified(10) << " records/s "
          << fixed(imports * subject.fileBytes / mega / runs.wall, 0).rightJustified(7) << " MB/s   (processor "
          << fixed(runs.cpu, 3) << " s)\n";
}

void printTime(const QString& label, const Runs& runs, const QString& what)
{
    out() << "  " << label.leftJustified(30) << fixed(runs.wall, 3).rightJustified(8) << " s " << what.leftJustified(36)
          << "(processor " << fixed(runs.cpu, 3) << " s)\n";
}

/// Prints a figure against its goal (at most goal), with the ratio of the two; whether it is met.
bool check(const QString& label, double figure, double goal, const QString& note = {})
{
    const bool met = figure <= goal;
    out() << "  " << label.leftJustified(40) << fixed(figure, 3).rightJustified(8) << "  goal <= "
          << QString::number(goal).leftJustified(6) << " ratio " << fixed(figure / goal, 2) << "  " << verdict(met);
    if (!note.isEmpty())
        out() << "  (" << note << ')';
    out() << '\n';
    return met;
}

QString wall(double ratio)
{
    return QStringLiteral("wall clock %1").arg(fixed(ratio, 2));
}

/// Prints the median times of the subject and checks its goals; long is the generated 60-minute session.
bool report(const Subject& subject, bool longSession)
{
    const Probe::Figures& import = subject.import;
    out() << QFileInfo(subject.path).fileName() << " (" << subject.records << " records, " << import.count << " laps, "
          << import.samples << " samples)\n";
    printRate(QStringLiteral("(a) fread records"), subject.a, subject);
    printRate(QStringLiteral("(b) decode to columns"), subject.b, subject);
    printRate(QStringLiteral("(c) importFile"), subject.c, subject);
    printRate(QStringLiteral("    with the huge-page heap"), subject.huge, subject);
    printRate(QStringLiteral("    twice at once, two threads"), subject.batch, subject, 2);
    printRate(QStringLiteral("    the same, huge-page heap"), subject.hugeBatch, subject, 2);
    // Rates per record say nothing about work done per lap.
    printTime(QStringLiteral("(d) lap analysis"), subject.d, QStringLiteral("of the laps imported"));
    printTime(QStringLiteral("(e) report page"), subject.e, QStringLiteral("of the analysed laps"));
    printTime(QStringLiteral("(f) --json, channels"), subject.json, QStringLiteral("of the analysed laps"));
    const double limit = maxPeakOverData * import.channelBytes + peakAllowance;
    // Judged in processor time: on a machine shared with other jobs the wall clock mostly measures
    // the waiting for a processor; on a quiet one the two agree, as this work does not wait for a disk.
    // The fread and the decode of a short file take milliseconds, beside which the import's work per file
    // (the session info) shows: their ratios are shown, the goals are the long session's.
    bool met = true;
    if (longSession) {
        met = check(QStringLiteral("c/a: import over fread"), subject.c.cpu / subject.a.cpu, maxImportOverRead,
                    wall(subject.c.wall / subject.a.wall));
        met = check(QStringLiteral("c/b: import over bare decode"), subject.c.cpu / subject.b.cpu,
                    maxImportOverDecode, wall(subject.c.wall / subject.b.wall))
              && met;
    } else {
        out() << "  c/a: import over fread " << fixed(subject.c.cpu / subject.a.cpu, 2) << " ("
              << wall(subject.c.wall / subject.a.wall) << "); c/b: import over bare decode "
              << fixed(subject.c.cpu / subject.b.cpu, 2) << " (" << wall(subject.c.wall / subject.b.wall) << ")\n";
    }
    met = check(QStringLiteral("peak memory, MB"), import.peakBytes / mega, limit / mega,
                QStringLiteral("%1 MB before the import, %2 MB of channel data, goal %3 x data + 50 MB")
                    .arg(fixed(import.startBytes / mega, 1), fixed(import.channelBytes / mega, 1))
                    .arg(maxPeakOverData))
          && met;
    met = check(QStringLiteral("d/c: analysis over import"), subject.d.cpu / subject.c.cpu, maxAnalysisOverImport,
                wall(subject.d.wall / subject.c.wall))
          && met;
    met = check(QStringLiteral("e/c: report over import"), subject.e.cpu / subject.c.cpu, maxReportOverImport,
                wall(subject.e.wall / subject.c.wall))
          && met;
    if (longSession)
        met = check(QStringLiteral("e: report of the long session, s"), subject.e.cpu, maxLongReportSeconds,
                    QStringLiteral("wall clock %1 s").arg(fixed(subject.e.wall, 3)))
              && met;
    // (f) streams: time and memory against the import's, not against the size of the text.
    met = check(QStringLiteral("f/c: JSON with channels over import"), subject.json.cpu / subject.c.cpu,
                maxJsonOverImport, wall(subject.json.wall / subject.c.wall))
          && met;
    met = check(QStringLiteral("JSON's peak beyond the import's, MB"), (subject.jsonPeakBytes - import.peakBytes) / mega,
                maxJsonExtraBytes / mega)
          && met;
    // The default heap is glibc's own; the huge-page heap is an opt-in, shown against it.
    out() << "  huge-page heap against the default, wall clock (processor): import "
          << fixed(subject.huge.wall / subject.c.wall, 2) << " x (" << fixed(subject.huge.cpu / subject.c.cpu, 2)
          << "), two at once " << fixed(subject.hugeBatch.wall / subject.batch.wall, 2) << " x ("
          << fixed(subject.hugeBatch.cpu / subject.batch.cpu, 2) << ")\n";
    return met;
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
    QCoreApplication app(argc, argv);
    if (argc == 4 && QString::fromLocal8Bit(argv[1]) == Probe::childSwitch())
        return Probe::runHere(QString::fromLocal8Bit(argv[2]).toInt(), QString::fromLocal8Bit(argv[3]));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Times the import against (a) a plain fread of the records and (b) a bare decode of every variable into "
        "columns, (d) the lap analysis and (e) the report page of the imported laps against the import, and the "
        "import with the huge-page heap and two at once, on generated 10- and 60-minute recordings (removed "
        "afterwards), or on the files given."));
    parser.addHelpOption();
    const QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("Median of <n> runs (default 5)."),
                                        QStringLiteral("n"), QStringLiteral("5"));
    parser.addOption(runsOption);
    const QCommandLineOption keepOption(
        QStringLiteral("keep"), QStringLiteral("Keep the generated recordings (to time ibtimport on them, say)."));
    parser.addOption(keepOption);
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral(".ibt files to measure instead."),
                                 QStringLiteral("[files...]"));
    parser.process(app);
    const int runs = std::max(1, parser.value(runsOption).toInt());
    const QByteArray tunables = qgetenv("GLIBC_TUNABLES");
    out() << "heap: " << (tunables.isEmpty() ? QStringLiteral("glibc's defaults (GLIBC_TUNABLES unset)")
                                             : QStringLiteral("GLIBC_TUNABLES=") + QString::fromLocal8Bit(tunables))
          << "; huge-page heap: " << Probe::hugePageTunables() << " added; median of " << runs
          << " runs; goals judged in processor time (user and system); load average " << loadAverage() << '\n';

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
        met = report(subject, files.isEmpty() && &subject == &subjects.back()) && met;
    if (files.isEmpty()) {
        const Subject& shorter = subjects.front();
        const Subject& longer = subjects.back();
        // The machine's own scaling shows in the bare decode, whose work is proportional to the records.
        out() << "linearity (records " << fixed(double(longer.records) / shorter.records, 2) << ", channel data "
              << fixed(double(longer.import.channelBytes) / shorter.import.channelBytes, 2) << ", b "
              << fixed(longer.b.cpu / shorter.b.cpu, 2) << ")\n";
        met = check(QStringLiteral("c(%1 min) / c(%2 min)").arg(longMinutes).arg(shortMinutes),
                    longer.c.cpu / shorter.c.cpu, maxLinearity, wall(longer.c.wall / shorter.c.wall))
              && met;
    }
    out() << "load average at the end " << loadAverage() << '\n';
    return met ? 0 : 1;
}
