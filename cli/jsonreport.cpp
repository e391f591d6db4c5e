#include "cli/jsonreport.h"

#include "cli/laptime.h"
#include "cli/sessionsummary.h"
#include "cli/valuetext.h"

#include <QColor>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QSaveFile>

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

QJsonValue lapTimeMs(const QTime& time)
{
    return time.isNull() ? QJsonValue() : QJsonValue(LapTime::milliseconds(time));
}

QJsonValue sampleValue(double value)
{
    // Through the value's own shortest text, so that a float reads 0.1 and not 0.10000000149.
    const QString text = ValueText::sample(value);
    return text.isEmpty() ? QJsonValue() : QJsonValue(text.toDouble());
}

/// A number, or null when unknown.
QJsonValue number(double value, double scale = 1.0, int decimals = 3)
{
    if (std::isnan(value) || std::isinf(value))
        return QJsonValue();
    const double factor = std::pow(10.0, decimals);
    return std::round(value * scale * factor) / factor;
}

QJsonValue milliseconds(double seconds)
{
    return std::isnan(seconds) ? QJsonValue() : QJsonValue(qint64(std::llround(seconds * 1000.0)));
}

QJsonArray millisecondsArray(const QVector<double>& seconds)
{
    QJsonArray array;
    for (const double value : seconds)
        array.append(milliseconds(value));
    return array;
}

QJsonObject sessionFields(const SessionSummary& session)
{
    return {{QStringLiteral("trackName"), session.trackName},
            {QStringLiteral("trackConfig"), session.trackConfig},
            {QStringLiteral("carName"), session.carName},
            {QStringLiteral("driverName"), session.driverName},
            {QStringLiteral("sessionName"), session.sessionName},
            {QStringLiteral("sessionType"), session.sessionType}};
}

} // namespace

QJsonDocument JsonReport::build(const QVector<FileImport>& files, const SessionAnalysis& analysis) const
{
    QJsonArray fileArray;
    QJsonArray bestLaps;
    for (int f = 0; f < files.size(); ++f) {
        const FileImport& file = files.at(f);
        fileArray.append(fileObject(file, analysis, f));
        const SessionSummary session = SessionSummary::of(analysis.files().at(f));
        if (session.fastestLap < 0)
            continue;
        const ZEL::Lap& best = *file.laps.at(session.fastestLap);
        QJsonObject entry = sessionFields(session);
        entry.insert(QStringLiteral("path"), file.path);
        entry.insert(QStringLiteral("lapIndex"), session.fastestLap);
        entry.insert(QStringLiteral("lapNumber"), best.lapNumber());
        entry.insert(QStringLiteral("lapTime"), LapTime::text(best.lapTime()));
        entry.insert(QStringLiteral("lapTimeMs"), lapTimeMs(best.lapTime()));
        bestLaps.append(entry);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("files"), fileArray}, {QStringLiteral("bestLaps"), bestLaps}});
}

QJsonObject JsonReport::fileObject(const FileImport& file, const SessionAnalysis& analysis, int index) const
{
    const FileAnalysis& analysed = analysis.files().at(index);
    const SessionSummary session = SessionSummary::of(analysed);
    QJsonObject object = sessionFields(session);
    object.insert(QStringLiteral("path"), file.path);
    object.insert(QStringLiteral("error"), file.failed());
    QJsonArray messages;
    for (const PluginMessage& message : file.messages)
        messages.append(QJsonObject{{QStringLiteral("text"), message.text}, {QStringLiteral("verbose"), message.verbose}});
    object.insert(QStringLiteral("messages"), messages);
    object.insert(QStringLiteral("fastestLap"), session.fastestLap < 0 ? QJsonValue() : QJsonValue(session.fastestLap));
    QJsonArray laps;
    for (int i = 0; i < analysed.laps.size(); ++i)
        laps.append(lapObject(analysed.laps.at(i), i == session.fastestLap));
    object.insert(QStringLiteral("laps"), laps);

    const QDateTime recorded = analysed.info.recordedAt();
    object.insert(QStringLiteral("recordedAt"),
                  recorded.isValid() ? QJsonValue(recorded.toString(Qt::ISODate)) : QJsonValue());
    QJsonArray starts;
    for (const double pct : analysed.info.sectorStartPct())
        starts.append(pct);
    object.insert(QStringLiteral("sectorStartPct"), starts);
    object.insert(QStringLiteral("trackLengthM"), analysed.trackLength > 0.0 ? number(analysed.trackLength) : QJsonValue());
    object.insert(QStringLiteral("theoreticalBestMs"), milliseconds(analysed.theoreticalBest));
    object.insert(QStringLiteral("lapTimeStats"), QJsonObject{{QStringLiteral("bestMs"), milliseconds(analysed.stats.best)},
                                                              {QStringLiteral("meanMs"), milliseconds(analysed.stats.mean)},
                                                              {QStringLiteral("medianMs"), milliseconds(analysed.stats.median)},
                                                              {QStringLiteral("stdDevMs"), milliseconds(analysed.stats.stdDev)}});
    const LapAnalysis* reference = analysis.referenceOf(index);
    object.insert(QStringLiteral("reference"),
                  reference ? QJsonValue(QJsonObject{{QStringLiteral("path"), analysis.files().at(analysed.referenceFile).path},
                                                     {QStringLiteral("lapNumber"), reference->lap->lapNumber()}})
                            : QJsonValue());
    object.insert(QStringLiteral("hasMap"), analysed.hasMap);
    return object;
}

QJsonObject JsonReport::lapObject(const LapAnalysis& analysed, bool fastest) const
{
    const ZEL::Lap& lap = *analysed.lap;
    QJsonObject properties;
    for (auto it = lap.values().cbegin(); it != lap.values().cend(); ++it) {
        properties.insert(it.key(), QJsonObject{{QStringLiteral("value"), propertyValue(it.value().value)},
                                                {QStringLiteral("unit"), it.value().unit()}});
    }
    QJsonObject object{
        {QStringLiteral("lapNumber"), lap.lapNumber()},
        {QStringLiteral("lapInRun"), lap.lapInRun()},
        {QStringLiteral("runNumber"), lap.runNumber()},
        {QStringLiteral("lapStatus"), lap.lapStatus()},
        {QStringLiteral("kind"), LapKind::label(analysed.kind)},
        {QStringLiteral("completed"), lap.completed()},
        {QStringLiteral("lapTime"), analysed.validTime ? QJsonValue(LapTime::text(lap.lapTime())) : QJsonValue()},
        {QStringLiteral("lapTimeMs"), analysed.validTime ? lapTimeMs(lap.lapTime()) : QJsonValue()},
        {QStringLiteral("validTime"), analysed.validTime},
        {QStringLiteral("sectorTimesMs"), millisecondsArray(analysed.sectorTimes)},
        {QStringLiteral("deltaToReferenceMs"), milliseconds(analysed.deltaToReference)},
        {QStringLiteral("sectorDeltaToReferenceMs"), millisecondsArray(analysed.sectorGains)},
        {QStringLiteral("topSpeedKmh"), number(analysed.figures.topSpeed, 3.6, 2)},
        {QStringLiteral("minSpeedKmh"), number(analysed.figures.minSpeed, 3.6, 2)},
        {QStringLiteral("fuelUsedL"), number(analysed.figures.fuelUsed)},
        {QStringLiteral("fullThrottlePct"), number(analysed.figures.fullThrottleShare, 100.0, 2)},
        {QStringLiteral("brakingPct"), number(analysed.figures.brakingShare, 100.0, 2)},
        {QStringLiteral("fastest"), fastest},
        {QStringLiteral("sessionType"), lap.sessionType()},
        {QStringLiteral("sampleCount"), lap.sampleCount()},
        {QStringLiteral("trackName"), lap.trackName()},
        {QStringLiteral("trackConfig"), lap.trackConfig()},
        {QStringLiteral("carName"), lap.carName()},
        {QStringLiteral("driverName"), lap.driverName()},
        {QStringLiteral("channels"), QJsonArray::fromStringList(lap.channelNames())},
        {QStringLiteral("properties"), properties},
    };
    if (m_withChannels) {
        QJsonObject channels;
        for (auto it = lap.channels().cbegin(); it != lap.channels().cend(); ++it) {
            QJsonArray values;
            for (const double value : it.value()->values)
                values.append(sampleValue(value));
            channels.insert(it.key(), QJsonObject{{QStringLiteral("unit"), it.value()->unit()},
                                                  {QStringLiteral("values"), values}});
        }
        object.insert(QStringLiteral("channelData"), channels);
    }
    return object;
}

bool JsonReport::write(const QVector<FileImport>& files, const SessionAnalysis& analysis, const QString& path)
{
    // Channel values one per line would make an unreadable file of millions of lines.
    const QByteArray json = build(files, analysis).toJson(m_withChannels ? QJsonDocument::Compact : QJsonDocument::Indented);
    if (path == QLatin1String("-")) {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly) || out.write(json) != json.size() || !out.flush()) {
            m_error = QStringLiteral("cannot write JSON to standard output: %1").arg(out.errorString());
            return false;
        }
        return true;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit()) {
        m_error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
