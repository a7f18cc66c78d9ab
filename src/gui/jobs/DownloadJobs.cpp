#include "jobs/DownloadJobs.h"

#include <algorithm>
#include <cstdlib>

#include "common/Text.h"
#include "download/DownloadLog.h"
#include "download/DownloadWorker.h"
#include "jobs/DownloadReceiver.h"
#include "platform/Files.h"
#include "update/ProjectRecord.h"

CDownloadJobs::RunningJob::~RunningJob()
{
    // The receiver goes first, so a job waiting on it is free to end; then the job's thread is joined.
    if (receiver) {
        receiver->Release();
    }
    job.reset();
    receiver.reset();
}

CDownloadJobs::CDownloadJobs(QObject* parent)
    : QObject(parent)
{
    m_reapTimer.setInterval(200);
    connect(&m_reapTimer, &QTimer::timeout, this, &CDownloadJobs::Reap);
}

CDownloadJobs::~CDownloadJobs()
{
    Shutdown();
}

CDownloadTask& CDownloadJobs::AddTask(std::uintptr_t key, const QString& strProjectName)
{
    auto task = std::make_unique<CDownloadTask>();
    task->m_strProjectName = fromQ(strProjectName);
    task->m_hProjectItem = key;
    task->m_nAddCount = 0;
    CDownloadTask& result = *task;
    m_tasks[key] = std::move(task);
    return result;
}

CDownloadTask* CDownloadJobs::TaskFor(std::uintptr_t key) const
{
    const auto it = m_tasks.find(key);
    return it == m_tasks.end() ? nullptr : it->second.get();
}

void CDownloadJobs::RemoveProjects(const std::vector<std::uintptr_t>& keys)
{
    for (const std::uintptr_t key : keys) {
        cancelJob(key);
        m_tasks.erase(key);
    }
}

bool CDownloadJobs::IsDownloading(std::uintptr_t key) const
{
    const auto it = m_jobs.find(key);
    return it != m_jobs.end() && !it->second->job->IsFinished();
}

bool CDownloadJobs::IsAnyDownloading() const
{
    return std::any_of(m_jobs.begin(), m_jobs.end(),
                       [](const auto& entry) { return !entry.second->job->IsFinished(); });
}

void CDownloadJobs::StopAll()
{
    for (const auto& entry : m_jobs) {
        entry.second->job->Stop();
    }
}

int CDownloadJobs::JobCount() const
{
    return static_cast<int>(m_jobs.size() + m_endingJobs.size());
}

bool CDownloadJobs::Start(std::uintptr_t key)
{
    CDownloadTask* pTask = TaskFor(key);
    if (!pTask || m_bShuttingDown) {
        return false;
    }
    Reap();
    // One job per project at a time: a second one would write into the same pages and folder.
    if (m_jobs.count(key) != 0) {
        return false;
    }
    auto running = std::make_unique<RunningJob>();
    running->receiver =
        std::make_unique<CDownloadReceiver>([this](unsigned nMessage, const std::string& strText, int nCode) {
            OnDownloadMessage(nMessage, strText, nCode);
        });
    CDownloadTask task = *pTask;
    task.m_hNotifyWnd = running->receiver.get();
    // A rendered page's files are saved as a complete page's, with the browser's cookies.
    if ((task.m_bComplete || task.m_bRender) && m_prepareComplete) {
        m_prepareComplete(task);
    }
    // What the job saves is recorded beside its pages, for 更新工程 to check again and to finish it.
    const std::string strSaveFolder =
        files::AbsolutePath(task.m_strSaveFolder.empty() ? files::DocumentsFolder() : task.m_strSaveFolder);
    running->record = std::make_unique<CRecordOnFirstSave>(
        files::Join(strSaveFolder, ProjectFolderName(task.m_strProjectName)), task);
    task.m_pRecorder = running->record.get();
    running->job = std::make_unique<CDownloadJob>(task);
    running->job->Start();
    m_jobs[key] = std::move(running);
    Reap();
    return true;
}

void CDownloadJobs::cancelJob(std::uintptr_t key)
{
    const auto it = m_jobs.find(key);
    if (it == m_jobs.end()) {
        return;
    }
    // No event of this job arrives any more; its thread ends on its own and is collected later.
    it->second->receiver->Release();
    it->second->job->Cancel();
    m_endingJobs.push_back(std::move(it->second));
    m_jobs.erase(it);
}

void CDownloadJobs::Reap()
{
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
        if (it->second->job->IsFinished()) {
            it = m_jobs.erase(it);
        } else {
            ++it;
        }
    }
    std::erase_if(m_endingJobs, [](const std::unique_ptr<RunningJob>& running) { return running->job->IsFinished(); });
    if (m_jobs.empty() && m_endingJobs.empty()) {
        m_reapTimer.stop();
    } else if (!m_reapTimer.isActive() && !m_bShuttingDown) {
        m_reapTimer.start();
    }
}

void CDownloadJobs::Shutdown()
{
    m_bShuttingDown = true;
    m_reapTimer.stop();
    // Release every receiver before joining any thread: a job blocked on its receiver is woken, and
    // none can block on the window again.
    for (auto& [key, running] : m_jobs) {
        running->receiver->Release();
        running->job->Cancel();
    }
    for (auto& running : m_endingJobs) {
        running->receiver->Release();
        running->job->Cancel();
    }
    m_jobs.clear();
    m_endingJobs.clear();
}

void CDownloadJobs::OnDownloadMessage(unsigned nMessage, const std::string& strText, int nCode)
{
    if (nMessage == WM_DOWNLOAD_RESULT && nCode == DR_PAGE_SAVED) {
        // page file, address, project key, title, n, total
        const std::vector<std::string> fields = SplitFields(strText);
        if (fields.size() == 6) {
            emit pageSaved(SavedPage{std::strtoull(fields[2].c_str(), nullptr, 10), toQ(fields[3]), toQ(fields[0]),
                                     toQ(fields[1])});
        }
    }
    const std::string strLine = DownloadLogLine(nMessage, strText, nCode);
    if (!strLine.empty()) {
        emit logLine(toQ(strLine));
    }
    if (const std::string strCause = DownloadFailureCause(nMessage, strText, nCode); !strCause.empty()) {
        emit logLine(toQ(strCause));
    }
    int n = 0;
    int nTotal = 0;
    if (nMessage == WM_DOWNLOAD_RESULT && DownloadProgressOf(strText, nCode, n, nTotal)) {
        const int nPercent = DownloadPercent(n, nTotal);
        emit progressChanged(nPercent);
        if (nPercent == 100) {
            emit progressChanged(0);
        }
    }
    switch (nMessage) {
    case WM_PROJECT_MODIFIED:
        emit projectModified();
        break;
    case WM_DOWNLOAD_FINISHED: {
        emit projectModified();
        emit progressChanged(0);
        // project name, pages saved, pages failed, ...
        const std::vector<std::string> fields = SplitFields(strText);
        const auto field = [&](size_t nField) {
            return nField < fields.size() ? toQ(fields[nField]).trimmed() : QString();
        };
        emit jobFinished(Summary{toQ(strText), field(0), field(1), field(2)});
        break;
    }
    default:
        break;
    }
    emit jobEvent();
}
