#include "analysis/sessionanalysis.h"
#include "analysis/timedelta.h"
#include "scenario/scenario.h"
#include "support/headerfields.h"
#include "support/near.h"
#include "support/pluginfixture.h"
#include "support/realrecordings.h"
#include "support/testfiles.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>
#include <numeric>

Q_DECLARE_METATYPE(ScenarioOptions)

namespace {

using Values = QVector<double>;
const double marker = ZEL::missingValue;

/// A lap of the named channels; "sessiontime" defaults to 0.1 s per sample.
ZEL::Lap lapOf(const QMap<QString, Values>& channels)
{
    ZEL::Lap lap;
    int n = 0;
    for (auto it = channels.cbegin(); it != channels.cend(); ++it) {
        auto* channel = new ZEL::Channel;
        channel->values = it.value();
        lap.addChannel(channel, it.key());
        n = it.value().size();
    }
    if (!channels.contains(QStringLiteral("sessiontime"))) {
        auto* time = new ZEL::Channel;
        for (int i = 0; i < n; ++i)
            time->append(0.1 * i);
        lap.addChannel(time, QStringLiteral("sessiontime"));
    }
    return lap;
}

/// A lap at 10 m/s from the line over `length` metres, a sample per metre, except that each
/// stretch (from, to, seconds) takes that much longer, spread evenly over it.
ZEL::Lap lapWithStretches(double length, const QVector<Values>& stretches)
{
    Values distance, time;
    double t = 0.0;
    for (int d = 0; d <= int(length); ++d) {
        distance.append(d);
        time.append(t);
        double step = 0.1;
        for (const Values& s : stretches)
            step += d >= s.at(0) && d < s.at(1) ? s.at(2) / (s.at(1) - s.at(0)) : 0.0;
        t += step;
    }
    return lapOf({{QStringLiteral("lapdist"), distance}, {QStringLiteral("sessiontime"), time}});
}

double sum(const Values& values)
{
    return std::accumulate(values.cbegin(), values.cend(), 0.0);
}

} // namespace

class tst_SessionAnalysis : public QObject
{
    Q_OBJECT

private slots:
    void recordingInfo_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QString>("recordedAt");
        QTest::addColumn<Values>("sectors");

        ScenarioOptions options;
        options.tickRate = 5;
        options.timedLaps = 1;
        const QByteArray file = TestFiles::scenario(options);
        const QString date = QStringLiteral("2024-05-25T01:30:00Z");
        const Values quarters{0.0, 0.25, 0.5, 0.75};

        QTest::newRow("whole file") << file << true << date << quarters;
        QTest::newRow("no date") << withField(withField(file, sizeof(irsdk_header), 0), sizeof(irsdk_header) + 4, 0)
                                 << true << QString() << quarters;
        QTest::newRow("cut inside the sub-header") << file.left(sizeof(irsdk_header) + 20) << false << QString() << Values{};
        QTest::newRow("session info past the end") << withField(file, sessionInfoLenAt, file.size()) << false << date << Values{};
        QTest::newRow("negative session-info offset") << withField(file, sessionInfoOffsetAt, -8) << false << date << Values{};

        // A file listing these sectors, sector n starting at (n + 1) / (count + 1) of the lap.
        const auto sectored = [options](const QVector<int>& sectors) {
            QByteArray list = "SplitTimeInfo:\n Sectors:\n";
            for (const int n : sectors)
                list += " - SectorNum: " + QByteArray::number(n) + "\n   SectorStartPct: "
                        + QByteArray::number((n + 1.0) / (sectors.size() + 1), 'f', 6) + "\n";
            ScenarioOptions listed = options;
            listed.sessionInfo = Scenario(options).sessionInfo().replace("SplitTimeInfo:", list + "OldSplitTimeInfo:");
            return TestFiles::scenario(listed);
        };
        // Sector numbers above 9 sort before 2 as names; the starts come back in lap order, the line first.
        Values twelveStarts{0.0};
        for (int sector = 0; sector < 12; ++sector)
            twelveStarts.append(QByteArray::number((sector + 1) / 13.0, 'f', 6).toDouble());
        QTest::newRow("twelve sectors, the first after the line")
            << sectored({0, 1, 10, 11, 2, 3, 4, 5, 6, 7, 8, 9}) << true << date << twelveStarts;
        // More sectors than any track has: a forged list, taken for none rather than a time per sector per lap.
        QVector<int> many(1000);
        std::iota(many.begin(), many.end(), 0);
        QTest::newRow("a thousand sectors") << sectored(many) << true << date << Values{};
    }

    void recordingInfo()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, readable);
        QFETCH(QString, recordedAt);
        QFETCH(Values, sectors);

        QTemporaryDir dir;
        RecordingInfo info;
        QCOMPARE(info.read(TestFiles::write(dir.filePath(QStringLiteral("info.ibt")), file)), readable);
        if (readable || !recordedAt.isEmpty())
            QCOMPARE(info.recordedAt().toString(Qt::ISODate), recordedAt);
        QCOMPARE(info.sectorStartPct(), sectors);
        if (readable)
            QCOMPARE(info.trackLengthM(), 2700.0);
    }

    void alignment_data()
    {
        QTest::addColumn<ZEL::Lap>("lap");
        QTest::addColumn<double>("trackLength");
        QTest::addColumn<Values>("distance"); // aligned
        QTest::addColumn<QVector<int>>("index");
        QTest::addColumn<Values>("time");     // elapsed at the aligned samples
        QTest::addColumn<bool>("startsAtLine");
        QTest::addColumn<bool>("endsAtLine");

        const QString d = QStringLiteral("lapdist"), s = QStringLiteral("speed"), la = QStringLiteral("lat"),
                      lo = QStringLiteral("lon");
        QTest::newRow("a sample zeroed mid-lap is left out")
            << lapOf({{d, {1, 2, 0, 4}}, {s, {10, 10, 0, 10}}, {la, {1, 1, 0, 1}}, {lo, {2, 2, 0, 2}}}) << 100.0
            << Values{1, 2, 4} << QVector<int>{0, 1, 3} << Values{0.1, 0.2, 0.4} << true << false;
        QTest::newRow("missing values are left out")
            << lapOf({{d, {50, marker, 52, 53}}, {QStringLiteral("sessiontime"), {0.0, 0.1, marker, 0.3}}}) << 53.0
            << Values{50, 53} << QVector<int>{0, 3} << Values{0.0, 0.3} << false << true;
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("infinite, NaN and far-off values are left out")
            << lapOf({{d, {-inf, 80, std::nan(""), 1e20, 85, 90}}, {QStringLiteral("sessiontime"), {0, 0.1, 0.2, 0.3, inf, 0.5}}})
            << 1000.0 << Values{80, 90} << QVector<int>{1, 5} << Values{0.0, 0.4} << false << false;
        QTest::newRow("a reset back down the lap ends it")
            << lapOf({{d, {30, 40, 50, 20, 30, 45, 55}}}) << 1000.0 << Values{30, 40, 50, 55}
            << QVector<int>{0, 1, 2, 6} << Values{0.0, 0.1, 0.2, 0.6} << false << false;
        // A car covers at most 14 m in the tenth of a second between these records.
        QTest::newRow("one record jumping ahead and back is a glitch")
            << lapOf({{d, {100, 110, 900, 120, 130}}}) << 1000.0 << Values{100, 110, 120, 130} << QVector<int>{0, 1, 3, 4}
            << Values{0.0, 0.1, 0.3, 0.4} << false << false;
        QTest::newRow("a glitch at the first record")
            << lapOf({{d, {500, 1, 11, 21}}}) << 1000.0 << Values{1, 11, 21} << QVector<int>{1, 2, 3}
            << Values{0.01, 0.11, 0.21} << true << false;
        QTest::newRow("two records jumping ahead are glitches too")
            << lapOf({{d, {100, 110, 700, 701, 120, 130}}}) << 1000.0 << Values{100, 110, 120, 130}
            << QVector<int>{0, 1, 4, 5} << Values{0.0, 0.1, 0.4, 0.5} << false << false;
        QTest::newRow("a car towed ahead is where the records after agree")
            << lapOf({{d, {100, 110, 700, 710, 720, 730}}}) << 1000.0 << Values{100, 110, 700, 710, 720, 730}
            << QVector<int>{0, 1, 2, 3, 4, 5} << Values{0.0, 0.1, 0.2, 0.3, 0.4, 0.5} << false << false;
        QTest::newRow("standing still keeps the first sample there")
            << lapOf({{d, {100, 110, 110, 110, 120}}}) << 1000.0 << Values{100, 110, 120} << QVector<int>{0, 1, 4}
            << Values{0.0, 0.1, 0.4} << false << false;
        QTest::newRow("a sample before the line counted to the lap")
            << lapOf({{d, {999.5, 0.5, 1.5}}}) << 1000.0 << Values{-0.5, 0.5, 1.5} << QVector<int>{0, 1, 2}
            << Values{-0.05, 0.05, 0.15} << true << false;
        QTest::newRow("a lap driven on past the line keeps counting")
            << lapOf({{d, {997, 998, 999, 999.75, 0.5, 1.5}}, {QStringLiteral("sessiontime"), {0, 1, 2, 3, 4, 5}}})
            << 1000.0 << Values{997, 998, 999, 999.75, 1000.5, 1001.5} << QVector<int>{0, 1, 2, 3, 4, 5}
            << Values{0, 1, 2, 3, 4, 5} << false << true;

        ZEL::Lap fractions = lapOf({{QStringLiteral("lapdistpct"), {0.0005, 0.25, 0.5, 0.9999}},
                                    {QStringLiteral("sessiontime"), {0, 10, 20, 30}}});
        fractions.setValue(QStringLiteral("Track length"), 2.0, QStringLiteral("km"));
        QTest::newRow("only the fraction: times the lap's track length")
            << fractions << 0.0 << Values{1, 500, 1000, 1999.8} << QVector<int>{0, 1, 2, 3}
            << Values{10.0 / 499, 10 + 10.0 / 499, 20 + 10.0 / 499, 30 + 10.0 / 499}
            << true << true;
    }

    void alignment()
    {
        QFETCH(ZEL::Lap, lap);
        QFETCH(double, trackLength);
        QFETCH(Values, distance);
        QFETCH(QVector<int>, index);
        QFETCH(Values, time);
        QFETCH(bool, startsAtLine);
        QFETCH(bool, endsAtLine);

        const AlignedLap aligned = AlignedLap::of(lap, trackLength);
        QCOMPARE(aligned.sampleIndex(), index);
        QCOMPARE(aligned.distance().size(), distance.size());
        for (int k = 0; k < distance.size(); ++k) {
            COMPARE_NEAR(aligned.distance().at(k), distance.at(k), 1e-3);
            COMPARE_NEAR(aligned.time().at(k), time.at(k), 1e-9);
        }
        QCOMPARE(aligned.startsAtLine(), startsAtLine);
        QCOMPARE(aligned.endsAtLine(), endsAtLine);
        QCOMPARE(std::isnan(aligned.timeAt(0.0)), !startsAtLine && distance.first() > 0.0);
    }

    void kinds_data()
    {
        QTest::addColumn<ZEL::Lap>("lap");
        QTest::addColumn<bool>("first"); // the recording's first lap
        QTest::addColumn<QString>("kind");

        const QString d = QStringLiteral("lapdist"), s = QStringLiteral("speed"), pit = QStringLiteral("onpitroad"),
                      surface = QStringLiteral("playertracksurface");
        const auto lap = [](ZEL::Lap lap, ZEL::LapHeader::LapStatus status, bool completed) {
            lap.setLapStatus(status);
            lap.setCompleted(completed);
            return lap;
        };
        const auto out = ZEL::LapHeader::LapStatusOutLap;
        const ZEL::Lap onTrackFast = lapOf({{d, {500, 504}}, {s, {40, 40}}, {surface, {3, 3}}});
        QTest::newRow("recording starts on track at speed") << lap(onTrackFast, out, true) << true << "joined";
        QTest::newRow("a later out lap leaves the pits") << lap(onTrackFast, out, true) << false << "out";
        QTest::newRow("on pit road") << lap(lapOf({{d, {500, 504}}, {s, {40, 40}}, {surface, {2, 2}}}), out, true) << true << "out";
        QTest::newRow("off pit road, slowly: leaving the pits")
            << lap(lapOf({{d, {500, 501}}, {s, {13, 13}}, {pit, {0, 0}}}), out, true) << true << "out";
        QTest::newRow("off pit road at speed, no track location")
            << lap(lapOf({{d, {500, 504}}, {s, {40, 40}}, {pit, {0, 0}}}), out, true) << true << "joined";
        QTest::newRow("timed") << lap(onTrackFast, ZEL::LapHeader::LapStatusTimedLap, true) << false << "timed";
        QTest::newRow("the recording ended in it") << lap(onTrackFast, ZEL::LapHeader::LapStatusTimedLap, false) << false
                                                   << "unfinished";
        QTest::newRow("no status") << lap(onTrackFast, ZEL::LapHeader::LapStatusUnknown, true) << false << "-";
    }

    void kinds()
    {
        QFETCH(ZEL::Lap, lap);
        QFETCH(bool, first);
        QFETCH(QString, kind);
        QCOMPARE(LapKind::label(LapKind::of(lap, AlignedLap::of(lap, 1000.0), first)), kind);
    }

    // A file cut before half a lap still measures its track from its samples, not the rounded figure.

    void cutFileMeasuresItsTrack()
    {
        ScenarioOptions options;
        options.minutes = 0.4; // the out lap and a third of a lap
        options.sessionInfo = Scenario(options).sessionInfo().replace("TrackLength: 2.70 km", "TrackLength: 2.76 km");
        Scenario scenario(options);
        const SessionAnalysis analysis = PluginFixture().analyse(scenario);
        QCOMPARE(analysis.files().first().info.trackLengthM(), 2760.0);
        COMPARE_NEAR(analysis.files().first().trackLength, scenario.trackLengthM(), 0.1);
    }

    void references_data()
    {
        QTest::addColumn<QByteArray>("from"); // replaced in the second file's session info
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<bool>("shared");     // one reference for both files
        QTest::addColumn<bool>("sameTrack");

        QTest::newRow("same track, layout and car") << QByteArray() << QByteArray() << true << true;
        QTest::newRow("another car") << QByteArray("Apex GT4 Hybrid") << QByteArray("Apex GT3") << false << true;
        QTest::newRow("another layout") << QByteArray("Grand Prix") << QByteArray("Club") << false << false;
        QTest::newRow("two unnamed tracks") << QByteArray("Lakeside Motor Park") << QByteArray() << false << false;
    }

    void references()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(bool, shared);
        QFETCH(bool, sameTrack);

        QTemporaryDir dir;
        PluginFixture fixture;
        QVector<SessionAnalysis::Input> inputs;
        for (int f = 0; f < 2; ++f) {
            ScenarioOptions options;
            options.tickRate = 5;
            options.timedLaps = 1;
            options.seed = 1 + f;
            options.sessionInfo = Scenario(options).sessionInfo();
            // The first file names no track either when the second names none.
            if (!from.isEmpty() && (f == 1 || to.isEmpty()))
                options.sessionInfo.replace(from, to);
            const QString path = dir.filePath(QStringLiteral("%1.ibt").arg(f));
            QVERIFY(Scenario(options).write(path));
            inputs.append({path, fixture.import(path).laps});
        }
        const SessionAnalysis analysis(inputs);
        QCOMPARE(SessionAnalysis::sameTrack(analysis.files().at(0), analysis.files().at(1)), sameTrack);
        QVERIFY(analysis.referenceOf(0) && analysis.referenceOf(1));
        QCOMPARE(analysis.referenceOf(0) == analysis.referenceOf(1), shared);
        if (!shared)
            QCOMPARE(analysis.files().at(1).referenceFile, 1);
    }

    void swings()
    {
        // Against a steady lap, this one loses half a second from 200 to 300 m and gains 0.3 s from
        // 600 to 700 m; a 5 ms wiggle in between must not count.
        const ZEL::Lap reference = lapWithStretches(1000.0, {});
        const ZEL::Lap lap = lapWithStretches(1000.0, {{200, 300, 0.5}, {400, 410, 0.005}, {600, 700, -0.3}});
        const AlignedLap a = AlignedLap::of(lap, 1000.0), r = AlignedLap::of(reference, 1000.0);
        const TimeDelta delta(a, r);
        QVERIFY(a.isComplete() && r.isComplete());
        COMPARE_NEAR(delta.atLine(), 0.205, 1e-9);
        COMPARE_NEAR(delta.at(450.0), 0.505, 1e-9);
        QStringList swings; // from, to, change in ms
        for (const TimeDelta::Swing& swing : delta.largestSwings(2, 5.0))
            swings << QStringLiteral("%1-%2 %3").arg(swing.from).arg(swing.to).arg(std::llround(swing.change * 1000.0));
        QCOMPARE(swings, (QStringList{"200-300 500", "600-700 -300"}));
    }

    void stats_data()
    {
        QTest::addColumn<Values>("times");
        QTest::addColumn<Values>("expected"); // best, mean, median, standard deviation

        const double nan = std::nan("");
        QTest::newRow("none") << Values{} << Values{nan, nan, nan, nan};
        QTest::newRow("one: no spread known") << Values{61.5} << Values{61.5, 61.5, 61.5, nan};
        QTest::newRow("odd count, unsorted") << Values{62.0, 60.0, 67.0} << Values{60.0, 63.0, 62.0, std::sqrt(13.0)};
        QTest::newRow("even count") << Values{60.0, 61.0, 62.0, 65.0} << Values{60.0, 62.0, 61.5, std::sqrt(14.0 / 3.0)};
    }

    void stats()
    {
        QFETCH(Values, times);
        QFETCH(Values, expected);
        const LapTimeStats stats = LapTimeStats::of(times);
        const Values got{stats.best, stats.mean, stats.median, stats.stdDev};
        for (int i = 0; i < 4; ++i) {
            QVERIFY2(std::isnan(expected.at(i)) ? std::isnan(got.at(i)) : std::fabs(got.at(i) - expected.at(i)) < 1e-12,
                     qPrintable(QString::number(got.at(i))));
        }
    }

    void scenarioGeometry_data()
    {
        QTest::addColumn<ScenarioOptions>("options");
        ScenarioOptions practice;
        practice.timedLaps = 3;
        QTest::newRow("2.7 km, three flying laps") << practice;
        ScenarioOptions long10;
        long10.lapSeconds = 10000.0 / 45.0; // the scenario's mean speed is 45 m/s
        long10.timedLaps = 2;
        long10.tickRate = 30;
        QTest::newRow("10 km at 30 records per second") << long10;
    }

    void scenarioGeometry()
    {
        QFETCH(ScenarioOptions, options);
        Scenario scenario(options);
        const SessionAnalysis analysis = PluginFixture().analyse(scenario);
        const FileAnalysis& file = analysis.files().first();
        const double length = scenario.trackLengthM();
        const double step = 1.0 / options.tickRate;

        COMPARE_NEAR(file.trackLength, length, 0.01);
        const LapAnalysis* reference = analysis.referenceOf(0);
        QVERIFY(file.sectors.count() == 4 && file.hasMap && reference);

        // The slowest point of the profile sets the top speed of a flying lap.
        double slowest = 1e9;
        for (double p = 0.0; p <= 1.0; p += 5e-5)
            slowest = std::min(slowest, (Scenario::lapTimeShare(p + 1e-6) - Scenario::lapTimeShare(p - 1e-6)) / 2e-6);
        int flying = 0;
        for (const LapAnalysis& lap : file.laps) {
            // Every mapped sample lies where the circuit puts that distance.
            for (int k = 0; k < lap.aligned.size(); ++k) {
                const QPointF expected = Scenario::circuitPosition(lap.aligned.distance().at(k) / length, length);
                COMPARE_NEAR(std::hypot(lap.map.x().at(k) - expected.x(), lap.map.y().at(k) - expected.y()), 0.0, 1.0);
            }
            if (!lap.validTime)
                continue;
            ++flying;
            QVERIFY(lap.aligned.isComplete());
            QCOMPARE(std::llround(sum(lap.sectorTimes) * 1000.0), std::llround(lap.lapTime * 1000.0));
            // Sector times and the delta follow the profile scaled to each lap's time.
            for (int k = 0; k < 4; ++k) {
                const double share = Scenario::lapTimeShare((k + 1) / 4.0) - Scenario::lapTimeShare(k / 4.0);
                COMPARE_NEAR(lap.sectorTimes.at(k), lap.lapTime * share, step);
            }
            const TimeDelta delta(lap.aligned, reference->aligned);
            for (int i = 0; i <= 50; ++i)
                COMPARE_NEAR(delta.at(i / 50.0 * file.trackLength), (lap.lapTime - reference->lapTime) * Scenario::lapTimeShare(i / 50.0), step);
            COMPARE_NEAR(lap.figures.topSpeed, length / (lap.lapTime * slowest), 0.005 * lap.figures.topSpeed);
            QVERIFY(lap.lapTime >= reference->lapTime);
        }
        QCOMPARE(flying, options.timedLaps);
        COMPARE_NEAR(file.stats.best, reference->lapTime, 1e-9);
        COMPARE_NEAR(file.theoreticalBest, sum(file.bestSectors), 1e-9);
        QVERIFY(file.theoreticalBest <= reference->lapTime);
    }

    void realRecordings_data()
    {
        RealRecordings::addRows();
    }

    void realRecordings()
    {
        QFETCH(QString, path);
        const SessionAnalysis analysis = PluginFixture().analyse(path);
        const FileAnalysis& file = analysis.files().first();

        const QString sessionInfo = QString::fromLatin1(RealRecordings::sessionInfoText(path));
        QCOMPARE(file.sectors.count(), sessionInfo.count(QRegularExpression(QStringLiteral("SectorStartPct: "))));
        QVERIFY(file.info.recordedAt().isValid());
        // What the file is comes from its session info, laps or none (the W13 fragment has no samples).
        QVERIFY(!file.trackName.isEmpty() && !file.carName.isEmpty() && !file.driverName.isEmpty());
        QVERIFY(!file.sessionName.isEmpty() && file.sessionType >= 0);
        QVERIFY(file.laps.isEmpty() || std::fabs(file.trackLength - file.info.trackLengthM()) < 0.02 * file.trackLength);
        QVERIFY(!(file.theoreticalBest > file.stats.best));

        const LapAnalysis* reference = analysis.referenceOf(0);
        // A whole lap finds about as many corners as the track counts turns; an oval one per end.
        const int turns = file.info.trackTurns();
        if (reference && file.info.trackType().contains(QLatin1String("oval")))
            QCOMPARE(file.corners.size(), 2);
        else if (reference)
            QVERIFY2(std::abs(file.corners.size() - turns) <= std::max(2, turns / 3), qPrintable(QString::number(file.corners.size())));
        for (int i = 1; i < file.corners.size(); ++i)
            QVERIFY(file.corners.at(i).start >= file.corners.at(i - 1).end);
        for (const LapAnalysis& lap : file.laps) {
            const Values& d = lap.aligned.distance();
            const Values lat = lap.aligned.values(*lap.lap, QStringLiteral("lat"));
            for (int k = 0; k < d.size(); ++k) {
                QVERIFY(k == 0 || d.at(k) > d.at(k - 1));
                QVERIFY2(lat.at(k) != 0.0, "a sample the simulator zeroed was kept");
            }
            // The corners' times add up to the lap's delta at the line, to the millisecond.
            qint64 cornersMs = 0;
            bool known = !lap.cornerFigures.isEmpty();
            for (const CornerFigures& f : lap.cornerFigures) {
                known = known && !std::isnan(f.delta);
                cornersMs += known ? std::llround(f.delta * 1000.0) : 0;
            }
            QCOMPARE(known, lap.aligned.isComplete() && reference);
            if (known)
                QCOMPARE(cornersMs, std::llround(lap.deltaToReference * 1000.0));
            if (!lap.validTime)
                continue;
            // Sector sums, the time at the line and the end-of-lap delta are the recorded lap times.
            QVERIFY(lap.aligned.isComplete());
            QCOMPARE(std::llround(sum(lap.sectorTimes) * 1000.0), std::llround(lap.lapTime * 1000.0));
            QCOMPARE(lap.aligned.timeAt(0.0), 0.0);
            COMPARE_NEAR(lap.aligned.timeAt(lap.aligned.trackLength()), lap.lapTime, 1e-9);
            COMPARE_NEAR(TimeDelta(lap.aligned, reference->aligned).atLine(), lap.lapTime - reference->lapTime, 1e-9);
        }
    }
};

QTEST_GUILESS_MAIN(tst_SessionAnalysis)
#include "tst_sessionanalysis.moc"
