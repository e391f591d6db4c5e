#include "ibt/ibtlayout.h"
#include "ibt/scenario.h"
#include "sessioninfo/sessioninfonode.h"
#include "support/pluginfixture.h"

#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QWeakPointer>
#include <QtTest>

#include <sys/resource.h>

#include <climits>
#include <cstddef>
#include <cstring>

namespace {

const QString prefix = QStringLiteral("[ZEL iRacing ibt import plugin plugin] ");
const QString headerError = QStringLiteral("IBT import error:  Error reading irsdk_header");
const QString subHeaderError = QStringLiteral("IBT import error:  Error reading irsdk_diskSubHeader");
const QString sessionInfoError = QStringLiteral("IBT import error:  Failed to read sessionInfoString");
const QString varHeaderError = QStringLiteral("IBT import error:  Failed to read irsdk_varHeader");

constexpr int headerSize = sizeof(irsdk_header);
constexpr int fixedSize = sizeof(irsdk_header) + sizeof(irsdk_diskSubHeader);
constexpr int sessionInfoLenAt = offsetof(irsdk_header, sessionInfoLen);
constexpr int sessionInfoOffsetAt = offsetof(irsdk_header, sessionInfoOffset);
constexpr int numVarsAt = offsetof(irsdk_header, numVars);
constexpr int varHeaderOffsetAt = offsetof(irsdk_header, varHeaderOffset);
constexpr int bufLenAt = offsetof(irsdk_header, bufLen);
constexpr int bufOffsetAt = offsetof(irsdk_header, varBuf) + offsetof(irsdk_varBuf, bufOffset);

/// Two timed laps at two records a second: every part of a real file, small enough to cut at every byte.
ScenarioOptions smallScenario()
{
    ScenarioOptions options;
    options.tickRate = 2;
    options.lapSeconds = 10.0;
    options.timedLaps = 2;
    return options;
}

QByteArray scenarioFile(const ScenarioOptions& options = smallScenario())
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    Scenario scenario(options);
    if (!scenario.write(&buffer))
        qFatal("cannot write the scenario: %s", qPrintable(scenario.errorString()));
    return buffer.data();
}

QByteArray scenarioFileWith(const QByteArray& sessionInfo)
{
    ScenarioOptions options = smallScenario();
    options.sessionInfo = sessionInfo;
    return scenarioFile(options);
}

qint32 fieldOf(const QByteArray& file, int offset)
{
    qint32 value;
    std::memcpy(&value, file.constData() + offset, sizeof value);
    return value;
}

QByteArray withField(QByteArray file, int offset, qint32 value)
{
    std::memcpy(file.data() + offset, &value, sizeof value);
    return file;
}

/// The same file with the session info moved in front of the variable table, so that a cut
/// inside the table is met by the table's own read.
QByteArray sessionInfoFirst(const QByteArray& file)
{
    const qint32 infoOffset = fieldOf(file, sessionInfoOffsetAt);
    const qint32 infoLength = fieldOf(file, sessionInfoLenAt);
    const qint32 tableOffset = fieldOf(file, varHeaderOffsetAt);
    const qint32 tableLength = fieldOf(file, numVarsAt) * qint32(sizeof(irsdk_varHeader));
    QByteArray moved = file.left(fixedSize) + file.mid(infoOffset, infoLength) + file.mid(tableOffset, tableLength)
                       + file.mid(fixedSize + infoLength + tableLength);
    moved = withField(moved, sessionInfoOffsetAt, fixedSize);
    return withField(moved, varHeaderOffsetAt, fixedSize + infoLength);
}

/// Whether [offset, offset + length) lies wholly inside a file of `size` bytes.
bool inside(qint64 offset, qint64 length, qint64 size)
{
    return offset >= 0 && length >= 0 && offset + length <= size;
}

/// The error of the first read, in the importer's order, that a file of `size` bytes with the
/// header of `file` cannot satisfy; empty when the import gets as far as the records.
QString firstFailingRead(const QByteArray& file, qint64 size)
{
    if (size < headerSize)
        return headerError;
    if (size < fixedSize)
        return subHeaderError;
    // The block's last byte is replaced by the text's NUL, so it needs at least one.
    const qint64 infoLength = fieldOf(file, sessionInfoLenAt);
    if (infoLength <= 0 || !inside(fieldOf(file, sessionInfoOffsetAt), infoLength, size))
        return sessionInfoError;
    const qint64 numVars = fieldOf(file, numVarsAt);
    if (numVars < 0 || !inside(fieldOf(file, varHeaderOffsetAt), numVars * qint64(sizeof(irsdk_varHeader)), size))
        return varHeaderError;
    return {};
}

/// Whole records between the record offset and the end of a file of `size` bytes.
qint64 wholeRecords(const QByteArray& file, qint64 size)
{
    const qint64 length = fieldOf(file, bufLenAt);
    const qint64 offset = fieldOf(file, bufOffsetAt);
    return length > 0 && offset >= 0 && offset <= size ? (size - offset) / length : 0;
}

QString lapLine(const ZEL::Lap& lap)
{
    const QString time = lap.lapTime().isNull() ? QStringLiteral("null")
                                                : QString::number(lap.lapTime().msecsSinceStartOfDay());
    QString line = QStringLiteral("%1 %2 %3 %4 %5 %6 %7 '%8' '%9'")
                       .arg(lap.lapNumber())
                       .arg(lap.lapInRun())
                       .arg(lap.runNumber())
                       .arg(int(lap.lapStatus()))
                       .arg(int(lap.completed()))
                       .arg(time)
                       .arg(lap.sampleCount())
                       .arg(lap.driverName(), lap.trackName());
    for (const auto& channel : lap.channels()) {
        if (channel->size() != lap.sampleCount())
            return line + QStringLiteral(" ragged");
    }
    return line;
}

/// What an import gave, as one comparable text: "error: " and the message, or "laps: " and one
/// line per lap; anything the importer must never do shows up as "unexpected: ...".
QString outcome(const ImportResult& result)
{
    if (result.messages.size() != 3)
        return QStringLiteral("unexpected: messages ") + result.messages.join(QLatin1Char('|'));
    const QString text = result.messages.last().mid(prefix.size());
    if (result.verbosities.last() == -2)
        return (result.laps.isEmpty() ? QStringLiteral("error: ") : QStringLiteral("unexpected: laps after ")) + text;
    static const QRegularExpression done(QStringLiteral("^Done in \\d+ ms; Laps readed (\\d+)$"));
    const QRegularExpressionMatch match = done.match(text);
    if (!match.hasMatch() || match.captured(1).toInt() != result.laps.size() || result.laps.isEmpty())
        return QStringLiteral("unexpected: %1 laps after ").arg(result.laps.size()) + text;
    QStringList lines;
    for (const auto& lap : result.laps)
        lines << lapLine(*lap);
    return QStringLiteral("laps: ") + lines.join(QStringLiteral(" | "));
}

long peakRssKb()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

/// Far more than an import of the small test files needs, far less than one buffer sized by a
/// header value that the file cannot back.
constexpr long rssAllowanceKb = 64 * 1024;

QByteArray crlf(QByteArray text)
{
    return text.replace("\n", "\r\n");
}

QByteArray withoutDocumentLine(const QByteArray& text)
{
    return text.startsWith("---\n") ? text.mid(4) : text;
}

/// `depth` sections, each one space deeper, the last holding the key "Deep".
QByteArray nestedSections(int depth)
{
    QByteArray text;
    for (int level = 0; level < depth; ++level)
        text += QByteArray(level, ' ') + "N:\n";
    return text + QByteArray(depth, ' ') + "Deep: bottom\n";
}

QString nestedPath(int depth)
{
    QStringList pieces;
    for (int level = 0; level < depth; ++level)
        pieces << QStringLiteral("N");
    return pieces.join(QLatin1Char('/')) + QStringLiteral("/Deep");
}

} // namespace

class tst_Robustness : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void truncationSweep_data();
    void truncationSweep();
    void headerMutations_data();
    void headerMutations();
    void sessionInfoTexts_data();
    void sessionInfoTexts();
    void sessionInfoInImport_data();
    void sessionInfoInImport();
    void nonAsciiDriverName();
    void importCycleFreesEverything();

private:
    QString writeFile(const QByteArray& bytes, const QString& name);
    ImportResult importBytes(const QByteArray& bytes)
    {
        return m_fixture.import(writeFile(bytes, QStringLiteral("case.ibt")));
    }

    PluginFixture m_fixture;
    QTemporaryDir m_dir;
    QByteArray m_file;
    QString m_fileOutcome;
};

void tst_Robustness::initTestCase()
{
    QVERIFY2(m_fixture.isLoaded(), qPrintable(m_fixture.errorString()));
    QVERIFY(m_dir.isValid());
    m_file = scenarioFile();
    m_fileOutcome = outcome(importBytes(m_file));
    QVERIFY2(m_fileOutcome.count(QStringLiteral(" | ")) >= 3, qPrintable(m_fileOutcome));
}

QString tst_Robustness::writeFile(const QByteArray& bytes, const QString& name)
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

void tst_Robustness::truncationSweep_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    QTest::addColumn<qint64>("step");

    const auto addRows = [](const char* layout, const QByteArray& file, qint64 step) {
        const qint64 infoOffset = fieldOf(file, sessionInfoOffsetAt);
        const qint64 tableOffset = fieldOf(file, varHeaderOffsetAt);
        const qint64 tableLength = fieldOf(file, numVarsAt) * qint64(sizeof(irsdk_varHeader));
        QTest::addRow("%s: session info", layout)
            << file << infoOffset << infoOffset + fieldOf(file, sessionInfoLenAt) << step;
        QTest::addRow("%s: variable table", layout) << file << tableOffset << tableOffset + tableLength << step;
    };
    QTest::newRow("header") << m_file << qint64(0) << qint64(headerSize) << qint64(1);
    QTest::newRow("sub-header") << m_file << qint64(headerSize) << qint64(fixedSize) << qint64(1);
    addRows("simulator layout", m_file, 1);
    // A step prime to the record length lands everywhere inside the records over the file.
    QTest::newRow("simulator layout: records")
        << m_file << qint64(fieldOf(m_file, bufOffsetAt)) << qint64(m_file.size() + 1) << qint64(97);
    // Only which read fails changes here, and every byte was cut above.
    addRows("session info first", sessionInfoFirst(m_file), 7);
}

void tst_Robustness::truncationSweep()
{
    QFETCH(QByteArray, file);
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(qint64, step);

    const qint64 recordOffset = fieldOf(file, bufOffsetAt);
    const qint64 recordLength = fieldOf(file, bufLenAt);
    QHash<qint64, QString> wholeRecordOutcomes;
    // The file is written once and shortened cut by cut, from the last cut to the first.
    const QString path = writeFile(file, QStringLiteral("cut.ibt"));
    for (qint64 cut = from + (to - 1 - from) / step * step; cut >= from; cut -= step) {
        QVERIFY(QFile::resize(path, cut));
        const QString actual = outcome(m_fixture.import(path));
        const QString error = firstFailingRead(file, cut);
        if (!error.isEmpty()) {
            QVERIFY2(actual == QStringLiteral("error: ") + error,
                     qPrintable(QStringLiteral("cut at %1: %2").arg(cut).arg(actual)));
            continue;
        }
        // A cut inside a record reads as the file of the whole records before it.
        const qint64 records = wholeRecords(file, cut);
        auto expected = wholeRecordOutcomes.find(records);
        if (expected == wholeRecordOutcomes.end()) {
            const QByteArray whole = file.left(qMin(cut, recordOffset + records * recordLength));
            expected = wholeRecordOutcomes.insert(records, outcome(importBytes(whole)));
            QVERIFY2(expected->startsWith(QStringLiteral("laps: ")), qPrintable(*expected));
        }
        QVERIFY2(actual == *expected, qPrintable(QStringLiteral("cut at %1: %2\nexpected %3")
                                                     .arg(cut).arg(actual, *expected)));
    }
}

void tst_Robustness::headerMutations_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("unusedField");

    static const char* const names[] = {
        "ver", "status", "tickRate", "sessionInfoUpdate", "sessionInfoLen", "sessionInfoOffset", "numVars",
        "varHeaderOffset", "numBuf", "bufLen", "pad1[0]", "pad1[1]",
    };
    const QVector<int> used = {sessionInfoLenAt, sessionInfoOffsetAt, numVarsAt, varHeaderOffsetAt, bufLenAt,
                               bufOffsetAt};
    const QVector<QPair<const char*, qint32>> values = {
        {"0", 0}, {"-1", -1}, {"INT_MIN", INT_MIN}, {"INT_MAX", INT_MAX}, {"file size", qint32(m_file.size())}};
    for (int at = 0; at < headerSize; at += int(sizeof(qint32))) {
        const int inBuffer = (at - int(offsetof(irsdk_header, varBuf))) % int(sizeof(irsdk_varBuf));
        const QByteArray field = at < int(offsetof(irsdk_header, varBuf))
                                     ? QByteArray(names[at / 4])
                                     : QByteArray("varBuf[")
                                           + QByteArray::number((at - int(offsetof(irsdk_header, varBuf)))
                                                                / int(sizeof(irsdk_varBuf)))
                                           + (inBuffer == 0   ? "].tickCount"
                                              : inBuffer == 4 ? "].bufOffset"
                                                              : "].pad");
        for (const auto& value : values) {
            QTest::addRow("%s %s", field.constData(), value.first)
                << withField(m_file, at, value.second) << !used.contains(at);
        }
    }

    // A byte per record over a megabyte: many records, each almost empty, in time linear in the file.
    QTest::newRow("bufLen 1 on a 1 MiB file") << withField(m_file + QByteArray(1 << 20, '\0'), bufLenAt, 1) << false;
    // The import fuzzer's timeout on a busy machine (slow, not stuck): a byte per record from
    // inside the header on, behind a one-variable table read from inside the sub-header.
    QByteArray found = withField(withField(m_file, numVarsAt, 1), varHeaderOffsetAt, 131);
    found = withField(withField(withField(found, bufLenAt, 1), bufOffsetAt, 61), 0, 3342338);
    QTest::newRow("fuzz timeout: bufLen 1 at 61, one variable at 131") << found << false;
}

void tst_Robustness::headerMutations()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, unusedField);

    const long rssBefore = peakRssKb();
    const QString actual = outcome(importBytes(file));
    QVERIFY2(peakRssKb() - rssBefore < rssAllowanceKb,
             qPrintable(QStringLiteral("peak RSS grew by %1 KiB").arg(peakRssKb() - rssBefore)));

    const QString error = firstFailingRead(file, file.size());
    if (!error.isEmpty()) {
        QCOMPARE(actual, QStringLiteral("error: ") + error);
    } else if (unusedField) {
        QCOMPARE(actual, m_fileOutcome);
    } else {
        QVERIFY2(actual.startsWith(QStringLiteral("laps: ")) && !actual.contains(QStringLiteral(" ragged")),
                 qPrintable(actual));
        if (wholeRecords(file, file.size()) == 0)
            QVERIFY2(!actual.contains(QStringLiteral(" | ")) && actual.contains(QStringLiteral(" null 0 ")),
                     qPrintable(actual));
    }
}

void tst_Robustness::sessionInfoTexts_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("value");

    const QByteArray weekend = "WeekendInfo:\n TrackName: Ring\n WeekendOptions:\n  NumStarters: 12\n";
    QTest::newRow("CR LF: a value keeps its CR") << crlf(weekend) << "WeekendInfo:/TrackName" << "Ring\r";
    QTest::newRow("CR LF: a section keeps its colon") << crlf(weekend) << "WeekendInfo/TrackName" << QString();
    QTest::newRow("CR LF: nested section") << crlf(weekend) << "WeekendInfo:/WeekendOptions:/NumStarters" << "12\r";
    QTest::newRow("leading document line") << "---\n" + weekend << "WeekendInfo/TrackName" << "Ring";
    QTest::newRow("leading document line nests nothing") << "---\n" + weekend << "--/WeekendInfo/TrackName"
                                                         << QString();
    QTest::newRow("document end line") << weekend + "...\n" << "WeekendInfo/WeekendOptions/NumStarters" << "12";
    QTest::newRow("NUL padding: the text before it") << weekend + QByteArray(4096, '\0') + "Late: 1\n"
                                                     << "WeekendInfo/TrackName" << "Ring";
    QTest::newRow("NUL padding: nothing after it") << weekend + QByteArray(4096, '\0') + "Late: 1\n" << "Late"
                                                   << QString();
    QTest::newRow("non-ASCII value, byte by byte") << QByteArray("Driver:\n UserName: J\xc3\xb6rg \xff\x80\n")
                                                   << "Driver/UserName"
                                                   << QString::fromLatin1("J\xc3\xb6rg \xff\x80");
    QTest::newRow("non-ASCII key") << QByteArray("Tr\xe4" "ck:\n N\xfc: 1\n")
                                   << QString::fromLatin1("Tr\xe4" "ck/N\xfc") << "1";
    QTest::newRow("very long value") << "A:\n B: " + QByteArray(1 << 20, 'v') + "\n" << "A/B"
                                     << QString(1 << 20, QLatin1Char('v'));
    QTest::newRow("very long key") << "A:\n " + QByteArray(1 << 18, 'k') + ": 1\n"
                                   << "A/" + QString(1 << 18, QLatin1Char('k')) << "1";
    QTest::newRow("very long section line") << QByteArray(1 << 18, 's') + ":\n B: 2\n"
                                            << QString(1 << 18, QLatin1Char('s')) + "/B" << "2";
    QTest::newRow("2000 nested sections") << nestedSections(2000) << nestedPath(2000) << "bottom";
    QTest::newRow("a million spaces deeper stays in its section")
        << "A:\n" + QByteArray(1000000, ' ') + "B: 1\nC: 2\n" << "A/B" << "1";
    QTest::newRow("a million spaces shallower stops at the root")
        << "A:\n" + QByteArray(1000000, ' ') + "B: 1\nC: 2\n" << "C" << "2";
    QTest::newRow("deep first line goes no higher than the root")
        << QByteArray("     X: 1\nY:\n Z: 2\n") << "Y/Z" << "2";
    QTest::newRow("tab is no indentation") << QByteArray("A:\n\tB: 1\n") << "A/\tB" << "1";
    QTest::newRow("line of spaces only opens a nameless section") << QByteArray("A:\n   \nB: 1\n") << "/B" << "1";
    QTest::newRow("colon without space is part of the value") << QByteArray("A:\n B: 1:2\n") << "A/B" << "1:2";
}

void tst_Robustness::sessionInfoTexts()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, path);
    QFETCH(QString, value);

    SessionInfoNode root;
    root.parse(text.constData());
    QCOMPARE(root.valueAt(path), value);
    QCOMPARE(root.valueAt(path).isNull(), value.isNull());
}

void tst_Robustness::sessionInfoInImport_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("reference");

    // The reference text gives the laps that the text must give.
    const QByteArray plain = withoutDocumentLine(Scenario(smallScenario()).sessionInfo());
    QTest::newRow("leading document line") << "---\n" + plain << plain;
    QTest::newRow("document end line") << plain + "...\n" << plain;
    QTest::newRow("NUL padding after the text") << plain + QByteArray(8192, '\0') << plain;
    QTest::newRow("very long line") << plain + "Notes: " + QByteArray(1 << 20, 'n') + "\n" << plain;
    QTest::newRow("deep indentation") << plain + nestedSections(500) << plain;
    // No path finds a section whose name kept its colon, so there is no player car.
    QTest::newRow("CR LF line ends") << crlf(plain) << QByteArray("WeekendInfo:\n");
}

void tst_Robustness::sessionInfoInImport()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, reference);

    const QString actual = outcome(importBytes(scenarioFileWith(text)));
    QVERIFY2(actual.startsWith(QStringLiteral("laps: ")), qPrintable(actual));
    QCOMPARE(actual, outcome(importBytes(scenarioFileWith(reference))));
}

void tst_Robustness::nonAsciiDriverName()
{
    const QByteArray name = "J\xc3\xb6rg M\xfcller \xff";
    QByteArray text = Scenario(smallScenario()).sessionInfo();
    const int at = text.indexOf("UserName: ");
    QVERIFY(at > 0);
    text.replace(at, text.indexOf('\n', at) - at, "UserName: " + name);

    const ImportResult result = importBytes(scenarioFileWith(text));
    QVERIFY(result.laps.size() > 1);
    for (const auto& lap : result.laps)
        QCOMPARE(lap->driverName(), QString::fromLatin1(name));
}

void tst_Robustness::importCycleFreesEverything()
{
    // The sanitizer build's leak check covers what this cannot see; the channels, which laps
    // share among themselves, are checked here as well.
    const QString path = writeFile(m_file, QStringLiteral("cycle.ibt"));
    QVector<ZEL::Lap*> laps = m_fixture.plugin()->importFile(path, ImportDriver::formatFilter());
    QVERIFY(laps.size() > 1);
    QVector<QWeakPointer<ZEL::Channel>> channels;
    for (const ZEL::Lap* lap : laps) {
        for (const auto& channel : lap->channels())
            channels.append(channel);
    }
    QVERIFY(!channels.isEmpty());
    qDeleteAll(laps);
    laps.clear();
    for (const auto& channel : channels)
        QVERIFY(channel.isNull());
}

QTEST_GUILESS_MAIN(tst_Robustness)
#include "tst_robustness.moc"
