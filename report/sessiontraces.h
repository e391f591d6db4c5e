#pragma once

#include <QByteArray>

struct FileAnalysis;

/// The report's traces of one file: every lap's channels resampled on one distance grid, as JSON text
/// (stepM, channels, laps with fromLine, time, values, x and y), from the laps as the analysis aligned
/// them on distance. Numbers are written by hand, with as many decimals as each channel needs,
/// because a long session holds millions of them.
class SessionTraces
{
public:
    /// byteBudget bounds the text: the grid step grows for long sessions, and the channels beyond
    /// the charted ones are thinned to what is left.
    SessionTraces(const FileAnalysis& file, qint64 byteBudget);

    QByteArray json() const { return m_json; }
    double stepM() const { return m_step; }
    /// Every how many grid points the extra channels carry a value.
    int extraStride() const { return m_extraStride; }

private:
    struct LapGrid;
    struct Extras;

    QByteArray m_json;
    double m_step = 0.0;
    int m_extraStride = 1;
};
