#pragma once

#include "model/lap.h"

#include <QByteArray>
#include <QSharedPointer>
#include <QVector>

/// The report's traces of one file: every lap's channels resampled on one distance grid, as JSON text
/// (stepM, channels, laps with time, values, x and y). Numbers are written by hand, with as many
/// decimals as each channel needs, because a long session holds millions of them.
class SessionTraces
{
public:
    using Laps = QVector<QSharedPointer<ZEL::Lap>>;

    /// byteBudget bounds the text: the grid step grows for long sessions, and the channels beyond
    /// the charted ones are thinned to what is left.
    SessionTraces(const Laps& laps, qint64 byteBudget);

    QByteArray json() const { return m_json; }
    double stepM() const { return m_step; }
    /// Every how many grid points the extra channels carry a value.
    int extraStride() const { return m_extraStride; }

private:
    struct LapGrid;
    struct Extras;
    struct MapProjection;

    QByteArray m_json;
    double m_step = 0.0;
    int m_extraStride = 1;
};
