#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QObject>
#include <QString>
#include <QTimer>

#include "download/DownloadTask.h"

class CDownloadJob;
class CDownloadReceiver;
class CRecordOnFirstSave;

// The download tasks of the projects and their running jobs. Each project has one CDownloadTask for
// the window's life, keyed by the project's key; a running job of a project sits beside it. Deleting a
// project or opening another file cancels the project's job, and every job is waited for before the
// jobs go away. The jobs' events arrive here on the UI thread, are decoded once and go out as signals.
class CDownloadJobs final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CDownloadJobs)

public:
    // A page a job saved, for its project's node.
    struct SavedPage
    {
        std::uintptr_t key = 0;
        QString strTitle;
        QString strFile;
        QString strUrl;
    };
    // The end of a job: its report text and, read from it, the project's name and the counts of pages
    // saved and failed.
    struct Summary
    {
        QString strText;
        QString strProject;
        QString strSaved;
        QString strFailed;
    };

    explicit CDownloadJobs(QObject* parent = nullptr);
    ~CDownloadJobs() override;

    // Readies the copy of a complete task that a job gets (cookies, the pages already saved).
    void SetCompletePreparer(std::function<void(CDownloadTask& task)> prepare)
    {
        m_prepareComplete = std::move(prepare);
    }

    // A new task for a project; its save folder and add count start empty.
    CDownloadTask& AddTask(std::uintptr_t key, const QString& strProjectName);
    // The task of a project; null when it has none.
    CDownloadTask* TaskFor(std::uintptr_t key) const;
    // Cancels the projects' jobs and drops their tasks.
    void RemoveProjects(const std::vector<std::uintptr_t>& keys);

    // Starts a download job of the project with its task; false when the project has no task or a job
    // of it still runs.
    bool Start(std::uintptr_t key);
    bool IsDownloading(std::uintptr_t key) const;
    bool IsAnyDownloading() const;
    // Every running job ends after the page it is saving.
    void StopAll();
    // Number of jobs whose thread has not been collected yet (running, or cancelled and ending).
    int JobCount() const;
    // Collects the threads of jobs that ended.
    void Reap();
    // Releases and cancels every job and waits for their threads; no job starts afterwards.
    void Shutdown();

    // Handles one event of a download job, on the UI thread.
    void OnDownloadMessage(unsigned nMessage, const std::string& strText, int nCode);

signals:
    void pageSaved(const CDownloadJobs::SavedPage& page);
    void logLine(const QString& strLine);
    // The running job's progress in percent; 0 once a job ended.
    void progressChanged(int nPercent);
    // The projects changed (a page was saved, a job ended).
    void projectModified();
    void jobFinished(const CDownloadJobs::Summary& summary);
    // Any event of a job: the commands' states may have changed.
    void jobEvent();

private:
    struct RunningJob
    {
        // Outlives the job, which writes to it.
        std::unique_ptr<CRecordOnFirstSave> record;
        std::unique_ptr<CDownloadReceiver> receiver;
        std::unique_ptr<CDownloadJob> job;
        ~RunningJob();
    };

    void cancelJob(std::uintptr_t key);

    std::map<std::uintptr_t, std::unique_ptr<CDownloadTask>> m_tasks;
    std::map<std::uintptr_t, std::unique_ptr<RunningJob>> m_jobs;
    // Cancelled jobs whose threads are still ending.
    std::vector<std::unique_ptr<RunningJob>> m_endingJobs;
    std::function<void(CDownloadTask& task)> m_prepareComplete;
    // Collects the threads of jobs that ended, while any job exists.
    QTimer m_reapTimer;
    bool m_bShuttingDown = false;
};
