// A job against nginx speaking HTTP/2 over TLS, as most sites do now: every request goes over HTTP/2,
// and the transfers to the host share its connection instead of opening one each.
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "LocalNginx.h"
#include "RunProcess.h"
#include "TempFolder.h"
#include "TestHttpServer.h"
#include "platform/Files.h"

namespace
{
TEST(Http2Job, ATopPageAndItsLinksComeOverOneMultiplexedConnection)
{
    TempFolder temp;
    const std::string root = temp.file("site");
    files::CreateFolders(root + "/img");
    const int nPages = 12;
    const int nImages = 6;
    std::string top = "<html><head><title>Top</title></head><body>";
    for (int p = 1; p <= nPages; ++p) {
        const std::string page = "p" + std::to_string(p) + ".html";
        top += "<a href=\"" + page + "\">" + page + "</a>";
        std::string body = "<html><head><title>Page " + std::to_string(p) + "</title></head><body>";
        for (int i = 1; i <= nImages; ++i) {
            const std::string image = "p" + std::to_string(p) + "_" + std::to_string(i) + ".gif";
            body += "<img src=\"img/" + image + "\">";
            files::WriteFile(root + "/img/" + image, "GIF89a" + std::string(3000 + p * 10 + i, 'x'));
        }
        files::WriteFile(root + "/" + page, body + "</body></html>");
    }
    files::WriteFile(root + "/index.html", top + "</body></html>");

    CLocalNginx nginx;
    if (!nginx.Start(temp.file("nginx"), root, true)) {
        GTEST_SKIP() << nginx.Error();
    }
    const ProcessResult run =
        RunCli({"get", "--top", nginx.Url("/index.html"), "--project", "h2", "--folder", temp.file("save")},
               {"TRAWLIX_CA_BUNDLE=" + TestHttpServer::CertificateFiles().strCertFile});
    nginx.Stop();
    ASSERT_EQ(run.nExitCode, 0) << run.strErr << run.strOut;
    for (int p = 1; p <= nPages; ++p) {
        EXPECT_TRUE(files::Exists(temp.file("save/h2/p" + std::to_string(p) + ".html"))) << p;
        EXPECT_TRUE(files::Exists(temp.file("save/h2/p" + std::to_string(p) + ".files/p" + std::to_string(p) + "_" +
                                            std::to_string(nImages) + ".gif")))
            << p;
    }

    // "PROTOCOL CONNECTION STATUS TARGET" a request.
    std::string log;
    ASSERT_TRUE(files::ReadFile(nginx.AccessLog(), log));
    std::istringstream lines(log);
    std::string protocol;
    std::string connection;
    std::string status;
    std::string target;
    int nRequests = 0;
    std::set<std::string> connections;
    while (lines >> protocol >> connection >> status >> target) {
        ++nRequests;
        EXPECT_EQ(protocol, "HTTP/2.0") << target;
        EXPECT_EQ(status, "200") << target;
        connections.insert(connection);
    }
    EXPECT_EQ(nRequests, 1 + nPages + nPages * nImages);
    // One connection carries the job; a second may open while the first is being set up.
    EXPECT_LE(connections.size(), 2U) << nRequests << " requests";
}
} // namespace
