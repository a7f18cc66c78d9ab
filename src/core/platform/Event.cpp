#include "Event.h"

#include <chrono>

CEvent::CEvent(bool bManualReset, bool bInitiallySet)
    : m_bManualReset(bManualReset)
    , m_bSet(bInitiallySet)
{}

void CEvent::SetEvent()
{
    {
        std::lock_guard lock(m_mutex);
        m_bSet = true;
    }
    if (m_bManualReset) {
        m_cond.notify_all();
    } else {
        m_cond.notify_one();
    }
}

void CEvent::ResetEvent()
{
    std::lock_guard lock(m_mutex);
    m_bSet = false;
}

bool CEvent::Wait(int nMilliseconds)
{
    std::unique_lock lock(m_mutex);
    auto signalled = [this] { return m_bSet; };
    bool bOk = true;
    if (nMilliseconds < 0) {
        m_cond.wait(lock, signalled);
    } else {
        bOk = m_cond.wait_for(lock, std::chrono::milliseconds(nMilliseconds), signalled);
    }
    if (bOk && !m_bManualReset) {
        m_bSet = false;
    }
    return bOk;
}
