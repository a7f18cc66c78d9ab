#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RunProcess.h"
#include "TempFolder.h"
#include "TestHttpServer.h"
#include "complete/ExecutableContent.h"
#include "download/DownloadTask.h"
#include "download/DownloadWorker.h"
#include "download/PageScanner.h"
#include "platform/Files.h"

namespace
{

const std::string kData = std::string(TRAWLIX_TEST_DATA) + "/complete_job";

std::string Read(const std::string& path)
{
    std::string text;
    EXPECT_TRUE(files::ReadFile(path, text)) << path;
    return text;
}

// Every file below folder, as paths relative to it.
std::set<std::string> Tree(const std::string& folder)
{
    std::set<std::string> out;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            out.insert(std::filesystem::relative(entry.path(), folder).generic_string());
        }
    }
    return out;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class CompleteJobTest : public ::testing::Test
{
protected:
    void SetUp() override { server.ServeFolder(kData + "/site"); }

    ProcessResult Get(const std::vector<std::string>& extra, const std::string& strProject = "site")
    {
        std::vector<std::string> args = {"get",      "--top",      server.Url("/index.html"), "--project", strProject,
                                         "--folder", folder.path()};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunCli(args);
    }

    TempFolder folder;
    TestHttpServer server;
};

} // namespace

TEST_F(CompleteJobTest, SavesSheetsFontsResponsiveAndLazyImagesAndLinksThePages)
{
    const ProcessResult run = Get({"--complete"});
    ASSERT_EQ(run.nExitCode, 1) << run.strOut << run.strErr; // elsewhere.html is missing on the server
    const std::string p = folder.path() + "/site/";

    // A fragment does not stop a link being followed, and two fragments fetch the page once.
    EXPECT_EQ(server.RequestCount("/page2.html"), 1);
    EXPECT_TRUE(files::Exists(p + "page2.html"));
    EXPECT_TRUE(files::Exists(p + "page3.html"));

    const std::set<std::string> expectedFiles = {
        "index.files/site.css",
        "index.files/fonts.css",
        "index.files/print.css",
        "index.files/paper.png",
        "index.files/site.woff2",
        "index.files/site.woff",
        "index.files/print.png",
        "index.files/favicon.ico",
        "index.files/hero.webp",
        "index.files/bg.gif",
        "index.files/logo.svg",
        "index.files/big.jpg",
        "index.files/lazy.jpg",
        "index.files/photo_2x.avif",
        "index.files/photo.jpg",
        "index.files/tile.png",
        "page2.files/site.css",
        "page2.files/fonts.css",
        "page2.files/paper.png",
        "page2.files/site.woff2",
        "page2.files/site.woff",
        "page2.files/logo.svg",
        "page3.files/site.css",
        "page3.files/fonts.css",
        "page3.files/paper.png",
        "page3.files/site.woff2",
        "page3.files/site.woff",
        "index.html",
        "page2.html",
        "page3.html",
    };
    EXPECT_EQ(Tree(p), expectedFiles);
    // Only the largest srcset candidate was asked for.
    EXPECT_EQ(server.RequestCount("/img/small.jpg"), 0);
    EXPECT_EQ(server.RequestCount("/img/medium.jpg"), 0);
    // Each file once per job, however many pages use it.
    EXPECT_EQ(server.RequestCount("/css/site.css"), 1);

    const std::string index = Read(p + "index.html");
    for (const char* part : {
             "<LINK REL=StyleSheet href=\"index.files/site.css\" TYPE=\"text/css\">",
             "<link rel='icon' href=\"index.files/favicon.ico\">",
             "@import \"index.files/print.css\";",
             "/* url(img/not-this.png) */",
             "background: url(index.files/hero.webp) no-repeat;",
             "<body background=\"index.files/bg.gif\">",
             "<img src=\"index.files/logo.svg\" alt='logo'>",
             "<img src=\"index.files/big.jpg\">",
             "<img src=\"index.files/lazy.jpg\" class=\"lazyload\">",
             "<source type=\"image/avif\" srcset=\"index.files/photo_2x.avif 2x\"><img src=\"index.files/photo.jpg\">",
             "<div style=\"background-image:url(index.files/tile.png)\">",
             "<a href=\"page2.html#top\" data-trawlix-href=\"",
             "<a href=\"page2.html#end\" data-trawlix-href=\"",
             "<a href=\"page3.html\" data-trawlix-href=\"",
             "<a href=\"#local\">",
         }) {
        EXPECT_TRUE(Contains(index, part)) << part << "\n" << index;
    }
    EXPECT_TRUE(Contains(index, "<a href=\"" + server.Url("/elsewhere.html") + "\">")) << index;
    EXPECT_TRUE(Contains(index, "document.write")); // scripts are kept unless stripped

    const std::string sheet = Read(p + "index.files/site.css");
    EXPECT_EQ(sheet, "@import url(fonts.css);\n@import \"site.css\";\n"
                     "body { font-family: Site, serif; background: #fff url(paper.png); }\n"
                     "/* a comment with url(../img/not-this.png) */\n"
                     ".icon { background: url(data:image/png;base64,iVBORw0KGgo=); }\n"
                     ".broken { background: url(" +
                         server.Url("/img/missing.png") + "); }\n");
    EXPECT_EQ(Read(p + "page2.files/site.css"), sheet);
    EXPECT_TRUE(Contains(Read(p + "index.files/fonts.css"), "src: url(site.woff2) format('woff2'), url(site.woff)"));
    EXPECT_TRUE(Contains(run.strOut, "     " + server.Url("/img/missing.png") + "   failed\n")) << run.strOut;

    const std::string page2 = Read(p + "page2.html");
    EXPECT_TRUE(Contains(page2, "<a href=\"index.html\" data-trawlix-href=\"")) << page2;
    EXPECT_TRUE(Contains(page2, "<a href=\"page3.html#x\" data-trawlix-href=\"")) << page2;
    EXPECT_TRUE(Contains(Read(p + "page3.html"), "<a href=\"index.html\" data-trawlix-href=\""));

    // Resources are asked for as the page's, and the sheet's, as a browser asks for them.
    for (const TestHttpRequest& request : server.Requests()) {
        if (request.strTarget == "/img/lazy.jpg") {
            EXPECT_EQ(request.headers.at("referer"), server.Url("/index.html"));
        } else if (request.strTarget == "/img/paper.png") {
            EXPECT_EQ(request.headers.at("referer"), server.Url("/css/site.css"));
        }
    }
}

TEST_F(CompleteJobTest, WithoutTheChoicePagesAreSavedAsBefore)
{
    const ProcessResult run = Get({});
    ASSERT_EQ(run.nExitCode, 1) << run.strOut << run.strErr;
    const std::string p = folder.path() + "/site/";
    // The fragment links are not followed, the plain rules pick the pictures, and the pages are written
    // exactly as those rules write them.
    EXPECT_EQ(Tree(p), (std::set<std::string>{"index.html", "page3.html", "index.files/bg.gif", "index.files/small.jpg",
                                              "index.files/photo.jpg"}))
        << run.strOut;
    EXPECT_EQ(server.RequestCount("/page2.html"), 0);
    EXPECT_EQ(server.RequestCount("/css/site.css"), 0);
    for (const char* name : {"index.html", "page3.html"}) {
        const std::string stem = std::string(name).substr(0, std::string(name).find('.'));
        EXPECT_EQ(Read(p + name), CPageScanner::Rewrite(Read(kData + "/site/" + name), stem + ".files", 1)) << name;
    }
    for (const TestHttpRequest& request : server.Requests()) {
        EXPECT_EQ(request.headers.count("referer"), 0u) << request.strTarget;
        EXPECT_EQ(request.headers.count("cookie"), 0u) << request.strTarget;
    }
}

TEST_F(CompleteJobTest, ALaterJobIntoTheProjectLinksTheEarlierPages)
{
    const std::string wbr = folder.file("p.wbr");
    // First only page three, on its own: its links lead to the web.
    ASSERT_EQ(RunCli({"get", "--from", server.Url("/page3.html"), "--project", "site", "--folder", folder.path(),
                      "--project-file", wbr, "--complete"})
                  .nExitCode,
              0);
    const std::string page3 = folder.path() + "/site/00.htm";
    EXPECT_TRUE(Contains(Read(page3), "<a href=\"" + server.Url("/index.html") + "\">Home</a>")) << Read(page3);
    EXPECT_TRUE(Contains(Read(page3), "<a href=\"" + server.Url("/page2.html") + "\">Two</a>")) << Read(page3);
    // Then page two: page three's link to it now leads to the saved file, and back.
    ASSERT_EQ(RunCli({"get", "--from", server.Url("/page2.html"), "--project", "site", "--folder", folder.path(),
                      "--project-file", wbr, "--complete", "--add-count", "1"})
                  .nExitCode,
              0);
    EXPECT_TRUE(
        Contains(Read(page3), "<a href=\"00_1.htm\" data-trawlix-href=\"" + server.Url("/page2.html") + "\">Two</a>"))
        << Read(page3);
    EXPECT_TRUE(Contains(Read(folder.path() + "/site/00_1.htm"),
                         "<a href=\"00.htm#x\" data-trawlix-href=\"" + server.Url("/page3.html#x") + "\">"));
}

TEST_F(CompleteJobTest, CookiesFromAFileReachTheServer)
{
    const std::string cookies = folder.file("cookies.txt");
    files::WriteFile(cookies, "# Netscape HTTP Cookie File\n"
                              "127.0.0.1\tFALSE\t/\tFALSE\t0\tsession\tabc123\n"
                              "#HttpOnly_127.0.0.1\tFALSE\t/\tFALSE\t0\tsecret\ts3\n"
                              "127.0.0.1\tFALSE\t/private/\tFALSE\t0\tonly_private\tx\n"
                              "other.test\tFALSE\t/\tFALSE\t0\telsewhere\ty\n");
    const ProcessResult run = RunCli({"get", "--from", server.Url("/page3.html"), "--project", "c", "--folder",
                                      folder.path(), "--cookies", cookies});
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    const std::vector<TestHttpRequest> requests = server.Requests();
    ASSERT_FALSE(requests.empty());
    ASSERT_EQ(requests[0].strTarget, "/page3.html");
    const std::string sent = requests[0].headers.at("cookie");
    EXPECT_TRUE(sent == "session=abc123; secret=s3" || sent == "secret=s3; session=abc123") << sent;

    const ProcessResult missing = RunCli({"get", "--from", server.Url("/page3.html"), "--project", "c", "--folder",
                                          folder.path(), "--cookies", folder.file("none.txt")});
    EXPECT_EQ(missing.nExitCode, 2);
    EXPECT_TRUE(Contains(missing.strErr, "cannot read the cookie file")) << missing.strErr;
}

TEST_F(CompleteJobTest, TheTasksCookieLinesGoWithEveryRequestToTheirHost)
{
    CDownloadTask task;
    task.m_strProjectName = "c";
    task.m_strSaveFolder = folder.path();
    task.m_strFirstUrl = server.Url("/page3.html");
    task.m_bComplete = 1;
    task.m_cookies = {"127.0.0.1\tFALSE\t/\tFALSE\t0\tsid\tq1", "#HttpOnly_127.0.0.1\tFALSE\t/css/\tFALSE\t0\tcss\tq2"};
    DownloadWorker(&task);
    const std::vector<TestHttpRequest> requests = server.Requests();
    ASSERT_GE(requests.size(), 3u);
    for (const TestHttpRequest& request : requests) {
        const bool bCss = request.strTarget.rfind("/css/", 0) == 0;
        EXPECT_EQ(request.headers.at("cookie"), bCss ? "css=q2; sid=q1" : "sid=q1") << request.strTarget;
    }
}

TEST_F(CompleteJobTest, NoDecodedValueBecomesMarkupAndStrippedPagesHoldNothingToRun)
{
    // Sheet escapes that decode to "</style><img onerror>" and "</style><script>", handlers, a
    // javascript: link spelt with a tab, and a <noscript> that a browser with scripts on reads as text.
    const std::string hostile =
        "<html><head><style>p{background:url(\\3c/style\\3e\\3cimg\\20src=x\\20onerror=alert\\28 1\\29\\3e)}\n"
        "q{background:url('\\3c/style\\3e\\3cscript\\3e alert(5)\\3c/script\\3e')}</style>\n"
        "<script src=\"/js/app.js\"></script></head><body onload=\"go()\">\n"
        "<a href=\"java&#x09;script:alert(2)\">a</a>\n"
        "<noscript><p title=\"</noscript><img src=x onerror=alert(3)>\"></noscript>\n"
        "<img src=\"/img/pic.png\" onerror=\"alert(4)\"></body></html>\n";
    server.Route("/hostile.html", TestHttpResponse::Html(hostile));
    server.Route("/js/app.js", TestHttpResponse::Text("document.title = 'app';"));
    for (bool bStrip : {true, false}) {
        SCOPED_TRACE(bStrip);
        const std::string project = bStrip ? "stripped" : "kept";
        std::vector<std::string> args = {"get",         "--from",    server.Url("/hostile.html"),
                                         "--project",   project,     "--folder",
                                         folder.path(), "--complete"};
        if (bStrip) {
            args.push_back("--strip-scripts");
        }
        const ProcessResult run = RunCli(args);
        const std::string p = folder.path() + "/" + project + "/";
        ASSERT_TRUE(files::Exists(p + "00.htm")) << run.strOut << run.strErr;
        const std::string page = Read(p + "00.htm");
        // The style block ends where the server's ended, and no script comes out of it.
        EXPECT_EQ(page.find("</style>"), page.rfind("</style>")) << page;
        EXPECT_FALSE(Contains(page, "alert(5)</script>")) << page;
        EXPECT_FALSE(Contains(page, "<img src=x onerror=alert(1)")) << page;
        if (bStrip) {
            EXPECT_FALSE(markup::HasExecutable(page)) << page;
            for (const char* part : {" onerror", " onload", "<script", "script:"}) {
                EXPECT_FALSE(Contains(page, part)) << part << "\n" << page;
            }
            // A script that will not run is not fetched either.
            EXPECT_EQ(server.RequestCount("/js/app.js"), 0);
            EXPECT_FALSE(files::Exists(p + "00.files/app.js"));
        } else {
            // Kept scripts run from their saved copies.
            EXPECT_TRUE(Contains(page, "<script src=\"00.files/app.js\"></script>")) << page;
            EXPECT_EQ(Read(p + "00.files/app.js"), "document.title = 'app';");
            EXPECT_EQ(page.find("<script"), page.rfind("<script")) << page;
        }
    }
}

TEST_F(CompleteJobTest, LinksAndFilesResolveAgainstTheBaseOfThePage)
{
    server.Route("/dir/index.html", TestHttpResponse::Html("<html><head><base href=\"/sub/\"></head><body>"
                                                           "<a href=\"p2.html\">two</a><img src=\"pic.png\">"
                                                           "</body></html>"));
    server.Route("/sub/p2.html", TestHttpResponse::Html("<p>the right page</p>"));
    server.Route("/dir/p2.html", TestHttpResponse::Html("<p>the wrong page</p>"));
    server.Route("/sub/pic.png", TestHttpResponse::Text("png"));
    for (bool bComplete : {false, true}) {
        SCOPED_TRACE(bComplete);
        const std::string project = bComplete ? "complete" : "plain";
        std::vector<std::string> args = {"get",      "--top",      server.Url("/dir/index.html"), "--project", project,
                                         "--folder", folder.path()};
        if (bComplete) {
            args.push_back("--complete");
        }
        const ProcessResult run = RunCli(args);
        EXPECT_EQ(run.nExitCode, 0) << run.strOut << run.strErr;
        const std::string p = folder.path() + "/" + project + "/";
        EXPECT_EQ(Read(p + "p2.html"), "<p>the right page</p>");
        EXPECT_EQ(Read(p + "index.files/pic.png"), "png");
        if (bComplete) {
            // The <base> is gone, and the link leads to the saved copy of the page it named.
            EXPECT_TRUE(Contains(Read(p + "index.html"), "<a href=\"p2.html\" data-trawlix-href=\"" +
                                                             server.Url("/sub/p2.html") + "\">two</a>"))
                << Read(p + "index.html");
        }
    }
    EXPECT_EQ(server.RequestCount("/dir/p2.html"), 0);
    EXPECT_EQ(server.RequestCount("/sub/p2.html"), 2);
}

TEST_F(CompleteJobTest, APageStopsPullingFilesAtItsLimitAndKeepsNoSheetCopies)
{
    // One sheet imports 34 large ones: fetched sixteen at a time, the page stops once its files pass
    // the limit, and names each sheet it left out.
    constexpr int kSheets = 34;
    constexpr std::uint64_t kSheetSize = 9u << 20;
    std::string imports;
    for (int n = 0; n < kSheets; ++n) {
        imports += "@import url(big" + std::to_string(n) + ".css);\n";
        TestHttpResponse big;
        big.nGeneratedSize = kSheetSize;
        server.Route("/css/big" + std::to_string(n) + ".css", big);
    }
    server.Route("/css/all.css", TestHttpResponse::Text(imports));
    server.Route("/big.html", TestHttpResponse::Html("<link rel=stylesheet href=\"css/all.css\"><p>big</p>"));
    const ProcessResult run =
        RunCli({"get", "--from", server.Url("/big.html"), "--project", "big", "--folder", folder.path(), "--complete"});
    const std::string p = folder.path() + "/big/";
    ASSERT_TRUE(files::Exists(p + "00.htm")) << run.strOut << run.strErr;
    int nFetched = 0;
    int nLeftOut = 0;
    for (int n = 0; n < kSheets; ++n) {
        const std::string url = server.Url("/css/big" + std::to_string(n) + ".css");
        if (server.RequestCount("/css/big" + std::to_string(n) + ".css") != 0) {
            ++nFetched;
            EXPECT_TRUE(Contains(Read(p + "00.files/all.css"), "@import url(big" + std::to_string(n) + ".css)"));
        } else {
            ++nLeftOut;
            EXPECT_TRUE(Contains(run.strOut, url + " (left out: the page's files passed 256 MB)   failed")) << url;
            EXPECT_TRUE(Contains(Read(p + "00.files/all.css"), "@import url(" + url + ")"));
        }
    }
    EXPECT_EQ(nFetched, 32);
    EXPECT_EQ(nLeftOut, kSheets - 32);
    // Sheets kept as they came for later pages are gone with the job.
    for (const std::string& file : Tree(p)) {
        EXPECT_EQ(file.find(".part-"), std::string::npos) << file;
    }
}
