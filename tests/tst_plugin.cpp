#include "support/pluginfixture.h"
#include "support/realrecordings.h"

#include <QLibrary>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

const QString prefix = QStringLiteral("[ZEL iRacing ibt import plugin plugin] ");

// Asks the emitter, as a queued connection would, for the metatype of one signal argument.
int argumentMetaType(ZelDataEmitter& emitter, int signal, int argument)
{
    int result = -1;
    void* argv[] = {&result, &argument};
    emitter.qt_metacall(QMetaObject::RegisterMethodArgumentMetaType, emitter.metaObject()->methodOffset() + signal,
                        argv);
    return result;
}

// One spy on every signal the emitter declares, in declaration order.
std::vector<std::unique_ptr<QSignalSpy>> spyOnAll(ZelDataEmitter& emitter)
{
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    const QMetaObject* meta = emitter.metaObject();
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
        spies.emplace_back(new QSignalSpy(&emitter, QByteArray('2' + meta->method(i).methodSignature()).constData()));
    return spies;
}

} // namespace

class tst_Plugin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void metaData();
    void instance();
    void metacast_data();
    void metacast();
    void descriptions();
    void emitterSignals_data();
    void emitterSignals();
    void rejectedFormat_data();
    void rejectedFormat();
    void recordingEmitsOnlyMessages_data();
    void recordingEmitsOnlyMessages();

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

void tst_Plugin::metaData()
{
    const QPluginLoader loader(QStringLiteral(ZEL_PLUGIN_PATH));
    QJsonObject meta = loader.metaData();
    QCOMPARE(meta.value(QLatin1String("IID")).toString(), QStringLiteral(ZelPluginInterfaceImport_iid));
    QVERIFY(QStringLiteral(ZelPluginInterfaceImport_iid).endsWith(QLatin1String(".ZelPluginInterfaceImport/0.2")));
    QCOMPARE(meta.value(QLatin1String("className")).toString(), QStringLiteral("iRPluginImport"));
    QCOMPARE(meta.value(QLatin1String("version")).toInt(), (5 << 16) | (15 << 8));
    // The loader adds what it read from the block's header; everything else came from the block.
    for (const char* added : {"version", "debug", "archreq"})
        meta.remove(QLatin1String(added));
    QCOMPARE(meta.keys(), QStringList({"IID", "className"}));

    QLibrary library(QStringLiteral(ZEL_PLUGIN_PATH));
    using Query = const char* (*)();
    const auto query = reinterpret_cast<Query>(library.resolve("qt_plugin_query_metadata"));
    QVERIFY(query);
    QCOMPARE(query(), query());
    const QByteArray head(query(), 15);
    QCOMPARE(head, QByteArray("QTMETADATA !\x00\x05\x0f", 15));
}

void tst_Plugin::instance()
{
    QObject* object = m_fixture.instance();
    QCOMPARE(QPluginLoader(QStringLiteral(ZEL_PLUGIN_PATH)).instance(), object);
    QCOMPARE(QPluginLoader(QStringLiteral(ZEL_PLUGIN_PATH)).instance(), object);
    QLibrary library(QStringLiteral(ZEL_PLUGIN_PATH));
    using Instance = QObject* (*)();
    const auto entry = reinterpret_cast<Instance>(library.resolve("qt_plugin_instance"));
    QVERIFY(entry);
    QCOMPARE(entry(), object);
    QVERIFY(!object->parent());

    // The plugin class adds nothing to the meta-object but its name and the interface.
    const QMetaObject* meta = object->metaObject();
    QCOMPARE(meta->className(), "iRPluginImport");
    QCOMPARE(meta->superClass(), &QObject::staticMetaObject);
    QCOMPARE(meta->methodCount(), meta->methodOffset());
    QCOMPARE(meta->propertyCount(), meta->propertyOffset());
    QCOMPARE(meta->classInfoCount(), meta->classInfoOffset());
    QCOMPARE(meta->enumeratorCount(), meta->enumeratorOffset());
}

void tst_Plugin::metacast_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("expected");

    QByteArray otherVersion(ZelPluginInterfaceImport_iid);
    otherVersion.replace("/0.2", "/0.1");
    QTest::newRow("plugin class name") << QByteArray("iRPluginImport") << "object";
    QTest::newRow("interface class name") << QByteArray("ZelPluginInterfaceImport") << "interface";
    QTest::newRow("interface identifier") << QByteArray(ZelPluginInterfaceImport_iid) << "interface";
    QTest::newRow("QObject answers for itself") << QByteArray("QObject") << "object";
    QTest::newRow("other interface version") << otherVersion << "none";
    QTest::newRow("interface name in lower case") << QByteArray("zelplugininterfaceimport") << "none";
    QTest::newRow("unrelated class") << QByteArray("ZelDataEmitter") << "none";
    QTest::newRow("empty name") << QByteArray("") << "none";
}

void tst_Plugin::metacast()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, expected);

    QObject* object = m_fixture.instance();
    // Found through the C++ type information, independent of the meta-object; the interface
    // part sits behind the QObject base, so its address differs from the object's.
    ZelPluginInterfaceImport* interface = dynamic_cast<ZelPluginInterfaceImport*>(object);
    QVERIFY(interface);
    QCOMPARE(qobject_cast<ZelPluginInterfaceImport*>(object), interface);
    QCOMPARE(m_fixture.plugin(), interface);
    QVERIFY(static_cast<void*>(interface) != static_cast<void*>(object));

    void* cast = object->qt_metacast(name.constData());
    if (expected == QLatin1String("object"))
        QCOMPARE(cast, static_cast<void*>(object));
    else if (expected == QLatin1String("interface"))
        QCOMPARE(cast, static_cast<void*>(interface));
    else
        QCOMPARE(cast, nullptr);
}

void tst_Plugin::descriptions()
{
    ZelPluginInterfaceImport* plugin = m_fixture.plugin();
    QCOMPARE(plugin->pluginName(), QStringLiteral("ZEL iRacing ibt import plugin"));
    QCOMPARE(plugin->simulatorName(), QStringLiteral("iRacing"));
    QCOMPARE(plugin->version(), QStringLiteral("0.2"));
    QCOMPARE(plugin->formats(), QStringList{QStringLiteral("iRacing binary telemetry (*.ibt)")});
    QCOMPARE(ImportDriver::formatFilter(), plugin->formats().constFirst());

    ZelDataEmitter& emitter = plugin->emitter;
    QVERIFY(!emitter.parent());
    QCOMPARE(emitter.qt_metacast("ZelDataEmitter"), static_cast<void*>(&emitter));
    QCOMPARE(emitter.qt_metacast("QObject"), static_cast<void*>(&emitter));
    QCOMPARE(emitter.qt_metacast("iRPluginImport"), nullptr);
}

void tst_Plugin::emitterSignals_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("signature");
    QTest::addColumn<QList<QByteArray>>("names");
    QTest::addColumn<QByteArray>("registered");

    using Names = QList<QByteArray>;
    QTest::newRow("sendConnected") << 0 << QByteArray("sendConnected()") << Names() << QByteArray();
    QTest::newRow("sendDisconnected") << 1 << QByteArray("sendDisconnected()") << Names() << QByteArray();
    QTest::newRow("sendNotConnected") << 2 << QByteArray("sendNotConnected()") << Names() << QByteArray();
    QTest::newRow("sendTelemetryLap") << 3 << QByteArray("sendTelemetryLap(ZEL::Lap)") << Names{"lap"}
                                      << QByteArray("ZEL::Lap");
    QTest::newRow("sendTelemetryLapHeader") << 4 << QByteArray("sendTelemetryLapHeader(ZEL::LapHeader)")
                                            << Names{"header"} << QByteArray();
    QTest::newRow("sendAvailableCarListChanged")
        << 5 << QByteArray("sendAvailableCarListChanged(ZEL::LivePluginInfo)") << Names{"carInfoList"}
        << QByteArray();
    QTest::newRow("sendSample") << 6 << QByteArray("sendSample(ZEL::Sample)") << Names{"sample"}
                                << QByteArray("ZEL::Sample");
    QTest::newRow("sendMessage") << 7 << QByteArray("sendMessage(QString,int)") << Names{"message", "verbose"}
                                 << QByteArray();
    QTest::newRow("sendProgress") << 8 << QByteArray("sendProgress(int)") << Names{"percent"} << QByteArray();
}

void tst_Plugin::emitterSignals()
{
    QFETCH(int, index);
    QFETCH(QByteArray, signature);
    QFETCH(QList<QByteArray>, names);
    QFETCH(QByteArray, registered);

    ZelDataEmitter& emitter = m_fixture.plugin()->emitter;
    const QMetaObject* meta = emitter.metaObject();
    QCOMPARE(meta->className(), "ZelDataEmitter");
    QCOMPARE(meta->superClass(), &QObject::staticMetaObject);
    QCOMPARE(meta->methodCount() - meta->methodOffset(), 9);

    const QMetaMethod method = meta->method(meta->methodOffset() + index);
    QCOMPARE(method.methodSignature(), signature);
    QCOMPARE(method.parameterNames(), names);
    QCOMPARE(method.methodType(), QMetaMethod::Signal);
    QCOMPARE(method.access(), QMetaMethod::Public);
    QCOMPARE(method.returnType(), int(QMetaType::Void));

    // The plugin registers on first use; the test's own id for the type must be the same.
    const int first = argumentMetaType(emitter, index, 0);
    QCOMPARE(argumentMetaType(emitter, index, 0), first);
    QCOMPARE(argumentMetaType(emitter, index, 1), -1);
    if (registered.isEmpty()) {
        QCOMPARE(first, -1);
        return;
    }
    QCOMPARE(first, registered == "ZEL::Lap" ? qMetaTypeId<ZEL::Lap>() : qMetaTypeId<ZEL::Sample>());
    QCOMPARE(QMetaType::typeName(first), registered.constData());
    QCOMPARE(QMetaType::sizeOf(first), registered == "ZEL::Lap" ? int(sizeof(ZEL::Lap)) : int(sizeof(ZEL::Sample)));
    const QMetaType::TypeFlags flags = QMetaType::typeFlags(first);
    QVERIFY(flags.testFlag(QMetaType::NeedsConstruction));
    QVERIFY(flags.testFlag(QMetaType::NeedsDestruction));
    QVERIFY(flags.testFlag(QMetaType::WasDeclaredAsMetaType));
    QVERIFY(!flags.testFlag(QMetaType::MovableType));
}

void tst_Plugin::rejectedFormat_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("delivery");

    const QString upper = QStringLiteral("IRACING BINARY TELEMETRY (*.IBT)");
    QTest::newRow("wrong letter case, direct") << upper << "direct";
    QTest::newRow("wrong letter case, queued") << upper << "queued";
    QTest::newRow("empty, direct") << QStringLiteral("") << "direct";
    QTest::newRow("empty, queued") << QStringLiteral("") << "queued";
    QTest::newRow("null, through fixture") << QString() << "fixture";
    QTest::newRow("trailing blank, through fixture") << QStringLiteral("iRacing binary telemetry (*.ibt) ") << "fixture";
    QTest::newRow("description only, through fixture") << QStringLiteral("iRacing binary telemetry") << "fixture";
    QTest::newRow("other pattern, direct") << QStringLiteral("iRacing binary telemetry (*.IBT)") << "direct";
}

void tst_Plugin::rejectedFormat()
{
    QFETCH(QString, format);
    QFETCH(QString, delivery);

    // Never opened: the format check comes first.
    const QString path = QStringLiteral("/nonexistent dir/\u00e4 lap.ibt");
    ZelPluginInterfaceImport* plugin = m_fixture.plugin();
    const auto spies = spyOnAll(plugin->emitter);
    QCOMPARE(spies.size(), size_t(9));

    QStringList messages;
    QVector<int> verbosities;
    if (delivery == QLatin1String("fixture")) {
        const ImportResult result = m_fixture.import(path, format);
        QVERIFY(result.laps.isEmpty());
        messages = result.messages;
        verbosities = result.verbosities;
    } else {
        const bool queued = delivery == QLatin1String("queued");
        QObject receiver;
        connect(&plugin->emitter, &ZelDataEmitter::sendMessage, &receiver,
                [&](const QString& message, int verbose) {
                    messages.append(message);
                    verbosities.append(verbose);
                },
                queued ? Qt::QueuedConnection : Qt::DirectConnection);
        const QVector<ZEL::Lap*> laps = plugin->importFile(path, format);
        const int count = laps.size();
        qDeleteAll(laps);
        QCOMPARE(count, 0);
        if (queued) {
            QVERIFY(messages.isEmpty());
            QTRY_COMPARE(messages.size(), 3);
        }
    }

    const QStringList expected{prefix + QStringLiteral("Importing file ") + path + QStringLiteral(" ..."),
                               prefix + QStringLiteral("Using format ") + format,
                               prefix + QStringLiteral("Unknown format")};
    QCOMPARE(messages, expected);
    QCOMPARE(verbosities, QVector<int>({0, 0, -2}));
    for (size_t i = 0; i < spies.size(); ++i)
        QCOMPARE(spies[i]->count(), i == 7 ? 3 : 0);
    QCOMPARE(spies[7]->at(2).at(0).toString(), expected.at(2));
    QCOMPARE(spies[7]->at(2).at(1).toInt(), -2);
}

void tst_Plugin::recordingEmitsOnlyMessages_data()
{
    QTest::addColumn<QString>("path");

    // The two smallest recordings keep the sanitizer build quick.
    bool any = false;
    for (const QString& path : RealRecordings::files()) {
        if (path.endsWith(QLatin1String("_tiny.ibt")) || path.endsWith(QLatin1String("_fragment.ibt"))) {
            QTest::newRow(qPrintable(QFileInfo(path).fileName())) << path;
            any = true;
        }
    }
    if (!any)
        QTest::newRow("no recordings") << QString();
}

void tst_Plugin::recordingEmitsOnlyMessages()
{
    QFETCH(QString, path);
    if (path.isEmpty())
        QSKIP("no real recordings next to the source tree");

    ZelDataEmitter& emitter = m_fixture.plugin()->emitter;
    const auto spies = spyOnAll(emitter);
    const ImportResult result = m_fixture.import(path);

    for (size_t i = 0; i < spies.size(); ++i) {
        if (i != 7)
            QCOMPARE(spies[i]->count(), 0);
    }
    QCOMPARE(spies[7]->count(), result.messages.size());
    QVERIFY(result.messages.size() >= 2);
    QCOMPARE(result.messages.at(0), prefix + QStringLiteral("Importing file ") + path + QStringLiteral(" ..."));
    QCOMPARE(result.messages.at(1), prefix + QStringLiteral("Using format iRacing binary telemetry (*.ibt)"));
    for (int i = 0; i < result.messages.size(); ++i) {
        QVERIFY2(result.messages.at(i).startsWith(prefix), qPrintable(result.messages.at(i)));
        QVERIFY(result.verbosities.at(i) == 0 || result.verbosities.at(i) == -2);
    }
    // Laps leave the plugin stamped with its own names, never through the emitter.
    for (const QSharedPointer<ZEL::Lap>& lap : result.laps) {
        QCOMPARE(lap->simulatorName(), QStringLiteral("iRacing"));
        QCOMPARE(lap->pluginName(), QStringLiteral("ZEL iRacing ibt import plugin"));
    }
}

QTEST_GUILESS_MAIN(tst_Plugin)
#include "tst_plugin.moc"
