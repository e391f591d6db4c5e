#include "model/lap.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

namespace {

// Fixed by the host: 1e25 and 1e24 as floats, widened to double.
const double marker = 9.999999562023526e24;
const double validLimit = 1.0000000138484279e24;

struct Entry {
    QString key;
    QVariant value;
    QString unit;
};

ZEL::Sample sample(std::initializer_list<Entry> entries)
{
    ZEL::Sample result;
    for (const Entry& entry : entries)
        result.setValue(entry.key, entry.value, entry.unit);
    return result;
}

ZEL::Channel* channelOf(std::initializer_list<double> values)
{
    auto* channel = new ZEL::Channel;
    for (double value : values)
        channel->append(value);
    return channel;
}

bool same(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// Channels as "name[unit]=v,v" ("~" for the marker), then properties as "key:text",
// then extra data as "+key:text".
QString dump(const ZEL::Lap& lap)
{
    QStringList items;
    for (const QString& name : lap.channelNames()) {
        const QSharedPointer<ZEL::Channel> channel = lap.channel(name);
        QStringList values;
        for (double value : channel->values)
            values.append(value == marker ? QStringLiteral("~") : QString::number(value));
        const QString unit = channel->unit().isEmpty() ? QString() : QLatin1Char('[') + channel->unit() + QLatin1Char(']');
        items.append(name + unit + QLatin1Char('=') + values.join(QLatin1Char(',')));
    }
    for (const QString& key : lap.keys())
        items.append(key + QLatin1Char(':') + lap.value(key).toString());
    for (const QString& key : lap.extraKeys())
        items.append(QLatin1Char('+') + key + QLatin1Char(':') + lap.extraValue(key).toString());
    return items.join(QLatin1Char(';'));
}

} // namespace

class tst_Lap : public QObject
{
    Q_OBJECT

private slots:
    void channel_data();
    void channel();
    void appendSample_data();
    void appendSample();
    void sharing_data();
    void sharing();
    void findValue_data();
    void findValue();
    void sampleCount_data();
    void sampleCount();
    void channelLifetime_data();
    void channelLifetime();
    void headerDefaults();
};

void tst_Lap::channel_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<double>("expected");
    QTest::addColumn<bool>("valid");

    const double belowLimit = std::nextafter(validLimit, 0.0);
    QTest::newRow("plain value") << 0 << 1.5 << true;
    QTest::newRow("just below the limit") << 1 << belowLimit << true;
    QTest::newRow("1e24 as float") << 2 << validLimit << false;
    QTest::newRow("NaN") << 3 << std::numeric_limits<double>::quiet_NaN() << false;
    QTest::newRow("marker") << 4 << marker << false;
    QTest::newRow("negative value") << 5 << -2.0 << true;
    QTest::newRow("index -1") << -1 << marker << false;
    QTest::newRow("index equal to size") << 6 << marker << false;
    QTest::newRow("index far out") << std::numeric_limits<int>::min() << marker << false;
}

void tst_Lap::channel()
{
    QFETCH(int, index);
    QFETCH(double, expected);
    QFETCH(bool, valid);

    std::unique_ptr<ZEL::Channel> channel(channelOf({1.5, std::nextafter(validLimit, 0.0), validLimit,
                                                     std::numeric_limits<double>::quiet_NaN(), marker, -2.0}));
    QVERIFY(channel->unit().isNull());
    QVERIFY2(same(channel->value(index), expected), qPrintable(QString::number(channel->value(index), 'g', 17)));
    QCOMPARE(channel->isValid(index), valid);

    // Writing out of range is ignored; in range it replaces exactly that value.
    const QVector<double> before = channel->values;
    channel->setValue(index, 42.0);
    QVector<double> after = before;
    if (index >= 0 && index < before.size())
        after[index] = 42.0;
    QCOMPARE(channel->values.size(), after.size());
    for (int i = 0; i < after.size(); ++i)
        QVERIFY(same(channel->values.at(i), after.at(i)));
}

void tst_Lap::appendSample_data()
{
    QTest::addColumn<QVector<ZEL::Sample>>("samples");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("count");

    QTest::newRow("three samples with gaps")
        << QVector<ZEL::Sample>{sample({{"a", 1, ""}, {"c", 3, ""}}), sample({{"b", 2, ""}, {"c", 4, ""}}),
                                sample({{"a", 5, ""}})}
        << QStringLiteral("a=1,~,5;b=~,2,~;c=3,4,~") << 3;
    QTest::newRow("new key sorting before every channel")
        << QVector<ZEL::Sample>{sample({{"b", 1, ""}, {"c", 2, ""}}), sample({{"b", 3, ""}, {"c", 4, ""}}),
                                sample({{"A", 5, "m"}, {"b", 6, ""}})}
        << QStringLiteral("A[m]=~,~,5;b=1,3,6;c=2,4,~") << 3;
    QTest::newRow("new keys between and after channels")
        << QVector<ZEL::Sample>{sample({{"b", 1, ""}, {"d", 2, ""}}),
                                sample({{"a", 3, ""}, {"c", 4, ""}, {"e", 5, ""}, {"f", 6, ""}})}
        << QStringLiteral("a=~,3;b=1,~;c=~,4;d=2,~;e=~,5;f=~,6") << 2;
    QTest::newRow("empty sample on a lap with channels")
        << QVector<ZEL::Sample>{sample({{"a", 1, ""}, {"b", 2, ""}}), sample({})}
        << QStringLiteral("a=1,~;b=2,~") << 2;
    QTest::newRow("empty sample on a lap without channels")
        << QVector<ZEL::Sample>{sample({})} << QString() << 0;
    QTest::newRow("empty sample first is not recorded")
        << QVector<ZEL::Sample>{sample({}), sample({{"a", 1, ""}})} << QStringLiteral("a=1") << 1;
    QTest::newRow("text of a number converts")
        << QVector<ZEL::Sample>{sample({{"a", QStringLiteral("12.5"), ""}}), sample({{"a", QStringLiteral("-3"), ""}})}
        << QStringLiteral("a=12.5,-3") << 2;
    QTest::newRow("unconvertible values become 0")
        << QVector<ZEL::Sample>{sample({{"a", QStringLiteral("abc"), ""}}),
                                sample({{"a", QDateTime(QDate(2024, 5, 1), QTime(12, 0)), ""}}),
                                sample({{"a", QVariant(), ""}})}
        << QStringLiteral("a=0,0,0") << 3;
    QTest::newRow("unit of an existing channel never changes")
        << QVector<ZEL::Sample>{sample({{"a", 1, "m"}}), sample({{"a", 2, "km"}}), sample({{"a", 3, ""}})}
        << QStringLiteral("a[m]=1,2,3") << 3;
    QTest::newRow("new channel takes its entry's unit")
        << QVector<ZEL::Sample>{sample({{"a", 1, "m"}}), sample({{"a", 2, "km"}, {"b", 3, "kg"}})}
        << QStringLiteral("a[m]=1,2;b[kg]=~,3") << 2;
    QTest::newRow("names differing in case are separate channels")
        << QVector<ZEL::Sample>{sample({{"speed", 1, ""}}), sample({{"Speed", 2, ""}})}
        << QStringLiteral("Speed=~,2;speed=1,~") << 2;
}

void tst_Lap::appendSample()
{
    QFETCH(QVector<ZEL::Sample>, samples);
    QFETCH(QString, expected);
    QFETCH(int, count);

    ZEL::Lap lap;
    for (const ZEL::Sample& s : samples)
        lap.appendSample(s);
    QCOMPARE(dump(lap), expected);
    QCOMPARE(lap.sampleCount(), count);
    for (const QString& name : lap.channelNames())
        QCOMPARE(lap.channel(name)->size(), count);
    QVERIFY(lap.keys().isEmpty()); // samples go into channels, not properties
}

void tst_Lap::sharing_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("onSecond");
    QTest::addColumn<bool>("byAssignment");
    QTest::addColumn<QString>("changed");
    QTest::addColumn<QString>("other");

    const QString original = QStringLiteral("a[m]=1,2;b=2,~;Track:x;+Extra:e");
    QTest::newRow("append to first extends the second's shared channels")
        << "append" << false << true << QStringLiteral("a[m]=1,2,3;b=2,~,~;c=~,~,4;Track:x;+Extra:e")
        << QStringLiteral("a[m]=1,2,3;b=2,~,~;Track:x;+Extra:e");
    QTest::newRow("append to copy-constructed second")
        << "append" << true << false << QStringLiteral("a[m]=1,2,3;b=2,~,~;c=~,~,4;Track:x;+Extra:e")
        << QStringLiteral("a[m]=1,2,3;b=2,~,~;Track:x;+Extra:e");
    QTest::newRow("value change in a shared channel") << "setChannelValue" << false << true
                                                      << QStringLiteral("a[m]=9,2;b=2,~;Track:x;+Extra:e")
                                                      << QStringLiteral("a[m]=9,2;b=2,~;Track:x;+Extra:e");
    QTest::newRow("clear first") << "clear" << false << true << QString() << original;
    QTest::newRow("clear copy-constructed second") << "clear" << true << false << QString() << original;
    QTest::newRow("addChannel on first") << "addChannel" << false << true
                                         << QStringLiteral("a[m]=1,2;b=2,~;d=7;Track:x;+Extra:e") << original;
    QTest::newRow("addChannel replacing on first") << "replaceChannel" << false << false
                                                   << QStringLiteral("a=7;b=2,~;Track:x;+Extra:e") << original;
    QTest::newRow("removeChannel on second") << "removeChannel" << true << true
                                             << QStringLiteral("b=2,~;Track:x;+Extra:e") << original;
    QTest::newRow("property on first") << "setValue" << false << true
                                       << QStringLiteral("a[m]=1,2;b=2,~;Fuel:3 l;Track:x;+Extra:e") << original;
    QTest::newRow("extra data on second") << "setExtraValue" << true << false
                                          << QStringLiteral("a[m]=1,2;b=2,~;Track:x;+Extra:f") << original;
}

void tst_Lap::sharing()
{
    QFETCH(QString, operation);
    QFETCH(bool, onSecond);
    QFETCH(bool, byAssignment);
    QFETCH(QString, changed);
    QFETCH(QString, other);

    ZEL::Lap first;
    first.appendSample(sample({{"a", 1, "m"}, {"b", 2, ""}}));
    first.appendSample(sample({{"a", 2, ""}}));
    first.setValue(QStringLiteral("Track"), QStringLiteral("x"), QString());
    first.setExtraValue(QStringLiteral("Extra"), QStringLiteral("e"), QString());
    ZEL::Lap assigned;
    assigned.appendSample(sample({{"old", 0, ""}}));
    assigned = first;
    ZEL::Lap constructed(first);
    ZEL::Lap& second = byAssignment ? assigned : constructed;
    ZEL::Lap& target = onSecond ? second : first;

    if (operation == QLatin1String("append"))
        target.appendSample(sample({{"a", 3, "km"}, {"c", 4, ""}}));
    else if (operation == QLatin1String("setChannelValue"))
        target.channel(QStringLiteral("a"))->setValue(0, 9);
    else if (operation == QLatin1String("clear"))
        target.clear();
    else if (operation == QLatin1String("addChannel"))
        target.addChannel(channelOf({7}), QStringLiteral("d"));
    else if (operation == QLatin1String("replaceChannel"))
        target.addChannel(channelOf({7}), QStringLiteral("a"));
    else if (operation == QLatin1String("removeChannel"))
        QCOMPARE(target.removeChannel(QStringLiteral("a")), 1);
    else if (operation == QLatin1String("setValue"))
        target.setValue(QStringLiteral("Fuel"), 3, QStringLiteral("l"));
    else if (operation == QLatin1String("setExtraValue"))
        target.setExtraValue(QStringLiteral("Extra"), ZEL::DynamicValue(QStringLiteral("f"), QString()));
    else
        QFAIL("unknown operation");

    QCOMPARE(dump(target), changed);
    QCOMPARE(dump(onSecond ? first : second), other);
}

void tst_Lap::findValue_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("own");
    QTest::addColumn<QVariant>("extra");
    QTest::addColumn<QTime>("lapTime");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<QString>("unit");

    const QTime time(0, 1, 23, 456);
    QTest::newRow("Lap time falls back to the header") << "Lap time" << QVariant() << QVariant() << time
                                                       << QVariant(time) << QStringLiteral("");
    QTest::newRow("null header lap time still comes as a time")
        << "Lap time" << QVariant() << QVariant() << QTime() << QVariant(QTime()) << QStringLiteral("");
    QTest::newRow("own Lap time property wins") << "Lap time" << QVariant(83.456) << QVariant() << time
                                                << QVariant(83.456) << QStringLiteral("own");
    QTest::newRow("header lap time before extra data") << "Lap time" << QVariant() << QVariant(99) << time
                                                       << QVariant(time) << QStringLiteral("");
    QTest::newRow("lap time in other case is no fallback") << "lap time" << QVariant() << QVariant() << time
                                                           << QVariant() << QString();
    QTest::newRow("own property before extra data") << "Fuel" << QVariant(10) << QVariant(20) << time
                                                    << QVariant(10) << QStringLiteral("own");
    QTest::newRow("extra data when no own property") << "Fuel" << QVariant() << QVariant(20) << time
                                                     << QVariant(20) << QStringLiteral("extra");
    QTest::newRow("absent everywhere") << "Fuel" << QVariant() << QVariant() << time << QVariant() << QString();
}

void tst_Lap::findValue()
{
    QFETCH(QString, key);
    QFETCH(QVariant, own);
    QFETCH(QVariant, extra);
    QFETCH(QTime, lapTime);
    QFETCH(QVariant, expected);
    QFETCH(QString, unit);

    ZEL::Lap lap;
    lap.setLapTime(lapTime);
    lap.setValue(QStringLiteral("Other"), 1, QStringLiteral("x"));
    if (own.isValid())
        lap.setValue(key, own, QStringLiteral("own"));
    if (extra.isValid())
        lap.setExtraValue(key, extra, QStringLiteral("extra"));

    const ZEL::DynamicValue found = lap.findValue(key);
    QCOMPARE(found.value.userType(), expected.userType());
    QCOMPARE(found.value, expected);
    QCOMPARE(found.unit(), unit);
    QCOMPARE(found.unit().isNull(), unit.isNull());
}

void tst_Lap::sampleCount_data()
{
    QTest::addColumn<QVariantMap>("channels");
    QTest::addColumn<QVariantMap>("extraChannels");
    QTest::addColumn<bool>("withProperty");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("empty");

    QTest::newRow("nothing") << QVariantMap() << QVariantMap() << false << 0 << true;
    QTest::newRow("properties only") << QVariantMap() << QVariantMap() << true << 0 << true;
    QTest::newRow("first channel in name order counts")
        << QVariantMap{{"b", 5}, {"a", 3}} << QVariantMap() << false << 3 << false;
    QTest::newRow("upper case name comes first") << QVariantMap{{"a", 2}, {"Z", 1}} << QVariantMap() << false << 1
                                                 << false;
    QTest::newRow("extra channels when no channels") << QVariantMap() << QVariantMap{{"x", 4}} << true << 4 << false;
    QTest::newRow("channels before extra channels") << QVariantMap{{"z", 2}} << QVariantMap{{"a", 7}} << false << 2
                                                    << false;
    QTest::newRow("empty channel") << QVariantMap{{"a", 0}} << QVariantMap() << false << 0 << false;
}

void tst_Lap::sampleCount()
{
    QFETCH(QVariantMap, channels);
    QFETCH(QVariantMap, extraChannels);
    QFETCH(bool, withProperty);
    QFETCH(int, count);
    QFETCH(bool, empty);

    ZEL::Lap lap;
    for (auto it = channels.cbegin(); it != channels.cend(); ++it)
        lap.addChannel(channelOf({}), it.key());
    for (auto it = extraChannels.cbegin(); it != extraChannels.cend(); ++it)
        lap.addExtraChannel(channelOf({}), it.key());
    for (auto it = channels.cbegin(); it != channels.cend(); ++it)
        lap.channel(it.key())->values.fill(1.0, it.value().toInt());
    for (auto it = extraChannels.cbegin(); it != extraChannels.cend(); ++it)
        lap.extraChannel(it.key())->values.fill(1.0, it.value().toInt());
    if (withProperty)
        lap.setValue(QStringLiteral("Track length"), 5.8, QStringLiteral("km"));

    QCOMPARE(lap.sampleCount(), count);
    QCOMPARE(lap.isEmpty(), empty);
    QCOMPARE(lap.channelNames(), channels.keys());
    QCOMPARE(lap.extraChannelNames(), extraChannels.keys());
}

void tst_Lap::channelLifetime_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("keepCopy");

    for (const char* operation : {"addChannel replacing", "removeChannel", "addExtraChannel replacing",
                                  "removeExtraChannel", "clear", "delete through DynamicData pointer"}) {
        QTest::addRow("%s, sole owner", operation) << QString::fromLatin1(operation) << false;
        QTest::addRow("%s, copy keeps it", operation) << QString::fromLatin1(operation) << true;
    }
}

void tst_Lap::channelLifetime()
{
    QFETCH(QString, operation);
    QFETCH(bool, keepCopy);

    auto* lap = new ZEL::Lap;
    lap->appendSample(sample({{"a", 1, "m"}}));
    lap->addExtraChannel(channelOf({2}), QStringLiteral("a"));
    lap->setValue(QStringLiteral("Track"), QStringLiteral("x"), QString());
    const bool extra = operation.contains(QLatin1String("Extra"));
    const QWeakPointer<ZEL::Channel> watched = extra ? lap->extraChannel(QStringLiteral("a"))
                                                     : lap->channel(QStringLiteral("a"));
    std::unique_ptr<ZEL::Lap> copy(keepCopy ? new ZEL::Lap(*lap) : nullptr);

    if (operation == QLatin1String("addChannel replacing"))
        lap->addChannel(channelOf({3}), QStringLiteral("a"));
    else if (operation == QLatin1String("removeChannel"))
        QCOMPARE(lap->removeChannel(QStringLiteral("a")), 1);
    else if (operation == QLatin1String("addExtraChannel replacing"))
        lap->addExtraChannel(channelOf({3}), QStringLiteral("a"));
    else if (operation == QLatin1String("removeExtraChannel"))
        QCOMPARE(lap->removeExtraChannel(QStringLiteral("a")), 1);
    else if (operation == QLatin1String("clear"))
        lap->clear();
    else {
        ZEL::DynamicData* base = lap;
        delete base;
        lap = nullptr;
    }

    QCOMPARE(!watched.isNull(), keepCopy);
    if (lap) {
        QCOMPARE(lap->removeChannel(QStringLiteral("absent")), 0);
        QVERIFY(lap->channel(QStringLiteral("absent")).isNull());
    }
    delete lap;
    if (copy)
        QCOMPARE(copy->channel(QStringLiteral("a"))->value(0), 1.0);
}

void tst_Lap::headerDefaults()
{
    const ZEL::Lap lap;
    QVERIFY(lap.dateTime().isNull());
    for (const QString& text : {lap.driverName(), lap.trackName(), lap.trackConfig(), lap.carName(), lap.comment(),
                                lap.simulatorName(), lap.pluginName()})
        QVERIFY(text.isNull());
    QVERIFY(lap.lapTime().isNull());
    QVERIFY(lap.lapId().isNull());
    QVERIFY(lap.runId().isNull());
    QVERIFY(lap.sessionId().isNull());
    QVERIFY(!lap.carId().isValid());
    QCOMPARE(lap.lapNumber(), 0);
    QCOMPARE(lap.lapInRun(), 0);
    QCOMPARE(lap.runNumber(), 0);
    QCOMPARE(int(lap.sessionType()), -1);
    QCOMPARE(int(lap.lapStatus()), -1);
    QCOMPARE(lap.completed(), false);
    QVERIFY(lap.keys().isEmpty());
    QVERIFY(lap.extraKeys().isEmpty());
    QVERIFY(lap.isEmpty());

    const ZEL::Sample sample;
    QVERIFY(!sample.carId().isValid());
    QVERIFY(sample.keys().isEmpty());
}

QTEST_GUILESS_MAIN(tst_Lap)
#include "tst_lap.moc"
