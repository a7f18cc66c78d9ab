#include "download/DownloadWorker.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "GzipBytes.h"
#include "TempFolder.h"
#include "TestHttpServer.h"
#include "download/DownloadMessages.h"
#include "platform/CodePage.h"
#include "platform/Files.h"

namespace
{

struct Event
{
    unsigned nMessage;
    std::string strText;
    int nCode;
    bool operator==(const Event&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Event& e)
{
    return out << "{" << std::hex << e.nMessage << std::dec << ", \"" << e.strText << "\", " << e.nCode << "}";
}

// Records every event; an optional hook runs inside the call, on the job's thread, like a receiver would.
class CRecorder final : public IDownloadNotify
{
public:
    void OnDownloadMessage(unsigned nMessage, const std::string& strText, int nCode) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_events.push_back({nMessage, strText, nCode});
        }
        if (hook) {
            hook(nMessage, strText, nCode);
        }
    }
    std::vector<Event> Events()
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::function<void(unsigned, const std::string&, int)> hook;

private:
    std::mutex m_mutex;
    std::vector<Event> m_events;
};

std::string readFile(const std::string& path)
{
    std::string data;
    files::ReadFile(path, data);
    return data;
}

const std::string kGif = std::string("GIF89a\x01\x00\x01\x00\x80\x00\x00", 13) + "pixels";

class DownloadWorkerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_stopDownloadEvent.ResetEvent();
        task.m_strProjectName = "小说";
        task.m_hProjectItem = 4242;
        task.m_strSaveFolder = folder.path();
        task.m_hNotifyWnd = &recorder;
    }
    void TearDown() override { g_stopDownloadEvent.ResetEvent(); }

    std::string projectFile(const std::string& name) const { return folder.path() + "/小说/" + name; }
    std::string summary(int nSaved, int nFailed) const
    {
        return "小说\t" + std::to_string(nSaved) + "\t" + std::to_string(nFailed) + "\t" + folder.path() + "/小说";
    }

    TempFolder folder;
    TestHttpServer server;
    CRecorder recorder;
    CDownloadTask task;
};

TEST_F(DownloadWorkerTest, SeriesSavesEachPageWithItsImagesAndReportsEveryStepInOrder)
{
    for (int n = 1; n <= 2; ++n) {
        server.Route("/s/page" + std::to_string(n) + ".html",
                     TestHttpResponse::Html("<html><head><title>第" + std::to_string(n) +
                                            "页</title></head><body><img src=\"pics/a.gif\"><img src=gone.gif>"
                                            "<script>alert(1)</script>\n<p>text</p></body></html>"));
    }
    server.Route("/s/pics/a.gif", TestHttpResponse::Text(kGif));
    task.m_strFirstUrl = server.Url("/s/page1.html");
    task.m_strLastUrl = server.Url("/s/page2.html");
    task.m_bKeepScripts = 0;

    EXPECT_EQ(DownloadWorker(&task), 0);

    std::vector<Event> expected;
    for (int n = 1; n <= 2; ++n) {
        const std::string page = "page" + std::to_string(n);
        expected.push_back({WM_DOWNLOAD_BEGIN, server.Url("/s/" + page + ".html"), 0});
        expected.push_back({WM_DOWNLOAD_RESULT, server.Url("/s/pics/a.gif"), DR_RESOURCE_DONE});
        expected.push_back({WM_DOWNLOAD_RESULT, server.Url("/s/gone.gif"), DR_RESOURCE_FAILED});
        expected.push_back({WM_DOWNLOAD_RESULT,
                            projectFile(page + ".html") + "\t" + server.Url("/s/" + page + ".html") + "\t4242\t第" +
                                std::to_string(n) + "页\t" + std::to_string(n) + "\t2",
                            DR_PAGE_SAVED});
    }
    expected.push_back({WM_DOWNLOAD_FINISHED, summary(2, 0), 0});
    EXPECT_EQ(recorder.Events(), expected);

    EXPECT_EQ(readFile(projectFile("page1.files/a.gif")), kGif);
    EXPECT_EQ(readFile(projectFile("page2.files/a.gif")), kGif);
    EXPECT_FALSE(files::Exists(projectFile("page1.files/gone.gif")));
    // Each address is asked for once per job, the one that failed included.
    EXPECT_EQ(server.RequestCount("/s/pics/a.gif"), 1);
    EXPECT_EQ(server.RequestCount("/s/gone.gif"), 1);
    EXPECT_EQ(readFile(projectFile("page2.html")),
              "<html><head><title>第2页</title></head><body><img src=\"page2.files/a.gif\">"
              "<img src=\"page2.files/gone.gif\"><p>text</p></body></html>");
}

TEST_F(DownloadWorkerTest, LinkJobNamesEveryPageDistinctlyAndUsesTheTopPageExtension)
{
    server.Route("/site/index.asp", TestHttpResponse::Html("<title>Top</title>"
                                                           "<a href=\"a.html\">a</a>"
                                                           "<a href=\"b.html\">b</a>"
                                                           "<a href=\"a.html\">again</a>"
                                                           "<a href=\"sub/a.html\">other a</a>"
                                                           "<a href=\"list.php?id=7\">7</a>"
                                                           "<a href=\"show.php?page=7\">also 7</a>"
                                                           "<a href=\"x.html#top\">anchor</a>"));
    for (const char* path :
         {"/site/a.html", "/site/b.html", "/site/sub/a.html", "/site/list.php?id=7", "/site/show.php?page=7"}) {
        server.Route(path, TestHttpResponse::Html(std::string("<title>") + path + "</title>"));
    }
    task.m_nMode = 1;
    task.m_strTopUrl = server.Url("/site/index.asp");

    DownloadWorker(&task);

    std::vector<std::string> saved;
    for (const auto& e : recorder.Events()) {
        if (e.nMessage == WM_DOWNLOAD_RESULT && e.nCode == DR_PAGE_SAVED) {
            saved.push_back(files::FileName(e.strText.substr(0, e.strText.find('\t'))));
        }
    }
    // a.html twice is one page; the second a.html (link 4) and the second "7" (link 6) get numbered names.
    EXPECT_EQ(saved, (std::vector<std::string>{"index.asp", "a.asp", "b.asp", "0004.asp", "7.asp", "0006.asp"}));
    EXPECT_EQ(recorder.Events().back(), (Event{WM_DOWNLOAD_FINISHED, summary(6, 0), 0}));
}

TEST_F(DownloadWorkerTest, LinkRangeThatIsNotOnThePageLeavesOnlyTheTopPage)
{
    server.Route("/index.html", TestHttpResponse::Html("<a href=\"a.html\">a</a>"));
    task.m_nMode = 1;
    task.m_strTopUrl = server.Url("/index.html");
    task.m_strFirstUrl = server.Url("/elsewhere.html");

    DownloadWorker(&task);

    EXPECT_EQ(recorder.Events().back(), (Event{WM_DOWNLOAD_FINISHED, summary(1, 0), 0}));
    EXPECT_EQ(server.RequestCount("/a.html"), 0);
}

TEST_F(DownloadWorkerTest, Utf8PageIsStoredInCodePage936WithoutLosingCharacters)
{
    server.Route("/u.html", TestHttpResponse::Html("<meta content=\"text/html; charset=utf-8\"><title>目录</title>"
                                                   "<p>中文 \xF0\x9F\x98\x80</p>"));
    task.m_strFirstUrl = server.Url("/u.html");

    DownloadWorker(&task);

    const std::string saved = readFile(projectFile("00.htm"));
    EXPECT_EQ(saved, "<meta content=\"text/html; charset=gb2312\"><title>\xC4\xBF\xC2\xBC</title>"
                     "<p>\xD6\xD0\xCE\xC4 &#128512;</p>");
    // The record carries the title as UTF-8 whatever the saved copy's code page, even when its code
    // page 936 bytes would also read as UTF-8.
    EXPECT_NE(recorder.Events().at(1).strText.find("\t目录\t"), std::string::npos);
}

TEST_F(DownloadWorkerTest, FailedPagesAreCountedAndTheJobGoesOn)
{
    server.Route("/p1.htm", TestHttpResponse::Text("missing", 404));
    server.Route("/p2.htm", TestHttpResponse::Html("<title>two</title>"));
    server.Route("/p3.htm", TestHttpResponse::Html("<title>three</title>"));
    task.m_strFirstUrl = server.Url("/p1.htm");
    task.m_strLastUrl = server.Url("/p3.htm");
    // A folder appears where page 2's file should go: the page cannot be written.
    recorder.hook = [&](unsigned nMessage, const std::string& strText, int) {
        if (nMessage == WM_DOWNLOAD_BEGIN && strText == server.Url("/p2.htm")) {
            std::filesystem::remove(projectFile("p2.htm"));
            files::CreateFolders(projectFile("p2.htm/x"));
        }
    };

    DownloadWorker(&task);

    auto events = recorder.Events();
    ASSERT_EQ(events.size(), 7u);
    // Each failure says why.
    EXPECT_EQ(events[1], (Event{WM_DOWNLOAD_RESULT, "1\t3\tHTTP status 404", DR_PAGE_FAILED}));
    EXPECT_EQ(events[3].nCode, DR_PAGE_FAILED);
    EXPECT_EQ(events[3].strText.rfind("2\t3\tcannot ", 0), 0u) << events[3].strText;
    EXPECT_NE(events[3].strText.find(projectFile("p2.htm")), std::string::npos) << events[3].strText;
    EXPECT_EQ(events[5].nCode, DR_PAGE_SAVED);
    EXPECT_EQ(events[6], (Event{WM_DOWNLOAD_FINISHED, summary(1, 2), 0}));
    EXPECT_FALSE(files::Exists(projectFile("p1.htm")));
    EXPECT_FALSE(files::Exists(projectFile("p1.files")));
    EXPECT_FALSE(files::Exists(projectFile("p2.files")));
    EXPECT_TRUE(files::IsFolder(projectFile("p2.htm/x"))); // what is not the job's stays
}

TEST_F(DownloadWorkerTest, SeriesNumberedInAFolderSavesEveryPageUnderItsOwnName)
{
    for (int n = 5; n <= 7; ++n) {
        server.Route("/2003/0" + std::to_string(n) + "/index.html", TestHttpResponse::Html("month"));
    }
    task.m_strFirstUrl = server.Url("/2003/05/index.html");
    task.m_strLastUrl = server.Url("/2003/07/index.html");

    DownloadWorker(&task);

    EXPECT_EQ(recorder.Events().back(), (Event{WM_DOWNLOAD_FINISHED, summary(3, 0), 0}));
    for (const char* name : {"index.html", "0002.html", "0003.html"}) {
        EXPECT_TRUE(files::Exists(projectFile(name))) << name;
    }
}

TEST_F(DownloadWorkerTest, StopEndsTheJobAfterThePageInProgress)
{
    for (int n = 1; n <= 5; ++n) {
        server.Route("/p" + std::to_string(n) + ".htm", TestHttpResponse::Html("page"));
    }
    task.m_strFirstUrl = server.Url("/p1.htm");
    task.m_strLastUrl = server.Url("/p5.htm");
    recorder.hook = [this](unsigned nMessage, const std::string& strText, int) {
        if (nMessage == WM_DOWNLOAD_BEGIN && strText == server.Url("/p3.htm")) {
            g_stopDownloadEvent.SetEvent();
        }
    };

    DownloadWorker(&task);

    EXPECT_EQ(recorder.Events().back(), (Event{WM_DOWNLOAD_FINISHED, summary(3, 0), 0}));
    EXPECT_EQ(server.RequestCount("/p4.htm"), 0);
    EXPECT_FALSE(g_stopDownloadEvent.Wait(0)); // the job consumed the stop
}

TEST_F(DownloadWorkerTest, AJobsOwnStopEndsItAfterThePageInProgressAndNoOtherJob)
{
    for (int n = 1; n <= 5; ++n) {
        server.Route("/p" + std::to_string(n) + ".htm", TestHttpResponse::Html("page"));
    }
    task.m_strFirstUrl = server.Url("/p1.htm");
    task.m_strLastUrl = server.Url("/p5.htm");
    std::atomic<bool> bStop{false};
    recorder.hook = [&](unsigned nMessage, const std::string& strText, int) {
        if (nMessage == WM_DOWNLOAD_BEGIN && strText == server.Url("/p3.htm")) {
            bStop = true;
        }
    };

    DownloadWorker(&task, nullptr, &bStop);

    EXPECT_EQ(recorder.Events().back(), (Event{WM_DOWNLOAD_FINISHED, summary(3, 0), 0}));
    EXPECT_EQ(server.RequestCount("/p4.htm"), 0);
    EXPECT_FALSE(g_stopDownloadEvent.Wait(0)); // left for nobody else to take
}

TEST_F(DownloadWorkerTest, StopSetBeforeAJobEndsItBeforeItsFirstPage)
{
    server.Route("/p1.htm", TestHttpResponse::Html("page"));
    task.m_strFirstUrl = server.Url("/p1.htm");
    g_stopDownloadEvent.SetEvent();

    DownloadWorker(&task);

    EXPECT_EQ(recorder.Events(), (std::vector<Event>{{WM_DOWNLOAD_FINISHED, summary(0, 0), 0}}));
}

TEST_F(DownloadWorkerTest, AProjectFolderOfAnEarlierJobStaysWhenNothingIsSaved)
{
    server.Route("/p1.htm", TestHttpResponse::Text("missing", 404));
    task.m_strFirstUrl = server.Url("/p1.htm");
    files::CreateFolders(projectFile(""));

    DownloadWorker(&task);

    EXPECT_EQ(recorder.Events().back(), (Event{WM_DOWNLOAD_FINISHED, summary(0, 1), 0}));
    EXPECT_TRUE(files::IsFolder(projectFile("")));
}

TEST_F(DownloadWorkerTest, CancelAbortsAStalledTransferAndStillReportsTheSummary)
{
    TestHttpResponse stalled = TestHttpResponse::Html(std::string(100000, 'x'));
    stalled.nStallAfter = 10;
    server.Route("/p1.htm", stalled);
    server.Route("/p2.htm", TestHttpResponse::Html("never asked for"));
    task.m_strFirstUrl = server.Url("/p1.htm");
    task.m_strLastUrl = server.Url("/p2.htm");
    CEvent begun(true);
    recorder.hook = [&begun](unsigned nMessage, const std::string&, int) {
        if (nMessage == WM_DOWNLOAD_BEGIN) {
            begun.SetEvent();
        }
    };

    CDownloadJob job(task);
    job.Start();
    ASSERT_TRUE(begun.Wait(60000));
    job.Cancel();
    job.Wait();

    EXPECT_TRUE(job.IsFinished());
    EXPECT_EQ(recorder.Events().back(), (Event{WM_DOWNLOAD_FINISHED, summary(0, 1), 0}));
    EXPECT_EQ(server.RequestCount("/p2.htm"), 0);
}

TEST_F(DownloadWorkerTest, UnrecognisedSeriesGivesOnlyAnEmptySummary)
{
    task.m_strFirstUrl = server.Url("/a.htm");
    task.m_strLastUrl = server.Url("/b.htm");

    DownloadWorker(&task);

    EXPECT_EQ(recorder.Events(), (std::vector<Event>{{WM_DOWNLOAD_FINISHED, summary(0, 0), 0}}));
}

TEST_F(DownloadWorkerTest, EmptySaveFolderMeansTheDocumentsFolder)
{
    TempFolder documents;
    ::setenv("XDG_DOCUMENTS_DIR", documents.path().c_str(), 1);
    server.Route("/one.htm", TestHttpResponse::Html("page"));
    task.m_strSaveFolder.clear();
    task.m_strFirstUrl = server.Url("/one.htm");

    DownloadWorker(&task);
    ::unsetenv("XDG_DOCUMENTS_DIR");

    EXPECT_TRUE(files::Exists(documents.path() + "/小说/00.htm"));
    EXPECT_EQ(recorder.Events().back().strText, "小说\t1\t0\t" + documents.path() + "/小说");
}

// The page record and the summary name the files where they really are: a relative save folder is
// taken from the current folder, and a project name that is no folder name is made into one.
TEST_F(DownloadWorkerTest, RecordsAndSummaryNameTheRealFolders)
{
    server.Route("/one.htm", TestHttpResponse::Html("page"));
    task.m_strFirstUrl = server.Url("/one.htm");
    const std::string previous = std::filesystem::current_path().string();
    std::filesystem::current_path(folder.path());
    task.m_strSaveFolder = "out";
    task.m_strProjectName = "a/b";

    DownloadWorker(&task);
    std::filesystem::current_path(previous);

    const std::string project = folder.path() + "/out/a_b";
    auto events = recorder.Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[1].strText.substr(0, events[1].strText.find('\t')), project + "/00.htm");
    EXPECT_EQ(events[2].strText, "a/b\t1\t0\t" + project);
    EXPECT_TRUE(files::Exists(project + "/00.htm"));
}

// Files a job leaves in the project folder that no page owns: temporary downloads.
std::vector<std::string> strayFiles(const std::string& strFolder)
{
    std::vector<std::string> stray;
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(strFolder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".part-") != std::string::npos || name.find(".link-") != std::string::npos) {
            stray.push_back(name);
        }
    }
    return stray;
}

TEST_F(DownloadWorkerTest, ParallelTransfersAreReportedInPageOrderWhateverOrderTheyEndIn)
{
    std::mutex mutex;
    int nInFlight = 0;
    int nMostInFlight = 0;
    std::string top = "<title>Top</title>";
    for (int p = 1; p <= 3; ++p) {
        const std::string page = "p" + std::to_string(p);
        top += "<a href=\"" + page + ".html\">" + page + "</a>";
        std::string body = "<title>" + page + "</title>";
        for (int k = 1; k <= 6; ++k) {
            const std::string image = "/img/" + page + "_" + std::to_string(k) + ".gif";
            body += "<img src=\"" + image + "\">";
            // The first picture of each page answers last.
            const int nDelayMs = k == 1 ? 400 : 20 * k;
            server.Route(image, [&, nDelayMs, image](const TestHttpRequest&) {
                {
                    std::lock_guard lock(mutex);
                    nMostInFlight = std::max(nMostInFlight, ++nInFlight);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(nDelayMs));
                std::lock_guard lock(mutex);
                --nInFlight;
                return TestHttpResponse::Text("GIF89a" + image);
            });
        }
        server.Route("/" + page + ".html", TestHttpResponse::Html(body));
    }
    server.Route("/index.html", TestHttpResponse::Html(top));
    task.m_nMode = 1;
    task.m_strTopUrl = server.Url("/index.html");

    DownloadWorker(&task);

    std::vector<Event> expected;
    const std::vector<std::string> names = {"index", "p1", "p2", "p3"};
    for (int n = 0; n < 4; ++n) {
        const std::string url = server.Url("/" + names[n] + ".html");
        expected.push_back({WM_DOWNLOAD_BEGIN, url, 0});
        for (int k = 1; n > 0 && k <= 6; ++k) {
            expected.push_back({WM_DOWNLOAD_RESULT, server.Url("/img/" + names[n] + "_" + std::to_string(k) + ".gif"),
                                DR_RESOURCE_DONE});
        }
        const std::string title = n == 0 ? "Top" : names[n];
        expected.push_back(
            {WM_DOWNLOAD_RESULT,
             projectFile(names[n] + ".html") + "\t" + url + "\t4242\t" + title + "\t" + std::to_string(n + 1) + "\t4",
             DR_PAGE_SAVED});
    }
    expected.push_back({WM_DOWNLOAD_FINISHED, summary(4, 0), 0});
    EXPECT_EQ(recorder.Events(), expected);
    EXPECT_EQ(readFile(projectFile("p2.files/p2_1.gif")), "GIF89a/img/p2_1.gif");
    // Several at once, never more than one host may take.
    EXPECT_GE(nMostInFlight, 2);
    EXPECT_LE(nMostInFlight, 4);
    // The top page was fetched once, to build the list and to be saved.
    EXPECT_EQ(server.RequestCount("/index.html"), 1);
    EXPECT_EQ(strayFiles(folder.path()), std::vector<std::string>());
}

TEST_F(DownloadWorkerTest, AResourceSharedByPagesIsFetchedOnceAndCopiedIntoEachFolder)
{
    server.Route("/shared/logo.gif", TestHttpResponse::Text(kGif));
    server.Route("/a/x.gif", TestHttpResponse::Text("from a"));
    server.Route("/b/x.gif", TestHttpResponse::Text("from b"));
    for (int n = 1; n <= 4; ++n) {
        std::string body = "<img src=\"/shared/logo.gif\"><img src=\"/missing.gif\">";
        if (n == 2) {
            // Two addresses with one file name: the later one wins this page's copy.
            body += "<img src=\"/a/x.gif\"><img src=\"/b/x.gif\"><img src=\"/shared/logo.gif\">";
        }
        if (n == 4) {
            body += "<img src=\"/a/x.gif\">";
        }
        server.Route("/p" + std::to_string(n) + ".htm", TestHttpResponse::Html(body));
    }
    task.m_strFirstUrl = server.Url("/p1.htm");
    task.m_strLastUrl = server.Url("/p4.htm");

    DownloadWorker(&task);

    int nDone = 0;
    int nFailed = 0;
    for (const auto& e : recorder.Events()) {
        nDone += e.nCode == DR_RESOURCE_DONE && e.nMessage == WM_DOWNLOAD_RESULT ? 1 : 0;
        nFailed += e.nCode == DR_RESOURCE_FAILED && e.nMessage == WM_DOWNLOAD_RESULT ? 1 : 0;
    }
    EXPECT_EQ(nDone, 4 + 1 + 2 + 1);
    EXPECT_EQ(nFailed, 4);
    EXPECT_EQ(server.RequestCount("/shared/logo.gif"), 1);
    EXPECT_EQ(server.RequestCount("/missing.gif"), 1);
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(readFile(projectFile("p" + std::to_string(n) + ".files/logo.gif")), kGif) << n;
    }
    EXPECT_EQ(readFile(projectFile("p2.files/x.gif")), "from b");
    // Page 4 gets a's picture, not the copy b overwrote.
    EXPECT_EQ(readFile(projectFile("p4.files/x.gif")), "from a");
    EXPECT_EQ(strayFiles(folder.path()), std::vector<std::string>());
}

TEST_F(DownloadWorkerTest, StopDuringParallelTransfersFinishesThePageAndDropsWhatRanAhead)
{
    for (int n = 1; n <= 3; ++n) {
        std::string body;
        for (int k = 1; k <= 5; ++k) {
            const std::string image = "/i" + std::to_string(n) + "_" + std::to_string(k) + ".gif";
            body += "<img src=\"" + image + "\">";
            TestHttpResponse late = TestHttpResponse::Text("GIF89a");
            late.nDelayMs = 150;
            server.Route(image, late);
        }
        server.Route("/p" + std::to_string(n) + ".htm", TestHttpResponse::Html(body));
    }
    task.m_strFirstUrl = server.Url("/p1.htm");
    task.m_strLastUrl = server.Url("/p3.htm");
    recorder.hook = [this](unsigned nMessage, const std::string& strText, int) {
        if (nMessage == WM_DOWNLOAD_RESULT && strText == server.Url("/i1_1.gif")) {
            g_stopDownloadEvent.SetEvent();
        }
    };

    DownloadWorker(&task);

    auto events = recorder.Events();
    EXPECT_EQ(events.back(), (Event{WM_DOWNLOAD_FINISHED, summary(1, 0), 0}));
    ASSERT_EQ(events.size(), 1u + 5u + 1u + 1u); // page 1 whole, nothing of page 2
    for (int k = 1; k <= 5; ++k) {
        EXPECT_EQ(events[k].nCode, DR_RESOURCE_DONE);
        EXPECT_TRUE(files::Exists(projectFile("p1.files/i1_" + std::to_string(k) + ".gif")));
    }
    EXPECT_FALSE(files::Exists(projectFile("p2.htm")));
    EXPECT_FALSE(files::Exists(projectFile("p2.files")));
    EXPECT_FALSE(files::Exists(projectFile("p3.htm")));
    EXPECT_EQ(strayFiles(folder.path()), std::vector<std::string>());
}

TEST_F(DownloadWorkerTest, CancelDuringParallelTransfersEndsThemAtOnce)
{
    // The server may still answer a request the job sent just before it ended, after the job is gone:
    // the handlers reach the job only while it runs.
    struct RunningJob
    {
        std::mutex mutex;
        CDownloadJob* pJob = nullptr;
    };
    auto running = std::make_shared<RunningJob>();
    std::string body;
    for (int k = 1; k <= 6; ++k) {
        const std::string image = "/stall" + std::to_string(k) + ".gif";
        body += "<img src=\"" + image + "\">";
        server.Route(image, [running](const TestHttpRequest&) {
            {
                std::lock_guard<std::mutex> lock(running->mutex);
                if (running->pJob) {
                    running->pJob->Cancel();
                }
            }
            TestHttpResponse r = TestHttpResponse::Text(std::string(100000, 'x'));
            r.nStallAfter = 100;
            return r;
        });
    }
    server.Route("/p1.htm", TestHttpResponse::Html(body));
    server.Route("/p2.htm", TestHttpResponse::Html("second"));
    task.m_strFirstUrl = server.Url("/p1.htm");
    task.m_strLastUrl = server.Url("/p2.htm");

    CDownloadJob job(task);
    {
        std::lock_guard<std::mutex> lock(running->mutex);
        running->pJob = &job;
    }
    job.Start();
    job.Wait();
    {
        std::lock_guard<std::mutex> lock(running->mutex);
        running->pJob = nullptr;
    }

    auto events = recorder.Events();
    ASSERT_FALSE(events.empty());
    // The page whose pictures were cut off is not saved: it counts as failed.
    EXPECT_EQ(events.back(), (Event{WM_DOWNLOAD_FINISHED, summary(0, 1), 0}));
    EXPECT_EQ(events[events.size() - 2], (Event{WM_DOWNLOAD_RESULT, "1\t2\tcancelled", DR_PAGE_FAILED}));
    for (size_t i = 1; i + 2 < events.size(); ++i) {
        EXPECT_EQ(events[i].nCode, DR_RESOURCE_FAILED) << events[i].strText;
    }
    EXPECT_FALSE(files::Exists(projectFile("p1.htm")));
    EXPECT_FALSE(files::Exists(projectFile("p1.files")));
    EXPECT_FALSE(files::Exists(projectFile("p2.htm")));
    EXPECT_EQ(strayFiles(folder.path()), std::vector<std::string>());
    // Nothing was saved: no empty project folder is left behind either.
    EXPECT_FALSE(files::Exists(projectFile("")));
}

TEST_F(DownloadWorkerTest, StopCutsShortTheWaitForABusyServer)
{
    server.Route("/p1.htm", TestHttpResponse::Html("<img src=\"/busy.gif\">"));
    server.Route("/p2.htm", TestHttpResponse::Html("second"));
    // The stop comes while the server asks us to come back in half a minute.
    server.Route("/busy.gif", [](const TestHttpRequest&) {
        g_stopDownloadEvent.SetEvent();
        TestHttpResponse busy = TestHttpResponse::Text("busy", 429);
        busy.headers.emplace_back("Retry-After", "30");
        return busy;
    });
    task.m_strFirstUrl = server.Url("/p1.htm");
    task.m_strLastUrl = server.Url("/p2.htm");

    const auto start = std::chrono::steady_clock::now();
    DownloadWorker(&task);

    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    auto events = recorder.Events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[1], (Event{WM_DOWNLOAD_RESULT, server.Url("/busy.gif"), DR_RESOURCE_FAILED}));
    EXPECT_EQ(events[2].nCode, DR_PAGE_SAVED);
    EXPECT_EQ(events[3], (Event{WM_DOWNLOAD_FINISHED, summary(1, 0), 0}));
    EXPECT_EQ(server.RequestCount("/busy.gif"), 1);
}

TEST_F(DownloadWorkerTest, ThePauseHoldsBeforeEveryRequestToTheHost)
{
    // The top page of a link job, a picture that redirects, one the server asks for again at once, an
    // icon and a page fetched ahead: each request waits for the pause after the one before it, also once
    // the job has been told to stop.
    struct Case
    {
        const char* pName;
        bool bComplete;
        bool bStopAtFirstPicture;
        std::vector<std::string> requests; // sorted
    };
    const Case cases[] = {
        {"plain", false, false, {"/a.gif", "/b.gif", "/b2.gif", "/c.gif", "/c.gif", "/d.gif", "/p1.html", "/top.html"}},
        {"complete",
         true,
         false,
         {"/a.gif", "/b.gif", "/b2.gif", "/c.gif", "/c.gif", "/d.gif", "/icon.png", "/p1.html", "/top.html"}},
        // The second try of c.gif is given up at the stop, and the next page's picture is not asked for.
        {"stopped", false, true, {"/a.gif", "/b.gif", "/b2.gif", "/c.gif", "/p1.html", "/top.html"}},
    };
    constexpr auto kPause = std::chrono::milliseconds(200);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pName);
        g_stopDownloadEvent.ResetEvent();
        TestHttpServer site;
        std::mutex mutex;
        std::vector<std::pair<std::string, std::chrono::steady_clock::time_point>> seen;
        auto bCAsked = std::make_shared<std::atomic<bool>>(false);
        auto answer = [&, bCAsked, c](const TestHttpRequest& request) {
            {
                std::lock_guard lock(mutex);
                seen.emplace_back(request.strTarget, std::chrono::steady_clock::now());
            }
            const std::string& target = request.strTarget;
            if (target == "/top.html") {
                return TestHttpResponse::Html("<html><head><link rel=\"icon\" href=\"icon.png\"></head><body>"
                                              "<img src=\"a.gif\"><img src=\"b.gif\"><img src=\"c.gif\">"
                                              "<a href=\"p1.html\">one</a></body></html>");
            }
            if (target == "/p1.html") {
                return TestHttpResponse::Html("<img src=\"a.gif\"><img src=\"d.gif\">");
            }
            if (target == "/b.gif") {
                return TestHttpResponse::Redirect(302, "/b2.gif");
            }
            if (target == "/a.gif" && c.bStopAtFirstPicture) {
                g_stopDownloadEvent.SetEvent();
            }
            if (target == "/c.gif" && !bCAsked->exchange(true)) {
                TestHttpResponse busy = TestHttpResponse::Text("busy", 503);
                busy.headers.emplace_back("Retry-After", "0");
                return busy;
            }
            return TestHttpResponse::Text(kGif);
        };
        for (const char* target :
             {"/top.html", "/p1.html", "/icon.png", "/a.gif", "/b.gif", "/b2.gif", "/c.gif", "/d.gif"}) {
            site.Route(target, answer);
        }
        task.m_strProjectName = c.pName;
        task.m_nMode = 1;
        task.m_strTopUrl = site.Url("/top.html");
        task.m_bComplete = c.bComplete ? 1 : 0;
        task.m_nWaitMs = static_cast<int>(kPause.count());

        DownloadWorker(&task);

        std::lock_guard lock(mutex);
        std::vector<std::string> targets;
        for (size_t i = 0; i < seen.size(); ++i) {
            targets.push_back(seen[i].first);
            if (i > 0) {
                // The pause runs from the end of the answer before, so the gap between arrivals is never shorter.
                EXPECT_GE(seen[i].second - seen[i - 1].second, kPause * 9 / 10)
                    << "before request " << i << " " << seen[i].first;
            }
        }
        std::sort(targets.begin(), targets.end());
        EXPECT_EQ(targets, c.requests);
    }
}

TEST_F(DownloadWorkerTest, NoPageIsWrittenOverAnother)
{
    // The third a.htm gets the clash name 0003, which the top page already has.
    server.Route("/t/0003.htm", TestHttpResponse::Html("top <a href=\"x/a.htm\">1</a><a href=\"y/a.htm\">2</a>"
                                                       "<a href=\"z/a.htm\">3</a>"));
    for (const char* path : {"/t/x/a.htm", "/t/y/a.htm", "/t/z/a.htm"}) {
        server.Route(path, TestHttpResponse::Html(std::string("page ") + path));
    }
    // A page file of an earlier job of the project.
    files::CreateFolders(projectFile(""));
    files::WriteFile(projectFile("a.htm"), "earlier job");
    task.m_nMode = 1;
    task.m_strTopUrl = server.Url("/t/0003.htm");

    DownloadWorker(&task);

    EXPECT_EQ(recorder.Events().back(), (Event{WM_DOWNLOAD_FINISHED, summary(4, 0), 0}));
    std::set<std::string> files;
    for (const auto& e : recorder.Events()) {
        if (e.nMessage == WM_DOWNLOAD_RESULT && e.nCode == DR_PAGE_SAVED) {
            const std::string path = e.strText.substr(0, e.strText.find('\t'));
            const std::string url =
                e.strText.substr(path.size() + 1, e.strText.find('\t', path.size() + 1) - path.size() - 1);
            files.insert(path);
            // Each file holds the page its record names.
            EXPECT_NE(readFile(path).find(url == task.m_strTopUrl ? "top" : url.substr(url.find("/t/"))),
                      std::string::npos)
                << path;
        }
    }
    EXPECT_EQ(files.size(), 4u);
    EXPECT_EQ(readFile(projectFile("a.htm")), "earlier job");
}

TEST_F(DownloadWorkerTest, ASeriesWhoseNumberIsAFolderGetsOneFilePerPage)
{
    for (int n = 1; n <= 5; ++n) {
        server.Route("/" + std::to_string(n) + "/0003.html", TestHttpResponse::Html("issue " + std::to_string(n)));
    }
    task.m_strFirstUrl = server.Url("/1/0003.html");
    task.m_strLastUrl = server.Url("/5/0003.html");

    DownloadWorker(&task);

    EXPECT_EQ(recorder.Events().back(), (Event{WM_DOWNLOAD_FINISHED, summary(5, 0), 0}));
    std::set<std::string> contents;
    for (const auto& e : recorder.Events()) {
        if (e.nMessage == WM_DOWNLOAD_RESULT && e.nCode == DR_PAGE_SAVED) {
            contents.insert(readFile(e.strText.substr(0, e.strText.find('\t'))));
        }
    }
    EXPECT_EQ(contents.size(), 5u);
}

TEST_F(DownloadWorkerTest, PicturesAndPagesAreCreatedUnderTheUmask)
{
    server.Route("/p.htm", TestHttpResponse::Html("<img src=\"a.gif\">"));
    server.Route("/a.gif", TestHttpResponse::Text(kGif));
    task.m_strFirstUrl = server.Url("/p.htm");
    for (const mode_t mask : {022, 027}) {
        const mode_t previous = ::umask(mask);
        DownloadWorker(&task);
        ::umask(previous);
        for (const char* name : {"00.htm", "00.files/a.gif"}) {
            struct stat st
            {};
            ASSERT_EQ(::stat(projectFile(name).c_str(), &st), 0) << name;
            EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << name << " " << std::oct << mask;
        }
        files::RemoveTree(projectFile(""));
    }
}

TEST_F(DownloadWorkerTest, APageSentCompressedUnaskedIsSavedDecoded)
{
    // The server compresses whatever the request said.
    server.Route("/z.htm", [](const TestHttpRequest&) {
        TestHttpResponse r = TestHttpResponse::Html(GzipStored("<title>packed</title><p>plain text</p>"));
        r.headers.emplace_back("Content-Encoding", "gzip");
        return r;
    });
    task.m_strFirstUrl = server.Url("/z.htm");

    DownloadWorker(&task);

    EXPECT_EQ(recorder.Events().back(), (Event{WM_DOWNLOAD_FINISHED, summary(1, 0), 0}));
    EXPECT_EQ(readFile(projectFile("00.htm")), "<title>packed</title><p>plain text</p>");
}

TEST_F(DownloadWorkerTest, OtherModesEndSilently)
{
    task.m_nMode = 7;
    EXPECT_EQ(DownloadWorker(&task), 0);
    EXPECT_TRUE(recorder.Events().empty());
}

} // namespace

TEST_F(DownloadWorkerTest, TwoJobsIntoOneProjectAtOnceNeverShareAFile)
{
    // Two series whose pages have the same names; every answer is slow, so both jobs have chosen their
    // names before either saves a page.
    for (const char* site : {"/a/", "/b/"}) {
        for (int n = 1; n <= 3; ++n) {
            const std::string path = site + std::string("page") + std::to_string(n) + ".html";
            TestHttpResponse page = TestHttpResponse::Html("<title>" + path + "</title>" + path);
            page.nDelayMs = 150;
            server.Route(path, page);
        }
    }
    for (bool bComplete : {false, true}) {
        SCOPED_TRACE(bComplete ? "complete" : "plain");
        std::filesystem::remove_all(projectFile(""));
        CRecorder recorders[2];
        std::unique_ptr<CDownloadJob> jobs[2];
        for (int k = 0; k < 2; ++k) {
            CDownloadTask t = task;
            t.m_bComplete = bComplete;
            t.m_hNotifyWnd = &recorders[k];
            t.m_strFirstUrl = server.Url(k == 0 ? "/a/page1.html" : "/b/page1.html");
            t.m_strLastUrl = server.Url(k == 0 ? "/a/page3.html" : "/b/page3.html");
            jobs[k] = std::make_unique<CDownloadJob>(t);
        }
        jobs[0]->Start();
        jobs[1]->Start();
        jobs[0]->Wait();
        jobs[1]->Wait();

        std::set<std::string> paths;
        for (CRecorder& r : recorders) {
            EXPECT_EQ(r.Events().back().strText.substr(0, 10), "小说\t3\t0");
            for (const auto& e : r.Events()) {
                if (e.nMessage == WM_DOWNLOAD_RESULT && e.nCode == DR_PAGE_SAVED) {
                    const std::string path = e.strText.substr(0, e.strText.find('\t'));
                    const std::string url =
                        e.strText.substr(path.size() + 1, e.strText.find('\t', path.size() + 1) - path.size() - 1);
                    paths.insert(path);
                    // Each file holds the page its record names.
                    EXPECT_NE(readFile(path).find(url.substr(url.find("/", 7))), std::string::npos) << path;
                }
            }
        }
        EXPECT_EQ(paths.size(), 6u);
        // Nothing is left reserved: six pages, six folders.
        EXPECT_EQ(
            std::distance(std::filesystem::directory_iterator(projectFile("")), std::filesystem::directory_iterator()),
            12);
    }
}

TEST_F(DownloadWorkerTest, TheLinkPassWritesOnlyFilesInsideTheProjectFolder)
{
    server.Route("/p1.htm", TestHttpResponse::Html("<a href=\"notes.html\">notes</a>"));
    // The user's own page, added to the project from the disk, lies outside the project folder; a
    // crafted record names a file outside through the folder.
    const std::string notes = folder.file("notes.html");
    const std::string original = "<base href=\"" + server.Url("/") + "\"><a href=\"a.htm\">a</a>";
    ASSERT_TRUE(files::WriteFile(notes, original));
    task.m_bComplete = 1;
    task.m_strFirstUrl = server.Url("/p1.htm");
    task.m_strLastUrl = server.Url("/p1.htm");
    task.m_projectPages = {{server.Url("/notes.html"), notes},
                           {server.Url("/other.html"), projectFile("../notes.html")}};

    DownloadWorker(&task);

    EXPECT_EQ(recorder.Events().back(), (Event{WM_DOWNLOAD_FINISHED, summary(1, 0), 0}));
    EXPECT_EQ(readFile(notes), original);
    // The saved page (a lone address is named 00) still links to the held page.
    EXPECT_NE(readFile(projectFile("00.htm")).find("href=\"../notes.html\""), std::string::npos)
        << readFile(projectFile("00.htm"));
}
