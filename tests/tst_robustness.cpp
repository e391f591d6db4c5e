#include "ibt/ibtlayout.h"
#include "ibt/scenario.h"
#include "sessioninfo/sessioninfonode.h"
#include "support/headerfields.h"
#include "support/pluginfixture.h"

#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QWeakPointer>
#include <QtTest>

#include <sys/resource.h>

#include <climits>

namespace {

const QString prefix = QStringLiteral("[ZEL iRacing ibt import plugin plugin] ");
const QString headerError = QStringLiteral("IBT import error:  Error reading irsdk_header");
const QString subHeaderError = QStringLiteral("IBT import error:  Error reading irsdk_diskSubHeader");
const QString sessionInfoError = QStringLiteral("IBT import error:  Failed to read sessionInfoString");
const QString varHeaderError = QStringLiteral("IBT import error:  Failed to read irsdk_varHeader");

constexpr int headerSize = sizeof(irsdk_header);
constexpr int fixedSize = sizeof(irsdk_header) + sizeof(irsdk_diskSubHeader);

/// Two timed laps at two records a second: every part of a real file in a few kilobytes.
ScenarioOptions smallScenario()
{
    ScenarioOptions options;
    options.tickRate = 2;
    options.lapSeconds = 10.0;
    options.timedLaps = 2;
    return options;
}

QByteArray scenarioFile(const QByteArray& sessionInfo = {})
{
    ScenarioOptions options = smallScenario();
    options.sessionInfo = sessionInfo;
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    Scenario scenario(options);
    if (!scenario.write(&buffer))
        qFatal("cannot write the scenario: %s", qPrintable(scenario.errorString()));
    return buffer.data();
}

QString lapLine(const ZEL::Lap& lap)
{
    const QString time = lap.lapTime().isNull() ? QStringLiteral("null")
                                                : QString::number(lap.lapTime().msecsSinceStartOfDay());
    QString line = QStringLiteral("%1 %2 %3 %4 %5 %6 %7 '%8' '%9'")
                       .arg(lap.lapNumber()).arg(lap.lapInRun()).arg(lap.runNumber())
                       .arg(int(lap.lapStatus())).arg(int(lap.completed())).arg(time)
                       .arg(lap.sampleCount()).arg(lap.driverName(), lap.trackName());
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

/// `depth` sections, each one space deeper, the last holding the key "Deep".
QByteArray nestedSections(int depth)
{
    QByteArray text;
    for (int level = 0; level < depth; ++level)
        text += QByteArray(level, ' ') + "N:\n";
    return text + QByteArray(depth, ' ') + "Deep: bottom\n";
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
    QTest::addColumn<QString>("error");

    const qint64 infoOffset = fieldOf(m_file, sessionInfoOffsetAt);
    const qint64 tableOffset = fieldOf(m_file, varHeaderOffsetAt);
    // With the session info in the first header byte, a cut inside the table meets the table's own read.
    const QByteArray infoInHeader = withField(withField(m_file, sessionInfoOffsetAt, 0), sessionInfoLenAt, 1);
    QTest::newRow("header") << m_file << qint64(0) << qint64(headerSize) << qint64(1) << headerError;
    QTest::newRow("sub-header") << m_file << qint64(headerSize) << qint64(fixedSize) << qint64(1) << subHeaderError;
    QTest::newRow("session info") << m_file << infoOffset << infoOffset + fieldOf(m_file, sessionInfoLenAt)
                                  << qint64(1) << sessionInfoError;
    QTest::newRow("variable table") << infoInHeader << tableOffset
                                    << tableOffset + fieldOf(m_file, numVarsAt) * qint64(sizeof(irsdk_varHeader))
                                    << qint64(1) << varHeaderError;
    // A step prime to the record length lands everywhere inside the records over the file.
    QTest::newRow("records") << m_file << qint64(fieldOf(m_file, bufOffsetAt)) << qint64(m_file.size() + 1)
                             << qint64(389) << QString();
}

void tst_Robustness::truncationSweep()
{
    QFETCH(QByteArray, file);
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(qint64, step);
    QFETCH(QString, error);

    const qint64 recordLength = fieldOf(file, bufLenAt);
    // The file is written once and shortened cut by cut, from the last cut to the first.
    const QString path = writeFile(file, QStringLiteral("cut.ibt"));
    for (qint64 cut = from + (to - 1 - from) / step * step; cut >= from; cut -= step) {
        QVERIFY(QFile::resize(path, cut));
        const QString actual = outcome(m_fixture.import(path));
        // A cut inside a record reads as the file of the whole records before it.
        const QString expected = !error.isEmpty() ? QStringLiteral("error: ") + error
                                                  : outcome(importBytes(file.left(cut - (cut - from) % recordLength)));
        QVERIFY2(actual == expected && !actual.startsWith(QStringLiteral("unexpected")),
                 qPrintable(QStringLiteral("cut at %1: %2\nexpected %3").arg(cut).arg(actual, expected)));
    }
}

void tst_Robustness::headerMutations_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("expected");

    static const char* const names[] = {"ver", "status", "tickRate", "sessionInfoUpdate", "sessionInfoLen",
                                        "sessionInfoOffset", "numVars", "varHeaderOffset", "numBuf", "bufLen",
                                        "pad1[0]", "pad1[1]"};
    static const char* const bufferFields[] = {"tickCount", "bufOffset", "pad[0]", "pad[1]"};
    const QVector<QPair<const char*, qint32>> values = {
        {"0", 0}, {"-1", -1}, {"INT_MIN", INT_MIN}, {"INT_MAX", INT_MAX}, {"file size", qint32(m_file.size())}};
    // What each value above does to a field the reader uses: S and V fail the session-info and
    // the variable-table read, L gives laps, E one empty lap (no whole record).
    const QHash<int, QByteArray> used = {{sessionInfoLenAt, "SSSSS"}, {sessionInfoOffsetAt, "LSSSS"},
                                         {numVarsAt, "LVVVV"},        {varHeaderOffsetAt, "LVVVV"},
                                         {bufLenAt, "EEEEE"},         {bufOffsetAt, "LEEEE"}};
    const QHash<char, QString> outcomes = {{'S', "error: " + sessionInfoError}, {'V', "error: " + varHeaderError},
                                           {'L', "laps"}, {'E', "one empty lap"}};
    constexpr int buffersAt = offsetof(irsdk_header, varBuf);
    for (int at = 0; at < headerSize; at += int(sizeof(qint32))) {
        const QByteArray field = at < buffersAt ? QByteArray(names[at / 4])
                                                : "varBuf[" + QByteArray::number((at - buffersAt) / 16) + "]."
                                                      + bufferFields[(at - buffersAt) % 16 / 4];
        // A field the reader never reads only needs its bits all clear and all set.
        const QByteArray codes = used.value(at, "UU");
        for (int v = 0; v < codes.size(); ++v) {
            QTest::addRow("%s %s", field.constData(), values.at(v).first)
                << withField(m_file, at, values.at(v).second) << outcomes.value(codes.at(v), "unchanged");
        }
    }

    // A byte per record over a megabyte: many records, each almost empty, in time linear in the file.
    QTest::newRow("bufLen 1 on a 1 MiB file")
        << withField(m_file + QByteArray(1 << 20, '\0'), bufLenAt, 1) << QStringLiteral("laps");
    // The import fuzzer's timeout on a busy machine (slow, not stuck): a byte per record from
    // inside the header on, behind a one-variable table read from inside the sub-header.
    QByteArray found = withField(withField(m_file, numVarsAt, 1), varHeaderOffsetAt, 131);
    found = withField(withField(withField(found, bufLenAt, 1), bufOffsetAt, 61), 0, 3342338);
    QTest::newRow("fuzz timeout: bufLen 1 at 61, one variable at 131") << found << QStringLiteral("laps");
}

void tst_Robustness::headerMutations()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, expected);

    const long rssBefore = peakRssKb();
    const QString actual = outcome(importBytes(file));
    QVERIFY2(peakRssKb() - rssBefore < rssAllowanceKb,
             qPrintable(QStringLiteral("peak RSS grew by %1 KiB").arg(peakRssKb() - rssBefore)));
    if (expected == QLatin1String("unchanged"))
        QCOMPARE(actual, m_fileOutcome);
    else if (expected.startsWith(QLatin1String("error: ")))
        QCOMPARE(actual, expected);
    else
        QVERIFY2(actual.startsWith(QStringLiteral("laps: ")) && !actual.contains(QStringLiteral(" ragged"))
                     && (expected == QLatin1String("laps")
                         || (!actual.contains(QStringLiteral(" | ")) && actual.contains(QStringLiteral(" null 0 ")))),
                 qPrintable(actual));
}

void tst_Robustness::sessionInfoTexts_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("value");

    const QByteArray weekend = "WeekendInfo:\n TrackName: Ring\n WeekendOptions:\n  NumStarters: 12\n";
    QByteArray crlf = weekend;
    crlf.replace("\n", "\r\n");
    const QByteArray padded = weekend + QByteArray(4096, '\0') + "Late: 1\n";
    QTest::newRow("CR LF: a value keeps its CR") << crlf << "WeekendInfo:/TrackName" << "Ring\r";
    QTest::newRow("CR LF: a section keeps its colon") << crlf << "WeekendInfo/TrackName" << QString();
    QTest::newRow("leading document line") << "---\n" + weekend << "WeekendInfo/TrackName" << "Ring";
    QTest::newRow("document end line") << weekend + "...\n" << "WeekendInfo/WeekendOptions/NumStarters" << "12";
    QTest::newRow("NUL padding: the text before it") << padded << "WeekendInfo/TrackName" << "Ring";
    QTest::newRow("NUL padding: nothing after it") << padded << "Late" << QString();
    QTest::newRow("non-ASCII key and value, byte by byte")
        << QByteArray("Tr\xe4" "ck:\n UserName: J\xc3\xb6rg \xff\x80\n")
        << QString::fromLatin1("Tr\xe4" "ck/UserName") << QString::fromLatin1("J\xc3\xb6rg \xff\x80");
    QTest::newRow("very long line") << "A:\n B: " + QByteArray(1 << 20, 'v') + "\n" << "A/B"
                                    << QString(1 << 20, QLatin1Char('v'));
    QTest::newRow("2000 nested sections") << nestedSections(2000)
                                          << QStringLiteral("N/").repeated(2000) + QStringLiteral("Deep") << "bottom";
    QTest::newRow("a million spaces deeper stays in its section")
        << "A:\n" + QByteArray(1000000, ' ') + "B: 1\nC: 2\n" << "A/B" << "1";
    QTest::newRow("line of spaces only opens a nameless section") << QByteArray("A:\n   \nB: 1\n") << "/B" << "1";
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
    QByteArray plain = Scenario(smallScenario()).sessionInfo();
    if (plain.startsWith("---\n"))
        plain.remove(0, 4);
    QByteArray crlf = plain;
    crlf.replace("\n", "\r\n");
    QTest::newRow("document lines and NUL padding") << "---\n" + plain + "...\n" + QByteArray(8192, '\0') << plain;
    QTest::newRow("very long line and deep indentation")
        << plain + "Notes: " + QByteArray(1 << 20, 'n') + "\n" + nestedSections(500) << plain;
    // No path finds a section whose name kept its colon, so there is no player car.
    QTest::newRow("CR LF line ends") << crlf << QByteArray("WeekendInfo:\n");
}

void tst_Robustness::sessionInfoInImport()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, reference);

    const QString actual = outcome(importBytes(scenarioFile(text)));
    QVERIFY2(actual.startsWith(QStringLiteral("laps: ")), qPrintable(actual));
    QCOMPARE(actual, outcome(importBytes(scenarioFile(reference))));
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
    for (const auto& channel : channels)
        QVERIFY(channel.isNull());
}

QTEST_GUILESS_MAIN(tst_Robustness)
#include "tst_robustness.moc"
