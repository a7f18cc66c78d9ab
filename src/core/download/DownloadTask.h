#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "JobRecord.h"
#include "complete/ProjectLinks.h"

class IDownloadNotify;

// The settings of one download job. The desktop program keeps one per project and reuses it for
// later jobs in the same project.
class CDownloadTask
{
public:
    virtual ~CDownloadTask() = default;

    std::string m_strProjectName;      // also the project's folder name under the save folder
    std::uintptr_t m_hProjectItem = 0; // the project's key (its tree node)
    std::string m_strSaveFolder;       // root save folder; empty means the user's documents folder
    std::string m_strFirstUrl;         // mode 0: first address; mode 1: first link of the range
    std::string m_strLastUrl;          // mode 0: last address; mode 1: last link of the range
    int m_nAddCount = 0;
    IDownloadNotify* m_hNotifyWnd = nullptr;
    int m_nMode = 0;         // 0 address list, 1 top page and its links, 2 an update (m_pUpdate)
    std::string m_strTopUrl; // mode 1
    int m_bKeepScripts = 1;
    // Transfers at once (1-16); a host gets at most four of them (half of them above eight).
    int m_nConnections = 8;
    // > 0: this pause between requests to one host, one request at a time.
    int m_nWaitMs = 0;
    // Nonzero: pages are saved complete: style sheets with their fonts and images, the largest picture of
    // each srcset, lazily loaded images, icons, and links between the project's pages made local. Off,
    // pages are saved exactly as the plain rules say.
    int m_bComplete = 0;
    // Nonzero: each page is loaded in an off-screen browser, its scripts run, and saved as it is then shown
    // (scripts removed), with its files saved as for a complete page.
    int m_bRender = 0;
    // How long a rendered page may take to settle before it is saved as it is.
    int m_nRenderTimeoutMs = 30000;
    // Sent with every request of the job: a Netscape cookie file (as browsers export and curl reads),
    // and single cookies as lines of that format (the desktop program's browser cookies). Both may be empty.
    std::string m_strCookieFile;
    std::vector<std::string> m_cookies;
    // Complete jobs: the pages the project held before the job, whose links are brought up to date along
    // with the new pages' when the job ends.
    std::vector<HeldPage> m_projectPages;
    // Told of the job's list and of every page and resource saved, for the record an update reads.
    // Not owned; it must outlive the job.
    IJobRecorder* m_pRecorder = nullptr;
    // Mode 2: the pages of the project to check again and the pages to look for.
    std::shared_ptr<const UpdatePlan> m_pUpdate;
};

// The folder later downloads into a project go to, for a project known only by its saved pages (one
// opened from a project file, or a new empty one): the folder holding the project's own folder when
// it has saved pages, else the user's documents folder — never the file-system root.
std::string SaveFolderForPages(const std::vector<std::string>& localFiles);

// The project's folder name under the save folder: the project name, made unable to leave the save folder.
std::string ProjectFolderName(std::string strName);
