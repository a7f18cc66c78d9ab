#include "TestHttpServer.h"

#include <string>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include "TempFolder.h"
#include "platform/Files.h"

namespace
{

struct Reply
{
    CURLcode rc = CURLE_OK;
    long nStatus = 0;
    std::string body;
    std::string contentType;
};

size_t Collect(char* p, size_t size, size_t n, void* pUser)
{
    static_cast<std::string*>(pUser)->append(p, size * n);
    return size * n;
}

// A plain libcurl client, so the server is checked independently of the program's own fetcher.
Reply Get(const std::string& strUrl, const std::string& strCaFile = "", long nTimeoutSeconds = 10)
{
    Reply reply;
    CURL* h = curl_easy_init();
    curl_easy_setopt(h, CURLOPT_URL, strUrl.c_str());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, nTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_NOPROXY, "*");
    if (!strCaFile.empty()) {
        curl_easy_setopt(h, CURLOPT_CAINFO, strCaFile.c_str());
    }
    reply.rc = curl_easy_perform(h);
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &reply.nStatus);
    char* pType = nullptr;
    curl_easy_getinfo(h, CURLINFO_CONTENT_TYPE, &pType);
    reply.contentType = pType ? pType : "";
    curl_easy_cleanup(h);
    return reply;
}

} // namespace

TEST(TestHttpServer, RoutesByExactTargetCountsRequestsAndAnswersOtherTargetsWith404)
{
    TestHttpServer server;
    server.Route("/a?x=1", TestHttpResponse::Html("<p>one</p>"));
    server.Route("/echo", [](const TestHttpRequest& r) { return TestHttpResponse::Text(r.headers.at("host")); });

    Reply a = Get(server.Url("/a?x=1"));
    EXPECT_EQ(a.rc, CURLE_OK);
    EXPECT_EQ(a.nStatus, 200);
    EXPECT_EQ(a.body, "<p>one</p>");
    EXPECT_EQ(a.contentType, "text/html");
    EXPECT_EQ(Get(server.Url("a?x=2")).nStatus, 404);
    EXPECT_EQ(Get(server.Url("/echo")).body, "127.0.0.1:" + std::to_string(server.Port()));
    EXPECT_EQ(server.RequestCount("/a?x=1"), 1);
    EXPECT_EQ(server.RequestCount("/a?x=2"), 1);
    ASSERT_EQ(server.Requests().size(), 3u);
    EXPECT_EQ(server.Requests()[2].strTarget, "/echo");
}

TEST(TestHttpServer, SendsBodiesChunkedCloseDelimitedAndGenerated)
{
    TestHttpServer server;
    TestHttpResponse chunked = TestHttpResponse::Text(std::string(200000, 'c'));
    chunked.bChunked = true;
    server.Route("/chunked", chunked);
    TestHttpResponse closeDelimited = TestHttpResponse::Text("until the end");
    closeDelimited.bContentLength = false;
    server.Route("/close", closeDelimited);
    TestHttpResponse generated;
    generated.nGeneratedSize = 1'000'000;
    server.Route("/generated", generated);

    EXPECT_EQ(Get(server.Url("/chunked")).body, std::string(200000, 'c'));
    EXPECT_EQ(Get(server.Url("/close")).body, "until the end");
    Reply big = Get(server.Url("/generated"));
    ASSERT_EQ(big.body.size(), 1'000'000u);
    EXPECT_EQ(big.body.substr(0, 3), "abc");
    EXPECT_EQ(big.body[26], 'a');
}

TEST(TestHttpServer, ServesFilesOfAFolderTypedByExtension)
{
    TempFolder folder;
    ASSERT_TRUE(files::WriteFile(folder.file("page.htm"), "<html></html>"));
    ASSERT_TRUE(files::WriteFile(folder.file("pic.gif"), "GIF89a"));
    TestHttpServer server;
    server.ServeFolder(folder.path());

    Reply page = Get(server.Url("/page.htm"));
    EXPECT_EQ(page.body, "<html></html>");
    EXPECT_EQ(page.contentType, "text/html");
    EXPECT_EQ(Get(server.Url("/pic.gif?v=2")).contentType, "image/gif");
    EXPECT_EQ(Get(server.Url("/missing.gif")).nStatus, 404);
}

TEST(TestHttpServer, StopsWhileAClientWaitsOnAStalledResponse)
{
    auto pServer = std::make_unique<TestHttpServer>();
    TestHttpResponse stalled = TestHttpResponse::Text(std::string(1000, 's'));
    stalled.nStallAfter = 10;
    pServer->Route("/stall", stalled);
    TestHttpResponse delayed = TestHttpResponse::Text("late");
    delayed.nDelayMs = 60'000;
    pServer->Route("/delay", delayed);

    // The client gives up after its own time-out; the server must still stop with both responses pending.
    Reply reply = Get(pServer->Url("/stall"), "", 1);
    EXPECT_EQ(reply.rc, CURLE_OPERATION_TIMEDOUT);
    EXPECT_EQ(reply.body, std::string(10, 's'));
    EXPECT_EQ(Get(pServer->Url("/delay"), "", 1).rc, CURLE_OPERATION_TIMEDOUT);
    pServer.reset();
}

TEST(TestHttpServer, ServesHttpsWithACertificateThatClientsTrustThroughCaFile)
{
    TestHttpServer server(TestHttpServer::Scheme::Https);
    server.Route("/secure", TestHttpResponse::Text("sealed"));
    ASSERT_EQ(server.Url("/secure").rfind("https://127.0.0.1:", 0), 0u);
    ASSERT_FALSE(server.CaFile().empty());

    Reply trusted = Get(server.Url("/secure"), server.CaFile());
    EXPECT_EQ(trusted.rc, CURLE_OK);
    EXPECT_EQ(trusted.body, "sealed");
    EXPECT_EQ(Get(server.Url("/secure")).rc, CURLE_PEER_FAILED_VERIFICATION);
}
