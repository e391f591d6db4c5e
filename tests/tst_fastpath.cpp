#include "ibt/ibtreader.h"
#include "ibt/importdriver.h"
#include "ibt/scenario.h"
#include "plugin/zelplugininterfaceimport.h"
#include "support/realrecordings.h"

#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace {

/// The host side of an import run in the test's own process, so that both paths can be chosen.
class TestHost : public ZelPluginInterfaceImport
{
public:
    QString pluginName() override { return QStringLiteral("ZEL iRacing ibt import plugin"); }
    QString simulatorName() override { return QStringLiteral("iRacing"); }
    QString version() override { return QStringLiteral("0.2"); }
    QStringList formats() override { return {ImportDriver::formatFilter()}; }
    QVector<ZEL::Lap*> importFile(const QString& path, const QString& format) override
    {
        return ImportDriver(*this, fastPath).importFile(path, format);
    }

    bool fastPath = true;
};

using Laps = std::vector<std::unique_ptr<ZEL::Lap>>;

Laps importWith(const QString& path, bool fastPath)
{
    TestHost host;
    host.fastPath = fastPath;
    Laps laps;
    for (ZEL::Lap* lap : host.importFile(path, ImportDriver::formatFilter()))
        laps.emplace_back(lap);
    return laps;
}

/// Floating-point values must match bit for bit (NaN included); the rest by QVariant equality.
bool sameVariant(const QVariant& a, const QVariant& b)
{
    if (a.userType() != b.userType())
        return false;
    if (a.userType() == QMetaType::Double) {
        const double x = a.toDouble();
        const double y = b.toDouble();
        return std::memcmp(&x, &y, sizeof x) == 0;
    }
    if (a.userType() == QMetaType::Float) {
        const float x = a.value<float>();
        const float y = b.value<float>();
        return std::memcmp(&x, &y, sizeof x) == 0;
    }
    return a == b;
}

QString sameProperties(const ZEL::DynamicData& a, const ZEL::DynamicData& b, const QString& what)
{
    if (a.keys() != b.keys())
        return what + QStringLiteral(" keys: %1 / %2").arg(a.keys().join(','), b.keys().join(','));
    for (const QString& key : a.keys()) {
        const ZEL::DynamicValue x = a.value(key);
        const ZEL::DynamicValue y = b.value(key);
        if (x.unit() != y.unit())
            return what + QStringLiteral(" unit of %1: %2 / %3").arg(key, x.unit(), y.unit());
        // The moment of import, which two imports cannot share.
        if (key != QLatin1String("DateTime") && !sameVariant(x.value, y.value))
            return what + QStringLiteral(" value of %1: %2 / %3").arg(key, x.value.toString(), y.value.toString());
    }
    return {};
}

QString sameChannels(const ZEL::ChannelMap& a, const ZEL::ChannelMap& b, const QString& what)
{
    if (a.keys() != b.keys())
        return what + QStringLiteral(" names: %1 / %2").arg(a.keys().join(','), b.keys().join(','));
    for (auto x = a.cbegin(), y = b.cbegin(); x != a.cend(); ++x, ++y) {
        const ZEL::Channel& p = *x.value();
        const ZEL::Channel& q = *y.value();
        if (p.unit() != q.unit())
            return what + QStringLiteral(" unit of %1: %2 / %3").arg(x.key(), p.unit(), q.unit());
        if (p.size() != q.size())
            return what + QStringLiteral(" %1 holds %2 / %3 values").arg(x.key()).arg(p.size()).arg(q.size());
        for (int i = 0; i < p.size(); ++i) {
            if (std::memcmp(&p.values.at(i), &q.values.at(i), sizeof(double)) != 0)
                return what + QStringLiteral(" %1[%2]: %3 / %4").arg(x.key()).arg(i).arg(p.value(i)).arg(q.value(i));
        }
    }
    return {};
}

/// The first difference between two laps, empty when there is none. Lap and run ids are drawn at
/// random per import, so only whether they are null is compared here.
QString sameLap(const ZEL::Lap& a, const ZEL::Lap& b)
{
    const auto field = [](const char* name, const QVariant& x, const QVariant& y) {
        return sameVariant(x, y) ? QString() : QStringLiteral("%1: %2 / %3").arg(name, x.toString(), y.toString());
    };
    const QString header[] = {
        field("dateTime", a.dateTime(), b.dateTime()),
        field("driverName", a.driverName(), b.driverName()),
        field("trackName", a.trackName(), b.trackName()),
        field("trackConfig", a.trackConfig(), b.trackConfig()),
        field("carName", a.carName(), b.carName()),
        field("comment", a.comment(), b.comment()),
        field("lapTime", a.lapTime(), b.lapTime()),
        field("simulatorName", a.simulatorName(), b.simulatorName()),
        field("pluginName", a.pluginName(), b.pluginName()),
        field("lapId set", !a.lapId().isNull(), !b.lapId().isNull()),
        field("runId set", !a.runId().isNull(), !b.runId().isNull()),
        field("carId", a.carId(), b.carId()),
        field("sessionId", a.sessionId(), b.sessionId()),
        field("lapNumber", a.lapNumber(), b.lapNumber()),
        field("lapInRun", a.lapInRun(), b.lapInRun()),
        field("runNumber", a.runNumber(), b.runNumber()),
        field("sessionType", int(a.sessionType()), int(b.sessionType())),
        field("lapStatus", int(a.lapStatus()), int(b.lapStatus())),
        field("completed", a.completed(), b.completed()),
    };
    for (const QString& difference : header) {
        if (!difference.isEmpty())
            return difference;
    }
    const QString difference = sameProperties(a, b, QStringLiteral("properties"));
    return difference.isEmpty() ? sameChannels(a.channels(), b.channels(), QStringLiteral("channel")) : difference;
}

/// Laps that share a lap or run id in one import must share it in the other.
QVector<int> identityPattern(const Laps& laps, QUuid (ZEL::LapHeader::*id)() const)
{
    QHash<QUuid, int> first;
    QVector<int> pattern;
    for (const auto& lap : laps) {
        const QUuid uuid = ((*lap).*id)();
        if (!first.contains(uuid))
            first.insert(uuid, pattern.size());
        pattern.append(first.value(uuid));
    }
    return pattern;
}

void compareImports(const QString& path)
{
    const Laps plain = importWith(path, false);
    const Laps fast = importWith(path, true);
    QCOMPARE(fast.size(), plain.size());
    QVERIFY(!plain.empty());
    for (size_t i = 0; i < plain.size(); ++i) {
        const QString difference = sameLap(*plain[i], *fast[i]);
        QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("lap %1: %2").arg(i).arg(difference)));
    }
    QCOMPARE(identityPattern(fast, &ZEL::LapHeader::lapId), identityPattern(plain, &ZEL::LapHeader::lapId));
    QCOMPARE(identityPattern(fast, &ZEL::LapHeader::runId), identityPattern(plain, &ZEL::LapHeader::runId));
}

/// A hand-made record stream of a car lapping a short track, for driving two readers record by
/// record and changing their samples and laps in between.
class LappingRecords
{
public:
    LappingRecords()
    {
        add("SessionNum", irsdk_int);
        add("SessionState", irsdk_int);
        add("Lap", irsdk_int);
        add("LapDistPct", irsdk_float, "%");
        add("IsOnTrack", irsdk_bool);
        add("OnPitRoad", irsdk_bool);
        add("LapCurrentLapTime", irsdk_float, "s");
        add("LapLastLapTime", irsdk_float, "s");
        add("SessionTime", irsdk_double, "s");
        add("Speed", irsdk_float, "m/s");
        add("CarIdxLapDistPct", irsdk_float, "%", 4);
        std::memset(&header, 0, sizeof header);
        header.numVars = int(vars.size());
        header.bufLen = m_length;
    }

    /// Record r: 25 records a lap, the timer restarting a record after the line.
    QByteArray record(int r) const
    {
        QByteArray bytes(m_length, '\0');
        const int lap = r / recordsPerLap;
        const float pct = float(r % recordsPerLap) / recordsPerLap;
        const float timer = float((r + recordsPerLap - 1) % recordsPerLap) * 0.5f + 0.25f;
        put(bytes, 1, qint32(4));
        put(bytes, 2, qint32(lap + 1));
        put(bytes, 3, pct);
        put(bytes, 4, quint8(1));
        put(bytes, 6, timer);
        put(bytes, 7, lap > 0 ? 12.5f + lap : 0.0f);
        put(bytes, 8, 100.0 + r / 60.0);
        put(bytes, 9, r % 7 == 0 ? std::numeric_limits<float>::quiet_NaN() : 40.0f + r % 5);
        for (int car = 0; car < 4; ++car)
            put(bytes, 10, pct + 0.01f * car, car);
        return bytes;
    }

    static constexpr int recordsPerLap = 25;
    std::vector<irsdk_varHeader> vars;
    irsdk_header header;

private:
    void add(const char* name, int type, const char* unit = "", int count = 1)
    {
        irsdk_varHeader var;
        std::memset(&var, 0, sizeof var);
        var.type = type;
        var.offset = m_length;
        var.count = count;
        std::memcpy(var.name, name, std::strlen(name));
        std::memcpy(var.unit, unit, std::strlen(unit));
        vars.push_back(var);
        m_length += irsdkElementSize(type) * count;
    }
    template<typename T>
    void put(QByteArray& bytes, int var, T value, int element = 0) const
    {
        std::memcpy(bytes.data() + vars[size_t(var)].offset + element * sizeof value, &value, sizeof value);
    }

    int m_length = 0;
};

std::unique_ptr<IbtReader> lappingReader(bool fastPath)
{
    auto reader = std::make_unique<IbtReader>();
    reader->setFullTelemetry(true);
    reader->fastPath = fastPath;
    reader->playerCarIdx = 1;
    reader->cars[1].driverName = QStringLiteral("Test Driver");
    reader->cars[1].isPlayerCar = true;
    return reader;
}

/// What a test row does to a reader at one record: after decoding (on the sample) or after lap
/// detection (on the lap being built).
struct Change {
    int record;
    bool afterLapDetection;
    std::function<void(CarLapState&)> apply;
};
using Changes = QVector<Change>;

} // namespace

Q_DECLARE_METATYPE(Changes)
Q_DECLARE_METATYPE(ScenarioOptions)

class tst_FastPath : public QObject
{
    Q_OBJECT

private slots:
    void scenarioFiles_data();
    void scenarioFiles();
    void realRecordings_data();
    void realRecordings();
    void cutInsideRecord_data();
    void cutInsideRecord();
    void samplesAndLapsChangedBetweenRecords_data();
    void samplesAndLapsChangedBetweenRecords();

private:
    QTemporaryDir m_dir;
};

void tst_FastPath::scenarioFiles_data()
{
    QTest::addColumn<ScenarioOptions>("options");

    const auto with = [](const std::function<void(ScenarioOptions&)>& change) {
        ScenarioOptions options;
        change(options);
        return options;
    };
    QTest::newRow("practice, three laps") << ScenarioOptions();
    QTest::newRow("practice with a pit stop") << with([](ScenarioOptions& o) { o.pitStop = true; });
    QTest::newRow("testing with a reset to the pits") << with([](ScenarioOptions& o) {
        o.session = ScenarioOptions::Session::Testing;
        o.resetToPits = true;
    });
    QTest::newRow("race from the grid") << with([](ScenarioOptions& o) { o.session = ScenarioOptions::Session::Race; });
    QTest::newRow("blank records at the start and after a reset") << with([](ScenarioOptions& o) {
        o.blankRecords = true;
        o.resetToPits = true;
    });
    QTest::newRow("player in slot 5 of 8 cars") << with([](ScenarioOptions& o) {
        o.playerCarIdx = 5;
        o.driverCount = 8;
    });
    QTest::newRow("recording begins on lap 12") << with([](ScenarioOptions& o) { o.firstLap = 12; });
    QTest::newRow("short laps at 30 Hz") << with([](ScenarioOptions& o) {
        o.lapSeconds = 15.0;
        o.tickRate = 30;
    });
    QTest::newRow("wide, three minutes with a pit stop") << with([](ScenarioOptions& o) {
        o.wide = true;
        o.minutes = 3.0;
        o.pitStop = true;
    });
}

void tst_FastPath::scenarioFiles()
{
    QFETCH(ScenarioOptions, options);
    QVERIFY(m_dir.isValid());
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".ibt"));
    Scenario scenario(options);
    QVERIFY2(scenario.write(path), qPrintable(scenario.errorString()));
    compareImports(path);
}

void tst_FastPath::realRecordings_data()
{
    QTest::addColumn<QString>("path");
    const QStringList files = RealRecordings::files();
    if (files.isEmpty())
        QSKIP("the real recordings are not beside the source tree");
    for (const QString& path : files)
        QTest::newRow(qPrintable(QFileInfo(path).fileName())) << path;
}

void tst_FastPath::realRecordings()
{
    QFETCH(QString, path);
    compareImports(path);
}

void tst_FastPath::cutInsideRecord_data()
{
    QTest::addColumn<int>("partialBytes"); // of a record after the last whole one

    QTest::newRow("cut after a whole record") << 0;
    QTest::newRow("cut one byte into a record") << 1;
    QTest::newRow("cut past the session number of a record") << -1;
}

// The final lap is stamped from the last whole record, not from what the short read that ended
// the file left behind; the partial record here names the practice session of the race weekend.
void tst_FastPath::cutInsideRecord()
{
    QFETCH(int, partialBytes);
    QVERIFY(m_dir.isValid());
    ScenarioOptions options;
    options.session = ScenarioOptions::Session::Race;
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".ibt"));
    Scenario scenario(options);
    QVERIFY2(scenario.write(path), qPrintable(scenario.errorString()));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    irsdk_header header;
    QCOMPARE(file.read(reinterpret_cast<char*>(&header), sizeof header), qint64(sizeof header));
    std::vector<irsdk_varHeader> vars(size_t(header.numVars));
    QVERIFY(file.seek(header.varHeaderOffset));
    const qint64 tableBytes = qint64(vars.size() * sizeof(irsdk_varHeader));
    QCOMPARE(file.read(reinterpret_cast<char*>(vars.data()), tableBytes), tableBytes);
    const auto sessionNum = std::find_if(vars.cbegin(), vars.cend(), [](const irsdk_varHeader& var) {
        return qstrcmp(var.name, "SessionNum") == 0;
    });
    QVERIFY(sessionNum != vars.cend());
    if (partialBytes < 0)
        partialBytes = sessionNum->offset + 4;

    // Drop the last record, then put back part of it with session 0 in it.
    const qint64 lastRecord = file.size() - header.bufLen;
    QVERIFY(file.seek(lastRecord));
    QByteArray partial = file.read(partialBytes);
    if (partialBytes > sessionNum->offset)
        std::memset(partial.data() + sessionNum->offset, 0, 4);
    QVERIFY(file.resize(lastRecord));
    QVERIFY(file.seek(lastRecord));
    QCOMPARE(file.write(partial), qint64(partialBytes));
    file.close();

    compareImports(path);
    QCOMPARE(importWith(path, true).back()->sessionType(), ZEL::LapHeader::SessionTypeRace);
}

void tst_FastPath::samplesAndLapsChangedBetweenRecords_data()
{
    QTest::addColumn<Changes>("changes");

    const auto setEntry = [](const QString& key, const QVariant& value, const QString& unit) {
        return [=](CarLapState& car) { car.sample.setValue(key, value, unit); };
    };
    Changes someRecords;
    for (int r = 30; r < 33; ++r)
        someRecords.append({r, false, setEntry(QStringLiteral("zextra"), 2.5, QStringLiteral("u"))});
    Changes fromNowOn;
    for (int r = 40; r < 80; ++r)
        fromNowOn.append({r, false, setEntry(QStringLiteral("zextra"), r, QString())});
    Changes alternating;
    for (int r = 10; r < 60; r += 2)
        alternating.append({r, false, setEntry(QStringLiteral("extra"), true, QString())});

    QTest::newRow("same keys throughout") << Changes();
    QTest::newRow("a key on three records only") << someRecords;
    QTest::newRow("a key from one record on") << fromNowOn;
    QTest::newRow("a key on every other record") << alternating;
    QTest::newRow("a key sorting before all others")
        << Changes{{20, false, setEntry(QStringLiteral("Aaa"), 1.0f, QStringLiteral("x"))}};
    QTest::newRow("an entry over a decoded value")
        << Changes{{20, false, setEntry(QStringLiteral("speed"), 99, QStringLiteral("kph"))},
                   {21, false, setEntry(QStringLiteral("speed"), 98, QStringLiteral("kph"))}};
    QTest::newRow("a channel added to the lap")
        << Changes{{20, true, [](CarLapState& car) { car.lap.addChannel(new ZEL::Channel, QStringLiteral("added")); }}};
    QTest::newRow("a channel removed from the lap")
        << Changes{{20, true, [](CarLapState& car) { car.lap.removeChannel(QStringLiteral("speed")); }}};
    QTest::newRow("a channel replaced in the lap")
        << Changes{{20, true, [](CarLapState& car) {
                        car.lap.removeChannel(QStringLiteral("speed"));
                        car.lap.addChannel(new ZEL::Channel, QStringLiteral("added"));
                    }}};
    QTest::newRow("the lap cleared") << Changes{{20, true, [](CarLapState& car) { car.lap.clear(); }}};
    QTest::newRow("the next lap cleared") << Changes{{25, true, [](CarLapState& car) { car.nextLap.clear(); }}};
}

void tst_FastPath::samplesAndLapsChangedBetweenRecords()
{
    QFETCH(Changes, changes);
    const LappingRecords records;
    const auto plain = lappingReader(false);
    const auto fast = lappingReader(true);
    const auto change = [&](int record, bool afterLapDetection) {
        for (const Change& c : changes) {
            if (c.record == record && c.afterLapDetection == afterLapDetection) {
                c.apply(plain->cars[1]);
                c.apply(fast->cars[1]);
            }
        }
    };

    int finished = 0;
    for (int r = 0; r < 4 * LappingRecords::recordsPerLap + 7; ++r) {
        const QByteArray record = records.record(r);
        for (IbtReader* reader : {plain.get(), fast.get()}) {
            reader->endSample();
            reader->decodeRecord(records.header, records.vars.data(), record.constData());
        }
        change(r, false);
        plain->updateLaps();
        fast->updateLaps();
        change(r, true);

        const CarLapState& p = plain->cars.at(1);
        const CarLapState& f = fast->cars.at(1);
        QCOMPARE(f.lapFinished, p.lapFinished);
        finished += p.lapFinished ? 1 : 0;
        const QString lap = sameChannels(p.lap.channels(), f.lap.channels(), QStringLiteral("lap"));
        QVERIFY2(lap.isEmpty(), qPrintable(QStringLiteral("record %1: %2").arg(r).arg(lap)));
        const QString next = sameChannels(p.nextLap.channels(), f.nextLap.channels(), QStringLiteral("next lap"));
        QVERIFY2(next.isEmpty(), qPrintable(QStringLiteral("record %1: %2").arg(r).arg(next)));
    }
    QVERIFY(finished >= 3);
    // The fast reader read the records in place: its sample holds only what lap detection set.
    QCOMPARE(fast->cars.at(1).sample.keys(), QStringList{QStringLiteral("fulltelemetry")});
    QVERIFY(plain->cars.at(1).sample.keys().size() > 10);
}

QTEST_GUILESS_MAIN(tst_FastPath)
#include "tst_fastpath.moc"
