#include "jobs/DownloadReceiver.h"

#include <QThread>

CDownloadReceiver::CDownloadReceiver(Handler handler, QObject* parent)
    : QObject(parent)
    , m_handler(std::move(handler))
{}

CDownloadReceiver::~CDownloadReceiver()
{
    Release();
}

void CDownloadReceiver::OnDownloadMessage(unsigned nMessage, const std::string& strText, int nCode)
{
    auto call = std::make_shared<Call>(Call{nMessage, strText, nCode});
    if (QThread::currentThread() == thread()) {
        deliver(call);
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        if (m_bReleased) {
            return;
        }
    }
    // Queued to this object: a call still queued when the receiver is destroyed is dropped.
    QMetaObject::invokeMethod(
        this, [this, call] { deliver(call); }, Qt::QueuedConnection);
    std::unique_lock lock(m_mutex);
    m_cond.wait(lock, [&] { return call->bDone || m_bReleased; });
}

void CDownloadReceiver::deliver(const std::shared_ptr<Call>& call)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_bReleased) {
            return;
        }
    }
    // The handler may run a modal dialog; the job keeps waiting meanwhile, other jobs' events still come.
    if (m_handler) {
        m_handler(call->nMessage, call->strText, call->nCode);
    }
    {
        const std::lock_guard lock(m_mutex);
        call->bDone = true;
    }
    m_cond.notify_all();
}

void CDownloadReceiver::Release()
{
    {
        const std::lock_guard lock(m_mutex);
        m_bReleased = true;
    }
    m_cond.notify_all();
}

bool CDownloadReceiver::IsReleased() const
{
    const std::lock_guard lock(m_mutex);
    return m_bReleased;
}
