#include "analysis/sessionanalysis.h"
#include "scenario/scenario.h"
#include "support/clirun.h"
#include "support/near.h"
#include "support/pluginfixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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
    void generatedTracks_data()
    {
        QTest::addColumn<ScenarioOptions>("options");
        QTest::newRow("road course with a chicane") << roadCourse();
        QTest::newRow("oval") << oval();
    }

    void generatedTracks()
    {
        QFETCH(ScenarioOptions, options);
        QVERIFY(options.track.closureGap() < 1e-6);
        Scenario scenario(options);
        const SessionAnalysis analysis = PluginFixture().analyse(scenario);
        const FileAnalysis& file = analysis.files().first();
        const LapAnalysis* reference = analysis.referenceOf(0);
        QVERIFY(reference);

        const QVector<QPair<double, double>> expected = arcsOf(options.track);
        QCOMPARE(file.corners.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            const Corner& corner = file.corners.at(i);
            QCOMPARE(corner.number, i + 1);
            COMPARE_NEAR(corner.start, expected.at(i).first, 3.0);
            COMPARE_NEAR(corner.end, expected.at(i).second, 3.0);
            QVERIFY(corner.apex > corner.start && corner.apex < corner.end);
            const TrackShape::Piece& piece = options.track.pieces().at(options.track.pieceAt(corner.apex));
            if (piece.length >= expected.at(i).second - expected.at(i).first - 1e-6) // a corner of one arc: apex in its middle
                COMPARE_NEAR(corner.apex, (expected.at(i).first + expected.at(i).second) / 2.0, 2.0);
        }

        const QVector<ScenarioLap>& driven = scenario.laps();
        for (const LapAnalysis& lap : file.laps) {
            if (!lap.validTime)
                continue;
            const auto profileOf = [&](const LapAnalysis& analysed) {
                return scenario.profileOf(*std::find_if(driven.cbegin(), driven.cend(), [&](const ScenarioLap& l) {
                    return l.lapNumber == analysed.lap->lapNumber();
                }));
            };
            const SpeedProfile profile = profileOf(lap), referenceProfile = profileOf(*reference);
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
                COMPARE_NEAR(f.brakePoint, peak < 0 ? peak + scenario.trackLengthM() : peak, 2.0);
                COMPARE_NEAR(f.minSpeed, slowest, 0.05);
                QVERIFY(f.minAt >= corner.start && f.minAt <= corner.end);
                COMPARE_NEAR(f.entrySpeed, profile.speedAt(f.brakePoint), 0.5);
                COMPARE_NEAR(f.exitSpeed, profile.speedAt(corner.end), 0.5);
                // The driver picks up the throttle in the middle of the arc the corner is tightest in.
                const int apexPiece = options.track.pieceAt(corner.apex);
                COMPARE_NEAR(f.throttleOn, options.track.pieceStart(apexPiece) + options.track.pieces().at(apexPiece).length / 2.0, 2.0);
                // The corner's time runs from the end of the corner before.
                const auto segment = [&](const SpeedProfile& p) {
                    return previousEnd < 0.0 ? p.lapTime() - p.timeAt(previousEnd + scenario.trackLengthM()) + p.timeAt(corner.end)
                                             : p.timeAt(corner.end) - p.timeAt(previousEnd);
                };
                COMPARE_NEAR(f.delta, segment(profile) - segment(referenceProfile), 0.004);
                total += ms(f.delta);
            }
            QCOMPARE(total, ms(lap.deltaToReference));
        }
    }

    void commandLine()
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

        QString text;
        QJsonObject json;
        QCOMPARE(runCli({"--corners", "--setup", "--json", "-", first, second, bare}, &json, &text), 0);

        // The summary: at most three corners, each in a driver's words.
        static const QRegularExpression summary(QStringLiteral(
            "^  Turn \\d: (brakes \\d+ m (earlier|later), )?(minimum \\d+\\.\\d km/h (lower|higher), )?"
            "(throttle \\d+ m (earlier|later), )?-\\d\\.\\d\\d s$"));
        const QStringList turns = text.split('\n').filter(QRegularExpression("^  Turn "));
        QVERIFY(!turns.isEmpty());
        for (const QString& line : turns)
            QVERIFY2(summary.match(line).hasMatch(), qPrintable(line));
        // The setups side by side, the wing first among what differs.
        const int wing = text.indexOf("Chassis / Rear / WingAngle");
        QVERIFY(text.indexOf("Settings that differ:") >= 0 && wing > text.indexOf("Settings that differ:"));
        QVERIFY(wing < text.indexOf("The same in every file:") && text.contains("bare.ibt: no setup in this recording"));

        const QJsonArray files = json["files"].toArray();
        QCOMPARE(files.size(), 3);
        QCOMPARE(files.at(0)["setup"]["Chassis"]["Rear"]["WingAngle"].toString(), QStringLiteral("7.5 deg"));
        QVERIFY(files.at(2)["setup"].isNull());
        const QStringList keys{"brakePointM", "deltaMs", "entryKmh", "exitKmh", "minAtM", "minKmh", "number", "throttleOnM"};
        for (const QJsonValue file : files) {
            QCOMPARE(file["corners"].toArray().size(), 5);
            QCOMPARE(file["corners"][0].toObject().keys(), (QStringList{"apexM", "endM", "number", "startM"}));
            for (const QJsonValue lap : file["laps"].toArray()) {
                const QJsonArray figures = lap["cornerFigures"].toArray();
                QCOMPARE(figures.size(), 5);
                qint64 total = 0;
                for (const QJsonValue f : figures) {
                    QCOMPARE(f.toObject().keys(), keys);
                    total += f["deltaMs"].toInt();
                }
                if (lap["validTime"].toBool())
                    QCOMPARE(total, qint64(lap["deltaToReferenceMs"].toInt()));
            }
        }
    }
};

QTEST_GUILESS_MAIN(tst_Corners)
#include "tst_corners.moc"
