#pragma once

#include "cli/fileimport.h"

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVector>

class PlotAxis;
class QPainter;

/// The picture of one file's session: its lap times lap by lap above, and below the speed
/// over the lap distance with one trace per timed lap, the fastest one highlighted.
class LapPlot
{
public:
    explicit LapPlot(const FileImport& file);

    /// Text and line widths scale with the area, so any size reads alike.
    void render(QPainter& painter, const QRectF& area);

private:
    struct Trace
    {
        QString label;
        QVector<QVector<QPointF>> segments; // broken where samples are missing or the distance wraps
        bool fastest = false;
    };

    void renderLapTimes(QPainter& painter, const QRectF& panel) const;
    void renderSpeeds(QPainter& painter, const QRectF& panel) const;
    void renderLegend(QPainter& painter, const QRectF& panel) const;
    void renderTitle(QPainter& painter, const QRectF& panel, const QString& title) const;
    /// Grid, frame, the y ticks and both axis titles; the x ticks when given an axis.
    void renderFrame(QPainter& painter, const QRectF& plot, const PlotAxis* x, const PlotAxis& y,
                     const QString& xTitle, const QString& yTitle) const;
    void renderNote(QPainter& painter, const QRectF& plot, const QString& text) const;
    QRectF plotArea(const QRectF& panel) const;
    QColor traceColour(int trace) const;
    QFont font(double scale, bool bold = false) const;

    QString m_title;
    QVector<int> m_lapNumbers;  // of the timed laps, in result order
    QVector<int> m_lapTimesMs;
    int m_fastest = -1;         // index into the timed laps
    QString m_fastestTime;
    QVector<Trace> m_traces;
    QString m_speedUnit;
    double m_fontPixels = 12.0;
};
