#include "download/TransferQueue.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "GzipBytes.h"
#include "TempFolder.h"
#include "TestHttpServer.h"
#include "download/HttpSession.h"
#include "platform/Files.h"

namespace
{

TransferRequest PageRequest(const std::string& strUrl)
{
    TransferRequest request;
    request.kind = TransferRequest::Kind::Page;
    request.strUrl = strUrl;
    return request;
}

TransferRequest FileRequest(const std::string& strUrl, const std::string& strFolder)
{
    TransferRequest request;
    request.kind = TransferRequest::Kind::File;
    request.strUrl = strUrl;
    request.strTempFolder = strFolder;
    request.strTempName = "f";
    return request;
}

// Answers 429/503 with the given Retry-After (none when empty) at first, then the body.
TestHttpHandler BusyThen(int nStatus, std::string strRetryAfter, int nBusyAnswers, std::string strBody)
{
    auto pCount = std::make_shared<std::atomic<int>>(0);
    return [=](const TestHttpRequest&) {
        if (pCount->fetch_add(1) < nBusyAnswers) {
            TestHttpResponse busy = TestHttpResponse::Text("busy", nStatus);
            if (!strRetryAfter.empty()) {
                busy.headers.emplace_back("Retry-After", strRetryAfter);
            }
            return busy;
        }
        return TestHttpResponse::Text(strBody);
    };
}

} // namespace

TEST(TransferQueue, ABusyServerThatSaysWhenIsAskedOnceMore)
{
    TestHttpServer server;
    struct Case
    {
        const char* pPath;
        int nStatus;
        const char* pRetryAfter;
        int nBusyAnswers;
        int nExpectedResult;
        int nExpectedRequests;
    };
    const Case cases[] = {
        {"/429-once", 429, "1", 1, 0, 2},    {"/503-zero", 503, "0", 1, 0, 2},
        {"/429-twice", 429, "0", 2, 4, 2},   // asked once more only
        {"/503-later", 503, "120", 1, 4, 1}, // longer than a minute: not waited for
        {"/429-no-date", 429, "", 1, 4, 1},  // no Retry-After: not asked again
    };
    for (const Case& c : cases) {
        server.Route(c.pPath, BusyThen(c.nStatus, c.pRetryAfter, c.nBusyAnswers, "served"));
    }
    CHttpSession session;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pPath);
        TransferResult result = session.Queue().Run(PageRequest(server.Url(c.pPath)));
        EXPECT_EQ(result.nResult, c.nExpectedResult) << result.strWhy;
        EXPECT_EQ(result.body, c.nExpectedResult == 0 ? "served" : "");
        EXPECT_EQ(server.RequestCount(c.pPath), c.nExpectedRequests);
    }

    // A resource is waited for the same way, and its file holds only the real body.
    TempFolder folder;
    server.Route("/busy.gif", BusyThen(429, "1", 1, "GIF89a"));
    TransferResult file = session.Queue().Run(FileRequest(server.Url("/busy.gif"), folder.path()));
    ASSERT_EQ(file.nResult, 0) << file.strWhy;
    std::string data;
    ASSERT_TRUE(files::ReadFile(file.strFile, data));
    EXPECT_EQ(data, "GIF89a");
    EXPECT_EQ(server.RequestCount("/busy.gif"), 2);
}

TEST(TransferQueue, EndingTheWaitsEndsARequestWaitingForItsSecondTry)
{
    TestHttpServer server;
    server.Route("/busy", BusyThen(503, "50", 1, "served"));
    CHttpSession session;
    CTransferQueue& queue = session.Queue();
    bool bDone = false;
    TransferResult result;
    TransferRequest request = PageRequest(server.Url("/busy"));
    request.onDone = [&](TransferResult& r) {
        result = r;
        bDone = true;
    };
    queue.Add(std::move(request));
    while (server.RequestCount("/busy") == 0) {
        queue.Poll(50);
    }
    for (int i = 0; i < 5 && !bDone; ++i) {
        queue.Poll(50);
    }
    ASSERT_FALSE(bDone); // waiting for its second try

    queue.EndWaits();
    queue.Poll(0);
    ASSERT_TRUE(bDone);
    EXPECT_EQ(result.nResult, 4);
    EXPECT_NE(result.strWhy.find("503"), std::string::npos) << result.strWhy;
    EXPECT_EQ(server.RequestCount("/busy"), 1);
}

TEST(TransferQueue, CompressedBodiesArriveDecoded)
{
    TestHttpServer server;
    const std::string page = "<html><title>压缩</title>" + std::string(100000, 'z') + "</html>";
    const std::string image = std::string("GIF89a\0\x01", 8) + std::string(70000, '\x7f');
    auto compressed = [](std::string body) {
        return [body](const TestHttpRequest& request) {
            auto it = request.headers.find("accept-encoding");
            if (it == request.headers.end() || it->second.find("gzip") == std::string::npos) {
                return TestHttpResponse::Text("not offered gzip", 406);
            }
            TestHttpResponse r = TestHttpResponse::Text(GzipStored(body));
            r.headers.emplace_back("Content-Encoding", "gzip");
            return r;
        };
    };
    server.Route("/page.html", compressed(page));
    server.Route("/image.gif", compressed(image));

    CHttpSession session;
    TransferResult fetched = session.Queue().Run(PageRequest(server.Url("/page.html")));
    ASSERT_EQ(fetched.nResult, 0) << fetched.strWhy;
    EXPECT_TRUE(fetched.body == page);

    TempFolder folder;
    TransferResult file = session.Queue().Run(FileRequest(server.Url("/image.gif"), folder.path()));
    ASSERT_EQ(file.nResult, 0) << file.strWhy;
    std::string data;
    ASSERT_TRUE(files::ReadFile(file.strFile, data));
    EXPECT_TRUE(data == image);
}

TEST(TransferQueue, KeepsToTheLimitsPerHostAndPausesWhenAskedTo)
{
    TestHttpServer server;
    std::mutex mutex;
    int nInFlight = 0;
    int nMostInFlight = 0;
    std::vector<std::chrono::steady_clock::time_point> starts;
    std::vector<std::chrono::steady_clock::time_point> ends;
    for (int i = 0; i < 10; ++i) {
        server.Route("/r" + std::to_string(i), [&](const TestHttpRequest&) {
            {
                std::lock_guard lock(mutex);
                nMostInFlight = std::max(nMostInFlight, ++nInFlight);
                starts.push_back(std::chrono::steady_clock::now());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            std::lock_guard lock(mutex);
            --nInFlight;
            ends.push_back(std::chrono::steady_clock::now());
            return TestHttpResponse::Text("r");
        });
    }
    auto runAll = [&](int nTotal, int nPerHost, int nPauseMs, int nCount) {
        nMostInFlight = 0;
        starts.clear();
        ends.clear();
        CHttpSession session;
        CTransferQueue& queue = session.Queue();
        queue.SetLimits(nTotal, nPerHost, nPauseMs);
        int nDone = 0;
        for (int i = 0; i < nCount; ++i) {
            TransferRequest request = PageRequest(server.Url("/r" + std::to_string(i)));
            request.onDone = [&nDone](TransferResult& r) {
                EXPECT_EQ(r.nResult, 0) << r.strWhy;
                ++nDone;
            };
            queue.Add(std::move(request));
        }
        while (nDone < nCount) {
            queue.Poll(100);
        }
        EXPECT_TRUE(queue.Empty());
    };

    runAll(8, 4, 0, 10);
    EXPECT_GE(nMostInFlight, 2);
    EXPECT_LE(nMostInFlight, 4);

    runAll(8, 4, 300, 3);
    EXPECT_EQ(nMostInFlight, 1);
    ASSERT_EQ(starts.size(), 3u);
    for (size_t i = 1; i < starts.size(); ++i) {
        EXPECT_GE(starts[i] - ends[i - 1], std::chrono::milliseconds(250));
    }
}

TEST(TransferQueue, StartsRequestsInTheOrderAddedWithPageBodiesAhead)
{
    TestHttpServer server;
    for (const char* pPath : {"/a.gif", "/b.gif", "/page.html", "/c.gif", "/next.html"}) {
        server.Route(pPath, TestHttpResponse::Text(pPath));
    }
    CHttpSession session;
    CTransferQueue& queue = session.Queue();
    queue.SetLimits(1, 1, 0);
    int nDone = 0;
    for (const char* pPath : {"/a.gif", "/b.gif", "/page.html", "/c.gif", "/next.html"}) {
        TransferRequest request = PageRequest(server.Url(pPath));
        request.bAhead = std::string(pPath).find(".html") != std::string::npos;
        request.onDone = [&nDone](TransferResult&) { ++nDone; };
        queue.Add(std::move(request));
    }
    while (nDone < 5) {
        queue.Poll(100);
    }
    std::vector<std::string> order;
    for (const auto& request : server.Requests()) {
        order.push_back(request.strTarget);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"/page.html", "/next.html", "/a.gif", "/b.gif", "/c.gif"}));
}
