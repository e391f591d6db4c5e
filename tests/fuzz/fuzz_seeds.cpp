// Writes the seed corpora of the fuzz targets: small scenario files of every kind for the
// import, and the session-info texts of those scenarios and of the real recordings.
// Usage: fuzz_seeds IMPORT_DIR SESSIONINFO_DIR

#include "scenario/scenario.h"
#include "support/realrecordings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

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

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s IMPORT_DIR SESSIONINFO_DIR\n", argv[0]);
        return 2;
    }
    const QDir importDir(QString::fromLocal8Bit(argv[1]));
    const QDir infoDir(QString::fromLocal8Bit(argv[2]));
    if (!importDir.mkpath(QStringLiteral(".")) || !infoDir.mkpath(QStringLiteral(".")))
        return 1;

    QVector<QPair<QString, ScenarioOptions>> all = scenarios();
    for (const QString& path : RealRecordings::files()) {
        // A real text in a small file, so that the import seeds carry it too.
        ScenarioOptions options = small(ScenarioOptions::Session::Testing);
        options.sessionInfo = RealRecordings::sessionInfoText(path);
        if (!options.sessionInfo.isEmpty())
            all.append({QFileInfo(path).completeBaseName(), options});
    }

    for (const auto& entry : all) {
        Scenario scenario(entry.second);
        if (!scenario.write(importDir.filePath(entry.first + QStringLiteral(".ibt")))
            || !writeFile(infoDir.filePath(entry.first + QStringLiteral(".txt")), scenario.sessionInfo())) {
            std::fprintf(stderr, "cannot write seed %s: %s\n", qPrintable(entry.first),
                         qPrintable(scenario.errorString()));
            return 1;
        }
    }
    std::printf("%d seeds each in %s and %s\n", int(all.size()), argv[1], argv[2]);
    return 0;
}
