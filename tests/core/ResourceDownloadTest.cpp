#include "download/ResourceDownload.h"

#include <atomic>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "TestHttpServer.h"
#include "download/HttpSession.h"
#include "platform/Files.h"

namespace
{

size_t EntryCount(const std::string& strFolder)
{
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(strFolder)) {
        ++n;
    }
    return n;
}

} // namespace

TEST(ResourceDownload, SavesTheBodyFollowingRedirects)
{
    TempFolder folder;
    TestHttpServer server;
    const std::string strImage("GIF89a\0\x01\x02 binary", 17);
    server.Route("/img/logo.gif", TestHttpResponse::Text(strImage));
    server.Route("/old/logo.gif", TestHttpResponse::Redirect(301, "/moved/logo.gif"));
    server.Route("/moved/logo.gif", TestHttpResponse::Redirect(302, server.Url("/img/logo.gif")));

    server.Route("/img/my%20logo.gif", TestHttpResponse::Text(strImage));

    for (const char* pPath : {"/img/logo.gif", "/old/logo.gif", "/img/my logo.gif"}) {
        SCOPED_TRACE(pPath);
        const std::string strTarget = folder.file("logo.gif");
        std::string strWhy;
        ASSERT_TRUE(DownloadUrlToFile(server.Url(pPath), strTarget, nullptr, nullptr, &strWhy)) << strWhy;
        std::string data;
        ASSERT_TRUE(files::ReadFile(strTarget, data));
        EXPECT_EQ(data, strImage);
        EXPECT_EQ(EntryCount(folder.path()), 1u); // no temporary file left beside it
    }
}

TEST(ResourceDownload, AFailedDownloadLeavesNoFileAndKeepsAnExistingOne)
{
    TestHttpServer server;
    server.Route("/missing.gif", TestHttpResponse::Text("not here", 404));
    server.Route("/broken.gif", TestHttpResponse::Text("oops", 500));
    server.Route("/loop.gif", TestHttpResponse::Redirect(302, "/loop.gif"));
    TestHttpResponse stalled = TestHttpResponse::Text(std::string(10000, 'x'));
    stalled.nStallAfter = 1000;
    server.Route("/stalled.gif", stalled);
    TestHttpResponse cut = TestHttpResponse::Text("short");
    cut.headers.emplace_back("Content-Length", "100");
    server.Route("/cut.gif", cut);
    // Larger than the limit these downloads are given, declared or not.
    server.Route("/huge.gif", TestHttpResponse::Text(std::string(5000, 'x')));
    TestHttpResponse endless = TestHttpResponse::Text(std::string(5000, 'x'));
    endless.bContentLength = false;
    server.Route("/endless.gif", endless);
    int nClosedPort = 0;
    {
        TestHttpServer gone;
        nClosedPort = gone.Port();
    }

    const std::string addresses[] = {
        server.Url("/missing.gif"), server.Url("/broken.gif"),
        server.Url("/loop.gif"),    server.Url("/stalled.gif"),
        server.Url("/cut.gif"),     "http://127.0.0.1:" + std::to_string(nClosedPort) + "/a.gif",
        "file:///etc/hostname",     server.Url("/huge.gif"),
        server.Url("/endless.gif"),
    };
    for (const std::string& strAddress : addresses) {
        SCOPED_TRACE(strAddress);
        TempFolder folder;
        std::string strWhy;
        EXPECT_FALSE(DownloadUrlToFile(strAddress, folder.file("a.gif"), nullptr, nullptr, &strWhy, 1, 4096));
        EXPECT_FALSE(strWhy.empty());
        EXPECT_EQ(EntryCount(folder.path()), 0u);

        ASSERT_TRUE(files::WriteFile(folder.file("a.gif"), "earlier copy"));
        EXPECT_FALSE(DownloadUrlToFile(strAddress, folder.file("a.gif"), nullptr, nullptr, nullptr, 1, 4096));
        std::string data;
        ASSERT_TRUE(files::ReadFile(folder.file("a.gif"), data));
        EXPECT_EQ(data, "earlier copy");
        EXPECT_EQ(EntryCount(folder.path()), 1u);
    }

    TempFolder folder;
    EXPECT_FALSE(DownloadUrlToFile(server.Url("/missing.gif"), folder.file("no/such/folder/a.gif")));
}

TEST(ResourceDownload, TheCancelFlagAbortsADownloadInProgress)
{
    std::atomic<bool> bCancel{false};
    TestHttpServer server;
    server.Route("/big.gif", [&](const TestHttpRequest&) {
        bCancel = true;
        TestHttpResponse r = TestHttpResponse::Text(std::string(10000, 'x'));
        r.nStallAfter = 1000;
        return r;
    });
    TempFolder folder;
    std::string strWhy;
    EXPECT_FALSE(DownloadUrlToFile(server.Url("/big.gif"), folder.file("big.gif"), nullptr, &bCancel, &strWhy));
    EXPECT_NE(strWhy.find("cancelled"), std::string::npos) << strWhy;
    EXPECT_EQ(EntryCount(folder.path()), 0u);
}

TEST(ResourceDownload, DownloadsOfOneSessionShareTheConnectionAndItsTrust)
{
    TestHttpServer server(TestHttpServer::Scheme::Https);
    server.Route("/a.gif", TestHttpResponse::Text("a"));
    server.Route("/b.gif", TestHttpResponse::Text("b"));
    TempFolder folder;

    CHttpSession session;
    session.SetCaFile(server.CaFile());
    std::string strWhy;
    EXPECT_TRUE(DownloadUrlToFile(server.Url("/a.gif"), folder.file("a.gif"), &session, nullptr, &strWhy)) << strWhy;
    EXPECT_TRUE(DownloadUrlToFile(server.Url("/b.gif"), folder.file("b.gif"), &session, nullptr, &strWhy)) << strWhy;
    EXPECT_EQ(server.ConnectionCount(), 1);

    CHttpSession untrusting;
    untrusting.SetCaFile("");
    EXPECT_FALSE(DownloadUrlToFile(server.Url("/a.gif"), folder.file("c.gif"), &untrusting));
    EXPECT_FALSE(files::Exists(folder.file("c.gif")));
}
