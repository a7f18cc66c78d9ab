// Times download jobs beside wget over the same local site, served by nginx on 127.0.0.1, in one run:
// `trawlix-cli get --top` beside `wget -r -l 1 -p -k`, and `trawlix-cli get --from --to` (a series)
// beside `wget -i LIST -p -k`; each once straight to nginx and once through a relay of our own that holds
// every byte 10 ms in each direction, like a server across the country. Prints wall times, peak resident
// sizes, the requests nginx saw, and the ratios.
//
//   job_vs_wget [pages [images-per-page [shared-images [runs [delay-ms]]]]]   (defaults: 50 10 2 1 10)
//
// Of each page's images, shared-images are the same few pictures on every page. Needs nginx and wget on
// the PATH (or in /usr/sbin, /usr/bin). Everything lives in a temporary folder removed at the end.

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "BenchRun.h"
#include "LocalNginx.h"
#include "TestHttpServer.h"
#include "platform/Files.h"

namespace
{

size_t FileCount(const std::string& strFolder)
{
    size_t n = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(strFolder, ec)) {
        n += entry.is_regular_file() ? 1 : 0;
    }
    return n;
}

// A top page linking every page; each page shows its images (small GIF-like files of a few KiB), the
// first nShared of them the same pictures on every page.
void MakeSite(const std::string& strRoot, int nPages, int nImages, int nShared)
{
    files::CreateFolders(strRoot + "/img");
    std::string strTop = "<html><head><title>Bench top</title></head><body>\n";
    for (int p = 1; p <= nPages; ++p) {
        strTop += "<a href=\"p" + std::to_string(p) + ".html\">page " + std::to_string(p) + "</a><br>\n";
        std::string strPage = "<html><head><title>Page " + std::to_string(p) + "</title></head><body>\n";
        for (int i = 1; i <= nImages; ++i) {
            const bool bShared = i <= nShared;
            const std::string strImage = bShared ? "shared_" + std::to_string(i) + ".gif"
                                                 : "p" + std::to_string(p) + "_" + std::to_string(i) + ".gif";
            strPage += "<p>Paragraph " + std::to_string(i) + " " + std::string(400, 'x') + "</p>\n";
            strPage += "<img src=\"img/" + strImage + "\" width=\"10\">\n";
            std::string strData = "GIF89a";
            strData.resize(2048 + static_cast<size_t>((p * 31 + i * 17) % 4096), static_cast<char>(p + i));
            if (!bShared || p == 1) {
                files::WriteFile(strRoot + "/img/" + strImage, strData);
            }
        }
        strPage += "</body></html>\n";
        files::WriteFile(strRoot + "/p" + std::to_string(p) + ".html", strPage);
    }
    strTop += "</body></html>\n";
    files::WriteFile(strRoot + "/index.html", strTop);
}

// Lines nginx has logged: one per request.
long RequestsLogged(const std::string& strLog)
{
    std::ifstream in(strLog);
    long n = 0;
    std::string line;
    while (std::getline(in, line)) {
        ++n;
    }
    return n;
}

struct Contest
{
    std::string strName;
    std::vector<RunFigures> jobs;
    std::vector<RunFigures> wgets;
    std::vector<RunFigures> wideJobs; // --connections 16
};

RunFigures Best(const std::vector<RunFigures>& v)
{
    return *std::min_element(v.begin(), v.end(),
                             [](const RunFigures& a, const RunFigures& b) { return a.dSeconds < b.dSeconds; });
}

void PrintRun(const char* pName, const RunFigures& f)
{
    std::printf("  %-7s %8.3f s (cpu %6.3f s) %8ld KiB %6ld requests %6zu files   exit %d\n", pName, f.dSeconds,
                f.dCpuSeconds, f.nPeakKb, f.nRequests, f.nFiles, f.nExit);
}

} // namespace

int main(int argc, char** argv)
{
    const int nPages = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    const int nImages = argc > 2 ? std::max(0, std::atoi(argv[2])) : 10;
    const int nShared = argc > 3 ? std::clamp(std::atoi(argv[3]), 0, nImages) : std::min(2, nImages);
    const int nRuns = argc > 4 ? std::max(1, std::atoi(argv[4])) : 1;
    const int nDelayMs = argc > 5 ? std::max(1, std::atoi(argv[5])) : 10;
    const std::string strWget = CLocalNginx::FindProgram("wget");
    if (CLocalNginx::FindProgram("nginx").empty() || strWget.empty()) {
        std::fprintf(stderr, "job_vs_wget needs nginx and wget\n");
        return 2;
    }
    const std::string strCli = TRAWLIX_CLI_PATH;
    const char* pTmp = std::getenv("TMPDIR");
    const std::string strWork = files::MakeUniqueFolder(pTmp && *pTmp ? pTmp : "/tmp", "trawlix-bench-");
    if (strWork.empty()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 2;
    }
    MakeSite(strWork + "/site", nPages, nImages, nShared);
    CLocalNginx nginx;
    const bool bNginx = nginx.Start(strWork + "/nginx", strWork + "/site");
    const int nPort = nginx.Port();
    const int nRelayPort = CLocalNginx::FreePort();
    const pid_t relay = bNginx ? StartRelay(nRelayPort, nPort, nDelayMs) : -1;
    if (!bNginx || relay < 0) {
        std::fprintf(stderr, "%s\n", bNginx ? "the relay did not start" : nginx.Error().c_str());
        nginx.Stop();
        files::RemoveTree(strWork);
        return 2;
    }
    const std::string strLog = nginx.AccessLog();
    const long nDistinct = 1 + nPages + static_cast<long>(nPages) * (nImages - nShared) + nShared;
    std::printf("site: %d pages x %d images (%d of them on every page): %ld distinct addresses\n", nPages, nImages,
                nShared, nDistinct);

    std::vector<Contest> contests;
    for (const auto& [strNetwork, nUsePort] :
         {std::pair<std::string, int>{"loopback", nPort},
          std::pair<std::string, int>{"relay " + std::to_string(nDelayMs) + " ms each way", nRelayPort}}) {
        const std::string strOrigin = "http://127.0.0.1:" + std::to_string(nUsePort);
        files::WriteFile(strWork + "/series.txt", [&] {
            std::string list;
            for (int p = 1; p <= nPages; ++p) {
                list += strOrigin + "/p" + std::to_string(p) + ".html\n";
            }
            return list;
        }());
        Contest top{"top page and links, " + strNetwork, {}, {}, {}};
        Contest series{"series of " + std::to_string(nPages) + " pages, " + strNetwork, {}, {}, {}};
        for (int r = 0; r < nRuns; ++r) {
            const std::string strRun = strWork + "/" + std::to_string(nUsePort) + "-" + std::to_string(r);
            // 0 wget, 1 job, 2 job with 16 connections (8 to the one host)
            auto run = [&](Contest& contest, int nWho, std::vector<std::string> args, const std::string& dir) {
                files::CreateFolders(dir);
                if (nWho == 2) {
                    args.insert(args.end(), {"--connections", "16"});
                }
                const long nBefore = RequestsLogged(strLog);
                RunFigures f = Measure(args);
                f.nFiles = FileCount(dir);
                f.nRequests = RequestsLogged(strLog) - nBefore;
                (nWho == 0 ? contest.wgets : nWho == 1 ? contest.jobs : contest.wideJobs).push_back(f);
            };
            for (int nWho : {1, 2}) {
                const std::string dir = strRun + "/jt" + std::to_string(nWho);
                run(top, nWho,
                    {strCli, "get", "--top", strOrigin + "/index.html", "--project", "bench", "--folder", dir}, dir);
                const std::string seriesDir = strRun + "/js" + std::to_string(nWho);
                run(series, nWho,
                    {strCli, "get", "--from", strOrigin + "/p1.html", "--to",
                     strOrigin + "/p" + std::to_string(nPages) + ".html", "--project", "bench", "--folder", seriesDir},
                    seriesDir);
            }
            run(top, 0,
                {strWget, "-q", "-r", "-l", "1", "-p", "-k", "-e", "robots=off", "--no-proxy", "-P", strRun + "/wt",
                 strOrigin + "/index.html"},
                strRun + "/wt");
            run(series, 0,
                {strWget, "-q", "-p", "-k", "-e", "robots=off", "--no-proxy", "-P", strRun + "/ws", "-i",
                 strWork + "/series.txt"},
                strRun + "/ws");
        }
        contests.push_back(top);
        contests.push_back(series);
    }

    kill(relay, SIGKILL);
    waitpid(relay, nullptr, 0);
    nginx.Stop();
    files::RemoveTree(strWork);

    bool bAllOk = true;
    std::printf("\nbest of %d run(s)\n", nRuns);
    for (const Contest& c : contests) {
        const RunFigures job = Best(c.jobs);
        const RunFigures wide = Best(c.wideJobs);
        const RunFigures wget = Best(c.wgets);
        std::printf("%s\n", c.strName.c_str());
        PrintRun("job", job);
        PrintRun("job -16", wide);
        PrintRun("wget", wget);
        std::printf("  job / wget: time %.2f, cpu %.2f, peak memory %.2f, requests %.2f;"
                    " with 16 connections time %.2f\n",
                    job.dSeconds / wget.dSeconds, job.dCpuSeconds / std::max(1e-6, wget.dCpuSeconds),
                    static_cast<double>(job.nPeakKb) / static_cast<double>(wget.nPeakKb),
                    static_cast<double>(job.nRequests) / static_cast<double>(std::max(1L, wget.nRequests)),
                    wide.dSeconds / wget.dSeconds);
        bAllOk = bAllOk && job.nExit == 0 && wide.nExit == 0 && wget.nExit == 0;
    }
    return bAllOk ? 0 : 1;
}
