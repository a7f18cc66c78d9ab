#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include <QObject>

#include "download/DownloadMessages.h"

// The desktop side of a download job's events. The job calls OnDownloadMessage on its own thread;
// the call is handed to the thread this object lives on (the UI thread) and the job waits until the
// handler has run there, so the handler sees the events one by one, in order, while the job stands
// still. Release() ends the hand-over: a waiting job is woken at once and later events are dropped,
// so the UI thread can cancel and join a job without either side waiting on the other.
class CDownloadReceiver final : public QObject, public IDownloadNotify
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CDownloadReceiver)

public:
    // Runs on the UI thread, once per event.
    using Handler = std::function<void(unsigned nMessage, const std::string& strText, int nCode)>;

    explicit CDownloadReceiver(Handler handler, QObject* parent = nullptr);
    // Releases first; the job that reports here must have ended before the receiver is destroyed.
    ~CDownloadReceiver() override;

    void OnDownloadMessage(unsigned nMessage, const std::string& strText, int nCode) override;

    // Any thread.
    void Release();
    bool IsReleased() const;

private:
    struct Call
    {
        unsigned nMessage;
        std::string strText;
        int nCode;
        bool bDone = false;
    };

    void deliver(const std::shared_ptr<Call>& call);

    Handler m_handler;
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_bReleased = false;
};
