#include "cli/lapcomparison.h"

#include "analysis/timedelta.h"
#include "cli/laptime.h"
#include "cli/terminaltext.h"
#include "cli/texttable.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>

namespace {

constexpr int swingCount = 5;

QRegularExpressionMatch parse(const QString& lap)
{
    static const QRegularExpression form(QStringLiteral("^(?:(.+):)?(\\d+)$"));
    return form.match(lap);
}

bool sameFile(const QString& a, const QString& b)
{
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return a == b || (!canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath());
}

QString orUnknown(const QString& name)
{
    return name.isEmpty() ? QStringLiteral("an unnamed car") : TerminalText::printable(name);
}

/// The track and layout, as a driver names them.
QString placeOf(const FileAnalysis& file)
{
    if (file.trackName.isEmpty())
        return QStringLiteral("an unnamed track");
    return TerminalText::printable(file.trackConfig.isEmpty() ? file.trackName
                                                              : file.trackName + QStringLiteral(" (") + file.trackConfig + QLatin1Char(')'));
}

} // namespace

QStringList LapComparison::filesOf(const QStringList& laps)
{
    QStringList files;
    for (const QString& lap : laps) {
        const QString file = parse(lap).captured(1);
        if (!file.isEmpty())
            files.append(file);
    }
    return files;
}

QString LapComparison::checkBeforeImport(const QStringList& laps, const QStringList& inputs)
{
    for (const QString& lap : laps) {
        const QString file = parse(lap).captured(1);
        if (!file.isEmpty() && !QFileInfo(file).isFile())
            return QStringLiteral("--compare: %1 is not a file").arg(file);
        if (file.isEmpty() && inputs.size() > 1)
            return QStringLiteral("--compare: with several files, give lap %1 as FILE:%1").arg(lap);
    }
    return QString();
}

bool LapComparison::find(const SessionAnalysis& analysis, const QStringList& laps)
{
    m_analysis = &analysis;
    m_warning.clear();
    const QVector<FileAnalysis>& files = analysis.files();
    for (int which = 0; which < 2; ++which) {
        const QRegularExpressionMatch match = parse(laps.value(which));
        const QString file = match.captured(1);
        const QString given = match.captured(2);
        bool fits = false;
        const int number = given.toInt(&fits);
        m_files[which] = -1;
        if (file.isEmpty() && files.size() == 1)
            m_files[which] = 0;
        for (int f = 0; f < files.size() && !file.isEmpty(); ++f) {
            if (sameFile(file, files.at(f).path))
                m_files[which] = f;
        }
        if (m_files[which] < 0) {
            m_error = file.isEmpty()
                          ? QStringLiteral("--compare: with several files, give lap %1 as FILE:%1").arg(given)
                          : QStringLiteral("--compare: %1 was not imported").arg(file);
            return false;
        }
        // A number past any lap's is still the one the user gave, not what it wraps to.
        m_laps[which] = fits ? analysis.findLap(m_files[which], number) : nullptr;
        if (!m_laps[which]) {
            m_error = QStringLiteral("--compare: no lap %1 in %2").arg(given, files.at(m_files[which]).path);
            return false;
        }
    }
    if (!m_laps[0]->validTime) {
        m_error = QStringLiteral("--compare: %1 has no valid time, so it cannot be the reference A; give it as B")
                      .arg(label(0));
        return false;
    }
    const FileAnalysis& a = files.at(m_files[0]);
    const FileAnalysis& b = files.at(m_files[1]);
    if (!SessionAnalysis::sameTrack(a, b)) {
        m_error = QStringLiteral("--compare: %1 was driven at %2 and %3 at %4; laps of two tracks do not compare")
                      .arg(label(0), placeOf(a), label(1), placeOf(b));
        return false;
    }
    if (a.carName != b.carName) {
        m_warning = QStringLiteral("--compare: %1 was driven in %2 and %3 in %4; the difference is partly the car's")
                        .arg(label(0), orUnknown(a.carName), label(1), orUnknown(b.carName));
    }
    return true;
}

QString LapComparison::label(int which) const
{
    const QString lap = QStringLiteral("lap %1").arg(m_laps[which]->lap->lapNumber());
    if (m_files[0] == m_files[1])
        return lap;
    return QStringLiteral("%1 of %2").arg(lap, TerminalText::printable(QFileInfo(m_analysis->files().at(m_files[which]).path).fileName()));
}

QString LapComparison::render() const
{
    const LapAnalysis& a = *m_laps[0];
    const LapAnalysis& b = *m_laps[1];
    QString text = QStringLiteral("Comparison: %1 against %2\nA: %2\nB: %1\n\n").arg(label(1), label(0));

    TextTable table({QStringLiteral("Sector"), QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("B - A")},
                    {TextTable::Left, TextTable::Right, TextTable::Right, TextTable::Right});
    if (a.sectorTimes.size() == b.sectorTimes.size()) {
        for (int k = 0; k < a.sectorTimes.size(); ++k) {
            table.addRow({QStringLiteral("S%1").arg(k + 1), LapTime::sectorText(a.sectorTimes.at(k)),
                          LapTime::sectorText(b.sectorTimes.at(k)),
                          LapTime::gapText(b.sectorTimes.at(k) - a.sectorTimes.at(k))});
        }
    }
    const double timeA = a.bestKnownTime();
    const double timeB = b.bestKnownTime();
    table.addRow({QStringLiteral("Lap"), LapTime::text(timeA), LapTime::text(timeB), LapTime::gapText(timeB - timeA)});
    text += table.render();

    const TimeDelta delta(b.aligned, a.aligned);
    if (!delta.isComparable()) {
        text += QStringLiteral("\nNo time delta over the lap: %1 does not start at the line.\n")
                    .arg(a.aligned.startsAtLine() ? label(1) : label(0));
        return text;
    }
    const QVector<TimeDelta::Swing> swings = delta.largestSwings(swingCount);
    const double length = a.aligned.trackLength();
    text += QStringLiteral("\nWhere the time changed hands (B against A: the largest stretches, in lap order):\n");
    TextTable stretches({QStringLiteral("From m"), QStringLiteral("To m"), QStringLiteral("Of the lap"),
                         QStringLiteral("B - A")},
                        {TextTable::Right, TextTable::Right, TextTable::Right, TextTable::Right});
    for (const TimeDelta::Swing& swing : swings) {
        const QString share = length > 0.0 ? QStringLiteral("%1-%2 %")
                                                 .arg(std::lround(100.0 * swing.from / length))
                                                 .arg(std::lround(100.0 * swing.to / length))
                                           : QString();
        stretches.addRow({QString::number(std::lround(swing.from)), QString::number(std::lround(swing.to)), share,
                          LapTime::gapText(swing.change)});
    }
    text += stretches.render();
    return text;
}
