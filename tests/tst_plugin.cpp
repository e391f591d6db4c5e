#include "support/pluginfixture.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <vector>

class tst_Plugin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(m_fixture.isLoaded(), qPrintable(m_fixture.errorString()));
        // The host registers these itself; here they only let the spies record every signal.
        qRegisterMetaType<ZEL::LapHeader>("ZEL::LapHeader");
        qRegisterMetaType<ZEL::LivePluginInfo>("ZEL::LivePluginInfo");
    }

    void identity()
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

    // The host's build connects to these by signature, in this order; a queued connection needs the
    // metatype the emitter registers for the first argument (named after the colon).
    void emitterSignals()
    {
        ZelDataEmitter& emitter = m_fixture.plugin()->emitter;
        const QMetaObject* meta = emitter.metaObject();
        QStringList actual;
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            int registered = -1;
            int argument = 0;
            void* argv[] = {&registered, &argument};
            emitter.qt_metacall(QMetaObject::RegisterMethodArgumentMetaType, i, argv);
            actual << QString::fromLatin1(method.methodSignature() + ' ' + method.parameterNames().join(','))
                          + (method.methodType() == QMetaMethod::Signal ? QString() : QStringLiteral(" not a signal"))
                          + (registered < 0 ? QString() : QStringLiteral(": ") + QMetaType::typeName(registered));
        }
        QCOMPARE(actual, (QStringList{"sendConnected() ", "sendDisconnected() ", "sendNotConnected() ",
                                      "sendTelemetryLap(ZEL::Lap) lap: ZEL::Lap",
                                      "sendTelemetryLapHeader(ZEL::LapHeader) header",
                                      "sendAvailableCarListChanged(ZEL::LivePluginInfo) carInfoList",
                                      "sendSample(ZEL::Sample) sample: ZEL::Sample",
                                      "sendMessage(QString,int) message,verbose", "sendProgress(int) percent"}));
    }

    void rejectedFormat_data()
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

    void rejectedFormat()
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
private:
    PluginFixture m_fixture;
};

QTEST_GUILESS_MAIN(tst_Plugin)
#include "tst_plugin.moc"
