#pragma once

#include "model/lap.h"

#include <QStringList>
#include <QVector>

class RecordColumns;

/// A lap's channels in the key order of the samples appended to it, worked out after one merge so
/// that further samples with the same keys are appended in a single pass, without another merge.
/// A sample here is a record read in place, overlaid by the entries set on top of it afterwards.
class ChannelOrder
{
public:
    /// Appends what a merge would append, if the order was worked out for this lap as it stands and
    /// for samples of these keys; false, with nothing appended, otherwise.
    bool append(ZEL::Lap& lap, const RecordColumns& record, const ZEL::Sample& entries);
    /// Works the order out for a lap that the sample has just been merged into.
    void workOut(const ZEL::Lap& lap, const RecordColumns& record, const ZEL::Sample& entries);
    void reset() { *this = ChannelOrder(); }

private:
    enum : qint32 {
        markerSlot = -1, // the sample has no value for the channel
        entrySlot = -2,  // the value is an entry set on top of the record
    };
    struct Slot {
        QVector<double>* values; // of the channel
        qint32 type;             // the record element's type code, or one of the kinds above
        qint32 offset;           // of the element in the record, or the index of the entry
    };

    // A shallow copy of the lap's channel map: any change to the lap's map detaches it from this
    // one, and it keeps the channels the slots point to alive.
    ZEL::ChannelMap m_channels;
    QVector<Slot> m_slots;
    const RecordColumns* m_record = nullptr;
    QStringList m_entryKeys;
    QVector<double> m_entryValues;
};
