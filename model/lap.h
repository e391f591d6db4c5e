#pragma once

#include "model/channel.h"
#include "model/lapheader.h"
#include "model/sample.h"

#include <QMap>
#include <QMetaType>
#include <QSharedPointer>

namespace ZEL {

using ChannelMap = QMap<QString, QSharedPointer<Channel>>;

/// A lap: its header plus its data as named channels, one value per sample in each.
/// Copies share the channel objects themselves, not only the maps.
class Lap : public LapHeader
{
public:
    Lap() = default;

    /// Adds one sample; channels the sample lacks get the missing-value marker,
    /// keys new to the lap get a channel padded with markers.
    void appendSample(const Sample& sample);

    void addChannel(Channel* channel, const QString& name);
    QSharedPointer<Channel> channel(const QString& name) const { return m_channels.value(name); }
    QStringList channelNames() const { return m_channels.keys(); }
    int removeChannel(const QString& name) { return m_channels.remove(name); }

    void addExtraChannel(Channel* channel, const QString& name);
    QSharedPointer<Channel> extraChannel(const QString& name) const { return m_extraChannels.value(name); }
    QStringList extraChannelNames() const { return m_extraChannels.keys(); }
    int removeExtraChannel(const QString& name) { return m_extraChannels.remove(name); }

    int sampleCount() const;
    bool isEmpty() const { return m_channels.isEmpty() && m_extraChannels.isEmpty(); }

    /// The lap's own property, else the header's lap time for "Lap time", else the extra data's.
    DynamicValue findValue(const QString& key) const;

    /// Empties channels, properties and extra data; the header fields stay.
    void clear();

    QStringList extraKeys() const { return m_extraData.keys(); }
    bool containsExtra(const QString& key) const { return m_extraData.contains(key); }
    DynamicValue extraValue(const QString& key) const { return m_extraData.value(key); }
    void setExtraValue(const QString& key, const QVariant& value, const QString& unit)
    {
        m_extraData.setValue(key, value, unit);
    }
    void setExtraValue(const QString& key, const DynamicValue& entry) { m_extraData.setValue(key, entry); }
    void removeExtra(const QString& key) { m_extraData.removeValue(key); }
    void clearExtra() { m_extraData.clear(); }

    const ChannelMap& channels() const { return m_channels; }

private:
    ChannelMap m_channels;
    ChannelMap m_extraChannels;
    DynamicData m_extraData;
};

} // namespace ZEL

Q_DECLARE_METATYPE(ZEL::Lap)
