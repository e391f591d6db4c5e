#include "ibt/ibtwriter.h"
#include "laps/lapbudget.h"
#include "support/headerfields.h"
#include "support/importmessages.h"
#include "support/peakrss.h"
#include "support/pluginfixture.h"
#include "support/testfiles.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

#include <new>

namespace {

/// The writer's file of a car on track, followed by `extra` one-byte variables. With closeLaps the
/// lap timer falls by 9 s every other record, which closes a lap each time; without, the lap-distance
/// fraction is the first extra variable and the car drives one lap for ever.
QByteArray writerFile(int extra, int records, bool closeLaps)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    IbtWriter writer(IbtWriter::Layout::Packed);
    const int onTrack = writer.addVariable("IsOnTrack", irsdk_char);
    const int pct = closeLaps ? writer.addVariable("LapDistPct", irsdk_float) : -1;
    const int lap = closeLaps ? writer.addVariable("Lap", irsdk_int) : -1;
    const int timer = closeLaps ? writer.addVariable("LapCurrentLapTime", irsdk_float, "s") : -1;
    for (int i = 0; i < extra; ++i)
        writer.addVariable(i == 0 && !closeLaps ? QByteArray("LapDistPct") : "Extra" + QByteArray::number(i),
                           irsdk_char);
    writer.setSessionInfo(TestFiles::playerSessionInfo());
    if (!writer.open(&buffer))
        qFatal("cannot write: %s", qPrintable(writer.errorString()));
    for (int r = 0; r < records; ++r) {
        writer.setValue(onTrack, 1);
        writer.setValue(pct, 0.5);
        writer.setValue(lap, 1);
        writer.setValue(timer, r % 2 ? 1.0 : 10.0);
        writer.writeRecord();
    }
    writer.close();
    return buffer.data();
}

/// A file whose `shared` one-byte variables all read the first byte of each record (the car's
/// on-track flag, 1) instead of bytes of their own: the records are those of the car alone.
QByteArray sharedByteFile(int shared, int records, bool closeLaps)
{
    const QByteArray car = writerFile(0, records, closeLaps);
    QByteArray table = writerFile(shared, 0, closeLaps);
    const int tableAt = fieldOf(table, varHeaderOffsetAt);
    const int numVars = fieldOf(table, numVarsAt);
    constexpr int entry = sizeof(irsdk_varHeader);
    for (int i = numVars - shared; i < numVars; ++i)
        table = withField(table, tableAt + i * entry + int(offsetof(irsdk_varHeader, offset)), 0);
    table = withField(withField(table, bufLenAt, fieldOf(car, bufLenAt)), bufOffsetAt, table.size());
    return table + car.mid(fieldOf(car, bufOffsetAt));
}

} // namespace

class tst_LapBudget : public QObject
{
    Q_OBJECT

    PluginFixture m_fixture;
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_fixture.isLoaded(), qPrintable(m_fixture.errorString()));
        QVERIFY(m_dir.isValid());
    }

    // The rule: 16 times the file's size and 256 MiB; a directory's seek to its end can report any size.
    void limit()
    {
        const qint64 allowance = qint64(256) << 20;
        QCOMPARE(LapBudget::limitFor(0), allowance);
        QCOMPARE(LapBudget::limitFor(590159629), 16 * qint64(590159629) + allowance);
        QCOMPARE(LapBudget::limitFor(std::numeric_limits<qint64>::max()), std::numeric_limits<qint64>::max());
    }

    void growth_data()
    {
        QTest::addColumn<int>("size");     // values in the channel, which is full
        QTest::addColumn<QString>("step"); // "reserve N", "makeRoom" or "squeeze"
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<int>("capacity"); // after the step; -1: it threw
        QTest::addColumn<qint64>("used");  // after the step

        const qint64 none = std::numeric_limits<qint64>::max();
        QTest::newRow("reserve: new block counted, old given back") << 10 << "reserve 100" << none << 100
                                                                    << qint64(800);
        QTest::newRow("reserve: no smaller") << 10 << "reserve 5" << none << 10 << qint64(80);
        QTest::newRow("reserve: up to the limit") << 10 << "reserve 100" << qint64(880) << 100 << qint64(800);
        QTest::newRow("reserve: past the limit, nothing counted") << 10 << "reserve 100" << qint64(879) << -1
                                                                  << qint64(80);
        QTest::newRow("reserve: more than a vector holds") << 10 << "reserve 3000000000" << none << -1 << qint64(80);
        QTest::newRow("makeRoom: full channel doubles") << 40 << "makeRoom" << none << 80 << qint64(640);
        QTest::newRow("makeRoom: empty channel gets 16") << 0 << "makeRoom" << none << 16 << qint64(128);
        QTest::newRow("squeeze after growth") << 40 << "makeRoom squeeze" << none << 41 << qint64(328);
    }

    void growth()
    {
        QFETCH(int, size);
        QFETCH(QString, step);
        QFETCH(qint64, limit);
        QFETCH(int, capacity);
        QFETCH(qint64, used);

        QVector<double> values(size, 1.0);
        values.squeeze();
        LapBudget budget;
        budget.charge(values.capacity() * LapBudget::valueCost);
        budget.setLimit(limit);
        try {
            const QStringList words = step.split(QLatin1Char(' '));
            if (words.first() == QLatin1String("reserve"))
                budget.reserve(values, words.at(1).toLongLong());
            if (words.first() == QLatin1String("makeRoom"))
                budget.makeRoom(values);
            if (words.last() == QLatin1String("squeeze")) {
                values.append(2.0);
                budget.squeeze(values);
            }
            QCOMPARE(values.capacity(), capacity);
        } catch (const std::bad_alloc&) {
            QCOMPARE(capacity, -1);
            QCOMPARE(values.capacity(), size);
        }
        QCOMPARE(budget.used(), used);
    }

    // Files that ask for far more memory than their size end at once with no laps; the same kinds
    // of file within the rule import.
    void hostileFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("outOfMemory");

        // 1.6 GB of channels from a 390 KB file without the rule.
        QTest::newRow("2000 variables on one byte of a 1-byte record") << sharedByteFile(2000, 100000, false) << true;
        // About 175 bytes of channel object per variable and lap: 400 MB from a 320 KB file.
        QTest::newRow("a lap every other record, 2000 variables") << sharedByteFile(2000, 2000, true) << true;
        // A lap's own properties for every 26 bytes of file.
        QTest::newRow("a lap every other record, 4 variables") << sharedByteFile(0, 200000, true) << true;
        QTest::newRow("2000 variables on one byte, 1000 records") << sharedByteFile(2000, 1000, false) << false;
        QTest::newRow("a lap every other record, 2000 variables, 20 laps") << sharedByteFile(2000, 40, true) << false;
        QTest::newRow("a lap every other record, 4 variables, 5000 laps") << sharedByteFile(0, 10000, true) << false;
    }

    void hostileFiles()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, outOfMemory);

        const QString path = TestFiles::write(m_dir.filePath(QStringLiteral("hostile.ibt")), file);
        const long before = peakRssKb();
        const ImportResult result = m_fixture.import(path);
        const long grownKb = peakRssKb() - before;
        QVERIFY2(!residentSizeIsHeap || grownKb * 1024 < LapBudget::limitFor(file.size()),
                 qPrintable(QStringLiteral("peak RSS grew by %1 KiB").arg(grownKb)));
        QCOMPARE(result.messages.size(), 3);
        if (outOfMemory) {
            QVERIFY(result.laps.isEmpty());
            QCOMPARE(result.messages.last(), messagePrefix + QStringLiteral("IBT import error:  Out of memory"));
            QCOMPARE(result.verbosities.last(), -2);
        } else {
            QVERIFY(!result.laps.isEmpty());
            QCOMPARE(result.verbosities.last(), 0);
        }
    }
};

QTEST_GUILESS_MAIN(tst_LapBudget)
#include "tst_lapbudget.moc"
