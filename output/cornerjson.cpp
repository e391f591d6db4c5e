#include "output/cornerjson.h"

#include <QJsonObject>

#include <cmath>

namespace {

QJsonValue rounded(double value, double scale, int decimals)
{
    if (!std::isfinite(value))
        return QJsonValue();
    const double factor = std::pow(10.0, decimals);
    return std::round(value * scale * factor) / factor;
}

QJsonValue metres(double value)
{
    return rounded(value, 1.0, 1);
}

QJsonValue kmh(double metresPerSecond)
{
    return rounded(metresPerSecond, 3.6, 2);
}

} // namespace

QJsonArray CornerJson::corners(const QVector<Corner>& corners)
{
    QJsonArray array;
    for (const Corner& corner : corners) {
        array.append(QJsonObject{{QStringLiteral("number"), corner.number},
                                 {QStringLiteral("startM"), metres(corner.start)},
                                 {QStringLiteral("apexM"), metres(corner.apex)},
                                 {QStringLiteral("endM"), metres(corner.end)}});
    }
    return array;
}

QJsonArray CornerJson::figures(const QVector<CornerFigures>& figures)
{
    QJsonArray array;
    for (const CornerFigures& f : figures) {
        // The analysis keeps the deltas in whole milliseconds already, so that they add up.
        const QJsonValue delta = std::isfinite(f.delta) ? QJsonValue(qint64(std::llround(f.delta * 1000.0))) : QJsonValue();
        array.append(QJsonObject{{QStringLiteral("number"), f.number},
                                 {QStringLiteral("brakePointM"), metres(f.brakePoint)},
                                 {QStringLiteral("entryKmh"), kmh(f.entrySpeed)},
                                 {QStringLiteral("minKmh"), kmh(f.minSpeed)},
                                 {QStringLiteral("minAtM"), metres(f.minAt)},
                                 {QStringLiteral("throttleOnM"), metres(f.throttleOn)},
                                 {QStringLiteral("exitKmh"), kmh(f.exitSpeed)},
                                 {QStringLiteral("deltaMs"), delta}});
    }
    return array;
}
