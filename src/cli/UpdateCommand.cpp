#include <cstdio>
#include <cstdlib>
#include <string>

#include "Commands.h"
#include "InterruptGuard.h"
#include "download/DownloadLog.h"
#include "download/DownloadMessages.h"
#include "search/SearchIndex.h"
#include "update/ProjectUpdate.h"

namespace
{

const char kUsage[] =
    "usage: trawlix-cli update PROJECT_FILE --project NAME [--connections N] [--wait SECONDS] [--max-new N]\n"
    "\n"
    "Brings the project NAME of PROJECT_FILE up to date. Every saved page is asked for again and saved\n"
    "only when it changed (the earlier copy goes to the history folder in the project's folder); a page\n"
    "the site removed is kept; a numbered series is followed past its last page until two numbers in a\n"
    "row are missing; a top page is read again for new links in its range; the pages of an interrupted\n"
    "job are finished. New pages are added to the project in order.\n"
    "\n"
    "options:\n"
    "  --connections N      transfers at once, 1-16 (default: as the project's job had it)\n"
    "  --wait SECONDS       pause between requests to one host, one request at a time\n"
    "  --max-new N          most new pages of a series to add (default 100)\n"
    "  --folder DIR         where the project's folder is when the project file holds none of its pages\n"
    "                       yet (default: your documents folder)\n"
    "\n"
    "Ctrl-C, SIGTERM or SIGHUP stop the update; what it saved is kept and the next update goes on.\n"
    "Exit status: 0 nothing failed (a removed page is no failure), 1 a page failed or the project file\n"
    "could not be read or written, 2 bad arguments or no such project.\n";

// Log lines of the job's pages as they are saved or fail.
class CUpdateReceiver final : public IDownloadNotify
{
public:
    void OnDownloadMessage(unsigned nMessage, const std::string& strText, int nCode) override
    {
        if (nMessage == WM_DOWNLOAD_FINISHED || nMessage == WM_DOWNLOAD_BEGIN) {
            return;
        }
        if (nMessage == WM_DOWNLOAD_RESULT && (nCode == DR_RESOURCE_DONE || nCode == DR_RESOURCE_FAILED)) {
            return;
        }
        const std::string strLine = DownloadLogLine(nMessage, strText, nCode);
        if (!strLine.empty()) {
            std::printf("%s\n", TerminalSafe(strLine).c_str());
            std::fflush(stdout);
        }
    }
};

bool parseNumber(const std::string& strText, double nMin, double nMax, double& value)
{
    char* end = nullptr;
    value = std::strtod(strText.c_str(), &end);
    return !strText.empty() && *end == '\0' && value >= nMin && value <= nMax;
}

} // namespace

int RunUpdate(const CliArgs& args)
{
    UpdateOptions options;
    std::string strConnections;
    std::string strWait;
    std::string strMaxNew;
    const std::pair<const char*, std::string*> valueOptions[] = {
        {"--project", &options.strProject}, {"--connections", &strConnections},   {"--wait", &strWait},
        {"--max-new", &strMaxNew},          {"--folder", &options.strSaveFolder},
    };
    auto bad = [](const std::string& strWhy) {
        std::fprintf(stderr, "trawlix-cli update: %s\n\n%s", strWhy.c_str(), kUsage);
        return 2;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::printf("%s", kUsage);
            return 0;
        }
        std::string* pTarget = nullptr;
        for (const auto& [name, target] : valueOptions) {
            if (arg == name) {
                pTarget = target;
            }
        }
        if (!pTarget) {
            if (arg.rfind("--", 0) == 0 || !options.strProjectFile.empty()) {
                return bad("unknown argument '" + TerminalSafe(arg) + "'");
            }
            options.strProjectFile = arg;
            continue;
        }
        if (i + 1 >= args.size()) {
            return bad(arg + " needs a value");
        }
        *pTarget = args[++i];
    }
    if (options.strProjectFile.empty()) {
        return bad("give the project file");
    }
    if (options.strProject.empty()) {
        return bad("--project is required");
    }
    double value = 0;
    if (!strConnections.empty()) {
        if (!parseNumber(strConnections, 1, 16, value) || value != static_cast<int>(value)) {
            return bad("--connections takes a number from 1 to 16, not '" + TerminalSafe(strConnections) + "'");
        }
        options.nConnections = static_cast<int>(value);
    }
    if (!strWait.empty()) {
        if (!parseNumber(strWait, 0, 3600, value)) {
            return bad("--wait takes seconds from 0 to 3600, not '" + TerminalSafe(strWait) + "'");
        }
        options.nWaitMs = static_cast<int>(value * 1000 + 0.5);
    }
    if (!strMaxNew.empty()) {
        if (!parseNumber(strMaxNew, 0, 100000, value) || value != static_cast<int>(value)) {
            return bad("--max-new takes a whole number from 0 to 100000, not '" + TerminalSafe(strMaxNew) + "'");
        }
        options.nMaxNew = static_cast<int>(value);
    }

    // Ctrl-C, SIGTERM and SIGHUP only set the flag the update polls: it ends after what it is writing.
    CInterruptGuard interrupts;
    CUpdateReceiver receiver;
    const UpdateResult result = UpdateProject(options, &receiver, CInterruptGuard::Flag());
    if (result.code == UpdateResult::Code::NoProjectFile || result.code == UpdateResult::Code::NoProject) {
        std::fprintf(stderr, "trawlix-cli update: %s\n", TerminalSafe(result.strMessage).c_str());
        return result.code == UpdateResult::Code::NoProject ? 2 : 1;
    }
    for (const std::string& strUrl : result.report.removedUrls) {
        std::printf("removed by the site, kept: %s\n", TerminalSafe(strUrl).c_str());
    }
    for (const std::string& strUrl : result.report.failedUrls) {
        std::printf("failed: %s\n", TerminalSafe(strUrl).c_str());
    }
    for (const std::string& strLine : UpdateReportLines(result.report)) {
        std::printf("%s\n", strLine.c_str());
    }
    std::fflush(stdout);
    // The new and changed pages are found by search with their new text.
    if (!result.report.savedPages.empty()) {
        CSearchIndex index(CSearchIndex::DefaultPath());
        SearchStatus status;
        if (!index.Open(&status) ||
            index.AddPages(options.strProjectFile, options.strProject, result.report.savedPages) <
                static_cast<int>(result.report.savedPages.size())) {
            std::fprintf(stderr, "trawlix-cli update: not every saved page could be indexed for search\n");
        }
    }
    if (result.code == UpdateResult::Code::NotWritten) {
        std::fprintf(stderr, "trawlix-cli update: %s\n", result.strMessage.c_str());
        return 1;
    }
    return result.report.nFailed == 0 && !CInterruptGuard::Interrupted() ? 0 : 1;
}
