#include "analysis/sessionanalysis.h"
#include "output/jsonwriter.h"
#include "scenario/scenario.h"
#include "report/lapresampler.h"
#include "report/numbertext.h"
#include "report/reportpage.h"
#include "report/sessiontraces.h"
#include "support/near.h"
#include "support/pluginfixture.h"
#include "support/testfiles.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

const double none = std::nan("");

/// A series as text to nine significant digits, "nan" where a value is missing.
QString seriesText(const QVector<double>& values)
{
    QStringList items;
    for (const double value : values)
        items << QString::number(value, 'g', 9);
    return items.join(QLatin1Char(' '));
}

/// A value of a trace at grid index k: arrays hold one per point, a number holds for the whole lap.
double traceValue(const QJsonValue& values, int k)
{
    return values.isArray() ? values.toArray().at(k).toDouble(none) : values.toDouble(none);
}

} // namespace

class tst_Report : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(m_fixture.isLoaded(), qPrintable(m_fixture.errorString()));
        ScenarioOptions options;
        options.timedLaps = 2;
        options.lapSeconds = 40.0;
        options.pitStop = true;
        options.wide = true;
        m_path = m_dir.filePath(QStringLiteral("practice.ibt"));
        QVERIFY(Scenario(options).write(m_path));
        m_session = m_fixture.import(m_path);
        QVERIFY(m_session.laps.size() >= 4);
    }

    // Numbers with at most so many decimals; a channel's values in the JSON (decimals -1): each the
    // shortest text that reads back as the value (a float's for a value a float holds), repeats and
    // whole numbers written the same way.
    void numberText_data()
    {
        QTest::addColumn<QVector<double>>("values");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("whole number") << QVector<double>{42.0} << 0 << QByteArray("42");
        QTest::newRow("trailing zeros dropped") << QVector<double>{1.5} << 3 << QByteArray("1.5");
        QTest::newRow("zeros after the point kept") << QVector<double>{0.05} << 2 << QByteArray("0.05");
        QTest::newRow("rounded to the decimals") << QVector<double>{71.8886} << 3 << QByteArray("71.889");
        QTest::newRow("negative fraction") << QVector<double>{-0.25} << 2 << QByteArray("-0.25");
        QTest::newRow("negative rounding to zero") << QVector<double>{-0.004} << 2 << QByteArray("0");
        QTest::newRow("decimals clamped") << QVector<double>{0.1234567891} << 12 << QByteArray("0.123457");
        QTest::newRow("beyond 64 bits") << QVector<double>{1e20} << 3 << QByteArray("1e+20");
        QTest::newRow("NaN") << QVector<double>{none} << 2 << QByteArray("null");
        QTest::newRow("infinite") << QVector<double>{INFINITY} << 2 << QByteArray("null");
        QTest::newRow("samples: whole numbers") << QVector<double>{3, -42, 99999, 100000, 1e6} << -1 << QByteArray("[3,-42,99999,1e+05,1e+06]");
        QTest::newRow("samples: zeros keep their sign") << QVector<double>{0.0, -0.0, -0.0, 0.0} << -1 << QByteArray("[0,-0,-0,0]");
        QTest::newRow("samples: repeats") << QVector<double>{0.1, 0.1, double(0.1f), double(0.1f), 2.5, 2.5} << -1
                                          << QByteArray("[0.1,0.1,0.1,0.1,2.5,2.5]");
        QTest::newRow("samples: missing after a value") << QVector<double>{7, none, none, 7} << -1 << QByteArray("[7,null,null,7]");
        // More than one of the writer's blocks of text: a repeat's text stays whole across them.
        const QVector<double> thirds(20000, 1.0 / 3);
        QTest::newRow("samples: repeats across blocks")
            << thirds << -1 << "[" + QByteArray("0.3333333333333333,").repeated(thirds.size()).chopped(1) + "]";
    }

    void numberText()
    {
        QFETCH(QVector<double>, values);
        QFETCH(int, decimals);
        QFETCH(QByteArray, text);
        QBuffer buffer;
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        JsonWriter json(&buffer);
        if (decimals < 0)
            json.samples(values);
        QVERIFY(json.flush());
        QByteArray out = "x" + buffer.data();
        if (decimals >= 0)
            NumberText::append(out, values.first(), decimals);
        QCOMPARE(out, "x" + text);
    }

    void resampling_data()
    {
        QTest::addColumn<QVector<double>>("distances");
        QTest::addColumn<QVector<double>>("values");
        QTest::addColumn<double>("step");
        QTest::addColumn<QVector<double>>("linear");
        QTest::addColumn<QVector<double>>("nearest");
        QTest::newRow("blend between samples") << QVector<double>{0, 10, 20} << QVector<double>{0, 100, 400} << 4.0
            << QVector<double>{0, 40, 80, 160, 280, 400} << QVector<double>{0, 0, 100, 100, 400, 400};
        QTest::newRow("first sample within a step of the line") << QVector<double>{0.5, 2.5} << QVector<double>{1, 3} << 1.0
            << QVector<double>{1, 1.5, 2.5} << QVector<double>{1, 1, 3};
        QTest::newRow("lap from the pits starts past the line") << QVector<double>{25, 30} << QVector<double>{7, 8} << 10.0
            << QVector<double>{none, none, none, 8} << QVector<double>{none, none, none, 8};
        QTest::newRow("samples without a distance left out") << QVector<double>{0, none, 10} << QVector<double>{0, 999, 10} << 5.0
            << QVector<double>{0, 5, 10} << QVector<double>{0, 10, 10};
        QTest::newRow("missing values stay missing")
            << QVector<double>{0, 10, 20} << QVector<double>{0, ZEL::missingValue, 20} << 5.0
            << QVector<double>{0, none, none, none, 20} << QVector<double>{0, none, none, 20, 20};
        QTest::newRow("no blend across a gap no car covers in a record")
            << QVector<double>{0, 10, 200, 210} << QVector<double>{1, 2, 3, 4} << 100.0
            << QVector<double>{1, none, 3} << QVector<double>{1, none, 3};
        QTest::newRow("standing still: the last sample at the distance")
            << QVector<double>{0, 5, 5, 5, 10} << QVector<double>{0, 1, 2, 3, 4} << 5.0
            << QVector<double>{0, 3, 4} << QVector<double>{0, 3, 4};
        QTest::newRow("a single sample is no lap") << QVector<double>{3} << QVector<double>{1} << 1.0
                                                   << QVector<double>{} << QVector<double>{};
    }

    void resampling()
    {
        QFETCH(QVector<double>, distances);
        QFETCH(QVector<double>, values);
        QFETCH(double, step);
        QFETCH(QVector<double>, linear);
        QFETCH(QVector<double>, nearest);
        const LapResampler resampler(distances, step);
        QCOMPARE(seriesText(resampler.linear(values)), seriesText(linear));
        QCOMPARE(seriesText(resampler.nearest(values)), seriesText(nearest));
    }

    void traces_data()
    {
        QTest::addColumn<qint64>("budget");
        QTest::addColumn<bool>("coarser");
        QTest::addColumn<bool>("thinned");
        QTest::newRow("room for everything") << qint64(50000000) << false << false;
        QTest::newRow("tight budget: coarser grid, thinned extras") << qint64(300000) << true << true;
    }

    void traces()
    {
        QFETCH(qint64, budget);
        QFETCH(bool, coarser);
        QFETCH(bool, thinned);
        const SessionAnalysis analysis({{m_path, m_session.laps}});
        const FileAnalysis& file = analysis.files().first();
        const SessionTraces traces(file, budget);
        const double step = traces.stepM();
        QCOMPARE(step > 1.0, coarser);
        QCOMPARE(traces.extraStride() > 1, thinned);
        QVERIFY2(traces.json().size() < budget, qPrintable(QString::number(traces.json().size())));

        QJsonParseError error;
        const QJsonObject json = QJsonDocument::fromJson(traces.json(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(json["stepM"].toDouble(), step);
        QStringList keys;
        for (const QJsonValue& channel : json["channels"].toArray())
            keys.append(channel["key"].toString());
        QCOMPARE(keys.mid(0, 5), (QStringList{"speed", "throttle", "brake", "gear", "steer"}));
        QVERIFY(keys.contains("channel:rpm") && !keys.contains("lapdist")); // the grid itself is no channel

        const QJsonArray laps = json["laps"].toArray();
        QCOMPARE(laps.size(), m_session.laps.size());
        for (int i = 0; i < laps.size(); ++i) {
            const QJsonValue lap = laps.at(i);
            const ZEL::Lap& source = *m_session.laps.at(i);
            const LapAnalysis& analysed = file.laps.at(i);
            QCOMPARE(lap["lapNumber"].toInt(), source.lapNumber());
            QCOMPARE(lap["fromLine"].toBool(), analysed.aligned.startsAtLine());
            QVERIFY(analysed.figures.fuelUsed >= 0.0); // also over the pit stop's refuelling
            const QJsonArray time = lap["time"].toArray();
            QCOMPARE(lap["x"].toArray().size(), time.size());
            QCOMPARE(lap["values"]["speed"].toArray().size(), time.size());
            // The cold tyre pressure never changes: one number for the lap, not an array.
            QVERIFY(lap["values"]["channel:lfcoldpressure"].isDouble());
            // A lap's clock is 0 at the line and its recorded time where the grid reaches the line.
            const double line = file.trackLength / step;
            if (analysed.validTime) {
                QCOMPARE(time.first().toDouble(), 0.0);
                COMPARE_NEAR(line, std::round(line), 1e-2);
                COMPARE_NEAR(time.at(int(std::round(line))).toDouble(), analysed.lapTime, 1e-4);
            }
            // Speed at every 50th grid point is the recording's, blended by lap distance, in km/h.
            const ZEL::Channel& distance = *source.channel("lapdist");
            const ZEL::Channel& speed = *source.channel("speed");
            for (int k = 0, j = 0; k < time.size(); k += 50) {
                const double d = k * step, value = traceValue(lap["values"]["speed"], k);
                while (j + 1 < distance.size() && distance.value(j + 1) <= d)
                    ++j;
                if (distance.value(j) > d || j + 1 >= distance.size()) {
                    QVERIFY2(std::isnan(value) || distance.value(j) - d < step, qPrintable(QString::number(d)));
                    continue;
                }
                const double w = (d - distance.value(j)) / (distance.value(j + 1) - distance.value(j));
                COMPARE_NEAR(value, 3.6 * (speed.value(j) + w * (speed.value(j + 1) - speed.value(j))), 0.05 + 1e-9);
            }
        }
    }

    void page_data()
    {
        QTest::addColumn<bool>("withLaps");
        QTest::newRow("a session") << true;
        QTest::newRow("nothing but a failure") << false;
    }

    void page()
    {
        QFETCH(bool, withLaps);
        // Text from a file must not end the element it is embedded in, nor pass for a mark of the template.
        const QString hostile = "</script><script>alert(1)</script>/*@SCRIPT@*/<!--@DATA@-->";
        const QJsonObject file{{"path", "/tmp/x.ibt"}, {"trackName", hostile}, {"error", !withLaps}, {"laps", QJsonArray()}};
        const QByteArray summary = QJsonDocument(QJsonObject{{"files", QJsonArray{file}}}).toJson();
        const SessionAnalysis analysis({{m_path, withLaps ? m_session.laps : QVector<QSharedPointer<ZEL::Lap>>()}});

        const QString path = m_dir.filePath(QStringLiteral("report.html"));
        ReportPage report;
        QVERIFY2(report.write(path, summary, analysis), qPrintable(report.errorString()));
        const QByteArray html = TestFiles::read(path);
        QVERIFY(html.startsWith("<!DOCTYPE html>"));
        QCOMPARE(html.count("<script"), 4); // library, summary, traces, page
        QCOMPARE(html.count("</script>"), 4);
        QCOMPARE(html.count("/*@"), 1); // every part filled in; the one left is the track name's
        QCOMPARE(html.count("<!--@"), 0);  // its "<" is escaped
        QVERIFY(!html.contains("http:") && !html.contains("https:"));
        QVERIFY(html.contains("Copyright (c) 2022 Leon Sorokin")); // the library's licence travels with it
        QCOMPARE(html.contains("class=\"report-traces\" data-file=\"0\">{\"stepM\""), withLaps);
        QCOMPARE(html.contains("class=\"report-traces\" data-file=\"0\">null"), !withLaps);

        QVERIFY(!report.write(m_dir.filePath(QStringLiteral("missing/report.html")), summary, analysis));
        QVERIFY(report.errorString().contains(QLatin1String("missing/report.html")));
    }

    void forgedChannels_data()
    {
        QTest::addColumn<double>("distanceScale"); // LapDist = LapDistPct x this; 0 keeps the recorded one
        QTest::addColumn<double>("forged");        // the value of the channels named "steer" and "delta"

        QTest::newRow("a lap of 10,000 km") << 1e7 << 1.0;
        QTest::newRow("a lap of a million km") << 1e9 << 1.0;
        QTest::newRow("channels named as the page's, infinite") << 0.0 << std::numeric_limits<double>::infinity();
        QTest::newRow("channels named as the page's, not a number") << 0.0 << std::numeric_limits<double>::quiet_NaN();
    }

    // Channels a file makes up cost no more than honest ones, and stay the recording's data.

    void forgedChannels()
    {
        QFETCH(double, distanceScale);
        QFETCH(double, forged);
        QVector<QSharedPointer<ZEL::Lap>> laps;
        for (const QSharedPointer<ZEL::Lap>& source : qAsConst(m_session.laps)) {
            auto lap = QSharedPointer<ZEL::Lap>::create(*source); // shares the channels: replaced, not changed
            const ZEL::Channel& pct = *source->channel("lapdistpct");
            if (distanceScale > 0.0) {
                auto distance = new ZEL::Channel(pct);
                for (double& v : distance->values)
                    v *= distanceScale;
                lap->removeChannel("lapdist");
                lap->addChannel(distance, "lapdist");
            }
            for (const char* name : {"steer", "delta"}) {
                auto channel = new ZEL::Channel(pct);
                channel->values.fill(forged);
                lap->addChannel(channel, name);
            }
            laps.append(lap);
        }
        const SessionAnalysis analysis({{m_path, laps}});
        const SessionTraces traces(analysis.files().first(), 4500000);
        const QJsonObject json = QJsonDocument::fromJson(traces.json()).object();
        QVERIFY(traces.json().size() < 4500000);
        if (distanceScale > 0.0) {
            QVERIFY(json["laps"].toArray().isEmpty()); // no lap is that long: no grid at all
            return;
        }
        QStringList keys;
        for (const QJsonValue& channel : json["channels"].toArray())
            keys.append(channel["key"].toString());
        QVERIFY(!keys.contains("delta") && keys.count("steer") == 1);
        QVERIFY(keys.contains("channel:steer") && keys.contains("channel:delta"));
        const QJsonValue values = json["laps"][1]["values"];
        QVERIFY(values["steer"].isArray()); // the steering wheel's, not the forged channel
        QVERIFY(values["channel:delta"].isNull());
    }

private:
    QTemporaryDir m_dir;
    PluginFixture m_fixture;
    ImportResult m_session; // a practice with a pit stop: out laps, timed laps, a cut-off last lap
    QString m_path;
};

QTEST_GUILESS_MAIN(tst_Report)
#include "tst_report.moc"
