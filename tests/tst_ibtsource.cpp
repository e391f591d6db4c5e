#include "ibt/ibtsource.h"
#include "support/streamfeed.h"

#include <QTemporaryDir>
#include <QtTest>

#include <climits>
#include <new>

namespace {

constexpr qint64 twoGiB = qint64(1) << 31;
constexpr qint64 fourGiB = qint64(1) << 32;

} // namespace

class tst_IbtSource : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void contains_data()
    {
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<qint64>("length");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("inside");

        QTest::newRow("whole file") << qint64(0) << qint64(10) << qint64(10) << true;
        QTest::newRow("empty block at the end") << qint64(10) << qint64(0) << qint64(10) << true;
        QTest::newRow("one byte past the end") << qint64(5) << qint64(6) << qint64(10) << false;
        QTest::newRow("offset past the end") << qint64(11) << qint64(0) << qint64(10) << false;
        QTest::newRow("negative offset") << qint64(-1) << qint64(1) << qint64(10) << false;
        QTest::newRow("negative length") << qint64(0) << qint64(-1) << qint64(10) << false;
        // Offsets from 32-bit header fields inside files of more than 2 and 4 GiB.
        QTest::newRow("record at INT_MAX in a 5 GiB file") << qint64(INT_MAX) << qint64(INT_MAX) << 5 * twoGiB / 2 << true;
        QTest::newRow("block ending at 4 GiB") << fourGiB - 100 << qint64(100) << fourGiB << true;
        QTest::newRow("block crossing 4 GiB") << fourGiB - 100 << qint64(101) << fourGiB << false;
        QTest::newRow("length that would wrap") << qint64(1) << LLONG_MAX << LLONG_MAX << false;
    }

    void contains()
    {
        QFETCH(qint64, offset);
        QFETCH(qint64, length);
        QFETCH(qint64, size);
        QFETCH(bool, inside);

        QCOMPARE(IbtSource::contains(offset, length, size), inside);
    }

    // Past the limit a stream is taken for one that never ends; up to it, it is read whole.
    void streamLimit_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<bool>("read");

        const QString tenMiB = QStringLiteral("head -c 10485760 /dev/zero");
        QTest::newRow("exactly the limit") << tenMiB << qint64(10 << 20) << true;
        QTest::newRow("one byte past the limit") << tenMiB << qint64((10 << 20) - 1) << false;
        QTest::newRow("never ends") << QStringLiteral("cat /dev/zero") << qint64(64 << 20) << false;
    }

    void streamLimit()
    {
        QFETCH(QString, command);
        QFETCH(qint64, limit);
        QFETCH(bool, read);

        StreamFeed feed(m_dir.filePath(QStringLiteral("pipe")), command);
        QVERIFY(feed.isValid());
        IbtSource source(limit);
        bool threw = false;
        try {
            QVERIFY(source.open(feed.path()));
        } catch (const std::bad_alloc&) {
            threw = true;
        }
        QCOMPARE(threw, !read);
        if (read)
            QCOMPARE(source.size(), limit);
    }

    // A sparse file: its size and a read past 4 GiB take no space and no time. Streams read alike from a
    // pipe, across blocks, are the import driver test's.
    void beyondFourGiB()
    {
        const QString path = m_dir.filePath(QStringLiteral("sparse.bin"));
        const QByteArray marker = "beyond 4 GiB";
        const qint64 at = fourGiB + twoGiB + 3;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (!file.seek(at) || file.write(marker) != marker.size())
            QSKIP("this file system cannot hold a sparse file past 4 GiB");
        file.close();

        IbtSource source;
        QVERIFY(source.open(path));
        QVERIFY(!source.isInMemory());
        QCOMPARE(source.size(), at + marker.size());
        QVERIFY(source.contains(at, marker.size()));
        QVERIFY(!source.contains(at, marker.size() + 1));
        QByteArray read(marker.size(), '\0');
        QVERIFY(source.seek(at));
        QCOMPARE(source.read(read.data(), size_t(read.size())), size_t(marker.size()));
        QCOMPARE(read, marker);
        QVERIFY(source.seek(twoGiB + 1));
        QCOMPARE(source.read(read.data(), 1), size_t(1));
        QCOMPARE(read.at(0), '\0');
        QVERIFY(!source.seek(source.size() + 1) && !source.seek(-1));
    }
};

QTEST_GUILESS_MAIN(tst_IbtSource)
#include "tst_ibtsource.moc"
