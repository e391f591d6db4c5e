#include "ibt/scenario.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <algorithm>
#include <cmath>

Q_DECLARE_METATYPE(ScenarioOptions)

namespace {

struct CliRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

CliRun runCli(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(ZEL_CLI_PATH), arguments);
    CliRun run;
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

/// One row of a printed lap table.
struct TableRow
{
    int lap = 0;
    QString kind;
    QString time;
    bool completed = false;
    int samples = 0;
    bool fastest = false;
};

/// What the report says about one file.
struct FileSection
{
    QString path;
    QStringList messages;
    QMap<QString, QString> fields; // "Track", "Car", "Session", ...
    QVector<TableRow> rows;
};

/// Splits a report into its file sections; the best-lap summary ends the last one.
QVector<FileSection> parseReport(const QString& out)
{
    static const QRegularExpression field(QStringLiteral("^(File|Track|Config|Car|Driver|Session|Session type):\\s+(.*)$"));
    QVector<FileSection> sections;
    bool inTable = false;
    for (const QString& line : out.split(QLatin1Char('\n'))) {
        if (line == QLatin1String("Best laps:"))
            break;
        const QRegularExpressionMatch match = field.match(line);
        if (match.hasMatch()) {
            if (match.captured(1) == QLatin1String("File")) {
                sections.append(FileSection());
                sections.last().path = match.captured(2);
            } else if (!sections.isEmpty()) {
                sections.last().fields.insert(match.captured(1), match.captured(2));
            }
        } else if (sections.isEmpty()) {
            continue;
        } else if (line.startsWith(QLatin1Char('['))) {
            sections.last().messages.append(line);
        } else if (line.startsWith(QLatin1String("---"))) {
            inTable = true;
        } else if (line.isEmpty()) {
            inTable = false;
        } else if (inTable) {
            const QStringList cells = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            TableRow row;
            row.lap = cells.value(0).toInt();
            row.kind = cells.value(3);
            row.time = cells.value(4);
            row.completed = cells.value(5) == QLatin1String("yes");
            row.samples = cells.value(6).toInt();
            row.fastest = cells.value(7) == QLatin1String("fastest");
            sections.last().rows.append(row);
        }
    }
    return sections;
}

/// "1:12.275" -> 72275; -1 for anything else.
int parseLapTime(const QString& text)
{
    static const QRegularExpression time(QStringLiteral("^(\\d+):(\\d\\d)\\.(\\d\\d\\d)$"));
    const QRegularExpressionMatch match = time.match(text);
    if (!match.hasMatch())
        return -1;
    return match.captured(1).toInt() * 60000 + match.captured(2).toInt() * 1000 + match.captured(3).toInt();
}

constexpr int untimedMs = 3599000;

/// A scenario file written into a temporary folder, with what the scenario drove.
struct ScenarioFile
{
    QString path;
    QVector<int> timedMs; // the flying laps' times, in driving order
    QByteArray sessionInfo;
};

ScenarioFile writeScenario(const QString& path, const ScenarioOptions& options)
{
    Scenario scenario(options);
    ScenarioFile file;
    if (!scenario.write(path))
        return file;
    file.path = path;
    file.sessionInfo = scenario.sessionInfo();
    for (const ScenarioLap& lap : scenario.laps()) {
        if (lap.kind == ScenarioLap::TimedLap && lap.lapTime > 0.0)
            file.timedMs.append(int(std::lround(lap.lapTime * 1000.0)));
    }
    return file;
}

/// Small and quick: a low tick rate and short laps.
ScenarioOptions quickOptions(ScenarioOptions::Session session, int timedLaps = 3)
{
    ScenarioOptions options;
    options.session = session;
    options.timedLaps = timedLaps;
    options.tickRate = 20;
    options.lapSeconds = 30.0;
    return options;
}

/// Row times that are real lap times, sorted.
QVector<int> timedRowsMs(const QVector<TableRow>& rows)
{
    QVector<int> times;
    for (const TableRow& row : rows) {
        const int ms = parseLapTime(row.time);
        if (ms >= 0 && ms != untimedMs)
            times.append(ms);
    }
    std::sort(times.begin(), times.end());
    return times;
}

/// Whether two lists of milliseconds agree within the millisecond the plugin truncates.
bool sameTimes(QVector<int> actual, QVector<int> expected)
{
    std::sort(actual.begin(), actual.end());
    std::sort(expected.begin(), expected.end());
    if (actual.size() != expected.size())
        return false;
    for (int i = 0; i < actual.size(); ++i) {
        if (std::abs(actual.at(i) - expected.at(i)) > 1)
            return false;
    }
    return true;
}

QList<QByteArray> csvLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

/// The fields of one CSV line; quoted fields may hold commas and doubled quotes.
QStringList csvFields(const QByteArray& line)
{
    QStringList fields{QString()};
    bool quoted = false;
    const QString text = QString::fromUtf8(line);
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted && c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
            fields.last().append(c);
            ++i;
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (c == QLatin1Char(',') && !quoted) {
            fields.append(QString());
        } else {
            fields.last().append(c);
        }
    }
    return fields;
}

int errorLines(const QString& err)
{
    return err.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^ibtimport: "))).size();
}

} // namespace

class tst_Cli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void lapTable_data();
    void lapTable();
    void csvExport();
    void json_data();
    void json();
    void plot_data();
    void plot();
    void batch();
    void errors_data();
    void errors();

private:
    QTemporaryDir m_dir;
    ScenarioFile m_practice;
};

void tst_Cli::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFileInfo::exists(QStringLiteral(ZEL_CLI_PATH)), ZEL_CLI_PATH);
    m_practice = writeScenario(m_dir.filePath(QStringLiteral("practice.ibt")),
                               quickOptions(ScenarioOptions::Session::Practice));
    QVERIFY(!m_practice.path.isEmpty());
    QCOMPARE(m_practice.timedMs.size(), 3);
}

void tst_Cli::lapTable_data()
{
    QTest::addColumn<ScenarioOptions>("options");
    QTest::addColumn<QString>("sessionName");
    QTest::addColumn<QString>("sessionType");

    QTest::newRow("practice") << quickOptions(ScenarioOptions::Session::Practice) << "Practice" << "practice";
    QTest::newRow("offline testing") << quickOptions(ScenarioOptions::Session::Testing) << "Offline Testing"
                                     << "offline testing";
    QTest::newRow("race from the grid") << quickOptions(ScenarioOptions::Session::Race) << "Race" << "race";
    ScenarioOptions later = quickOptions(ScenarioOptions::Session::Practice, 4);
    later.firstLap = 12;
    later.seed = 5;
    QTest::newRow("recording from lap 12") << later << "Practice" << "practice";
}

void tst_Cli::lapTable()
{
    QFETCH(ScenarioOptions, options);
    QFETCH(QString, sessionName);
    QFETCH(QString, sessionType);

    const ScenarioFile file = writeScenario(m_dir.filePath(QStringLiteral("table.ibt")), options);
    QVERIFY(!file.path.isEmpty());
    const CliRun run = runCli({file.path});
    QCOMPARE(run.exitCode, 0);
    const QVector<FileSection> sections = parseReport(run.out);
    QCOMPARE(sections.size(), 1);
    const FileSection& section = sections.first();

    QVERIFY(section.messages.value(0).endsWith(QLatin1String("Importing file ") + file.path + QLatin1String(" ...")));
    QVERIFY(file.sessionInfo.contains("TrackDisplayName: " + section.fields.value(QStringLiteral("Track")).toUtf8()));
    QVERIFY(file.sessionInfo.contains("CarScreenName: " + section.fields.value(QStringLiteral("Car")).toUtf8()));
    QCOMPARE(section.fields.value(QStringLiteral("Session")), sessionName);
    QCOMPARE(section.fields.value(QStringLiteral("Session type")), sessionType);

    // Every flying lap of the scenario is in the table with its time, and no other lap has one.
    QVERIFY2(sameTimes(timedRowsMs(section.rows), file.timedMs), qPrintable(run.out));
    const auto fastest = std::find_if(section.rows.cbegin(), section.rows.cend(),
                                      [](const TableRow& row) { return row.fastest; });
    QVERIFY(fastest != section.rows.cend());
    QVERIFY(std::count_if(section.rows.cbegin(), section.rows.cend(), [](const TableRow& row) { return row.fastest; })
            == 1);
    QVERIFY(std::abs(parseLapTime(fastest->time) - *std::min_element(file.timedMs.cbegin(), file.timedMs.cend())) <= 1);
    QCOMPARE(fastest->kind, QStringLiteral("timed"));
    // The lap open when the recording ends is never complete.
    QVERIFY(!section.rows.last().completed);
}

void tst_Cli::csvExport()
{
    const QString folder = m_dir.filePath(QStringLiteral("csv"));
    const CliRun run = runCli({QStringLiteral("--csv"), folder, m_practice.path});
    QCOMPARE(run.exitCode, 0);
    const QVector<TableRow> rows = parseReport(run.out).value(0).rows;
    QVERIFY(!rows.isEmpty());

    const QList<QByteArray> index = csvLines(QDir(folder).filePath(QStringLiteral("laps.csv")));
    QCOMPARE(index.size(), rows.size() + 1);
    const QStringList indexHeader = csvFields(index.first());
    const int csvColumn = indexHeader.indexOf("csv");
    const int msColumn = indexHeader.indexOf("lapTimeMs");
    const int fastestColumn = indexHeader.indexOf("fastest");
    QVERIFY(csvColumn >= 0 && msColumn >= 0 && fastestColumn >= 0);
    QVERIFY(indexHeader.contains(QStringLiteral("Track length [km]")));
    QVERIFY(indexHeader.contains(QStringLiteral("Session name")));

    for (int i = 0; i < rows.size(); ++i) {
        // Texts with commas, such as "Lindqvist, A", are quoted and stay one field.
        const QStringList entry = csvFields(index.at(i + 1));
        QCOMPARE(entry.size(), indexHeader.size());
        QCOMPARE(entry.at(msColumn).toInt(), parseLapTime(rows.at(i).time));
        QCOMPARE(entry.at(fastestColumn) == QLatin1String("1"), rows.at(i).fastest);

        // A header of channel names with units, then one row per sample of the lap.
        const QList<QByteArray> lap = csvLines(QDir(folder).filePath(entry.at(csvColumn)));
        QCOMPARE(lap.size(), rows.at(i).samples + 1);
        const QList<QByteArray> header = lap.first().split(',');
        for (const char* column : {"speed [m/s]", "lapdist [m]", "lapdistpct [pu]", "sessiontime [s]"})
            QVERIFY2(header.contains(column), column);
        for (int r = 1; r < lap.size(); ++r) {
            const QList<QByteArray> fields = lap.at(r).split(',');
            QCOMPARE(fields.size(), header.size());
            for (const QByteArray& field : fields) {
                bool number = field.isEmpty();
                if (!number)
                    field.toDouble(&number);
                QVERIFY2(number, field.constData());
            }
        }
    }
    QVERIFY(QDir(folder).entryList({QStringLiteral("*.tmp*")}, QDir::Files | QDir::Hidden).isEmpty());
}

void tst_Cli::json_data()
{
    QTest::addColumn<bool>("toStdout");
    QTest::addColumn<bool>("withChannels");

    QTest::newRow("to a file") << false << false;
    QTest::newRow("to standard output") << true << false;
    QTest::newRow("with channel values") << false << true;
}

void tst_Cli::json()
{
    QFETCH(bool, toStdout);
    QFETCH(bool, withChannels);

    const QString path = m_dir.filePath(QStringLiteral("summary.json"));
    QFile::remove(path);
    QStringList arguments{QStringLiteral("--json"), toStdout ? QStringLiteral("-") : path};
    if (withChannels)
        arguments.append(QStringLiteral("--with-channels"));
    const CliRun run = runCli(arguments << m_practice.path);
    QCOMPARE(run.exitCode, 0);

    QByteArray text = run.out.toUtf8();
    if (!toStdout) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        text = file.readAll();
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    const QJsonArray files = document.object().value(QStringLiteral("files")).toArray();
    QCOMPARE(files.size(), 1);
    const QJsonObject file = files.first().toObject();
    QCOMPARE(file.value(QStringLiteral("path")).toString(), m_practice.path);
    QCOMPARE(file.value(QStringLiteral("error")).toBool(true), false);

    const QJsonArray laps = file.value(QStringLiteral("laps")).toArray();
    QVERIFY(laps.size() >= m_practice.timedMs.size());
    QVector<int> timed;
    for (const QJsonValue& value : laps) {
        const QJsonObject lap = value.toObject();
        for (const char* key : {"lapNumber", "lapInRun", "runNumber", "lapStatus", "sessionType", "sampleCount"})
            QVERIFY2(lap.value(QLatin1String(key)).isDouble(), key);
        QVERIFY(lap.value(QStringLiteral("completed")).isBool());
        QVERIFY(lap.value(QStringLiteral("lapTimeMs")).isDouble() || lap.value(QStringLiteral("lapTimeMs")).isNull());
        const int ms = lap.value(QStringLiteral("lapTimeMs")).toInt(-1);
        if (ms >= 0 && ms != untimedMs)
            timed.append(ms);

        const QJsonArray channels = lap.value(QStringLiteral("channels")).toArray();
        QVERIFY(channels.contains(QStringLiteral("speed")));
        const QJsonObject trackLength =
            lap.value(QStringLiteral("properties")).toObject().value(QStringLiteral("Track length")).toObject();
        QVERIFY(trackLength.value(QStringLiteral("value")).toDouble() > 0.0);
        QCOMPARE(trackLength.value(QStringLiteral("unit")).toString(), QStringLiteral("km"));

        QCOMPARE(lap.contains(QStringLiteral("channelData")), withChannels);
        if (withChannels) {
            const QJsonObject speed =
                lap.value(QStringLiteral("channelData")).toObject().value(QStringLiteral("speed")).toObject();
            QCOMPARE(speed.value(QStringLiteral("unit")).toString(), QStringLiteral("m/s"));
            QCOMPARE(speed.value(QStringLiteral("values")).toArray().size(),
                     lap.value(QStringLiteral("sampleCount")).toInt());
        }
    }
    QVERIFY(sameTimes(timed, m_practice.timedMs));
}

void tst_Cli::plot_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("sizeArguments");
    QTest::addColumn<QSize>("size");

    QTest::newRow("png of the default size") << "plot.png" << QStringList() << QSize(1200, 900);
    QTest::newRow("png of a given size") << "plot.png" << QStringList{"--plot-size", "800x500"} << QSize(800, 500);
    QTest::newRow("svg of a given size") << "plot.svg" << QStringList{"--plot-size", "640x480"} << QSize(640, 480);
}

void tst_Cli::plot()
{
    QFETCH(QString, name);
    QFETCH(QStringList, sizeArguments);
    QFETCH(QSize, size);

    const QString path = m_dir.filePath(name);
    QFile::remove(path);
    const CliRun run = runCli(QStringList{QStringLiteral("--plot"), path} + sizeArguments << m_practice.path);
    QCOMPARE(run.exitCode, 0);

    if (name.endsWith(QLatin1String(".svg"))) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QVERIFY(xml.readNextStartElement());
        QCOMPARE(xml.name().toString(), QStringLiteral("svg"));
        QCOMPARE(xml.attributes().value(QStringLiteral("viewBox")).toString(),
                 QStringLiteral("0 0 %1 %2").arg(size.width()).arg(size.height()));
        return;
    }
    const QImage image(path);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), size);
    // Something is drawn, and the fastest lap stands out in its own colour.
    int inked = 0;
    int highlighted = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            const QColor pixel = image.pixelColor(x, y);
            inked += pixel != Qt::white;
            highlighted += pixel.red() > 190 && pixel.green() < 80 && pixel.blue() < 80;
        }
    }
    QVERIFY(inked > image.width() * image.height() / 400);
    QVERIFY(highlighted > 50);
}

void tst_Cli::batch()
{
    // Four files on two or more threads: each file's messages must land under that file.
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVector<ScenarioFile> files;
    for (int i = 0; i < 3; ++i) {
        ScenarioOptions options = quickOptions(ScenarioOptions::Session::Practice, 2 + i);
        options.seed = quint32(11 + i);
        files.append(writeScenario(folder.filePath(QStringLiteral("session%1.ibt").arg(i)), options));
        QVERIFY(!files.last().path.isEmpty());
    }
    QVERIFY(QFile::copy(m_practice.path, m_dir.filePath(QStringLiteral("single.ibt"))));
    files.append(m_practice);
    files.last().path = m_dir.filePath(QStringLiteral("single.ibt"));

    const CliRun run = runCli({folder.path(), files.last().path});
    QFile::remove(files.last().path);
    QCOMPARE(run.exitCode, 0);
    const QVector<FileSection> sections = parseReport(run.out);
    QCOMPARE(sections.size(), files.size());
    for (int i = 0; i < files.size(); ++i) {
        const FileSection& section = sections.at(i);
        QCOMPARE(QFileInfo(section.path).fileName(), QFileInfo(files.at(i).path).fileName());
        QVERIFY(section.messages.value(0).endsWith(QLatin1String("Importing file ") + section.path + QLatin1String(" ...")));
        QVERIFY(section.messages.value(section.messages.size() - 1).endsWith(QStringLiteral("; Laps readed %1").arg(section.rows.size())));
        QVERIFY(sameTimes(timedRowsMs(section.rows), files.at(i).timedMs));
    }

    // The summary holds every file's best lap.
    const QStringList summary = run.out.section(QStringLiteral("Best laps:\n"), 1).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(summary.size(), files.size() + 2);
    for (const ScenarioFile& file : files) {
        const QString name = QFileInfo(file.path).fileName();
        const auto line = std::find_if(summary.cbegin(), summary.cend(),
                                       [&name](const QString& text) { return text.endsWith(name); });
        QVERIFY2(line != summary.cend(), qPrintable(name));
        const int best = *std::min_element(file.timedMs.cbegin(), file.timedMs.cend());
        const QStringList cells = line->split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QVERIFY(std::abs(parseLapTime(cells.value(cells.size() - 2)) - best) <= 1);
    }
}

void tst_Cli::errors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("mustNotExist");

    const QString dir = m_dir.path();
    const QString blocker = dir + QStringLiteral("/blocker");
    QTest::newRow("missing file") << QStringList{dir + "/absent.ibt"} << 2
                                  << "ibtimport: no such file or folder: " + dir + "/absent.ibt" << QString();
    QTest::newRow("folder without .ibt files") << QStringList{dir + "/empty"} << 2
                                               << "ibtimport: no .ibt files in folder " + dir + "/empty" << QString();
    QTest::newRow("export folder under a file")
        << QStringList{"--csv", blocker + "/out", m_practice.path} << 3
        << "ibtimport: cannot create export folder " + blocker + "/out" << blocker + "/out";
    QTest::newRow("json into a missing folder")
        << QStringList{"--json", dir + "/nowhere/summary.json", m_practice.path} << 3
        << "ibtimport: cannot write " + dir + "/nowhere/summary.json" << dir + "/nowhere/summary.json";
    QTest::newRow("plot of an unknown format")
        << QStringList{"--plot", dir + "/plot.jpg", m_practice.path} << 2
        << "ibtimport: cannot plot into " + dir + "/plot.jpg: the name must end in .png or .svg" << dir + "/plot.jpg";
    QTest::newRow("file cut inside its header") << QStringList{dir + "/cut.ibt"} << 1
                                                << "IBT import error:  Error reading irsdk_header" << QString();
    QTest::newRow("unknown option") << QStringList{"--laps"} << 2 << "ibtimport: Unknown option 'laps'." << QString();
}

void tst_Cli::errors()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(QString, mustNotExist);

    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("empty")));
    QFile blocker(m_dir.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QFile cut(m_dir.filePath(QStringLiteral("cut.ibt")));
    QFile whole(m_practice.path);
    QVERIFY(cut.open(QIODevice::WriteOnly) && whole.open(QIODevice::ReadOnly));
    cut.write(whole.read(60));
    cut.close();

    const CliRun run = runCli(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY2(errorLines(run.err) <= 1, qPrintable(run.err));
    if (!mustNotExist.isEmpty())
        QVERIFY(!QFileInfo::exists(mustNotExist));
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
