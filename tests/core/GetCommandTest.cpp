#include <csignal>
#include <fcntl.h>
#include <set>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "RunProcess.h"
#include "TempFolder.h"
#include "TestHttpServer.h"
#include "platform/Files.h"
#include "project/ProjectStore.h"

namespace
{

class GetCommandTest : public ::testing::Test
{
protected:
    TempFolder folder;
    TestHttpServer server;
};

TEST_F(GetCommandTest, PrintsTheLogAndTheReportAndAddsThePagesToAProjectFile)
{
    server.Route("/a1.htm", TestHttpResponse::Html("<title>第一</title><img src=\"p.gif\">"));
    server.Route("/a2.htm", TestHttpResponse::Html("<title>第二</title>"));
    server.Route("/p.gif", TestHttpResponse::Text("GIF89a"));
    const std::string wbr = folder.file("书架.wbr");

    ProcessResult run = RunCli({"get", "--from", server.Url("/a1.htm"), "--to", server.Url("/a2.htm"), "--project",
                                "小说", "--folder", folder.path(), "--project-file", wbr});

    EXPECT_EQ(run.nExitCode, 0) << run.strErr;
    const std::string project = folder.path() + "/小说";
    EXPECT_EQ(run.strOut, "-----------Start download webpage-----------------\n"
                          "DownLoad file from : " +
                              server.Url("/a1.htm") +
                              "\n"
                              "     " +
                              server.Url("/p.gif") +
                              "   ok\n"
                              "........." +
                              server.Url("/a1.htm") +
                              " .......... ok \n"
                              "DownLoad file from : " +
                              server.Url("/a2.htm") +
                              "\n"
                              "........." +
                              server.Url("/a2.htm") +
                              " .......... ok \n"
                              "工程名:\n         小说\n"
                              "下载网页成功:\n         2\n"
                              "下载网页失败:\n         0\n"
                              "网页保存路径:\n         " +
                              project + "\n");

    CProjectStore store;
    store.SetPath(wbr);
    store.Transfer(false);
    std::vector<CProjectObject> projects;
    store.GetProjects(projects);
    ASSERT_EQ(projects.size(), 1u);
    EXPECT_EQ(projects[0].m_strName, "小说");
    ASSERT_EQ(projects[0].m_pages.size(), 2u);
    EXPECT_EQ(projects[0].m_pages[1].m_strTitle, "第二");
    EXPECT_EQ(projects[0].m_pages[1].m_strLocalFile, project + "/a2.htm");
    EXPECT_EQ(projects[0].m_pages[1].m_strUrl, server.Url("/a2.htm"));
}

TEST_F(GetCommandTest, ExitStatusTellsFailuresAndBadArguments)
{
    server.Route("/ok.htm", TestHttpResponse::Html("fine"));
    struct Case
    {
        std::vector<std::string> args;
        int nExit;
        const char* pErr = "";
    };
    const Case cases[] = {
        {{"get", "--from", server.Url("/ok.htm"), "--project", "p", "--folder", folder.path()}, 0},
        {{"get", "--from", server.Url("/missing.htm"), "--project", "p", "--folder", folder.path()}, 1},
        {{"get", "--from", server.Url("/a.htm"), "--to", server.Url("/b.htm"), "--project", "p", "--folder",
          folder.path()},
         1,
         "not a recognised address series"}, // nothing to save, and the user is told why
        {{"get", "--from", server.Url("/ok.htm"), "--folder", folder.path()}, 2},
        {{"get", "--project", "p"}, 2},
        {{"get", "--from", server.Url("/ok.htm"), "--project", "p", "--add-count", "x"}, 2},
        {{"get", "--bogus"}, 2},
        {{"get", "--from", server.Url("/ok.htm"), "--project", "p", "--connections", "17"}, 2, "1 to 16"},
        {{"get", "--from", server.Url("/ok.htm"), "--project", "p", "--connections", "0"}, 2, "1 to 16"},
        {{"get", "--from", server.Url("/ok.htm"), "--project", "p", "--wait", "soon"}, 2, "--wait"},
        {{"get", "--from", server.Url("/ok.htm"), "--project", "p", "--folder", folder.path(), "--connections", "1",
          "--wait", "0.2"},
         0},
    };
    for (const auto& c : cases) {
        ProcessResult run = RunCli(c.args);
        EXPECT_EQ(run.nExitCode, c.nExit) << c.args[1] << " " << c.args[2] << "\n" << run.strErr;
        EXPECT_NE(run.strErr.find(c.pErr), std::string::npos) << run.strErr;
        if (c.nExit == 2) {
            EXPECT_NE(run.strErr.find("usage:"), std::string::npos);
        }
    }
}

TEST_F(GetCommandTest, RepeatedGetsIntoOneProjectKeepEveryPage)
{
    const std::string wbr = folder.file("p.wbr");
    for (const char* page : {"/one.htm", "/two.htm", "/three.htm"}) {
        server.Route(page, TestHttpResponse::Html(std::string("<title>") + (page + 1) + "</title>" + page));
        ProcessResult run = RunCli(
            {"get", "--from", server.Url(page), "--project", "p", "--folder", folder.path(), "--project-file", wbr});
        ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    }
    CProjectStore store;
    store.SetPath(wbr);
    store.Transfer(false);
    std::vector<CProjectObject> projects;
    store.GetProjects(projects);
    ASSERT_EQ(projects.size(), 1u);
    ASSERT_EQ(projects[0].m_pages.size(), 3u);
    const char* expected[] = {"/one.htm", "/two.htm", "/three.htm"};
    for (int i = 0; i < 3; ++i) {
        std::string data;
        ASSERT_TRUE(files::ReadFile(projects[0].m_pages[i].m_strLocalFile, data));
        EXPECT_NE(data.find(expected[i]), std::string::npos) << projects[0].m_pages[i].m_strLocalFile;
    }
    EXPECT_EQ(files::FileName(projects[0].m_pages[2].m_strLocalFile), "00_2.htm");
}

TEST_F(GetCommandTest, AProjectFileLeftUnchangedSaysWhetherPagesWereSaved)
{
    files::WriteFile(folder.file("foreign.wbr"), "not a project file");
    server.Route("/ok.htm", TestHttpResponse::Html("fine"));
    struct Case
    {
        std::string page;
        const char* pSaid;
    };
    for (const Case& c :
         {Case{"/ok.htm", "the pages were saved, but"}, Case{"/missing.htm", "no page was saved, but"}}) {
        ProcessResult run = RunCli({"get", "--from", server.Url(c.page), "--project", "p", "--folder", folder.path(),
                                    "--project-file", folder.file("foreign.wbr")});
        EXPECT_EQ(run.nExitCode, 1);
        EXPECT_NE(run.strErr.find(c.pSaid), std::string::npos) << run.strErr;
    }
}

TEST_F(GetCommandTest, TerminationAndHangUpCancelAtOnce)
{
    // A page that drips in far slower than the test waits.
    TestHttpResponse drip = TestHttpResponse::Html(std::string(100000, 'x'));
    drip.nDripMs = 50;
    server.Route("/slow.htm", drip);
    for (const int nSignal : {SIGTERM, SIGHUP}) {
        const std::string out = folder.file("out" + std::to_string(nSignal));
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const std::string project = "p" + std::to_string(nSignal);
        std::vector<std::string> args = {TRAWLIX_CLI_PATH, "get",   "--from",   server.Url("/slow.htm"),
                                         "--project",      project, "--folder", folder.path()};
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        const int nAsked = server.RequestCount("/slow.htm");
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        // Once the page is being fetched, the program has taken over the signals.
        while (server.RequestCount("/slow.htm") == nAsked) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::kill(pid, nSignal);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);

        ASSERT_TRUE(WIFEXITED(status)) << nSignal;
        EXPECT_EQ(WEXITSTATUS(status), 1) << nSignal;
        std::string printed;
        files::ReadFile(out, printed);
        EXPECT_NE(printed.find("下载网页失败:\n         1\n"), std::string::npos) << printed;
        EXPECT_FALSE(files::Exists(folder.file(project + "/00.htm")));
    }
}

TEST_F(GetCommandTest, TwoJobsAtOnceIntoOneProjectFileKeepEveryPageInItsOwnFile)
{
    // Two series whose pages have the same names, answered slowly so that both jobs have chosen their
    // names before either saves a page.
    for (const char* site : {"/a/", "/b/"}) {
        for (int n = 1; n <= 3; ++n) {
            const std::string path = site + std::string("page") + std::to_string(n) + ".html";
            TestHttpResponse page = TestHttpResponse::Html("<title>" + path + "</title>" + path);
            page.nDelayMs = 200;
            server.Route(path, page);
        }
    }
    const std::string wbr = folder.file("p.wbr");
    ProcessResult runs[2];
    std::thread other([&] {
        runs[1] = RunCli({"get", "--from", server.Url("/b/page1.html"), "--to", server.Url("/b/page3.html"),
                          "--project", "p", "--folder", folder.path(), "--project-file", wbr});
    });
    runs[0] = RunCli({"get", "--from", server.Url("/a/page1.html"), "--to", server.Url("/a/page3.html"), "--project",
                      "p", "--folder", folder.path(), "--project-file", wbr});
    other.join();
    for (const ProcessResult& run : runs) {
        EXPECT_EQ(run.nExitCode, 0) << run.strErr;
    }

    CProjectStore store;
    store.SetPath(wbr);
    store.Transfer(false);
    std::vector<CProjectObject> projects;
    store.GetProjects(projects);
    ASSERT_EQ(projects.size(), 1u);
    ASSERT_EQ(projects[0].m_pages.size(), 6u);
    std::set<std::string> paths;
    for (const CProjectInfor& page : projects[0].m_pages) {
        paths.insert(page.m_strLocalFile);
        std::string data;
        ASSERT_TRUE(files::ReadFile(page.m_strLocalFile, data));
        EXPECT_NE(data.find(page.m_strUrl.substr(page.m_strUrl.find('/', 7))), std::string::npos)
            << page.m_strLocalFile;
    }
    EXPECT_EQ(paths.size(), 6u);
}

TEST_F(GetCommandTest, AFullDiskFailsThePageWithItsCauseAndLeavesNothingOfIt)
{
    // The page is larger than the program may write (a file size limit stands in for a full disk);
    // its picture is not.
    server.Route("/a1.htm", TestHttpResponse::Html("<img src=\"p.gif\">" + std::string(200000, 'x')));
    server.Route("/p.gif", TestHttpResponse::Text("GIF89a"));
    for (const char* mode : {"--plain", "--complete"}) {
        SCOPED_TRACE(mode);
        const std::string project = mode + 2;
        std::vector<std::string> args = {"/bin/sh",
                                         "-c",
                                         "trap '' XFSZ; ulimit -f 64; exec \"$@\"",
                                         "sh",
                                         TRAWLIX_CLI_PATH,
                                         "get",
                                         "--from",
                                         server.Url("/a1.htm"),
                                         "--project",
                                         project,
                                         "--folder",
                                         folder.path()};
        if (std::string(mode) == "--complete") {
            args.push_back(mode);
        }
        const ProcessResult run = RunProcess(args);
        EXPECT_EQ(run.nExitCode, 1) << run.strErr;
        EXPECT_NE(run.strOut.find("download file faild !\n"), std::string::npos) << run.strOut;
        EXPECT_NE(run.strErr.find(folder.path() + "/" + project + "/00.htm: File too large\n"), std::string::npos)
            << run.strErr;
        EXPECT_FALSE(files::Exists(folder.path() + "/" + project + "/00.files/p.gif"));
        EXPECT_FALSE(files::Exists(folder.path() + "/" + project + "/00.htm"));
    }
}

} // namespace
