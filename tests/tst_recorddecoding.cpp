#include "ibt/ibtreader.h"

#include <QtTest>

#include <cstring>
#include <vector>

namespace {

/// A variable table and one record, laid out by hand so that every byte is the test's own.
struct Record {
    std::vector<irsdk_varHeader> vars;
    QByteArray bytes;

    void add(const char* name, int type, int offset, int count = 1, const char* unit = "")
    {
        irsdk_varHeader var;
        std::memset(&var, 0, sizeof var);
        var.type = type;
        var.offset = offset;
        var.count = count;
        // Names may fill their field without a NUL, as the format allows.
        std::memcpy(var.name, name, qMin(std::strlen(name), sizeof var.name));
        std::memcpy(var.unit, unit, qMin(std::strlen(unit), sizeof var.unit));
        vars.push_back(var);
    }
    template<typename T>
    void put(int offset, T value)
    {
        if (bytes.size() < offset + int(sizeof value))
            bytes.resize(offset + int(sizeof value));
        std::memcpy(bytes.data() + offset, &value, sizeof value);
    }
    irsdk_header header() const
    {
        irsdk_header h;
        std::memset(&h, 0, sizeof h);
        h.numVars = int(vars.size());
        h.bufLen = bytes.size();
        return h;
    }
    void decodeInto(IbtReader& reader) const
    {
        const irsdk_header h = header();
        reader.decodeRecord(h, vars.data(), bytes.constData());
    }
};

/// A reader whose player is car 0, as after a driver list naming it.
std::unique_ptr<IbtReader> playerReader(bool fullTelemetry = true)
{
    auto reader = std::make_unique<IbtReader>();
    reader->playerCarIdx = 0;
    reader->setFullTelemetry(fullTelemetry);
    return reader;
}

} // namespace

class tst_RecordDecoding : public QObject
{
    Q_OBJECT

private slots:
    void elementValues_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("count");
        QTest::addColumn<QVariant>("expected");

        auto bytesOf = [](auto... values) {
            QByteArray out;
            for (auto v : {values...})
                out.append(reinterpret_cast<const char*>(&v), sizeof v);
            return out;
        };
        QTest::newRow("char 0xFF is -1") << QByteArray("\xff") << int(irsdk_char) << 1 << QVariant(-1);
        QTest::newRow("char of count 32 is its first byte")
            << QByteArray("\x41" "bcdefghijklmnopqrstuvwxyz01234\x7f", 32) << int(irsdk_char) << 32 << QVariant(0x41);
        QTest::newRow("bool byte 2 is true") << QByteArray("\x02") << int(irsdk_bool) << 1 << QVariant(true);
        QTest::newRow("bool byte 0 is false") << QByteArray(1, '\0') << int(irsdk_bool) << 1 << QVariant(false);
        QTest::newRow("int") << bytesOf(qint32(-123456)) << int(irsdk_int) << 1 << QVariant(-123456);
        QTest::newRow("bit field with bit 31") << bytesOf(quint32(0x80000001u)) << int(irsdk_bitField) << 1
                                               << QVariant(qint32(0x80000001u));
        QTest::newRow("float") << bytesOf(1.25f) << int(irsdk_float) << 1 << QVariant(1.25f);
        QTest::newRow("double") << bytesOf(-2.5e-300) << int(irsdk_double) << 1 << QVariant(-2.5e-300);
        QTest::newRow("float array keeps its last element") << bytesOf(1.0f, 2.0f, 3.0f, 4.0f) << int(irsdk_float) << 4
                                                            << QVariant(4.0f);
        QTest::newRow("count 0 gives no value") << bytesOf(7) << int(irsdk_int) << 0 << QVariant();
        QTest::newRow("unknown type code is skipped") << bytesOf(7) << 9 << 1 << QVariant();
        QTest::newRow("array reaching past the record is skipped") << bytesOf(1.0f, 2.0f) << int(irsdk_float) << 3
                                                                   << QVariant();
    }

    void elementValues()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, type);
        QFETCH(int, count);
        QFETCH(QVariant, expected);

        Record record;
        record.add("Value", type, 0, count);
        record.bytes = bytes;
        auto reader = playerReader();
        record.decodeInto(*reader);

        const QVariant actual = reader->cars.at(0).sample.value(QStringLiteral("value")).value;
        QCOMPARE(actual.isValid(), expected.isValid());
        if (expected.isValid()) {
            QCOMPARE(actual.userType(), expected.userType());
            QCOMPARE(actual, expected);
        }
    }

    void namesAndUnits()
    {
        Record record;
        record.add("SessionTime", irsdk_double, 0, 1, "s");
        record.add("sessiontime", irsdk_int, 8, 1, "ticks"); // same key after lower-casing: the later one wins
        record.add("LapDistPct", irsdk_float, 12, 1, "%");
        record.add("AbcdefghijklmnopqrstuvwxyzABCDEF", irsdk_bool, 16, 1, "UnitOfExactlyThirtyTwoCharacters");
        record.put(0, 12.5);
        record.put(8, qint32(42));
        record.put(12, 0.5f);
        record.put(16, quint8(1));
        auto reader = playerReader();
        record.decodeInto(*reader);

        const ZEL::Sample& sample = reader->cars.at(0).sample;
        QCOMPARE(sample.keys(), (QStringList{"abcdefghijklmnopqrstuvwxyzabcdef", "lapdistpct", "sessiontime"}));
        QCOMPARE(sample.value(QStringLiteral("sessiontime")).value, QVariant(42));
        QCOMPARE(sample.value(QStringLiteral("sessiontime")).unit(), QStringLiteral("ticks"));
        QCOMPARE(sample.value(QStringLiteral("lapdistpct")).unit(), QStringLiteral("%"));
        // Fields filled to their width have no NUL; the text stops at the width.
        QCOMPARE(sample.value(QStringLiteral("abcdefghijklmnopqrstuvwxyzabcdef")).unit(),
                 QStringLiteral("UnitOfExactlyThirtyTwoCharacters"));
        QCOMPARE(reader->varUnits.at(0), QStringLiteral("s"));
    }

    void playerCarOutsideSlots_data()
    {
        QTest::addColumn<int>("player");
        QTest::newRow("no player") << -1;
        QTest::newRow("car 64") << 64;
    }

    void playerCarOutsideSlots()
    {
        QFETCH(int, player);
        Record record;
        record.add("Speed", irsdk_float, 0);
        record.put(0, 10.0f);
        auto reader = playerReader();
        reader->playerCarIdx = player;
        record.decodeInto(*reader);
        for (const CarLapState& car : reader->cars)
            QVERIFY(car.sample.keys().isEmpty());
    }

    void carIndexedValuesSpreadToCars()
    {
        Record record;
        record.add("SessionTime", irsdk_double, 0, 1, "s");
        record.add("SessionTick", irsdk_int, 8);
        record.add("CarIdxLapDistPct", irsdk_float, 12, 66, "%"); // two elements more than there are cars
        record.put(0, 100.5);
        record.put(8, qint32(6030));
        for (int e = 0; e < 66; ++e)
            record.put(12 + 4 * e, float(e) / 100.0f);
        auto reader = playerReader(false);
        reader->playerCarIdx = 2;
        record.decodeInto(*reader);

        const ZEL::Sample& player = reader->cars.at(2).sample;
        QCOMPARE(player.value(QStringLiteral("sessiontime")).value, QVariant(100.5));
        QVERIFY(!player.contains(QStringLiteral("lapdistpct")));
        QVERIFY(!player.contains(QStringLiteral("caridxlapdistpct")));
        const ZEL::Sample& other = reader->cars.at(63).sample;
        QCOMPARE(other.value(QStringLiteral("lapdistpct")).value, QVariant(0.63f));
        QCOMPARE(other.value(QStringLiteral("lapdistpct")).unit(), QStringLiteral("%"));
        QCOMPARE(other.value(QStringLiteral("sessiontime")).value, QVariant(100.5));
        QCOMPARE(other.value(QStringLiteral("sessiontime")).unit(), QStringLiteral("s"));
        QCOMPARE(other.value(QStringLiteral("sessiontick")).value, QVariant(quint64(6030)));
        QVERIFY(!other.value(QStringLiteral("sessiontimeremain")).value.isValid());
    }
};

QTEST_GUILESS_MAIN(tst_RecordDecoding)
#include "tst_recorddecoding.moc"
