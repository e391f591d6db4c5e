#include "ibt/ibtwriter.h"
#include "scenario/scenario.h"
#include "sessioninfo/sessioninfonode.h"

#include <QBuffer>
#include <QtEndian>
#include <QtTest>

Q_DECLARE_METATYPE(ScenarioOptions)

namespace {

// The little-endian int32 at the offset, 0 past the end.
int intAt(const QByteArray& file, qint64 offset)
{
    return qFromLittleEndian<qint32>(file.mid(int(offset), 4).leftJustified(4, '\0').constData());
}

// One variable's values over all records, read by the byte offsets of the file layout.
QVector<double> column(const QByteArray& file, const char* name, int element = 0)
{
    QVector<double> values; // numVars at 24, varHeaderOffset 28, bufLen 36, bufOffset 52
    for (int var = intAt(file, 28); var < intAt(file, 28) + 144 * intAt(file, 24); var += 144) {
        if (qstrncmp(file.constData() + var + 16, name, 32) != 0)
            continue;
        const int type = intAt(file, var);
        const qint64 first = intAt(file, 52) + intAt(file, var + 4) + element * irsdkElementSize(type);
        for (qint64 at = first; at + 4 <= file.size(); at += intAt(file, 36))
            values << (type == irsdk_float ? qFromLittleEndian<float>(file.constData() + at)
                                           : type == irsdk_bool ? file.at(at) : intAt(file, at));
    }
    return values;
}

} // namespace

// The scenario generator and the writer under it: files laid out byte for byte, driven as the simulator drives.
class tst_Scenario : public QObject
{
    Q_OBJECT

private slots:
    void write_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("element");
        QTest::addColumn<double>("input");
        QTest::addColumn<QByteArray>("expected"); // the element's bytes on disk, in hex

        QTest::newRow("float rounds to single") << int(irsdk_float) << 0 << 0.1 << QByteArray("cdcccc3d");
        QTest::newRow("int truncates toward zero") << int(irsdk_int) << 0 << -3.7 << QByteArray("fdffffff");
        QTest::newRow("int saturates") << int(irsdk_int) << 0 << 1e10 << QByteArray("ffffff7f");
        QTest::newRow("bool from a fraction is true") << int(irsdk_bool) << 0 << 0.2 << QByteArray("01");
        QTest::newRow("char saturates") << int(irsdk_char) << 0 << 300.0 << QByteArray("7f");
        QTest::newRow("bit field with bit 31") << int(irsdk_bitField) << 0 << -2147483644.0 << QByteArray("04000080");
        QTest::newRow("last element of a car array") << int(irsdk_int) << 63 << 42.0 << QByteArray("2a000000");
    }

    void write()
    {
        QFETCH(int, type);
        QFETCH(int, element);
        QFETCH(double, input);
        QFETCH(QByteArray, expected);

        // A one-byte guard on each side of a 64-element array; texts longer than their fields are
        // cut at the width, without a NUL.
        IbtWriter writer;
        writer.addVariable(QByteArray(40, 'n'), irsdk_char, QByteArray(33, 'u'), QByteArray(100, 'd'));
        const int var = writer.addVariable("Value", irsdk_VarType(type), {}, {}, 64);
        writer.addVariable("After", irsdk_char);
        writer.setSessionInfo("A: 1\n");
        QBuffer buffer;
        QVERIFY(buffer.open(QIODevice::WriteOnly) && writer.open(&buffer));
        writer.setValue(var, input, element);
        QVERIFY(writer.writeRecord() && writer.close());
        const QByteArray file = buffer.data();

        // The array starts on a multiple of its element size.
        const int size = irsdkElementSize(type);
        const int bufLen = size + 64 * size + 1;

        // The file size, then header fields by byte offset: session-info length and offset, numVars,
        // variable-header offset, bufLen, tickCount and bufOffset of the first buffer; the sub-header's
        // record count; the array's offset in its variable header. The counts are patched in at close.
        QVector<int> fields{int(file.size())};
        for (int at : {16, 20, 24, 28, 36, 48, 52, 112 + 28, 288 + 4})
            fields << intAt(file, at);
        QCOMPARE(fields, (QVector<int>{582 + bufLen, 6, 576, 3, 144, bufLen, 1, 582, 1, size}));
        QCOMPARE(file.mid(576, 6), QByteArray("A: 1\n\0", 6));
        // Name, description and unit of the first variable, then the name of the second.
        QCOMPARE(file.mid(144 + 16, 128), QByteArray(32, 'n') + QByteArray(64, 'd') + QByteArray(32, 'u'));
        QCOMPARE(file.mid(288 + 16, 32), QByteArray("Value").leftJustified(32, '\0'));

        QByteArray record(bufLen, '\0');
        const QByteArray bytes = QByteArray::fromHex(expected);
        record.replace(size + element * bytes.size(), bytes.size(), bytes);
        QCOMPARE(file.right(bufLen), record);
    }
    void drive_data()
    {
        QTest::addColumn<ScenarioOptions>("options");
        QTest::addColumn<QString>("kinds");     // the laps driven: Out, Timed, In, Aborted
        QTest::addColumn<QStringList>("facts"); // session-info values that the import reads

        ScenarioOptions testing;
        testing.session = ScenarioOptions::Session::Testing;
        testing.pitStop = testing.resetToPits = testing.blankRecords = true;
        testing.firstLap = 183;
        QTest::newRow("testing: pit stop, reset, blank records, carried lap count") << testing << "OTIOTAOTT"
            << QStringList{"WeekendInfo/TrackLength=2.70 km", "DriverInfo/DriverCarFuelKgPerLtr=0.750",
                           "DriverInfo/DriverCarMaxFuelPct=0.900", "SessionInfo/Sessions/0/SessionType=Offline Testing"};
        ScenarioOptions race;
        race.session = ScenarioOptions::Session::Race;
        race.playerCarIdx = 3;
        race.driverCount = 6;
        QTest::newRow("race from the grid") << race << "OTTTT"
            << QStringList{"DriverInfo/DriverCarIdx=3", "DriverInfo/Drivers/3/CarScreenName=Apex GT4 Hybrid",
                           "SessionInfo/Sessions/2/SessionType=Race", "SessionInfo/Sessions/2/ResultsPositions/6/CarIdx=5"};
    }

    void drive()
    {
        QFETCH(ScenarioOptions, options);
        QFETCH(QString, kinds);
        QFETCH(QStringList, facts);

        Scenario scenario(options);
        SessionInfoNode root;
        root.parse(scenario.sessionInfo().constData());
        for (const QString& fact : facts)
            QCOMPARE(fact.section('=', 0, 0) + '=' + root.valueAt(fact.section('=', 0, 0)), fact);

        QBuffer buffer;
        QVERIFY(buffer.open(QIODevice::WriteOnly) && scenario.write(&buffer));
        const QByteArray& file = buffer.data();
        const QVector<double> lap = column(file, "Lap"), pct = column(file, "LapDistPct"), speed = column(file, "Speed");
        const QVector<double> current = column(file, "LapCurrentLapTime"), last = column(file, "LapLastLapTime");
        // Lap numbering and the timer between restarts are for the import tests to check.
        const double dt = 1.0 / options.tickRate;

        QString driven;
        for (const ScenarioLap& l : scenario.laps()) {
            driven += QStringLiteral("OTIA").at(l.kind);
            if (l.lineRecord < 0)
                continue;
            // Lap steps at the line; the timer runs on and restarts 0.5 to 1.5 s later, with the last lap time.
            const int line = int(l.lineRecord), restart = int(l.timerRecord);
            QVERIFY(pct[line - 1] > 0.95 && pct[line] < 0.05);
            const double delay = (restart - line) * dt;
            QVERIFY2(delay >= 0.5 - dt && delay <= 1.5 + dt, qPrintable(QString::number(delay)));
            QCOMPARE(last[restart], double(float(l.lapTime)));
            QVERIFY(current[restart] >= delay - 1e-4 && current[restart] < delay + dt + 1e-4);
        }
        QCOMPARE(driven, kinds);

        if (options.session != ScenarioOptions::Session::Race)
            return;
        // Standing on the grid, behind the line beyond 0.65, through states 1 to 3; then racing.
        const QVector<double> state = column(file, "SessionState");
        int r = 0;
        for (; r < state.size() && state[r] < 4; ++r)
            QVERIFY(speed[r] == 0 && lap[r] == 0 && pct[r] > 0.65 && state[r] >= (r ? state[r - 1] : 1));
        QVERIFY(state[r - 1] == 3 && state.count(4) == state.size() - r && scenario.laps().first().lineRecord > r);
        QCOMPARE(column(file, "SessionNum").count(2), state.size());
        QVERIFY(column(file, "CarIdxLapDistPct", 0).first() > pct.first()); // the others line up ahead
    }
};

QTEST_GUILESS_MAIN(tst_Scenario)
#include "tst_scenario.moc"
