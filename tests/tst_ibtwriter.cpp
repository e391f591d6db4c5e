#include "ibt/ibtwriter.h"

#include <QBuffer>
#include <QtEndian>
#include <QtTest>

// The little-endian int32 at the offset, 0 past the end.
static int intAt(const QByteArray& file, int offset)
{
    return qFromLittleEndian<qint32>(file.mid(offset, 4).leftJustified(4, '\0').constData());
}

class tst_IbtWriter : public QObject
{
    Q_OBJECT

private slots:
    void write_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("element");
        QTest::addColumn<double>("input");
        QTest::addColumn<QByteArray>("expected"); // the element's bytes on disk, in hex

        QTest::newRow("float rounds to single") << int(irsdk_float) << 0 << 0.1 << QByteArray("cdcccc3d");
        QTest::newRow("int truncates toward zero") << int(irsdk_int) << 0 << -3.7 << QByteArray("fdffffff");
        QTest::newRow("int saturates") << int(irsdk_int) << 0 << 1e10 << QByteArray("ffffff7f");
        QTest::newRow("bool from a fraction is true") << int(irsdk_bool) << 0 << 0.2 << QByteArray("01");
        QTest::newRow("char saturates") << int(irsdk_char) << 0 << 300.0 << QByteArray("7f");
        QTest::newRow("bit field with bit 31") << int(irsdk_bitField) << 0 << -2147483644.0 << QByteArray("04000080");
        QTest::newRow("last element of a car array") << int(irsdk_int) << 63 << 42.0 << QByteArray("2a000000");
    }

    void write()
    {
        QFETCH(int, type);
        QFETCH(int, element);
        QFETCH(double, input);
        QFETCH(QByteArray, expected);

        // A one-byte guard on each side of a 64-element array; texts longer than their fields are
        // cut at the width, without a NUL.
        IbtWriter writer;
        writer.addVariable(QByteArray(40, 'n'), irsdk_char, QByteArray(33, 'u'), QByteArray(100, 'd'));
        const int var = writer.addVariable("Value", irsdk_VarType(type), {}, {}, 64);
        writer.addVariable("After", irsdk_char);
        writer.setSessionInfo("A: 1\n");
        QBuffer buffer;
        QVERIFY(buffer.open(QIODevice::WriteOnly) && writer.open(&buffer));
        writer.setValue(var, input, element);
        QVERIFY(writer.writeRecord() && writer.close());
        const QByteArray file = buffer.data();

        // The array starts on a multiple of its element size.
        const int size = irsdkElementSize(type);
        const int bufLen = size + 64 * size + 1;

        // The file size, then header fields by byte offset: session-info length and offset, numVars,
        // variable-header offset, bufLen, tickCount and bufOffset of the first buffer; the sub-header's
        // record count; the array's offset in its variable header. The counts are patched in at close.
        QVector<int> fields{int(file.size())};
        for (int at : {16, 20, 24, 28, 36, 48, 52, 112 + 28, 288 + 4})
            fields << intAt(file, at);
        QCOMPARE(fields, (QVector<int>{582 + bufLen, 6, 576, 3, 144, bufLen, 1, 582, 1, size}));
        QCOMPARE(file.mid(576, 6), QByteArray("A: 1\n\0", 6));
        // Name, description and unit of the first variable, then the name of the second.
        QCOMPARE(file.mid(144 + 16, 128), QByteArray(32, 'n') + QByteArray(64, 'd') + QByteArray(32, 'u'));
        QCOMPARE(file.mid(288 + 16, 32), QByteArray("Value").leftJustified(32, '\0'));

        QByteArray record(bufLen, '\0');
        const QByteArray bytes = QByteArray::fromHex(expected);
        record.replace(size + element * bytes.size(), bytes.size(), bytes);
        QCOMPARE(file.right(bufLen), record);
    }
};

QTEST_GUILESS_MAIN(tst_IbtWriter)
#include "tst_ibtwriter.moc"
