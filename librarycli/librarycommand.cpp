#include "librarycli/librarycommand.h"

#include "cli/importcommand.h"
#include "cli/laptime.h"
#include "cli/options.h"
#include "cli/parallelimporter.h"
#include "cli/terminaltext.h"
#include "cli/texttable.h"
#include "library/laplibrary.h"
#include "library/libraryqueries.h"
#include "librarycli/libraryadder.h"
#include "librarycli/libraryreferences.h"
#include "output/outputfile.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

QString timeText(qint64 ms)
{
    return ms < 0 ? QString() : LapTime::text(ms / 1000.0);
}

QJsonValue msValue(qint64 ms)
{
    return ms < 0 ? QJsonValue() : QJsonValue(ms);
}

QJsonValue textValue(const QString& text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

/// "2024-05-25T13:30:00Z" as "2024-05-25 13:30".
QString dateText(const QString& iso)
{
    return iso.left(16).replace(QLatin1Char('T'), QLatin1Char(' '));
}

LibraryFilter filterOf(const Options& options)
{
    return {options.track, options.car, options.driver};
}

} // namespace

LibraryCommand::LibraryCommand(const Options& options, QTextStream& out, QTextStream& err)
    : m_options(options), m_out(out), m_err(err)
{
}

LibraryCommand::~LibraryCommand() = default;

void LibraryCommand::printCounts(const LapLibrary& library, int added, int unchanged, int failed, int laps)
{
    m_out << "Library " << TerminalText::printable(library.location().displayName()) << ": " << added << " added, "
          << unchanged << " unchanged, " << failed << " failed, " << laps << " laps\n";
    m_out.flush();
}

bool LibraryCommand::attachReferences(QVector<FileImport>& files, QVector<SessionAnalysis::Input>& inputs)
{
    m_library = std::make_unique<LapLibrary>();
    if (!open(*m_library))
        return false;
    LibraryReferences references(*m_library, m_options.referenceDriver);
    if (references.attach(files, inputs))
        return true;
    error(references.errorString());
    return false;
}

CornerLookup LibraryCommand::storedCorners()
{
    if (!m_library)
        return {};
    if (!m_queries)
        m_queries = std::make_unique<LibraryQueries>(*m_library);
    return [this](const QString& track, const QString& config) {
        CornerNumbering numbering;
        if (!m_queries->cornerNumbering(track, config, numbering))
            error(m_queries->errorString());
        return numbering;
    };
}

void LibraryCommand::reportCorners(const FileAnalysis& file)
{
    if (file.refusedNumberingLength > 0.0)
        error(QStringLiteral("warning: %1: the library's corner numbering of %2 was found on laps of %3 m, these "
                             "measure %4 m: corners found afresh, none reused")
                  .arg(file.path, file.trackName)
                  .arg(file.refusedNumberingLength, 0, 'f', 0)
                  .arg(file.trackLength, 0, 'f', 0));
}

int LibraryCommand::store(const QVector<FileImport>& files, const SessionAnalysis& analysis)
{
    if (!m_library)
        return ImportCommand::BadInput;
    LibraryAdder adder(*m_library);
    int unreadable = 0;
    for (int i = 0; i < files.size() && !files.at(i).fromLibrary; ++i) {
        FileFingerprint file;
        file.path = files.at(i).path;
        const LibraryWriter::Need need = adder.check(file);
        if (need == LibraryWriter::Need::Refused
            || (need == LibraryWriter::Need::Import && !adder.add(file, files.at(i), analysis.files().at(i)))) {
            error(adder.errorString());
            return ImportCommand::ExportFailed;
        }
        if (need == LibraryWriter::Need::Error) {
            error(adder.errorString());
            ++unreadable;
        }
    }
    m_out << '\n';
    printCounts(*m_library, adder.added(), adder.unchanged(), adder.failed() + unreadable, adder.laps());
    return ImportCommand::Success;
}

void LibraryCommand::error(const QString& text)
{
    m_out.flush();
    m_err << "ibtimport: " << TerminalText::printable(text) << Qt::endl;
}

bool LibraryCommand::open(LapLibrary& library)
{
    LibraryLocation location;
    QString problem;
    if (!LibraryLocation::parse(m_options.library, location, problem) || !library.open(location)) {
        error(problem.isEmpty() ? library.errorString() : problem);
        return false;
    }
    return true;
}

bool LibraryCommand::writeJson(const QJsonDocument& json)
{
    m_out.flush();
    const QByteArray bytes = json.toJson(QJsonDocument::Indented);
    OutputFile file(m_options.jsonPath);
    if (!file.open() || file.write(bytes) != bytes.size() || !file.commit()) {
        error(file.failure());
        return false;
    }
    return true;
}

int LibraryCommand::add(ZelPluginInterfaceImport& plugin, const QStringList& paths)
{
    m_library = std::make_unique<LapLibrary>();
    LapLibrary& library = *m_library;
    if (!open(library))
        return ImportCommand::BadInput;
    LibraryAdder adder(library);
    QVector<FileFingerprint> pending;
    QStringList pendingPaths;
    int unreadable = 0;
    for (const QString& path : paths) {
        FileFingerprint file;
        file.path = path;
        switch (adder.check(file)) {
        case LibraryWriter::Need::Import:
            pending.append(file);
            pendingPaths.append(file.path);
            break;
        case LibraryWriter::Need::Unchanged:
            break;
        case LibraryWriter::Need::Error:
            error(adder.errorString());
            ++unreadable;
            break;
        case LibraryWriter::Need::Refused:
            error(adder.errorString());
            return ImportCommand::ExportFailed;
        }
    }

    bool stored = true;
    ParallelImporter(plugin).importEach(pendingPaths, [&](int index, FileImport& file) {
        if (!stored)
            return; // the library refused a file: the rest would fail the same way
        const SessionAnalysis analysis({{file.path, file.laps}}, storedCorners());
        reportCorners(analysis.files().first());
        if (file.failed()) {
            for (const PluginMessage& message : qAsConst(file.messages)) {
                if (message.verbose < 0)
                    error(QStringLiteral("%1: %2").arg(file.path, message.text.trimmed()));
            }
        }
        stored = adder.add(pending.at(index), file, analysis.files().first());
    });
    if (!stored) {
        error(adder.errorString());
        return ImportCommand::ExportFailed;
    }

    printCounts(library, adder.added(), adder.unchanged(), adder.failed() + unreadable, adder.laps());
    QJsonObject counts = adder.counts();
    counts.insert(QStringLiteral("failed"), adder.failed() + unreadable);
    if (!m_options.jsonPath.isEmpty() && !writeJson(QJsonDocument(counts)))
        return ImportCommand::ExportFailed;
    return adder.failed() + unreadable > 0 ? ImportCommand::ImportFailed : ImportCommand::Success;
}

int LibraryCommand::bests()
{
    LapLibrary library;
    if (!open(library))
        return ImportCommand::BadInput;
    LibraryQueries queries(library);
    QVector<LibraryBest> bests;
    if (!queries.bests(filterOf(m_options), bests)) {
        error(queries.errorString());
        return ImportCommand::BadInput;
    }
    TextTable table({QStringLiteral("Track"), QStringLiteral("Config"), QStringLiteral("Car"), QStringLiteral("Driver"),
                     QStringLiteral("Best"), QStringLiteral("Theoretical"), QStringLiteral("Valid laps"),
                     QStringLiteral("Sessions"), QStringLiteral("Recorded"), QStringLiteral("Lap"),
                     QStringLiteral("File")},
                    {TextTable::Left, TextTable::Left, TextTable::Left, TextTable::Left, TextTable::Right,
                     TextTable::Right, TextTable::Right, TextTable::Right, TextTable::Left, TextTable::Right,
                     TextTable::Left});
    QJsonArray array;
    for (const LibraryBest& best : qAsConst(bests)) {
        table.addRow({best.track, best.config, best.car, best.driver, timeText(best.bestLapMs),
                      timeText(best.theoreticalBestMs), QString::number(best.validLaps), QString::number(best.sessions),
                      dateText(best.recordedAt), QString::number(best.lapNumber), best.path});
        array.append(QJsonObject{
            {QStringLiteral("track"), best.track},
            {QStringLiteral("config"), best.config},
            {QStringLiteral("car"), best.car},
            {QStringLiteral("driver"), best.driver},
            {QStringLiteral("bestLapMs"), best.bestLapMs},
            {QStringLiteral("theoreticalBestMs"), msValue(best.theoreticalBestMs)},
            {QStringLiteral("validLaps"), best.validLaps},
            {QStringLiteral("sessions"), best.sessions},
            {QStringLiteral("bestLap"), QJsonObject{{QStringLiteral("path"), best.path},
                                                    {QStringLiteral("lapNumber"), best.lapNumber},
                                                    {QStringLiteral("recordedAt"), textValue(best.recordedAt)}}}});
    }
    if (bests.isEmpty())
        m_out << "No laps with a valid time in the library match.\n";
    else
        m_out << table.render();
    m_out.flush();
    if (!m_options.jsonPath.isEmpty() && !writeJson(QJsonDocument(QJsonObject{{QStringLiteral("bests"), array}})))
        return ImportCommand::ExportFailed;
    return ImportCommand::Success;
}

int LibraryCommand::sessions()
{
    LapLibrary library;
    if (!open(library))
        return ImportCommand::BadInput;
    LibraryQueries queries(library);
    QVector<LibrarySession> sessions;
    if (!queries.sessions(filterOf(m_options), sessions)) {
        error(queries.errorString());
        return ImportCommand::BadInput;
    }
    TextTable table({QStringLiteral("Recorded"), QStringLiteral("Track"), QStringLiteral("Config"), QStringLiteral("Car"),
                     QStringLiteral("Driver"), QStringLiteral("Session"), QStringLiteral("Laps"), QStringLiteral("Valid"),
                     QStringLiteral("Best"), QStringLiteral("Lap"), QStringLiteral("File")},
                    {TextTable::Left, TextTable::Left, TextTable::Left, TextTable::Left, TextTable::Left, TextTable::Left,
                     TextTable::Right, TextTable::Right, TextTable::Right, TextTable::Right, TextTable::Left});
    QJsonArray array;
    for (const LibrarySession& session : qAsConst(sessions)) {
        const QString file = session.error.isEmpty() ? session.path
                                                     : QStringLiteral("%1 (%2)").arg(session.path, session.error);
        table.addRow({dateText(session.recordedAt), session.track, session.config, session.car, session.driver,
                      session.sessionName, QString::number(session.laps), QString::number(session.validLaps),
                      timeText(session.bestLapMs),
                      session.bestLapNumber < 0 ? QString() : QString::number(session.bestLapNumber), file});
        array.append(QJsonObject{
            {QStringLiteral("path"), session.path},
            {QStringLiteral("recordedAt"), textValue(session.recordedAt)},
            {QStringLiteral("track"), session.track},
            {QStringLiteral("config"), session.config},
            {QStringLiteral("car"), session.car},
            {QStringLiteral("driver"), session.driver},
            {QStringLiteral("sessionName"), session.sessionName},
            {QStringLiteral("laps"), session.laps},
            {QStringLiteral("validLaps"), session.validLaps},
            {QStringLiteral("bestLapMs"), msValue(session.bestLapMs)},
            {QStringLiteral("bestLapNumber"), session.bestLapNumber < 0 ? QJsonValue() : QJsonValue(session.bestLapNumber)},
            {QStringLiteral("error"), textValue(session.error)}});
    }
    if (sessions.isEmpty())
        m_out << "No sessions in the library match.\n";
    else
        m_out << table.render();
    m_out.flush();
    if (!m_options.jsonPath.isEmpty() && !writeJson(QJsonDocument(QJsonObject{{QStringLiteral("sessions"), array}})))
        return ImportCommand::ExportFailed;
    return ImportCommand::Success;
}
