#pragma once

#include <csignal>

/// While it lives, Ctrl-C, a terminate or a hang-up only raises a flag, so that the work in
/// progress can stop at a safe point and clean up; when it goes, the old handlers return and a
/// signal that came meanwhile is raised again, ending the process as it would have.
class InterruptGuard
{
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    bool interrupted() const;

private:
    static constexpr int signalCount = 3;
    struct sigaction m_previous[signalCount];
};
