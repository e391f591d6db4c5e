#include "debrief/cornertable.h"

#include "analysis/timedelta.h"
#include "cli/terminaltext.h"
#include "cli/texttable.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

constexpr int largestLosses = 3;

QString number(double value, int decimals)
{
    return std::isfinite(value) ? QString::number(value, 'f', decimals) : QString();
}

/// The difference to the reference's figure, signed, in brackets; empty when either is unknown.
QString difference(double value, double reference, double scale, int decimals)
{
    if (!std::isfinite(value) || !std::isfinite(reference))
        return QString();
    const double d = (value - reference) * scale;
    const QString text = QString::number(std::fabs(d), 'f', decimals);
    return (d < 0.0 && text.toDouble() > 0.0 ? QStringLiteral("-") : QStringLiteral("+")) + text;
}

QString gain(double delta)
{
    return std::isfinite(delta) ? QString::asprintf("%+.2f s", -delta + 0.0) : QString();
}

QString lapName(const LapAnalysis& lap)
{
    return QStringLiteral("lap %1").arg(lap.lap->lapNumber());
}

} // namespace

QString CornerTable::summary(const CornerFigures& lap, const CornerFigures& reference)
{
    QStringList parts;
    const auto distance = [&parts](double value, double ref, const QString& what) {
        if (!std::isfinite(value) || !std::isfinite(ref))
            return;
        const long metres = std::lround(value - ref);
        if (metres != 0)
            parts << QStringLiteral("%1 %2 m %3").arg(what).arg(std::abs(metres)).arg(metres < 0 ? QStringLiteral("earlier") : QStringLiteral("later"));
    };
    distance(lap.brakePoint, reference.brakePoint, QStringLiteral("brakes"));
    if (std::isfinite(lap.minSpeed) && std::isfinite(reference.minSpeed)) {
        const double kmh = std::round((lap.minSpeed - reference.minSpeed) * 36.0) / 10.0;
        if (kmh != 0.0)
            parts << QStringLiteral("minimum %1 km/h %2").arg(std::fabs(kmh), 0, 'f', 1).arg(kmh < 0.0 ? QStringLiteral("lower") : QStringLiteral("higher"));
    }
    distance(lap.throttleOn, reference.throttleOn, QStringLiteral("throttle"));
    if (std::isfinite(lap.delta))
        parts << gain(lap.delta);
    return parts.join(QStringLiteral(", "));
}

QString CornerTable::renderLap(const QVector<CornerFigures>& lap, const QVector<CornerFigures>& reference,
                               const QString& title)
{
    QString text = title + QLatin1Char('\n');
    // The three that lost the most, largest first.
    QVector<int> losing;
    for (int i = 0; i < lap.size(); ++i) {
        if (std::isfinite(lap.at(i).delta) && lap.at(i).delta > 0.0)
            losing.append(i);
    }
    std::stable_sort(losing.begin(), losing.end(), [&lap](int x, int y) { return lap.at(x).delta > lap.at(y).delta; });
    losing.resize(std::min(largestLosses, losing.size()));
    for (const int i : losing)
        text += QStringLiteral("  Turn %1: %2\n").arg(lap.at(i).number).arg(summary(lap.at(i), reference.value(i)));
    if (losing.isEmpty())
        text += QStringLiteral("  No corner lost time.\n");
    text += QLatin1Char('\n');

    using A = TextTable::Alignment;
    TextTable table({QStringLiteral("Turn"), QStringLiteral("Brake m"), QStringLiteral("+-"), QStringLiteral("Entry km/h"),
                     QStringLiteral("+-"), QStringLiteral("Min km/h"), QStringLiteral("+-"), QStringLiteral("At m"),
                     QStringLiteral("Throttle m"), QStringLiteral("+-"), QStringLiteral("Exit km/h"), QStringLiteral("+-"),
                     QStringLiteral("Gain s")},
                    QVector<A>(13, A::Right));
    for (int i = 0; i < lap.size(); ++i) {
        const CornerFigures& f = lap.at(i);
        const CornerFigures r = reference.value(i);
        table.addRow({QString::number(f.number), number(f.brakePoint, 0), difference(f.brakePoint, r.brakePoint, 1.0, 0),
                      number(f.entrySpeed * 3.6, 1), difference(f.entrySpeed, r.entrySpeed, 3.6, 1),
                      number(f.minSpeed * 3.6, 1), difference(f.minSpeed, r.minSpeed, 3.6, 1), number(f.minAt, 0),
                      number(f.throttleOn, 0), difference(f.throttleOn, r.throttleOn, 1.0, 0),
                      number(f.exitSpeed * 3.6, 1), difference(f.exitSpeed, r.exitSpeed, 3.6, 1),
                      std::isfinite(f.delta) ? QString::asprintf("%+.3f", -f.delta + 0.0) : QString()});
    }
    return text + table.render();
}

QString CornerTable::renderFile(const SessionAnalysis& analysis, int index)
{
    const FileAnalysis& file = analysis.files().at(index);
    if (file.corners.isEmpty())
        return QStringLiteral("Corners: none found (a lap with positions or yaw rate over most of the track is needed)\n");
    const LapAnalysis* reference = analysis.referenceOf(index);
    const CornerNumbering& numbering = file.numbering;
    const QString origin =
        file.cornerOrigin == FileAnalysis::CornerOrigin::Stored
            ? QStringLiteral(" (numbered as in the library since %1: lap %2 of %3)")
                  .arg(numbering.definedAt.left(10))
                  .arg(numbering.sourceLap)
                  .arg(TerminalText::printable(QFileInfo(numbering.sourcePath).fileName()))
        : reference ? QStringLiteral(" (from the reference, %1)").arg(lapName(*reference))
                    : QString();
    QString text = QStringLiteral("Corners%1:\n").arg(origin);
    TextTable corners({QStringLiteral("Turn"), QStringLiteral("Start m"), QStringLiteral("Apex m"), QStringLiteral("End m")},
                      QVector<TextTable::Alignment>(4, TextTable::Right));
    for (const Corner& c : file.corners)
        corners.addRow({QString::number(c.number), number(c.start, 0), number(c.apex, 0), number(c.end, 0)});
    text += corners.render();
    if (!reference)
        return text;
    for (const LapAnalysis& lap : file.laps) {
        if (!lap.validTime || &lap == reference)
            continue;
        text += QLatin1Char('\n')
                + renderLap(lap.cornerFigures, reference->cornerFigures,
                            QStringLiteral("Lap %1 against %2, corner by corner (+- to the reference; gain negative where time was lost):")
                                .arg(lap.lap->lapNumber())
                                .arg(lapName(*reference)));
    }
    return text;
}

QString CornerTable::renderComparison(const LapAnalysis& a, const QString& nameA, const LapAnalysis& b,
                                      const QString& nameB, const QVector<Corner>& corners)
{
    if (corners.isEmpty())
        return QStringLiteral("Corners: none found\n");
    const double atLine = a.validTime && b.validTime ? b.lapTime - a.lapTime : TimeDelta(b.aligned, a.aligned).atLine();
    const QVector<CornerFigures> figuresA = CornerFigures::of(*a.lap, a.aligned, corners);
    const QVector<CornerFigures> figuresB = CornerFigures::of(*b.lap, b.aligned, corners, &a.aligned, atLine);
    return renderLap(figuresB, figuresA,
                     QStringLiteral("%1 against %2, corner by corner (+- to %2; gain negative where time was lost):").arg(nameB, nameA));
}
