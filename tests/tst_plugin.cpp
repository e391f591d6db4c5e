#include "support/pluginfixture.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <vector>

class tst_Plugin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void identity();
    void metacast_data();
    void metacast();
    void emitterSignals_data();
    void emitterSignals();
    void rejectedFormat_data();
    void rejectedFormat();

private:
    PluginFixture m_fixture;
};

void tst_Plugin::initTestCase()
{
    QVERIFY2(m_fixture.isLoaded(), qPrintable(m_fixture.errorString()));
    // The host registers these itself; here they only let the spies record every signal.
    qRegisterMetaType<ZEL::LapHeader>("ZEL::LapHeader");
    qRegisterMetaType<ZEL::LivePluginInfo>("ZEL::LivePluginInfo");
}

void tst_Plugin::identity()
{
    QJsonObject meta = QPluginLoader(QStringLiteral(ZEL_PLUGIN_PATH)).metaData();
    QCOMPARE(meta.value("IID").toString(), QStringLiteral("org.zel-telemetry.host.ZelPluginInterfaceImport/0.2"));
    QCOMPARE(meta.value("className").toString(), QStringLiteral("iRPluginImport"));
    // The loader adds what it read from the block's header; everything else came from the block.
    for (const char* added : {"version", "debug", "archreq"})
        meta.remove(QLatin1String(added));
    QCOMPARE(meta.keys(), QStringList({"IID", "className"}));

    // A second loader of the library hands out the same instance.
    QCOMPARE(QPluginLoader(QStringLiteral(ZEL_PLUGIN_PATH)).instance(), m_fixture.instance());

    ZelPluginInterfaceImport* plugin = m_fixture.plugin();
    QCOMPARE(plugin->pluginName(), QStringLiteral("ZEL iRacing ibt import plugin"));
    QCOMPARE(plugin->simulatorName(), QStringLiteral("iRacing"));
    QCOMPARE(plugin->version(), QStringLiteral("0.2"));
    QCOMPARE(plugin->formats(), QStringList{QStringLiteral("iRacing binary telemetry (*.ibt)")});
}

void tst_Plugin::metacast_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plugin class name") << QByteArray("iRPluginImport") << "object";
    QTest::newRow("interface class name") << QByteArray("ZelPluginInterfaceImport") << "interface";
    QTest::newRow("interface identifier") << QByteArray(ZelPluginInterfaceImport_iid) << "interface";
    QTest::newRow("other interface version")
        << QByteArray("org.zel-telemetry.host.ZelPluginInterfaceImport/0.1") << "none";
    QTest::newRow("unrelated class") << QByteArray("ZelDataEmitter") << "none";
}

void tst_Plugin::metacast()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, expected);

    // The interface part sits behind the QObject base, so its address differs from the object's.
    void* const object = m_fixture.instance();
    void* const interface = m_fixture.plugin();
    QVERIFY(interface != object);
    const QHash<QString, void*> pointers{{"object", object}, {"interface", interface}, {"none", nullptr}};
    QCOMPARE(m_fixture.instance()->qt_metacast(name.constData()), pointers.value(expected));
}

void tst_Plugin::emitterSignals_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("signature");
    QTest::addColumn<QByteArrayList>("names");
    QTest::addColumn<int>("metaType"); // what the emitter registers for the first argument
    using B = QByteArray;
    using L = QByteArrayList;

    QTest::newRow("sendConnected") << 0 << B("sendConnected()") << L() << -1;
    QTest::newRow("sendDisconnected") << 1 << B("sendDisconnected()") << L() << -1;
    QTest::newRow("sendNotConnected") << 2 << B("sendNotConnected()") << L() << -1;
    QTest::newRow("sendTelemetryLap") << 3 << B("sendTelemetryLap(ZEL::Lap)") << L{"lap"} << qMetaTypeId<ZEL::Lap>();
    QTest::newRow("sendTelemetryLapHeader") << 4 << B("sendTelemetryLapHeader(ZEL::LapHeader)") << L{"header"} << -1;
    QTest::newRow("sendAvailableCarListChanged") << 5 << B("sendAvailableCarListChanged(ZEL::LivePluginInfo)")
                                                 << L{"carInfoList"} << -1;
    QTest::newRow("sendSample") << 6 << B("sendSample(ZEL::Sample)") << L{"sample"} << qMetaTypeId<ZEL::Sample>();
    QTest::newRow("sendMessage") << 7 << B("sendMessage(QString,int)") << L{"message", "verbose"} << -1;
    QTest::newRow("sendProgress") << 8 << B("sendProgress(int)") << L{"percent"} << -1;
}

void tst_Plugin::emitterSignals()
{
    QFETCH(int, index);
    QFETCH(QByteArray, signature);
    QFETCH(QByteArrayList, names);
    QFETCH(int, metaType);

    ZelDataEmitter& emitter = m_fixture.plugin()->emitter;
    const QMetaObject* meta = emitter.metaObject();
    QCOMPARE(meta->methodCount() - meta->methodOffset(), 9);
    const QMetaMethod method = meta->method(meta->methodOffset() + index);
    QCOMPARE(method.methodSignature(), signature);
    QCOMPARE(method.parameterNames(), names);
    QCOMPARE(method.methodType(), QMetaMethod::Signal);
    // As a queued connection would, ask for the metatype of the first argument.
    int registered = -1;
    int argument = 0;
    void* argv[] = {&registered, &argument};
    emitter.qt_metacall(QMetaObject::RegisterMethodArgumentMetaType, method.methodIndex(), argv);
    QCOMPARE(registered, metaType);
}

void tst_Plugin::rejectedFormat_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("queued");

    const QString upper = QStringLiteral("IRACING BINARY TELEMETRY (*.IBT)");
    QTest::newRow("wrong letter case, direct") << upper << false;
    QTest::newRow("wrong letter case, queued") << upper << true;
    QTest::newRow("null") << QString() << false;
    QTest::newRow("trailing blank") << QStringLiteral("iRacing binary telemetry (*.ibt) ") << false;
    QTest::newRow("description only") << QStringLiteral("iRacing binary telemetry") << false;
}

void tst_Plugin::rejectedFormat()
{
    QFETCH(QString, format);
    QFETCH(bool, queued);

    ZelDataEmitter& emitter = m_fixture.plugin()->emitter;
    std::vector<std::unique_ptr<QSignalSpy>> spies; // one on every signal, in declaration order
    const QMetaObject* meta = emitter.metaObject();
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
        spies.emplace_back(new QSignalSpy(&emitter, QByteArray('2' + meta->method(i).methodSignature()).constData()));
    QStringList messages;
    QObject receiver;
    connect(&emitter, &ZelDataEmitter::sendMessage, &receiver,
            [&](const QString& message, int verbose) { messages << message + '|' + QString::number(verbose); },
            queued ? Qt::QueuedConnection : Qt::DirectConnection);

    // Never opened: the format check comes first.
    const QString prefix = QStringLiteral("[ZEL iRacing ibt import plugin plugin] ");
    const QString path = QStringLiteral("/nonexistent dir/\u00e4 lap.ibt");
    QVERIFY(m_fixture.plugin()->importFile(path, format).isEmpty());
    if (queued) {
        QVERIFY(messages.isEmpty());
        QTRY_COMPARE(messages.size(), 3);
    }
    QCOMPARE(messages, QStringList({prefix + QStringLiteral("Importing file ") + path + QStringLiteral(" ...|0"),
                                    prefix + QStringLiteral("Using format ") + format + QStringLiteral("|0"),
                                    prefix + QStringLiteral("Unknown format|-2")}));
    for (size_t i = 0; i < spies.size(); ++i)
        QCOMPARE(spies[i]->count(), i == 7 ? 3 : 0);
}

QTEST_GUILESS_MAIN(tst_Plugin)
#include "tst_plugin.moc"
