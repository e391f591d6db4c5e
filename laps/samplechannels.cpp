#include "ibt/ibtreader.h"

#include <cmath>

namespace {

// Values that stay the same over a lap and carry nothing as channels.
const char* const constantChannels[] = {
    "IsOnTrack", "IsOnTrackCar", "PlayerCarClassPosition", "PlayerCarDriverIncidentCount", "PlayerCarIdx",
    "PlayerCarMyIncidentCount", "PlayerCarPosition", "PlayerCarTeamIncidentCount", "PlayerCarWeightPenalty",
    "sessionnum", "SessionUniqueID", "TireLF_RumblePitch", "TireLR_RumblePitch", "TireRF_RumblePitch",
    "TireRR_RumblePitch",
};

constexpr double negligible = 1e-12;

} // namespace

void IbtReader::dropConstantChannels(int carIdx)
{
    ZEL::Lap& lap = cars[carIdx].lap;
    // Matched exactly as written: channels are keyed by lower-case names, so of a player's lap only
    // "sessionnum" goes. The others (incidents, positions, kerb rumble) do change within a lap.
    for (const char* name : constantChannels)
        lap.removeChannel(QLatin1String(name));
}

void IbtReader::repairLapStart(int carIdx, const QString& channelName)
{
    const ZEL::Lap& lap = cars.at(carIdx).lap;
    const QSharedPointer<ZEL::Channel> channel = lap.channel(channelName);
    const QSharedPointer<ZEL::Channel> distance = lap.channel(QStringLiteral("lapdistpct"));
    if (!channel || !distance)
        return;
    const int n = channel->size();
    if (n < 2)
        return;

    // Samples at the lap start may still hold the previous lap's value (higher than the next one)
    // or zero: spread the first genuine value back over them in proportion to the distance.
    double ref = -1.0;
    double refPct = -1.0;
    for (int i = n - 2; i >= 0; --i) {
        const double a = channel->value(i);
        const double b = channel->value(i + 1);
        if (!(a > b || std::fabs(a) <= negligible))
            continue;
        if (ref < 0) {
            ref = channel->value(i + 1);
            refPct = distance->value(i + 1);
        }
        if (std::fabs(ref) <= negligible)
            return;
        channel->setValue(i, (distance->value(i) * ref) / refPct);
    }
}
