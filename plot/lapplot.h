#pragma once

#include "analysis/sessionanalysis.h"

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVector>

class PlotAxis;
class QPainter;

/// One lap against another over the lap distance: speed, throttle and brake, gear, steering and
/// the time delta stacked on the left; on the right the track map coloured by where the lap
/// gains or loses time, and what the lines and colours mean.
class LapPlot
{
public:
    /// The file's fastest lap against its reference lap (against its own second fastest when it
    /// is the reference); one lap alone when there is nothing to compare it with.
    LapPlot(const SessionAnalysis& analysis, int file);
    /// Lap b against lap a.
    LapPlot(const SessionAnalysis& analysis, const LapAnalysis& a, const LapAnalysis& b);

    /// Text and line widths scale with the area, so any size reads alike.
    void render(QPainter& painter, const QRectF& area);

private:
    using Segments = QVector<QVector<QPointF>>;
    struct Panel
    {
        QString title;
        Segments lines[2]; // reference, lap
        bool zeroLine = false;
        bool pedals = false; // the range is -100 % to 100 %, whatever the values
    };

    void build();
    QString lapLabel(const LapAnalysis& lap) const;
    void renderPanel(QPainter& painter, const QRectF& area, const Panel& panel, bool xLabels) const;
    QVector<double> distanceTicks() const;
    void renderDistanceAxis(QPainter& painter, const QRectF& plot) const;
    void renderMap(QPainter& painter, const QRectF& area) const;
    void renderLegend(QPainter& painter, const QRectF& area) const;
    void renderNote(QPainter& painter, const QRectF& plot, const QString& text) const;
    QFont font(double scale, bool bold = false) const;

    QString m_title;
    const LapAnalysis* m_reference = nullptr; // null when the lap stands alone
    const LapAnalysis* m_lap = nullptr;       // null when the file has no lap to show
    QString m_referenceFile;                  // set when the reference is from another file
    QVector<Panel> m_panels;
    Sectors m_sectors;                        // of the lap's file
    double m_length = 0.0;                    // of the distance axis, metres
    double m_gap = 0.0;                       // the lap's time minus the reference's; NaN when unknown
    QVector<QPointF> m_mapPoints;             // of the lap, every mapStep metres
    QVector<double> m_mapRate;                // seconds lost per metre around each map point
    double m_rateScale = 0.0;                 // the rate shown in full colour
    double m_fontPixels = 12.0;
};
