#include "cli/options.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <cstdlib>

namespace {

const QString pluginName = QStringLiteral("plugin");
const QString demoName = QStringLiteral("demo");
const QString propertiesName = QStringLiteral("properties");
const QString channelsName = QStringLiteral("channels");
const QString csvName = QStringLiteral("csv");
const QString jsonName = QStringLiteral("json");
const QString withChannelsName = QStringLiteral("with-channels");
const QString plotName = QStringLiteral("plot");
const QString plotSizeName = QStringLiteral("plot-size");
const QString verboseName = QStringLiteral("verbose");
const QString compareName = QStringLiteral("compare");
const QString cornersName = QStringLiteral("corners");
const QString setupName = QStringLiteral("setup");
const QString reportName = QStringLiteral("report");
const QString libraryName = QStringLiteral("library");
const QString addName = QStringLiteral("add");
const QString bestsName = QStringLiteral("bests");
const QString sessionsName = QStringLiteral("sessions");
const QString trackName = QStringLiteral("track");
const QString carName = QStringLiteral("car");
const QString driverName = QStringLiteral("driver");
const QString referenceDriverName = QStringLiteral("reference-driver");

// Beyond this a PNG needs hundreds of megabytes and says nothing more.
constexpr int maxPlotSide = 10000;
constexpr int minPlotSide = 200;

} // namespace

Options::Options()
{
    m_parser.setApplicationDescription(
        QStringLiteral("Imports iRacing .ibt telemetry files through the ZEL import plugin and shows their laps.\n"
                       "Several files or folders are imported in parallel.\n\n"
                       "Exit status: 0 all imported, 1 the plugin reported an error, 2 bad arguments or\n"
                       "inputs, 3 an export could not be written."));
    m_parser.addHelpOption();
    m_parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral(".ibt files, or folders holding them."),
                                   QStringLiteral("[files or folders...]"));
    m_parser.addOptions({
        {pluginName, QStringLiteral("Load the plugin from <path> instead of next to this binary."),
         QStringLiteral("path")},
        {demoName, QStringLiteral("Generate the bundled sample session and import it.")},
        {propertiesName, QStringLiteral("List each lap's properties with their units.")},
        {channelsName, QStringLiteral("List the channels with unit, minimum and maximum.")},
        {csvName, QStringLiteral("Write one CSV per lap and laps.csv into <folder>."), QStringLiteral("folder")},
        {jsonName, QStringLiteral("Write the summary as JSON to <file> (- for standard output)."),
         QStringLiteral("file")},
        {withChannelsName, QStringLiteral("Include the channel values in the JSON.")},
        {plotName,
         QStringLiteral("Plot a lap against its reference over the lap distance (speed, throttle and brake, gear, "
                        "steering, time delta) with the track map into <file> (.png or .svg); with several inputs one "
                        "plot per input, named <file> with the input's name appended."),
         QStringLiteral("file")},
        {plotSizeName, QStringLiteral("Size of the plot in pixels (default 1200x900)."), QStringLiteral("WxH")},
        {verboseName, QStringLiteral("Show the plugin's progress messages for every file of a batch (errors always "
                                     "show).")},
        {cornersName,
         QStringLiteral("Corner by corner: braking point, entry, minimum and exit speed, throttle pick-up and time "
                        "against the reference, for the compared lap or each lap with a valid time.")},
        {setupName, QStringLiteral("Show the car setup of each recording; files of one car side by side, differences "
                                   "first.")},
        {compareName,
         QStringLiteral("Compare lap B with lap A sector by sector and show where time changed hands. A lap is its "
                        "number, or FILE:NUMBER for a lap of another file (imported too). With --plot, plot these two "
                        "laps."),
         QStringLiteral("A,B")},
        {reportName,
         QStringLiteral("Write the session report, one interactive page for all inputs, into <file> (.html)."),
         QStringLiteral("file")},
        {libraryName,
         QStringLiteral("Use the lap library <db>: an SQLite file (created when missing) or "
                        "postgresql://[user[:password]@][host][:port]/dbname[?host=/socket/dir]. With files, each "
                        "file's reference is the library's best lap of its track, layout and car by its driver."),
         QStringLiteral("db")},
        {addName, QStringLiteral("Store the files or folders in the library (unchanged files are skipped).")},
        {bestsName, QStringLiteral("List the library's bests per track, layout, car and driver.")},
        {sessionsName, QStringLiteral("List the library's sessions by date with their best laps.")},
        {trackName, QStringLiteral("With --bests or --sessions: only tracks whose name contains <text>."),
         QStringLiteral("text")},
        {carName, QStringLiteral("With --bests or --sessions: only cars whose name contains <text>."),
         QStringLiteral("text")},
        {driverName, QStringLiteral("With --bests or --sessions: only drivers whose name contains <text>."),
         QStringLiteral("text")},
        {referenceDriverName,
         QStringLiteral("Compare with the library's best of this driver instead (any: the fastest anyone drove)."),
         QStringLiteral("name")},
    });
}

void Options::showHelp()
{
    // The parser prints either help and exits.
    m_parser.process(QCoreApplication::arguments());
    std::exit(0);
}

bool Options::parse(const QStringList& arguments)
{
    if (!m_parser.parse(arguments)) {
        m_error = m_parser.errorText();
        return false;
    }
    helpRequested = m_parser.isSet(QStringLiteral("help")) || m_parser.isSet(QStringLiteral("help-all"));
    inputs = m_parser.positionalArguments();
    pluginPath = m_parser.value(pluginName);
    demo = m_parser.isSet(demoName);
    properties = m_parser.isSet(propertiesName);
    channels = m_parser.isSet(channelsName);
    csvFolder = m_parser.value(csvName);
    jsonPath = m_parser.value(jsonName);
    withChannels = m_parser.isSet(withChannelsName);
    plotPath = m_parser.value(plotName);
    reportPath = m_parser.value(reportName);
    verbose = m_parser.isSet(verboseName);
    corners = m_parser.isSet(cornersName);
    setup = m_parser.isSet(setupName);

    if (m_parser.isSet(compareName)) {
        // The split is at the last comma before the second lap, so a file name may hold commas;
        // blanks after the comma are what people type.
        static const QRegularExpression pair(QStringLiteral("^((?:.+:)?\\d+),\\s*((?:.+:)?\\d+)$"));
        const QRegularExpressionMatch match = pair.match(m_parser.value(compareName));
        if (!match.hasMatch()) {
            m_error = QStringLiteral("--compare wants two laps A,B, each a lap number or FILE:NUMBER");
            return false;
        }
        compare = QStringList{match.captured(1), match.captured(2)};
    }

    library = m_parser.value(libraryName);
    add = m_parser.isSet(addName);
    bests = m_parser.isSet(bestsName);
    sessions = m_parser.isSet(sessionsName);
    track = m_parser.value(trackName);
    car = m_parser.value(carName);
    driver = m_parser.value(driverName);
    referenceDriver = m_parser.value(referenceDriverName);
    if (!checkLibraryOptions())
        return false;

    if (withChannels && jsonPath.isEmpty()) {
        m_error = QStringLiteral("--with-channels needs --json");
        return false;
    }
    if (m_parser.isSet(plotSizeName)) {
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$")).match(m_parser.value(plotSizeName));
        const QSize size = match.hasMatch() ? QSize(match.captured(1).toInt(), match.captured(2).toInt()) : QSize();
        if (size.width() < minPlotSide || size.height() < minPlotSide || size.width() > maxPlotSide
            || size.height() > maxPlotSide) {
            m_error = QStringLiteral("--plot-size wants WIDTHxHEIGHT, each from %1 to %2 pixels")
                          .arg(minPlotSide)
                          .arg(maxPlotSide);
            return false;
        }
        plotSize = size;
    }
    return true;
}

bool Options::checkLibraryOptions()
{
    const bool filtered = m_parser.isSet(trackName) || m_parser.isSet(carName) || m_parser.isSet(driverName);
    if (library.isEmpty() && (add || bests || sessions || m_parser.isSet(referenceDriverName))) {
        m_error = QStringLiteral("--add, --bests, --sessions and --reference-driver need --library");
    } else if (int(add) + int(bests) + int(sessions) > 1) {
        m_error = QStringLiteral("--add, --bests and --sessions go one at a time");
    } else if (filtered && !bests && !sessions) {
        m_error = QStringLiteral("--track, --car and --driver filter --bests or --sessions");
    } else if ((bests || sessions) && (!inputs.isEmpty() || demo)) {
        m_error = QStringLiteral("--bests and --sessions take no files");
    } else if (add && inputs.isEmpty() && !demo) {
        m_error = QStringLiteral("--add wants files or folders");
    } else {
        return true;
    }
    return false;
}
