#include "analysis/sessionanalysis.h"
#include "scenario/scenario.h"
#include "support/pluginfixture.h"
#include "support/realrecordings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtMath>
#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(ScenarioOptions)

namespace {

using Piece = TrackShape::Piece;

double arc(double degrees, double radius)
{
    return std::fabs(qDegreesToRadians(degrees) * radius);
}

ScenarioOptions roadCourse()
{
    ScenarioOptions options;
    options.track = TrackShape::sampleRoadCourse();
    options.timedLaps = 3;
    return options;
}

/// An oval with two half-circle ends; each end is a corner.
ScenarioOptions oval()
{
    ScenarioOptions options;
    options.track = TrackShape({{250, 0}, {arc(180, 80), 80}, {500, 0}, {arc(180, 80), 80}, {250, 0}}, "short oval", 4);
    options.timedLaps = 3;
    return options;
}

/// The corners a shape implies: runs of arcs, start to end, in metres from the line.
QVector<QPair<double, double>> arcsOf(const TrackShape& shape)
{
    QVector<QPair<double, double>> corners;
    bool inCorner = false;
    for (int i = 0; i < shape.pieces().size(); ++i) {
        const bool curved = shape.pieces().at(i).radius != 0.0;
        const double end = shape.pieceStart(i) + shape.pieces().at(i).length;
        if (curved && inCorner)
            corners.last().second = end;
        else if (curved)
            corners.append({shape.pieceStart(i), end});
        inCorner = curved;
    }
    return corners;
}

qint64 ms(double seconds)
{
    return std::llround(seconds * 1000.0);
}

} // namespace

class tst_Corners : public QObject
{
    Q_OBJECT

private slots:
    void generatedTracks_data();
    void generatedTracks();
    void realRecordings_data();
    void realRecordings();
    void commandLine();
};

void tst_Corners::generatedTracks_data()
{
    QTest::addColumn<ScenarioOptions>("options");
    QTest::newRow("road course with a chicane") << roadCourse();
    QTest::newRow("oval") << oval();
}

void tst_Corners::generatedTracks()
{
    QFETCH(ScenarioOptions, options);
    QVERIFY(options.track.closureGap() < 1e-6);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shaped.ibt"));
    Scenario scenario(options);
    QVERIFY2(scenario.write(path), qPrintable(scenario.errorString()));
    PluginFixture fixture;
    QVERIFY2(fixture.isLoaded(), qPrintable(fixture.errorString()));
    const SessionAnalysis analysis({{path, fixture.import(path).laps}});
    const FileAnalysis& file = analysis.files().first();
    const LapAnalysis* reference = analysis.referenceOf(0);
    QVERIFY(reference);

    const QVector<QPair<double, double>> expected = arcsOf(options.track);
    QCOMPARE(file.corners.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const Corner& corner = file.corners.at(i);
        QCOMPARE(corner.number, i + 1);
        QVERIFY2(std::fabs(corner.start - expected.at(i).first) < 3.0 && std::fabs(corner.end - expected.at(i).second) < 3.0,
                 qPrintable(QStringLiteral("corner %1: %2 to %3 m").arg(i + 1).arg(corner.start).arg(corner.end)));
        QVERIFY(corner.apex > corner.start && corner.apex < corner.end);
        const TrackShape::Piece& piece = options.track.pieces().at(options.track.pieceAt(corner.apex));
        if (piece.length >= expected.at(i).second - expected.at(i).first - 1e-6) // a corner of one arc: apex in its middle
            QVERIFY(std::fabs(corner.apex - (expected.at(i).first + expected.at(i).second) / 2.0) < 2.0);
    }

    const QVector<ScenarioLap>& driven = scenario.laps();
    for (const LapAnalysis& lap : file.laps) {
        if (!lap.validTime)
            continue;
        const auto found = std::find_if(driven.cbegin(), driven.cend(),
                                        [&](const ScenarioLap& l) { return l.lapNumber == lap.lap->lapNumber(); });
        QVERIFY(found != driven.cend());
        const SpeedProfile profile = scenario.profileOf(*found);
        const auto referenceLap = std::find_if(driven.cbegin(), driven.cend(),
                                               [&](const ScenarioLap& l) { return l.lapNumber == reference->lap->lapNumber(); });
        const SpeedProfile referenceProfile = scenario.profileOf(*referenceLap);
        qint64 total = 0;
        for (int i = 0; i < file.corners.size(); ++i) {
            const Corner& corner = file.corners.at(i);
            const CornerFigures& f = lap.cornerFigures.at(i);
            // Braking begins where the speed peaks before the corner.
            const double previousEnd = i == 0 ? file.corners.last().end - scenario.trackLengthM() : file.corners.at(i - 1).end;
            double peak = previousEnd, peakSpeed = 0.0;
            for (double d = previousEnd; d < expected.at(i).first; d += 0.25) {
                if (profile.speedAt(d) >= peakSpeed - 1e-9) {
                    peakSpeed = profile.speedAt(d);
                    peak = d;
                }
            }
            double slowest = 1e9;
            for (double d = expected.at(i).first; d <= expected.at(i).second; d += 0.25)
                slowest = std::min(slowest, profile.speedAt(d));
            QVERIFY2(std::fabs(f.brakePoint - (peak < 0 ? peak + scenario.trackLengthM() : peak)) < 2.0,
                     qPrintable(QStringLiteral("lap %1 corner %2 brakes at %3 m, expected %4 m")
                                    .arg(lap.lap->lapNumber()).arg(i + 1).arg(f.brakePoint).arg(peak)));
            QVERIFY(std::fabs(f.minSpeed - slowest) < 0.05);
            QVERIFY(f.minAt >= corner.start && f.minAt <= corner.end);
            QVERIFY(std::fabs(f.entrySpeed - profile.speedAt(f.brakePoint)) < 0.5);
            QVERIFY(std::fabs(f.exitSpeed - profile.speedAt(corner.end)) < 0.5);
            // The driver picks up the throttle in the middle of the arc the corner is tightest in.
            const int apexPiece = options.track.pieceAt(corner.apex);
            const double middle = options.track.pieceStart(apexPiece) + options.track.pieces().at(apexPiece).length / 2.0;
            QVERIFY2(std::fabs(f.throttleOn - middle) < 2.0, qPrintable(QString::number(f.throttleOn)));
            const double segmentFrom = i == 0 ? file.corners.last().end - scenario.trackLengthM() : file.corners.at(i - 1).end;
            const auto segment = [&](const SpeedProfile& p) {
                return segmentFrom < 0.0 ? p.lapTime() - p.timeAt(segmentFrom + scenario.trackLengthM()) + p.timeAt(corner.end)
                                         : p.timeAt(corner.end) - p.timeAt(segmentFrom);
            };
            const double expectedDelta = segment(profile) - segment(referenceProfile);
            QVERIFY2(std::fabs(f.delta - expectedDelta) < 0.004,
                     qPrintable(QStringLiteral("lap %1 corner %2: %3 s, expected %4 s")
                                    .arg(lap.lap->lapNumber()).arg(i + 1).arg(f.delta).arg(expectedDelta)));
            total += ms(f.delta);
        }
        QCOMPARE(total, ms(lap.deltaToReference));
    }
}

void tst_Corners::realRecordings_data()
{
    RealRecordings::addRows();
}

void tst_Corners::realRecordings()
{
    QFETCH(QString, path);
    PluginFixture fixture;
    const SessionAnalysis analysis({{path, fixture.import(path).laps}});
    const FileAnalysis& file = analysis.files().first();
    // A whole lap finds about as many corners as the track counts turns; an oval one per end.
    if (analysis.referenceOf(0)) {
        const int turns = file.info.trackTurns();
        if (file.info.trackType().contains(QLatin1String("oval")))
            QCOMPARE(file.corners.size(), 2);
        else
            QVERIFY2(std::abs(file.corners.size() - turns) <= std::max(2, turns / 3),
                     qPrintable(QStringLiteral("%1 corners, %2 turns").arg(file.corners.size()).arg(turns)));
    }
    for (int i = 1; i < file.corners.size(); ++i)
        QVERIFY(file.corners.at(i).start >= file.corners.at(i - 1).end);
    for (const LapAnalysis& lap : file.laps) {
        qint64 total = 0;
        bool known = !lap.cornerFigures.isEmpty();
        for (const CornerFigures& f : lap.cornerFigures) {
            known = known && !std::isnan(f.delta);
            if (known)
                total += ms(f.delta);
        }
        // The corners' times add up to the lap's delta at the line, to the millisecond.
        if (known)
            QCOMPARE(total, ms(lap.deltaToReference));
        QCOMPARE(known, lap.aligned.isComplete() && analysis.referenceOf(0) != nullptr);
    }
}

void tst_Corners::commandLine()
{
    // Two sessions of one car on the road course, the second with more wing; a third file without a setup.
    QTemporaryDir dir;
    ScenarioOptions options = roadCourse();
    const QString first = dir.filePath(QStringLiteral("first.ibt"));
    const QString second = dir.filePath(QStringLiteral("second.ibt"));
    const QString bare = dir.filePath(QStringLiteral("bare.ibt"));
    QVERIFY(Scenario(options).write(first));
    QByteArray info = Scenario(options).sessionInfo();
    options.sessionInfo = QByteArray(info).replace("WingAngle: 7.5 deg", "WingAngle: 9.0 deg");
    options.seed = 2;
    QVERIFY(Scenario(options).write(second));
    options.sessionInfo = info.left(info.indexOf("CarSetup:")) + "...\n";
    QVERIFY(Scenario(options).write(bare));

    QProcess process;
    process.start(QStringLiteral(ZEL_CLI_PATH), {QStringLiteral("--corners"), QStringLiteral("--setup"), QStringLiteral("--json"),
                                                 QStringLiteral("-"), first, second, bare});
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.exitCode(), 0);
    const QString text = QString::fromUtf8(process.readAllStandardError());
    const QJsonObject json = QJsonDocument::fromJson(process.readAllStandardOutput()).object();

    // The summary: at most three corners, each in a driver's words.
    static const QRegularExpression summary(QStringLiteral(
        "^  Turn \\d: (brakes \\d+ m (earlier|later), )?(minimum \\d+\\.\\d km/h (lower|higher), )?"
        "(throttle \\d+ m (earlier|later), )?-\\d\\.\\d\\d s$"));
    const QStringList lines = text.split(QLatin1Char('\n'));
    QVERIFY(std::count_if(lines.cbegin(), lines.cend(), [](const QString& l) { return l.startsWith(QLatin1String("  Turn ")); }) > 0);
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("  Turn ")))
            QVERIFY2(summary.match(line).hasMatch(), qPrintable(line));
    }
    // The setups side by side, the wing first among what differs.
    const int differ = text.indexOf(QLatin1String("Settings that differ:"));
    QVERIFY(differ >= 0 && text.indexOf(QLatin1String("Chassis / Rear / WingAngle")) > differ);
    QVERIFY(text.indexOf(QLatin1String("Chassis / Rear / WingAngle")) < text.indexOf(QLatin1String("The same in every file:")));
    QVERIFY(text.contains(QLatin1String("bare.ibt: no setup in this recording")));

    const QJsonArray files = json.value(QStringLiteral("files")).toArray();
    QCOMPARE(files.size(), 3);
    QCOMPARE(files.at(0)[QStringLiteral("setup")][QStringLiteral("Chassis")][QStringLiteral("Rear")][QStringLiteral("WingAngle")].toString(),
             QStringLiteral("7.5 deg"));
    QVERIFY(files.at(2)[QStringLiteral("setup")].isNull());
    const QStringList keys{QStringLiteral("brakePointM"), QStringLiteral("deltaMs"), QStringLiteral("entryKmh"), QStringLiteral("exitKmh"),
                           QStringLiteral("minAtM"), QStringLiteral("minKmh"), QStringLiteral("number"), QStringLiteral("throttleOnM")};
    for (const QJsonValue file : files) {
        QCOMPARE(file[QStringLiteral("corners")].toArray().size(), 5);
        QCOMPARE(file[QStringLiteral("corners")][0].toObject().keys(),
                 (QStringList{QStringLiteral("apexM"), QStringLiteral("endM"), QStringLiteral("number"), QStringLiteral("startM")}));
        for (const QJsonValue lap : file[QStringLiteral("laps")].toArray()) {
            const QJsonArray figures = lap[QStringLiteral("cornerFigures")].toArray();
            QCOMPARE(figures.size(), 5);
            qint64 total = 0;
            for (const QJsonValue f : figures) {
                QCOMPARE(f.toObject().keys(), keys);
                total += f[QStringLiteral("deltaMs")].toInt();
            }
            if (lap[QStringLiteral("validTime")].toBool())
                QCOMPARE(total, qint64(lap[QStringLiteral("deltaToReferenceMs")].toInt()));
        }
    }
}

QTEST_GUILESS_MAIN(tst_Corners)
#include "tst_corners.moc"
