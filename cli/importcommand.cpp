#include "cli/importcommand.h"

#include "cli/csvexport.h"
#include "cli/inputfiles.h"
#include "cli/jsonreport.h"
#include "cli/lapcomparison.h"
#include "plot/lapplot.h"
#include "cli/options.h"
#include "cli/parallelimporter.h"
#include "plot/plotfile.h"
#include "cli/pluginhost.h"
#include "cli/reportprinter.h"
#include "cli/samplefile.h"
#include "output/outputfile.h"
#include "cli/terminaltext.h"
#include "debrief/cornertable.h"
#include "debrief/setupsheet.h"
#include "librarycli/librarycommand.h"
#include "report/reportpage.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

namespace {

/// With several inputs each gets its own plot: "laps.png" becomes "laps-<stem of the input>.png".
QString plotPathFor(const QString& plotPath, const QString& stem, bool several)
{
    if (!several)
        return plotPath;
    const QFileInfo plot(plotPath);
    return plot.dir().filePath(QStringLiteral("%1-%2.%3").arg(plot.completeBaseName(), stem, plot.suffix()));
}

/// The files of the run without the library's bests, which come after them.
QVector<FileImport> givenFiles(const QVector<FileImport>& files)
{
    int given = 0;
    while (given < files.size() && !files.at(given).fromLibrary)
        ++given;
    return files.mid(0, given);
}

} // namespace

ImportCommand::ImportCommand(const Options& options)
    : m_options(options), m_out(options.jsonPath == QLatin1String("-") ? stderr : stdout), m_err(stderr)
{
}

void ImportCommand::error(const QString& text)
{
    m_out.flush();
    m_err << "ibtimport: " << TerminalText::printable(text) << Qt::endl;
}

int ImportCommand::run()
{
    if (m_options.bests)
        return LibraryCommand(m_options, m_out, m_err).bests();
    if (m_options.sessions)
        return LibraryCommand(m_options, m_out, m_err).sessions();
    PluginHost host;
    if (!host.load(m_options.pluginPath)) {
        error(host.errorString());
        return BadInput;
    }
    QStringList paths;
    if (!collectInputs(paths))
        return BadInput;
    if (paths.isEmpty()) {
        printPluginInfo(*host.plugin());
        return Success;
    }
    if (const ExitCode refused = checkOutputs(paths))
        return refused;
    // Adding alone stores as the imports come; with outputs that compare, the run compares first.
    LibraryCommand library(m_options, m_out, m_err);
    const bool compares = !m_options.reportPath.isEmpty() || !m_options.plotPath.isEmpty()
                          || !m_options.compare.isEmpty() || !m_options.csvFolder.isEmpty();
    if (m_options.add && !compares)
        return library.add(*host.plugin(), paths);

    QVector<FileImport> files = ParallelImporter(*host.plugin()).importAll(paths);
    QVector<SessionAnalysis::Input> inputs;
    for (const FileImport& file : qAsConst(files))
        inputs.append({file.path, file.laps});
    if (!m_options.library.isEmpty() && !library.attachReferences(files, inputs))
        return BadInput;
    const SessionAnalysis analysis(inputs, library.storedCorners());
    for (int f = 0; f < files.size() && !files.at(f).fromLibrary; ++f)
        library.reportCorners(analysis.files().at(f));
    printReport(files, analysis);
    LapComparison comparison;
    if (!m_options.compare.isEmpty()) {
        if (!comparison.find(analysis, m_options.compare)) {
            error(comparison.errorString());
            return BadInput;
        }
        if (!comparison.warning().isEmpty())
            error(QStringLiteral("warning: ") + comparison.warning());
        m_out << '\n' << comparison.render();
        m_out.flush();
    }
    printDebrief(files, analysis, m_options.compare.isEmpty() ? nullptr : &comparison);
    if (!writeExports(files, analysis))
        return ExportFailed;
    if (m_options.add) {
        const int stored = library.store(files, analysis);
        if (stored != Success)
            return stored;
    }
    const bool failed = std::any_of(files.cbegin(), files.cend(), [](const FileImport& file) { return file.failed(); });
    return failed ? ImportFailed : Success;
}

void ImportCommand::printDebrief(const QVector<FileImport>& files, const SessionAnalysis& analysis,
                                 const LapComparison* comparison)
{
    if (m_options.corners && comparison) {
        m_out << '\n'
              << CornerTable::renderComparison(*comparison->lapA(), comparison->label(0), *comparison->lapB(),
                                               comparison->label(1), analysis.files().at(comparison->fileOf(1)).corners);
    } else if (m_options.corners) {
        for (int f = 0; f < files.size(); ++f) {
            m_out << '\n';
            if (files.size() > 1)
                m_out << TerminalText::printable(QDir::toNativeSeparators(files.at(f).path)) << ":\n";
            m_out << CornerTable::renderFile(analysis, f);
        }
    }
    if (m_options.setup) {
        QStringList cars, names;
        for (int f = 0; f < files.size(); ++f) {
            cars << analysis.files().at(f).info.carName();
            names << QFileInfo(files.at(f).path).fileName();
        }
        m_out << '\n' << SetupSheet::render(analysis, cars, names);
    }
    m_out.flush();
}

bool ImportCommand::collectInputs(QStringList& paths)
{
    InputFiles inputs;
    if (!inputs.expand(m_options.inputs)) {
        for (const QString& line : inputs.errors())
            error(line);
        return false;
    }
    paths = inputs.paths();
    // A lap to compare may come from a file not named otherwise; a mistake in one costs no import.
    for (const QString& file : LapComparison::filesOf(m_options.compare)) {
        if (!paths.contains(file) && !paths.contains(QFileInfo(file).filePath()))
            paths.append(file);
    }
    const QStringList all = m_options.demo ? paths + QStringList{SampleFile::defaultPath()} : paths;
    const QString badCompare = LapComparison::checkBeforeImport(m_options.compare, all);
    if (!badCompare.isEmpty()) {
        error(badCompare);
        return false;
    }
    if (m_options.demo) {
        SampleFile sample;
        const QString path = SampleFile::defaultPath();
        if (!sample.write(path)) {
            error(sample.errorString());
            return false;
        }
        m_out << "Sample session written to " << QDir::toNativeSeparators(path) << "\n\n";
        paths.prepend(path);
    }
    return true;
}

QString ImportCommand::reportPath() const
{
    return m_options.reportPath.isEmpty() && m_options.demo ? SampleFile::reportPath() : m_options.reportPath;
}

ImportCommand::ExitCode ImportCommand::checkOutputs(const QStringList& inputs)
{
    // Refused before any work, so that a typo costs no import.
    if (!m_options.plotPath.isEmpty()) {
        const QString problem = PlotFile::formatError(m_options.plotPath);
        if (!problem.isEmpty()) {
            error(problem);
            return BadInput;
        }
    }
    // An export never replaces a recording, however the two names are spelt.
    QVector<QPair<QString, QString>> outputs{{QStringLiteral("--json"), m_options.jsonPath},
                                             {QStringLiteral("--report"), reportPath()}};
    if (!m_options.plotPath.isEmpty()) {
        const QStringList stems = FileImport::uniqueStems(inputs);
        for (const QString& stem : stems)
            outputs.append({QStringLiteral("--plot"), plotPathFor(m_options.plotPath, stem, inputs.size() > 1)});
    }
    for (const auto& output : outputs) {
        const QString input = output.second.isEmpty() ? QString() : OutputFile::inputNamedBy(output.second, inputs);
        if (!input.isEmpty()) {
            error(QStringLiteral("%1 %2 is the input %3: an export never replaces an input").arg(output.first, output.second, input));
            return BadInput;
        }
    }
    if (!m_options.csvFolder.isEmpty()) {
        const QString folder = QFileInfo(m_options.csvFolder).canonicalFilePath();
        for (const QString& input : inputs) {
            const QFileInfo file(input);
            if (!folder.isEmpty() && file.canonicalPath() == folder
                && file.suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0) {
                error(QStringLiteral("--csv %1 holds the input %2: an export never replaces an input")
                          .arg(m_options.csvFolder, input));
                return BadInput;
            }
        }
    }
    if (!m_options.csvFolder.isEmpty()) {
        CsvExport csv;
        if (!csv.prepare(m_options.csvFolder)) {
            error(csv.errorString());
            return ExportFailed;
        }
    }
    return Success;
}

void ImportCommand::printPluginInfo(ZelPluginInterfaceImport& plugin)
{
    m_out << "Plugin:    " << plugin.pluginName() << '\n'
          << "Simulator: " << plugin.simulatorName() << '\n'
          << "Version:   " << plugin.version() << '\n'
          << "Formats:   " << plugin.formats().join(QStringLiteral(", ")) << "\n\n"
          << "Give .ibt files or folders to import them, or --demo for the bundled sample (see --help).\n";
}

void ImportCommand::printReport(const QVector<FileImport>& files, const SessionAnalysis& analysis)
{
    ReportPrinter printer(m_out, m_err);
    printer.setShowProperties(m_options.properties);
    printer.setShowChannels(m_options.channels);
    // One file's progress is short; a batch's would bury the tables.
    const QVector<FileImport> given = givenFiles(files);
    printer.setShowProgress(m_options.verbose || given.size() == 1);
    for (int i = 0; i < given.size(); ++i) {
        if (i > 0)
            m_out << '\n';
        printer.printFile(given.at(i), analysis, i);
    }
    if (given.size() > 1) {
        m_out << '\n';
        printer.printBestLaps(given, analysis);
    }
    m_out.flush();
}

bool ImportCommand::writeExports(const QVector<FileImport>& files, const SessionAnalysis& analysis)
{
    bool written = true;
    if (!m_options.csvFolder.isEmpty()) {
        CsvExport csv;
        if (!csv.prepare(m_options.csvFolder) || !csv.write(givenFiles(files), analysis)) {
            error(csv.errorString());
            written = false;
        }
    }
    if (!m_options.jsonPath.isEmpty()) {
        JsonReport json(m_options.withChannels);
        if (!json.write(files, analysis, m_options.jsonPath)) {
            error(json.errorString());
            written = false;
        }
    }
    const QString report = reportPath();
    if (!report.isEmpty()) {
        ReportPage page;
        if (page.write(report, JsonReport(false).text(files, analysis), analysis)) {
            m_out << "\nSession report written to " << TerminalText::printable(QDir::toNativeSeparators(report))
                  << " (open it in a browser)\n";
        } else {
            error(page.errorString());
            written = false;
        }
    }
    return writePlots(files, analysis) && written;
}

bool ImportCommand::writePlots(const QVector<FileImport>& files, const SessionAnalysis& analysis)
{
    if (m_options.plotPath.isEmpty())
        return true;
    const auto write = [this](LapPlot plot, const QString& path) {
        PlotFile output;
        if (!output.write(plot, path, m_options.plotSize)) {
            error(output.errorString());
            return false;
        }
        return true;
    };
    // A comparison gets the one plot of its two laps.
    LapComparison comparison;
    if (!m_options.compare.isEmpty() && comparison.find(analysis, m_options.compare))
        return write(LapPlot(analysis, *comparison.lapA(), *comparison.lapB()), m_options.plotPath);
    const QVector<FileImport> given = givenFiles(files);
    const QStringList stems = FileImport::uniqueStems(given);
    for (int i = 0; i < given.size(); ++i) {
        if (!write(LapPlot(analysis, i), plotPathFor(m_options.plotPath, stems.at(i), given.size() > 1)))
            return false;
    }
    return true;
}
