#include "cli/interruptguard.h"

namespace {

constexpr int guarded[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t caught = 0;

void remember(int signal)
{
    caught = signal;
}

} // namespace

InterruptGuard::InterruptGuard()
{
    static_assert(sizeof guarded / sizeof *guarded == signalCount, "one saved handler per signal");
    caught = 0;
    struct sigaction action = {};
    action.sa_handler = remember;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < signalCount; ++i) {
        // A signal the user chose to ignore (nohup) stays ignored.
        if (sigaction(guarded[i], nullptr, &m_previous[i]) == 0 && m_previous[i].sa_handler != SIG_IGN)
            sigaction(guarded[i], &action, nullptr);
    }
}

InterruptGuard::~InterruptGuard()
{
    for (int i = 0; i < signalCount; ++i)
        sigaction(guarded[i], &m_previous[i], nullptr);
    if (caught)
        std::raise(caught);
}

bool InterruptGuard::interrupted() const
{
    return caught != 0;
}
