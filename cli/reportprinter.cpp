#include "cli/reportprinter.h"

#include "analysis/samplevalue.h"

#include "cli/laptable.h"
#include "cli/laptime.h"
#include "analysis/sessionsummary.h"
#include "cli/terminaltext.h"
#include "cli/texttable.h"
#include "cli/valuetext.h"

#include <QFileInfo>
#include <QMap>

#include <algorithm>
#include <tuple>

namespace {

QString orDash(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("-") : TerminalText::printable(text);
}

/// The range of a channel over all laps of a file, valid values only.
struct ChannelRange
{
    QString unit;
    double min = 0.0;
    double max = 0.0;
    int validCount = 0;
};

QMap<QString, ChannelRange> channelRanges(const LapList& laps)
{
    QMap<QString, ChannelRange> ranges;
    for (const QSharedPointer<ZEL::Lap>& lap : laps) {
        for (auto it = lap->channels().cbegin(); it != lap->channels().cend(); ++it) {
            const bool known = ranges.contains(it.key());
            ChannelRange& range = ranges[it.key()];
            if (!known)
                range.unit = it.value()->unit();
            for (const double value : it.value()->values) {
                if (!isSampleValue(value))
                    continue;
                range.min = range.validCount ? std::min(range.min, value) : value;
                range.max = range.validCount ? std::max(range.max, value) : value;
                ++range.validCount;
            }
        }
    }
    return ranges;
}

} // namespace

void ReportPrinter::printFile(const FileImport& file, const SessionAnalysis& analysis, int index)
{
    m_out << "File:         " << TerminalText::printable(file.path) << '\n';
    printMessages(file);
    if (file.failed())
        return;
    m_out << '\n';
    printSession(analysis.files().at(index));
    m_out << LapTable(analysis, index).render();
    if (m_showProperties)
        printProperties(file);
    if (m_showChannels)
        printChannels(file);
}

void ReportPrinter::printMessages(const FileImport& file)
{
    for (const PluginMessage& message : file.messages) {
        if (message.verbose < 0) {
            // Keep the order of the two streams on a shared terminal.
            m_out.flush();
            m_err << TerminalText::printable(message.text) << '\n';
            m_err.flush();
        } else if (m_showProgress) {
            m_out << TerminalText::printable(message.text) << '\n';
        }
    }
}

void ReportPrinter::printSession(const FileAnalysis& analysis)
{
    const SessionSummary session = SessionSummary::of(analysis);
    const QDateTime recorded = analysis.info.recordedAt();
    m_out << "Track:        " << orDash(session.trackName) << '\n'
          << "Config:       " << orDash(session.trackConfig) << '\n'
          << "Car:          " << orDash(session.carName) << '\n'
          << "Driver:       " << orDash(session.driverName) << '\n'
          << "Session:      " << orDash(session.sessionName) << '\n'
          << "Session type: " << SessionSummary::sessionTypeName(session.sessionType) << '\n'
          << "Recorded:     "
          << (recorded.isValid() ? recorded.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'")) : QStringLiteral("-"))
          << "\n\n";
}

void ReportPrinter::printProperties(const FileImport& file)
{
    for (int i = 0; i < file.laps.size(); ++i) {
        const ZEL::Lap& lap = *file.laps.at(i);
        m_out << "\nProperties of lap " << lap.lapNumber() << " (#" << i << "):\n";
        TextTable table({QStringLiteral("Property"), QStringLiteral("Value"), QStringLiteral("Unit")});
        for (auto it = lap.values().cbegin(); it != lap.values().cend(); ++it)
            table.addRow({it.key(), ValueText::property(it.value().value), it.value().unit()});
        m_out << table.render();
    }
}

void ReportPrinter::printChannels(const FileImport& file)
{
    const QMap<QString, ChannelRange> ranges = channelRanges(file.laps);
    m_out << "\nChannels (valid values of all laps):\n";
    TextTable table({QStringLiteral("Channel"), QStringLiteral("Unit"), QStringLiteral("Min"), QStringLiteral("Max")},
                    {TextTable::Left, TextTable::Left, TextTable::Right, TextTable::Right});
    for (auto it = ranges.cbegin(); it != ranges.cend(); ++it) {
        const ChannelRange& range = it.value();
        const bool any = range.validCount > 0;
        table.addRow({it.key(), range.unit, any ? ValueText::sample(range.min) : QStringLiteral("-"),
                      any ? ValueText::sample(range.max) : QStringLiteral("-")});
    }
    m_out << table.render();
}

void ReportPrinter::printBestLaps(const QVector<FileImport>& files, const SessionAnalysis& analysis)
{
    struct Row
    {
        SessionSummary session;
        const FileImport* file;
        int ms; // of the best lap, -1 when there is none
    };
    QVector<Row> rows;
    for (int f = 0; f < files.size(); ++f) {
        const FileImport& file = files.at(f);
        const SessionSummary session = SessionSummary::of(analysis.files().at(f));
        const int ms =
            session.fastestLap < 0 ? -1 : LapTime::milliseconds(file.laps.at(session.fastestLap)->lapTime());
        rows.append({session, &file, ms});
    }
    // Grouped by track and car, quickest first; files without a timed lap last in their group.
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        const auto key = [](const Row& row) {
            return std::make_tuple(row.session.trackName, row.session.trackConfig, row.session.carName,
                                   row.ms < 0, row.ms);
        };
        return key(a) < key(b);
    });

    TextTable table({QStringLiteral("Track"), QStringLiteral("Config"), QStringLiteral("Car"), QStringLiteral("Driver"),
                     QStringLiteral("Lap"), QStringLiteral("Time"), QStringLiteral("File")},
                    {TextTable::Left, TextTable::Left, TextTable::Left, TextTable::Left, TextTable::Right,
                     TextTable::Right, TextTable::Left});
    for (const Row& row : rows) {
        const ZEL::Lap* best = row.ms < 0 ? nullptr : row.file->laps.at(row.session.fastestLap).data();
        table.addRow({orDash(row.session.trackName), orDash(row.session.trackConfig), orDash(row.session.carName),
                      orDash(row.session.driverName), best ? QString::number(best->lapNumber()) : QStringLiteral("-"),
                      best ? LapTime::text(best->lapTime()) : QStringLiteral("-"),
                      QFileInfo(row.file->path).fileName()});
    }
    m_out << "Best laps:\n" << table.render();
}
