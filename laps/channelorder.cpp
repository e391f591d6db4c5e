#include "laps/channelorder.h"

#include "ibt/recordcolumns.h"

#include <limits>

// Flattened because the compiler keeps QVector::append out of line here, which cost a call per
// value: a tenth of the import's instructions.
template<qint32 Type>
[[gnu::flatten]] void ChannelOrder::appendElements(const char* record) const
{
    for (const Slot& slot : m_elements[Type]) {
        const double value = RecordColumns::number<Type>(record + slot.source);
        slot.values->append(value);
    }
}

bool ChannelOrder::append(ZEL::Lap& lap, const RecordColumns& record, const ZEL::Sample& entries)
{
    // Any change to the lap's map since the order was worked out has detached it from ours.
    if (m_room == 0 || m_channels.isEmpty() || !lap.channels().isSharedWith(m_channels) || &record != m_record)
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
    appendElements<irsdk_char>(bytes);
    appendElements<irsdk_bool>(bytes);
    appendElements<irsdk_int>(bytes);
    appendElements<irsdk_bitField>(bytes);
    appendElements<irsdk_float>(bytes);
    appendElements<irsdk_double>(bytes);
    for (const Slot& slot : qAsConst(m_entries))
        slot.values->append(m_entryValues.at(slot.source));
    for (QVector<double>* values : qAsConst(m_markers))
        values->append(ZEL::missingValue);
    --m_room;
    return true;
}

void ChannelOrder::workOut(const ZEL::Lap& lap, const RecordColumns& record, const ZEL::Sample& entries)
{
    reset();
    m_channels = lap.channels();
    m_record = &record;
    m_entryKeys = entries.keys();
    m_entryValues.resize(m_entryKeys.size());
    // Both key lists ascend like the channels; an entry set on top of the record wins over its column.
    int column = 0;
    int entry = 0;
    m_room = std::numeric_limits<int>::max();
    for (auto channel = m_channels.cbegin(); channel != m_channels.cend(); ++channel) {
        const QString& name = channel.key();
        QVector<double>* values = &channel.value()->values;
        m_room = qMin(m_room, values->capacity() - values->size());
        while (column < record.size() && record.at(column).key < name)
            ++column;
        while (entry < m_entryKeys.size() && m_entryKeys.at(entry) < name)
            ++entry;
        if (entry < m_entryKeys.size() && m_entryKeys.at(entry) == name)
            m_entries.append({values, entry});
        else if (column < record.size() && record.at(column).key == name)
            m_elements[record.at(column).type].append({values, record.at(column).offset});
        else
            m_markers.append(values);
    }
}
