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

QJsonDocument JsonReport::build(const QVector<FileImport>& files) const
{
    QJsonArray fileArray;
    QJsonArray bestLaps;
    for (const FileImport& file : files) {
        fileArray.append(fileObject(file));
        const SessionSummary session = SessionSummary::of(file.laps);
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

QJsonObject JsonReport::fileObject(const FileImport& file) const
{
    const SessionSummary session = SessionSummary::of(file.laps);
    QJsonObject object = sessionFields(session);
    object.insert(QStringLiteral("path"), file.path);
    object.insert(QStringLiteral("error"), file.failed());
    QJsonArray messages;
    for (const PluginMessage& message : file.messages)
        messages.append(QJsonObject{{QStringLiteral("text"), message.text}, {QStringLiteral("verbose"), message.verbose}});
    object.insert(QStringLiteral("messages"), messages);
    object.insert(QStringLiteral("fastestLap"), session.fastestLap < 0 ? QJsonValue() : QJsonValue(session.fastestLap));
    QJsonArray laps;
    for (int i = 0; i < file.laps.size(); ++i)
        laps.append(lapObject(*file.laps.at(i), i == session.fastestLap));
    object.insert(QStringLiteral("laps"), laps);
    return object;
}

QJsonObject JsonReport::lapObject(const ZEL::Lap& lap, bool fastest) const
{
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
        {QStringLiteral("completed"), lap.completed()},
        {QStringLiteral("lapTime"), lap.lapTime().isNull() ? QJsonValue() : QJsonValue(LapTime::text(lap.lapTime()))},
        {QStringLiteral("lapTimeMs"), lapTimeMs(lap.lapTime())},
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

bool JsonReport::write(const QVector<FileImport>& files, const QString& path)
{
    // Channel values one per line would make an unreadable file of millions of lines.
    const QByteArray json = build(files).toJson(m_withChannels ? QJsonDocument::Compact : QJsonDocument::Indented);
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
