#include "ibt/ibtreader.h"
#include "support/laptext.h"

#include <QColor>
#include <QtTest>

#include <cstring>
#include <vector>

// The reader's stages, each driven directly: a record decoded into the cars' samples, a lap's header
// stamped from the session info, and the channel steps that finish a lap.
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
    void decodeInto(IbtReader& reader) const
    {
        irsdk_header header;
        std::memset(&header, 0, sizeof header);
        header.numVars = int(vars.size());
        header.bufLen = bytes.size();
        reader.decodeRecord(header, vars.data(), bytes.constData());
    }
};

/// A sample's value as "value[unit]".
QString entry(const ZEL::Sample& sample, const char* key)
{
    const auto value = sample.value(QLatin1String(key));
    return value.value.toString() + QLatin1Char('[') + value.unit() + QLatin1Char(']');
}

/// A reader whose player is car 0, as after a driver list naming it.
std::unique_ptr<IbtReader> playerReader(bool fullTelemetry = true)
{
    auto reader = std::make_unique<IbtReader>();
    reader->playerCarIdx = 0;
    reader->setFullTelemetry(fullTelemetry);
    return reader;
}

// Car 0 is the player's; car 2 has a driver entry without a team; car 64 lies beyond the slots.
const char baseText[] = "WeekendInfo:\n TrackLength: 5.51 km\n SessionID: 1\n SubSessionID: 345678\n"
                        "DriverInfo:\n DriverCarIdx: 0\n"
                        " DriverCarFuelKgPerLtr: 0.75\n DriverCarFuelMaxLtr: 100.0\n DriverCarMaxFuelPct: 0.5\n"
                        " Drivers:\n"
                        " - CarIdx: 0\n   UserName: Ann\n   TeamName: Team A\n   LicColor: 0xfc8a27\n"
                        " - CarIdx: 2\n   UserName: Bob\n"
                        " - CarIdx: 63\n   UserName: Zed\n"
                        " - CarIdx: 64\n   UserName: Over\n"
                        "SessionInfo:\n Sessions:\n - SessionNum: 0\n   SessionType: Practice\n"
                        "CarSetup:\n Chassis:\n  Rear:\n   FuelLevel: 20.0 L\n";

// A reader over the base text with the line of the same key replaced by `line`.
void prepare(IbtReader& reader, const QString& line)
{
    const QRegularExpression key(QLatin1Char('^') + QRegularExpression::escape(line.section(QLatin1Char(':'), 0, 0))
                                     + QStringLiteral(":.*$"),
                                 QRegularExpression::MultilineOption);
    const QString text = QString::fromLatin1(baseText).replace(key, line);
    reader.sessionInfo.parse(text.toLatin1().constData());
    reader.readDriverList();
}

// The session id or type ("@..."), or a property as "value[unit]"; "-" when the property is absent.
QString render(const ZEL::LapHeader& header, const QString& key)
{
    if (key == QLatin1String("@sessionId"))
        return header.sessionId().toString(QUuid::WithoutBraces);
    if (key == QLatin1String("@sessionType"))
        return QString::number(int(header.sessionType()));
    if (!header.contains(key))
        return QStringLiteral("-");
    const ZEL::DynamicValue entry = header.value(key);
    const QColor colour = entry.value.value<QColor>();
    const QString value = entry.value.userType() != QMetaType::QColor ? entry.value.toString()
                          : colour.isValid()                          ? colour.name()
                                                                      : QStringLiteral("invalid");
    return value + QLatin1Char('[') + entry.unit() + QLatin1Char(']');
}

// A lap in the form lapText() writes: "name[unit]=v,v;..." as channels, "@key=number" as lap values.
void fill(ZEL::Lap& lap, const QString& text)
{
    for (const QString& item : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString head = item.section(QLatin1Char('='), 0, 0);
        const QString body = item.section(QLatin1Char('='), 1);
        if (head.startsWith(QLatin1Char('@'))) {
            lap.setValue(head.mid(1), body.toDouble(), QString());
            continue;
        }
        auto* channel = new ZEL::Channel;
        channel->setUnit(head.section(QLatin1Char('['), 1).remove(QLatin1Char(']')));
        for (const QString& value : body.split(QLatin1Char(',')))
            channel->append(value == QLatin1String("~") ? ZEL::missingValue : value.toDouble());
        lap.addChannel(channel, head.section(QLatin1Char('['), 0, 0));
    }
}

} // namespace

class tst_IbtReader : public QObject
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
        QTest::newRow("array reaching past the record is skipped") << bytesOf(1.0f, 2.0f) << int(irsdk_float) << 3 << QVariant();
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
        QCOMPARE(actual.userType(), expected.userType()); // none when expected is none
        QCOMPARE(actual, expected);
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
        QCOMPARE(entry(sample, "sessiontime"), QStringLiteral("42[ticks]"));
        QCOMPARE(entry(sample, "lapdistpct"), QStringLiteral("0.5[%]"));
        // Fields filled to their width have no NUL; the text stops at the width.
        QCOMPARE(entry(sample, "abcdefghijklmnopqrstuvwxyzabcdef"), QStringLiteral("true[UnitOfExactlyThirtyTwoCharacters]"));
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
        QCOMPARE(player.keys(), (QStringList{"sessiontick", "sessiontime"})); // the cars' values are not the player's
        const ZEL::Sample& other = reader->cars.at(63).sample;
        QCOMPARE(other.value(QStringLiteral("lapdistpct")).value, QVariant(0.63f));
        QCOMPARE(other.value(QStringLiteral("lapdistpct")).unit(), QStringLiteral("%"));
        QCOMPARE(entry(other, "sessiontime"), QStringLiteral("100.5[s]"));
        QCOMPARE(other.value(QStringLiteral("sessiontick")).value, QVariant(quint64(6030)));
        QVERIFY(!other.value(QStringLiteral("sessiontimeremain")).value.isValid());
    }

    void fillLapHeader_data()
    {
        QTest::addColumn<QString>("line"); // replaces the line of the same key in the base text
        QTest::addColumn<int>("car");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        const char* const code = "@sessionType";
        const char* const unit = "Preferred fuel unit";
        QTest::newRow("session ids 1 and 345678 as hex digits")
            << "" << 0 << "@sessionId" << "00000000-0000-0000-0000-000001345678";
        QTest::newRow("sessionType Qualify") << "   SessionType: Qualify" << 0 << code << "2";
        QTest::newRow("sessionType Warmup") << "   SessionType: Warmup" << 0 << code << "3";
        QTest::newRow("sessionType Offline Testing") << "   SessionType: Offline Testing" << 0 << code << "0";
        QTest::newRow("sessionType Offline testing") << "   SessionType: Offline testing" << 0 << code << "0";
        QTest::newRow("sessionType in the wrong case") << "   SessionType: practice" << 0 << code << "-1";
        QTest::newRow("Track length double space") << " TrackLength: 5.51  km" << 0 << "Track length" << "5.51[km]";
        QTest::newRow("Track length without unit") << " TrackLength: 5.51" << 0 << "Track length" << "5.51[]";
        QTest::newRow("Track length not a number") << " TrackLength: long km" << 0 << "Track length" << "0[km]";
        QTest::newRow("Maximum fuel weight") << "" << 0 << "Maximum fuel weight" << "37.5[kg]";
        QTest::newRow("no fuel block for another car") << "" << 2 << "Maximum fuel level" << "-";
        QTest::newRow("kg per litre zero: no density") << " DriverCarFuelKgPerLtr: 0" << 0 << "Kg per fuel litre" << "-";
        QTest::newRow("kg per litre zero: no weight") << " DriverCarFuelKgPerLtr: 0" << 0 << "Maximum fuel weight" << "-";
        QTest::newRow("fuel unit l is volume") << "" << 0 << unit << "volume[]";
        QTest::newRow("fuel unit kg is weight") << "   FuelLevel: 15.0 kg" << 0 << unit << "weight[]";
        QTest::newRow("fuel setting of one word") << "   FuelLevel: 15.0" << 0 << unit << "-";
        QTest::newRow("fuel setting of three words") << "   FuelLevel: 15.0 kg x" << 0 << unit << "-";
        QTest::newRow("licence colour 0x") << "" << 0 << "Licence color" << "#fc8a27[]";
        QTest::newRow("licence colour #") << "   LicColor: #fc8a27" << 0 << "Licence color" << "#fc8a27[]";
        QTest::newRow("licence colour empty") << "   LicColor: " << 0 << "Licence color" << "invalid[]";
    }

    void fillLapHeader()
    {
        QFETCH(QString, line);
        QFETCH(int, car);
        QFETCH(QString, key);
        QFETCH(QString, expected);

        IbtReader reader;
        prepare(reader, line);
        ZEL::LapHeader header;
        reader.fillLapHeader(car, header);
        QCOMPARE(render(header, key), expected);
    }

    void readDriverList_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("playerCarIdx");
        QTest::addColumn<QString>("filled"); // "slot:driver/team", "*" marking the player
        QTest::addColumn<bool>("carIds");    // every slot's sample carries its index

        // Before reading, slot 2 holds a stale team and slot 5 a stale name.
        const QString all = QStringLiteral("0:Ann/Team A 2:Bob/ 5:Pre/ 63:Zed/");
        QTest::newRow("player 0, team missing clears the stale one") << "" << 0 << "0:Ann/Team A* 2:Bob/ 5:Pre/ 63:Zed/" << true;
        // A value where the section was: the driver lines belong elsewhere.
        QTest::newRow("no DriverInfo leaves the slots") << "DriverInfo: none" << -1 << "2:/Old 5:Pre/" << false;
        QTest::newRow("DriverCarIdx not a number") << " DriverCarIdx: x" << -1 << all << true;
        QTest::newRow("DriverCarIdx 63") << " DriverCarIdx: 63" << 63 << all + QLatin1Char('*') << true;
        QTest::newRow("DriverCarIdx 64 marks no slot") << " DriverCarIdx: 64" << 64 << all << true;
    }

    void readDriverList()
    {
        QFETCH(QString, line);
        QFETCH(int, playerCarIdx);
        QFETCH(QString, filled);
        QFETCH(bool, carIds);

        IbtReader reader;
        reader.cars[2].teamName = QStringLiteral("Old");
        reader.cars[5].driverName = QStringLiteral("Pre");
        prepare(reader, line);

        QCOMPARE(reader.playerCarIdx, playerCarIdx);
        QCOMPARE(reader.cars.size(), 64); // the entry for car 64 has nowhere to go
        QStringList filledSlots;
        for (int i = 0; i < reader.cars.size(); ++i) {
            const CarLapState& car = reader.cars.at(i);
            QCOMPARE(car.sample.carId(), carIds ? QVariant(i) : QVariant());
            if (!car.driverName.isEmpty() || !car.teamName.isEmpty() || car.isPlayerCar)
                filledSlots << QStringLiteral("%1:%2/%3%4").arg(i).arg(car.driverName, car.teamName,
                                                                car.isPlayerCar ? QStringLiteral("*") : QString());
        }
        QCOMPARE(filledSlots.join(QLatin1Char(' ')), filled);
    }

    void steps_data()
    {
        QTest::addColumn<int>("car"); // 0 is the player's
        QTest::addColumn<QString>("lap");
        QTest::addColumn<QString>("expected"); // empty: the lap as it was

        const QString pct = QStringLiteral(";lapdistpct=0.1,0.2,0.3,0.4");
        QTest::newRow("repair: timer of the previous lap") << 0 << "lapcurrentlaptime=90.2,90.3,0.1,0.2" + pct
                                                           << "lapcurrentlaptime=0.0333333,0.0666667,0.1,0.2" + pct;
        QTest::newRow("repair: zeros at the start") << 0 << "lapcurrentlaptime=0,0,5,10" + pct
                                                    << "lapcurrentlaptime=1.66667,3.33333,5,10" + pct;
        QTest::newRow("repair: replaced value is what the one before meets")
            << 0 << "lapcurrentlaptime=1.2,2,1.5,3" + pct << "lapcurrentlaptime=0.5,1,1.5,3" + pct;
        QTest::newRow("repair: zero reference stops at once") << 0 << "lapcurrentlaptime=90.2,0,0,0" + pct << "";
        QTest::newRow("repair: never falling, never zero") << 0 << "lapcurrentlaptime=1,2,2,3" + pct << "";
        QTest::newRow("repair: no lapdistpct") << 0 << "lapcurrentlaptime=90.2,0.1" << "";

        QTest::newRow("drop: listed names exactly as written") << 2 << "IsOnTrack=1;TireRR_RumblePitch=1;sessionnum=1;x=1"
                                                               << "x=1";
        QTest::newRow("drop: lower-case, other spellings and longer names kept")
            << 2 << "IsOnTrackcar=1;SessionNum=1;isontrack=1;isontrackx=1;playercarmyincidentcount=1;tirelf_rumblepitch=1" << "";

        QTest::newRow("fuel weight") << 0 << "fuellevel[l]=50,49.9;@Kg per fuel litre=0.75"
                                     << "fuellevel[l]=50,49.9;fuelweight[kg]=37.5,37.425;@Kg per fuel litre=0.75";
        QTest::newRow("kg per litre zero, no fuel weight") << 0 << "fuellevel[l]=50;@Kg per fuel litre=0" << "";
        QTest::newRow("only % becomes pu") << 0 << "clutch[ %]=1;throttle[%]=0.5" << "clutch[ %]=1;throttle[pu]=0.5";
        QTest::newRow("yawOffset applied to Yaw only, then removed")
            << 0 << "Yaw=1,2;yaw=1,2;@YawOffset=0.25;@yawOffset=0.5" << "Yaw=1.5,2.5;yaw=1,2;@YawOffset=0.25";
        // Other cars get dt, distance and speed, the speed in metres per the session time's unit.
        QTest::newRow("other car") << 2 << "lapdistpct=0.1,0.2,0.3;sessiontime[min]=1,1.1,1.25;@Track length=1"
            << "dt=0.1,0.15,0.15;lapdist[m]=100,200,300;lapdistpct=0.1,0.2,0.3;sessiontime[min]=1,1.1,1.25;"
               "speed[m/min]=1000,666.667,666.667;@Track length=1";
        QTest::newRow("other car: single sample") << 2 << "lapdistpct=0.1;sessiontime[s]=1;@Track length=1"
            << "dt=~;lapdist[m]=100;lapdistpct=0.1;sessiontime[s]=1;speed[m/s]=~;@Track length=1";
        QTest::newRow("other car without Track length: dt only")
            << 2 << "lapdistpct=0.1,0.2;sessiontime[s]=1,3" << "dt=2,2;lapdistpct=0.1,0.2;sessiontime[s]=1,3";
        QTest::newRow("other car without session time") << 2 << "lapdistpct=0.1,0.2;@Track length=0.5" << "";
        QTest::newRow("player car: no dt") << 0 << "lapdistpct=0.1,0.2;sessiontime[s]=1,3;@Track length=0.5" << "";
    }

    // The channel steps in the order finishing a lap runs them.
    void steps()
    {
        QFETCH(int, car);
        QFETCH(QString, lap);
        QFETCH(QString, expected);

        IbtReader reader;
        reader.playerCarIdx = 0;
        fill(reader.cars[car].lap, lap);
        reader.dropConstantChannels(car);
        reader.addDerivedChannels(car);
        reader.repairLapStart(car, QStringLiteral("lapcurrentlaptime"));
        QCOMPARE(lapText(reader.cars.at(car).lap), expected.isEmpty() ? lap : expected);
    }
};

QTEST_GUILESS_MAIN(tst_IbtReader)
#include "tst_ibtreader.moc"
