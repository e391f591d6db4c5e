#pragma once

#include <QCommandLineParser>
#include <QSize>
#include <QString>
#include <QStringList>

/// What the command line asks for. Parsing needs no application object, so that the caller
/// can choose the kind of application (plots need a GUI one) from the result.
class Options
{
public:
    Options();

    /// False with errorString() on an unknown option or a malformed value.
    bool parse(const QStringList& arguments);
    QString errorString() const { return m_error; }
    /// Prints the help asked for (--help or --help-all) and ends the process; needs the
    /// application object.
    [[noreturn]] void showHelp();

    bool helpRequested = false;
    QStringList inputs;       // files and folders
    QString pluginPath;       // empty: next to the binary
    bool demo = false;        // generate the bundled sample and import it
    bool properties = false;
    bool channels = false;
    QString csvFolder;
    QString jsonPath;         // "-" for standard output
    bool withChannels = false;
    QString plotPath;
    QString reportPath;       // the session report's .html
    QSize plotSize{1200, 900};
    bool verbose = false;     // the plugin's progress messages for every file of a batch
    QStringList compare;      // two laps, "LAP" or "FILE:LAP"; empty when not asked for
    bool corners = false;     // the corner-by-corner debrief
    bool setup = false;       // the car setups
    QString library;          // an SQLite file or a postgresql:// URL; empty when not asked for
    bool add = false;         // store the inputs in the library
    bool bests = false;       // list the library's bests
    bool sessions = false;    // list the library's sessions
    QString track;            // filters of --bests and --sessions
    QString car;
    QString driver;
    QString referenceDriver;  // whose library best is the reference; "any" for anyone's

private:
    bool checkLibraryOptions();

    QCommandLineParser m_parser;
    QString m_error;
};
