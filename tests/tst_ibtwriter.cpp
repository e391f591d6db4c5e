#include "ibt/ibtwriter.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

Q_DECLARE_METATYPE(IbtWriter::Layout)

namespace {

template<typename T>
T readAt(const QByteArray& bytes, qint64 offset)
{
    T value;
    std::memset(&value, 0, sizeof value);
    if (offset >= 0 && offset + qint64(sizeof value) <= bytes.size())
        std::memcpy(&value, bytes.constData() + offset, sizeof value);
    return value;
}

irsdk_header headerOf(const QByteArray& file)
{
    return readAt<irsdk_header>(file, 0);
}

irsdk_varHeader varHeaderOf(const QByteArray& file, int index)
{
    return readAt<irsdk_varHeader>(file, headerOf(file).varHeaderOffset + index * qint64(sizeof(irsdk_varHeader)));
}

// Runs the writer into memory: declare, open, one record per call of fill, close.
QByteArray writeToMemory(IbtWriter& writer, int records = 0, const std::function<void(int)>& fill = {})
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!writer.open(&buffer))
        return {};
    for (int r = 0; r < records; ++r) {
        if (fill)
            fill(r);
        writer.writeRecord();
    }
    writer.close();
    return buffer.data();
}

} // namespace

class tst_IbtWriter : public QObject
{
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
    void textFields_data();
    void textFields();
    void values_data();
    void values();
    void streaming_data();
    void streaming();
    void sessionInfoBlock_data();
    void sessionInfoBlock();
    void bufferCount();
    void fileEqualsMemory();
    void failures_data();
    void failures();
};

void tst_IbtWriter::layout_data()
{
    QTest::addColumn<IbtWriter::Layout>("layout");
    QTest::addColumn<QVector<int>>("types");
    QTest::addColumn<QVector<int>>("counts");
    QTest::addColumn<QVector<int>>("offsets");
    QTest::addColumn<int>("bufLen");

    const QVector<int> mixed{irsdk_char, irsdk_double, irsdk_bool, irsdk_int, irsdk_float, irsdk_double};
    const QVector<int> mixedCounts{1, 1, 1, 1, 3, 1};
    QTest::newRow("no variables") << IbtWriter::Layout::Aligned << QVector<int>{} << QVector<int>{} << QVector<int>{} << 0;
    QTest::newRow("aligned mixed types") << IbtWriter::Layout::Aligned << mixed << mixedCounts
                                         << QVector<int>{0, 8, 16, 20, 24, 40} << 48;
    QTest::newRow("packed mixed types") << IbtWriter::Layout::Packed << mixed << mixedCounts
                                        << QVector<int>{0, 1, 9, 10, 14, 26} << 34;
    QTest::newRow("aligned car array then scalars")
        << IbtWriter::Layout::Aligned << QVector<int>{irsdk_bool, irsdk_int, irsdk_char, irsdk_bitField}
        << QVector<int>{64, 1, 1, 1} << QVector<int>{0, 64, 68, 72} << 76;
    QTest::newRow("unknown type code takes no room")
        << IbtWriter::Layout::Aligned << QVector<int>{irsdk_float, 9, irsdk_int} << QVector<int>{1, 1, 1}
        << QVector<int>{0, 4, 4} << 8;
}

void tst_IbtWriter::layout()
{
    QFETCH(IbtWriter::Layout, layout);
    QFETCH(QVector<int>, types);
    QFETCH(QVector<int>, counts);
    QFETCH(QVector<int>, offsets);
    QFETCH(int, bufLen);

    IbtWriter writer(layout);
    for (int i = 0; i < types.size(); ++i)
        writer.addVariable("V" + QByteArray::number(i), irsdk_VarType(types.at(i)), {}, {}, counts.at(i));
    writer.setTickRate(360);
    writer.setSessionInfo("---\nWeekendInfo:\n");
    const QByteArray file = writeToMemory(writer, 2);

    const irsdk_header header = headerOf(file);
    QCOMPARE(header.ver, 2);
    QCOMPARE(header.tickRate, 360);
    QCOMPARE(header.numVars, types.size());
    QCOMPARE(header.varHeaderOffset, 144);
    QCOMPARE(header.sessionInfoOffset, 144 + 144 * types.size());
    QCOMPARE(header.sessionInfoLen, 18); // the text and a NUL
    QCOMPARE(header.numBuf, 1);
    QCOMPARE(header.bufLen, bufLen);
    QCOMPARE(header.varBuf[0].bufOffset, header.sessionInfoOffset + header.sessionInfoLen);
    QCOMPARE(file.size(), header.varBuf[0].bufOffset + 2 * bufLen);
    for (int i = 0; i < types.size(); ++i) {
        const irsdk_varHeader var = varHeaderOf(file, i);
        QCOMPARE(var.type, types.at(i));
        QCOMPARE(var.count, counts.at(i));
        QCOMPARE(var.offset, offsets.at(i));
        QCOMPARE(writer.variable(i).offset, offsets.at(i));
    }
}

void tst_IbtWriter::textFields_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("unit");
    QTest::addColumn<QByteArray>("description");

    QTest::newRow("short texts") << QByteArray("Speed") << QByteArray("m/s") << QByteArray("GPS vehicle speed");
    QTest::newRow("empty texts") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("31 characters") << QByteArray(31, 'n') << QByteArray(31, 'u') << QByteArray(63, 'd');
    QTest::newRow("exactly the width, no NUL") << QByteArray(32, 'n') << QByteArray(32, 'u') << QByteArray(64, 'd');
    QTest::newRow("longer than the width") << QByteArray(40, 'n') << QByteArray(33, 'u') << QByteArray(100, 'd');
}

void tst_IbtWriter::textFields()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, unit);
    QFETCH(QByteArray, description);

    IbtWriter writer;
    writer.addVariable(name, irsdk_float, unit, description);
    writer.addVariable("Next", irsdk_int, "next unit", "next description");
    const QByteArray file = writeToMemory(writer);

    // Each field holds the text cut at its width, NUL-filled after it; the neighbour is intact.
    const auto field = [](const QByteArray& text, int width) {
        return text.left(width) + QByteArray(width - std::min(int(text.size()), width), '\0');
    };
    const irsdk_varHeader var = varHeaderOf(file, 0);
    QCOMPARE(QByteArray(var.name, IRSDK_MAX_STRING), field(name, IRSDK_MAX_STRING));
    QCOMPARE(QByteArray(var.unit, IRSDK_MAX_STRING), field(unit, IRSDK_MAX_STRING));
    QCOMPARE(QByteArray(var.desc, IRSDK_MAX_DESC), field(description, IRSDK_MAX_DESC));
    const irsdk_varHeader next = varHeaderOf(file, 1);
    QCOMPARE(QByteArray(next.name), QByteArray("Next"));
    QCOMPARE(QByteArray(next.unit), QByteArray("next unit"));
    QCOMPARE(next.type, int(irsdk_int));
    QCOMPARE(next.offset, 4);

    QCOMPARE(writer.indexOf(name.left(IRSDK_MAX_STRING)), 0);
    QCOMPARE(writer.indexOf("Next"), 1);
    QCOMPARE(writer.indexOf("Missing"), -1);
}

void tst_IbtWriter::values_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("element");
    QTest::addColumn<bool>("asInt");
    QTest::addColumn<double>("input");
    QTest::addColumn<QByteArray>("expected"); // the element's bytes on disk

    const auto bytes = [](auto value) { return QByteArray(reinterpret_cast<const char*>(&value), sizeof value); };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("float") << int(irsdk_float) << 0 << false << 1.5 << bytes(1.5f);
    QTest::newRow("float rounds to single") << int(irsdk_float) << 0 << false << 0.1 << bytes(0.1f);
    QTest::newRow("double keeps every bit") << int(irsdk_double) << 0 << false << 0.1 << bytes(0.1);
    QTest::newRow("int truncates up") << int(irsdk_int) << 0 << false << 3.7 << bytes(qint32(3));
    QTest::newRow("int truncates down") << int(irsdk_int) << 0 << false << -3.7 << bytes(qint32(-3));
    QTest::newRow("int saturates high") << int(irsdk_int) << 0 << false << 1e10 << bytes(std::numeric_limits<qint32>::max());
    QTest::newRow("int saturates low") << int(irsdk_int) << 0 << false << -1e10 << bytes(std::numeric_limits<qint32>::min());
    QTest::newRow("int from NaN") << int(irsdk_int) << 0 << false << nan << bytes(qint32(0));
    QTest::newRow("bool false") << int(irsdk_bool) << 0 << false << 0.0 << QByteArray(1, '\0');
    QTest::newRow("bool from fraction") << int(irsdk_bool) << 0 << false << 0.2 << QByteArray(1, '\1');
    QTest::newRow("char") << int(irsdk_char) << 0 << false << -100.0 << QByteArray(1, char(-100));
    QTest::newRow("char saturates") << int(irsdk_char) << 0 << true << 300.0 << QByteArray(1, char(127));
    QTest::newRow("bit field with bit 31") << int(irsdk_bitField) << 0 << true << double(qint32(0x80000004u))
                                           << bytes(qint32(0x80000004u));
    QTest::newRow("last element of a car array") << int(irsdk_int) << 63 << false << 42.0 << bytes(qint32(42));
    QTest::newRow("int into a float") << int(irsdk_float) << 5 << true << 7.0 << bytes(7.0f);
    QTest::newRow("element past the array is dropped") << int(irsdk_int) << 64 << false << 42.0 << QByteArray();
    QTest::newRow("negative element is dropped") << int(irsdk_float) << -1 << true << 42.0 << QByteArray();
}

void tst_IbtWriter::values()
{
    QFETCH(int, type);
    QFETCH(int, element);
    QFETCH(bool, asInt);
    QFETCH(double, input);
    QFETCH(QByteArray, expected);

    // Guards on both sides show that a value never spills into its neighbours.
    IbtWriter writer;
    writer.addVariable("Before", irsdk_char);
    const int var = writer.addVariable("Value", irsdk_VarType(type), {}, {}, 64);
    writer.addVariable("After", irsdk_char);
    const QByteArray file = writeToMemory(writer, 1, [&](int) {
        if (asInt)
            writer.setInt(var, qint32(input), element);
        else
            writer.setValue(var, input, element);
    });

    const irsdk_header header = headerOf(file);
    const QByteArray record = file.mid(header.varBuf[0].bufOffset);
    QCOMPARE(record.size(), header.bufLen);
    QByteArray expectedRecord(header.bufLen, '\0');
    if (!expected.isEmpty())
        expectedRecord.replace(writer.variable(var).offset + element * expected.size(), expected.size(), expected);
    QCOMPARE(record, expectedRecord);
}

void tst_IbtWriter::streaming_data()
{
    QTest::addColumn<int>("records");
    QTest::newRow("no records") << 0;
    QTest::newRow("one record") << 1;
    QTest::newRow("many records") << 5000;
}

void tst_IbtWriter::streaming()
{
    QFETCH(int, records);

    IbtWriter writer;
    const int tick = writer.addVariable("SessionTick", irsdk_int);
    const int held = writer.addVariable("Held", irsdk_float);
    const int time = writer.addVariable("SessionTime", irsdk_double, "s");
    writer.setLapCount(3);
    writer.setSessionStartDate(1700000000);
    writer.setSessionTimes(10.0, 20.5);
    writer.setSessionInfo("Text: x\n");
    const QByteArray file = writeToMemory(writer, records, [&](int r) {
        writer.setValue(tick, r);
        writer.setValue(time, 10.0 + r / 60.0);
        if (r == 0)
            writer.setValue(held, 2.5); // set once, then carried by every later record
    });
    QCOMPARE(writer.recordCount(), qint64(records));

    const irsdk_header header = headerOf(file);
    const int bufOffset = header.varBuf[0].bufOffset;
    QCOMPARE((file.size() - bufOffset) % header.bufLen, 0);
    QCOMPARE((file.size() - bufOffset) / header.bufLen, records);
    QCOMPARE(header.varBuf[0].tickCount, records);
    const auto subHeader = readAt<irsdk_diskSubHeader>(file, sizeof(irsdk_header));
    QCOMPARE(subHeader.sessionRecordCount, records);
    QCOMPARE(subHeader.sessionLapCount, 3);
    QCOMPARE(subHeader.sessionStartDate, qint64(1700000000));
    QCOMPARE(subHeader.sessionStartTime, 10.0);
    QCOMPARE(subHeader.sessionEndTime, 20.5);
    for (int r = 0; r < records; ++r) {
        const qint64 at = bufOffset + qint64(r) * header.bufLen;
        QCOMPARE(readAt<qint32>(file, at + writer.variable(tick).offset), r);
        QCOMPARE(readAt<double>(file, at + writer.variable(time).offset), 10.0 + r / 60.0);
        QCOMPARE(readAt<float>(file, at + writer.variable(held).offset), 2.5f);
    }
}

void tst_IbtWriter::sessionInfoBlock_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("terminate");
    QTest::addColumn<QByteArray>("block");

    QTest::newRow("text and its NUL") << QByteArray("A: 1\n") << true << QByteArray("A: 1\n\0", 6);
    QTest::newRow("text filling the block") << QByteArray("A: 1\n") << false << QByteArray("A: 1\n");
    QTest::newRow("empty text, NUL only") << QByteArray() << true << QByteArray(1, '\0');
    QTest::newRow("no block at all") << QByteArray() << false << QByteArray();
}

void tst_IbtWriter::sessionInfoBlock()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, terminate);
    QFETCH(QByteArray, block);

    IbtWriter writer;
    const int var = writer.addVariable("Lap", irsdk_int);
    writer.setSessionInfo(text, terminate);
    const QByteArray file = writeToMemory(writer, 1, [&](int) { writer.setValue(var, 7); });

    const irsdk_header header = headerOf(file);
    QCOMPARE(header.sessionInfoOffset, 288);
    QCOMPARE(header.sessionInfoLen, block.size());
    QCOMPARE(file.mid(header.sessionInfoOffset, header.sessionInfoLen), block);
    QCOMPARE(header.varBuf[0].bufOffset, 288 + block.size());
    QCOMPARE(readAt<qint32>(file, header.varBuf[0].bufOffset), 7);
}

void tst_IbtWriter::bufferCount()
{
    IbtWriter writer;
    writer.addVariable("Lap", irsdk_int, {}, {}, 2);
    writer.setBufferCount(3);
    const QByteArray file = writeToMemory(writer, 4);

    const irsdk_header header = headerOf(file);
    QCOMPARE(header.numBuf, 3);
    QCOMPARE(header.varBuf[1].bufOffset, header.varBuf[0].bufOffset + 8);
    QCOMPARE(header.varBuf[2].bufOffset, header.varBuf[0].bufOffset + 16);
    QCOMPARE(header.varBuf[3].bufOffset, 0);
    QCOMPARE(file.size(), header.varBuf[0].bufOffset + 4 * 8);
}

void tst_IbtWriter::fileEqualsMemory()
{
    const auto declare = [](IbtWriter& writer) {
        writer.addVariable("SessionTime", irsdk_double, "s");
        writer.addVariable("CarIdxLap", irsdk_int, {}, {}, 64);
        writer.setSessionInfo("WeekendInfo:\n TrackName: x\n");
    };
    const auto fill = [](IbtWriter& writer, int r) {
        writer.setValue(0, r * 0.25);
        writer.setValue(1, -r, r % 64);
    };

    IbtWriter memoryWriter;
    declare(memoryWriter);
    const QByteArray memory = writeToMemory(memoryWriter, 300, [&](int r) { fill(memoryWriter, r); });

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("written.ibt"));
    IbtWriter fileWriter;
    declare(fileWriter);
    QVERIFY2(fileWriter.open(path), qPrintable(fileWriter.errorString()));
    for (int r = 0; r < 300; ++r) {
        fill(fileWriter, r);
        QVERIFY(fileWriter.writeRecord());
    }
    QVERIFY2(fileWriter.close(), qPrintable(fileWriter.errorString()));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), memory);
}

void tst_IbtWriter::failures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("openMode"); // of the buffer, when path is empty

    QTest::newRow("directory missing") << QStringLiteral("/nonexistent-dir/x.ibt") << 0;
    QTest::newRow("device not open") << QString() << int(QIODevice::NotOpen);
    QTest::newRow("device read-only") << QString() << int(QIODevice::ReadOnly);
}

void tst_IbtWriter::failures()
{
    QFETCH(QString, path);
    QFETCH(int, openMode);

    IbtWriter writer;
    writer.addVariable("Lap", irsdk_int);
    QBuffer buffer;
    if (openMode != QIODevice::NotOpen)
        buffer.open(QIODevice::OpenMode(openMode));
    QVERIFY(!(path.isEmpty() ? writer.open(&buffer) : writer.open(path)));
    QVERIFY(!writer.errorString().isEmpty());
    QVERIFY(!writer.writeRecord());
    QVERIFY(!writer.close());
    QCOMPARE(writer.recordCount(), qint64(0));
}

QTEST_GUILESS_MAIN(tst_IbtWriter)
#include "tst_ibtwriter.moc"
