#include "cli/jsonreport.h"

#include "cli/laptime.h"
#include "output/cornerjson.h"
#include "analysis/sessionsummary.h"
#include "cli/valuetext.h"
#include "output/jsonwriter.h"
#include "output/outputfile.h"

#include <QBuffer>
#include <QDateTime>
#include <QJsonArray>

#include <cmath>

namespace {

QJsonValue propertyValue(const QVariant& value)
{
    switch (int(value.type())) {
    case QMetaType::QColor:
    case QMetaType::QDateTime: {
        const QString text = ValueText::property(value);
        return text.isEmpty() ? QJsonValue() : QJsonValue(text);
    }
    default:
        return QJsonValue::fromVariant(value);
    }
}

void lapTimeMs(JsonWriter& json, const QTime& time)
{
    time.isNull() ? json.null() : json.value(qint64(LapTime::milliseconds(time)));
}

/// A number rounded to decimals, or null when unknown.
void number(JsonWriter& json, double value, double scale = 1.0, int decimals = 3)
{
    const double factor = std::pow(10.0, decimals);
    json.value(std::round(value * scale * factor) / factor);
}

void milliseconds(JsonWriter& json, double seconds)
{
    std::isfinite(seconds) ? json.value(qint64(std::llround(seconds * 1000.0))) : json.null();
}

void millisecondsArray(JsonWriter& json, const QVector<double>& seconds)
{
    json.beginArray();
    for (const double value : seconds)
        milliseconds(json, value);
    json.endArray();
}

void sessionFields(JsonWriter& json, const SessionSummary& session)
{
    json.field("trackName", session.trackName);
    json.field("trackConfig", session.trackConfig);
    json.field("carName", session.carName);
    json.field("driverName", session.driverName);
    json.field("sessionName", session.sessionName);
    json.field("sessionType", session.sessionType);
}

/// Properties as {"name": {"value", "unit"}}.
void properties(JsonWriter& json, const JsonReport::Properties& values)
{
    json.beginObject();
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        json.key(it.key());
        json.beginObject();
        json.field("value", propertyValue(it.value().value));
        json.field("unit", it.value().unit());
        json.endObject();
    }
    json.endObject();
}

bool sameProperty(const ZEL::DynamicValue& a, const ZEL::DynamicValue& b)
{
    return a.value == b.value && a.unit() == b.unit();
}

/// The properties every lap has with the same value and unit.
JsonReport::Properties sharedProperties(const QVector<LapAnalysis>& laps)
{
    if (laps.isEmpty())
        return {};
    JsonReport::Properties shared = laps.first().lap->values();
    for (const LapAnalysis& lap : laps) {
        for (auto it = shared.begin(); it != shared.end();) {
            const auto own = lap.lap->values().constFind(it.key());
            it = own == lap.lap->values().cend() || !sameProperty(*own, *it) ? shared.erase(it) : std::next(it);
        }
    }
    return shared;
}

/// Every channel name of the laps, in the order they first come.
QStringList channelNames(const QVector<LapAnalysis>& laps)
{
    QStringList names;
    for (const LapAnalysis& lap : laps)
        names += lap.lap->channelNames();
    names.removeDuplicates();
    return names;
}

} // namespace

QByteArray JsonReport::text(const QVector<FileImport>& files, const SessionAnalysis& analysis) const
{
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    JsonWriter json(&buffer);
    writeDocument(json, files, analysis);
    json.flush();
    return text;
}

bool JsonReport::write(const QVector<FileImport>& files, const SessionAnalysis& analysis, const QString& path)
{
    OutputFile file(path);
    if (!file.open()) {
        m_error = file.failure();
        return false;
    }
    JsonWriter json(&file);
    writeDocument(json, files, analysis);
    file.write("\n", 1);
    if (!json.flush() || !file.commit()) {
        m_error = file.failure();
        return false;
    }
    return true;
}

void JsonReport::writeDocument(JsonWriter& json, const QVector<FileImport>& files, const SessionAnalysis& analysis) const
{
    json.beginObject();
    json.key("files");
    json.beginArray();
    for (int f = 0; f < files.size() && !json.failed(); ++f)
        writeFile(json, files, analysis, f);
    json.endArray();
    json.key("bestLaps");
    json.beginArray();
    for (int f = 0; f < files.size(); ++f) {
        const FileImport& file = files.at(f);
        const SessionSummary session = SessionSummary::of(analysis.files().at(f));
        if (session.fastestLap < 0)
            continue;
        const ZEL::Lap& best = *file.laps.at(session.fastestLap);
        json.beginObject();
        sessionFields(json, session);
        json.field("path", file.path);
        json.field("lapIndex", session.fastestLap);
        json.field("lapNumber", best.lapNumber());
        json.field("lapTime", LapTime::text(best.lapTime()));
        json.key("lapTimeMs");
        lapTimeMs(json, best.lapTime());
        json.endObject();
    }
    json.endArray();
    json.endObject();
}

void JsonReport::writeFile(JsonWriter& json, const QVector<FileImport>& files, const SessionAnalysis& analysis,
                           int index) const
{
    const FileImport& file = files.at(index);
    const FileAnalysis& analysed = analysis.files().at(index);
    const SessionSummary session = SessionSummary::of(analysed);
    const Properties shared = sharedProperties(analysed.laps);
    const QStringList channels = channelNames(analysed.laps);
    json.beginObject();
    sessionFields(json, session);
    json.field("path", file.path);
    json.field("error", file.failed());
    if (file.fromLibrary) {
        json.field("library", true);
    }
    json.key("messages");
    json.beginArray();
    for (const PluginMessage& message : file.messages) {
        json.beginObject();
        json.field("text", message.text);
        json.field("verbose", message.verbose);
        json.endObject();
    }
    json.endArray();
    json.key("fastestLap");
    session.fastestLap < 0 ? json.null() : json.value(session.fastestLap);
    json.field("channels", QJsonValue(QJsonArray::fromStringList(channels)));
    json.key("properties");
    properties(json, shared);
    json.key("laps");
    json.beginArray();
    for (int i = 0; i < analysed.laps.size() && !json.failed(); ++i)
        writeLap(json, analysed.laps.at(i), i == session.fastestLap, session, shared, channels);
    json.endArray();

    const QDateTime recorded = analysed.info.recordedAt();
    json.key("recordedAt");
    recorded.isValid() ? json.value(recorded.toString(Qt::ISODate)) : json.null();
    json.key("sectorStartPct");
    json.beginArray();
    for (const double pct : analysed.info.sectorStartPct())
        json.value(pct);
    json.endArray();
    json.key("trackLengthM");
    analysed.trackLength > 0.0 ? number(json, analysed.trackLength) : json.null();
    json.key("theoreticalBestMs");
    milliseconds(json, analysed.theoreticalBest);
    json.key("lapTimeStats");
    json.beginObject();
    json.key("bestMs");
    milliseconds(json, analysed.stats.best);
    json.key("meanMs");
    milliseconds(json, analysed.stats.mean);
    json.key("medianMs");
    milliseconds(json, analysed.stats.median);
    json.key("stdDevMs");
    milliseconds(json, analysed.stats.stdDev);
    json.endObject();
    json.key("reference");
    if (const LapAnalysis* reference = analysis.referenceOf(index)) {
        json.beginObject();
        json.field("path", analysis.files().at(analysed.referenceFile).path);
        json.field("lapNumber", reference->lap->lapNumber());
        // A library's best: who drove it and when, and its time, since no file of the run holds it.
        const FileImport& owner = files.at(analysed.referenceFile);
        if (owner.fromLibrary) {
            json.field("library", true);
            json.field("driver", owner.libraryDriver);
            json.field("recordedAt", owner.libraryRecordedAt);
            json.key("lapTimeMs");
            milliseconds(json, reference->lapTime);
        }
        json.endObject();
    } else {
        json.null();
    }
    json.field("hasMap", analysed.hasMap);
    json.field("corners", CornerJson::corners(analysed.corners));
    // Where a library's numbering came from, so that "turn 4" can be traced to the lap that set it.
    json.key("cornersFrom");
    if (analysed.cornerOrigin == FileAnalysis::CornerOrigin::Stored) {
        json.beginObject();
        json.field("library", true);
        json.field("path", analysed.numbering.sourcePath);
        json.field("lapNumber", analysed.numbering.sourceLap);
        json.field("storedAt", analysed.numbering.definedAt);
        json.endObject();
    } else {
        json.null();
    }
    json.key("setup");
    analysed.info.setup().isEmpty() ? json.null() : json.value(QJsonValue(analysed.info.setup().toJson()));
    json.endObject();
}

void JsonReport::writeLap(JsonWriter& json, const LapAnalysis& analysed, bool fastest, const SessionSummary& session,
                          const Properties& shared, const QStringList& channels) const
{
    const ZEL::Lap& lap = *analysed.lap;
    json.beginObject();
    json.field("lapNumber", lap.lapNumber());
    json.field("lapInRun", lap.lapInRun());
    json.field("runNumber", lap.runNumber());
    json.field("lapStatus", lap.lapStatus());
    json.field("kind", LapKind::label(analysed.kind));
    json.field("completed", lap.completed());
    json.key("lapTime");
    analysed.validTime ? json.value(LapTime::text(lap.lapTime())) : json.null();
    json.key("lapTimeMs");
    analysed.validTime ? lapTimeMs(json, lap.lapTime()) : json.null();
    json.field("validTime", analysed.validTime);
    json.key("sectorTimesMs");
    millisecondsArray(json, analysed.sectorTimes);
    json.key("deltaToReferenceMs");
    milliseconds(json, analysed.deltaToReference);
    json.key("sectorDeltaToReferenceMs");
    millisecondsArray(json, analysed.sectorGains);
    json.key("topSpeedKmh");
    number(json, analysed.figures.topSpeed, 3.6, 2);
    json.key("minSpeedKmh");
    number(json, analysed.figures.minSpeed, 3.6, 2);
    json.key("fuelUsedL");
    number(json, analysed.figures.fuelUsed);
    json.key("fullThrottlePct");
    number(json, analysed.figures.fullThrottleShare, 100.0, 2);
    json.key("brakingPct");
    number(json, analysed.figures.brakingShare, 100.0, 2);
    json.field("cornerFigures", CornerJson::figures(analysed.cornerFigures));
    json.field("fastest", fastest);
    json.field("sessionType", lap.sessionType());
    json.field("sampleCount", lap.sampleCount());
    // The file's names and lists once per file; a lap names only what differs.
    const QString names[][2] = {{QStringLiteral("trackName"), lap.trackName()}, {QStringLiteral("trackConfig"), lap.trackConfig()},
                                {QStringLiteral("carName"), lap.carName()}, {QStringLiteral("driverName"), lap.driverName()}};
    const QString fileNames[] = {session.trackName, session.trackConfig, session.carName, session.driverName};
    for (int i = 0; i < 4; ++i) {
        if (names[i][1] != fileNames[i]) {
            json.key(names[i][0]);
            json.value(names[i][1]);
        }
    }
    if (lap.channelNames() != channels) {
        json.field("channels", QJsonValue(QJsonArray::fromStringList(lap.channelNames())));
    }
    Properties own;
    for (auto it = lap.values().cbegin(); it != lap.values().cend(); ++it) {
        if (!shared.contains(it.key()))
            own.insert(it.key(), it.value());
    }
    json.key("properties");
    properties(json, own);
    if (m_withChannels) {
        json.key("channelData");
        json.beginObject();
        for (auto it = lap.channels().cbegin(); it != lap.channels().cend(); ++it) {
            json.key(it.key());
            json.beginObject();
            json.field("unit", it.value()->unit());
            json.key("values");
            json.samples(it.value()->values);
            json.endObject();
        }
        json.endObject();
    }
    json.endObject();
}
