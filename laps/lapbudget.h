#pragma once

#include <QVector>
#include <QtGlobal>

#include <limits>

/// The memory one import may spend on laps. Every block of lap data is counted before it is
/// allocated and given back when it is freed in place; a count that would pass the limit throws
/// std::bad_alloc instead, so a file whose variables or laps multiply its size ends at once,
/// not when the machine runs out. Frees the import does not see (a lap dropped unfinished) stay
/// counted, which only errs on the safe side.
class LapBudget
{
public:
    static constexpr qint64 valueCost = sizeof(double);
    /// A channel besides its values: the object, its shared pointer, its entries in the lap's map
    /// and in the lap's order of appending, with room for one copy of those while the map is merged.
    static constexpr qint64 channelCost = 256;
    /// A lap handed out besides its channels, and each property it carries.
    static constexpr qint64 lapCost = 1024;
    static constexpr qint64 propertyCost = 256;

    /// What an import of a file of that size may hold: 8 bytes of channel data per byte of record
    /// is what honest files come to (a one-byte flag becomes a double); twice that and a fixed
    /// allowance leave room for growth and small files.
    static qint64 limitFor(qint64 fileSize)
    {
        constexpr qint64 allowance = qint64(256) << 20;
        constexpr qint64 largest = (std::numeric_limits<qint64>::max() - allowance) / 16;
        return fileSize > largest ? std::numeric_limits<qint64>::max() : 16 * qMax<qint64>(fileSize, 0) + allowance;
    }

    void setLimit(qint64 limit) { m_limit = limit; }
    qint64 used() const { return m_used; }

    /// Counts bytes about to be allocated; throws std::bad_alloc, with nothing counted, past the limit.
    void charge(qint64 bytes);
    void release(qint64 bytes) { m_used -= bytes; }

    /// Gives values room for `capacity` of them: the new block is counted first, the old one given back.
    void reserve(QVector<double>& values, qint64 capacity);
    /// Room for one more value: a full channel doubles.
    void makeRoom(QVector<double>& values);
    /// Trims values to their size, counted the same way.
    void squeeze(QVector<double>& values);

private:
    qint64 m_limit = std::numeric_limits<qint64>::max();
    qint64 m_used = 0;
};
