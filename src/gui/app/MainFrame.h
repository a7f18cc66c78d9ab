#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QHash>
#include <QMainWindow>
#include <QString>
#include <QTimer>

#include "app/RecentFileList.h"
#include "app/UserPrompts.h"
#include "browser/BrowserHost.h"
#include "download/DownloadTask.h"

class CDownloadCommands;
class CDownloadJob;
class CDownloadReceiver;
class CFavoritesMenu;
class CMessageBar;
class CProgStatusBar;
class CProjectBar;
class CToolBarEx;
class CTrawlixDoc;
class CTrawlixView;
class CBrowserCookies;
class QAction;
class QComboBox;
class QMenu;
class QToolBar;
class QTreeWidgetItem;

// The main window: menus, toolbars and the address box above the browser view, the project window at
// the left, the message window at the bottom and the status bar with its two gauges. It carries the
// commands on projects, the project file's open and save, and receives the events of download jobs.
//
// Each project has one CDownloadTask in m_tasks for the frame's life, keyed by the project's key;
// a running job of a project sits beside it in m_jobs. Deleting a project or opening another file
// cancels the project's job, and the frame waits for every job before it goes away.
class CMainFrame final : public QMainWindow, public IBrowserHost
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CMainFrame)

public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    CTrawlixDoc* Document() const { return m_pDoc; }
    CTrawlixView* View() const { return m_pView; }
    CProjectBar* ProjectBar() const { return m_wndProjectBar; }
    CMessageBar* MessageBar() const { return m_wndMessageBar; }
    CFavoritesMenu* Favorites() const { return m_pFavorites; }
    CProgStatusBar* StatusBar() const { return m_wndStatusBar; }
    QComboBox* AddressBox() const { return m_wndAddress; }
    QAction* Action(int nId) const { return m_actions.value(nId, nullptr); }

    // Message boxes, dialogs and file choosers go through these; tests put in their own answers.
    CUserPrompts& Prompts() { return m_prompts; }
    void SetPrompts(CUserPrompts prompts) { m_prompts = std::move(prompts); }

    // Frame services used across the program.
    void NavigateTo(const QString& strAddress);
    void GetRecordedUrls(QString& strStartUrl, QString& strEndUrl) const;

    // IBrowserHost
    void SetAddressText(const QString& strText) override;
    QString GetAddressText() const override;
    void SetProgress(int nPercent) override;
    void SetProgressValue(int nPercent) override;
    void SetStatusText(const QString& strText) override;
    void AddFavorite(const QString& strAddress, const QString& strTitle) override;

    // The project file. Open asks first when the projects changed, then replaces the tree with the
    // file's projects; false when nothing was opened. Save and save as report a failure to the user
    // and leave the document modified; they return whether the file was written.
    bool OpenProjectFile(const QString& strPath);
    bool SaveProject();
    bool SaveProjectAs();
    // Opens a compiled help file in a new tab of the browser; says why when it cannot.
    bool OpenBook(const QString& strPath);

    // Runs a command by id, as its menu item, button or shortcut does.
    void OnCommand(int nId);
    // The idle update: enable and check states of every command, and the page gauge.
    void UpdateCommandStates();

    // The task of a project; null when it has none.
    CDownloadTask* TaskFor(std::uintptr_t key) const;
    // Starts a download job of the project with its task; false when the project has no task or a job
    // of it still runs.
    bool StartDownload(std::uintptr_t key);
    bool IsDownloading(std::uintptr_t key) const;
    bool IsAnyDownloading() const;
    // Every running job ends after the page it is saving.
    void StopAllDownloads();
    // Number of jobs whose thread has not been collected yet (running, or cancelled and ending).
    int JobCount() const;

    // A new project node under the root, with a task of its own in m_tasks.
    QTreeWidgetItem* addProjectWithTask(const QString& strName);
    CDownloadCommands* Downloads() const { return m_pDownloads; }
    CRecentFileList& RecentFiles() { return m_recentFiles; }

    // Brings the window to the front (a second start of the program asks for this).
    void Activate();

    // Handles one event of a download job, on the UI thread.
    void OnDownloadMessage(unsigned nMessage, const std::string& strText, int nCode);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct RunningJob
    {
        std::unique_ptr<CDownloadReceiver> receiver;
        std::unique_ptr<CDownloadJob> job;
        ~RunningJob();
    };

    QAction* makeAction(int nId, const QString& strText);
    void createActions();
    void createMenus();
    void createToolBars();
    void createBars();
    void scheduleUpdate();
    bool updateCommand(int nId, bool& bEnabled, bool& bChecked) const;

    void deleteProjects(const std::vector<std::uintptr_t>& keys);
    void cancelJob(std::uintptr_t key);
    void reapJobs();
    void shutdownJobs();
    // strDetail: what the file system tells about the file, shown under the reason.
    void reportFileError(
        const QString& strWhat, const QString& strPath, int nCode, std::uint64_t nOffset, const QString& strDetail);
    bool writeProjects(const QString& strPath, const QString& strHeaderName);
    // The folder of the current project file; empty without one.
    QString projectFolder() const;

    void onOpenProject();
    void onAddLocalPages();
    void onDeleteNode();
    void onRenameNode();
    void onBrowsePage(bool bNext);
    void onRecordUrl(QString& strUrl);
    void onAbout();
    void onOpenRecentFile(int nIndex);
    void updateRecentFileMenu();
    void onAddressEntered();
    void setDownloadProgress(int nPercent);

    CTrawlixDoc* m_pDoc;
    int m_nProgress = 0;
    CProgStatusBar* m_wndStatusBar = nullptr;
    CToolBarEx* m_wndToolBar = nullptr;
    QToolBar* m_wndAddressBar = nullptr;
    QComboBox* m_wndAddress = nullptr;
    CProjectBar* m_wndProjectBar = nullptr;
    CMessageBar* m_wndMessageBar = nullptr;
    CToolBarEx* m_wndProjectToolBar = nullptr;
    CTrawlixView* m_pView = nullptr;
    CFavoritesMenu* m_pFavorites = nullptr;
    CBrowserCookies* m_pCookies = nullptr; // the browser's cookies, for complete jobs
    std::map<std::uintptr_t, std::unique_ptr<CDownloadTask>> m_tasks;
    std::map<std::uintptr_t, std::unique_ptr<RunningJob>> m_jobs;
    // Cancelled jobs whose threads are still ending.
    std::vector<std::unique_ptr<RunningJob>> m_endingJobs;
    QString m_strStartUrl;
    QString m_strEndUrl;

    CUserPrompts m_prompts;
    CDownloadCommands* m_pDownloads = nullptr;
    CRecentFileList m_recentFiles;
    QList<QAction*> m_recentFileActions;
    QHash<int, QAction*> m_actions;
    QTimer m_idleTimer;
    // Collects the threads of jobs that ended, while any job exists.
    QTimer m_reapTimer;
    bool m_bShuttingDown = false;
};
