// Writes the seed corpora of the fuzz targets: small scenario files of every kind for the
// import, the session-info texts of those scenarios and of the real recordings, and for the
// report the scenario files, the real recordings' first records and files whose lap distance no
// track has (LapDist = LapDistPct x 1e7 and x 1e9).
// Usage: fuzz_seeds IMPORT_DIR SESSIONINFO_DIR REPORT_DIR

#include "ibt/ibtlayout.h"
#include "scenario/scenario.h"
#include "support/realrecordings.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstring>

namespace {

/// Few records per lap keep every seed small enough for many executions per second.
ScenarioOptions small(ScenarioOptions::Session session)
{
    ScenarioOptions options;
    options.session = session;
    options.tickRate = 1;
    options.lapSeconds = 10.0;
    options.timedLaps = 1;
    return options;
}

QVector<QPair<QString, ScenarioOptions>> scenarios()
{
    QVector<QPair<QString, ScenarioOptions>> all;
    all.append({QStringLiteral("testing"), small(ScenarioOptions::Session::Testing)});
    all.append({QStringLiteral("practice"), small(ScenarioOptions::Session::Practice)});
    ScenarioOptions race = small(ScenarioOptions::Session::Race);
    race.driverCount = 3;
    race.playerCarIdx = 2;
    all.append({QStringLiteral("race"), race});
    ScenarioOptions pit = small(ScenarioOptions::Session::Practice);
    pit.pitStop = true;
    pit.blankRecords = true;
    all.append({QStringLiteral("pitstop"), pit});
    ScenarioOptions reset = small(ScenarioOptions::Session::Testing);
    reset.resetToPits = true;
    reset.firstLap = 5;
    all.append({QStringLiteral("reset"), reset});
    return all;
}

template <typename T>
T read(const QByteArray& bytes, qint64 at)
{
    T value;
    std::memcpy(&value, bytes.constData() + at, sizeof value);
    return value;
}

/// The file with every LapDist (a float) set to LapDistPct times the factor: a track of that many
/// times its length, as a forged file states it.
QByteArray scaledDistance(QByteArray file, float factor)
{
    const auto header = read<irsdk_header>(file, 0);
    qint64 dist = -1;
    qint64 pct = -1;
    for (int i = 0; i < header.numVars; ++i) {
        const auto var = read<irsdk_varHeader>(file, header.varHeaderOffset + qint64(i) * sizeof(irsdk_varHeader));
        const QByteArray name(var.name, int(qstrnlen(var.name, IRSDK_MAX_STRING)));
        if (var.type == irsdk_float && name == "LapDist")
            dist = var.offset;
        if (var.type == irsdk_float && name == "LapDistPct")
            pct = var.offset;
    }
    for (qint64 record = header.varBuf[0].bufOffset; dist >= 0 && pct >= 0 && record + header.bufLen <= file.size();
         record += header.bufLen) {
        const float scaled = read<float>(file, record + pct) * factor;
        std::memcpy(file.data() + record + dist, &scaled, sizeof scaled);
    }
    return file;
}

/// Seeds past this add nothing that their first part does not (run-fuzz's -max_len).
constexpr int maxSeedBytes = 262144;

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s IMPORT_DIR SESSIONINFO_DIR REPORT_DIR\n", argv[0]);
        return 2;
    }
    const QDir importDir(QString::fromLocal8Bit(argv[1]));
    const QDir infoDir(QString::fromLocal8Bit(argv[2]));
    const QDir reportDir(QString::fromLocal8Bit(argv[3]));
    if (!importDir.mkpath(QStringLiteral(".")) || !infoDir.mkpath(QStringLiteral(".")) || !reportDir.mkpath(QStringLiteral(".")))
        return 1;

    QVector<QPair<QString, ScenarioOptions>> all = scenarios();
    for (const QString& path : RealRecordings::files()) {
        // A real text in a small file, so that the import seeds carry it too.
        ScenarioOptions options = small(ScenarioOptions::Session::Testing);
        options.sessionInfo = RealRecordings::sessionInfoText(path);
        if (!options.sessionInfo.isEmpty())
            all.append({QFileInfo(path).completeBaseName(), options});
    }

    // A seed that cannot be written ends the program with the reason.
    int reportSeeds = 0;
    const auto writeReportSeed = [&](const QString& name, const QByteArray& bytes) {
        ++reportSeeds;
        TestFiles::write(reportDir.filePath(name + QStringLiteral(".ibt")), bytes.left(maxSeedBytes));
    };
    for (const auto& entry : all) {
        const QByteArray bytes = TestFiles::scenario(entry.second);
        TestFiles::write(importDir.filePath(entry.first + QStringLiteral(".ibt")), bytes);
        TestFiles::write(infoDir.filePath(entry.first + QStringLiteral(".txt")), Scenario(entry.second).sessionInfo());
        writeReportSeed(entry.first, bytes);
        writeReportSeed(entry.first + QStringLiteral("-1e7"), scaledDistance(bytes, 1e7f));
        writeReportSeed(entry.first + QStringLiteral("-1e9"), scaledDistance(bytes, 1e9f));
    }
    for (const QString& path : RealRecordings::files()) {
        QFile recording(path);
        if (!recording.open(QIODevice::ReadOnly))
            return 1;
        writeReportSeed(QFileInfo(path).completeBaseName() + QStringLiteral("-records"), recording.read(maxSeedBytes));
    }
    std::printf("%d seeds each in %s and %s, %d in %s\n", int(all.size()), argv[1], argv[2], reportSeeds, argv[3]);
    return 0;
}
