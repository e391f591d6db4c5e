#pragma once

#include <QString>

/// (c) The full import through the plugin, loaded as the host loads it, in a process of its own
/// so that its peak memory is the import's and nothing else's.
class ImportProbe
{
public:
    struct Figures {
        qint64 nanoseconds = 0;  // importFile alone
        qint64 peakBytes = 0;    // the process's peak resident memory (getrusage)
        qint64 startBytes = 0;   // the same just before the import, with the plugin loaded
        int laps = 0;
        qint64 samples = 0;      // over all laps
        qint64 channelBytes = 0; // samples x channels x 8, summed over the laps
        bool ok = false;
    };

    /// The command-line switch that makes the benchmark run one probe and print its figures.
    static QString childSwitch() { return QStringLiteral("--import-child"); }

    /// Imports in this process and prints the figures on one line; the exit code of the child.
    static int runHere(const QString& path);
    /// Starts this program again with childSwitch() and reads back what it printed.
    static Figures runInChild(const QString& path);
};
