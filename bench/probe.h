#pragma once

#include <QString>

/// One measurement, run in a process of its own so that no run finds memory that an earlier one
/// already faulted in, and so that the peak memory is that of the measured work alone. Every kind
/// runs with glibc's heap as configured by default, but the huge-page kinds, which run with the heap
/// on transparent huge pages and one arena (hugePageTunables()), a setting a user may opt in to.
class Probe
{
public:
    enum Kind {
        Read,   // (a) fread of every record
        Decode, // (b) every variable into one column of doubles each
        Import, // (c) importFile through the plugin, loaded as the host loads it, then (d) the lap analysis of its laps
        HugePageImport, // the same with the huge-page heap
        Batch,          // two imports of the file at once on two threads, as ibtimport runs a batch
        HugePageBatch,  // the same with the huge-page heap
        Json,           // (f) the import, then --json --with-channels of its laps into a file beside it
    };

    /// What the huge-page kinds add to GLIBC_TUNABLES: glibc gives huge pages to its main heap only,
    /// so the threads share that heap.
    static const char* hugePageTunables() { return "glibc.malloc.hugetlb=1:glibc.malloc.arena_max=1"; }

    struct Figures {
        qint64 nanoseconds = 0;  // the measured work alone, wall clock
        qint64 cpuNanoseconds = 0; // the same in processor time, user and system
        qint64 count = 0;        // records read, values decoded or laps imported
        qint64 peakBytes = 0;    // the process's peak resident memory (getrusage)
        qint64 startBytes = 0;   // the same just before the measured work (for (f): after the import)
        qint64 samples = 0;      // of all laps imported
        qint64 channelBytes = 0; // samples x channels x 8, summed over the laps imported
        qint64 analysisNanoseconds = 0;    // (d) of an import: the lap analysis of its laps, wall clock
        qint64 analysisCpuNanoseconds = 0; // the same in processor time
        qint64 reportNanoseconds = 0;      // (e) the report page of the analysed laps, wall clock
        qint64 reportCpuNanoseconds = 0;   // the same in processor time
        bool ok = false;
    };

    /// The command-line switch that makes the benchmark run one probe and print its figures.
    static QString childSwitch() { return QStringLiteral("--probe"); }

    /// Measures in this process and prints the figures on one line; the exit code of the child.
    static int runHere(int kind, const QString& path);
    /// Starts this program again with childSwitch() and reads back what it printed.
    static Figures run(Kind kind, const QString& path);
};
