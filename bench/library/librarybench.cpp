// The lap library's figures: adding recordings against importing them (generated ones, and the real
// recordings beside the source tree or the folders given), adding an unchanged folder again,
// --bests over many laps, and what a lap and a trace take. Every figure on SQLite, and on
// PostgreSQL too when ZEL_TEST_POSTGRES_URL names a database (scripts/with-postgres sets one up).

#include "library/laplibrary.h"
#include "library/libraryqueries.h"
#include "library/librarywriter.h"
#include "library/storedfile.h"
#include "scenario/scenario.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>

#include <algorithm>
#include <limits>

namespace {

constexpr int runs = 3;
constexpr int pairedRuns = 7;         // of importing and adding, in turn: their medians compare
constexpr double maxAddOverhead = 0.10;
constexpr int recordings = 12;        // for adding against importing
constexpr int unchangedRecordings = 1000;
constexpr int syntheticFiles = 2000;  // of 50 laps: the 100,000 laps that --bests answers over
constexpr int lapsPerFile = 50;

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

QString cli()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/ibtimport");
}

/// Wall-clock and processor seconds of one run of ibtimport (its threads included); negative when it failed.
struct Cost
{
    double wall = -1.0;
    double cpu = -1.0;
};

double childCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Cost runCli(const QStringList& arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    const double cpuBefore = childCpuSeconds();
    QElapsedTimer timer;
    timer.start();
    process.start(cli(), arguments);
    if (!process.waitForFinished(-1) || process.exitCode() != 0) {
        out() << "ibtimport " << arguments.join(QLatin1Char(' ')) << " failed: " << process.readAllStandardError()
              << Qt::endl;
        return {};
    }
    return {timer.nsecsElapsed() / 1e9, childCpuSeconds() - cpuBefore};
}

/// Wall-clock seconds of the best of the runs of ibtimport with these arguments; negative when it failed.
double timeCli(const QStringList& arguments)
{
    double best = std::numeric_limits<double>::max();
    for (int run = 0; run < runs; ++run) {
        const Cost cost = runCli(arguments);
        if (cost.wall < 0.0)
            return -1.0;
        best = std::min(best, cost.wall);
    }
    return best;
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    const int n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2.0;
}

QString percent(double ratio)
{
    return QStringLiteral("%1%2 %").arg(ratio >= 1.0 ? QStringLiteral("+") : QString()).arg((ratio - 1.0) * 100.0, 0, 'f', 1);
}

/// Empties a PostgreSQL library; an SQLite one is a file that goes.
void clear(const QString& library)
{
    if (!library.startsWith(QLatin1String("postgres"))) {
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(library + suffix);
        return;
    }
    LapLibrary lap;
    LibraryLocation location;
    QString error;
    if (!LibraryLocation::parse(library, location, error) || !lap.open(location))
        return;
    QSqlQuery query = lap.newQuery();
    lap.run(query, QStringLiteral("DROP SCHEMA public CASCADE"));
    lap.run(query, QStringLiteral("CREATE SCHEMA public"));
}

/// Importing a folder against adding it to a new library, in turn so that a change of the machine's
/// load falls on both; the medians compare. The goal is on processor time, what adding costs.
void compareAddWithImport(const QString& what, const QString& library, const QString& folder)
{
    QVector<double> importWall, importCpu, addWall, addCpu;
    for (int run = 0; run < pairedRuns; ++run) {
        const Cost import = runCli({folder});
        clear(library);
        const Cost add = runCli({QStringLiteral("--library"), library, QStringLiteral("--add"), folder});
        if (import.wall < 0.0 || add.wall < 0.0)
            return;
        importWall << import.wall;
        importCpu << import.cpu;
        addWall << add.wall;
        addCpu << add.cpu;
    }
    const double cpuRatio = median(addCpu) / median(importCpu);
    const double overhead = cpuRatio - 1.0;
    out() << QStringLiteral("  %1: import %2 s, adding %3 s of processor time: %4, %5 of the goal (at most +10 %) %6;"
                            " wall clock %7 s and %8 s (%9)\n")
                 .arg(what)
                 .arg(median(importCpu), 0, 'f', 3)
                 .arg(median(addCpu), 0, 'f', 3)
                 .arg(percent(cpuRatio))
                 .arg(std::max(overhead, 0.0) / maxAddOverhead, 0, 'f', 2)
                 .arg(overhead <= maxAddOverhead ? QStringLiteral("met") : QStringLiteral("MISSED"))
                 .arg(median(importWall), 0, 'f', 3)
                 .arg(median(addWall), 0, 'f', 3)
                 .arg(percent(median(addWall) / median(importWall)));
}

bool writeSessions(const QString& folder, int count, bool small)
{
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        ScenarioOptions options;
        options.seed = quint32(i + 1);
        options.playerCarIdx = i % 5;
        options.driverCount = 5;
        if (small) {
            options.tickRate = 10;
            options.timedLaps = 1;
            options.lapSeconds = 30.0;
        } else {
            options.wide = true;
            options.minutes = 5.0;
        }
        if (!Scenario(options).write(QStringLiteral("%1/session-%2.ibt").arg(folder).arg(i, 4, 10, QLatin1Char('0'))))
            return false;
    }
    return true;
}

/// 100,000 laps of 10 tracks, 5 cars and 40 drivers, stored as the writer stores imports.
bool fillSynthetic(const QString& library)
{
    LapLibrary lap;
    LibraryLocation location;
    QString error;
    if (!LibraryLocation::parse(library, location, error) || !lap.open(location)) {
        out() << lap.errorString() << Qt::endl;
        return false;
    }
    LibraryWriter writer(lap);
    for (int f = 0; f < syntheticFiles; ++f) {
        StoredFile file;
        file.file.path = QStringLiteral("/synthetic/%1.ibt").arg(f);
        file.file.size = 1000000 + f;
        file.file.hash = QString::number(f);
        file.recordedAt = QDateTime::fromSecsSinceEpoch(1700000000 + f * 3600LL, Qt::UTC);
        file.session.trackName = QStringLiteral("Track %1").arg(f % 10);
        file.session.trackConfig = QStringLiteral("Full");
        file.session.carName = QStringLiteral("Car %1").arg(f / 10 % 5);
        file.session.driverName = QStringLiteral("Driver %1").arg(f / 50 % 40);
        file.session.sessionName = QStringLiteral("Practice");
        for (int i = 0; i < lapsPerFile; ++i) {
            StoredLap stored;
            stored.index = i;
            stored.lapNumber = i + 1;
            stored.validTime = i % 10 != 0;
            stored.lapTimeMs = stored.validTime ? 90000 + (f * 7919 + i * 104729) % 5000 : -1;
            stored.sectorTimesMs = {30000, 30000, stored.validTime ? stored.lapTimeMs - 60000 : -1};
            stored.topSpeedKmh = 250.0;
            stored.minSpeedKmh = 80.0;
            stored.fuelUsedL = 2.5;
            file.laps.append(stored);
        }
        file.bestSectorsMs = {30000, 30000, 30000};
        bool already = false;
        if (!writer.store(file, already)) {
            out() << writer.errorString() << Qt::endl;
            return false;
        }
    }
    return true;
}

void measure(const QString& name, const QString& library, const QString& folder, const QStringList& realFolders,
             const QString& smallFolder)
{
    out() << "\n" << name << " (medians of " << pairedRuns << " runs)\n";
    compareAddWithImport(QStringLiteral("%1 five-minute recordings").arg(recordings), library, folder);
    for (const QString& real : realFolders)
        compareAddWithImport(real, library, real);

    clear(library);
    timeCli({QStringLiteral("--library"), library, QStringLiteral("--add"), smallFolder});
    const double again = timeCli({QStringLiteral("--library"), library, QStringLiteral("--add"), smallFolder});
    out() << QStringLiteral("  adding %1 unchanged recordings again: %2 s (target < 2 s)\n")
                 .arg(unchangedRecordings)
                 .arg(again, 0, 'f', 2);
    {
        LapLibrary lap;
        LibraryLocation location;
        QString error;
        if (LibraryLocation::parse(library, location, error) && lap.open(location)) {
            QSqlQuery query = lap.newQuery();
            const QString length = lap.isPostgreSQL() ? QStringLiteral("octet_length") : QStringLiteral("length");
            if (lap.run(query, QStringLiteral("SELECT COUNT(*), AVG(%1(data)), MAX(%1(data)) FROM traces").arg(length))
                && query.next()) {
                out() << QStringLiteral("  traces: %1 stored, %2 bytes on average, %3 at most (target < 100 KB)\n")
                             .arg(query.value(0).toInt())
                             .arg(query.value(1).toDouble(), 0, 'f', 0)
                             .arg(query.value(2).toInt());
            }
        }
    }

    clear(library);
    QElapsedTimer fill;
    fill.start();
    if (!fillSynthetic(library))
        return;
    out() << QStringLiteral("  %1 laps of %2 sessions stored in %3 s\n")
                 .arg(syntheticFiles * lapsPerFile)
                 .arg(syntheticFiles)
                 .arg(fill.nsecsElapsed() / 1e9, 0, 'f', 1);
    const double bests = timeCli({QStringLiteral("--library"), library, QStringLiteral("--bests")});
    LapLibrary lap;
    LibraryLocation location;
    QString error;
    if (!LibraryLocation::parse(library, location, error) || !lap.open(location))
        return;
    LibraryQueries queries(lap);
    QVector<LibraryBest> result;
    double query = std::numeric_limits<double>::max();
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        queries.bests({}, result);
        query = std::min(query, timer.nsecsElapsed() / 1e9);
    }
    out() << QStringLiteral("  --bests over %1 laps (%2 groups): %3 ms for the command, %4 ms for the query "
                            "(target < 200 ms)\n")
                 .arg(syntheticFiles * lapsPerFile)
                 .arg(result.size())
                 .arg(bests * 1000.0, 0, 'f', 0)
                 .arg(query * 1000.0, 0, 'f', 0);
    QSqlQuery size = lap.newQuery();
    if (lap.isPostgreSQL()) {
        if (lap.run(size, QStringLiteral("SELECT pg_total_relation_size('laps') / (SELECT COUNT(*) FROM laps)"))
            && size.next())
            out() << QStringLiteral("  a lap without trace: %1 bytes with its indexes (target < 1 KB)\n")
                         .arg(size.value(0).toInt());
    } else {
        out() << QStringLiteral("  a lap without trace: %1 bytes of the database file with its session and indexes "
                                "(target < 1 KB)\n")
                     .arg(QFileInfo(library).size() / (syntheticFiles * lapsPerFile));
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    // Folders of recordings to add, beside the generated ones: by default the real ones beside the source tree.
    QStringList realFolders = app.arguments().mid(1);
    if (realFolders.isEmpty() && QDir(QStringLiteral(ZEL_SOURCE_DIR "/../shared/data/ibt")).exists())
        realFolders << QDir::cleanPath(QStringLiteral(ZEL_SOURCE_DIR "/../shared/data/ibt"));
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("recordings"));
    const QString smallFolder = dir.filePath(QStringLiteral("unchanged"));
    out() << "Writing " << recordings << " five-minute and " << unchangedRecordings << " short recordings..." << Qt::endl;
    if (!writeSessions(folder, recordings, false) || !writeSessions(smallFolder, unchangedRecordings, true)) {
        out() << "cannot write the recordings\n";
        return 1;
    }
    measure(QStringLiteral("SQLite"), dir.filePath(QStringLiteral("library.db")), folder, realFolders, smallFolder);
    const QString postgres = qEnvironmentVariable("ZEL_TEST_POSTGRES_URL");
    if (!postgres.isEmpty())
        measure(QStringLiteral("PostgreSQL"), postgres, folder, realFolders, smallFolder);
    else
        out() << "\nPostgreSQL: skipped (run under scripts/with-postgres)\n";
    return 0;
}
