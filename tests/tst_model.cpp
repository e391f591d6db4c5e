#include "model/dynamicdata.h"
#include "model/lap.h"
#include "support/laptext.h"

#include <QtTest>

#include <functional>
#include <utility>

namespace {

// "key=value:unit key=value ..." as a sample; the values stay text.
ZEL::Sample sample(const QString& text)
{
    ZEL::Sample result;
    for (const QString& entry : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList part = entry.split(QRegularExpression(QStringLiteral("[=:]")));
        result.setValue(part[0], part[1], part.value(2));
    }
    return result;
}

using LapChange = std::function<void(ZEL::Lap*&)>;

} // namespace

Q_DECLARE_METATYPE(LapChange)

class tst_Model : public QObject
{
    Q_OBJECT

private slots:
    void channel_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("expected"); // value and validity

        // The limit is 1e24 as float, widened to double.
        QTest::newRow("just below the limit") << 0 << "1.0000000138484277e+24 valid";
        QTest::newRow("1e24 as float") << 1 << "1.0000000138484279e+24 invalid";
        QTest::newRow("NaN") << 2 << "nan invalid";
        QTest::newRow("index -1 reads the marker") << -1 << "9.9999995620235262e+24 invalid";
        QTest::newRow("index equal to size") << 3 << "9.9999995620235262e+24 invalid";
    }

    void channel()
    {
        QFETCH(int, index);
        QFETCH(QString, expected);

        ZEL::Channel channel;
        channel.values = {1.0000000138484277e24, 1.0000000138484279e24, qQNaN()};
        const QString validity = channel.isValid(index) ? QStringLiteral(" valid") : QStringLiteral(" invalid");
        QCOMPARE(QString::number(channel.value(index), 'g', 17) + validity, expected);
        // In range a write replaces exactly that value; out of range it is ignored.
        channel.setValue(index, 42.0);
        QCOMPARE(channel.values.count(42.0), index >= 0 && index < 3 ? 1 : 0);
    }

    void appendSample_data()
    {
        QTest::addColumn<QStringList>("samples");
        QTest::addColumn<QString>("expected");

        QTest::newRow("gaps get the marker") << QStringList{"a=1 c=3", "b=2 c=4", "a=5"} << "a=1,~,5;b=~,2,~;c=3,4,~";
        QTest::newRow("new keys before, between and after channels")
            << QStringList{"b=1 d=2", "A=3 c=4 e=5"} << "A=~,3;b=1,~;c=~,4;d=2,~;e=~,5";
        QTest::newRow("empty sample first is not recorded") << QStringList{"", "a=1"} << "a=1";
        QTest::newRow("text converts, unconvertible text to 0") << QStringList{"a=-12.5", "a=abc"} << "a=-12.5,0";
        QTest::newRow("a channel keeps its first unit, a new one takes its entry's")
            << QStringList{"a=1:m", "a=2:km b=3:kg"} << "a[m]=1,2;b[kg]=~,3";
    }

    void appendSample()
    {
        QFETCH(QStringList, samples);
        QFETCH(QString, expected);

        ZEL::Lap lap;
        for (const QString& text : samples)
            lap.appendSample(sample(text));
        QCOMPARE(lapText(lap), expected);
        QCOMPARE(lap.sampleCount(), lap.channel(lap.channelNames().first())->size());
    }

    void sharing_data()
    {
        QTest::addColumn<LapChange>("change");
        QTest::addColumn<QString>("copy"); // the copy taken before the change

        // Copies share the channel objects: appending to one extends the other's shared channels.
        const QString original = QStringLiteral("a[m]=1,2;b=2,~");
        QTest::newRow("append") << LapChange([](ZEL::Lap*& lap) { lap->appendSample(sample("a=3:km c=4")); })
                                << "a[m]=1,2,3;b=2,~,~";
        QTest::newRow("value change") << LapChange([](ZEL::Lap*& lap) { lap->channel("a")->setValue(0, 9); }) << "a[m]=9,2;b=2,~";
        QTest::newRow("clear") << LapChange([](ZEL::Lap*& lap) { lap->clear(); }) << original;
        QTest::newRow("addChannel replacing")
            << LapChange([](ZEL::Lap*& lap) { lap->addChannel(new ZEL::Channel, "a"); }) << original;
        QTest::newRow("removeChannel") << LapChange([](ZEL::Lap*& lap) { lap->removeChannel("a"); }) << original;
        QTest::newRow("delete as DynamicData")
            << LapChange([](ZEL::Lap*& lap) { delete static_cast<ZEL::DynamicData*>(std::exchange(lap, nullptr)); }) << original;
    }

    void sharing()
    {
        QFETCH(LapChange, change);
        QFETCH(QString, copy);

        auto* lap = new ZEL::Lap;
        lap->appendSample(sample(QStringLiteral("a=1:m b=2")));
        lap->appendSample(sample(QStringLiteral("a=2")));
        QScopedPointer<ZEL::Lap> copied(new ZEL::Lap(*lap));
        const QWeakPointer<ZEL::Channel> watched = lap->channel(QStringLiteral("a"));
        change(lap);
        QCOMPARE(lapText(*copied), copy);
        // Once the copy is gone, channel "a" lives exactly as long as the lap still holds it.
        copied.reset();
        QCOMPARE(!watched.isNull(), lap && lap->channel(QStringLiteral("a")) == watched);
        delete lap;
    }

    void findValue_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("setUnder"); // where the key gets a value: own 1, extra 2
        QTest::addColumn<QString>("expected");

        QTest::newRow("Lap time from the header, before extra data") << "Lap time" << "extra" << "QTime:00:01:23.456";
        QTest::newRow("own Lap time property wins") << "Lap time" << "own" << "int:1 own";
        QTest::newRow("own property before extra data") << "Fuel" << "own extra" << "int:1 own";
        QTest::newRow("extra data when no own property") << "Fuel" << "extra" << "int:2 extra";
    }

    void findValue()
    {
        QFETCH(QString, key);
        QFETCH(QString, setUnder);
        QFETCH(QString, expected);

        ZEL::Lap lap;
        lap.setLapTime(QTime(0, 1, 23, 456));
        if (setUnder.contains(QLatin1String("own")))
            lap.setValue(key, 1, QStringLiteral("own"));
        if (setUnder.contains(QLatin1String("extra")))
            lap.setExtraValue(key, 2, QStringLiteral("extra"));
        const ZEL::DynamicValue found = lap.findValue(key);
        QCOMPARE(QString::fromLatin1(found.value.typeName()) + ':' + found.toString(), expected);
    }

    void dynamicData_data()
    {
        QTest::addColumn<QStringList>("script"); // "key:value:unit" sets, "-key" removes, "clear" clears
        QTest::addColumn<QString>("expected");   // "key=value unit" in key order

        QTest::newRow("copy unchanged") << QStringList() << "a=1 m";
        QTest::newRow("keys in ordinal order") << QStringList{"b:2:", QStringLiteral("\u00e4:3:"), "_:4:", "Z:5:s"}
                                               << QStringLiteral("Z=5 s;_=4;a=1 m;b=2;\u00e4=3");
        QTest::newRow("second set replaces value and unit") << QStringList{"a:2:"} << "a=2";
        QTest::newRow("keys differing in case are distinct") << QStringList{"A:2:kg"} << "A=2 kg;a=1 m";
        QTest::newRow("remove present key") << QStringList{"-a"} << "";
        QTest::newRow("remove absent key changes nothing") << QStringList{"-A"} << "a=1 m";
        QTest::newRow("set after clear") << QStringList{"clear", "b:2:g"} << "b=2 g";
        QTest::newRow("clear of an empty set") << QStringList{"clear", "clear"} << "";
    }

    void dynamicData()
    {
        QFETCH(QStringList, script);
        QFETCH(QString, expected);

        // Every change goes to a copy; the source it was taken from must not see it.
        ZEL::DynamicData source;
        source.setValue(QStringLiteral("a"), 1, QStringLiteral("m"));
        ZEL::DynamicData data(source);
        for (const QString& step : script) {
            const QStringList part = step.split(QLatin1Char(':'));
            if (step == QLatin1String("clear"))
                data.clear();
            else if (step.startsWith(QLatin1Char('-')))
                data.removeValue(step.mid(1));
            else
                data.setValue(part[0], part[1], part[2]);
        }

        QStringList items;
        for (const QString& key : data.keys())
            items.append(key + QLatin1Char('=') + data.value(key).toString());
        QCOMPARE(items.join(QLatin1Char(';')), expected);
        QCOMPARE(source.keys(), QStringList{QStringLiteral("a")});
        QCOMPARE(source.value(QStringLiteral("a")).toString(), QStringLiteral("1 m"));
        // Absent keys are never an error: an invalid value with a null unit.
        const ZEL::DynamicValue absent = data.value(QStringLiteral("x"));
        QVERIFY(!data.contains(QStringLiteral("x")) && !absent.value.isValid() && absent.unit().isNull());
    }
};

QTEST_GUILESS_MAIN(tst_Model)
#include "tst_model.moc"
