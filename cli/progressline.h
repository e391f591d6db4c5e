#pragma once

#include <QTextStream>

/// "Imported 3 of 7 files" on one line of the terminal, redrawn in place; silent when
/// stderr is not a terminal, so that logs and pipes get no carriage returns.
class ProgressLine
{
public:
    explicit ProgressLine(int total);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void show(int done);

private:
    QTextStream m_err;
    int m_total;
    bool m_enabled;
    int m_shown = -1;
    int m_width = 0;
};
