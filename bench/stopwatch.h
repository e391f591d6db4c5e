#pragma once

#include <QElapsedTimer>

#include <sys/resource.h>

/// Wall-clock and processor time (user and system) since it was made.
class Stopwatch
{
public:
    Stopwatch() : m_cpu(processorNanoseconds()) { m_wall.start(); }

    qint64 wallNanoseconds() const { return m_wall.nsecsElapsed(); }
    qint64 cpuNanoseconds() const { return processorNanoseconds() - m_cpu; }

private:
    static qint64 processorNanoseconds()
    {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return (qint64(usage.ru_utime.tv_sec) + usage.ru_stime.tv_sec) * 1000000000
               + (qint64(usage.ru_utime.tv_usec) + usage.ru_stime.tv_usec) * 1000;
    }

    QElapsedTimer m_wall;
    qint64 m_cpu;
};
