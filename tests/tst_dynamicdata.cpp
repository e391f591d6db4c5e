#include "model/dynamicdata.h"

#include <QtTest>

class tst_DynamicData : public QObject
{
    Q_OBJECT

private slots:
    void operations_data()
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

    void operations()
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

QTEST_GUILESS_MAIN(tst_DynamicData)
#include "tst_dynamicdata.moc"
