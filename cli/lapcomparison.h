#pragma once

#include "analysis/sessionanalysis.h"

#include <QString>
#include <QStringList>

/// Lap B against lap A: sector by sector, and the stretches of the lap where most time changed hands.
class LapComparison
{
public:
    /// The files that laps given as "FILE:LAP" name; they must be imported.
    static QStringList filesOf(const QStringList& laps);

    /// Finds the two laps ("LAP" or "FILE:LAP") among the analysed files; false with errorString().
    bool find(const SessionAnalysis& analysis, const QStringList& laps);
    QString errorString() const { return m_error; }

    const LapAnalysis* lapA() const { return m_laps[0]; }
    const LapAnalysis* lapB() const { return m_laps[1]; }
    /// Which file of the analysis holds lap A (0) or B (1).
    int fileOf(int which) const { return m_files[which]; }
    /// How the comparison names lap A (0) or B (1).
    QString label(int which) const;

    /// The comparison for the terminal.
    QString render() const;

private:

    const SessionAnalysis* m_analysis = nullptr;
    const LapAnalysis* m_laps[2] = {nullptr, nullptr};
    int m_files[2] = {-1, -1};
    QString m_error;
};
