#include "cli/laptable.h"

#include "cli/laptime.h"
#include "cli/terminaltext.h"
#include "cli/texttable.h"

#include <cmath>

namespace {

QString number(double value, int decimals)
{
    return std::isnan(value) ? QString() : QString::number(value, 'f', decimals);
}

} // namespace

QString LapTable::render() const
{
    const FileAnalysis& file = m_analysis.files().at(m_file);
    int fastest = -1;
    for (int i = 0; i < file.laps.size(); ++i) {
        if (file.laps.at(i).validTime && (fastest < 0 || file.laps.at(i).lapTime < file.laps.at(fastest).lapTime))
            fastest = i;
    }
    const LapAnalysis* reference = m_analysis.referenceOf(m_file);

    QStringList headings{QStringLiteral("Lap"), QStringLiteral("Run"), QStringLiteral("In run"), QStringLiteral("Kind"),
                         QStringLiteral("Time")};
    for (int k = 0; k < file.sectors.count(); ++k)
        headings.append(QStringLiteral("S%1").arg(k + 1));
    headings << QStringLiteral("Gap") << QStringLiteral("Top km/h") << QStringLiteral("Fuel l")
             << QStringLiteral("Samples") << QStringLiteral("Note");
    QVector<TextTable::Alignment> alignments(headings.size(), TextTable::Right);
    alignments[3] = TextTable::Left;
    alignments.last() = TextTable::Left;

    TextTable table(headings, alignments);
    for (int i = 0; i < file.laps.size(); ++i) {
        const LapAnalysis& lap = file.laps.at(i);
        const ZEL::Lap& header = *lap.lap;
        QStringList row{QString::number(header.lapNumber()), QString::number(header.runNumber()),
                        QString::number(header.lapInRun()), LapKind::label(lap.kind), LapTime::text(lap.lapTime)};
        for (int k = 0; k < lap.sectorTimes.size(); ++k) {
            // The mark keeps the digits aligned: every cell of a column ends in a mark or a blank.
            const bool best = file.bestSectorLaps.at(k) == i;
            const QString time = LapTime::sectorText(lap.sectorTimes.at(k));
            row.append(time.isEmpty() ? QString() : time + (best ? QLatin1Char('*') : QLatin1Char(' ')));
        }
        QStringList notes;
        if (i == fastest)
            notes.append(QStringLiteral("fastest"));
        if (&lap == reference)
            notes.append(QStringLiteral("reference"));
        row << LapTime::gapText(lap.deltaToReference) << number(lap.figures.topSpeed * 3.6, 1)
            << number(lap.figures.fuelUsed, 2) << QString::number(header.sampleCount())
            << notes.join(QStringLiteral(", "));
        table.addRow(row);
    }
    return table.render() + renderSummary();
}

QString LapTable::renderSummary() const
{
    const FileAnalysis& file = m_analysis.files().at(m_file);
    QString text = QStringLiteral("\n");
    if (!std::isnan(file.theoreticalBest)) {
        QStringList laps;
        for (const int i : file.bestSectorLaps)
            laps.append(QString::number(file.laps.at(i).lap->lapNumber()));
        text += QStringLiteral("Theoretical best: %1 (best sectors from laps %2)\n")
                    .arg(LapTime::text(file.theoreticalBest), laps.join(QStringLiteral(", ")));
    }
    int timed = 0;
    for (const LapAnalysis& lap : file.laps)
        timed += lap.validTime ? 1 : 0;
    if (timed > 0) {
        text += QStringLiteral("Lap times (%1 with a valid time): best %2, mean %3, median %4, standard deviation %5 s\n")
                    .arg(timed)
                    .arg(LapTime::text(file.stats.best), LapTime::text(file.stats.mean), LapTime::text(file.stats.median),
                         std::isnan(file.stats.stdDev) ? QStringLiteral("-") : QString::number(file.stats.stdDev, 'f', 3));
    }
    if (const LapAnalysis* reference = m_analysis.referenceOf(m_file)) {
        const QString where = file.referenceFile == m_file
                                  ? QStringLiteral("this file")
                                  : TerminalText::printable(m_analysis.files().at(file.referenceFile).path);
        text += QStringLiteral("Gap: to lap %1 of %2 (%3), the fastest valid lap on this track in this car\n")
                    .arg(reference->lap->lapNumber())
                    .arg(where, LapTime::text(reference->lapTime));
    }
    text += QStringLiteral("Kind: ") + LapKind::legend() + QStringLiteral("\n* best time of the sector among the laps with a valid time; laps without one show no "
                           "time\n");
    return text;
}
