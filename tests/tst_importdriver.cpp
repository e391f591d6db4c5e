#include "ibt/ibtsource.h"
#include "scenario/scenario.h"
#include "support/headerfields.h"
#include "support/importmessages.h"
#include "support/lapdump.h"
#include "support/pluginfixture.h"
#include "support/realrecordings.h"
#include "support/streamfeed.h"
#include "support/testfiles.h"

#include <QBuffer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(ScenarioOptions)

namespace {

/// A message with the path and the time of the import taken out.
QString said(QString message, const QString& path)
{
    static const QRegularExpression ms(QStringLiteral("\\d+ ms"));
    return message.replace(path, QStringLiteral("<path>")).replace(ms, QStringLiteral("? ms"));
}

/// What an import gave, path aside: every message, then each lap.
QStringList outcome(const ImportResult& result, const QString& path)
{
    QStringList lines;
    for (int i = 0; i < result.messages.size(); ++i)
        lines << QString::number(result.verbosities.at(i)) + QLatin1Char(' ') + said(result.messages.at(i), path);
    for (const auto& lap : result.laps)
        lines << lapDump(*lap);
    return lines;
}

/// Lap by lap: lapNumber lapInRun runNumber lapStatus completed lapTimeMs.
QString lapRow(const ZEL::Lap& lap)
{
    const QString time = lap.lapTime().isNull() ? QStringLiteral("null") : QString::number(lap.lapTime().msecsSinceStartOfDay());
    return QStringLiteral("%1 %2 %3 %4 %5 %6").arg(lap.lapNumber()).arg(lap.lapInRun()).arg(lap.runNumber())
        .arg(int(lap.lapStatus())).arg(int(lap.completed())).arg(time);
}

} // namespace

// Each failing read of a file has its own error, checked field by field in tst_robustness.
class tst_ImportDriver : public QObject
{
    Q_OBJECT

    PluginFixture m_fixture;
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_fixture.isLoaded(), qPrintable(m_fixture.errorString()));
        QVERIFY(m_dir.isValid());
    }

    void messages_data()
    {
        QTest::addColumn<QByteArray>("file"); // null: there is no file
        QTest::addColumn<QString>("last");    // the last message
        QTest::addColumn<int>("laps");

        const QByteArray good = TestFiles::twoLapScenario();
        QTest::newRow("no such file") << QByteArray() << "Can't open file <path>" << 0;
        QTest::newRow("empty file") << QByteArray("") << headerError << 0;
        QTest::newRow("whole file") << good << "Done in ? ms; Laps readed 4" << 4;
        // The lap open at the end of the file is always returned, empty or not.
        QTest::newRow("ends after the headers") << good.left(fieldOf(good, bufOffsetAt)) << "Done in ? ms; Laps readed 1" << 1;
    }

    void messages()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, last);
        QFETCH(int, laps);

        const QString path = m_dir.filePath(QStringLiteral("case.ibt"));
        QFile::remove(path);
        if (!file.isNull())
            TestFiles::write(path, file);
        const ImportResult result = m_fixture.import(path);
        QCOMPARE(outcome(result, path).mid(0, 3),
                 (QStringList{"0 " + messagePrefix + "Importing file <path> ...",
                              "0 " + messagePrefix + "Using format iRacing binary telemetry (*.ibt)",
                              (laps ? "0 " : "-2 ") + messagePrefix + last}));
        QCOMPARE(result.messages.size(), 3);
        QCOMPARE(result.laps.size(), laps);
        for (const auto& lap : result.laps) {
            QVERIFY(laps > 1 || (lap->sampleCount() == 0 && !lap->completed()));
            QCOMPARE(lap->simulatorName(), QStringLiteral("iRacing"));
            QCOMPARE(lap->pluginName(), QStringLiteral("ZEL iRacing ibt import plugin"));
        }
    }

    void otherInputs_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("input");

        const QByteArray good = TestFiles::twoLapScenario();
        for (const char* input : {"pipe", "sparse file, records past 2 GiB"}) {
            QTest::addRow("%s: whole file", input) << good << input;
            QTest::addRow("%s: partial last record", input) << good.left(good.size() - 1) << input;
        }
        // Held in memory in blocks of 16 MiB, which records straddle.
        ScenarioOptions wide;
        wide.wide = true;
        wide.minutes = 1.8;
        QBuffer buffer;
        buffer.open(QIODevice::ReadWrite);
        QVERIFY(Scenario(wide).write(&buffer) && buffer.size() > qint64(IbtSource::streamBlock));
        QTest::newRow("pipe: records across blocks") << buffer.data() << "pipe";
        QTest::newRow("pipe: record offset past end") << withField(good, bufOffsetAt, good.size() + 1) << "pipe";
        QTest::newRow("pipe: session info cut") << good.left(fieldOf(good, sessionInfoOffsetAt) + 10) << "pipe";
        QTest::newRow("pipe: header cut") << good.left(100) << "pipe";
        QTest::newRow("pipe: empty") << QByteArray() << "pipe";
    }

    // A stream that cannot seek, and a file whose records run on past 2 GiB, give what the same bytes
    // give from a small regular file: the same laps or the same error.
    void otherInputs()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, input);

        const QString regular = TestFiles::write(m_dir.filePath(QStringLiteral("regular.ibt")), file);
        const QStringList expected = outcome(m_fixture.import(regular), regular);

        if (input == QLatin1String("pipe")) {
            StreamFeed feed(m_dir.filePath(QStringLiteral("pipe.ibt")), StreamFeed::catCommand(regular));
            QVERIFY(feed.isValid());
            QCOMPARE(outcome(m_fixture.import(feed.path()), feed.path()), expected);
            return;
        }
        // The headers stay at the start; the records move to just before 2 GiB, behind a hole.
        const qint64 recordOffset = fieldOf(file, bufOffsetAt);
        const qint32 movedTo = INT_MAX - 3 * fieldOf(file, bufLenAt);
        const QString sparse = m_dir.filePath(QStringLiteral("sparse.ibt"));
        QFile big(sparse);
        QVERIFY(big.open(QIODevice::WriteOnly));
        const QByteArray head = withField(file.left(int(recordOffset)), bufOffsetAt, movedTo);
        QVERIFY(big.write(head) == head.size());
        if (!big.seek(movedTo) || big.write(file.mid(int(recordOffset))) != file.size() - recordOffset)
            QSKIP("this file system cannot hold a sparse file past 2 GiB");
        big.close();
        QCOMPARE(outcome(m_fixture.import(sparse), sparse), expected);
        QFile::remove(sparse);
    }

    void scenarioSessions_data()
    {
        QTest::addColumn<ScenarioOptions>("options");
        QTest::addColumn<QStringList>("laps"); // lapRow of each lap

        ScenarioOptions practice;
        practice.session = ScenarioOptions::Session::Practice;
        practice.lapSeconds = 30;
        practice.timedLaps = 3;
        practice.pitStop = practice.resetToPits = practice.blankRecords = true;
        practice.firstLap = 5;
        practice.driverCount = 4;
        practice.playerCarIdx = 2;
        // Each run opens with an untimed out lap; the in-lap and the lap cut short by the reset go
        // with their run, which the next pit exit replaces; the file ends inside lap 12.
        QTest::newRow("practice with pit stop and reset") << practice
            << QStringList{"5 0 2 0 1 3599000", "6 1 2 1 1 29962", "8 0 3 0 1 3599000", "9 1 3 1 1 30152",
                           "10 0 4 0 1 3599000", "11 1 4 1 1 29985", "12 2 4 1 0 3599000"};

        ScenarioOptions race = practice;
        race.session = ScenarioOptions::Session::Race;
        race.pitStop = race.resetToPits = race.blankRecords = false;
        race.firstLap = 0;
        race.driverCount = 6;
        race.playerCarIdx = 3;
        // The grid lies beyond 0.65, so the run begins at the start; the first lap is finished at the
        // line, before the simulator gives it a time.
        QTest::newRow("race from the grid")
            << race << QStringList{"0 0 1 0 1 3599000", "1 1 1 1 1 30100", "2 2 1 1 1 29987", "3 3 1 1 1 30023",
                                   "4 4 1 1 0 3599000"};
    }

    void scenarioSessions()
    {
        QFETCH(ScenarioOptions, options);
        QFETCH(QStringList, laps);

        const QString path = m_dir.filePath(QStringLiteral("scenario.ibt"));
        Scenario scenario(options);
        QVERIFY2(scenario.write(path), qPrintable(scenario.errorString()));
        const ImportResult result = m_fixture.import(path);

        QStringList actual;
        QSet<QUuid> lapIds;
        for (const auto& lap : result.laps) {
            actual << lapRow(*lap);
            lapIds.insert(lap->lapId());
            QVERIFY(lap->sampleCount() > 0);
            QCOMPARE(lap->carId(), QVariant(options.playerCarIdx));
            QCOMPARE(int(lap->sessionType()), options.session == ScenarioOptions::Session::Race ? 5 : 1);
        }
        QCOMPARE(actual, laps);
        QCOMPARE(lapIds.size(), result.laps.size());
        // Laps of one run share its identity; a new run gets a new one.
        for (int i = 1; i < result.laps.size(); ++i) {
            const bool sameRun = result.laps.at(i)->runNumber() == result.laps.at(i - 1)->runNumber();
            QCOMPARE(result.laps.at(i)->runId() == result.laps.at(i - 1)->runId(), sameRun);
        }
    }

    void realRecordings_data()
    {
        QTest::addColumn<QString>("track");
        QTest::addColumn<QString>("car");
        QTest::addColumn<QString>("session");
        QTest::addColumn<QStringList>("laps");

        // lapRow and samples of each lap, worked out independently of this code from each recording's records.
        QTest::newRow("audir8gt3_indianapolis_testing_tiny")
            << "Indianapolis Motor Speedway" << "Audi R8 LMS" << "Offline Testing" << QStringList{"4 0 1 0 0 3599000 23"};
        QTest::newRow("formulavee_tsukuba1kouter_testing") << "Tsukuba Circuit 1k Outer" << "Formula Vee" << "Offline Testing"
            << QStringList{"0 0 2 0 1 3599000 13", "1 1 2 1 1 25914 1554", "2 2 2 1 1 23979 1438",
                           "3 3 2 1 0 3599000 220"};
        QTest::newRow("mercedesamggt4_sebring_raceevent_practice")
            << "Sebring International Raceway" << "Mercedes AMG GT4" << "Practice" << QStringList{"8 0 2 -1 0 3599000 2240"};
        QTest::newRow("mercedesamggt4_spielberg_testing_outlap")
            << "Red Bull Ring" << "Mercedes AMG GT4" << "Offline Testing" << QStringList{"0 0 1 0 0 3599000 2771"};
        // Parked on pit road throughout: the one lap returned never received a sample.
        QTest::newRow("mercedesw13_spielberg_testing_fragment")
            << QString() << QString() << QString() << QStringList{"0 0 0 -1 0 null 0"};
        QTest::newRow("skmodified_langley_testing") << "Langley Speedway" << "Modified - SK" << "Offline Testing"
            << QStringList{"183 0 2 0 1 3599000 915", "184 1 2 1 1 15195 910", "185 2 2 1 1 15277 916",
                           "186 0 3 0 1 3599000 885", "187 1 3 1 0 3599000 971"};
        QTest::newRow("skmodifiedtour_martinsville_practice") << "Martinsville Speedway" << "Modified - Tour" << "Practice"
            << QStringList{"31 0 2 0 1 3599000 1258", "32 1 2 1 1 19301 1157", "33 2 2 1 1 19545 1172",
                           "34 3 2 1 0 3599000 806"};
    }

    void realRecordings()
    {
        QFETCH(QString, track);
        QFETCH(QString, car);
        QFETCH(QString, session);
        QFETCH(QStringList, laps);

        const QString path = RealRecordings::directory() + QLatin1Char('/') + QLatin1String(QTest::currentDataTag())
                             + QStringLiteral(".ibt");
        if (!QFileInfo::exists(path))
            QSKIP(qPrintable(QStringLiteral("real recording not found: %1").arg(path)));

        const ImportResult result = m_fixture.import(path);
        QCOMPARE(said(result.messages.last(), path),
                 messagePrefix + QStringLiteral("Done in ? ms; Laps readed %1").arg(result.laps.size()));
        QStringList actual;
        for (const auto& lap : result.laps) {
            actual << lapRow(*lap) + QLatin1Char(' ') + QString::number(lap->sampleCount());
            for (const auto& channel : lap->channels())
                QCOMPARE(channel->size(), lap->sampleCount());
            if (lap->isEmpty())
                continue;
            QVERIFY2(lap->trackName().startsWith(track), qPrintable(lap->trackName()));
            QCOMPARE(lap->carName(), car);
            QCOMPARE(lap->value(QStringLiteral("Session name")).value.toString(), session);
            QCOMPARE(int(lap->sessionType()), session == QLatin1String("Practice") ? 1 : 0);
            QCOMPARE(lap->value(QStringLiteral("Track length")).unit(), QStringLiteral("km"));
            QVERIFY(lap->channel(QStringLiteral("sessiontime")));
            QVERIFY(!lap->channel(QStringLiteral("sessionnum")));
        }
        QCOMPARE(actual, laps);
    }
};

QTEST_GUILESS_MAIN(tst_ImportDriver)
#include "tst_importdriver.moc"
