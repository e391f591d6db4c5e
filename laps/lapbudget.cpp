#include "laps/lapbudget.h"

#include <new>

namespace {

constexpr qint64 smallestGrowth = 16;

} // namespace

void LapBudget::charge(qint64 bytes)
{
    if (bytes > m_limit - m_used)
        throw std::bad_alloc();
    m_used += bytes;
}

void LapBudget::reserve(QVector<double>& values, qint64 capacity)
{
    const qint64 before = values.capacity();
    if (capacity <= before)
        return;
    // A vector cannot hold more than an int counts; asking for it fails like any allocation.
    if (capacity > std::numeric_limits<int>::max())
        throw std::bad_alloc();
    charge(capacity * valueCost);
    values.reserve(int(capacity));
    release(before * valueCost);
}

void LapBudget::makeRoom(QVector<double>& values)
{
    if (values.size() == values.capacity())
        reserve(values, qMax(2 * qint64(values.size()), smallestGrowth));
}

void LapBudget::squeeze(QVector<double>& values)
{
    const qint64 before = values.capacity();
    charge(values.size() * valueCost);
    values.squeeze();
    release(before * valueCost);
}
