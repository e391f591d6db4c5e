#include "ibt/ibtreader.h"

#include <QtTest>

namespace {

// "name[unit]=v,v;..." as channels ("~" the missing-value marker), "@key=number" as lap values.
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

// The lap in the form fill() reads, six significant digits.
QString dump(const ZEL::Lap& lap)
{
    QStringList items;
    for (auto it = lap.channels().cbegin(); it != lap.channels().cend(); ++it) {
        QStringList values;
        for (double value : it.value()->values)
            values << (value == ZEL::missingValue ? QStringLiteral("~") : QString::number(value, 'g', 6));
        items << QStringLiteral("%1[%2]=").arg(it.key(), it.value()->unit()) + values.join(QLatin1Char(','));
    }
    for (const QString& key : lap.keys())
        items << QLatin1Char('@') + key + QLatin1Char('=') + lap.value(key).value.toString();
    return items.join(QLatin1Char(';')).remove(QStringLiteral("[]")); // no unit, no brackets
}

} // namespace

class tst_ChannelSteps : public QObject
{
    Q_OBJECT

private slots:
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
            << 2 << "IsOnTrackcar=1;SessionNum=1;isontrack=1;isontrackx=1;playercarmyincidentcount=1;tirelf_rumblepitch=1"
            << "";

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
        QCOMPARE(dump(reader.cars.at(car).lap), expected.isEmpty() ? lap : expected);
    }
};

QTEST_GUILESS_MAIN(tst_ChannelSteps)
#include "tst_channelsteps.moc"
