#pragma once

#include <condition_variable>
#include <mutex>

// A small kernel-event look-alike: manual-reset events stay signalled until reset; auto-reset events
// release exactly one waiter (or one poll) and clear themselves.
class CEvent
{
public:
    explicit CEvent(bool bManualReset = false, bool bInitiallySet = false);
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    void SetEvent();
    void ResetEvent();
    // Waits up to nMilliseconds (negative: forever). True when the event was signalled; an auto-reset
    // event is consumed by a successful wait. A time-out of 0 is a poll.
    bool Wait(int nMilliseconds = -1);

private:
    std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_bManualReset;
    bool m_bSet;
};
