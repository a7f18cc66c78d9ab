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

#include "LocalNginx.h"
#include "TestHttpServer.h"
#include "platform/Files.h"

namespace
{

struct RunFigures
{
    double dSeconds = 0;
    double dCpuSeconds = 0;
    long nPeakKb = 0;
    int nExit = -1;
    size_t nFiles = 0;
    long nRequests = 0;
};

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

// Holds every chunk that passes one way for nDelayMs before sending it on, keeping the order and
// without limiting the rate: a long line, not a slow one.
void Pump(int from, int to, int nDelayMs)
{
    using Clock = std::chrono::steady_clock;
    struct Chunk
    {
        Clock::time_point due;
        std::string data; // empty: the end
    };
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<Chunk> queue;
    std::thread writer([&] {
        for (;;) {
            Chunk chunk;
            {
                std::unique_lock lock(mutex);
                cv.wait(lock, [&] { return !queue.empty(); });
                chunk = std::move(queue.front());
                queue.pop_front();
            }
            std::this_thread::sleep_until(chunk.due);
            if (chunk.data.empty()) {
                shutdown(to, SHUT_WR);
                return;
            }
            size_t sent = 0;
            while (sent < chunk.data.size()) {
                ssize_t n = send(to, chunk.data.data() + sent, chunk.data.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) {
                    break;
                }
                sent += static_cast<size_t>(n);
            }
        }
    });
    char buffer[64 * 1024];
    for (;;) {
        ssize_t n = recv(from, buffer, sizeof buffer, 0);
        Chunk chunk{Clock::now() + std::chrono::milliseconds(nDelayMs),
                    n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string()};
        {
            std::lock_guard lock(mutex);
            queue.push_back(std::move(chunk));
        }
        cv.notify_one();
        if (n <= 0) {
            break;
        }
    }
    writer.join();
}

// A relay process: every connection to nPort is passed on to nTargetPort, each direction held nDelayMs.
pid_t StartRelay(int nPort, int nTargetPort, int nDelayMs)
{
    pid_t pid = fork();
    if (pid != 0) {
        return pid > 0 && CLocalNginx::WaitForPort(nPort) ? pid : -1;
    }
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr = LoopbackAddress(nPort);
    if (bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listener, 64) != 0) {
        _exit(1);
    }
    for (;;) {
        int client = accept(listener, nullptr, nullptr);
        if (client < 0) {
            continue;
        }
        std::thread([client, nTargetPort, nDelayMs] {
            int server = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in target = LoopbackAddress(nTargetPort);
            if (connect(server, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
                close(client);
                close(server);
                return;
            }
            int flag = 1;
            setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &flag, sizeof flag);
            setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &flag, sizeof flag);
            std::thread up([&] { Pump(client, server, nDelayMs); });
            Pump(server, client, nDelayMs);
            up.join();
            close(client);
            close(server);
        }).detach();
    }
}

// Runs a program with its output thrown away and measures it from the outside, so every contender is
// measured alike.
RunFigures Measure(const std::vector<std::string>& args)
{
    RunFigures figures;
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
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
    rusage usage{};
    wait4(pid, &nStatus, 0, &usage);
    figures.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.nPeakKb = usage.ru_maxrss;
    figures.dCpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                          static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    figures.nExit = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    return figures;
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
