#include "ibt/ibtreader.h"

#include <QColor>
#include <QtTest>

namespace {

// Car 0 is the player's; car 2 has a driver entry without a team; car 64 lies beyond the slots.
const char baseText[] = "WeekendInfo:\n"
                        " TrackDisplayName: Big Ring\n"
                        " TrackDisplayShortName: Ring\n"
                        " TrackConfigName: Grand Prix\n"
                        " TrackCity: Town\n"
                        " TrackCountry: Land\n"
                        " TrackNumTurns: 014\n"
                        " TrackSkies: Partly Cloudy\n"
                        " Official: 0\n"
                        " Category: Road\n"
                        " TrackLength: 5.51 km\n"
                        " TrackSurfaceTemp: 41.20 C\n"
                        " TrackAirTemp: 25.55 C\n"
                        " TrackNorthOffset: 1.2345 rad\n"
                        " SessionID: 1\n"
                        " SubSessionID: 2\n"
                        " WeekendOptions:\n"
                        "  WeatherTemp: 25.00 C\n"
                        "DriverInfo:\n"
                        " DriverCarIdx: 0\n"
                        " DriverCarFuelKgPerLtr: 0.75\n"
                        " DriverCarFuelMaxLtr: 100.0\n"
                        " DriverCarMaxFuelPct: 0.5\n"
                        " Drivers:\n"
                        " - CarIdx: 0\n"
                        "   UserName: Ann\n"
                        "   CarScreenName: Roadster\n"
                        "   TeamName: Team A\n"
                        "   AbbrevName: A. Ann\n"
                        "   IRating: 1500\n"
                        "   LicString: B 3.21\n"
                        "   Initials: AA\n"
                        "   UserID: 101\n"
                        "   CarPath: roadster\n"
                        "   CarClassID: 11\n"
                        "   CarID: 12\n"
                        "   CarClassShortName: RS\n"
                        "   ClubName: North\n"
                        "   DivisionName: Division 1\n"
                        "   LicColor: 0xfc8a27\n"
                        " - CarIdx: 2\n"
                        "   UserName: Bob\n"
                        "   CarScreenName: Coupe\n"
                        " - CarIdx: 63\n"
                        "   UserName: Zed\n"
                        " - CarIdx: 64\n"
                        "   UserName: Over\n"
                        "SessionInfo:\n"
                        " Sessions:\n"
                        " - SessionNum: 0\n"
                        "   SessionType: Practice\n"
                        " - SessionNum: 1\n"
                        "   SessionType: Race\n"
                        "CarSetup:\n"
                        " Chassis:\n"
                        "  Rear:\n"
                        "   FuelLevel: 20.0 L\n";

// A reader over the base text with one line replaced (an empty replacement drops the line).
void prepare(IbtReader& reader, const QString& from, const QString& to)
{
    QString text = QString::fromLatin1(baseText);
    if (!from.isEmpty())
        text.replace(from + QLatin1Char('\n'), to.isEmpty() ? QString() : to + QLatin1Char('\n'));
    reader.sessionInfo.parse(text.toLatin1().constData());
}

// A fixed field ("@name") or a property as "value[unit]"; "-" when the property is absent.
QString render(const ZEL::LapHeader& header, const QString& key)
{
    if (key == QLatin1String("@carId"))
        return header.carId().toString();
    if (key == QLatin1String("@trackName"))
        return header.trackName();
    if (key == QLatin1String("@trackConfig"))
        return header.trackConfig();
    if (key == QLatin1String("@driverName"))
        return header.driverName();
    if (key == QLatin1String("@carName"))
        return header.carName();
    if (key == QLatin1String("@sessionId"))
        return header.sessionId().toString(QUuid::WithoutBraces);
    if (key == QLatin1String("@sessionType"))
        return QString::number(int(header.sessionType()));
    if (!header.contains(key))
        return QStringLiteral("-");
    const ZEL::DynamicValue entry = header.value(key);
    QString value = entry.value.toString();
    if (entry.value.userType() == QMetaType::QColor) {
        const QColor colour = entry.value.value<QColor>();
        value = colour.isValid() ? colour.name() : QStringLiteral("invalid");
    }
    return value + QLatin1Char('[') + entry.unit() + QLatin1Char(']');
}

QString dump(const ZEL::LapHeader& header)
{
    QStringList items;
    for (const char* field : {"@carId", "@trackName", "@trackConfig", "@driverName", "@carName", "@sessionId",
                              "@sessionType"})
        items << render(header, QLatin1String(field));
    for (const QString& key : header.keys())
        items << key + QLatin1Char('=') + render(header, key);
    return items.join(QLatin1Char(';'));
}

// Slots that hold a name or the player mark, as "i:driver/team" with "*" for the player.
QString slotsOf(const IbtReader& reader)
{
    QStringList items;
    for (int i = 0; i < reader.cars.size(); ++i) {
        const CarLapState& car = reader.cars.at(i);
        if (!car.driverName.isEmpty() || !car.teamName.isEmpty() || car.isPlayerCar)
            items << QStringLiteral("%1:%2/%3%4").arg(i).arg(car.driverName, car.teamName,
                                                            car.isPlayerCar ? QStringLiteral("*") : QString());
    }
    return items.join(QLatin1Char(' '));
}

} // namespace

class tst_LapHeaderStamp : public QObject
{
    Q_OBJECT

private slots:
    void fillLapHeader_data();
    void fillLapHeader();
    void keySet_data();
    void keySet();
    void readDriverList_data();
    void readDriverList();
};

void tst_LapHeaderStamp::fillLapHeader_data()
{
    QTest::addColumn<QString>("from"); // a line of the base text ...
    QTest::addColumn<QString>("to");   // ... and its replacement
    QTest::addColumn<int>("car");
    QTest::addColumn<int>("sessionNum");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const struct {
        const char* row;
        const char* from;
        const char* to;
        int car;
        int sessionNum;
        const char* key;
        const char* expected;
    } rows[] = {
        {"sessionId 1 and 2", "", "", 0, 0, "@sessionId", "00000000-0000-0000-0000-000000000012"},
        {"sessionId digits read as hex", " SubSessionID: 2", " SubSessionID: 345678", 0, 0, "@sessionId",
         "00000000-0000-0000-0000-000001345678"},
        {"sessionId with a letter beyond hex", " SubSessionID: 2", " SubSessionID: 2x", 0, 0, "@sessionId",
         "00000000-0000-0000-0000-000000000000"},
        {"sessionId longer than 32 digits is not cut", " SubSessionID: 2",
         " SubSessionID: 123456789012345678901234567890123", 0, 0, "@sessionId", "11234567-8901-2345-6789-012345678901"},
        {"sessionType Practice", "", "", 0, 0, "@sessionType", "1"},
        {"sessionType Race", "", "", 0, 1, "@sessionType", "5"},
        {"sessionType Qualify", "   SessionType: Practice", "   SessionType: Qualify", 0, 0, "@sessionType", "2"},
        {"sessionType Warmup", "   SessionType: Practice", "   SessionType: Warmup", 0, 0, "@sessionType", "3"},
        {"sessionType Offline testing", "   SessionType: Practice", "   SessionType: Offline testing", 0, 0,
         "@sessionType", "0"},
        {"sessionType Offline Testing", "   SessionType: Practice", "   SessionType: Offline Testing", 0, 0,
         "@sessionType", "0"},
        {"sessionType lower case unknown", "   SessionType: Practice", "   SessionType: practice", 0, 0,
         "@sessionType", "-1"},
        {"Session name lower case kept", "   SessionType: Practice", "   SessionType: practice", 0, 0,
         "Session name", "practice[]"},
        {"Session name of another car's lap", "", "", 2, 1, "Session name", "Race[]"},
        {"Session name of a missing session", "", "", 0, 7, "Session name", "[]"},
        {"no player car reads session 0", " DriverCarIdx: 0", " DriverCarIdx: x", 0, 1, "Session name",
         "Practice[]"},
        {"Track turns stays text", "", "", 0, 0, "Track turns", "014[]"},
        {"Track length with unit", "", "", 0, 0, "Track length", "5.51[km]"},
        {"Track length double space", " TrackLength: 5.51 km", " TrackLength: 5.51  km", 0, 0, "Track length",
         "5.51[km]"},
        {"Track length three words", " TrackLength: 5.51 km", " TrackLength: 5.51 km long", 0, 0, "Track length",
         "5.51[km]"},
        {"Track length without unit", " TrackLength: 5.51 km", " TrackLength: 5.51", 0, 0, "Track length",
         "5.51[]"},
        {"Track length absent", " TrackLength: 5.51 km", "", 0, 0, "Track length", "0[]"},
        {"Track length not a number", " TrackLength: 5.51 km", " TrackLength: long km", 0, 0, "Track length",
         "0[km]"},
        {"Air temperature", "", "", 0, 0, "Air temperature", "25.55[C]"},
        {"Track surface temperature", "", "", 0, 0, "Track surface temperature", "41.2[C]"},
        {"Weekend temperature from options", "", "", 0, 0, "Weekend temperature", "25[C]"},
        {"YawOffset drops its unit", "", "", 0, 0, "YawOffset", "1.2345[]"},
        {"Maximum fuel level", "", "", 0, 0, "Maximum fuel level", "50[l]"},
        {"Maximum fuel percent", "", "", 0, 0, "Maximum fuel percent", "0.5[pu]"},
        {"Kg per fuel litre", "", "", 0, 0, "Kg per fuel litre", "0.75[]"},
        {"Maximum fuel weight", "", "", 0, 0, "Maximum fuel weight", "37.5[kg]"},
        {"no fuel for another car", "", "", 2, 0, "Maximum fuel level", "-"},
        {"fuel level without max litres", " DriverCarFuelMaxLtr: 100.0", "", 0, 0, "Maximum fuel level", "0[l]"},
        {"kg per litre zero: no density", " DriverCarFuelKgPerLtr: 0.75", " DriverCarFuelKgPerLtr: 0", 0, 0,
         "Kg per fuel litre", "-"},
        {"kg per litre zero: no weight", " DriverCarFuelKgPerLtr: 0.75", " DriverCarFuelKgPerLtr: 0", 0, 0,
         "Maximum fuel weight", "-"},
        {"kg per litre absent: no weight", " DriverCarFuelKgPerLtr: 0.75", "", 0, 0, "Maximum fuel weight", "-"},
        {"kg per litre absent: level kept", " DriverCarFuelKgPerLtr: 0.75", "", 0, 0, "Maximum fuel level",
         "50[l]"},
        {"fuel unit l is volume", "", "", 0, 0, "Preferred fuel unit", "volume[]"},
        {"fuel unit kg is weight", "   FuelLevel: 20.0 L", "   FuelLevel: 15.0 kg", 0, 0, "Preferred fuel unit",
         "weight[]"},
        {"fuel unit Kg is volume", "   FuelLevel: 20.0 L", "   FuelLevel: 15.0 Kg", 0, 0, "Preferred fuel unit",
         "volume[]"},
        {"fuel unit with double space", "   FuelLevel: 20.0 L", "   FuelLevel: 15.0  kg", 0, 0,
         "Preferred fuel unit", "weight[]"},
        {"fuel setting of one word", "   FuelLevel: 20.0 L", "   FuelLevel: 15.0", 0, 0, "Preferred fuel unit", "-"},
        {"fuel setting of three words", "   FuelLevel: 20.0 L", "   FuelLevel: 15.0 kg x", 0, 0,
         "Preferred fuel unit", "-"},
        {"no fuel unit for another car", "", "", 2, 0, "Preferred fuel unit", "-"},
        {"Team", "", "", 0, 0, "Team", "Team A[]"},
        {"Team missing in the entry", "", "", 2, 0, "Team", "[]"},
        {"License", "", "", 0, 0, "License", "B 3.21[]"},
        {"Division", "", "", 0, 0, "Division", "Division 1[]"},
        {"no driver entry, no Team", "", "", 5, 0, "Team", "-"},
        {"licence colour 0x", "", "", 0, 0, "Licence color", "#fc8a27[]"},
        {"licence colour #", "   LicColor: 0xfc8a27", "   LicColor: #fc8a27", 0, 0, "Licence color", "#fc8a27[]"},
        {"licence colour upper-case digits", "   LicColor: 0xfc8a27", "   LicColor: 0xFC8A27", 0, 0,
         "Licence color", "#fc8a27[]"},
        {"licence colour 0X not replaced", "   LicColor: 0xfc8a27", "   LicColor: 0Xfc8a27", 0, 0,
         "Licence color", "invalid[]"},
        {"licence colour empty", "   LicColor: 0xfc8a27", "   LicColor: ", 0, 0, "Licence color", "invalid[]"},
        {"licence colour absent", "   LicColor: 0xfc8a27", "", 0, 0, "Licence color", "invalid[]"},
        {"licence colour by name", "   LicColor: 0xfc8a27", "   LicColor: red", 0, 0, "Licence color",
         "#ff0000[]"},
    };
    for (const auto& row : rows)
        QTest::newRow(row.row) << QString::fromLatin1(row.from) << QString::fromLatin1(row.to) << row.car
                               << row.sessionNum << QString::fromLatin1(row.key) << QString::fromLatin1(row.expected);
}

void tst_LapHeaderStamp::fillLapHeader()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, car);
    QFETCH(int, sessionNum);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    IbtReader reader;
    prepare(reader, from, to);
    reader.readDriverList();
    // The session number travels in the player's sample; without a player car, slot 0 holds a decoy.
    const int holder = reader.playerCarIdx >= 0 && reader.playerCarIdx < reader.cars.size() ? reader.playerCarIdx : 0;
    reader.cars[holder].sample.setValue(QStringLiteral("sessionnum"), sessionNum, QString());

    ZEL::LapHeader header;
    reader.fillLapHeader(car, header);
    QCOMPARE(render(header, key), expected);
}

void tst_LapHeaderStamp::keySet_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("car");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("fixed"); // the seven fixed fields after filling a fresh header

    const QString fixedBase = QStringLiteral("Big Ring;Grand Prix;%1;00000000-0000-0000-0000-000000000012;1");
    QTest::newRow("player car: every entry")
        << QString() << 0 << 31 << QStringLiteral("0;") + fixedBase.arg(QStringLiteral("Ann;Roadster"));
    QTest::newRow("other car: no fuel block")
        << QString() << 2 << 26 << QStringLiteral("2;") + fixedBase.arg(QStringLiteral("Bob;Coupe"));
    QTest::newRow("car without driver entry") << QString() << 5 << 13 << QStringLiteral("5;") + fixedBase.arg(QStringLiteral(";"));
    QTest::newRow("no WeekendInfo")
        << QStringLiteral("WeekendInfo:") << 0 << 19
        << QStringLiteral("0;;;Ann;Roadster;00000000-0000-0000-0000-000000000000;1");
    QTest::newRow("no DriverInfo")
        << QStringLiteral("DriverInfo:") << 0 << 13
        << QStringLiteral("0;Big Ring;Grand Prix;;;00000000-0000-0000-0000-000000000012;1");
}

// Every key of the table once, the fixed fields as given, and a second call changes nothing.
void tst_LapHeaderStamp::keySet()
{
    QFETCH(QString, from);
    QFETCH(int, car);
    QFETCH(int, count);
    QFETCH(QString, fixed);

    IbtReader reader;
    // Renaming a section hides it and everything below it.
    prepare(reader, from, from.isEmpty() ? QString() : QStringLiteral("Hidden:"));
    reader.readDriverList();

    ZEL::LapHeader once;
    reader.fillLapHeader(car, once);
    QCOMPARE(once.keys().size(), count);
    QCOMPARE(dump(once).section(QLatin1Char(';'), 0, 6), fixed);

    static const QStringList known = {
        "Track short name", "Track city", "Track country", "Track turns", "Skies", "Official", "Category",
        "Track length", "Track surface temperature", "Air temperature", "Weekend temperature", "YawOffset",
        "Maximum fuel level", "Maximum fuel percent", "Kg per fuel litre", "Maximum fuel weight",
        "Preferred fuel unit", "Team", "Driver abbreviation", "iRating", "License", "Driver initials",
        "iRacing UserID", "iRacing car path", "iRacing car class ID", "iRacing car ID", "Class", "Club",
        "Division", "Licence color", "Session name"};
    for (const QString& key : once.keys())
        QVERIFY2(known.contains(key), qPrintable(key));

    ZEL::LapHeader twice;
    reader.fillLapHeader(car, twice);
    reader.fillLapHeader(car, twice);
    QCOMPARE(dump(twice), dump(once));
}

void tst_LapHeaderStamp::readDriverList_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("playerCarIdx");
    QTest::addColumn<QString>("filled");
    QTest::addColumn<bool>("carIds"); // every slot's sample carries its index

    // Before reading, slot 2 holds a stale team and slot 5 a stale name.
    QTest::newRow("player 0, team missing clears the stale one")
        << QString() << QString() << 0 << QStringLiteral("0:Ann/Team A* 2:Bob/ 5:Pre/ 63:Zed/") << true;
    QTest::newRow("no DriverInfo leaves the slots")
        << QStringLiteral("DriverInfo:") << QStringLiteral("Hidden:") << -1 << QStringLiteral("2:/Old 5:Pre/")
        << false;
    QTest::newRow("no driver list leaves the slots")
        << QStringLiteral(" Drivers:") << QStringLiteral(" Hidden:") << 0 << QStringLiteral("2:/Old 5:Pre/") << false;
    QTest::newRow("DriverCarIdx not a number")
        << QStringLiteral(" DriverCarIdx: 0") << QStringLiteral(" DriverCarIdx: x") << -1
        << QStringLiteral("0:Ann/Team A 2:Bob/ 5:Pre/ 63:Zed/") << true;
    QTest::newRow("DriverCarIdx absent")
        << QStringLiteral(" DriverCarIdx: 0") << QString() << -1 << QStringLiteral("0:Ann/Team A 2:Bob/ 5:Pre/ 63:Zed/")
        << true;
    QTest::newRow("DriverCarIdx 63") << QStringLiteral(" DriverCarIdx: 0") << QStringLiteral(" DriverCarIdx: 63") << 63
                                     << QStringLiteral("0:Ann/Team A 2:Bob/ 5:Pre/ 63:Zed/*") << true;
    QTest::newRow("DriverCarIdx 64 marks no slot")
        << QStringLiteral(" DriverCarIdx: 0") << QStringLiteral(" DriverCarIdx: 64") << 64
        << QStringLiteral("0:Ann/Team A 2:Bob/ 5:Pre/ 63:Zed/") << true;
    QTest::newRow("DriverCarIdx negative marks no slot")
        << QStringLiteral(" DriverCarIdx: 0") << QStringLiteral(" DriverCarIdx: -3") << -3
        << QStringLiteral("0:Ann/Team A 2:Bob/ 5:Pre/ 63:Zed/") << true;
}

void tst_LapHeaderStamp::readDriverList()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, playerCarIdx);
    QFETCH(QString, filled);
    QFETCH(bool, carIds);

    IbtReader reader;
    prepare(reader, from, to);
    reader.cars[2].teamName = QStringLiteral("Old");
    reader.cars[5].driverName = QStringLiteral("Pre");
    reader.readDriverList();

    QCOMPARE(reader.playerCarIdx, playerCarIdx);
    QCOMPARE(slotsOf(reader), filled);
    QCOMPARE(reader.cars.size(), 64); // the entry for car 64 has nowhere to go
    for (int i = 0; i < reader.cars.size(); ++i)
        QCOMPARE(reader.cars.at(i).sample.carId(), carIds ? QVariant(i) : QVariant());
}

QTEST_GUILESS_MAIN(tst_LapHeaderStamp)
#include "tst_lapheaderstamp.moc"
