#include "model/lap.h"

namespace ZEL {

namespace {

Channel* newChannel(const DynamicValue& entry, int markers)
{
    auto* channel = new Channel;
    channel->values.reserve(markers + 1);
    channel->values.fill(missingValue, markers);
    channel->setUnit(entry.unit());
    channel->append(entry.value.toDouble());
    return channel;
}

} // namespace

void Lap::appendSample(const Sample& sample)
{
    const auto& entries = sample.values();
    if (m_channels.isEmpty()) {
        for (auto entry = entries.cbegin(); entry != entries.cend(); ++entry)
            m_channels.insert(entry.key(), QSharedPointer<Channel>(newChannel(entry.value(), 0)));
        return;
    }

    const int appended = sampleCount();
    m_channels.detach();
    // Merge two name-ordered sequences: the channels and the sample's entries.
    auto channel = m_channels.begin();
    auto entry = entries.cbegin();
    while (channel != m_channels.end() || entry != entries.cend()) {
        if (entry == entries.cend() || (channel != m_channels.end() && channel.key() < entry.key())) {
            channel.value()->append(missingValue);
            ++channel;
        } else if (channel == m_channels.end() || entry.key() < channel.key()) {
            // Inserting before the cursor leaves it on the same channel.
            m_channels.insert(channel, entry.key(),
                              QSharedPointer<Channel>(newChannel(entry.value(), appended)));
            ++entry;
        } else {
            channel.value()->append(entry.value().value.toDouble());
            ++channel;
            ++entry;
        }
    }
}

void Lap::addChannel(Channel* channel, const QString& name)
{
    m_channels.insert(name, QSharedPointer<Channel>(channel));
}

void Lap::addExtraChannel(Channel* channel, const QString& name)
{
    m_extraChannels.insert(name, QSharedPointer<Channel>(channel));
}

int Lap::sampleCount() const
{
    if (!m_channels.isEmpty())
        return m_channels.first()->size();
    if (!m_extraChannels.isEmpty())
        return m_extraChannels.first()->size();
    return 0;
}

DynamicValue Lap::findValue(const QString& key) const
{
    if (contains(key))
        return value(key);
    if (key == QLatin1String("Lap time"))
        return DynamicValue(QVariant(lapTime()), QString(""));
    return m_extraData.value(key);
}

void Lap::clear()
{
    m_channels.clear();
    m_extraChannels.clear();
    DynamicData::clear();
    m_extraData.clear();
}

} // namespace ZEL
