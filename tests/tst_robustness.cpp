#include "ibt/ibtwriter.h"
#include "laps/lapbudget.h"
#include "support/headerfields.h"
#include "support/importmessages.h"
#include "support/peakrss.h"
#include "support/pluginfixture.h"
#include "support/testfiles.h"

#include <QBuffer>
#include <QtTest>

#include <climits>
#include <new>

namespace {

constexpr int headerSize = sizeof(irsdk_header);
constexpr int fixedSize = sizeof(irsdk_header) + sizeof(irsdk_diskSubHeader);

/// What an import gave, as one comparable text: "error: " and the message, or "laps" and one
/// entry per lap; anything the importer must never do shows up as "unexpected: ...".
QString outcome(const ImportResult& result)
{
    if (result.messages.size() != 3 || (result.verbosities.last() == -2) != result.laps.isEmpty())
        return QStringLiteral("unexpected: ") + result.messages.join(QLatin1Char('|'));
    if (result.laps.isEmpty())
        return QStringLiteral("error: ") + result.messages.last().mid(messagePrefix.size());
    QString text = QStringLiteral("laps");
    for (const auto& lap : result.laps) {
        const QTime time = lap->lapTime();
        text += QStringLiteral(" | %1 %2 %3 %4 %5 %6 %7 '%8' '%9'")
                    .arg(lap->lapNumber()).arg(lap->lapInRun()).arg(lap->runNumber()).arg(int(lap->lapStatus()))
                    .arg(int(lap->completed())).arg(time.isNull() ? -1 : time.msecsSinceStartOfDay())
                    .arg(lap->sampleCount()).arg(lap->driverName(), lap->trackName());
        for (const auto& channel : lap->channels()) {
            if (channel->size() != lap->sampleCount())
                return QStringLiteral("unexpected: ragged channel in ") + text;
        }
    }
    return text;
}

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

// Files made to break the import or to make it hold too much, and the budget that bounds what it holds.
class tst_Robustness : public QObject
{
    Q_OBJECT

    PluginFixture m_fixture;
    QTemporaryDir m_dir;
    QByteArray m_file = TestFiles::twoLapScenario();

    QString writeFile(const QByteArray& bytes, const QString& name = QStringLiteral("case.ibt"))
    {
        return TestFiles::write(m_dir.filePath(name), bytes);
    }
    QString importOutcome(const QByteArray& bytes) { return outcome(m_fixture.import(writeFile(bytes))); }

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
        QTest::newRow("reserve: new block counted, old given back") << 10 << "reserve 100" << none << 100 << qint64(800);
        QTest::newRow("reserve: no smaller") << 10 << "reserve 5" << none << 10 << qint64(80);
        QTest::newRow("reserve: up to the limit") << 10 << "reserve 100" << qint64(880) << 100 << qint64(800);
        QTest::newRow("reserve: past the limit, nothing counted") << 10 << "reserve 100" << qint64(879) << -1 << qint64(80);
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

        const long before = peakRssKb();
        const QString actual = importOutcome(file);
        const long grownKb = peakRssKb() - before;
        QVERIFY2(!residentSizeIsHeap || grownKb * 1024 < LapBudget::limitFor(file.size()),
                 qPrintable(QStringLiteral("peak RSS grew by %1 KiB").arg(grownKb)));
        QVERIFY2(outOfMemory ? actual == "error: IBT import error:  Out of memory" : actual.startsWith("laps | "),
                 qPrintable(actual.left(200)));
    }

    void truncationSweep_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<qint64>("from");
        QTest::addColumn<qint64>("to");
        QTest::addColumn<qint64>("step");
        QTest::addColumn<QString>("error");

        const qint64 infoOffset = fieldOf(m_file, sessionInfoOffsetAt);
        const qint64 tableOffset = fieldOf(m_file, varHeaderOffsetAt);
        const qint64 tableEnd = tableOffset + fieldOf(m_file, numVarsAt) * qint64(sizeof(irsdk_varHeader));
        // With the session info in the first header byte, a cut inside the table meets the table's own read.
        const QByteArray infoInHeader = withField(withField(m_file, sessionInfoOffsetAt, 0), sessionInfoLenAt, 1);
        const qint64 one = 1;
        QTest::newRow("header") << m_file << qint64(0) << qint64(headerSize) << one << headerError;
        QTest::newRow("sub-header") << m_file << qint64(headerSize) << qint64(fixedSize) << one << subHeaderError;
        QTest::newRow("session info") << m_file << infoOffset << infoOffset + fieldOf(m_file, sessionInfoLenAt) << one
                                      << sessionInfoError;
        // A step prime to the record length, and to that of a variable's entry, lands everywhere
        // inside them over the whole table or file.
        QTest::newRow("variable table") << infoInHeader << tableOffset << tableEnd << qint64(7) << varHeaderError;
        QTest::newRow("records") << m_file << qint64(fieldOf(m_file, bufOffsetAt)) << qint64(m_file.size() + 1)
                                 << qint64(389) << QString();
    }

    void truncationSweep()
    {
        QFETCH(QByteArray, file);
        QFETCH(qint64, from);
        QFETCH(qint64, to);
        QFETCH(qint64, step);
        QFETCH(QString, error);

        // The file is written once and shortened cut by cut, from the last cut to the first.
        const QString path = writeFile(file, QStringLiteral("cut.ibt"));
        for (qint64 cut = from + (to - 1 - from) / step * step; cut >= from; cut -= step) {
            QVERIFY(QFile::resize(path, cut));
            const QString actual = outcome(m_fixture.import(path));
            // A cut inside a record reads as the file of the whole records before it.
            const QString expected = !error.isEmpty()
                                         ? QStringLiteral("error: ") + error
                                         : importOutcome(file.left(cut - (cut - from) % fieldOf(file, bufLenAt)));
            QVERIFY2(actual == expected && !actual.startsWith(QStringLiteral("unexpected")),
                     qPrintable(QStringLiteral("cut at %1: %2\nexpected %3").arg(cut).arg(actual, expected)));
        }
    }

    void headerMutations_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("expected");

        const QVector<QPair<const char*, qint32>> values = {
            {"0", 0}, {"-1", -1}, {"INT_MIN", INT_MIN}, {"INT_MAX", INT_MAX}, {"file size", qint32(m_file.size())}};
        // What each value above does to a field the reader uses: S and V fail the session-info and
        // the variable-table read, L gives laps, E one empty lap (no whole record).
        const QHash<int, QPair<const char*, QByteArray>> used = {
            {sessionInfoLenAt, {"sessionInfoLen", "SSSSS"}}, {sessionInfoOffsetAt, {"sessionInfoOffset", "LSSSS"}},
            {numVarsAt, {"numVars", "LVVVV"}},               {varHeaderOffsetAt, {"varHeaderOffset", "LVVVV"}},
            {bufLenAt, {"bufLen", "EEEEE"}},                 {bufOffsetAt, {"varBuf[0].bufOffset", "LEEEE"}}};
        const QHash<char, QString> outcomes = {{'S', "error: " + sessionInfoError}, {'V', "error: " + varHeaderError},
                                               {'L', "laps"}, {'E', "one empty lap"}};
        for (int at = 0; at < headerSize; at += int(sizeof(qint32))) {
            // A field the reader never reads only needs its bits all clear and all set.
            const auto field = used.value(at, {nullptr, "UU"});
            const QByteArray name = field.first ? field.first : "unread field at " + QByteArray::number(at);
            for (int v = 0; v < field.second.size(); ++v) {
                QTest::addRow("%s %s", name.constData(), values.at(v).first)
                    << withField(m_file, at, values.at(v).second) << outcomes.value(field.second.at(v), "unchanged");
            }
        }
        // A byte per record: many records, each almost empty, in time linear in the file.
        QTest::newRow("bufLen 1 on a 256 KiB file")
            << withField(m_file + QByteArray(1 << 18, '\0'), bufLenAt, 1) << QStringLiteral("laps");
        // The import fuzzer's timeout on a busy machine (slow, not stuck): a byte per record from
        // inside the header on, behind a one-variable table read from inside the sub-header.
        QByteArray found = withField(withField(m_file, numVarsAt, 1), varHeaderOffsetAt, 131);
        found = withField(withField(withField(found, bufLenAt, 1), bufOffsetAt, 61), 0, 3342338);
        QTest::newRow("fuzz timeout: bufLen 1 at 61, one variable at 131") << found << QStringLiteral("laps");
    }

    void headerMutations()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, expected);

        const long rssBefore = peakRssKb();
        const QString actual = importOutcome(file);
        // Far more than an import of these files needs, far less than a buffer sized by a header
        // value that the file cannot back.
        QVERIFY2(peakRssKb() - rssBefore < 64 * 1024,
                 qPrintable(QStringLiteral("peak RSS grew by %1 KiB").arg(peakRssKb() - rssBefore)));
        if (expected == QLatin1String("unchanged"))
            QCOMPARE(actual, importOutcome(m_file));
        else if (expected == QLatin1String("one empty lap"))
            QVERIFY2(actual.startsWith(QStringLiteral("laps | ")) && actual.count(QStringLiteral(" | ")) == 1
                         && actual.contains(QStringLiteral(" -1 0 '")), qPrintable(actual));
        else
            QVERIFY2(expected == QLatin1String("laps") ? actual.startsWith(QStringLiteral("laps | ")) : actual == expected,
                     qPrintable(actual));
    }

    void importCycleFreesEverything()
    {
        // The sanitizer build's leak check covers what this cannot see; the channels, which laps
        // share among themselves, are checked here as well.
        QVector<ZEL::Lap*> laps = m_fixture.plugin()->importFile(writeFile(m_file), ImportDriver::formatFilter());
        QVERIFY(laps.size() > 1);
        QVector<QWeakPointer<ZEL::Channel>> channels;
        for (const ZEL::Lap* lap : laps) {
            for (const auto& channel : lap->channels())
                channels.append(channel);
        }
        QVERIFY(!channels.isEmpty());
        qDeleteAll(laps);
        for (const auto& channel : channels)
            QVERIFY(channel.isNull());
    }
};

QTEST_GUILESS_MAIN(tst_Robustness)
#include "tst_robustness.moc"
