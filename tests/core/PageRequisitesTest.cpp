#include "complete/PageRequisites.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "TestHttpServer.h"
#include "complete/CompletePage.h"
#include "download/ResourceDownload.h"
#include "platform/Files.h"

namespace
{

std::string Read(const std::string& path)
{
    std::string text;
    files::ReadFile(path, text);
    return text;
}

} // namespace

TEST(PageRequisites, SavesSheetsWithWhatTheyImportAndShow)
{
    TempFolder folder;
    TestHttpServer server;
    server.Route("/css/site.css", TestHttpResponse::Text("@import 'site.css';@import url(\"parts/more.css\");\n"
                                                         "body{background:url(../img/bg.png)}"));
    server.Route("/css/parts/more.css",
                 TestHttpResponse::Text("@font-face{font-family:F;src:url('/fonts/f.woff2') format('woff2')}\n"
                                        "h1{background:url(data:image/gif;base64,R0lG)}"
                                        "h2{background:url(../../img/missing.png)}"));
    server.Route("/img/bg.png", TestHttpResponse::Text("PNG-bg"));
    server.Route("/fonts/f.woff2", TestHttpResponse::Text("wOF2"));
    server.Route("/pics/p.jpg", TestHttpResponse::Text("JPEG"));

    const std::string html =
        "<link rel=stylesheet href=\"/css/site.css\"><link rel=stylesheet href=\"/css/broken.css\">"
        "<img src=\"data:image/gif;base64,R0lG\" data-src=\"pics/p.jpg\">";
    CCompletePage page(html, server.Url("/index.html"), "index.files");
    const std::string resources = folder.file("index.files");
    files::CreateFolders(resources);

    std::vector<std::string> log;
    SaveRequisites(
        page, resources, server.Url("/index.html"),
        [](std::vector<RequisiteTransfer>& batch) {
            for (RequisiteTransfer& t : batch) {
                t.bOk = DownloadUrlToFile(t.strUrl, t.strPath, nullptr, nullptr, &t.strWhy);
            }
        },
        [&log](const RequisiteTransfer& t) { log.push_back(t.strUrl + (t.bOk ? " ok" : " failed")); });

    EXPECT_EQ(log, (std::vector<std::string>{
                       server.Url("/css/site.css") + " ok",
                       server.Url("/css/broken.css") + " failed",
                       server.Url("/pics/p.jpg") + " ok",
                       server.Url("/css/parts/more.css") + " ok",
                       server.Url("/img/bg.png") + " ok",
                       server.Url("/fonts/f.woff2") + " ok",
                       server.Url("/img/missing.png") + " failed",
                   }));
    EXPECT_EQ(Read(resources + "/site.css"),
              "@import \"site.css\";@import url(more.css);\nbody{background:url(bg.png)}");
    EXPECT_EQ(Read(resources + "/more.css"), "@font-face{font-family:F;src:url(f.woff2) format('woff2')}\n"
                                             "h1{background:url(data:image/gif;base64,R0lG)}"
                                             "h2{background:url(" +
                                                 server.Url("/img/missing.png") + ")}");
    EXPECT_EQ(Read(resources + "/f.woff2"), "wOF2");
    EXPECT_FALSE(files::Exists(resources + "/broken.css"));
    EXPECT_EQ(page.Rewritten(), "<link rel=stylesheet href=\"index.files/site.css\"><link rel=stylesheet href=\"" +
                                    server.Url("/css/broken.css") + "\"><img src=\"index.files/p.jpg\">");
}
