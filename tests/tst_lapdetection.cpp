#include "ibt/ibtreader.h"

#include <QtTest>

#include <QSet>

namespace {

// Car 0 Ann, car 1 a team without a driver name, car 2 Bob with 7 laps in the results.
QByteArray sessionText(const QString& driverCarIdx, const QString& sessionType)
{
    return QStringLiteral("DriverInfo:\n DriverCarIdx: %1\n Drivers:\n - CarIdx: 0\n   UserName: Ann\n"
                          " - CarIdx: 1\n   TeamName: Nobody\n - CarIdx: 2\n   UserName: Bob\n"
                          "SessionInfo:\n Sessions:\n - SessionNum: 0\n   SessionType: %2\n"
                          "   ResultsPositions:\n   - Position: 1\n     CarIdx: 2\n     LapsComplete: 7\n")
        .arg(driverCarIdx, sessionType)
        .toLatin1();
}

// One record, on track unless it says on=0, as "key=value" items; short names stand for the decoded
// variables, any other name is used as the key itself. Whole numbers are stored as int, the rest as float.
void setRecord(ZEL::Sample& sample, const QString& record)
{
    static const QMap<QString, QString> names = {
        {"on", "isontrack"}, {"pit", "onpitroad"}, {"pct", "lapdistpct"}, {"cur", "lapcurrentlaptime"},
        {"last", "laplastlaptime"}, {"st", "sessionstate"}};
    sample.setValue(QStringLiteral("isontrack"), 1, QString());
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
    void stateMachine_data()
    {
        QTest::addColumn<QString>("sessionType");
        QTest::addColumn<int>("driverCarIdx");
        QTest::addColumn<int>("car");         // the slot whose sample receives the records
        QTest::addColumn<QString>("records"); // "|" between records; "end" closes the player's lap as at the file's end
        QTest::addColumn<QString>("states");  // lapState after each record
        QTest::addColumn<QString>("laps");    // the laps finished, in order, "|" between them
        QTest::addColumn<QString>("open");    // samples in lap / nextLap, then the car's lap counter

        const auto row = [](const char* name, const QString& records, const char* states, const QString& laps,
                            const char* open, const char* session = "Practice", int player = 0, int car = 0) {
            QTest::newRow(name) << session << player << car << records << states << laps << open;
        };
        const char* const noLap = "";
        row("practice out lap, timed lap, cut-off lap",
            "pit=1 pct=0.10 lap=0 cur=5 | pit=0 pct=0.20 lap=0 cur=10 | pct=0.96 lap=0 cur=60 | pct=0.02 lap=0 cur=61 | "
            "pct=0.03 lap=1 cur=0.5 last=61.5 | pct=0.50 lap=1 cur=30 | pct=0.97 lap=1 cur=60 | "
            "pct=0.01 lap=2 cur=0.2 last=60.1 | pct=0.10 lap=2 cur=5 | pct=0.20 lap=2 cur=10 | end",
            "4 5 5 5 6 6 6 6 6 6",
            "st0 3599000ms lap0 inRun0 run1 done n2 | st1 60100ms lap0 inRun1 run1 done n3 | "
            "st1 3599000ms lap2 inRun2 run1 cut n2",
            "2/0 #2");
        row("numbering after lap 5", "pct=0.2 lap=5 cur=60 | pct=0.3 lap=6 cur=0.5", "5 6",
            "st0 3599000ms lap4 inRun0 run1 done n1", "1/0 #6");
        // At the green flag an out lap just past the line turns timed, which completes it.
        row("race out lap carries its time", "st=3 pct=0.02 lap=0 | st=3 pct=0.02 lap=0 | st=4 pct=0.03 lap=0 last=12.5",
            "5 5 6", "st0 12500ms lap0 inRun0 run1 done n2", "2/0 #0", "Race");
        row("race grid beyond 0.65 waits until start",
            "st=3 pct=0.90 lap=0 | st=3 pct=0.90 lap=0 | st=4 pct=0.92 lap=0 | st=4 pct=0.99 lap=0 | "
            "st=4 pct=0.01 lap=1 last=12.5",
            "2 2 5 5 6", "st0 12500ms lap0 inRun0 run1 done n2", "2/0 #1", "Race");
        row("race grid at 0.65 begins a run", "st=3 pct=0.65 lap=0", "5", noLap, "1/0 #0", "Race");
        // The first lap of a run, completed with the given time in milliseconds.
        const auto first = [](const char* ms) { return QStringLiteral("st0 %1ms lap0 inRun0 run1 done n1").arg(ms); };
        const QString raceLap = QStringLiteral("st=4 pct=0.2 lap=0 cur=10 | st=4 pct=0.6 lap=0 last=");
        row("lap time 75.25 s", raceLap + "75.25", "5 6", first("75250"), "1/0 #0", "Race");
        row("lap time negative", raceLap + "-1", "5 6", first("3599000"), "1/0 #0", "Race");
        row("lap time within 1e-5 of zero", raceLap + "0.00001", "5 6", first("3599000"), "1/0 #0", "Race");
        row("lap time NaN", raceLap + "nan", "5 6", first("3599000"), "1/0 #0", "Race");
        row("lap time just under a day", raceLap + "86399", "5 6", first("86399000"), "1/0 #0", "Race");
        row("lap time of a day", raceLap + "86400", "5 6", first("3599000"), "1/0 #0", "Race");

        row("timer falls by exactly 5 s", "pct=0.2 lap=0 cur=60 | pct=0.3 lap=0 cur=55", "5 5", noLap, "2/0 #0");
        row("timer falls by 5.01 s", "pct=0.2 lap=0 cur=60 | pct=0.3 lap=0 cur=54.99", "5 6", first("3599000"), "1/0 #0");
        row("timer at zero with the lap counter up", "pct=0.2 lap=0 cur=3 | pct=0.3 lap=1 cur=0", "5 6", first("3599000"),
            "1/0 #1");
        row("timer at zero on the same lap", "pct=0.2 lap=1 cur=3 | pct=0.3 lap=1 cur=0", "5 5", noLap, "2/0 #1");

        row("routing: max 0.85, sample 0.02 stays", "pct=0.50 lap=0 | pct=0.85 lap=0 | pct=0.02 lap=0", "5 5 5", noLap,
            "3/0 #0");
        row("routing: max 0.95, sample 0.44 goes to the next lap", "pct=0.50 lap=0 | pct=0.95 lap=0 | pct=0.44 lap=0",
            "5 5 5", noLap, "2/1 #0");
        row("routing: max 0.95, sample 0.46 stays", "pct=0.50 lap=0 | pct=0.95 lap=0 | pct=0.46 lap=0", "5 5 5", noLap,
            "3/0 #0");
        row("slow Speed drops the sample", "pct=0.2 lap=0 Speed=0.5", "5", noLap, "0/0 #0");
        row("slow decoded speed is kept", "pct=0.2 lap=0 speed=0.5", "5", noLap, "1/0 #0");

        row("lapDistPct -0.5 skipped", "pct=-0.5 lap=0", "-1", noLap, "0/0 #-1");
        row("lapDistPct -0.4 processed", "pct=-0.4 lap=0", "5", noLap, "1/0 #0");
        row("off track parks, no lap to finish", "on=0 pct=0.2 lap=0 | end", "3", noLap, "0/0 #0");
        row("pit exit beyond 0.8 waits exactly one record", "pit=1 pct=0.85 lap=3 | pit=0 pct=0.86 lap=3 | pct=0.87 lap=3",
            "4 2 5", noLap, "1/0 #3");
        row("pit exit at 0.79 begins the run", "pit=1 pct=0.78 lap=3 | pit=0 pct=0.79 lap=3", "4 5", noLap, "1/0 #3");

        // Other cars: pit-road flag absent counts as in the pits, parked while not moving.
        row("other car in the pits, then out", "pct=0.30 | pct=0.30 | pct=0.40 | pit=0 pct=0.50", "4 3 4 5", noLap,
            "1/0 #7", "Practice", 0, 2);
        row("player car without driver name never processed", "pct=0.2 lap=0", "-1", noLap, "0/0 #-1", "Practice", 1, 1);
        row("player index beyond the slots: nothing processed", "pit=0 pct=0.2 | pit=0 pct=0.3", "-1 -1", noLap,
            "0/0 #-1", "Practice", 70, 2);
    }

    // Drives the reader as the import does: endSample, the record's values, updateLaps, copy out.
    void stateMachine()
    {
        QFETCH(QString, sessionType);
        QFETCH(int, driverCarIdx);
        QFETCH(int, car);
        QFETCH(QString, records);
        QFETCH(QString, states);
        QFETCH(QString, laps);
        QFETCH(QString, open);

        IbtReader reader;
        reader.sessionInfo.parse(sessionText(QString::number(driverCarIdx), sessionType).constData());
        reader.readDriverList();
        reader.setFullTelemetry(true);
        const CarLapState& state = reader.cars.at(car);

        QStringList seenStates;
        QStringList finished;
        QSet<QUuid> lapIds;
        for (const QString& record : records.split(QLatin1Char('|'))) {
            if (record.trimmed() == QLatin1String("end")) {
                reader.finishPlayerLap(false);
            } else {
                reader.endSample();
                if (driverCarIdx < reader.cars.size())
                    reader.cars[driverCarIdx].sample.setValue(QStringLiteral("sessionnum"), 0, QString());
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
            QVERIFY(!lap.contains(QStringLiteral("maxLapDistPct")));
            QVERIFY(!lap.channel(QStringLiteral("sessionnum")));
            const QSharedPointer<ZEL::Channel> full = lap.channel(QStringLiteral("fulltelemetry"));
            QVERIFY(car != driverCarIdx || (full && full->values == QVector<double>(full->size(), 1.0)));
        }
        QCOMPARE(seenStates.join(QLatin1Char(' ')), states);
        QCOMPARE(finished.join(QStringLiteral(" | ")), laps);
        const QString counts = QStringLiteral("%1/%2 #%3").arg(state.lap.sampleCount()).arg(state.nextLap.sampleCount());
        QCOMPARE(counts.arg(state.lapNumber), open);
    }
};

QTEST_GUILESS_MAIN(tst_LapDetection)
#include "tst_lapdetection.moc"
