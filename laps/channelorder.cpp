#include "laps/channelorder.h"

#include "ibt/recordcolumns.h"

bool ChannelOrder::append(ZEL::Lap& lap, const RecordColumns& record, const ZEL::Sample& entries)
{
    // Any change to the lap's map since the order was worked out has detached it from ours.
    if (m_slots.isEmpty() || !lap.channels().isSharedWith(m_channels) || &record != m_record)
        return false;
    const auto& values = entries.values();
    if (values.size() != m_entryKeys.size())
        return false;
    int e = 0;
    for (auto entry = values.cbegin(); entry != values.cend(); ++entry, ++e) {
        if (entry.key() != m_entryKeys.at(e))
            return false;
        m_entryValues[e] = entry.value().value.toDouble();
    }

    const char* bytes = record.bytes();
    for (const Slot& slot : qAsConst(m_slots)) {
        double value;
        if (slot.type >= 0)
            value = RecordColumns::decodeNumber(slot.type, bytes + slot.offset);
        else
            value = slot.type == markerSlot ? ZEL::missingValue : m_entryValues.at(slot.offset);
        slot.values->append(value);
    }
    return true;
}

void ChannelOrder::workOut(const ZEL::Lap& lap, const RecordColumns& record, const ZEL::Sample& entries)
{
    reset();
    m_channels = lap.channels();
    m_record = &record;
    m_entryKeys = entries.keys();
    m_entryValues.resize(m_entryKeys.size());
    m_slots.reserve(m_channels.size());
    // Both key lists ascend like the channels; an entry set on top of the record wins over its column.
    int column = 0;
    int entry = 0;
    for (auto channel = m_channels.cbegin(); channel != m_channels.cend(); ++channel) {
        const QString& name = channel.key();
        while (column < record.size() && record.at(column).key < name)
            ++column;
        while (entry < m_entryKeys.size() && m_entryKeys.at(entry) < name)
            ++entry;
        Slot slot{&channel.value()->values, markerSlot, 0};
        if (entry < m_entryKeys.size() && m_entryKeys.at(entry) == name)
            slot = {slot.values, entrySlot, entry};
        else if (column < record.size() && record.at(column).key == name)
            slot = {slot.values, record.at(column).type, record.at(column).offset};
        m_slots.append(slot);
    }
}
