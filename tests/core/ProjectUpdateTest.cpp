// trawlix-cli update against real servers on 127.0.0.1: nginx for what a web server does with
// If-None-Match and If-Modified-Since, the test server for a job killed while a page drips in.
#include "update/ProjectUpdate.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utime.h>
#include <zip.h>

#include <gtest/gtest.h>

#include "LocalNginx.h"
#include "RunProcess.h"
#include "TempFolder.h"
#include "TestHttpServer.h"
#include "platform/Files.h"
#include "project/ProjectStore.h"
#include "update/ProjectRecord.h"

namespace
{

std::vector<CProjectInfor> projectPages(const std::string& strFile, const std::string& strProject)
{
    CProjectStore store;
    store.SetPath(strFile);
    store.Transfer(false);
    std::vector<CProjectObject> projects;
    store.GetProjects(projects);
    for (const CProjectObject& project : projects) {
        if (project.m_strName == strProject) {
            return project.m_pages;
        }
    }
    return {};
}

std::string report(int nNew, int nUpdated, int nUnchanged, int nRemoved, int nFailed)
{
    return "新增网页:\n         " + std::to_string(nNew) + "\n更新网页:\n         " + std::to_string(nUpdated) +
           "\n未变网页:\n         " + std::to_string(nUnchanged) + "\n已删除网页:\n         " +
           std::to_string(nRemoved) + "\n下载网页失败:\n         " + std::to_string(nFailed) + "\n";
}

// Statuses nginx logged from line nFrom on, by target.
std::map<std::string, std::vector<std::string>> loggedStatuses(const std::string& strLog, size_t nFrom)
{
    std::string log;
    files::ReadFile(strLog, log);
    std::istringstream lines(log);
    std::map<std::string, std::vector<std::string>> statuses;
    std::string protocol, connection, status, target;
    for (size_t n = 0; lines >> protocol >> connection >> status >> target; ++n) {
        if (n >= nFrom) {
            statuses[target].push_back(status);
        }
    }
    return statuses;
}

size_t logLines(const std::string& strLog)
{
    std::string log;
    files::ReadFile(strLog, log);
    return static_cast<size_t>(std::count(log.begin(), log.end(), '\n'));
}

// The text of every entry of a zip file, by name.
std::map<std::string, std::string> zipEntries(const std::string& strPath)
{
    std::map<std::string, std::string> entries;
    int nError = 0;
    zip_t* archive = zip_open(strPath.c_str(), ZIP_RDONLY, &nError);
    if (!archive) {
        return entries;
    }
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st);
        std::string data(st.size, '\0');
        if (zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0)) {
            zip_fread(file, data.data(), st.size);
            zip_fclose(file);
        }
        entries[st.name] = std::move(data);
    }
    zip_close(archive);
    return entries;
}

std::string seriesPage(int n, const std::string& strText)
{
    return "<html><head><title>第" + std::to_string(n) + "章</title></head><body><p>" + strText +
           "</p><img src=\"img/p" + std::to_string(n) + ".gif\"></body></html>";
}

class ProjectUpdateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        files::CreateFolders(root + "/img");
        for (int n = 1; n <= 10; ++n) {
            writePage(n, "text " + std::to_string(n));
        }
        if (!nginx.Start(temp.file("nginx"), root)) {
            GTEST_SKIP() << nginx.Error();
        }
        const ProcessResult get = RunCli({"get", "--from", nginx.Url("/s1.html"), "--to", nginx.Url("/s10.html"),
                                          "--project", "连载", "--folder", temp.file("save"), "--project-file", wbr});
        ASSERT_EQ(get.nExitCode, 0) << get.strErr << get.strOut;
    }

    void writePage(int n, const std::string& strText)
    {
        const std::string strPage = root + "/s" + std::to_string(n) + ".html";
        files::WriteFile(strPage, seriesPage(n, strText));
        files::WriteFile(root + "/img/p" + std::to_string(n) + ".gif", "GIF89a" + std::to_string(n));
        // Later than anything written before, so Last-Modified and the ETag change.
        const time_t when = std::time(nullptr) + 100 + ++m_nWrites;
        utimbuf times{when, when};
        ::utime(strPage.c_str(), &times);
    }

    TempFolder temp;
    const std::string root = temp.file("site");
    const std::string wbr = temp.file("书架.wbr");
    const std::string project = temp.file("save/连载");
    CLocalNginx nginx;
    int m_nWrites = 0;
};

TEST_F(ProjectUpdateTest, ChangedRemovedAndNewPagesOfASeriesThenAnUnchangedProject)
{
    writePage(3, "the third chapter, rewritten");
    std::filesystem::remove(root + "/s5.html");
    writePage(11, "eleven");
    writePage(12, "twelve");

    ProcessResult run = RunCli({"update", wbr, "--project", "连载"});
    EXPECT_EQ(run.nExitCode, 0) << run.strErr << run.strOut;
    EXPECT_NE(run.strOut.find("工程名:\n         连载\n" + report(2, 1, 8, 1, 0) + "网页保存路径:\n         " +
                              project + "\n"),
              std::string::npos)
        << run.strOut;
    std::string text;
    ASSERT_TRUE(files::ReadFile(project + "/s3.html", text));
    EXPECT_NE(text.find("the third chapter, rewritten"), std::string::npos);
    std::vector<std::string> history;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(project + "/history")) {
        if (entry.is_regular_file()) {
            history.push_back(entry.path().string());
        }
    }
    ASSERT_EQ(history.size(), 1u);
    ASSERT_TRUE(files::ReadFile(history[0], text));
    EXPECT_NE(text.find("text 3"), std::string::npos);
    EXPECT_TRUE(files::IsRegularFile(project + "/s5.html"));

    const std::vector<CProjectInfor> pages = projectPages(wbr, "连载");
    ASSERT_EQ(pages.size(), 12u);
    for (int n = 1; n <= 12; ++n) {
        EXPECT_EQ(pages[n - 1].m_strUrl, nginx.Url("/s" + std::to_string(n) + ".html"));
        EXPECT_TRUE(files::IsRegularFile(pages[n - 1].m_strLocalFile)) << pages[n - 1].m_strLocalFile;
    }
    EXPECT_EQ(pages[11].m_strTitle, "第12章");
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(pages[11].m_strLocalFile).replace_extension(".files") /
                                        "p12.gif"));
    // Search finds the changed page by its new text and the new pages at once.
    for (const auto& [word, file] :
         {std::pair{"rewritten", pages[2].m_strLocalFile}, std::pair{"twelve", pages[11].m_strLocalFile}}) {
        const ProcessResult search = RunCli({"search", word});
        EXPECT_EQ(search.nExitCode, 0) << word << search.strErr;
        EXPECT_EQ(search.strOut.substr(0, search.strOut.find('\t')), file) << search.strOut;
    }

    // A book made now holds the changed chapter's new text and the new chapters after the others.
    files::CreateFolders(temp.file("book"));
    const ProcessResult epub = RunCli({"epub", wbr, "--project", "连载", "--out", temp.file("book")});
    ASSERT_EQ(epub.nExitCode, 0) << epub.strErr;
    bool bNewText = false;
    bool bInOrder = false;
    for (const auto& [name, data] : zipEntries(temp.file("book/连载.epub"))) {
        EXPECT_EQ(data.find("text 3<"), std::string::npos) << name;
        bNewText = bNewText || data.find("the third chapter, rewritten") != std::string::npos;
        const size_t n10 = data.find("第10章");
        const size_t n11 = data.find("第11章");
        const size_t n12 = data.find("第12章");
        bInOrder = bInOrder || (data.find("nav") != std::string::npos && n10 != std::string::npos &&
                                n11 != std::string::npos && n12 != std::string::npos && n10 < n11 && n11 < n12);
    }
    EXPECT_TRUE(bNewText);
    EXPECT_TRUE(bInOrder);

    // Nothing changed since: every page is answered 304 and nothing else is asked for but the next numbers.
    const size_t nFrom = logLines(nginx.AccessLog());
    run = RunCli({"update", wbr, "--project", "连载"});
    EXPECT_EQ(run.nExitCode, 0) << run.strErr << run.strOut;
    EXPECT_NE(run.strOut.find(report(0, 0, 11, 1, 0)), std::string::npos) << run.strOut;
    const auto statuses = loggedStatuses(nginx.AccessLog(), nFrom);
    for (int n = 1; n <= 14; ++n) {
        const std::string target = "/s" + std::to_string(n) + ".html";
        const auto it = statuses.find(target);
        ASSERT_NE(it, statuses.end()) << target;
        EXPECT_EQ(it->second, std::vector<std::string>{n == 5 || n > 12 ? "404" : "304"}) << target;
    }
    EXPECT_EQ(statuses.size(), 14u);
    EXPECT_EQ(projectPages(wbr, "连载").size(), 12u);
}

TEST_F(ProjectUpdateTest, MaxNewLimitsThePagesFoundPastTheEndOfASeries)
{
    for (int n = 11; n <= 14; ++n) {
        writePage(n, "later " + std::to_string(n));
    }
    ProcessResult run = RunCli({"update", wbr, "--project", "连载", "--max-new", "3"});
    EXPECT_EQ(run.nExitCode, 0) << run.strErr << run.strOut;
    EXPECT_NE(run.strOut.find(report(3, 0, 10, 0, 0)), std::string::npos) << run.strOut;
    std::vector<CProjectInfor> pages = projectPages(wbr, "连载");
    ASSERT_EQ(pages.size(), 13u);
    EXPECT_EQ(pages.back().m_strUrl, nginx.Url("/s13.html"));

    // The next update goes on from the last page found.
    run = RunCli({"update", wbr, "--project", "连载"});
    EXPECT_EQ(run.nExitCode, 0) << run.strErr << run.strOut;
    EXPECT_NE(run.strOut.find(report(1, 0, 13, 0, 0)), std::string::npos) << run.strOut;
    pages = projectPages(wbr, "连载");
    ASSERT_EQ(pages.size(), 14u);
    EXPECT_EQ(pages.back().m_strUrl, nginx.Url("/s14.html"));
}

TEST_F(ProjectUpdateTest, ATopPageIsReadAgainForItsNewLinks)
{
    auto writeTop = [&](int nLinks) {
        std::string strTop = "<html><head><title>目录</title></head><body>";
        for (int n = 1; n <= nLinks; ++n) {
            strTop += "<a href=\"s" + std::to_string(n) + ".html\">" + std::to_string(n) + "</a>";
        }
        files::WriteFile(root + "/index.html", strTop + "</body></html>");
        const time_t when = std::time(nullptr) + 200 + ++m_nWrites;
        utimbuf times{when, when};
        ::utime((root + "/index.html").c_str(), &times);
    };
    writeTop(3);
    const ProcessResult get = RunCli({"get", "--top", nginx.Url("/index.html"), "--project", "目录", "--folder",
                                      temp.file("save"), "--project-file", wbr});
    ASSERT_EQ(get.nExitCode, 0) << get.strErr << get.strOut;
    ASSERT_EQ(projectPages(wbr, "目录").size(), 4u);

    writeTop(5);
    const ProcessResult run = RunCli({"update", wbr, "--project", "目录"});
    EXPECT_EQ(run.nExitCode, 0) << run.strErr << run.strOut;
    // The top page changed; its two new links are new pages, the three others are as they were.
    EXPECT_NE(run.strOut.find(report(2, 1, 3, 0, 0)), std::string::npos) << run.strOut;
    const std::vector<CProjectInfor> pages = projectPages(wbr, "目录");
    ASSERT_EQ(pages.size(), 6u);
    EXPECT_EQ(pages[4].m_strUrl, nginx.Url("/s4.html"));
    EXPECT_EQ(pages[5].m_strUrl, nginx.Url("/s5.html"));
    EXPECT_TRUE(files::IsRegularFile(pages[5].m_strLocalFile));
    // The series project beside it is untouched.
    EXPECT_EQ(projectPages(wbr, "连载").size(), 10u);
}

TEST_F(ProjectUpdateTest, WorksFromThePagesAddressesWhenTheRecordIsDamagedOrMissing)
{
    const std::string record = project + "/" + CProjectRecord::kFileName;
    ASSERT_TRUE(files::IsRegularFile(record));
    for (const bool bDamaged : {true, false}) {
        SCOPED_TRACE(bDamaged ? "damaged" : "missing");
        std::filesystem::remove(record + "-wal");
        std::filesystem::remove(record + "-shm");
        if (bDamaged) {
            files::WriteFile(record, std::string(8192, 'x'));
        } else {
            std::filesystem::remove(record);
        }
        const int nChanged = bDamaged ? 4 : 6;
        writePage(nChanged, "changed without a record");
        const ProcessResult run = RunCli({"update", wbr, "--project", "连载"});
        EXPECT_EQ(run.nExitCode, 0) << run.strErr << run.strOut;
        EXPECT_NE(run.strOut.find(report(0, 1, 9, 0, 0)), std::string::npos) << run.strOut;
        std::string text;
        ASSERT_TRUE(files::ReadFile(project + "/s" + std::to_string(nChanged) + ".html", text));
        EXPECT_NE(text.find("changed without a record"), std::string::npos);
        EXPECT_EQ(projectPages(wbr, "连载").size(), 10u);
    }
}

// Real documentation names its chapters ch01.zh-cn.html: saved as ch01.zh-cn.zh-cn.html beside
// ch01.zh-cn.files. A changed chapter keeps its pictures in that folder, and the numbers after the last
// chapter keep their leading zero.
TEST(ProjectUpdateNames, ZeroPaddedChaptersWithDottedNames)
{
    TempFolder temp;
    const std::string root = temp.file("site");
    files::CreateFolders(root + "/images");
    auto writeChapter = [&](int n, const std::string& strText) {
        const std::string name = "ch0" + std::to_string(n);
        files::WriteFile(root + "/" + name + ".zh-cn.html", "<html><head><title>" + name + "</title></head><body><p>" +
                                                                strText + "</p><img src=\"images/" + name +
                                                                ".png\"><img src=\"images/home.png\"></body></html>");
        files::WriteFile(root + "/images/" + name + ".png", "PNG " + strText);
        const time_t when = std::time(nullptr) + 100 + n + static_cast<time_t>(strText.size());
        utimbuf times{when, when};
        ::utime((root + "/" + name + ".zh-cn.html").c_str(), &times);
    };
    files::WriteFile(root + "/images/home.png", "PNG home");
    for (int n = 1; n <= 3; ++n) {
        writeChapter(n, "chapter " + std::to_string(n));
    }
    CLocalNginx nginx;
    if (!nginx.Start(temp.file("nginx"), root)) {
        GTEST_SKIP() << nginx.Error();
    }
    const std::string wbr = temp.file("doc.wbr");
    const ProcessResult get =
        RunCli({"get", "--from", nginx.Url("/ch01.zh-cn.html"), "--to", nginx.Url("/ch03.zh-cn.html"), "--project",
                "手册", "--folder", temp.file("save"), "--project-file", wbr});
    ASSERT_EQ(get.nExitCode, 0) << get.strErr << get.strOut;

    writeChapter(2, "chapter 2, rewritten");
    writeChapter(4, "chapter 4");
    const ProcessResult run = RunCli({"update", wbr, "--project", "手册"});
    EXPECT_EQ(run.nExitCode, 0) << run.strErr << run.strOut;
    EXPECT_NE(run.strOut.find(report(1, 1, 2, 0, 0)), std::string::npos) << run.strOut;

    const std::vector<CProjectInfor> pages = projectPages(wbr, "手册");
    ASSERT_EQ(pages.size(), 4u);
    EXPECT_EQ(pages[3].m_strUrl, nginx.Url("/ch04.zh-cn.html"));
    for (const CProjectInfor& page : pages) {
        std::string text;
        ASSERT_TRUE(files::ReadFile(page.m_strLocalFile, text)) << page.m_strLocalFile;
        size_t nPictures = 0;
        for (size_t at = text.find("src=\""); at != std::string::npos; at = text.find("src=\"", at + 1)) {
            const size_t begin = at + 5;
            const std::string src = text.substr(begin, text.find('"', begin) - begin);
            EXPECT_TRUE(files::IsRegularFile(files::Join(files::FolderOf(page.m_strLocalFile), src)))
                << page.m_strLocalFile << " shows " << src;
            ++nPictures;
        }
        EXPECT_EQ(nPictures, 2u) << page.m_strLocalFile;
    }
    std::string text;
    ASSERT_TRUE(files::ReadFile(pages[1].m_strLocalFile, text));
    EXPECT_NE(text.find("chapter 2, rewritten"), std::string::npos);
    // No second folder of pictures for the changed chapter.
    size_t nFolders = 0;
    for (const auto& entry : std::filesystem::directory_iterator(temp.file("save/手册"))) {
        nFolders += entry.path().string().ends_with(".files") ? 1 : 0;
    }
    EXPECT_EQ(nFolders, 4u);
}

TEST_F(ProjectUpdateTest, ClearErrorsForBadArgumentsAndProjects)
{
    files::WriteFile(temp.file("not-a-project.wbr"), "nothing like a project file");
    struct Case
    {
        std::vector<std::string> args;
        int nExit;
        const char* pErr;
    };
    for (const Case& c : {
             Case{{"update", wbr}, 2, "--project is required"},
             Case{{"update", "--project", "连载"}, 2, "give the project file"},
             Case{{"update", wbr, "--project", "连载", "--max-new", "x"}, 2, "--max-new takes"},
             Case{{"update", wbr, "--project", "别的"}, 2, "no project named '别的'"},
             Case{{"update", temp.file("missing.wbr"), "--project", "连载"}, 1, "cannot read the project file"},
             Case{{"update", temp.file("not-a-project.wbr"), "--project", "连载"}, 1, "cannot read the project file"},
         }) {
        const ProcessResult run = RunCli(c.args);
        EXPECT_EQ(run.nExitCode, c.nExit) << run.strErr;
        EXPECT_NE(run.strErr.find(c.pErr), std::string::npos) << run.strErr;
    }
}

TEST(ProjectUpdateResume, AKilledJobIsFinishedWithEveryPageSavedOnce)
{
    TempFolder temp;
    TestHttpServer server;
    constexpr int kPages = 8;
    constexpr int kSlow = 5;
    for (int n = 1; n <= kPages; ++n) {
        TestHttpResponse page = TestHttpResponse::Html(seriesPage(n, "text " + std::to_string(n)));
        if (n == kSlow) {
            page.body += std::string(200000, ' ');
            page.nDripMs = 50;
        }
        server.Route("/s" + std::to_string(n) + ".html", page);
        server.Route("/img/p" + std::to_string(n) + ".gif", TestHttpResponse::Text("GIF89a"));
    }
    const std::string wbr = temp.file("书架.wbr");
    std::vector<std::string> args = {TRAWLIX_CLI_PATH, "get",
                                     "--from",         server.Url("/s1.html"),
                                     "--to",           server.Url("/s8.html"),
                                     "--project",      "续",
                                     "--folder",       temp.path(),
                                     "--project-file", wbr,
                                     "--connections",  "2"};
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    // Killed once the pages before the slow one are saved and recorded.
    auto saved = [&] {
        CProjectRecord record;
        return CProjectRecord::Exists(temp.file("续")) && record.Open(temp.file("续"), false) &&
               record.Pages().size() >= static_cast<size_t>(kSlow - 1);
    };
    while (!saved() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(projectPages(wbr, "续").empty());

    // The site is quick again; the update finishes the job.
    server.Route("/s5.html", TestHttpResponse::Html(seriesPage(kSlow, "text 5")));
    std::map<std::string, int> asked;
    for (int n = 1; n <= kPages; ++n) {
        asked["/img/p" + std::to_string(n) + ".gif"] = server.RequestCount("/img/p" + std::to_string(n) + ".gif");
    }
    const ProcessResult run = RunCli({"update", wbr, "--project", "续", "--folder", temp.path()});
    EXPECT_EQ(run.nExitCode, 0) << run.strErr << run.strOut;
    EXPECT_NE(run.strOut.find(report(kPages, 0, 0, 0, 0)), std::string::npos) << run.strOut;
    const std::vector<CProjectInfor> pages = projectPages(wbr, "续");
    ASSERT_EQ(pages.size(), static_cast<size_t>(kPages));
    for (int n = 1; n <= kPages; ++n) {
        EXPECT_EQ(pages[n - 1].m_strUrl, server.Url("/s" + std::to_string(n) + ".html"));
        EXPECT_EQ(pages[n - 1].m_strLocalFile, temp.file("续/s" + std::to_string(n) + ".html"));
        // A picture is fetched once in all: by the killed job, or by the update for the pages it never saved.
        const std::string picture = "/img/p" + std::to_string(n) + ".gif";
        EXPECT_EQ(server.RequestCount(picture), 1) << picture << " (before the update: " << asked[picture] << ")";
    }
    EXPECT_FALSE(std::filesystem::exists(temp.file("续/history")));

    // A second update adds nothing twice.
    const ProcessResult again = RunCli({"update", wbr, "--project", "续"});
    EXPECT_EQ(again.nExitCode, 0) << again.strErr << again.strOut;
    EXPECT_EQ(projectPages(wbr, "续").size(), static_cast<size_t>(kPages));
}

} // namespace
