#include "ibt/ibtreader.h"

#include <QColor>
#include <QtTest>

namespace {

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

} // namespace

class tst_LapHeaderStamp : public QObject
{
    Q_OBJECT

private slots:
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
        QTest::newRow("player 0, team missing clears the stale one")
            << "" << 0 << "0:Ann/Team A* 2:Bob/ 5:Pre/ 63:Zed/" << true;
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
};

QTEST_GUILESS_MAIN(tst_LapHeaderStamp)
#include "tst_lapheaderstamp.moc"
