#include "ibt/ibtreader.h"

#include <cmath>

namespace {

constexpr double negligible = 1e-12;

/// A channel of n values where value i is step(i) for i < n - 1 and the last repeats the one before.
template<typename Step>
ZEL::Channel* forwardDifferences(int n, const QString& unit, Step step)
{
    auto* channel = new ZEL::Channel;
    channel->setUnit(unit);
    channel->values.reserve(n);
    for (int i = 0; i < n; ++i)
        channel->append(i < n - 1 ? step(i) : channel->value(n - 2));
    return channel;
}

} // namespace

void IbtReader::addDerivedChannels(int carIdx)
{
    ZEL::Lap& lap = cars[carIdx].lap;

    // The offset and the yaw channel are looked up under exactly these keys; the session info
    // stores the offset as "YawOffset" and decoding names the channel "yaw", so this leaves the
    // data as recorded.
    const double yawOffset = lap.findValue(QStringLiteral("yawOffset")).value.toDouble();
    if (const QSharedPointer<ZEL::Channel> yaw = lap.channel(QStringLiteral("Yaw"))) {
        for (double& v : yaw->values)
            v += yawOffset;
    }
    lap.removeValue(QStringLiteral("yawOffset"));

    const QSharedPointer<ZEL::Channel> fuel = lap.channel(QStringLiteral("fuellevel"));
    const double kgPerLitre = lap.findValue(QStringLiteral("Kg per fuel litre")).value.toDouble();
    if (fuel && std::fabs(kgPerLitre) > negligible) {
        auto* weight = new ZEL::Channel;
        weight->setUnit(QStringLiteral("kg"));
        weight->values.reserve(fuel->size());
        for (double litres : fuel->values)
            weight->append(litres * kgPerLitre);
        lap.addChannel(weight, QStringLiteral("fuelweight"));
    }

    for (const QSharedPointer<ZEL::Channel>& channel : lap.channels()) {
        if (channel->unit() == QLatin1String("%"))
            channel->setUnit(QStringLiteral("pu"));
    }

    // The player's file carries time, distance and speed of its own; other cars get them derived.
    if (carIdx == playerCarIdx)
        return;
    const QSharedPointer<ZEL::Channel> pct = lap.channel(QStringLiteral("lapdistpct"));
    const QSharedPointer<ZEL::Channel> time = lap.channel(QStringLiteral("sessiontime"));
    if (!pct || !time)
        return;
    const int n = pct->size();
    ZEL::Channel* dt = forwardDifferences(n, QString(), [&](int i) { return time->value(i + 1) - time->value(i); });
    const ZEL::DynamicValue trackLength = lap.findValue(QStringLiteral("Track length"));
    if (trackLength.value.isValid()) {
        const double km = trackLength.value.toDouble();
        auto* distance = new ZEL::Channel;
        distance->setUnit(QStringLiteral("m"));
        distance->values.reserve(n);
        for (int i = 0; i < n; ++i)
            distance->append(pct->value(i) * km * 1000.0);
        ZEL::Channel* speed = forwardDifferences(n, QStringLiteral("m/") + time->unit(), [&](int i) {
            return (distance->value(i + 1) - distance->value(i)) / dt->value(i);
        });
        lap.addChannel(speed, QStringLiteral("speed"));
        lap.addChannel(distance, QStringLiteral("lapdist"));
    }
    lap.addChannel(dt, QStringLiteral("dt"));
}
