#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "Commands.h"
#include "download/DownloadLog.h"
#include "download/DownloadMessages.h"
#include "download/DownloadTask.h"
#include "download/DownloadWorker.h"
#include "download/RenderClient.h"
#include "download/UrlSequence.h"
#include "platform/Files.h"
#include "project/ProjectFileAppend.h"
#include "search/SearchIndex.h"
#include "search/SearchQueue.h"
#include "update/ProjectRecord.h"

namespace
{

const char kUsage[] =
    "usage: trawlix-cli get --from URL [--to URL] --project NAME [--folder DIR] [options]\n"
    "       trawlix-cli get --top URL [--from LINK] [--to LINK] --project NAME [--folder DIR] [options]\n"
    "\n"
    "Saves one page, a numbered series of pages (--from/--to), or a top page and its links (--top,\n"
    "optionally only the links from --from to --to) into DIR/NAME, with their images.\n"
    "\n"
    "options:\n"
    "  --folder DIR         save folder (default: your documents folder)\n"
    "  --strip-scripts      remove script blocks from saved pages\n"
    "  --complete           save pages complete: style sheets and their fonts, the largest picture of each\n"
    "                       srcset, lazily loaded images, icons; links between saved pages lead to the\n"
    "                       saved files (with --project-file, those of earlier jobs too)\n"
    "  --render             load each page in an off-screen browser, let its scripts run, and save it as\n"
    "                       it is then shown (scripts removed), with its files as for --complete\n"
    "  --render-timeout S   seconds a rendered page may take to settle (default 30)\n"
    "  --cookies FILE       send the cookies of this Netscape cookie file (as browsers export it)\n"
    "  --add-count N        number the page names of a further download into the same project\n"
    "                       (with --project-file it is found from the project's pages)\n"
    "  --project-file FILE  add the saved pages to the project NAME in this project file\n"
    "  --connections N      transfers at once, 1-16 (default 8; at most 4 to one host up to 8)\n"
    "  --wait SECONDS       pause between requests to one host, one request at a time\n"
    "\n"
    "Ctrl-C stops after the page being saved; a second Ctrl-C (or SIGTERM, SIGHUP) stops at once.\n"
    "Exit status: 0 all pages saved, 1 a page failed, the job was stopped or there was nothing to save,\n"
    "2 bad arguments.\n";

struct GetOptions
{
    CDownloadTask task;
    std::string strProjectFile;
    bool bAddCount = false; // --add-count was given
};

// Fills options from the arguments; false with a message on stderr when they do not make sense.
bool parseArguments(const CliArgs& args, GetOptions& options, bool& bHelp)
{
    CDownloadTask& task = options.task;
    std::string strAddCount;
    std::string strConnections;
    std::string strWait;
    std::string strRenderTimeout;
    const std::pair<const char*, std::string*> valueOptions[] = {
        {"--from", &task.m_strFirstUrl},
        {"--to", &task.m_strLastUrl},
        {"--top", &task.m_strTopUrl},
        {"--project", &task.m_strProjectName},
        {"--folder", &task.m_strSaveFolder},
        {"--project-file", &options.strProjectFile},
        {"--add-count", &strAddCount},
        {"--connections", &strConnections},
        {"--wait", &strWait},
        {"--cookies", &task.m_strCookieFile},
        {"--render-timeout", &strRenderTimeout},
    };
    bool bTop = false;
    bool bAddCount = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            bHelp = true;
            return true;
        }
        if (arg == "--strip-scripts") {
            task.m_bKeepScripts = 0;
            continue;
        }
        if (arg == "--complete") {
            task.m_bComplete = 1;
            continue;
        }
        if (arg == "--render") {
            task.m_bRender = 1;
            continue;
        }
        std::string* pTarget = nullptr;
        for (const auto& [name, target] : valueOptions) {
            if (arg == name) {
                pTarget = target;
            }
        }
        if (!pTarget) {
            std::fprintf(stderr, "trawlix-cli get: unknown argument '%s'\n", arg.c_str());
            return false;
        }
        if (i + 1 >= args.size()) {
            std::fprintf(stderr, "trawlix-cli get: %s needs a value\n", arg.c_str());
            return false;
        }
        *pTarget = args[++i];
        bTop = bTop || pTarget == &task.m_strTopUrl;
        bAddCount = bAddCount || pTarget == &strAddCount;
    }
    if (bAddCount) {
        char* end = nullptr;
        long n = std::strtol(strAddCount.c_str(), &end, 10);
        if (strAddCount.empty() || *end != '\0' || n < 0 || n > 1000000) {
            std::fprintf(stderr, "trawlix-cli get: --add-count takes a whole number, not '%s'\n", strAddCount.c_str());
            return false;
        }
        task.m_nAddCount = static_cast<int>(n);
    }
    if (!strConnections.empty()) {
        char* end = nullptr;
        long n = std::strtol(strConnections.c_str(), &end, 10);
        if (*end != '\0' || n < 1 || n > 16) {
            std::fprintf(stderr, "trawlix-cli get: --connections takes a number from 1 to 16, not '%s'\n",
                         strConnections.c_str());
            return false;
        }
        task.m_nConnections = static_cast<int>(n);
    }
    if (!strWait.empty()) {
        char* end = nullptr;
        double seconds = std::strtod(strWait.c_str(), &end);
        if (*end != '\0' || !(seconds >= 0) || seconds > 3600) {
            std::fprintf(stderr, "trawlix-cli get: --wait takes seconds from 0 to 3600, not '%s'\n", strWait.c_str());
            return false;
        }
        task.m_nWaitMs = static_cast<int>(seconds * 1000 + 0.5);
    }
    if (!strRenderTimeout.empty()) {
        char* end = nullptr;
        double seconds = std::strtod(strRenderTimeout.c_str(), &end);
        if (*end != '\0' || !(seconds >= 1) || seconds > 600) {
            std::fprintf(stderr, "trawlix-cli get: --render-timeout takes seconds from 1 to 600, not '%s'\n",
                         strRenderTimeout.c_str());
            return false;
        }
        task.m_nRenderTimeoutMs = static_cast<int>(seconds * 1000 + 0.5);
    }
    if (task.m_bRender && CRenderClient::ProgramPath().empty()) {
        std::fprintf(stderr,
                     "trawlix-cli get: --render needs the page renderer trawlix-render beside trawlix-cli; it was not "
                     "found (it is built with the desktop program)\n");
        return false;
    }
    task.m_nMode = bTop ? 1 : 0;
    options.bAddCount = bAddCount;
    if (task.m_strProjectName.empty()) {
        std::fprintf(stderr, "trawlix-cli get: --project is required\n");
        return false;
    }
    if (!bTop && task.m_strFirstUrl.empty() && task.m_strLastUrl.empty()) {
        std::fprintf(stderr, "trawlix-cli get: give --from (and --to), or --top\n");
        return false;
    }
    while (task.m_strSaveFolder.size() > 1 && task.m_strSaveFolder.back() == '/') {
        task.m_strSaveFolder.pop_back();
    }
    if (task.m_strSaveFolder.empty()) {
        task.m_strSaveFolder = files::DocumentsFolder();
    }
    if (!task.m_strCookieFile.empty()) {
        std::string strCookies;
        if (!files::IsRegularFile(task.m_strCookieFile) ||
            !files::ReadFile(task.m_strCookieFile, strCookies, nullptr, 1)) {
            std::fprintf(stderr, "trawlix-cli get: cannot read the cookie file '%s'\n", task.m_strCookieFile.c_str());
            return false;
        }
        task.m_strCookieFile = files::AbsolutePath(task.m_strCookieFile);
    }
    return true;
}

// The pages the project already holds in the project file, so a complete job brings their links up to
// date too. Nothing when the file or the project is not there yet.
std::vector<HeldPage> heldPages(const std::string& strProjectFile, const std::string& strProject)
{
    std::vector<HeldPage> held;
    if (!files::IsRegularFile(strProjectFile)) {
        return held;
    }
    CProjectStore store;
    store.SetPath(strProjectFile);
    store.Transfer(false);
    if (!store.LastTransferOk()) {
        return held;
    }
    std::vector<CProjectObject> projects;
    store.GetProjects(projects);
    for (const CProjectObject& project : projects) {
        if (project.m_strName != strProject) {
            continue;
        }
        for (const CProjectInfor& page : project.m_pages) {
            held.push_back({page.m_strUrl, page.m_strLocalFile});
        }
    }
    return held;
}

// Prints what the desktop program's message window would show, and a progress bar on a terminal.
class CConsoleReceiver final : public IDownloadNotify
{
public:
    void OnDownloadMessage(unsigned nMessage, const std::string& strText, int nCode) override
    {
        if (nMessage == WM_DOWNLOAD_FINISHED) {
            onFinished(strText);
            return;
        }
        if (nMessage == WM_DOWNLOAD_RESULT && nCode == DR_PAGE_SAVED) {
            const std::vector<std::string> fields = SplitFields(strText);
            if (fields.size() == 6) {
                CProjectInfor page;
                page.m_strTitle = fields[3];
                page.m_strLocalFile = fields[0];
                page.m_strUrl = fields[1];
                m_saved.push_back(page);
                if (m_onSaved) {
                    m_onSaved(page);
                }
            }
        } else if (nMessage == WM_DOWNLOAD_RESULT && nCode == DR_PAGE_FAILED) {
            ++m_nFailed;
        }
        const std::string strLine = DownloadLogLine(nMessage, strText, nCode);
        if (!strLine.empty()) {
            line(strLine);
        }
        if (const std::string strCause = DownloadFailureCause(nMessage, strText, nCode); !strCause.empty()) {
            clearProgress();
            std::fprintf(stderr, "%s\n", strCause.c_str());
            std::fflush(stderr);
        }
        int n = 0;
        int nTotal = 0;
        if (nMessage == WM_DOWNLOAD_RESULT && DownloadProgressOf(strText, nCode, n, nTotal)) {
            m_nDone = n;
            m_nTotal = nTotal;
            drawProgress();
        }
    }

    // Called on the job's thread with each page as it is saved.
    void SetOnSaved(std::function<void(const CProjectInfor&)> onSaved) { m_onSaved = std::move(onSaved); }
    // The saved pages in the order the job reported them, as project records.
    const std::vector<CProjectInfor>& SavedPages() const { return m_saved; }
    // Whether every page of the job was saved: none failed and none was left out by a stop.
    bool AllSaved() const { return m_nFailed == 0 && !m_saved.empty() && static_cast<int>(m_saved.size()) == m_nTotal; }

private:
    void onFinished(const std::string& strText)
    {
        clearProgress();
        for (const auto& strLine : DownloadReportLines(strText)) {
            std::printf("%s\n", strLine.c_str());
        }
        std::fflush(stdout);
    }

    void line(const std::string& text)
    {
        clearProgress();
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
        drawProgress();
    }

    void drawProgress()
    {
        if (!m_bTerminal || m_nTotal <= 0) {
            return;
        }
        const int width = 30;
        int filled = m_nDone * width / m_nTotal;
        std::fprintf(stderr, "\r[%s%s] page %d of %d", std::string(filled, '#').c_str(),
                     std::string(width - filled, ' ').c_str(), m_nDone, m_nTotal);
        std::fflush(stderr);
        m_bShown = true;
    }

    void clearProgress()
    {
        if (m_bShown) {
            std::fprintf(stderr, "\r\033[K");
            std::fflush(stderr);
            m_bShown = false;
        }
    }

    bool m_bTerminal = ::isatty(STDERR_FILENO) && ::isatty(STDOUT_FILENO);
    bool m_bShown = false;
    int m_nDone = 0;
    int m_nTotal = 0;
    int m_nFailed = 0;
    std::vector<CProjectInfor> m_saved;
    std::function<void(const CProjectInfor&)> m_onSaved;
};

// Set by a second Ctrl-C, SIGTERM or SIGHUP: the job ends at once, abandoning the transfer in progress.
std::atomic<bool> g_bCancel{false};

// Ctrl-C while the job runs: the first asks it to stop after its page, the second cancels it.
// SIGTERM and SIGHUP (how services, timeout and a closed terminal end a program) cancel at once.
// Signals are taken by a thread of their own (sigwait), so nothing unsafe runs in a signal handler.
void watchInterrupts(sigset_t signals)
{
    std::thread([signals] {
        int nCount = 0;
        for (;;) {
            int sig = 0;
            if (sigwait(&signals, &sig) != 0) {
                return;
            }
            if (sig != SIGINT) {
                g_bCancel = true;
            } else if (++nCount == 1) {
                std::fprintf(stderr, "\nStopping after the current page (Ctrl-C again to stop at once)...\n");
                g_stopDownloadEvent.SetEvent();
            } else {
                g_bCancel = true;
            }
        }
    }).detach();
}

} // namespace

int RunGet(const CliArgs& args)
{
    GetOptions options;
    bool bHelp = false;
    if (!parseArguments(args, options, bHelp)) {
        std::fprintf(stderr, "\n%s", kUsage);
        return 2;
    }
    if (bHelp) {
        std::printf("%s", kUsage);
        return 0;
    }

    CConsoleReceiver receiver;
    options.task.m_hNotifyWnd = &receiver;
    if (options.task.m_bComplete && !options.strProjectFile.empty()) {
        options.task.m_projectPages = heldPages(options.strProjectFile, options.task.m_strProjectName);
    }

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    watchInterrupts(signals);

    if (options.task.m_nMode == 0) {
        // The job itself only reports an empty summary for a pair it cannot expand; say why.
        CUrlSequence sequence;
        sequence.SetRange(options.task.m_strFirstUrl, options.task.m_strLastUrl);
        if (sequence.Check() != 0) {
            std::fprintf(stderr, "trawlix-cli get: %s\n", SeriesRefusalText(sequence).c_str());
        }
    }

    if (!options.strProjectFile.empty() && !options.bAddCount) {
        // A further job into a project numbers its pages after the earlier ones, so none is overwritten.
        options.task.m_nAddCount = NextAddCount(options.strProjectFile, options.task.m_strProjectName);
    }

    // Pages saved into a project file are indexed for search as they arrive, on a thread of their own.
    std::unique_ptr<CSearchIndex> pIndex;
    std::unique_ptr<CSearchQueue> pQueue;
    if (!options.strProjectFile.empty()) {
        pIndex = std::make_unique<CSearchIndex>(CSearchIndex::DefaultPath());
        pQueue = std::make_unique<CSearchQueue>(*pIndex);
        receiver.SetOnSaved([&](const CProjectInfor& page) {
            pQueue->Add(options.strProjectFile, options.task.m_strProjectName, page);
        });
    }

    // A job into a project file keeps its definition and what it saved beside the pages, so a later
    // update can check them again and a killed job can be finished.
    CProjectRecord record;
    const std::string strProjectFolder = files::Join(files::AbsolutePath(options.task.m_strSaveFolder),
                                                     ProjectFolderName(options.task.m_strProjectName));
    const bool bFolderExisted = files::IsFolder(strProjectFolder);
    if (!options.strProjectFile.empty()) {
        std::string strWhy;
        if (record.Open(strProjectFolder, true, &strWhy) && record.BeginJob(options.task)) {
            options.task.m_pRecorder = &record;
        } else {
            std::fprintf(stderr, "trawlix-cli get: the job is not recorded for updates: %s\n", strWhy.c_str());
        }
    }

    std::printf("-----------Start download webpage-----------------\n");
    std::fflush(stdout);
    DownloadWorker(&options.task, &g_bCancel);
    if (!bFolderExisted && receiver.SavedPages().empty()) {
        // Nothing was saved: no folder is left behind for the record alone.
        record.Remove();
        std::error_code ec;
        std::filesystem::remove(strProjectFolder, ec);
    }

    bool bProjectFileOk = true;
    if (!options.strProjectFile.empty()) {
        ProjectFileStatus status;
        bProjectFileOk = AppendPagesToProjectFile(options.strProjectFile, options.task.m_strProjectName,
                                                  receiver.SavedPages(), &status);
        if (!bProjectFileOk) {
            std::fprintf(stderr, "trawlix-cli get: %s, but the project file was not updated: %s\n",
                         receiver.SavedPages().empty() ? "no page was saved" : "the pages were saved",
                         status.m_strMessage.c_str());
        }
    }
    if (pQueue) {
        pQueue->Wait();
    }
    return bProjectFileOk && receiver.AllSaved() ? 0 : 1;
}
