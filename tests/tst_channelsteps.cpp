#include "ibt/ibtreader.h"

#include <QtTest>

namespace {

constexpr int player = 0;
constexpr int otherCar = 2;

// "name[unit]=v,v;..." into channels of the car's lap; "~" is the missing-value marker.
void addChannels(ZEL::Lap& lap, const QString& text)
{
    for (const QString& item : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString head = item.section(QLatin1Char('='), 0, 0);
        auto* channel = new ZEL::Channel;
        channel->setUnit(head.section(QLatin1Char('['), 1).chopped(head.contains(QLatin1Char('[')) ? 1 : 0));
        for (const QString& value : item.section(QLatin1Char('='), 1).split(QLatin1Char(','), Qt::SkipEmptyParts))
            channel->append(value == QLatin1String("~") ? ZEL::missingValue : value.toDouble());
        lap.addChannel(channel, head.section(QLatin1Char('['), 0, 0));
    }
}

// "key=number;..." as lap values without unit.
void addValues(ZEL::Lap& lap, const QString& text)
{
    for (const QString& item : text.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        lap.setValue(item.section(QLatin1Char('='), 0, 0), item.section(QLatin1Char('='), 1).toDouble(), QString());
}

// Channels in the form addChannels reads, six significant digits; then "|" and the lap values.
QString dump(const ZEL::Lap& lap)
{
    QStringList items;
    for (const QString& name : lap.channelNames()) {
        const QSharedPointer<ZEL::Channel> channel = lap.channel(name);
        QStringList values;
        for (double value : channel->values)
            values << (value == ZEL::missingValue ? QStringLiteral("~") : QString::number(value, 'g', 6));
        const QString unit = channel->unit().isEmpty() ? QString() : QLatin1Char('[') + channel->unit() + QLatin1Char(']');
        items << name + unit + QLatin1Char('=') + values.join(QLatin1Char(','));
    }
    QStringList values;
    for (const QString& key : lap.keys())
        values << key + QLatin1Char('=') + lap.value(key).value.toString();
    return items.join(QLatin1Char(';')) + QLatin1Char('|') + values.join(QLatin1Char(';'));
}

} // namespace

class tst_ChannelSteps : public QObject
{
    Q_OBJECT

private slots:
    void repairLapStart_data();
    void repairLapStart();
    void dropConstantChannels_data();
    void dropConstantChannels();
    void addDerivedChannels_data();
    void addDerivedChannels();
};

void tst_ChannelSteps::repairLapStart_data()
{
    QTest::addColumn<QString>("channels");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    const QString pct = QStringLiteral(";lapdistpct=0.001,0.002,0.003,0.004");
    QTest::newRow("timer of the previous lap")
        << QStringLiteral("lapcurrentlaptime=90.2,90.3,0.1,0.2") + pct << QStringLiteral("lapcurrentlaptime")
        << QStringLiteral("lapcurrentlaptime=0.0333333,0.0666667,0.1,0.2") + pct;
    QTest::newRow("zeros at the start")
        << QStringLiteral("energybatterytomgu_klap=0,0,5,10") + pct << QStringLiteral("energybatterytomgu_klap")
        << QStringLiteral("energybatterytomgu_klap=1.66667,3.33333,5,10") + pct;
    QTest::newRow("replaced value is what the one before meets")
        << QStringLiteral("lapcurrentlaptime=1.2,2,1.5,3;lapdistpct=0.1,0.2,0.3,0.4") << QStringLiteral("lapcurrentlaptime")
        << QStringLiteral("lapcurrentlaptime=0.5,1,1.5,3;lapdistpct=0.1,0.2,0.3,0.4");
    QTest::newRow("zero reference stops at once")
        << QStringLiteral("lapcurrentlaptime=90.2,0,0;lapdistpct=0.001,0.002,0.003") << QStringLiteral("lapcurrentlaptime")
        << QStringLiteral("lapcurrentlaptime=90.2,0,0;lapdistpct=0.001,0.002,0.003");
    QTest::newRow("never falling, never zero")
        << QStringLiteral("lapcurrentlaptime=1,2,2,3") + pct << QStringLiteral("lapcurrentlaptime")
        << QStringLiteral("lapcurrentlaptime=1,2,2,3") + pct;
    QTest::newRow("single sample")
        << QStringLiteral("lapcurrentlaptime=0;lapdistpct=0.5") << QStringLiteral("lapcurrentlaptime")
        << QStringLiteral("lapcurrentlaptime=0;lapdistpct=0.5");
    QTest::newRow("no lapdistpct")
        << QStringLiteral("lapcurrentlaptime=90.2,0.1") << QStringLiteral("lapcurrentlaptime")
        << QStringLiteral("lapcurrentlaptime=90.2,0.1");
    QTest::newRow("no such channel")
        << QStringLiteral("lapcurrentlaptime=90.2,0.1;lapdistpct=0.1,0.2") << QStringLiteral("energymgu_klapdeploypct")
        << QStringLiteral("lapcurrentlaptime=90.2,0.1;lapdistpct=0.1,0.2");
}

void tst_ChannelSteps::repairLapStart()
{
    QFETCH(QString, channels);
    QFETCH(QString, name);
    QFETCH(QString, expected);

    IbtReader reader;
    addChannels(reader.cars[player].lap, channels);
    reader.repairLapStart(player, name);
    QCOMPARE(dump(reader.cars.at(player).lap), expected + QLatin1Char('|'));
}

void tst_ChannelSteps::dropConstantChannels_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("dropped");

    QTest::newRow("sessionnum") << QStringLiteral("sessionnum") << true;
    QTest::newRow("IsOnTrack as listed") << QStringLiteral("IsOnTrack") << true;
    QTest::newRow("isontrack in lower case") << QStringLiteral("isontrack") << true;
    QTest::newRow("isontrackcar") << QStringLiteral("isontrackcar") << true;
    QTest::newRow("playercarweightpenalty") << QStringLiteral("playercarweightpenalty") << true;
    QTest::newRow("sessionuniqueid") << QStringLiteral("sessionuniqueid") << true;
    QTest::newRow("tirerr_rumblepitch") << QStringLiteral("tirerr_rumblepitch") << true;
    QTest::newRow("other mixed case kept") << QStringLiteral("IsOnTrackcar") << false;
    QTest::newRow("SessionNum not listed that way") << QStringLiteral("SessionNum") << false;
    QTest::newRow("longer name kept") << QStringLiteral("isontrackx") << false;
    QTest::newRow("ordinary channel kept") << QStringLiteral("speed") << false;
}

void tst_ChannelSteps::dropConstantChannels()
{
    QFETCH(QString, name);
    QFETCH(bool, dropped);

    IbtReader reader;
    ZEL::Lap& lap = reader.cars[otherCar].lap;
    addChannels(lap, name + QStringLiteral("=1,1;throttle=0.5,0.6"));
    reader.dropConstantChannels(otherCar);
    const QStringList kept = dropped ? QStringList{"throttle"} : QStringList{name, "throttle"};
    QCOMPARE(lap.channelNames(), kept);
}

void tst_ChannelSteps::addDerivedChannels_data()
{
    QTest::addColumn<int>("car");
    QTest::addColumn<QString>("channels");
    QTest::addColumn<QString>("values");
    QTest::addColumn<QString>("expected");

    QTest::newRow("fuel weight") << player << QStringLiteral("fuellevel[l]=50,49.9")
                                 << QStringLiteral("Kg per fuel litre=0.75")
                                 << QStringLiteral("fuellevel[l]=50,49.9;fuelweight[kg]=37.5,37.425|Kg per fuel litre=0.75");
    QTest::newRow("no kg per litre, no fuel weight")
        << player << QStringLiteral("fuellevel[l]=50,49.9") << QString() << QStringLiteral("fuellevel[l]=50,49.9|");
    QTest::newRow("kg per litre zero, no fuel weight")
        << player << QStringLiteral("fuellevel[l]=50") << QStringLiteral("Kg per fuel litre=0")
        << QStringLiteral("fuellevel[l]=50|Kg per fuel litre=0");
    QTest::newRow("only % becomes pu")
        << player << QStringLiteral("brake[pct]=0.1;clutch[ %]=1;throttle[%]=0.5") << QString()
        << QStringLiteral("brake[pct]=0.1;clutch[ %]=1;throttle[pu]=0.5|");
    QTest::newRow("yawOffset applied to Yaw and removed")
        << player << QStringLiteral("Yaw=1,2") << QStringLiteral("yawOffset=0.5") << QStringLiteral("Yaw=1.5,2.5|");
    QTest::newRow("YawOffset and yaw left as they are")
        << player << QStringLiteral("yaw=1,2") << QStringLiteral("YawOffset=0.5")
        << QStringLiteral("yaw=1,2|YawOffset=0.5");

    const QString threeSamples = QStringLiteral("lapdistpct=0.1,0.2,0.3;sessiontime[s]=10,10.1,10.25");
    QTest::newRow("other car: dt, lapdist, speed")
        << otherCar << threeSamples << QStringLiteral("Track length=0.5")
        << QStringLiteral("dt=0.1,0.15,0.15;lapdist[m]=50,100,150;") + threeSamples
               + QStringLiteral(";speed[m/s]=500,333.333,333.333|Track length=0.5");
    QTest::newRow("other car: speed unit follows session time")
        << otherCar << QStringLiteral("lapdistpct=0.1,0.2;sessiontime[min]=1,2") << QStringLiteral("Track length=1")
        << QStringLiteral("dt=1,1;lapdist[m]=100,200;lapdistpct=0.1,0.2;sessiontime[min]=1,2;speed[m/min]=100,100|"
                          "Track length=1");
    QTest::newRow("other car: single sample")
        << otherCar << QStringLiteral("lapdistpct=0.1;sessiontime[s]=10") << QStringLiteral("Track length=0.5")
        << QStringLiteral("dt=~;lapdist[m]=50;lapdistpct=0.1;sessiontime[s]=10;speed[m/s]=~|Track length=0.5");
    QTest::newRow("other car without Track length: dt only")
        << otherCar << threeSamples << QString() << QStringLiteral("dt=0.1,0.15,0.15;") + threeSamples + QLatin1Char('|');
    QTest::newRow("other car without session time: nothing")
        << otherCar << QStringLiteral("lapdistpct=0.1,0.2") << QStringLiteral("Track length=0.5")
        << QStringLiteral("lapdistpct=0.1,0.2|Track length=0.5");
    QTest::newRow("player car never gets dt")
        << player << threeSamples << QStringLiteral("Track length=0.5") << threeSamples + QStringLiteral("|Track length=0.5");
}

void tst_ChannelSteps::addDerivedChannels()
{
    QFETCH(int, car);
    QFETCH(QString, channels);
    QFETCH(QString, values);
    QFETCH(QString, expected);

    IbtReader reader;
    reader.playerCarIdx = player;
    ZEL::Lap& lap = reader.cars[car].lap;
    addChannels(lap, channels);
    addValues(lap, values);
    reader.addDerivedChannels(car);
    QCOMPARE(dump(lap), expected);
}

QTEST_GUILESS_MAIN(tst_ChannelSteps)
#include "tst_channelsteps.moc"
