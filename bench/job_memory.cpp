// How much memory a download job holds as its page count grows: `trawlix-cli get --top` (plain and
// --complete) over a top page linking 200 and then 2,000 pages, beside `wget -r -l 1 -p -k` on the same
// site, served by nginx on 127.0.0.1, in one run. The figure is the peak of the process's anonymous
// resident memory (its heap and thread stacks, not the shared libraries it maps), sampled every few
// milliseconds from /proc; a job whose memory does not grow with its pages shows about the same peak at
// both sizes.
//
//   job_memory [small-pages [large-pages [images-per-page]]]   (defaults: 200 2000 4)
//
// TRAWLIX_CLI in the environment names another trawlix-cli to measure instead of the one built here.
// Needs nginx and wget on the PATH (or in /usr/sbin, /usr/bin). Everything lives in a temporary folder
// removed at the end.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "LocalNginx.h"
#include "platform/Files.h"

namespace
{

// A top page linking every page; each page has about 25 KB of text (as documentation pages do), a shared
// style sheet with a background picture, one picture every page shows and nImages pictures of its own.
void MakeSite(const std::string& strRoot, int nPages, int nImages)
{
    files::CreateFolders(strRoot + "/img");
    files::WriteFile(strRoot + "/site.css", "body { background: url(img/paper.gif); }\n");
    files::WriteFile(strRoot + "/img/paper.gif", "GIF89a" + std::string(3000, 'p'));
    files::WriteFile(strRoot + "/img/logo.gif", "GIF89a" + std::string(2000, 'l'));
    std::string strTop = "<html><head><title>Top</title></head><body>\n";
    for (int p = 1; p <= nPages; ++p) {
        const std::string strName = "p" + std::to_string(p);
        strTop += "<a href=\"" + strName + ".html\">page " + std::to_string(p) + "</a><br>\n";
        std::string strPage = "<html><head><title>Page " + std::to_string(p) +
                              "</title><link rel=\"stylesheet\" href=\"site.css\"></head><body>\n"
                              "<img src=\"img/logo.gif\">\n";
        for (int i = 1; i <= nImages; ++i) {
            const std::string strImage = strName + "_" + std::to_string(i) + ".gif";
            strPage += "<p>Paragraph " + std::to_string(i) + " " + std::string(6000, 'x') + "</p>\n";
            strPage += "<img src=\"img/" + strImage + "\" width=\"10\">\n";
            files::WriteFile(strRoot + "/img/" + strImage,
                             "GIF89a" + std::string(1024 + static_cast<size_t>((p * 31 + i * 17) % 4096), 'g'));
        }
        files::WriteFile(strRoot + "/" + strName + ".html", strPage + "</body></html>\n");
    }
    files::WriteFile(strRoot + "/index.html", strTop + "</body></html>\n");
}

// The process's anonymous resident memory in KiB, or -1 once it has gone.
long AnonymousKb(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("RssAnon:", 0) == 0) {
            return std::atol(line.c_str() + 8);
        }
    }
    return -1;
}

struct RunFigures
{
    long nPeakKb = 0;
    double dSeconds = 0;
    int nExit = -1;
};

// Runs a program with its output thrown away and samples its memory until it ends.
RunFigures Measure(const std::vector<std::string>& args)
{
    RunFigures figures;
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        std::vector<char*> argv;
        for (const auto& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(args[0].c_str(), argv.data());
        _exit(127);
    }
    int nStatus = 0;
    // Until it is reaped the process's /proc entry stays, so the last sample is taken before it goes.
    while (waitpid(pid, &nStatus, WNOHANG) == 0) {
        figures.nPeakKb = std::max(figures.nPeakKb, AnonymousKb(pid));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    figures.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.nExit = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    const int nSmall = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const int nLarge = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2000;
    const int nImages = argc > 3 ? std::max(0, std::atoi(argv[3])) : 4;
    const std::string strWget = CLocalNginx::FindProgram("wget");
    if (CLocalNginx::FindProgram("nginx").empty() || strWget.empty()) {
        std::fprintf(stderr, "job_memory needs nginx and wget\n");
        return 2;
    }
    // TRAWLIX_CLI measures another build of the program (an earlier one, say) on the same sites.
    const char* pCli = std::getenv("TRAWLIX_CLI");
    const std::string strCli = pCli && *pCli ? pCli : TRAWLIX_CLI_PATH;
    const char* pTmp = std::getenv("TMPDIR");
    const std::string strWork = files::MakeUniqueFolder(pTmp && *pTmp ? pTmp : "/tmp", "trawlix-memory-");
    if (strWork.empty()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 2;
    }

    struct Row
    {
        const char* pName;
        RunFigures small;
        RunFigures large;
    };
    std::vector<Row> rows = {{"job", {}, {}}, {"job --complete", {}, {}}, {"wget -r -l 1 -p -k", {}, {}}};
    bool bAllOk = true;
    for (int nPages : {nSmall, nLarge}) {
        const std::string strSite = strWork + "/site" + std::to_string(nPages);
        MakeSite(strSite, nPages, nImages);
        CLocalNginx nginx;
        if (!nginx.Start(strWork + "/nginx" + std::to_string(nPages), strSite)) {
            std::fprintf(stderr, "%s\n", nginx.Error().c_str());
            files::RemoveTree(strWork);
            return 2;
        }
        const std::string strTop = nginx.Url("/index.html");
        const std::string strRun = strWork + "/run" + std::to_string(nPages);
        const std::vector<std::vector<std::string>> commands = {
            {strCli, "get", "--top", strTop, "--project", "plain", "--folder", strRun},
            {strCli, "get", "--top", strTop, "--project", "complete", "--folder", strRun, "--complete"},
            {strWget, "-q", "-r", "-l", "1", "-p", "-k", "-e", "robots=off", "--no-proxy", "-P", strRun + "/wget",
             strTop},
        };
        for (size_t k = 0; k < commands.size(); ++k) {
            const RunFigures f = Measure(commands[k]);
            (nPages == nSmall ? rows[k].small : rows[k].large) = f;
            // wget reports a failed request with 8; every address of the site is there.
            bAllOk = bAllOk && f.nExit == 0;
        }
        nginx.Stop();
        files::RemoveTree(strRun);
    }
    files::RemoveTree(strWork);

    std::printf("top page + links, %d pictures of its own per page; peak anonymous resident memory\n", nImages);
    std::printf("  %-20s %10d pages %10d pages   ratio   KiB per extra page\n", "", nSmall, nLarge);
    for (const Row& row : rows) {
        std::printf("  %-20s %12.1f MB %12.1f MB   %5.2f   %8.2f       (%.1f s, %.1f s; exit %d, %d)\n", row.pName,
                    row.small.nPeakKb / 1024.0, row.large.nPeakKb / 1024.0,
                    static_cast<double>(row.large.nPeakKb) / static_cast<double>(std::max(1L, row.small.nPeakKb)),
                    static_cast<double>(row.large.nPeakKb - row.small.nPeakKb) / std::max(1, nLarge - nSmall),
                    row.small.dSeconds, row.large.dSeconds, row.small.nExit, row.large.nExit);
    }
    return bAllOk ? 0 : 1;
}
