#pragma once

#include "analysis/sessionanalysis.h"

#include <QString>

/// The lap table of one file with what the analysis adds: sector times with the best of each
/// marked, the gap to the reference lap, top speed and fuel; under it the theoretical best, the
/// lap-time statistics and a legend of what the marks and kinds mean.
class LapTable
{
public:
    LapTable(const SessionAnalysis& analysis, int file) : m_analysis(analysis), m_file(file) {}

    QString render() const;

private:
    QString renderSummary() const;

    const SessionAnalysis& m_analysis;
    int m_file;
};
