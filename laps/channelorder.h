#pragma once

#include "ibt/ibtlayout.h"
#include "model/lap.h"

#include <QStringList>
#include <QVector>

class RecordColumns;

/// A lap's channels in the key order of the records appended to it, worked out after one merge so
/// that further records with the same keys are appended without another merge.
/// Records are kept back and appended in batches, channel by channel: one pass per channel over
/// the records of a batch writes its values one after the other instead of one value into each of
/// hundreds of channels per record.
class ChannelOrder
{
public:
    /// Takes a record for appending what a merge would append, if the order was worked out for this
    /// lap as it stands, the sample is the record alone (no entries set on top of it) and every channel
    /// has room for its value; false, with nothing taken, otherwise. Channels never grow here, so all
    /// growth passes the import's budget. The record's bytes are read when the batch is flushed, so
    /// they must stay until then.
    bool append(ZEL::Lap& lap, const RecordColumns& record, const ZEL::Sample& entries);
    /// Appends the records taken so far to the lap's channels. Needed before anything reads the lap's
    /// channels or their sizes, and before the records' bytes are overwritten.
    void flush();
    /// Works the order out for a lap that a record has just been merged into.
    void workOut(const ZEL::Lap& lap, const RecordColumns& record);
    void reset() { *this = ChannelOrder(); }

private:
    struct Slot {
        QVector<double>* values; // of the channel
        qint32 source;           // offset of the element in the record
    };
    struct Fill {
        QVector<double>* values;
        double value; // of every record: a constant column, or the marker of a key the record lacks
    };
    template<qint32 Type>
    void appendElements() const;

    // A shallow copy of the lap's channel map: any change to the lap's map detaches it from this
    // one, and it keeps the channels the slots point to alive.
    ZEL::ChannelMap m_channels;
    // Each channel once: a channel's place in a record does not depend on the others, so the
    // channels are grouped by where their value comes from, one loop per element type.
    QVector<Slot> m_elements[irsdk_double + 1]; // by type code
    QVector<Fill> m_fills;
    const RecordColumns* m_record = nullptr;
    int m_room = 0; // values every channel takes before one of them is full, batch included
    // The batch: the records taken and not yet appended.
    QVector<const char*> m_batch;
};
