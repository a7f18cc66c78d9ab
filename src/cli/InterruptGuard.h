#pragma once

#include <atomic>
#include <csignal>

// While a book is built, Ctrl-C, a termination request or a hang-up (SIGINT, SIGTERM, SIGHUP) only set
// a flag the build checks, so the build stops by itself and removes its working folder and temporary
// book before the command gives up. One guard at a time; the previous handlers come back with its end.
class CInterruptGuard
{
public:
    CInterruptGuard();
    ~CInterruptGuard();
    CInterruptGuard(const CInterruptGuard&) = delete;
    CInterruptGuard& operator=(const CInterruptGuard&) = delete;

    // Set once a signal has come.
    static const std::atomic<bool>* Flag();
    static bool Interrupted();

private:
    static constexpr int kCount = 3;
    struct sigaction m_previous[kCount]
    {};
};
