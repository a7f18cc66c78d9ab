#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "DownloadTask.h"
#include "platform/Event.h"

// Set by trawlix-cli's first Ctrl-C; every running job polls it before each page. Auto-reset: one stop
// ends the first job that sees it, and a stop set while nothing runs ends the next job before its first
// page. The desktop's stop command stops each running job itself (CDownloadJob::Stop).
extern CEvent g_stopDownloadEvent;

// Runs one download job to its end on the calling thread and reports every event to
// pTask->m_hNotifyWnd. pCancel, when given, ends this job like a stop (and aborts a transfer in
// progress); pStop, when given, is this job's own stop, taken like the stop event. Returns 0.
int DownloadWorker(CDownloadTask* pTask,
                   const std::atomic<bool>* pCancel = nullptr,
                   const std::atomic<bool>* pStop = nullptr);

// One download job on a thread of its own, over a copy of the task taken at Start.
class CDownloadJob
{
public:
    explicit CDownloadJob(const CDownloadTask& task);
    // Cancels the job and waits for its thread.
    ~CDownloadJob();
    CDownloadJob(const CDownloadJob&) = delete;
    CDownloadJob& operator=(const CDownloadJob&) = delete;

    void Start();
    // Stops the job after the page it is saving, as the stop event does, whatever other jobs run.
    // Safe from any thread.
    void Stop();
    // Ends the job like a stop: no page after the current one; a transfer in progress is aborted;
    // the summary is still reported. Safe from any thread.
    void Cancel();
    // Waits for the thread to end. Never call it on the thread that receives the job's events while
    // that receiver blocks on it.
    void Wait();
    bool IsFinished() const { return m_bFinished.load(); }
    // The job's own copy of the task (mode 1 stores the fetched top page's final address back into it).
    const CDownloadTask& Task() const { return m_task; }

private:
    CDownloadTask m_task;
    std::atomic<bool> m_bCancel{false};
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bFinished{false};
    std::thread m_thread;
};
