// Times a top-page-and-links download job beside `wget -r -l 1 -p -k` over the same local site, served by
// nginx on 127.0.0.1, and prints both wall times, both peak resident sizes and their ratios.
//
//   job_vs_wget [pages [images-per-page [runs]]]     (defaults: 200 10 1)
//
// Needs nginx and wget on the PATH (or in /usr/sbin, /usr/bin). Everything lives in a temporary folder
// that is removed at the end.

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <netinet/in.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "download/DownloadMessages.h"
#include "download/DownloadTask.h"
#include "download/DownloadWorker.h"
#include "platform/Files.h"

namespace
{

struct RunFigures
{
    double dSeconds = 0;
    long nPeakKb = 0;
    int nExit = -1;
    size_t nFiles = 0;
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

std::string FindProgram(const char* pName)
{
    for (const char* pDir : {"/usr/sbin", "/usr/bin", "/usr/local/sbin", "/usr/local/bin", "/sbin", "/bin"}) {
        std::string strPath = std::string(pDir) + "/" + pName;
        if (access(strPath.c_str(), X_OK) == 0) {
            return strPath;
        }
    }
    return std::string();
}

int FreePort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

bool PortAnswers(int nPort)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(nPort));
    bool bOk = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return bOk;
}

// A top page linking every page; each page shows its own images (small GIF-like files of a few KiB).
void MakeSite(const std::string& strRoot, int nPages, int nImages)
{
    files::CreateFolders(strRoot + "/img");
    std::string strTop = "<html><head><title>Bench top</title></head><body>\n";
    for (int p = 1; p <= nPages; ++p) {
        strTop += "<a href=\"p" + std::to_string(p) + ".html\">page " + std::to_string(p) + "</a><br>\n";
        std::string strPage = "<html><head><title>Page " + std::to_string(p) + "</title></head><body>\n";
        for (int i = 1; i <= nImages; ++i) {
            const std::string strImage = "p" + std::to_string(p) + "_" + std::to_string(i) + ".gif";
            strPage += "<p>Paragraph " + std::to_string(i) + " " + std::string(400, 'x') + "</p>\n";
            strPage += "<img src=\"img/" + strImage + "\" width=\"10\">\n";
            std::string strData = "GIF89a";
            strData.resize(2048 + static_cast<size_t>((p * 31 + i * 17) % 4096), static_cast<char>(p + i));
            files::WriteFile(strRoot + "/img/" + strImage, strData);
        }
        strPage += "</body></html>\n";
        files::WriteFile(strRoot + "/p" + std::to_string(p) + ".html", strPage);
    }
    strTop += "</body></html>\n";
    files::WriteFile(strRoot + "/index.html", strTop);
}

pid_t StartNginx(const std::string& strPrefix, const std::string& strRoot, int nPort)
{
    const std::string strNginx = FindProgram("nginx");
    if (strNginx.empty()) {
        return -1;
    }
    files::CreateFolders(strPrefix + "/logs");
    std::string strConf;
    if (geteuid() == 0) {
        strConf += "user root;\n"; // the site lies in a private temporary folder
    }
    strConf += "worker_processes 1;\ndaemon off;\npid " + strPrefix + "/nginx.pid;\nerror_log " + strPrefix +
               "/logs/error.log;\nevents { worker_connections 1024; }\nhttp {\n"
               "  access_log off;\n"
               "  client_body_temp_path " +
               strPrefix + "/tmp;\n  proxy_temp_path " + strPrefix + "/tmp;\n  fastcgi_temp_path " + strPrefix +
               "/tmp;\n  uwsgi_temp_path " + strPrefix + "/tmp;\n  scgi_temp_path " + strPrefix +
               "/tmp;\n"
               "  types { text/html html; image/gif gif; }\n"
               "  server { listen 127.0.0.1:" +
               std::to_string(nPort) + "; root " + strRoot + "; }\n}\n";
    files::WriteFile(strPrefix + "/nginx.conf", strConf);
    pid_t pid = fork();
    if (pid == 0) {
        execl(strNginx.c_str(), "nginx", "-p", strPrefix.c_str(), "-c", (strPrefix + "/nginx.conf").c_str(), "-e",
              (strPrefix + "/logs/error.log").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 100 && pid > 0; ++i) {
        if (PortAnswers(nPort)) {
            return pid;
        }
        usleep(50'000);
    }
    std::fprintf(stderr, "nginx did not start; see %s/logs/error.log\n", strPrefix.c_str());
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return -1;
}

// Runs fn in a child process and measures it from the outside, so both contenders are measured alike.
template <typename Fn> RunFigures Measure(Fn fn)
{
    RunFigures figures;
    std::fflush(stdout); // the child must not print what the parent buffered
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        _exit(fn());
    }
    int nStatus = 0;
    rusage usage{};
    wait4(pid, &nStatus, 0, &usage);
    figures.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.nPeakKb = usage.ru_maxrss;
    figures.nExit = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    return figures;
}

class CCountingNotify : public IDownloadNotify
{
public:
    void OnDownloadMessage(unsigned nMessage, const std::string& strText, int nCode) override
    {
        if (nMessage == WM_DOWNLOAD_RESULT && nCode == DR_PAGE_SAVED) {
            ++m_nSaved;
        } else if (nMessage == WM_DOWNLOAD_RESULT && nCode == DR_PAGE_FAILED) {
            ++m_nFailed;
        } else if (nMessage == WM_DOWNLOAD_RESULT && nCode == DR_RESOURCE_DONE) {
            ++m_nResources;
        } else if (nMessage == WM_DOWNLOAD_FINISHED) {
            m_strSummary = strText;
        }
    }
    int m_nSaved = 0;
    int m_nFailed = 0;
    int m_nResources = 0;
    std::string m_strSummary;
};

int RunJob(const std::string& strTopUrl, const std::string& strSaveFolder, int nExpectedPages)
{
    CCountingNotify notify;
    CDownloadTask task;
    task.m_strProjectName = "bench";
    task.m_strSaveFolder = strSaveFolder;
    task.m_nMode = 1;
    task.m_strTopUrl = strTopUrl;
    task.m_hNotifyWnd = &notify;
    CDownloadJob job(task);
    job.Start();
    job.Wait();
    std::printf("  job: %d pages saved, %d failed, %d resources\n", notify.m_nSaved, notify.m_nFailed,
                notify.m_nResources);
    std::fflush(stdout);
    return notify.m_nSaved == nExpectedPages && notify.m_nFailed == 0 ? 0 : 1;
}

int RunWget(const std::string& strTopUrl, const std::string& strFolder)
{
    const std::string strWget = FindProgram("wget");
    if (strWget.empty()) {
        return 127;
    }
    execl(strWget.c_str(), "wget", "-q", "-r", "-l", "1", "-p", "-k", "-e", "robots=off", "--no-proxy", "-P",
          strFolder.c_str(), strTopUrl.c_str(), static_cast<char*>(nullptr));
    return 127;
}

void Print(const char* pName, const RunFigures& f)
{
    std::printf("%-6s %10.3f s %10ld KiB   %zu files   exit %d\n", pName, f.dSeconds, f.nPeakKb, f.nFiles, f.nExit);
}

} // namespace

int main(int argc, char** argv)
{
    const int nPages = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const int nImages = argc > 2 ? std::max(0, std::atoi(argv[2])) : 10;
    const int nRuns = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1;
    if (FindProgram("nginx").empty() || FindProgram("wget").empty()) {
        std::fprintf(stderr, "job_vs_wget needs nginx and wget\n");
        return 2;
    }
    const char* pTmp = std::getenv("TMPDIR");
    const std::string strWork = files::MakeUniqueFolder(pTmp && *pTmp ? pTmp : "/tmp", "trawlix-bench-");
    if (strWork.empty()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 2;
    }
    MakeSite(strWork + "/site", nPages, nImages);
    const int nPort = FreePort();
    const pid_t nginx = StartNginx(strWork + "/nginx", strWork + "/site", nPort);
    if (nginx < 0) {
        files::RemoveTree(strWork);
        return 2;
    }
    const std::string strTopUrl = "http://127.0.0.1:" + std::to_string(nPort) + "/index.html";
    std::printf("site: %d pages x %d images at %s\n", nPages, nImages, strTopUrl.c_str());

    std::vector<RunFigures> jobs, wgets;
    for (int r = 0; r < nRuns; ++r) {
        const std::string strJobDir = strWork + "/job" + std::to_string(r);
        const std::string strWgetDir = strWork + "/wget" + std::to_string(r);
        files::CreateFolders(strJobDir);
        files::CreateFolders(strWgetDir);
        jobs.push_back(Measure([&] { return RunJob(strTopUrl, strJobDir, nPages + 1); }));
        wgets.push_back(Measure([&] { return RunWget(strTopUrl, strWgetDir); }));
        jobs.back().nFiles = FileCount(strJobDir);
        wgets.back().nFiles = FileCount(strWgetDir);
        Print("job", jobs.back());
        Print("wget", wgets.back());
    }

    kill(nginx, SIGQUIT);
    waitpid(nginx, nullptr, 0);
    files::RemoveTree(strWork);

    auto best = [](const std::vector<RunFigures>& v) {
        return *std::min_element(v.begin(), v.end(),
                                 [](const RunFigures& a, const RunFigures& b) { return a.dSeconds < b.dSeconds; });
    };
    const RunFigures job = best(jobs);
    const RunFigures wget = best(wgets);
    std::printf("\nbest of %d run(s)       time          peak memory\n", nRuns);
    std::printf("job                %10.3f s %10ld KiB\n", job.dSeconds, job.nPeakKb);
    std::printf("wget -r -l1 -p -k  %10.3f s %10ld KiB\n", wget.dSeconds, wget.nPeakKb);
    std::printf("job / wget         %10.2f   %10.2f\n", job.dSeconds / wget.dSeconds,
                static_cast<double>(job.nPeakKb) / static_cast<double>(wget.nPeakKb));
    return job.nExit == 0 && wget.nExit == 0 ? 0 : 1;
}
