#include "plot/lapplot.h"

#include "analysis/lapextent.h"
#include "analysis/samplevalue.h"
#include "analysis/timedelta.h"
#include "cli/laptime.h"
#include "plot/plotaxis.h"
#include "cli/terminaltext.h"

#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

const QColor lapColour(214, 39, 40);
const QColor referenceColour(31, 119, 180);
const QColor neutralColour(175, 175, 175);
const QColor gainColour(26, 150, 65);
const QColor textColour(40, 40, 40);
constexpr double gridStepM = 2.0;
constexpr double rateWindowM = 20.0; // the map's colour looks this far either way
constexpr double leftShare = 0.63;   // of the width, for the traces

/// (distance, value × scale) over the lap's aligned samples, broken where a value is missing.
QVector<QVector<QPointF>> series(const LapAnalysis& lap, const QString& channel, double scale)
{
    const QVector<double> values = lap.aligned.values(*lap.lap, channel);
    const QVector<double>& distance = lap.aligned.distance();
    QVector<QVector<QPointF>> segments(1);
    for (int k = 0; k < values.size(); ++k) {
        if (!isSampleValue(values.at(k))) {
            if (!segments.last().isEmpty())
                segments.append(QVector<QPointF>());
            continue;
        }
        segments.last().append({distance.at(k), values.at(k) * scale});
    }
    segments.erase(std::remove_if(segments.begin(), segments.end(), [](const QVector<QPointF>& s) { return s.size() < 2; }),
                   segments.end());
    return segments;
}

/// Every gridStepM metres over the lap; nothing where its distances are no lap's.
QVector<double> gridOver(const AlignedLap& lap)
{
    const double from = std::max(0.0, lap.distance().first());
    const int points = LapExtent::gridPoints(from, lap.distance().last(), gridStepM, lap.size());
    QVector<double> grid;
    grid.reserve(points);
    const double first = std::ceil(from / gridStepM);
    for (int k = 0; k < points; ++k)
        grid.append((first + k) * gridStepM);
    return grid;
}

QColor blend(const QColor& a, const QColor& b, double t)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}

QString titleOf(const ZEL::Lap& lap)
{
    QStringList parts;
    if (!lap.trackName().isEmpty())
        parts.append(lap.trackConfig().isEmpty() ? lap.trackName()
                                                 : QStringLiteral("%1 (%2)").arg(lap.trackName(), lap.trackConfig()));
    for (const QString& part : {lap.carName(), lap.driverName()}) {
        if (!part.isEmpty())
            parts.append(part);
    }
    return parts.join(QStringLiteral("  \u00b7  "));
}

} // namespace

LapPlot::LapPlot(const SessionAnalysis& analysis, int file)
{
    const FileAnalysis& analysed = analysis.files().at(file);
    m_reference = analysis.referenceOf(file);
    // The file's own lap against the reference: its best other timed lap, else the other lap that
    // covers the most ground; the reference alone only when the file has no other lap.
    const auto ground = [](const LapAnalysis& lap) {
        return lap.aligned.isEmpty() ? -1.0 : lap.aligned.distance().last() - lap.aligned.distance().first();
    };
    for (const LapAnalysis& lap : analysed.laps) {
        if (lap.validTime && lap.aligned.isComplete() && &lap != m_reference && (!m_lap || lap.lapTime < m_lap->lapTime))
            m_lap = &lap;
    }
    for (const LapAnalysis& lap : analysed.laps) {
        if (!m_lap && &lap != m_reference && ground(lap) > 0.0)
            m_lap = &lap;
        else if (m_lap && !m_lap->validTime && &lap != m_reference && ground(lap) > ground(*m_lap))
            m_lap = &lap;
    }
    const bool ownReference = m_reference && analysed.referenceFile == file;
    if (!m_lap && ownReference)
        std::swap(m_lap, m_reference);
    if (!m_lap)
        m_reference = nullptr; // another file's lap alone is not this file's plot
    if (m_reference && analysed.referenceFile != file)
        m_referenceFile = QFileInfo(analysis.files().at(analysed.referenceFile).path).fileName();
    m_sectors = analysed.sectors;
    m_title = m_lap ? titleOf(*m_lap->lap) : QString();
    if (m_title.isEmpty())
        m_title = QFileInfo(analysed.path).fileName();
    // An SVG cannot hold control characters, and no picture should show them.
    m_title = TerminalText::printable(m_title);
    build();
}

LapPlot::LapPlot(const SessionAnalysis& analysis, const LapAnalysis& a, const LapAnalysis& b)
    : m_title(TerminalText::printable(titleOf(*b.lap))), m_reference(&a), m_lap(&b)
{
    const auto fileOf = [&analysis](const LapAnalysis& lap) -> const FileAnalysis* {
        for (const FileAnalysis& file : analysis.files()) {
            if (!file.laps.isEmpty() && &lap >= &file.laps.first() && &lap <= &file.laps.last())
                return &file;
        }
        return nullptr;
    };
    const FileAnalysis* fileA = fileOf(a);
    const FileAnalysis* fileB = fileOf(b);
    if (fileA && fileA != fileB)
        m_referenceFile = QFileInfo(fileA->path).fileName();
    if (fileB)
        m_sectors = fileB->sectors;
    build();
}

QString LapPlot::lapLabel(const LapAnalysis& lap) const
{
    const double time = lap.bestKnownTime();
    QString label = QStringLiteral("Lap %1").arg(lap.lap->lapNumber());
    if (!std::isnan(time))
        label += QStringLiteral("  ") + LapTime::text(time);
    return label;
}

void LapPlot::build()
{
    m_panels = {{QStringLiteral("Speed [km/h]"), {}, false, false},
                {QStringLiteral("Throttle up, brake down [%]"), {}, true, true},
                {QStringLiteral("Gear"), {}, false, false},
                {QStringLiteral("Steering wheel [\u00b0]"), {}, true, false},
                {QStringLiteral("Delta [s]"), {}, true, false}};
    if (!m_lap)
        return;
    const LapAnalysis* laps[2] = {m_reference, m_lap};
    for (int which = 0; which < 2; ++which) {
        const LapAnalysis* lap = laps[which];
        if (!lap)
            continue;
        m_panels[0].lines[which] = series(*lap, QStringLiteral("speed"), 3.6);
        m_panels[1].lines[which] = series(*lap, QStringLiteral("throttle"), 100.0)
                                   + series(*lap, QStringLiteral("brake"), -100.0);
        m_panels[2].lines[which] = series(*lap, QStringLiteral("gear"), 1.0);
        m_panels[3].lines[which] = series(*lap, QStringLiteral("steeringwheelangle"), 180.0 / M_PI);
    }
    const AlignedLap& aligned = m_lap->aligned;
    if (aligned.isEmpty())
        return; // no sample with a usable distance: nothing to draw over it
    m_length = aligned.trackLength() > 0.0 ? aligned.trackLength() : aligned.distance().last();

    const QVector<double> grid = gridOver(aligned);
    QVector<double> delta;
    if (m_reference) {
        const TimeDelta timeDelta(m_lap->aligned, m_reference->aligned);
        m_gap = m_lap->bestKnownTime() - m_reference->bestKnownTime();
        delta = timeDelta.over(grid);
        QVector<QPointF> line;
        for (int g = 0; g < grid.size(); ++g) {
            if (!std::isnan(delta.at(g)))
                line.append({grid.at(g), delta.at(g)});
        }
        if (line.size() > 1)
            m_panels[4].lines[1].append(line);
    }

    if (m_lap->map.isEmpty())
        return;
    const QVector<double> x = aligned.resample(m_lap->map.x(), grid);
    const QVector<double> y = aligned.resample(m_lap->map.y(), grid);
    const int window = int(rateWindowM / gridStepM);
    QVector<double> magnitudes;
    for (int g = 0; g < grid.size(); ++g) {
        if (!isSampleValue(x.at(g)) || !isSampleValue(y.at(g)))
            continue;
        m_mapPoints.append({x.at(g), y.at(g)});
        double rate = 0.0;
        if (!delta.isEmpty()) {
            const int before = std::max(0, g - window);
            const int after = std::min(int(grid.size()) - 1, g + window);
            if (after > before && !std::isnan(delta.at(before)) && !std::isnan(delta.at(after)))
                rate = (delta.at(after) - delta.at(before)) / (grid.at(after) - grid.at(before));
            magnitudes.append(std::fabs(rate));
        }
        m_mapRate.append(rate);
    }
    if (!magnitudes.isEmpty()) {
        // Full colour at the 90th percentile, so that one spike does not wash out the rest.
        std::nth_element(magnitudes.begin(), magnitudes.begin() + magnitudes.size() * 9 / 10, magnitudes.end());
        m_rateScale = magnitudes.at(magnitudes.size() * 9 / 10);
    }
}

QFont LapPlot::font(double scale, bool bold) const
{
    QFont font;
    font.setPixelSize(std::max(1, int(std::lround(m_fontPixels * scale))));
    font.setBold(bold);
    return font;
}

void LapPlot::render(QPainter& painter, const QRectF& area)
{
    m_fontPixels = std::max(9.0, std::min(area.width() / 70.0, area.height() / 55.0));
    const double f = m_fontPixels;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(area, Qt::white);

    const double titleHeight = f * 2.6;
    painter.setFont(font(1.3, true));
    painter.setPen(textColour);
    painter.drawText(QRectF(area.left() + f, area.top(), area.width() - 2 * f, titleHeight),
                     Qt::AlignCenter | Qt::TextSingleLine, m_title);

    const QRectF body = area.adjusted(0, titleHeight, 0, -f * 0.5);
    const QRectF left(body.left(), body.top(), body.width() * leftShare, body.height());
    const QRectF right(left.right() + f, body.top(), body.right() - left.right() - 2 * f, body.height());

    // The last panel also holds the distance labels.
    const double labels = f * 2.8;
    const double panelHeight = (left.height() - labels) / m_panels.size();
    for (int p = 0; p < m_panels.size(); ++p) {
        const bool last = p + 1 == m_panels.size();
        renderPanel(painter, QRectF(left.left(), left.top() + p * panelHeight, left.width(), panelHeight + (last ? labels : 0.0)),
                    m_panels.at(p), last);
    }
    const double mapHeight = std::min(right.height() * 0.62, right.width() + f * 2.0);
    renderMap(painter, QRectF(right.left(), right.top(), right.width(), mapHeight));
    renderLegend(painter, QRectF(right.left(), right.top() + mapHeight + f * 0.5, right.width(),
                                 right.height() - mapHeight - f * 0.5));
    painter.restore();
}

void LapPlot::renderNote(QPainter& painter, const QRectF& plot, const QString& text) const
{
    painter.setPen(QColor(200, 200, 200));
    painter.drawRect(plot);
    painter.setFont(font(0.9));
    painter.setPen(QColor(110, 110, 110));
    painter.drawText(plot, Qt::AlignCenter | Qt::TextWordWrap, text);
}

void LapPlot::renderPanel(QPainter& painter, const QRectF& area, const Panel& panel, bool xLabels) const
{
    const double f = m_fontPixels;
    const QRectF plot = area.adjusted(f * 4.6, f * 1.5, -f * 0.6, -(xLabels ? f * 2.8 : f * 0.3));
    painter.setFont(font(0.95, true));
    painter.setPen(textColour);
    painter.drawText(QRectF(plot.left(), area.top(), plot.width(), f * 1.4), Qt::AlignLeft | Qt::AlignVCenter,
                     panel.title);

    double low = 0.0, high = 0.0;
    bool any = false;
    for (const Segments& lines : panel.lines) {
        for (const QVector<QPointF>& segment : lines) {
            for (const QPointF& point : segment) {
                // What lies off the distance axis (before the line, past it) does not set the range.
                if (point.x() < 0.0 || point.x() > m_length)
                    continue;
                low = any ? std::min(low, point.y()) : point.y();
                high = any ? std::max(high, point.y()) : point.y();
                any = true;
            }
        }
    }
    if (xLabels)
        renderDistanceAxis(painter, plot);
    if (!any || m_length <= 0.0) {
        renderNote(painter, plot, m_lap && !m_reference && &panel == &m_panels.last()
                                      ? QStringLiteral("No other lap to compare with")
                                      : QStringLiteral("No data"));
        return;
    }
    if (panel.zeroLine) {
        low = std::min(low, 0.0);
        high = std::max(high, 0.0);
    }
    const PlotAxis y(panel.pedals ? -100.0 : low, panel.pedals ? 100.0 : high, panel.pedals ? 2 : 3);
    const auto pixel = [&](const QPointF& point) {
        return QPointF(plot.left() + point.x() / m_length * plot.width(),
                       plot.bottom() - y.fraction(point.y()) * plot.height());
    };

    painter.setFont(font(0.85));
    const QPen grid(QColor(228, 228, 228), 1.0);
    for (const double tick : y.ticks()) {
        const double py = plot.bottom() - y.fraction(tick) * plot.height();
        painter.setPen(grid);
        painter.drawLine(QPointF(plot.left(), py), QPointF(plot.right(), py));
        painter.setPen(textColour);
        painter.drawText(QRectF(area.left(), py - f, plot.left() - area.left() - f * 0.4, f * 2.0),
                         Qt::AlignRight | Qt::AlignVCenter, y.label(tick));
    }
    painter.setPen(grid);
    for (const double tick : distanceTicks())
        painter.drawLine(QPointF(plot.left() + tick / m_length * plot.width(), plot.top()),
                         QPointF(plot.left() + tick / m_length * plot.width(), plot.bottom()));
    // Sector boundaries, dashed, named in the first panel.
    painter.setPen(QPen(QColor(150, 150, 150), 1.0, Qt::DashLine));
    for (int k = 1; k < m_sectors.count(); ++k) {
        const double px = plot.left() + m_sectors.start(k) / m_length * plot.width();
        painter.drawLine(QPointF(px, plot.top()), QPointF(px, plot.bottom()));
        if (&panel == &m_panels.first()) {
            // Inside the plot, right of the line: the panel's title keeps its row.
            painter.setFont(font(0.8));
            const QRectF label(px + f * 0.2, plot.top(), f * 2.3, f * 1.2);
            if (label.right() <= plot.right())
                painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("S%1").arg(k + 1));
        }
    }
    if (panel.zeroLine && y.lower() < 0.0 && y.upper() > 0.0) {
        painter.setPen(QPen(QColor(120, 120, 120), 1.0));
        painter.drawLine(pixel({0.0, 0.0}), pixel({m_length, 0.0}));
    }
    painter.setPen(QPen(QColor(150, 150, 150), 1.0));
    painter.drawRect(plot);

    painter.save();
    painter.setClipRect(plot);
    const QColor colours[2] = {referenceColour, lapColour};
    for (int which = 0; which < 2; ++which) {
        // The reference runs wider underneath, so that it shows where the two lie on each other.
        painter.setPen(QPen(colours[which], f * (which == 1 ? 0.13 : 0.3), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        for (const QVector<QPointF>& segment : panel.lines[which]) {
            QPainterPath path(pixel(segment.first()));
            for (int i = 1; i < segment.size(); ++i)
                path.lineTo(pixel(segment.at(i)));
            painter.drawPath(path);
        }
    }
    painter.restore();
}

QVector<double> LapPlot::distanceTicks() const
{
    // The distance runs to the line exactly; its ticks come from the rounded axis.
    QVector<double> ticks = PlotAxis(0.0, m_length, 8).ticks();
    while (!ticks.isEmpty() && ticks.last() > m_length)
        ticks.removeLast();
    return ticks;
}

void LapPlot::renderDistanceAxis(QPainter& painter, const QRectF& plot) const
{
    if (m_length <= 0.0)
        return;
    const double f = m_fontPixels;
    const PlotAxis axis(0.0, m_length, 8);
    painter.setFont(font(0.85));
    painter.setPen(textColour);
    for (const double tick : distanceTicks()) {
        const double px = plot.left() + tick / m_length * plot.width();
        painter.drawText(QRectF(px - f * 3.0, plot.bottom() + f * 0.2, f * 6.0, f * 1.3), Qt::AlignCenter,
                         axis.label(tick));
    }
    painter.setFont(font(0.95));
    painter.drawText(QRectF(plot.left(), plot.bottom() + f * 1.4, plot.width(), f * 1.4), Qt::AlignCenter,
                     QStringLiteral("Lap distance [m]"));
}

void LapPlot::renderMap(QPainter& painter, const QRectF& area) const
{
    const double f = m_fontPixels;
    painter.setFont(font(0.95, true));
    painter.setPen(textColour);
    painter.drawText(QRectF(area.left(), area.top(), area.width(), f * 1.4), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Track map"));
    const QRectF frame = area.adjusted(0, f * 1.5, 0, 0);
    if (m_mapPoints.size() < 2) {
        renderNote(painter, frame, QStringLiteral("No positions (latitude and longitude) in this lap"));
        return;
    }
    double minX = m_mapPoints.first().x(), maxX = minX, minY = m_mapPoints.first().y(), maxY = minY;
    for (const QPointF& point : m_mapPoints) {
        minX = std::min(minX, point.x());
        maxX = std::max(maxX, point.x());
        minY = std::min(minY, point.y());
        maxY = std::max(maxY, point.y());
    }
    // Metres are square on the page; north is up.
    const QRectF inner = frame.adjusted(f, f, -f, -f);
    const double scale = std::min(inner.width() / std::max(maxX - minX, 1.0), inner.height() / std::max(maxY - minY, 1.0));
    const QPointF centre((minX + maxX) / 2.0, (minY + maxY) / 2.0);
    const auto pixel = [&](const QPointF& point) {
        return QPointF(inner.center().x() + (point.x() - centre.x()) * scale,
                       inner.center().y() - (point.y() - centre.y()) * scale);
    };
    painter.setPen(QColor(200, 200, 200));
    painter.drawRect(frame);
    for (int i = 1; i < m_mapPoints.size(); ++i) {
        QColor colour = lapColour;
        if (m_reference) {
            const double t = m_rateScale > 0.0 ? qBound(-1.0, m_mapRate.at(i) / m_rateScale, 1.0) : 0.0;
            colour = t >= 0.0 ? blend(neutralColour, lapColour, t) : blend(neutralColour, gainColour, -t);
        }
        painter.setPen(QPen(colour, f * 0.45, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(pixel(m_mapPoints.at(i - 1)), pixel(m_mapPoints.at(i)));
    }
    if (m_lap->aligned.startsAtLine()) {
        const QPointF line = pixel(m_mapPoints.first());
        painter.setPen(Qt::NoPen);
        painter.setBrush(textColour);
        painter.drawEllipse(line, f * 0.4, f * 0.4);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(textColour);
        painter.setFont(font(0.8, true));
        const QRectF label(line.x() + f * 0.5, line.y() - f * 1.5, f * 2.5, f * 1.2);
        painter.drawText(label.translated(label.right() > frame.right() ? -f * 3.5 : 0.0, 0.0), Qt::AlignCenter,
                         QStringLiteral("S/F"));
    }
}

void LapPlot::renderLegend(QPainter& painter, const QRectF& area) const
{
    if (!m_lap)
        return;
    const double f = m_fontPixels;
    painter.setFont(font(0.9));
    const double lineHeight = f * 1.5;
    double top = area.top();
    painter.save();
    painter.setClipRect(area); // whatever the size, the legend stays in its corner of the picture
    const auto entry = [&](const QColor& colour, const QString& text) {
        painter.setPen(QPen(colour, f * 0.3));
        painter.drawLine(QPointF(area.left(), top + lineHeight / 2), QPointF(area.left() + f * 1.8, top + lineHeight / 2));
        painter.setPen(textColour);
        const QRectF box(area.left() + f * 2.3, top, area.width() - f * 2.3, lineHeight);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         painter.fontMetrics().elidedText(text, Qt::ElideRight, int(box.width())));
        top += lineHeight;
    };
    entry(lapColour, lapLabel(*m_lap));
    QString notes;
    if (m_reference) {
        entry(referenceColour, lapLabel(*m_reference) + QStringLiteral(", reference")
                                   + (m_referenceFile.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(m_referenceFile)));
        const double gap = m_gap;
        const QString lap = QStringLiteral("lap %1").arg(m_lap->lap->lapNumber());
        notes = QStringLiteral("Delta: %1 minus the reference at equal distance%2. Map: %1, red where it loses time, "
                               "green where it gains (full colour at %3 ms per 100 m).")
                    .arg(lap, std::isnan(gap) ? QString() : QStringLiteral(", %1 s at the line").arg(LapTime::gapText(gap)))
                    .arg(m_rateScale * 100000.0, 0, 'f', 1);
    } else {
        notes = QStringLiteral("No other lap with a time on this track to compare with.");
    }
    painter.setFont(font(0.85));
    painter.setPen(textColour);
    painter.drawText(QRectF(area.left(), top + f * 0.4, area.width(), area.bottom() - top - f * 0.4),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, notes);
    painter.restore();
}
