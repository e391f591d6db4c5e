#include "cli/csvexport.h"

#include "cli/interruptguard.h"
#include "cli/laptime.h"
#include "cli/stagedfiles.h"
#include "cli/valuetext.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>

namespace {

QString headerCell(const QString& name, const QString& unit)
{
    return CsvExport::field(unit.isEmpty() ? name : QStringLiteral("%1 [%2]").arg(name, unit));
}

QByteArray line(const QStringList& fields)
{
    return fields.join(QLatin1Char(',')).toUtf8() + '\n';
}

/// Every property key of every lap, each with the first unit seen for it.
QMap<QString, QString> propertyColumns(const QVector<FileImport>& files)
{
    QMap<QString, QString> columns;
    for (const FileImport& file : files) {
        for (const QSharedPointer<ZEL::Lap>& lap : file.laps) {
            for (auto it = lap->values().cbegin(); it != lap->values().cend(); ++it) {
                if (!columns.contains(it.key()))
                    columns.insert(it.key(), it.value().unit());
            }
        }
    }
    return columns;
}

} // namespace

QString CsvExport::field(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^[-+]?(\\d+\\.?\\d*|\\.\\d+)([eE][-+]?\\d+)?$"));
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    // A spreadsheet runs a cell that starts like a formula; a leading apostrophe makes it text.
    const QString cell = !text.isEmpty() && formulaStarts.contains(text.at(0)) && !number.match(text).hasMatch()
        ? QLatin1Char('\'') + text
        : text;
    const bool quote = cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"'))
        || cell.contains(QLatin1Char('\n')) || cell.contains(QLatin1Char('\r')) || cell.startsWith(QLatin1Char(' '))
        || cell.endsWith(QLatin1Char(' '));
    if (!quote)
        return cell;
    return QLatin1Char('"') + QString(cell).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

bool CsvExport::prepare(const QString& folder)
{
    m_folder = folder;
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        m_error = QStringLiteral("export folder %1 is not a folder").arg(folder);
        return false;
    }
    if (!QDir().mkpath(folder)) {
        m_error = QStringLiteral("cannot create export folder %1").arg(folder);
        return false;
    }
    if (!QFileInfo(folder).isWritable()) {
        m_error = QStringLiteral("export folder %1 is not writable").arg(folder);
        return false;
    }
    return true;
}

bool CsvExport::write(const QVector<FileImport>& files, const SessionAnalysis& analysis)
{
    // Declared first, so that a signal caught meanwhile ends the process after the staged files are gone.
    const InterruptGuard interrupt;
    StagedFiles staged(m_folder);
    const auto stop = [&] {
        m_error = interrupt.interrupted() ? QStringLiteral("export into %1 interrupted").arg(m_folder)
                                          : staged.errorString();
        return false;
    };
    const QStringList stems = FileImport::uniqueStems(files);
    QVector<QStringList> lapFiles;
    for (int f = 0; f < files.size(); ++f) {
        QStringList names;
        for (int i = 0; i < files.at(f).laps.size(); ++i) {
            const QString name = QStringLiteral("%1-%2.csv").arg(stems.at(f)).arg(i, 2, 10, QLatin1Char('0'));
            if (interrupt.interrupted() || !staged.add(name, lapCsv(*files.at(f).laps.at(i))))
                return stop();
            names.append(name);
        }
        lapFiles.append(names);
    }
    // The index goes in last: the moment it is replaced the new laps are all there.
    if (interrupt.interrupted()
        || !staged.add(QStringLiteral("laps.csv"),
                       [&](QIODevice& out) { return writeLapIndex(out, files, analysis, lapFiles); })
        || !staged.commit())
        return stop();
    return true;
}

QByteArray CsvExport::lapCsv(const ZEL::Lap& lap)
{
    const ZEL::ChannelMap& channels = lap.channels();
    QStringList header;
    for (auto it = channels.cbegin(); it != channels.cend(); ++it)
        header.append(headerCell(it.key(), it.value()->unit()));
    QByteArray content = line(header);
    const int samples = lap.sampleCount();
    QStringList row;
    for (int i = 0; i < samples; ++i) {
        row.clear();
        for (const QSharedPointer<ZEL::Channel>& channel : channels)
            row.append(ValueText::sample(channel->value(i)));
        content += line(row);
    }
    return content;
}

bool CsvExport::writeLapIndex(QIODevice& out, const QVector<FileImport>& files, const SessionAnalysis& analysis,
                              const QVector<QStringList>& lapFiles)
{
    const QMap<QString, QString> properties = propertyColumns(files);
    // As many sector columns as the file with the most sectors has.
    int sectors = 0;
    for (const FileAnalysis& file : analysis.files())
        sectors = std::max(sectors, file.sectors.count());
    QStringList header{QStringLiteral("file"),        QStringLiteral("csv"),        QStringLiteral("index"),
                       QStringLiteral("lapNumber"),   QStringLiteral("lapInRun"),   QStringLiteral("runNumber"),
                       QStringLiteral("lapStatus"),   QStringLiteral("kind"),       QStringLiteral("completed"),
                       QStringLiteral("lapTime"),     QStringLiteral("lapTimeMs"),  QStringLiteral("fastest"),
                       QStringLiteral("sampleCount"), QStringLiteral("sessionType"), QStringLiteral("trackName"),
                       QStringLiteral("trackConfig"), QStringLiteral("carName"),    QStringLiteral("driverName")};
    for (int k = 0; k < sectors; ++k)
        header.append(QStringLiteral("s%1Ms").arg(k + 1));
    header << QStringLiteral("gapMs") << QStringLiteral("topSpeedKmh") << QStringLiteral("fuelUsedL");
    for (auto it = properties.cbegin(); it != properties.cend(); ++it)
        header.append(headerCell(it.key(), it.value()));
    const auto put = [&out](const QStringList& fields) {
        const QByteArray text = line(fields);
        return out.write(text) == text.size();
    };
    if (!put(header))
        return false;

    const auto milliseconds = [](double seconds) {
        return std::isnan(seconds) ? QString() : QString::number(std::llround(seconds * 1000.0));
    };
    const auto decimals = [](double value, int places) {
        return std::isfinite(value) ? QString::number(value, 'f', places) : QString();
    };
    for (int f = 0; f < files.size(); ++f) {
        const FileImport& file = files.at(f);
        const FileAnalysis& analysed = analysis.files().at(f);
        const int fastest = LapTime::fastest(file.laps);
        for (int i = 0; i < file.laps.size(); ++i) {
            const ZEL::Lap& lap = *file.laps.at(i);
            const LapAnalysis& figures = analysed.laps.at(i);
            // A lap without a valid time has none here: the plugin's 59:59.000 would spoil an average.
            const int ms = figures.validTime ? LapTime::milliseconds(lap.lapTime()) : -1;
            QStringList row{field(file.path),
                            field(lapFiles.at(f).at(i)),
                            QString::number(i),
                            QString::number(lap.lapNumber()),
                            QString::number(lap.lapInRun()),
                            QString::number(lap.runNumber()),
                            QString::number(lap.lapStatus()),
                            LapKind::label(figures.kind),
                            QString::number(int(lap.completed())),
                            ms < 0 ? QString() : LapTime::text(lap.lapTime()),
                            ms < 0 ? QString() : QString::number(ms),
                            QString::number(int(i == fastest)),
                            QString::number(lap.sampleCount()),
                            QString::number(lap.sessionType()),
                            field(lap.trackName()),
                            field(lap.trackConfig()),
                            field(lap.carName()),
                            field(lap.driverName())};
            for (int k = 0; k < sectors; ++k)
                row.append(milliseconds(figures.sectorTimes.value(k, std::nan(""))));
            row << milliseconds(figures.deltaToReference) << decimals(figures.figures.topSpeed * 3.6, 1)
                << decimals(figures.figures.fuelUsed, 3);
            for (auto it = properties.cbegin(); it != properties.cend(); ++it)
                row.append(field(ValueText::property(lap.value(it.key()).value)));
            if (!put(row))
                return false;
        }
    }
    return true;
}
