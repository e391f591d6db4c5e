#include "support/lapdump.h"

#include <QCryptographicHash>
#include <QDebug>

namespace {

QString text(const QVariant& value)
{
    QString out;
    QDebug(&out) << value;
    const double x = value.toDouble();
    if (value.userType() == QMetaType::Double || value.userType() == QMetaType::Float)
        out += QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(&x), sizeof x).toHex());
    return out;
}

} // namespace

QStringList lapDump(const ZEL::Lap& lap)
{
    const QVariant header[] = {
        lap.dateTime(), lap.driverName(), lap.trackName(), lap.trackConfig(), lap.carName(), lap.comment(),
        lap.lapTime(), lap.simulatorName(), lap.pluginName(), lap.lapId().isNull(), lap.runId().isNull(),
        lap.carId(), lap.sessionId(), lap.lapNumber(), lap.lapInRun(), lap.runNumber(), int(lap.sessionType()),
        int(lap.lapStatus()), lap.completed(), lap.sampleCount(),
    };
    QStringList lines;
    for (const QVariant& value : header)
        lines.append(text(value));
    for (auto it = lap.values().cbegin(); it != lap.values().cend(); ++it) {
        const bool now = it.key() == QLatin1String("DateTime");
        lines.append(it.key() + QStringLiteral(" [") + it.value().unit() + QStringLiteral("] ")
                     + (now ? QString() : text(it.value().value)));
    }
    for (auto it = lap.channels().cbegin(); it != lap.channels().cend(); ++it) {
        const QVector<double>& values = it.value()->values;
        const QByteArray bytes(reinterpret_cast<const char*>(values.constData()), int(values.size() * sizeof(double)));
        lines.append(it.key() + QStringLiteral(" [") + it.value()->unit() + QStringLiteral("] ")
                     + QString::number(values.size()) + QLatin1Char(' ')
                     + QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex()));
    }
    return lines;
}
