#include "laps/channelorder.h"

#include "ibt/recordcolumns.h"

#include <algorithm>
#include <limits>

namespace {

// Records a batch holds at most: their bytes stay in the processor's cache while every channel takes
// its values from them.
constexpr int batchRecords = 128;

/// Makes room for count more values at the end and returns where they go; the room is there already.
double* grow(QVector<double>& values, int count)
{
    const int size = values.size();
    values.resize(size + count);
    return values.data() + size;
}

} // namespace

template<qint32 Type>
void ChannelOrder::appendElements() const
{
    const char* const* records = m_batch.constData();
    const int count = m_batch.size();
    for (const Slot& slot : m_elements[Type]) {
        double* out = grow(*slot.values, count);
        for (int r = 0; r < count; ++r)
            out[r] = RecordColumns::number<Type>(records[r] + slot.source);
    }
}

bool ChannelOrder::append(ZEL::Lap& lap, const RecordColumns& record, const ZEL::Sample& entries)
{
    // Any change to the lap's map since the order was worked out has detached it from ours.
    if (m_room == 0 || m_channels.isEmpty() || !lap.channels().isSharedWith(m_channels) || &record != m_record
        || !entries.values().isEmpty())
        return false;
    m_batch.append(record.bytes());
    --m_room;
    if (m_batch.size() == batchRecords)
        flush();
    return true;
}

void ChannelOrder::flush()
{
    if (m_batch.isEmpty())
        return;
    appendElements<irsdk_char>();
    appendElements<irsdk_bool>();
    appendElements<irsdk_int>();
    appendElements<irsdk_bitField>();
    appendElements<irsdk_float>();
    appendElements<irsdk_double>();
    const int count = m_batch.size();
    for (const Fill& fill : qAsConst(m_fills))
        std::fill_n(grow(*fill.values, count), count, fill.value);
    m_batch.clear();
}

void ChannelOrder::workOut(const ZEL::Lap& lap, const RecordColumns& record)
{
    reset();
    m_channels = lap.channels();
    m_record = &record;
    // The columns ascend like the channels.
    int column = 0;
    m_room = std::numeric_limits<int>::max();
    for (auto channel = m_channels.cbegin(); channel != m_channels.cend(); ++channel) {
        const QString& name = channel.key();
        QVector<double>* values = &channel.value()->values;
        m_room = qMin(m_room, values->capacity() - values->size());
        while (column < record.size() && record.at(column).key < name)
            ++column;
        if (column == record.size() || record.at(column).key != name)
            m_fills.append({values, ZEL::missingValue});
        else if (record.at(column).isConstant())
            m_fills.append({values, double(record.at(column).constant)});
        else
            m_elements[record.at(column).type].append({values, record.at(column).offset});
    }
}
