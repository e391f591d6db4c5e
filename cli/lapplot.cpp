#include "cli/lapplot.h"

#include "cli/laptime.h"
#include "cli/plotaxis.h"
#include "cli/sessionsummary.h"
#include "cli/terminaltext.h"
#include "cli/valuetext.h"

#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

const QColor fastestColour(214, 39, 40);
const QColor otherColours[] = {{31, 119, 180}, {44, 160, 44}, {148, 103, 189}, {140, 86, 75},
                               {23, 190, 207}, {188, 189, 34}, {255, 127, 14},  {127, 127, 127}};
constexpr int otherColourCount = int(sizeof otherColours / sizeof otherColours[0]);
// More traces than this are summarised in the legend as one entry.
constexpr int legendEntries = 6;

/// The speed over the distance of one lap in the plotted unit; km/h reads better than m/s.
QVector<QVector<QPointF>> speedSegments(const ZEL::Lap& lap, QString& unit)
{
    const QSharedPointer<ZEL::Channel> distance = lap.channel(QStringLiteral("lapdist"));
    const QSharedPointer<ZEL::Channel> speed = lap.channel(QStringLiteral("speed"));
    if (!distance || !speed)
        return {};
    const bool metresPerSecond = speed->unit() == QLatin1String("m/s");
    unit = metresPerSecond ? QStringLiteral("km/h") : speed->unit();
    const double factor = metresPerSecond ? 3.6 : 1.0;

    QVector<QVector<QPointF>> segments(1);
    const auto breakLine = [&segments] {
        if (!segments.last().isEmpty())
            segments.append(QVector<QPointF>());
    };
    for (int i = 0; i < lap.sampleCount(); ++i) {
        const double x = distance->value(i);
        const double y = speed->value(i);
        if (!ValueText::isValidSample(x) || !ValueText::isValidSample(y)) {
            breakLine();
            continue;
        }
        // A sample still on the far side of the line would draw a stroke across the plot.
        if (!segments.last().isEmpty() && x < segments.last().last().x())
            breakLine();
        segments.last().append({x, y * factor});
    }
    segments.erase(std::remove_if(segments.begin(), segments.end(),
                                  [](const QVector<QPointF>& segment) { return segment.size() < 2; }),
                   segments.end());
    return segments;
}

QString titleOf(const FileImport& file)
{
    const SessionSummary session = SessionSummary::of(file.laps);
    QStringList parts;
    if (!session.trackName.isEmpty())
        parts.append(session.trackConfig.isEmpty() ? session.trackName
                                                   : QStringLiteral("%1 (%2)").arg(session.trackName, session.trackConfig));
    for (const QString& part : {session.carName, session.driverName, session.sessionName}) {
        if (!part.isEmpty())
            parts.append(part);
    }
    return parts.isEmpty() ? QFileInfo(file.path).fileName() : parts.join(QStringLiteral("  \u00b7  "));
}

} // namespace

// An SVG cannot hold control characters, and no picture should show them.
LapPlot::LapPlot(const FileImport& file) : m_title(TerminalText::printable(titleOf(file)))
{
    const int fastest = LapTime::fastest(file.laps);
    for (int i = 0; i < file.laps.size(); ++i) {
        const ZEL::Lap& lap = *file.laps.at(i);
        if (!LapTime::isTimed(lap))
            continue;
        if (i == fastest) {
            m_fastest = m_lapNumbers.size();
            m_fastestTime = LapTime::text(lap.lapTime());
        }
        m_lapNumbers.append(lap.lapNumber());
        m_lapTimesMs.append(LapTime::milliseconds(lap.lapTime()));

        Trace trace;
        trace.segments = speedSegments(lap, m_speedUnit);
        trace.fastest = i == fastest;
        trace.label = QStringLiteral("Lap %1  %2").arg(lap.lapNumber()).arg(LapTime::text(lap.lapTime()));
        if (!trace.segments.isEmpty())
            m_traces.append(trace);
    }
    // The fastest lap is drawn last, on top of the others.
    std::stable_partition(m_traces.begin(), m_traces.end(), [](const Trace& trace) { return !trace.fastest; });
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
    m_fontPixels = std::max(10.0, std::min(area.width(), area.height()) / 55.0);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(area, Qt::white);

    const double titleHeight = m_fontPixels * 3.0;
    painter.setFont(font(1.4, true));
    painter.setPen(QColor(30, 30, 30));
    painter.drawText(QRectF(area.left(), area.top(), area.width(), titleHeight), Qt::AlignCenter, m_title);

    const QRectF body = area.adjusted(0, titleHeight, 0, 0);
    const double split = body.top() + body.height() * 0.36;
    renderLapTimes(painter, QRectF(body.left(), body.top(), body.width(), split - body.top()));
    renderSpeeds(painter, QRectF(body.left(), split, body.width(), body.bottom() - split));
    painter.restore();
}

QRectF LapPlot::plotArea(const QRectF& panel) const
{
    const double f = m_fontPixels;
    return panel.adjusted(f * 6.5, f * 2.6, -f * 2.0, -f * 3.6);
}

void LapPlot::renderTitle(QPainter& painter, const QRectF& panel, const QString& title) const
{
    painter.setFont(font(1.1, true));
    painter.setPen(QColor(30, 30, 30));
    const QRectF plot = plotArea(panel);
    painter.drawText(QRectF(plot.left(), panel.top(), plot.width(), plot.top() - panel.top()),
                     Qt::AlignLeft | Qt::AlignVCenter, title);
}

void LapPlot::renderNote(QPainter& painter, const QRectF& plot, const QString& text) const
{
    painter.setPen(QColor(200, 200, 200));
    painter.drawRect(plot);
    painter.setFont(font(1.0));
    painter.setPen(QColor(110, 110, 110));
    painter.drawText(plot, Qt::AlignCenter, text);
}

void LapPlot::renderFrame(QPainter& painter, const QRectF& plot, const PlotAxis* x, const PlotAxis& y,
                          const QString& xTitle, const QString& yTitle) const
{
    const double f = m_fontPixels;
    const QPen grid(QColor(225, 225, 225), 1.0);
    const QColor text(70, 70, 70);
    painter.setFont(font(0.9));

    for (const double tick : y.ticks()) {
        const double py = plot.bottom() - y.fraction(tick) * plot.height();
        painter.setPen(grid);
        painter.drawLine(QPointF(plot.left(), py), QPointF(plot.right(), py));
        painter.setPen(text);
        painter.drawText(QRectF(plot.left() - f * 5.0, py - f, f * 4.4, f * 2.0), Qt::AlignRight | Qt::AlignVCenter,
                         y.label(tick));
    }
    if (x) {
        for (const double tick : x->ticks()) {
            const double px = plot.left() + x->fraction(tick) * plot.width();
            painter.setPen(grid);
            painter.drawLine(QPointF(px, plot.top()), QPointF(px, plot.bottom()));
            painter.setPen(text);
            painter.drawText(QRectF(px - f * 4.0, plot.bottom() + f * 0.3, f * 8.0, f * 1.5), Qt::AlignCenter,
                             x->label(tick));
        }
    }
    painter.setPen(QPen(QColor(150, 150, 150), 1.0));
    painter.drawRect(plot);

    painter.setFont(font(1.0));
    painter.setPen(text);
    painter.drawText(QRectF(plot.left(), plot.bottom() + f * 1.9, plot.width(), f * 1.6), Qt::AlignCenter, xTitle);
    painter.save();
    painter.translate(plot.left() - f * 5.6, plot.center().y());
    painter.rotate(-90.0);
    painter.drawText(QRectF(-plot.height() / 2.0, -f * 0.8, plot.height(), f * 1.6), Qt::AlignCenter, yTitle);
    painter.restore();
}

void LapPlot::renderLapTimes(QPainter& painter, const QRectF& panel) const
{
    renderTitle(painter, panel, QStringLiteral("Lap times"));
    const QRectF plot = plotArea(panel);
    if (m_lapTimesMs.isEmpty()) {
        renderNote(painter, plot, QStringLiteral("No lap with a time"));
        return;
    }
    const auto [shortest, longest] = std::minmax_element(m_lapTimesMs.cbegin(), m_lapTimesMs.cend());
    const PlotAxis y(*shortest / 1000.0, *longest / 1000.0, 4);
    renderFrame(painter, plot, nullptr, y, QStringLiteral("Lap"), QStringLiteral("Lap time [s]"));

    // One slot per timed lap, labelled with its lap number; labels thinned out when crowded.
    const int count = m_lapTimesMs.size();
    const double slot = plot.width() / count;
    const int labelEvery = std::max(1, int(std::ceil(m_fontPixels * 3.0 / slot)));
    QVector<QPointF> points;
    for (int i = 0; i < count; ++i)
        points.append({plot.left() + slot * (i + 0.5),
                       plot.bottom() - y.fraction(m_lapTimesMs.at(i) / 1000.0) * plot.height()});

    painter.setFont(font(0.9));
    painter.setPen(QColor(70, 70, 70));
    for (int i = 0; i < count; i += labelEvery) {
        painter.drawText(QRectF(points.at(i).x() - slot / 2.0 - m_fontPixels, plot.bottom() + m_fontPixels * 0.3,
                                slot + 2.0 * m_fontPixels, m_fontPixels * 1.5),
                         Qt::AlignCenter, QString::number(m_lapNumbers.at(i)));
    }

    painter.setPen(QPen(otherColours[0], m_fontPixels * 0.15));
    painter.drawPolyline(points.constData(), points.size());
    const double radius = m_fontPixels * 0.3;
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < count; ++i) {
        painter.setBrush(i == m_fastest ? fastestColour : otherColours[0]);
        const double r = i == m_fastest ? radius * 1.7 : radius;
        painter.drawEllipse(points.at(i), r, r);
    }
    painter.setBrush(Qt::NoBrush);

    // The fastest time stands in the title row, where it never covers a point.
    painter.setFont(font(1.0, true));
    painter.setPen(fastestColour);
    painter.drawText(QRectF(plot.left(), panel.top(), plot.width(), plot.top() - panel.top()),
                     Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("fastest: lap %1  %2").arg(m_lapNumbers.at(m_fastest)).arg(m_fastestTime));
}

void LapPlot::renderSpeeds(QPainter& painter, const QRectF& panel) const
{
    renderTitle(painter, panel, QStringLiteral("Speed over lap distance, timed laps"));
    const QRectF plot = plotArea(panel);
    if (m_traces.isEmpty()) {
        renderNote(painter, plot, QStringLiteral("No timed lap with speed and distance"));
        return;
    }
    double maxX = 0.0;
    double minY = m_traces.first().segments.first().first().y();
    double maxY = minY;
    for (const Trace& trace : m_traces) {
        for (const QVector<QPointF>& segment : trace.segments) {
            for (const QPointF& point : segment) {
                maxX = std::max(maxX, point.x());
                minY = std::min(minY, point.y());
                maxY = std::max(maxY, point.y());
            }
        }
    }
    // Distances a hair below zero at the line are clipped rather than widening the axis.
    const PlotAxis x(0.0, maxX, 8);
    const PlotAxis y(minY, maxY, 6);
    renderFrame(painter, plot, &x, y, QStringLiteral("Lap distance [m]"),
                QStringLiteral("Speed [%1]").arg(m_speedUnit));

    painter.save();
    painter.setClipRect(plot);
    for (int t = 0; t < m_traces.size(); ++t) {
        const Trace& trace = m_traces.at(t);
        QColor colour = traceColour(t);
        if (!trace.fastest)
            colour.setAlpha(170);
        painter.setPen(QPen(colour, m_fontPixels * (trace.fastest ? 0.22 : 0.1), Qt::SolidLine, Qt::RoundCap,
                            Qt::RoundJoin));
        for (const QVector<QPointF>& segment : trace.segments) {
            QPainterPath path;
            for (const QPointF& point : segment) {
                const QPointF pixel(plot.left() + x.fraction(point.x()) * plot.width(),
                                    plot.bottom() - y.fraction(point.y()) * plot.height());
                if (path.elementCount() == 0)
                    path.moveTo(pixel);
                else
                    path.lineTo(pixel);
            }
            painter.drawPath(path);
        }
    }
    painter.restore();
    renderLegend(painter, plot);
}

QColor LapPlot::traceColour(int trace) const
{
    if (m_traces.at(trace).fastest)
        return fastestColour;
    // Laps summarised as one legend entry share its colour.
    return m_traces.size() > legendEntries ? otherColours[0] : otherColours[trace % otherColourCount];
}

void LapPlot::renderLegend(QPainter& painter, const QRectF& plot) const
{
    QVector<QPair<QString, QColor>> entries;
    const bool summarise = m_traces.size() > legendEntries;
    int others = 0;
    for (int t = 0; t < m_traces.size(); ++t) {
        const Trace& trace = m_traces.at(t);
        if (trace.fastest)
            entries.prepend({trace.label + QStringLiteral(" (fastest)"), traceColour(t)});
        else if (!summarise)
            entries.append({trace.label, traceColour(t)});
        else
            ++others;
    }
    if (summarise)
        entries.append({QStringLiteral("%1 other timed laps").arg(others), otherColours[0]});

    const double f = m_fontPixels;
    painter.setFont(font(0.9));
    const QFontMetricsF metrics(painter.font());
    double textWidth = 0.0;
    for (const auto& entry : entries)
        textWidth = std::max(textWidth, metrics.horizontalAdvance(entry.first));
    const double lineHeight = f * 1.4;
    const QRectF box(plot.right() - textWidth - f * 4.2, plot.bottom() - lineHeight * entries.size() - f * 1.4,
                     textWidth + f * 3.6, lineHeight * entries.size() + f * 0.8);
    painter.setPen(QColor(190, 190, 190));
    painter.setBrush(QColor(255, 255, 255, 225));
    painter.drawRect(box);
    painter.setBrush(Qt::NoBrush);
    for (int i = 0; i < entries.size(); ++i) {
        const double cy = box.top() + f * 0.4 + lineHeight * (i + 0.5);
        painter.setPen(QPen(entries.at(i).second, f * 0.22));
        painter.drawLine(QPointF(box.left() + f * 0.5, cy), QPointF(box.left() + f * 2.3, cy));
        painter.setPen(QColor(40, 40, 40));
        painter.drawText(QRectF(box.left() + f * 2.8, cy - lineHeight / 2.0, textWidth + f, lineHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, entries.at(i).first);
    }
}
