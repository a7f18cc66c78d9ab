// Times the search index over a synthetic project of saved pages (GB2312 pages of Chinese text with some
// English words, as the engine stores them): indexing time per page and the index's size, then the median
// time of 100 queries each of one, two and four Chinese characters and of English words, beside
// `grep -rl` for the same queries over the same files in the same run. Last, what indexing adds to a job:
// the same series of pages fetched from a loopback server by a job alone and by a job whose saved pages
// are indexed as they arrive (as `trawlix-cli get --project-file` and the desktop program do).
//
//   search_index [pages [grep-queries [job-pages [job-runs]]]]   (defaults: 2000 10 500 3)
//
// Everything lives in a temporary folder removed at the end.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "TestHttpServer.h"
#include "download/DownloadLog.h"
#include "download/DownloadMessages.h"
#include "download/DownloadTask.h"
#include "download/DownloadWorker.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "project/ProjectStore.h"
#include "search/SearchIndex.h"
#include "search/SearchQueue.h"

namespace
{

using Clock = std::chrono::steady_clock;

// Common characters, so pages share most of their vocabulary as real text does.
const char kHan[] = "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工也能下过子说"
                    "产种面而方后多定行学法所民得经十三之进着等部度家电力里如水化高自二理起小物现实加量都两体制机当使点"
                    "从业本去把性好应开它合还因由其些然前外天政四日那社义事平形相全表间样与关各重新线内数正心反你明看原"
                    "又么利比或但质气第向道命此变条只没结解问意建月公无系军很情者最立代想已通并提直题党程展五果料象员革"
                    "位入常文总次品式活设及管特件长求老头基资边流路级少图山统接知较将组见计别她手角期根论运农指几九区强"
                    "放决西被干做必战先回则任取据处队南给色光门即保治北造百规热领七海口东导器压志世金增争济阶油思术极交"
                    "受联什认六共权收证改清己美再采转更单风切打白教速花带安场身车例真务具万每目至达走积示议声报斗完类八"
                    "离华名确才科张信马节话米整空元况今集温传土许步群广石记需段研界拉林律叫且究观越织装影算低持音众书布"
                    "复容儿须际商非验连断深难近矿千周委素技备半办青省列习响约支般史感劳便团往酸历市克何除消构府称太准精"
                    "值号率族维划选标写存候毛亲快效斯院查江型眼王按格养易置派层片始却专状育厂京识适属圆包火住调满县局照"
                    "参红细引听该铁价严龙飞软核鼠";
const char* const kWords[] = {"kernel",  "module", "driver",  "network", "memory",  "process", "thread",  "socket",
                              "buffer",  "server", "client",  "request", "archive", "library", "package", "manager",
                              "install", "update", "version", "release", "config",  "system",  "device",  "window"};

std::vector<std::string> hanCharacters()
{
    std::vector<std::string> out;
    const std::string all = kHan;
    for (size_t i = 0; i + 3 <= all.size(); i += 3) {
        out.push_back(all.substr(i, 3));
    }
    return out;
}

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs grep -rl (without a shell) and returns its wall time.
double grepSeconds(const std::string& pattern, const std::string& folder, bool bIgnoreCase)
{
    std::fflush(stdout); // or the child prints what this program had not written yet
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (FILE* null = std::freopen("/dev/null", "w", stdout)) {
            (void)null;
        }
        ::execlp("grep", "grep", "-rlF", bIgnoreCase ? "-i" : "-F", "-e", pattern.c_str(), folder.c_str(),
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return secondsSince(start);
}

std::int64_t fileSize(const std::string& path)
{
    struct stat st
    {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
}

// Hands each page a job saves to onSaved.
class CSavedPages final : public IDownloadNotify
{
public:
    explicit CSavedPages(std::function<void(const CProjectInfor&)> onSaved)
        : m_onSaved(std::move(onSaved))
    {}

    void OnDownloadMessage(unsigned nMessage, const std::string& strText, int nCode) override
    {
        if (nMessage != WM_DOWNLOAD_RESULT || nCode != DR_PAGE_SAVED || !m_onSaved) {
            return;
        }
        const std::vector<std::string> fields = SplitFields(strText);
        if (fields.size() == 6) {
            CProjectInfor page;
            page.m_strLocalFile = fields[0];
            page.m_strUrl = fields[1];
            page.m_strTitle = fields[3];
            m_onSaved(page);
        }
    }

private:
    std::function<void(const CProjectInfor&)> m_onSaved;
};

// One job over the server's series into folder, its pages indexed into an index of its own when
// bIndexed; the time until the last page is saved (and indexed).
double jobSeconds(const TestHttpServer& server, int nPages, const std::string& folder, bool bIndexed)
{
    char last[32];
    std::snprintf(last, sizeof last, "/page%04d.htm", nPages);
    CDownloadTask task;
    task.m_strProjectName = "job";
    task.m_strSaveFolder = folder;
    task.m_strFirstUrl = server.Url("/page0001.htm");
    task.m_strLastUrl = server.Url(last);
    const auto start = Clock::now();
    std::unique_ptr<CSearchIndex> pIndex;
    std::unique_ptr<CSearchQueue> pQueue;
    if (bIndexed) {
        pIndex = std::make_unique<CSearchIndex>(files::Join(folder, "data/search.sqlite"));
        pQueue = std::make_unique<CSearchQueue>(*pIndex);
    }
    const std::string wbr = files::Join(folder, "job.wbr");
    CSavedPages notify([&](const CProjectInfor& page) {
        if (pQueue) {
            pQueue->Add(wbr, "job", page);
        }
    });
    task.m_hNotifyWnd = &notify;
    DownloadWorker(&task);
    if (pQueue) {
        pQueue->Wait();
    }
    return secondsSince(start);
}
} // namespace

int main(int argc, char** argv)
{
    const int nPages = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const int nGrep = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    const int nJobPages = argc > 3 ? std::clamp(std::atoi(argv[3]), 1, 9999) : 500;
    const int nJobRuns = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;
    const char* tmp = std::getenv("TMPDIR");
    const std::string root = files::MakeUniqueFolder(tmp && *tmp ? tmp : "/tmp", "search-bench-");
    if (root.empty()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    const std::string projectFolder = files::Join(root, "save/project");
    files::CreateFolders(projectFolder);

    std::mt19937 random(20261211);
    const std::vector<std::string> han = hanCharacters();
    std::vector<std::string> texts;
    CProjectObject project;
    project.m_strName = "project";
    std::int64_t nPageBytes = 0;
    for (int i = 0; i < nPages; ++i) {
        std::string text;
        std::string html = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
                           "<title>第" +
                           std::to_string(i) + "页</title><script>var x = 1;</script></head><body>";
        for (int p = 0; p < 12; ++p) {
            std::string paragraph;
            for (int k = 0; k < 80; ++k) {
                paragraph += han[random() % han.size()];
                if (random() % 8 == 0) {
                    paragraph += std::string(" ") + kWords[random() % std::size(kWords)] + " ";
                }
            }
            text += paragraph;
            html += "<p>" + paragraph + "</p>";
        }
        html += "</body></html>";
        const std::string file = files::Join(projectFolder, "page" + std::to_string(i) + ".htm");
        const std::string bytes = codepage::Utf8ToGb18030(html);
        files::WriteFile(file, bytes);
        nPageBytes += static_cast<std::int64_t>(bytes.size());
        texts.push_back(text);
        CProjectInfor page;
        page.m_strTitle = "第" + std::to_string(i) + "页";
        page.m_strLocalFile = file;
        page.m_strUrl = "http://example.org/page" + std::to_string(i) + ".htm";
        project.m_pages.push_back(page);
    }
    const std::string wbr = files::Join(root, "bench.wbr");
    CProjectStore store;
    store.SetPath(wbr);
    store.SetProjects({project});

    const std::string indexPath = files::Join(root, "data/search.sqlite");
    CSearchIndex index(indexPath);
    auto start = Clock::now();
    SyncCounts counts;
    index.SyncProjectFile(wbr, &counts);
    const double dIndex = secondsSince(start);
    index.Open();
    std::int64_t nIndexBytes = 0;
    for (const char* suffix : {"", "-wal"}) {
        nIndexBytes += fileSize(indexPath + suffix);
    }
    std::printf("pages: %d (%.1f MB of GB2312 pages), indexed: %d\n", nPages, static_cast<double>(nPageBytes) / 1e6,
                counts.m_nPages);
    std::printf("indexing: %.2f s, %.2f ms per page\n", dIndex, dIndex * 1000 / nPages);
    std::printf("index size: %.1f MB (%.2f x the pages)\n", static_cast<double>(nIndexBytes) / 1e6,
                static_cast<double>(nIndexBytes) / static_cast<double>(nPageBytes));

    start = Clock::now();
    index.SyncProjectFile(wbr, &counts);
    std::printf("re-index with nothing changed: %.1f ms\n", secondsSince(start) * 1000);

    // Queries cut from the pages' own text (Chinese) or drawn from the words, so most of them find pages.
    const auto chineseQuery = [&](int nChars) {
        const std::string& text = texts[random() % texts.size()];
        for (;;) {
            const size_t pos = random() % (text.size() - 3 * nChars);
            if ((static_cast<unsigned char>(text[pos]) & 0xC0) != 0x80) {
                std::string q = text.substr(pos, 3 * static_cast<size_t>(nChars));
                if (q.find(' ') == std::string::npos && codepage::IsValidUtf8(q)) {
                    return q;
                }
            }
        }
    };
    std::printf("\n%-22s %12s %10s %14s %8s\n", "query", "index (ms)", "hits", "grep -rl (ms)", "ratio");
    for (const int nKind : {1, 2, 4, 0}) {
        std::vector<std::string> queries;
        for (int q = 0; q < 100; ++q) {
            queries.push_back(nKind ? chineseQuery(nKind) : std::string(kWords[random() % std::size(kWords)]));
        }
        std::vector<double> times;
        std::vector<double> hitCounts;
        for (const std::string& q : queries) {
            std::vector<SearchHit> hits;
            const auto t = Clock::now();
            index.Search(q, {"", "", 20}, hits);
            times.push_back(secondsSince(t) * 1000);
            hitCounts.push_back(static_cast<double>(hits.size()));
        }
        std::vector<double> grepTimes;
        for (int q = 0; q < nGrep && q < static_cast<int>(queries.size()); ++q) {
            const std::string pattern = nKind ? codepage::Utf8ToGb18030(queries[q]) : queries[q];
            grepTimes.push_back(grepSeconds(pattern, projectFolder, nKind == 0) * 1000);
        }
        const std::string label =
            nKind ? std::to_string(nKind) + " Chinese character" + (nKind > 1 ? "s" : "") : std::string("English word");
        const double dIndexMs = median(times);
        const double dGrepMs = median(grepTimes);
        std::printf("%-22s %12.2f %10.0f %14.2f %7.1fx\n", label.c_str(), dIndexMs, median(hitCounts), dGrepMs,
                    dIndexMs > 0 ? dGrepMs / dIndexMs : 0.0);
    }
    std::printf("\n(index: median of 100 queries with the 20 best hits, each hit's file checked for changes;\n"
                " grep: median of %d of them, pattern in the pages' code page; ratio = grep / index)\n",
                nGrep);

    // The job's pages are the first pages of the project (repeated when it has fewer), served in UTF-8.
    TestHttpServer server;
    for (int i = 1; i <= nJobPages; ++i) {
        char target[32];
        std::snprintf(target, sizeof target, "/page%04d.htm", i);
        server.Route(target, TestHttpResponse::Html("<html><head><meta charset=\"utf-8\"><title>第" +
                                                    std::to_string(i) + "页</title></head><body><p>" +
                                                    texts[(i - 1) % texts.size()] + "</p></body></html>"));
    }
    std::vector<double> plain;
    std::vector<double> indexed;
    for (int run = 0; run < nJobRuns; ++run) {
        // Taken in turns, so a machine busy for a while weighs on both alike.
        plain.push_back(jobSeconds(server, nJobPages, files::Join(root, "job-plain" + std::to_string(run)), false));
        indexed.push_back(jobSeconds(server, nJobPages, files::Join(root, "job-indexed" + std::to_string(run)), true));
    }
    const double dPlain = median(plain);
    const double dIndexed = median(indexed);
    std::printf("\nloopback job of %d pages, median of %d runs: %.2f s alone, %.2f s with its pages indexed"
                " (indexing adds %.1f %%)\n",
                nJobPages, nJobRuns, dPlain, dIndexed, dPlain > 0 ? (dIndexed - dPlain) * 100 / dPlain : 0.0);
    files::RemoveTree(root);
    return 0;
}
