#include "scenario/scenario.h"
#include "support/clirun.h"
#include "support/testfiles.h"
#include "support/tmpfs.h"

#include <QImage>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <tuple>

#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

/// Writes a short, low-rate scenario; returns its flying laps' times in ms, truncated as the plugin does.
QVector<int> writeScenario(const QString& path, ScenarioOptions::Session session)
{
    ScenarioOptions options;
    options.session = session;
    options.tickRate = 20;
    Scenario scenario(options);
    QVector<int> times;
    for (const ScenarioLap& lap : scenario.write(path) ? scenario.laps() : QVector<ScenarioLap>()) {
        if (lap.kind == ScenarioLap::TimedLap && lap.lapTime > 0.0)
            times.append(int(1000.0f * float(lap.lapTime)));
    }
    return times;
}

/// Every entry of a folder, hidden ones too, with the content of the files.
QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> entries;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        QFile file(dir.filePath(name));
        entries.insert(name, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(not a file)"));
    }
    return entries;
}

/// Why the file is no well-formed SVG; empty when it is one.
QString svgError(const QString& path)
{
    QXmlStreamReader xml(TestFiles::read(path));
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("svg"))
        return QStringLiteral("no svg element in ") + path;
    while (!xml.atEnd())
        xml.readNext();
    return xml.errorString();
}

} // namespace

class tst_Cli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(m_dir.path()));
        m_practiceMs = writeScenario("practice.ibt", ScenarioOptions::Session::Practice);
        QCOMPARE(m_practiceMs.size(), 3);
        // For the error cases: a file where a folder should be, a folder without .ibt files, a file cut in its header.
        QVERIFY(QFile::copy("practice.ibt", "blocker") && QDir().mkdir("empty"));
        QVERIFY(QFile::copy("practice.ibt", "cut.ibt") && QFile::resize("cut.ibt", 60));
        ScenarioOptions cut;
        cut.tickRate = 20;
        cut.minutes = 0.6; // the out lap and part of the first timed lap
        QVERIFY(Scenario(cut).write("short.ibt"));
        // The same session elsewhere and in another car, for comparisons that do not hold.
        for (const auto& [name, from, to] : {std::make_tuple("elsewhere.ibt", "Lakeside Motor Park", "Hillside Ring"),
                                             std::make_tuple("othercar.ibt", "Apex GT4 Hybrid", "Apex GT3")}) {
            ScenarioOptions options;
            options.tickRate = 20;
            options.sessionInfo = Scenario(options).sessionInfo().replace(from, to);
            QVERIFY(Scenario(options).write(name));
        }
        // An input under other names: a link that looks like a plot, a hard link that looks like a report.
        QVERIFY(QFile::link("practice.ibt", "link.svg") && ::link("practice.ibt", "hard.html") == 0);
    }

    // A practice and a race imported in parallel: each file's messages and table stay in its own section, in order.

    void batch()
    {
        static const QRegularExpression tableRow(QStringLiteral("^ *\\d+ +\\d+ +\\d+ +\\w+ +(\\d+:\\d\\d\\.\\d{3}) .*$"),
                                                 QRegularExpression::MultilineOption);
        const QVector<QVector<int>> expected = {m_practiceMs, writeScenario("race.ibt", ScenarioOptions::Session::Race)};
        const QStringList paths = {"practice.ibt", "race.ibt"};
        QString out;
        QCOMPARE(runCli("--verbose practice.ibt race.ibt", &out), 0);
        QVERIFY2(!out.contains("59:59.000"), "a lap without a valid time shows no time");
        const QStringList sections = out.section("Best laps:\n", 0, 0).split("File:");
        const QStringList summary = out.section("Best laps:\n", 1).split('\n');
        for (int i = 0; i < 2; ++i) {
            const QString section = sections.value(i + 1);
            QVERIFY(section.contains("Importing file " + paths.at(i) + " ..."));
            QVERIFY(section.contains("Recorded:     2024-05-25 01:30:00 UTC\n"));
            QVERIFY(section.contains(QRegularExpression(" Time +S1 +S2 +S3 +S4 +Gap +Top km/h +Fuel l +Samples  Note\\n")));
            QVector<int> timed;
            QStringList fastest;
            for (auto it = tableRow.globalMatch(section); it.hasNext();) {
                const QRegularExpressionMatch row = it.next();
                timed.append(QTime::fromString(row.captured(1), "m:ss.zzz").msecsSinceStartOfDay());
                if (row.captured(0).contains(" fastest"))
                    fastest.append(row.captured(1));
            }
            QCOMPARE(timed, expected.at(i));
            // One lap marked fastest, with the best time, which the summary repeats.
            const int best = *std::min_element(timed.cbegin(), timed.cend());
            QCOMPARE(fastest, QStringList{QTime::fromMSecsSinceStartOfDay(best).toString("m:ss.zzz")});
            QVERIFY(summary.value(2 + i).endsWith(fastest.value(0) + "  " + paths.at(i)));
            // Each of the four sectors has one best, and the statistics stand under the table.
            QCOMPARE(section.count(QRegularExpression("\\d\\.\\d{3}\\*")), 4);
            QVERIFY(section.contains("Lap times (" + QString::number(timed.size()) + " with a valid time): best "
                                     + fastest.value(0)));
        }
    }

    // Lap B of one file against lap A of another: sectors, the lap and where the time went, and the plot of the two.

    void compare()
    {
        QString out;
        QString err;
        QCOMPARE(runCli("--compare practice.ibt:2,race.ibt:3 --plot compare.png --plot-size 800x600 practice.ibt", &out, &err), 0);
        QVERIFY2(!out.contains("Importing file"), "progress of a batch only with --verbose");
        QCOMPARE(out.count("File:"), 2); // the file named only in --compare is imported too
        QVERIFY2(out.contains("Comparison: lap 3 of race.ibt against lap 2 of practice.ibt\n"), qPrintable(out));
        const QString table = out.section("Comparison:", 1);
        double sectorSum = 0.0;
        for (int k = 1; k <= 4; ++k) {
            const QRegularExpressionMatch row =
                QRegularExpression(QStringLiteral("\\nS%1 +(\\d+\\.\\d+) +(\\d+\\.\\d+) +([-+]\\d+\\.\\d+)\\n").arg(k)).match(table);
            QVERIFY2(row.hasMatch(), qPrintable(table));
            QVERIFY(std::fabs(row.captured(2).toDouble() - row.captured(1).toDouble() - row.captured(3).toDouble()) < 0.0015);
            sectorSum += row.captured(3).toDouble();
        }
        const QRegularExpressionMatch lap = QRegularExpression("\\nLap +(\\d:\\d\\d\\.\\d{3}) +(\\d:\\d\\d\\.\\d{3}) +([-+]\\d+\\.\\d+)\\n").match(table);
        QVERIFY(lap.hasMatch());
        const double a = QTime::fromString(lap.captured(1), "m:ss.zzz").msecsSinceStartOfDay() / 1000.0;
        const double b = QTime::fromString(lap.captured(2), "m:ss.zzz").msecsSinceStartOfDay() / 1000.0;
        QCOMPARE(lap.captured(3).toDouble(), b - a);
        QVERIFY2(std::fabs(sectorSum - (b - a)) < 0.05 + 0.004, qPrintable(QString::number(sectorSum))); // a record at 20 Hz
        QVERIFY(table.contains("Where the time changed hands") && table.contains(QRegularExpression("\\n +\\d+ +\\d+ +\\d+-\\d+ % +[-+]")));
        QCOMPARE(QImage("compare.png", "PNG").size(), QSize(800, 600));
    }

    void exports_data()
    {
        QTest::addColumn<QString>("arguments");

        QTest::newRow("csv, json with channel values, png")
            << "--csv csv --json summary.json --with-channels --plot plot.png --plot-size 640x480 practice.ibt";
        // A name with markup in it stays text in the SVG's title; a file without a timed lap has a plot of its own.
        QTest::newRow("json to standard output, svgs") << "--json - --plot R&D<1>.svg --plot-size 640x480 practice.ibt short.ibt";
    }

    void exports()
    {
        QFETCH(QString, arguments);
        const bool toFiles = arguments.startsWith("--csv");
        QString out;
        QCOMPARE(runCli(arguments, &out), 0);

        if (toFiles) {
            QCOMPARE(QImage("plot.png", "PNG").size(), QSize(640, 480));
        } else {
            QCOMPARE(svgError("R&D<1>-practice.svg"), QString());
            QVERIFY(TestFiles::read("R&D<1>-practice.svg").contains("viewBox=\"0 0 640 480\""));
            // The short file's longest lap against the practice's reference, named as another file's.
            QVERIFY(TestFiles::read("R&D<1>-short.svg").contains(", reference (practice.ibt)"));
        }
        const QJsonValue report = QJsonDocument::fromJson(toFiles ? TestFiles::read("summary.json") : out.toUtf8())["files"][0];
        QVERIFY(report["path"] == "practice.ibt" && report["error"] == false);
        const QJsonArray laps = report["laps"].toArray();
        // The file's names and lists once, not once per lap.
        QVERIFY(report["channels"].toArray().contains("speed") && report["properties"]["Track length"]["unit"] == "km");
        QVERIFY(!laps.first().toObject().contains("trackName") && !laps.first()["properties"].toObject().contains("Track length"));
        // The analysis, whose figures tst_sessionanalysis checks: what the file says, the statistics, the reference.
        const int best = *std::min_element(m_practiceMs.cbegin(), m_practiceMs.cend());
        QCOMPARE(report["recordedAt"].toString(), QStringLiteral("2024-05-25T01:30:00Z"));
        QCOMPARE(report["sectorStartPct"].toArray(), QJsonArray({0.0, 0.25, 0.5, 0.75}));
        QVERIFY(std::fabs(report["trackLengthM"].toDouble() - 2700.0) < 0.5);
        QCOMPARE(report["lapTimeStats"]["bestMs"].toInt(), best);
        QVERIFY(report["lapTimeStats"]["stdDevMs"].isDouble() && report["hasMap"] == true);
        QVERIFY(report["theoreticalBestMs"].toInt() <= best);
        QCOMPARE(report["reference"]["path"].toString(), QStringLiteral("practice.ibt"));
        QVector<int> timed;
        for (const QJsonValue& lap : laps) {
            for (const char* key : {"lapNumber", "lapInRun", "runNumber", "lapStatus", "sessionType", "sampleCount"})
                QVERIFY2(lap[key].isDouble(), key);
            const bool valid = lap["validTime"].toBool();
            QVERIFY(lap["completed"].isBool() && valid == lap["lapTimeMs"].isDouble() && lap["sectorTimesMs"].toArray().size() == 4);
            QVERIFY(lap["topSpeedKmh"].toDouble() > 100.0 && lap["fullThrottlePct"].isDouble() && lap["fuelUsedL"].isDouble());
            QCOMPARE(lap["channelData"]["speed"]["values"].toArray().size(), toFiles ? lap["sampleCount"].toInt() : 0);
            if (!valid)
                continue;
            timed.append(lap["lapTimeMs"].toInt());
            QCOMPARE(lap["deltaToReferenceMs"].toInt(), lap["lapTimeMs"].toInt() - best);
            if (lap["lapTimeMs"].toInt() == best)
                QCOMPARE(report["reference"]["lapNumber"].toInt(), lap["lapNumber"].toInt());
        }
        QCOMPARE(timed, m_practiceMs);
        if (!toFiles)
            return;

        QCOMPARE(QDir("csv").entryList(QDir::Files).size(), laps.size() + 1); // laps.csv and a file per lap, no leftovers
        const QList<QByteArray> lines = TestFiles::read("csv/laps.csv").split('\n');
        QCOMPARE(lines.size(), laps.size() + 2); // a header, a line per lap, nothing after the last newline
        QVERIFY(lines.at(0).startsWith("file,csv,index,lapNumber,lapInRun,runNumber,lapStatus,kind,completed,lapTime,lapTimeMs,")
                && lines.at(0).contains(",s1Ms,s2Ms,s3Ms,s4Ms,gapMs,topSpeedKmh,fuelUsedL,")
                && lines.at(0).contains(",Track length [km],"));
        QVERIFY(lines.at(1).contains(",\"Lindqvist, A\",")); // a text with a comma stays one field
        // The table's figures, and no time where the lap has no valid one.
        const QList<QByteArray> columns = lines.at(0).split(',');
        for (int i = 0; i < laps.size(); ++i) {
            const QList<QByteArray> cells = lines.at(i + 1).split(',');
            const auto cell = [&](const char* name) { return QString::fromUtf8(cells.value(columns.indexOf(name))); };
            const QJsonValue lap = laps.at(i);
            QCOMPARE(cell("lapTimeMs"), lap["validTime"].toBool() ? QString::number(lap["lapTimeMs"].toInt()) : QString());
            QCOMPARE(cell("kind"), lap["kind"].toString());
            QCOMPARE(cell("s2Ms"), lap["sectorTimesMs"][1].isNull() ? QString() : QString::number(lap["sectorTimesMs"][1].toInt()));
            QCOMPARE(cell("gapMs"), lap["deltaToReferenceMs"].isNull() ? QString() : QString::number(lap["deltaToReferenceMs"].toInt()));
            QCOMPARE(cell("topSpeedKmh").toDouble(), std::round(lap["topSpeedKmh"].toDouble() * 10.0) / 10.0);
            const QByteArray samples = TestFiles::read(QStringLiteral("csv/practice-%1.csv").arg(i, 2, 10, QLatin1Char('0')));
            QVERIFY(samples.left(samples.indexOf('\n')).contains("speed [m/s]"));
            QCOMPARE(samples.count('\n'), lap["sampleCount"].toInt() + 1); // a header, a line per sample
        }
    }

    void errors_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");

        QTest::newRow("missing file") << "absent.ibt" << 2 << "ibtimport: no such file or folder: absent.ibt";
        QTest::newRow("folder without .ibt files") << "empty" << 2 << "ibtimport: no .ibt files in folder empty";
        QTest::newRow("export folder under a file")
            << "--csv blocker/out practice.ibt" << 3 << "ibtimport: cannot create export folder blocker/out";
        QTest::newRow("json into a missing folder")
            << "--json nowhere/summary.json practice.ibt" << 3 << "ibtimport: cannot write nowhere/summary.json";
        QTest::newRow("plot of an unknown format")
            << "--plot p.jpg practice.ibt" << 2 << "ibtimport: cannot plot into p.jpg: the name must end in .png or .svg";
        QTest::newRow("file cut inside its header") << "cut.ibt" << 1 << "IBT import error:  Error reading irsdk_header";
        QTest::newRow("compare without laps") << "--compare 2 practice.ibt" << 2 << "ibtimport: --compare wants two laps A,B";
        QTest::newRow("compare a lap the file lacks")
            << "--compare 99,2 practice.ibt" << 2 << "ibtimport: --compare: no lap 99 in practice.ibt";
        QTest::newRow("compare a lap past any number")
            << "--compare 99999999999,2 practice.ibt" << 2 << "ibtimport: --compare: no lap 99999999999 in practice.ibt";
        QTest::newRow("report over its input") << "--report practice.ibt practice.ibt" << 2
                                               << "ibtimport: --report practice.ibt is the input practice.ibt: an export never replaces an input";
        QTest::newRow("json over its input, spelt otherwise") << "--json ./empty/../practice.ibt practice.ibt" << 2 << "is the input practice.ibt";
        QTest::newRow("plot through a link to its input") << "--plot link.svg practice.ibt" << 2 << "is the input practice.ibt";
        QTest::newRow("report over a hard link to its input") << "--report hard.html practice.ibt" << 2 << "is the input";
        QTest::newRow("json to a full device") << "--json /dev/full practice.ibt" << 3
                                               << "ibtimport: cannot write /dev/full: No space left on device";
        QTest::newRow("compare by number across files")
            << "--compare 1,2 practice.ibt race.ibt" << 2 << "ibtimport: --compare: with several files, give lap 1 as FILE:1";
        QTest::newRow("compare a file that is not there, before any import")
            << "--compare absent.ibt:1,2 practice.ibt" << 2 << "ibtimport: --compare: absent.ibt is not a file";
        QTest::newRow("compare against a lap without a valid time") << "--compare \"0, 2\" practice.ibt" << 2
            << "ibtimport: --compare: lap 0 has no valid time, so it cannot be the reference A; give it as B";
        QTest::newRow("compare across tracks") << "--compare practice.ibt:2,elsewhere.ibt:2" << 2
            << "was driven at Lakeside Motor Park (Grand Prix) and lap 2 of elsewhere.ibt at Hillside Ring (Grand Prix); "
               "laps of two tracks do not compare";
        QTest::newRow("compare across cars: a warning") << "--compare practice.ibt:2,othercar.ibt:2" << 0
            << "ibtimport: warning: --compare: lap 2 of practice.ibt was driven in Apex GT4 Hybrid and lap 2 of "
               "othercar.ibt in Apex GT3";
    }

    // One line of error, the documented exit status, and nothing written.

    void errors()
    {
        QFETCH(QString, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);

        const QStringList before = QDir().entryList();
        QString out;
        QString err;
        QCOMPARE(runCli(arguments, &out, &err), exitCode);
        QVERIFY2(err.contains(message) && err.count("ibtimport: ") <= 1, qPrintable(err));
        if (QByteArray(QTest::currentDataTag()).contains("before any import"))
            QVERIFY2(out.isEmpty(), qPrintable(out));
        QCOMPARE(QDir().entryList(), before);
    }

    void namesAsData_data()
    {
        QTest::addColumn<QByteArray>("trackName"); // as the file holds it
        QTest::addColumn<QString>("shown");        // on the terminal
        QTest::addColumn<QString>("cell");         // in laps.csv

        QTest::newRow("window title escape") << QByteArray("\x1b]0;owned\x07Lakeside") << "\\x1b]0;owned\\x07Lakeside"
                                             << "\x1b]0;owned\x07Lakeside";
        QTest::newRow("clear screen, red") << QByteArray("\x1b[2J\x1b[31mLakeside") << "\\x1b[2J\\x1b[31mLakeside"
                                           << "\x1b[2J\x1b[31mLakeside";
        // The session info is Latin-1: one byte is one character.
        QTest::newRow("8-bit control sequence") << QByteArray("\x9b" "2JLakeside") << "\\x9b2JLakeside"
                                                << QString::fromLatin1("\x9b" "2JLakeside");
        QTest::newRow("formula") << QByteArray("=HYPERLINK(1)") << "=HYPERLINK(1)" << "'=HYPERLINK(1)";
        QTest::newRow("sum after a minus") << QByteArray("-2+3") << "-2+3" << "'-2+3";
        QTest::newRow("at function, with a comma") << QByteArray("@SUM(1,2)") << "@SUM(1,2)" << "\"'@SUM(1,2)\"";
        QTest::newRow("negative number") << QByteArray("-12.5e3") << "-12.5e3" << "-12.5e3";
    }

    // Names from a file reach the terminal as visible text and a spreadsheet as text, never as commands.

    void namesAsData()
    {
        QFETCH(QByteArray, trackName);
        QFETCH(QString, shown);
        QFETCH(QString, cell);

        ScenarioOptions options;
        options.tickRate = 5;
        options.timedLaps = 1;
        options.sessionInfo = Scenario(options).sessionInfo().replace("Lakeside Motor Park", trackName);
        QVERIFY(Scenario(options).write("names.ibt"));
        QString out;
        QString err;
        QCOMPARE(runCli("--csv names --properties --plot names.svg names.ibt", &out, &err), 0);
        static const QRegularExpression control(QStringLiteral("[\\x00-\\x09\\x0b-\\x1f\\x7f-\\x9f\\x{202a}-\\x{202e}]"));
        QVERIFY2(!control.match(out + err).hasMatch(), qPrintable(out + err));
        QVERIFY2(out.contains("Track:        " + shown + '\n'), qPrintable(out));
        QVERIFY(QString::fromUtf8(TestFiles::read("names/laps.csv")).split('\n').value(1).contains(',' + cell + ','));
        QCOMPARE(svgError("names.svg"), QString());
    }

    // A folder gives every regular .ibt file, whatever bytes its name holds, and no pipe; such a name

    // given directly is imported too; inputs that share a base name get a plot each.

    void inputs()
    {
        const char* rawName = "inputs/\xff\xfe.ibt"; // not UTF-8
        QVERIFY(QDir().mkpath("inputs/twin") && QFile::copy("practice.ibt", "inputs/practice.ibt")
                && QFile::copy("practice.ibt", "inputs/twin/practice.ibt") && QFile::copy("practice.ibt", "inputs/raw"));
        QVERIFY(std::rename("inputs/raw", rawName) == 0 && mkfifo("inputs/pipe.ibt", 0600) == 0);

        QProcess process;
        // The shell hands over the bytes of the name, which a QString argument cannot carry.
        process.start("/bin/sh", {"-c", "exec \"$0\" --verbose --plot inputs/p.png inputs inputs/twin \"$(printf 'inputs/\\377\\376.ibt')\"",
                                  ZEL_CLI_PATH});
        const bool finished = process.waitForFinished(120000);
        const QString out = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
        process.kill();
        unlink(rawName);
        QVERIFY2(finished && process.exitCode() == 0, qPrintable(out));
        QCOMPARE(out.count("File:"), 4);
        QCOMPARE(out.count("File:         inputs/\\xff\\xfe.ibt\n"), 2);
        QCOMPARE(out.count(QRegularExpression("Laps readed [1-9]")), 4);
        QCOMPARE(QDir("inputs").entryList({"p-*.png"}),
                 QStringList({"p-\\xff\\xfe-2.png", "p-\\xff\\xfe.png", "p-practice-2.png", "p-practice.png"}));
    }

    void exportKeepsEarlier_data()
    {
        QTest::addColumn<int>("signal"); // sent once the report is out; 0 for a disk too small for two exports

        QTest::newRow("disk full") << 0;
        QTest::newRow("Ctrl-C") << int(SIGINT);
        QTest::newRow("terminated") << int(SIGTERM);
    }

    // A re-export that fails or is interrupted leaves the earlier export as it was, with nothing beside it.

    void exportKeepsEarlier()
    {
        QFETCH(int, signal);
        const QString folder = signal ? "interrupted" : "disk/csv";
        std::unique_ptr<Tmpfs> disk;
        if (!signal) {
            QVERIFY(QFile::copy("practice.ibt", "session.ibt") || QFile::exists("session.ibt"));
            QCOMPARE(runCli("--csv full session.ibt"), 0);
            qint64 bytes = 0;
            for (const QByteArray& content : snapshot("full"))
                bytes += content.size();
            disk = std::make_unique<Tmpfs>("disk", bytes * 3 / 2);
            if (!disk->errorString().isEmpty())
                QSKIP(qPrintable("no tmpfs of our own (needs root): " + disk->errorString()));
        } else if (!QFile::exists("wide.ibt")) {
            // Wide enough that the export takes a while after the report.
            ScenarioOptions options;
            options.wide = true;
            options.timedLaps = 2;
            QVERIFY(Scenario(options).write("wide.ibt"));
        }
        const QString session = signal ? "wide.ibt" : "session.ibt";
        // The signal rows share the earlier export, which each must leave as it was.
        if (!QFile::exists(folder + "/laps.csv"))
            QCOMPARE(runCli("--csv " + folder + ' ' + session), 0);
        const QMap<QString, QByteArray> before = snapshot(folder);

        QProcess process;
        process.start(ZEL_CLI_PATH, {"--csv", folder, session});
        if (signal) {
            QVERIFY(process.waitForReadyRead(120000));
            kill(pid_t(process.processId()), signal);
        }
        QVERIFY(process.waitForFinished(120000));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        if (!signal)
            QVERIFY2(process.exitCode() == 3 && err.contains("No space left on device\n"), qPrintable(err));
        // A signal that came after the export was complete finds nothing to protect.
        if (process.exitStatus() == QProcess::CrashExit || process.exitCode() != 0)
            QVERIFY(snapshot(folder) == before);
        else
            QCOMPARE(snapshot(folder).keys(), before.keys());
    }

    void fullDisk_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::newRow("report") << "--report small/r.html practice.ibt";
        QTest::newRow("json with channels") << "--json small/r.json --with-channels practice.ibt";
        QTest::newRow("plot") << "--plot small/r.png --plot-size 1600x1200 practice.ibt";
    }

    // An export that does not fit says why and leaves nothing, under its name or another.

    void fullDisk()
    {
        QFETCH(QString, arguments);
        const Tmpfs disk("small", 64 * 1024);
        if (!disk.errorString().isEmpty())
            QSKIP(qPrintable("no tmpfs of our own (needs root): " + disk.errorString()));
        QString err;
        QCOMPARE(runCli(arguments, nullptr, &err), 3);
        QVERIFY2(err.contains(": No space left on device\n"), qPrintable(err));
        QCOMPARE(snapshot("small").size(), 0);
    }

    // Devices are written into, never replaced; a staging folder of a killed export goes with the next

    // export into its folder, one that a running export holds stays.

    void devicesAndAbandonedStaging()
    {
        QVERIFY(QDir().mkpath("staged/.ibtimport-killed") && QDir().mkpath("staged/.ibtimport-runner"));
        QFile killed("staged/.ibtimport-killed/lock"), running("staged/.ibtimport-runner/lock");
        QVERIFY(killed.open(QIODevice::WriteOnly) && running.open(QIODevice::WriteOnly));
        QCOMPARE(flock(running.handle(), LOCK_EX | LOCK_NB), 0);
        QCOMPARE(runCli("--json /dev/null --report /dev/null --csv staged practice.ibt"), 0);
        struct stat device;
        QVERIFY(stat("/dev/null", &device) == 0 && S_ISCHR(device.st_mode));
        QVERIFY(!QFileInfo::exists("staged/.ibtimport-killed") && QFileInfo::exists("staged/.ibtimport-runner"));
    }

private:
    QTemporaryDir m_dir; // the working folder of the test and the runs
    QVector<int> m_practiceMs;
};

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
