#include "model/dynamicdata.h"

#include <QtTest>

namespace {

// The whole set as one line, "key=value|unit" in key order.
QString dump(const ZEL::DynamicData& data)
{
    QStringList items;
    for (const QString& key : data.keys()) {
        const ZEL::DynamicValue entry = data.value(key);
        items.append(key + QLatin1Char('=') + entry.value.toString() + QLatin1Char('|') + entry.unit());
    }
    return items.join(QLatin1Char(';'));
}

// Steps of a script: "set:key:value:unit", "entry:key:value:unit", "remove:key", "clear".
void run(ZEL::DynamicData& data, const QStringList& script)
{
    for (const QString& step : script) {
        const QStringList part = step.split(QLatin1Char(':'));
        if (part[0] == QLatin1String("set"))
            data.setValue(part[1], part[2], part[3]);
        else if (part[0] == QLatin1String("entry"))
            data.setValue(part[1], ZEL::DynamicValue(part[2], part[3]));
        else if (part[0] == QLatin1String("remove"))
            data.removeValue(part[1]);
        else if (part[0] == QLatin1String("clear"))
            data.clear();
        else
            QFAIL(qPrintable(QStringLiteral("bad script step ") + step));
    }
}

} // namespace

class tst_DynamicData : public QObject
{
    Q_OBJECT

private slots:
    void toString_data();
    void toString();
    void operations_data();
    void operations();
    void copyOnWrite_data();
    void copyOnWrite();
};

void tst_DynamicData::toString_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("expected");

    QTest::newRow("double with unit") << QVariant(3.6) << QStringLiteral("kg") << QStringLiteral("3.6 kg");
    QTest::newRow("int with empty unit") << QVariant(12) << QStringLiteral("") << QStringLiteral("12");
    QTest::newRow("int with null unit") << QVariant(12) << QString() << QStringLiteral("12");
    QTest::newRow("text with unit") << QVariant(QStringLiteral("Soft")) << QStringLiteral("compound")
                                    << QStringLiteral("Soft compound");
    QTest::newRow("invalid value with unit") << QVariant() << QStringLiteral("m") << QStringLiteral(" m");
    QTest::newRow("invalid value without unit") << QVariant() << QString() << QString();
}

void tst_DynamicData::toString()
{
    QFETCH(QVariant, value);
    QFETCH(QString, unit);
    QFETCH(QString, expected);

    QCOMPARE(ZEL::DynamicValue(value, unit).toString(), expected);
}

void tst_DynamicData::operations_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QString>("expected");

    QTest::newRow("nothing set") << QStringList() << QString();
    QTest::newRow("labels in ordinal order")
        << QStringList{"set:speed:1:km/h", "set:Lap time:2:s", "set:DateTime:x:"}
        << QStringLiteral("DateTime=x|;Lap time=2|s;speed=1|km/h");
    QTest::newRow("upper case before punctuation before lower case before non-ASCII")
        << QStringList{"set:b:1:", QStringLiteral("set:\u00e4:2:"), "set:_:3:", "set:Z:4:"}
        << QStringLiteral("Z=4|;_=3|;b=1|;\u00e4=2|");
    QTest::newRow("second set replaces value and unit")
        << QStringList{"set:fuel:1:l", "set:fuel:2:kg"} << QStringLiteral("fuel=2|kg");
    QTest::newRow("second set with empty unit drops the unit")
        << QStringList{"set:fuel:1:l", "set:fuel:2:"} << QStringLiteral("fuel=2|");
    QTest::newRow("entry form replaces too")
        << QStringList{"set:fuel:1:l", "entry:fuel:3:"} << QStringLiteral("fuel=3|");
    QTest::newRow("keys differing in case are distinct")
        << QStringList{"set:Speed:1:", "set:speed:2:"} << QStringLiteral("Speed=1|;speed=2|");
    QTest::newRow("remove present key")
        << QStringList{"set:a:1:", "set:b:2:", "remove:a"} << QStringLiteral("b=2|");
    QTest::newRow("remove absent key changes nothing")
        << QStringList{"set:a:1:m", "remove:A"} << QStringLiteral("a=1|m");
    QTest::newRow("clear empties") << QStringList{"set:a:1:", "set:b:2:", "clear"} << QString();
    QTest::newRow("clear of empty changes nothing") << QStringList{"clear"} << QString();
    QTest::newRow("set after clear") << QStringList{"set:a:1:", "clear", "set:b:2:g"} << QStringLiteral("b=2|g");
}

void tst_DynamicData::operations()
{
    QFETCH(QStringList, script);
    QFETCH(QString, expected);

    ZEL::DynamicData data;
    run(data, script);
    QCOMPARE(dump(data), expected);
    QCOMPARE(data.values().keys(), data.keys());
    for (const QString& key : data.keys())
        QVERIFY(data.contains(key));

    // Absent keys are never an error: an invalid value with a null unit.
    const ZEL::DynamicValue missing = data.value(QStringLiteral("never set"));
    QVERIFY(!missing.value.isValid());
    QVERIFY(missing.unit().isNull());
    QVERIFY(!data.contains(QStringLiteral("never set")));
}

void tst_DynamicData::copyOnWrite_data()
{
    QTest::addColumn<bool>("changeCopy");
    QTest::addColumn<bool>("byAssignment");
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QString>("expected");

    const QString added = QStringLiteral("a=1|m;b=2|;c=3|s");
    QTest::newRow("set on source") << false << false << QStringList{"set:c:3:s"} << added;
    QTest::newRow("set on copy") << true << false << QStringList{"set:c:3:s"} << added;
    QTest::newRow("set on assigned copy") << true << true << QStringList{"set:c:3:s"} << added;
    QTest::newRow("replace on source") << false << false << QStringList{"set:a:9:kg"} << QStringLiteral("a=9|kg;b=2|");
    QTest::newRow("replace on copy") << true << true << QStringList{"entry:a:9:"} << QStringLiteral("a=9|;b=2|");
    QTest::newRow("remove on source") << false << true << QStringList{"remove:a"} << QStringLiteral("b=2|");
    QTest::newRow("clear on source") << false << false << QStringList{"clear"} << QString();
    QTest::newRow("clear on copy") << true << true << QStringList{"clear"} << QString();
}

void tst_DynamicData::copyOnWrite()
{
    QFETCH(bool, changeCopy);
    QFETCH(bool, byAssignment);
    QFETCH(QStringList, script);
    QFETCH(QString, expected);

    const QString original = QStringLiteral("a=1|m;b=2|");
    ZEL::DynamicData source;
    run(source, {"set:a:1:m", "set:b:2:"});
    ZEL::DynamicData assigned;
    run(assigned, {"set:old:0:"});
    assigned = source;
    ZEL::DynamicData constructed(source);
    ZEL::DynamicData& copy = byAssignment ? assigned : constructed;

    run(changeCopy ? copy : source, script);
    QCOMPARE(dump(changeCopy ? copy : source), expected);
    QCOMPARE(dump(changeCopy ? source : copy), original);
}

QTEST_GUILESS_MAIN(tst_DynamicData)
#include "tst_dynamicdata.moc"
