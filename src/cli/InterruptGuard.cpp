#include "InterruptGuard.h"

namespace
{

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A lock-free atomic may be set in a signal handler.
std::atomic<bool> g_bInterrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void onInterrupt(int)
{
    g_bInterrupted.store(true);
}

} // namespace

CInterruptGuard::CInterruptGuard()
{
    g_bInterrupted.store(false);
    struct sigaction action
    {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kCount; ++i) {
        sigaction(kSignals[i], &action, &m_previous[i]);
    }
}

CInterruptGuard::~CInterruptGuard()
{
    for (int i = 0; i < kCount; ++i) {
        sigaction(kSignals[i], &m_previous[i], nullptr);
    }
}

const std::atomic<bool>* CInterruptGuard::Flag()
{
    return &g_bInterrupted;
}

bool CInterruptGuard::Interrupted()
{
    return g_bInterrupted.load();
}
