// Times updating an unchanged saved project beside the job that first saved it, and both beside
// `wget -N` (time-stamping) doing the same to its own copy, over nginx on 127.0.0.1 reached through the
// latency relay (each byte held 10 ms each way). Prints wall times, bytes the server sent and requests,
// and the update's share of the first job's time and bytes (targets: at most 0.25 and 0.05).
//
//   update_vs_wget [pages [images-per-page [delay-ms]]]   (defaults: 50 10 10)
//
// Needs nginx and wget. Everything lives in a temporary folder removed at the end.

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sys/mman.h>

#include "BenchRun.h"
#include "platform/Files.h"

namespace
{

void makeSeries(const std::string& strRoot, int nPages, int nImages)
{
    files::CreateFolders(strRoot + "/img");
    for (int p = 1; p <= nPages; ++p) {
        std::string strPage = "<html><head><title>Chapter " + std::to_string(p) + "</title></head><body>\n";
        for (int i = 1; i <= nImages; ++i) {
            const std::string strImage = "p" + std::to_string(p) + "_" + std::to_string(i) + ".gif";
            strPage += "<p>Paragraph " + std::to_string(i) + " " + std::string(400, 'x') + "</p>\n";
            strPage += "<img src=\"img/" + strImage + "\" width=\"10\">\n";
            std::string strData = "GIF89a";
            strData.resize(2048 + static_cast<size_t>((p * 31 + i * 17) % 4096), static_cast<char>(p + i));
            files::WriteFile(strRoot + "/img/" + strImage, strData);
        }
        files::WriteFile(strRoot + "/p" + std::to_string(p) + ".html", strPage + "</body></html>\n");
    }
}

long requestsLogged(const std::string& strLog)
{
    std::ifstream in(strLog);
    long n = 0;
    for (std::string line; std::getline(in, line);) {
        ++n;
    }
    return n;
}

struct Step
{
    const char* pName;
    RunFigures figures;
    long long nBytes = 0;
};

} // namespace

int main(int argc, char** argv)
{
    const int nPages = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    const int nImages = argc > 2 ? std::max(0, std::atoi(argv[2])) : 10;
    const int nDelayMs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 10;
    const std::string strWget = CLocalNginx::FindProgram("wget");
    if (CLocalNginx::FindProgram("nginx").empty() || strWget.empty()) {
        std::fprintf(stderr, "update_vs_wget needs nginx and wget\n");
        return 2;
    }
    const char* pTmp = std::getenv("TMPDIR");
    const std::string strWork = files::MakeUniqueFolder(pTmp && *pTmp ? pTmp : "/tmp", "trawlix-bench-");
    if (strWork.empty()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 2;
    }
    makeSeries(strWork + "/site", nPages, nImages);
    CLocalNginx nginx;
    const bool bNginx = nginx.Start(strWork + "/nginx", strWork + "/site");
    // The relay process counts the bytes it hands to clients here.
    void* pShared =
        mmap(nullptr, sizeof(std::atomic<long long>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    auto* pBytes = new (pShared) std::atomic<long long>(0);
    const int nRelayPort = CLocalNginx::FreePort();
    const pid_t relay = bNginx ? StartRelay(nRelayPort, nginx.Port(), nDelayMs, pBytes) : -1;
    if (!bNginx || relay < 0) {
        std::fprintf(stderr, "%s\n", bNginx ? "the relay did not start" : nginx.Error().c_str());
        nginx.Stop();
        files::RemoveTree(strWork);
        return 2;
    }
    const std::string strOrigin = "http://127.0.0.1:" + std::to_string(nRelayPort);
    const std::string strList = strWork + "/series.txt";
    {
        std::string list;
        for (int p = 1; p <= nPages; ++p) {
            list += strOrigin + "/p" + std::to_string(p) + ".html\n";
        }
        files::WriteFile(strList, list);
    }
    const std::string strLog = nginx.AccessLog();
    auto measure = [&](const char* pName, const std::vector<std::string>& args) {
        Step step{pName, {}, 0};
        const long nBefore = requestsLogged(strLog);
        const long long nBytesBefore = pBytes->load();
        step.figures = Measure(args);
        // The relay hands on the last bytes a moment after the program has them.
        std::this_thread::sleep_for(std::chrono::milliseconds(3 * nDelayMs));
        step.nBytes = pBytes->load() - nBytesBefore;
        step.figures.nRequests = requestsLogged(strLog) - nBefore;
        return step;
    };
    const std::string strCli = TRAWLIX_CLI_PATH;
    const std::string strSave = strWork + "/save";
    const std::string strWbr = strWork + "/bench.wbr";
    const std::vector<std::string> wgetArgs = {strWget,      "-q",         "-N", "-p",           "-k", "-K",   "-e",
                                               "robots=off", "--no-proxy", "-P", strWork + "/w", "-i", strList};
    std::vector<Step> steps;
    steps.push_back(measure("job", {strCli, "get", "--from", strOrigin + "/p1.html", "--to",
                                    strOrigin + "/p" + std::to_string(nPages) + ".html", "--project", "bench",
                                    "--folder", strSave, "--project-file", strWbr}));
    steps.push_back(measure("update", {strCli, "update", strWbr, "--project", "bench"}));
    steps.push_back(measure("wget", wgetArgs));
    steps.push_back(measure("wget -N", wgetArgs));

    kill(relay, SIGKILL);
    waitpid(relay, nullptr, 0);
    nginx.Stop();
    files::RemoveTree(strWork);

    std::printf("series of %d pages x %d images, relay %d ms each way\n", nPages, nImages, nDelayMs);
    bool bAllOk = true;
    for (const Step& step : steps) {
        std::printf("  %-8s %8.3f s (cpu %6.3f s) %8ld KiB peak %6ld requests %10lld bytes   exit %d\n", step.pName,
                    step.figures.dSeconds, step.figures.dCpuSeconds, step.figures.nPeakKb, step.figures.nRequests,
                    step.nBytes, step.figures.nExit);
        bAllOk = bAllOk && step.figures.nExit == 0;
    }
    auto share = [](const Step& again, const Step& first) {
        std::printf("  %s / %s: time %.3f, bytes %.3f\n", again.pName, first.pName,
                    again.figures.dSeconds / std::max(1e-6, first.figures.dSeconds),
                    static_cast<double>(again.nBytes) / static_cast<double>(std::max(1LL, first.nBytes)));
    };
    share(steps[1], steps[0]);
    share(steps[3], steps[2]);
    std::printf("  update / wget -N: time %.3f\n",
                steps[1].figures.dSeconds / std::max(1e-6, steps[3].figures.dSeconds));
    return bAllOk ? 0 : 1;
}
