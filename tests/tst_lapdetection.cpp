#include "ibt/ibtreader.h"

#include <QtTest>

#include <QSet>

namespace {

// Car 0 Ann, car 1 a team without a driver name, car 2 Bob with 7 laps in the results.
QByteArray sessionText(const QString& driverCarIdx, const QString& sessionType)
{
    return QStringLiteral("DriverInfo:\n"
                          " DriverCarIdx: %1\n"
                          " Drivers:\n"
                          " - CarIdx: 0\n"
                          "   UserName: Ann\n"
                          " - CarIdx: 1\n"
                          "   TeamName: Nobody\n"
                          " - CarIdx: 2\n"
                          "   UserName: Bob\n"
                          "SessionInfo:\n"
                          " Sessions:\n"
                          " - SessionNum: 0\n"
                          "   SessionType: %2\n"
                          "   ResultsPositions:\n"
                          "   - Position: 1\n"
                          "     CarIdx: 2\n"
                          "     LapsComplete: 7\n")
        .arg(driverCarIdx, sessionType)
        .toLatin1();
}

// One record as "key=value" items; short names stand for the decoded variables, any other
// name is used as the key itself. Whole numbers are stored as int, the rest as float.
void setRecord(ZEL::Sample& sample, const QString& record)
{
    static const QMap<QString, QString> names = {
        {"on", "isontrack"}, {"pit", "onpitroad"}, {"pct", "lapdistpct"}, {"cur", "lapcurrentlaptime"},
        {"last", "laplastlaptime"}, {"st", "sessionstate"}};
    for (const QString& item : record.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString key = item.section(QLatin1Char('='), 0, 0);
        const QString text = item.section(QLatin1Char('='), 1);
        bool isInt = false;
        const int whole = text.toInt(&isInt);
        sample.setValue(names.value(key, key), isInt ? QVariant(whole) : QVariant(text.toFloat()), QString());
    }
}

QString describe(const ZEL::Lap& lap)
{
    return QStringLiteral("st%1 %2ms lap%3 inRun%4 run%5 %6 n%7")
        .arg(int(lap.lapStatus()))
        .arg(lap.lapTime().msecsSinceStartOfDay())
        .arg(lap.lapNumber())
        .arg(lap.lapInRun())
        .arg(lap.runNumber())
        .arg(lap.completed() ? QStringLiteral("done") : QStringLiteral("cut"))
        .arg(lap.sampleCount());
}

} // namespace

class tst_LapDetection : public QObject
{
    Q_OBJECT

private slots:
    void stateMachine_data();
    void stateMachine();
    void finishEmptyLap_data();
    void finishEmptyLap();
};

void tst_LapDetection::stateMachine_data()
{
    QTest::addColumn<QString>("sessionType");
    QTest::addColumn<QString>("driverCarIdx");
    QTest::addColumn<int>("car");             // the slot whose sample receives the records
    QTest::addColumn<QStringList>("records"); // "end" closes the player's lap as after the last record
    QTest::addColumn<QString>("states");      // lapState after each record
    QTest::addColumn<QStringList>("laps");    // the laps finished, in order
    QTest::addColumn<QString>("open");        // samples in lap / nextLap, then the car's lap counter

    const QString practice = QStringLiteral("Practice");
    const QString race = QStringLiteral("Race");
    const QString ann = QStringLiteral("0");

    QTest::newRow("practice out lap, timed lap, cut-off lap")
        << practice << ann << 0
        << QStringList{"on=1 pit=1 pct=0.10 lap=0 cur=5 last=0", "on=1 pit=0 pct=0.20 lap=0 cur=10 last=0",
                       "on=1 pct=0.96 lap=0 cur=60 last=0",      "on=1 pct=0.02 lap=0 cur=61 last=0",
                       "on=1 pct=0.03 lap=1 cur=0.5 last=61.5",  "on=1 pct=0.50 lap=1 cur=30 last=61.5",
                       "on=1 pct=0.97 lap=1 cur=60 last=61.5",   "on=1 pct=0.01 lap=2 cur=0.2 last=60.1",
                       "on=1 pct=0.10 lap=2 cur=5 last=60.1",    "on=1 pct=0.20 lap=2 cur=10 last=60.1",
                       "end"}
        << QStringLiteral("4 5 5 5 6 6 6 6 6 6")
        << QStringList{"st0 3599000ms lap0 inRun0 run1 done n2", "st1 60100ms lap0 inRun1 run1 done n3",
                       "st1 3599000ms lap2 inRun2 run1 cut n2"}
        << QStringLiteral("2/0 #2");
    QTest::newRow("numbering after lap 5")
        << practice << ann << 0 << QStringList{"on=1 pct=0.2 lap=5 cur=60", "on=1 pct=0.3 lap=6 cur=0.5"}
        << QStringLiteral("5 6") << QStringList{"st0 3599000ms lap4 inRun0 run1 done n1"} << QStringLiteral("1/0 #6");

    // At the green flag an out lap just past the line turns timed, which completes it.
    QTest::newRow("race out lap carries its time")
        << race << ann << 0
        << QStringList{"st=3 on=1 pct=0.02 lap=0 cur=0 last=0", "st=3 on=1 pct=0.02 lap=0 cur=0 last=0",
                       "st=4 on=1 pct=0.03 lap=0 cur=1 last=12.5"}
        << QStringLiteral("5 5 6") << QStringList{"st0 12500ms lap0 inRun0 run1 done n2"} << QStringLiteral("2/0 #0");
    QTest::newRow("race grid beyond 0.65 waits until start")
        << race << ann << 0
        << QStringList{"st=3 on=1 pct=0.90 lap=0 cur=0", "st=3 on=1 pct=0.90 lap=0 cur=0",
                       "st=4 on=1 pct=0.92 lap=0 cur=1", "st=4 on=1 pct=0.99 lap=0 cur=3",
                       "st=4 on=1 pct=0.01 lap=1 cur=4 last=12.5"}
        << QStringLiteral("2 2 5 5 6") << QStringList{"st0 12500ms lap0 inRun0 run1 done n2"}
        << QStringLiteral("2/0 #1");
    QTest::newRow("race grid at 0.65 begins a run")
        << race << ann << 0 << QStringList{"st=3 on=1 pct=0.65 lap=0"} << QStringLiteral("5") << QStringList{}
        << QStringLiteral("1/0 #0");
    const QStringList timedRaceLap = {"st=4 on=1 pct=0.20 lap=0 cur=10", "st=4 on=1 pct=0.60 lap=0 cur=40 last=%1"};
    const struct {
        const char* row;
        const char* last;
        int ms;
    } lapTimes[] = {
        {"lap time 75.25 s", "75.25", 75250},     {"lap time zero", "0", 3599000},
        {"lap time negative", "-1", 3599000},     {"lap time within 1e-5 of zero", "0.00001", 3599000},
        {"lap time just under a day", "86399", 86399000}, {"lap time of a day", "86400", 3599000},
        {"lap time infinite", "inf", 3599000},    {"lap time NaN", "nan", 3599000},
    };
    for (const auto& lapTime : lapTimes) {
        QTest::newRow(lapTime.row) << race << ann << 0
                                   << QStringList{timedRaceLap.at(0), timedRaceLap.at(1).arg(lapTime.last)}
                                   << QStringLiteral("5 6")
                                   << QStringList{QStringLiteral("st0 %1ms lap0 inRun0 run1 done n1").arg(lapTime.ms)}
                                   << QStringLiteral("1/0 #0");
    }

    QTest::newRow("timer falls by exactly 5 s")
        << practice << ann << 0 << QStringList{"on=1 pct=0.2 lap=0 cur=60", "on=1 pct=0.3 lap=0 cur=55"}
        << QStringLiteral("5 5") << QStringList{} << QStringLiteral("2/0 #0");
    QTest::newRow("timer falls by 5.01 s")
        << practice << ann << 0 << QStringList{"on=1 pct=0.2 lap=0 cur=60", "on=1 pct=0.3 lap=0 cur=54.99"}
        << QStringLiteral("5 6") << QStringList{"st0 3599000ms lap0 inRun0 run1 done n1"} << QStringLiteral("1/0 #0");
    QTest::newRow("timer at zero with the lap counter up")
        << practice << ann << 0 << QStringList{"on=1 pct=0.2 lap=0 cur=3", "on=1 pct=0.3 lap=1 cur=0"}
        << QStringLiteral("5 6") << QStringList{"st0 3599000ms lap0 inRun0 run1 done n1"} << QStringLiteral("1/0 #1");
    QTest::newRow("timer at zero on the same lap")
        << practice << ann << 0 << QStringList{"on=1 pct=0.2 lap=1 cur=3", "on=1 pct=0.3 lap=1 cur=0"}
        << QStringLiteral("5 5") << QStringList{} << QStringLiteral("2/0 #1");

    QTest::newRow("routing: max 0.95, sample 0.02 goes to the next lap")
        << practice << ann << 0
        << QStringList{"on=1 pct=0.50 lap=0 cur=10", "on=1 pct=0.95 lap=0 cur=20", "on=1 pct=0.02 lap=0 cur=21"}
        << QStringLiteral("5 5 5") << QStringList{} << QStringLiteral("2/1 #0");
    QTest::newRow("routing: max 0.85, sample 0.02 stays")
        << practice << ann << 0
        << QStringList{"on=1 pct=0.50 lap=0 cur=10", "on=1 pct=0.85 lap=0 cur=20", "on=1 pct=0.02 lap=0 cur=21"}
        << QStringLiteral("5 5 5") << QStringList{} << QStringLiteral("3/0 #0");
    QTest::newRow("routing: max 0.95, sample 0.46 stays")
        << practice << ann << 0
        << QStringList{"on=1 pct=0.50 lap=0 cur=10", "on=1 pct=0.95 lap=0 cur=20", "on=1 pct=0.46 lap=0 cur=21"}
        << QStringLiteral("5 5 5") << QStringList{} << QStringLiteral("3/0 #0");
    QTest::newRow("slow Speed drops the sample")
        << practice << ann << 0 << QStringList{"on=1 pct=0.2 lap=0 cur=10 Speed=0.5"} << QStringLiteral("5")
        << QStringList{} << QStringLiteral("0/0 #0");
    QTest::newRow("slow decoded speed is kept")
        << practice << ann << 0 << QStringList{"on=1 pct=0.2 lap=0 cur=10 speed=0.5"} << QStringLiteral("5")
        << QStringList{} << QStringLiteral("1/0 #0");
    QTest::newRow("Speed NaN is kept")
        << practice << ann << 0 << QStringList{"on=1 pct=0.2 lap=0 cur=10 Speed=nan"} << QStringLiteral("5")
        << QStringList{} << QStringLiteral("1/0 #0");

    QTest::newRow("lapDistPct -0.5 skipped")
        << practice << ann << 0 << QStringList{"on=1 pct=-0.5 lap=0 cur=10"} << QStringLiteral("-1") << QStringList{}
        << QStringLiteral("0/0 #-1");
    QTest::newRow("lapDistPct -0.4 processed")
        << practice << ann << 0 << QStringList{"on=1 pct=-0.4 lap=0 cur=10"} << QStringLiteral("5") << QStringList{}
        << QStringLiteral("1/0 #0");
    QTest::newRow("lapDistPct absent skipped")
        << practice << ann << 0 << QStringList{"on=1 lap=0 cur=10"} << QStringLiteral("-1") << QStringList{}
        << QStringLiteral("0/0 #-1");
    QTest::newRow("off track parks, no lap begins")
        << practice << ann << 0 << QStringList{"on=0 pct=0.2 lap=0"} << QStringLiteral("3") << QStringList{}
        << QStringLiteral("0/0 #0");
    QTest::newRow("pit exit beyond 0.8 waits exactly one record")
        << practice << ann << 0
        << QStringList{"on=1 pit=1 pct=0.85 lap=3 cur=20", "on=1 pit=0 pct=0.86 lap=3 cur=21",
                       "on=1 pct=0.87 lap=3 cur=22"}
        << QStringLiteral("4 2 5") << QStringList{} << QStringLiteral("1/0 #3");
    QTest::newRow("pit exit at 0.79 begins the run")
        << practice << ann << 0 << QStringList{"on=1 pit=1 pct=0.78 lap=3", "on=1 pit=0 pct=0.79 lap=3"}
        << QStringLiteral("4 5") << QStringList{} << QStringLiteral("1/0 #3");

    // Other cars: pit-road flag absent counts as in the pits, parked while not moving.
    QTest::newRow("other car in the pits, then out")
        << practice << ann << 2 << QStringList{"pct=0.30", "pct=0.30", "pct=0.40", "pit=0 pct=0.50"}
        << QStringLiteral("4 3 4 5") << QStringList{} << QStringLiteral("1/0 #7");
    QTest::newRow("player car without driver name never processed")
        << practice << QStringLiteral("1") << 1 << QStringList{"on=1 pct=0.2 lap=0 cur=10"} << QStringLiteral("-1")
        << QStringList{} << QStringLiteral("0/0 #-1");
    QTest::newRow("other car without driver entry never processed")
        << practice << ann << 3 << QStringList{"pit=0 pct=0.2", "pit=0 pct=0.3"} << QStringLiteral("-1 -1")
        << QStringList{} << QStringLiteral("0/0 #-1");
    QTest::newRow("no player car: nothing processed")
        << practice << QStringLiteral("x") << 2 << QStringList{"pit=0 pct=0.2", "pit=0 pct=0.3"}
        << QStringLiteral("-1 -1") << QStringList{} << QStringLiteral("0/0 #-1");
    QTest::newRow("player index beyond the slots: nothing processed")
        << practice << QStringLiteral("70") << 0 << QStringList{"on=1 pit=0 pct=0.2 lap=0"} << QStringLiteral("-1")
        << QStringList{} << QStringLiteral("0/0 #-1");
}

// Drives the reader as the import does: endSample, the record's values, updateLaps, copy out.
void tst_LapDetection::stateMachine()
{
    QFETCH(QString, sessionType);
    QFETCH(QString, driverCarIdx);
    QFETCH(int, car);
    QFETCH(QStringList, records);
    QFETCH(QString, states);
    QFETCH(QStringList, laps);
    QFETCH(QString, open);

    IbtReader reader;
    reader.sessionInfo.parse(sessionText(driverCarIdx, sessionType).constData());
    reader.readDriverList();
    reader.setFullTelemetry(true);
    const int player = reader.playerCarIdx;
    const bool hasPlayer = player >= 0 && player < reader.cars.size();
    const CarLapState& state = reader.cars.at(car);

    QStringList seenStates;
    QStringList finished;
    QSet<QUuid> lapIds;
    for (const QString& record : records) {
        if (record == QLatin1String("end")) {
            reader.finishPlayerLap(false);
        } else {
            reader.endSample();
            if (hasPlayer)
                reader.cars[player].sample.setValue(QStringLiteral("sessionnum"), 0, QString());
            setRecord(reader.cars[car].sample, record);
            reader.updateLaps();
            seenStates << QString::number(int(state.lapState));
        }
        if (!state.lapFinished)
            continue;
        const ZEL::Lap& lap = state.lap;
        finished << describe(lap);
        QCOMPARE(lap.carId(), QVariant(car));
        QCOMPARE(lap.lapId(), state.lapId);
        QVERIFY(!lap.runId().isNull());
        QVERIFY(!lapIds.contains(lap.lapId()));
        lapIds.insert(lap.lapId());
        QVERIFY(lap.value(QStringLiteral("DateTime")).value.toDateTime().isValid());
        QVERIFY(!lap.contains(QStringLiteral("maxLapDistPct")));
        QVERIFY(!lap.channel(QStringLiteral("sessionnum")));
        if (car == player) {
            const QSharedPointer<ZEL::Channel> full = lap.channel(QStringLiteral("fulltelemetry"));
            QVERIFY(full);
            for (double value : full->values)
                QCOMPARE(value, 1.0);
        }
    }
    QCOMPARE(seenStates.join(QLatin1Char(' ')), states);
    QCOMPARE(finished, laps);
    QCOMPARE(QStringLiteral("%1/%2 #%3").arg(state.lap.sampleCount()).arg(state.nextLap.sampleCount()).arg(state.lapNumber),
             open);
}

void tst_LapDetection::finishEmptyLap_data()
{
    QTest::addColumn<int>("car");
    QTest::addColumn<bool>("completed");

    QTest::newRow("player car, completed") << 0 << true;
    QTest::newRow("player car, cut off") << 0 << false;
    QTest::newRow("other car, completed") << 2 << true;
}

void tst_LapDetection::finishEmptyLap()
{
    QFETCH(int, car);
    QFETCH(bool, completed);

    IbtReader reader;
    reader.sessionInfo.parse(sessionText(QStringLiteral("0"), QStringLiteral("Practice")).constData());
    reader.readDriverList();
    reader.finishLap(car, completed);

    const CarLapState& state = reader.cars.at(car);
    QVERIFY(!state.lapFinished);
    QCOMPARE(state.lapLastTime, -1.0f);
    QVERIFY(!state.lap.lapTime().isValid());
    QVERIFY(!state.lap.carId().isValid());
    QVERIFY(state.lap.keys().isEmpty());
    QCOMPARE(int(state.lap.lapStatus()), -1);
}

QTEST_GUILESS_MAIN(tst_LapDetection)
#include "tst_lapdetection.moc"
