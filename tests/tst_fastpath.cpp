#include "ibt/ibtreader.h"
#include "ibt/importdriver.h"
#include "scenario/scenario.h"
#include "support/lapdump.h"
#include "support/pluginfixture.h"
#include "support/realrecordings.h"
#include "support/testfiles.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

using Laps = std::vector<std::unique_ptr<ZEL::Lap>>;

void compareLaps(const Laps& plain, const Laps& fast)
{
    QVERIFY(!plain.empty());
    QCOMPARE(fast.size(), plain.size());
    for (size_t i = 0; i < plain.size(); ++i) {
        QCOMPARE(lapDump(*fast[i]), lapDump(*plain[i]));
        for (size_t j = 0; j < i; ++j) { // laps that share an id in one import share it in the other
            QCOMPARE(fast[i]->lapId() == fast[j]->lapId(), plain[i]->lapId() == plain[j]->lapId());
            QCOMPARE(fast[i]->runId() == fast[j]->runId(), plain[i]->runId() == plain[j]->runId());
        }
    }
}

void compareImports(const QString& path)
{
    PluginFixture host; // its messages go nowhere
    QVERIFY2(host.isLoaded(), qPrintable(host.errorString()));
    Laps laps[2]; // plain, fast
    for (bool fast : {false, true}) {
        for (ZEL::Lap* lap : ImportDriver(*host.plugin(), fast).importFile(path, ImportDriver::formatFilter()))
            laps[fast].emplace_back(lap);
    }
    compareLaps(laps[0], laps[1]);
}

/// A whole file in memory with its header and variable table.
struct IbtFile {
    explicit IbtFile(const QString& path)
    {
        bytes = TestFiles::read(path);
        bytes.resize(qMax(bytes.size(), int(sizeof header))); // a missing file reads as an empty header
        std::memcpy(&header, bytes.constData(), sizeof header);
        vars.resize(size_t(header.numVars));
        std::memcpy(vars.data(), bytes.constData() + header.varHeaderOffset, vars.size() * sizeof(irsdk_varHeader));
    }

    QByteArray bytes;
    irsdk_header header;
    std::vector<irsdk_varHeader> vars;
};

/// Applied to both readers' car at each record, after decoding and after lap detection.
using Change = std::function<void(int record, bool afterLapDetection, CarLapState& car)>;

} // namespace

Q_DECLARE_METATYPE(Change)
Q_DECLARE_METATYPE(ScenarioOptions)

class tst_FastPath : public QObject
{
    Q_OBJECT

private slots:
    void scenarioFiles_data()
    {
        QTest::addColumn<ScenarioOptions>("options");
        QTest::addColumn<bool>("cut"); // inside the last record
        ScenarioOptions practice, race, wide, blank;
        practice.pitStop = practice.resetToPits = true;
        race.session = ScenarioOptions::Session::Race;
        ScenarioOptions crowded = race;
        crowded.playerCarIdx = 5;
        crowded.driverCount = 8;
        wide.wide = true;
        blank.blankRecords = blank.resetToPits = true;
        QTest::newRow("practice with a pit stop and a reset") << practice << false;
        QTest::newRow("race, player in slot 5 of 8") << crowded << false;
        QTest::newRow("race cut inside a record") << race << true;
        QTest::newRow("wide variables") << wide << false;
        QTest::newRow("blank records at the start and after a reset") << blank << false;
    }

    void scenarioFiles()
    {
        QFETCH(ScenarioOptions, options);
        QFETCH(bool, cut);
        const QString path = writeScenario(options);
        QVERIFY(!path.isEmpty());
        if (cut) { // one byte short of a whole last record, zeroed: it would stamp the last lap as practice
            const qint64 length = IbtFile(path).header.bufLen;
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.resize(file.size() - 1) && file.seek(file.size() - length + 1));
            QCOMPARE(file.write(QByteArray(int(length) - 1, '\0')), length - 1);
        }
        compareImports(path);
    }

    // Keys lap detection reads, of types other than a recording's, are read through variants; a
    // variable under the name of the full-telemetry mark gives way to the mark.
    void changedVariables_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("newName");
        QTest::newRow("lap distance as an int") << QByteArray("LapDistPct") << int(irsdk_int) << QByteArray("LapDistPct");
        QTest::newRow("on track as a character") << QByteArray("IsOnTrack") << int(irsdk_char) << QByteArray("IsOnTrack");
        QTest::newRow("lap as a bit field") << QByteArray("Lap") << int(irsdk_bitField) << QByteArray("Lap");
        QTest::newRow("a variable named as the mark") << QByteArray("Speed") << int(irsdk_float) << QByteArray("FullTelemetry");
    }

    void changedVariables()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, type);
        QFETCH(QByteArray, newName);
        const QString path = writeScenario({});
        QVERIFY(!path.isEmpty());
        IbtFile ibt(path);
        const auto var = std::find_if(ibt.vars.begin(), ibt.vars.end(),
                                      [&](const irsdk_varHeader& v) { return name == v.name; });
        QVERIFY(var != ibt.vars.end());
        var->type = type;
        qstrncpy(var->name, newName.constData(), sizeof var->name);
        std::memcpy(ibt.bytes.data() + ibt.header.varHeaderOffset, ibt.vars.data(),
                    ibt.vars.size() * sizeof(irsdk_varHeader));
        compareImports(TestFiles::write(path, ibt.bytes));
    }

    void realRecordings_data()
    {
        RealRecordings::addRows();
    }

    void realRecordings()
    {
        QFETCH(QString, path);
        compareImports(path);
    }

    void changedBetweenRecords_data()
    {
        QTest::addColumn<Change>("change");
        QTest::newRow("a sample key on three records only") << Change([](int r, bool afterLaps, CarLapState& car) {
            if (!afterLaps && r >= 300 && r < 303)
                car.sample.setValue(QStringLiteral("zextra"), 2.5, QStringLiteral("u"));
        });
        QTest::newRow("a channel replaced in the lap") << Change([](int r, bool afterLaps, CarLapState& car) {
            if (afterLaps && r == 300) {
                car.lap.removeChannel(QStringLiteral("speed"));
                car.lap.addChannel(new ZEL::Channel, QStringLiteral("added"));
            }
        });
    }

    void changedBetweenRecords()
    {
        QFETCH(Change, change);
        const QString path = writeScenario({});
        QVERIFY(!path.isEmpty());
        const IbtFile ibt(path);
        QByteArray sessionInfo = ibt.bytes.mid(ibt.header.sessionInfoOffset, ibt.header.sessionInfoLen);
        sessionInfo.back() = '\0';
        Laps laps[2]; // plain, fast
        for (int i : {0, 1}) {
            IbtReader reader;
            reader.fastPath = i == 1;
            reader.setFullTelemetry(true);
            reader.sessionInfo.parse(sessionInfo.constData());
            reader.readDriverList();
            CarLapState& car = reader.cars[reader.playerCarIdx];
            for (int r = 0, at = ibt.header.varBuf[0].bufOffset; at + ibt.header.bufLen <= ibt.bytes.size();
                 ++r, at += ibt.header.bufLen) {
                reader.endSample();
                reader.decodeRecord(ibt.header, ibt.vars.data(), ibt.bytes.constData() + at);
                change(r, false, car);
                reader.updateLaps();
                change(r, true, car);
                if (reader.isPlayerLapFinished())
                    laps[i].push_back(std::make_unique<ZEL::Lap>(reader.playerLap()));
            }
            // Read in place, the fast reader's sample holds nothing of its own.
            QCOMPARE(car.sample.keys().isEmpty(), i == 1);
            reader.finishPlayerLap(false);
            laps[i].push_back(std::make_unique<ZEL::Lap>(reader.playerLap()));
        }
        QVERIFY(laps[0].size() >= 4);
        compareLaps(laps[0], laps[1]);
    }
private:
    QString writeScenario(ScenarioOptions options)
    {
        options.lapSeconds = 12.0;
        options.tickRate = 20;
        options.timedLaps = 2;
        const QString path = m_dir.filePath(QStringLiteral("%1 %2.ibt").arg(QTest::currentTestFunction(), QTest::currentDataTag()));
        Scenario scenario(options);
        return scenario.write(path) ? path : QString();
    }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(tst_FastPath)
#include "tst_fastpath.moc"
