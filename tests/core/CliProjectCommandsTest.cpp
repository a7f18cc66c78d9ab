// trawlix-cli list and chm, run as a user runs them.
#include <chm_lib.h>
#include <gtest/gtest.h>

#include "ProjectFixtures.h"
#include "RunProcess.h"
#include "TempFolder.h"
#include "chm/ChmWriter.h"
#include "platform/Files.h"
#include "project/ProjectStore.h"

namespace
{

struct CliRun
{
    int status = -1;
    std::string out;
    std::string err;
};

// Runs trawlix-cli with its cache folder under temp.
CliRun runCli(const TempFolder& temp, const std::vector<std::string>& args)
{
    ProcessResult result = RunCli(args, {"XDG_CACHE_HOME=" + temp.file("cache")});
    return {result.nExitCode, result.strOut, result.strErr};
}

void saveProjects(const std::string& path, const std::vector<CProjectObject>& projects)
{
    CProjectStore store;
    store.SetPath(path);
    store.SetProjects(projects);
    ASSERT_TRUE(store.LastTransferOk());
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// Paths of the files inside a compiled book.
std::vector<std::string> bookFiles(const std::string& path)
{
    std::vector<std::string> names;
    chmFile* book = chm_open(path.c_str());
    if (!book) {
        return names;
    }
    chm_enumerate(
        book, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES,
        [](chmFile*, chmUnitInfo* ui, void* c) {
            static_cast<std::vector<std::string>*>(c)->push_back(ui->path);
            return CHM_ENUMERATOR_CONTINUE;
        },
        &names);
    chm_close(book);
    return names;
}

} // namespace

TEST(CliList, ShowsProjectsAndPages)
{
    TempFolder temp;
    const std::string path = temp.file("p.wbr");
    saveProjects(path, {MakeProject("新闻", {MakePage("首页", "/s/新闻/index.htm", "http://h/", 1),
                                             MakePage("二", "/s/新闻/2.htm", "http://h/2")}),
                        MakeProject("empty")});
    CliRun run = runCli(temp, {"list", path});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "project \"新闻\": 2 pages\n"
                       "  1. 首页 [bookmark]\n"
                       "     file: /s/新闻/index.htm\n"
                       "     url:  http://h/\n"
                       "  2. 二\n"
                       "     file: /s/新闻/2.htm\n"
                       "     url:  http://h/2\n"
                       "project \"empty\": 0 pages\n");
    EXPECT_EQ(run.err, "");

    saveProjects(path, {});
    run = runCli(temp, {"list", path});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "no projects\n");
}

TEST(CliList, UnreadableFilesAreErrorsNeverEmptyLists)
{
    TempFolder temp;
    const std::string good = temp.file("good.wbr");
    saveProjects(good,
                 {MakeProject("one", {MakePage("t", "/f", "u")}), MakeProject("two", {MakePage("t2", "/f2", "u2")})});
    std::string bytes;
    files::ReadFile(good, bytes);
    files::WriteFile(temp.file("cut.wbr"), bytes.substr(0, bytes.size() - 3));
    files::WriteFile(temp.file("foreign.wbr"), "just some text");

    struct Case
    {
        std::string file;
        std::string err;
        std::string out;
    };
    const Case cases[] = {
        {temp.file("missing.wbr"), "cannot open", ""},
        {temp.file("foreign.wbr"), "not a project file", ""},
        {temp.file("cut.wbr"), "damaged at byte", "project \"one\": 1 page\n"},
    };
    for (const auto& c : cases) {
        CliRun run = runCli(temp, {"list", c.file});
        EXPECT_EQ(run.status, 1) << c.file;
        EXPECT_TRUE(contains(run.err, c.err)) << run.err;
        EXPECT_TRUE(contains(run.err, c.file)) << run.err;
        EXPECT_EQ(run.out.substr(0, c.out.size()), c.out);
        EXPECT_FALSE(contains(run.out, "two"));
        EXPECT_FALSE(contains(run.out, "no projects"));
    }
}

TEST(CliList, Arguments)
{
    TempFolder temp;
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"list"}, {"list", "a.wbr", "b.wbr"}, {"list", "--all"}}) {
        CliRun run = runCli(temp, args);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(contains(run.err, "usage"));
    }
    CliRun run = runCli(temp, {"list", "--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(contains(run.out, "usage"));
}

class CliChm : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_strProjectFile = m_temp.file("book.wbr");
        m_strOut = m_temp.file("out");
        files::CreateFolder(m_strOut);
        const std::string folder = m_temp.file("save/新闻");
        files::CreateFolders(folder + "/index.files");
        files::WriteFile(folder + "/index.htm", "<html><body><img src=\"index.files/a.gif\"></body></html>");
        files::WriteFile(folder + "/index.files/a.gif", "GIF89a");
        files::WriteFile(folder + "/2.htm", "<html><body>two</body></html>");
        saveProjects(m_strProjectFile,
                     {MakeProject("新闻", {MakePage("首页", folder + "/index.htm", "http://h/"),
                                           MakePage("二", folder + "/2.htm", "http://h/2")}),
                      MakeProject(" spaced ", {MakePage("x", folder + "/2.htm", "http://h/2")}), MakeProject("empty")});
    }

    // Nothing is left in the cache folder once a build has ended.
    void expectNoWorkFolder()
    {
        std::vector<std::string> left;
        ListTree(m_temp.file("cache"), left);
        EXPECT_TRUE(left.empty()) << left.front();
    }

    TempFolder m_temp;
    std::string m_strProjectFile;
    std::string m_strOut;
};

TEST_F(CliChm, BuildsTheBookAndShowsProgress)
{
    CliRun run = runCli(m_temp, {"chm", m_strProjectFile, "--project", "新闻", "--out", m_strOut});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    const std::string progress =
        "开始拷贝文件,请稍后.......\n开始生成工程文件,请稍后.......\n开始生成CHM文档,请稍后.......\n";
    EXPECT_EQ(run.out.substr(0, progress.size()), progress);
    EXPECT_GT(run.out.size(), progress.size()); // the compiler's own output follows
    auto files = bookFiles(m_strOut + "/新闻.chm");
    for (const char* inside : {"/index.htm", "/index.files/a.gif", "/2.htm", "/Contents.hhc"}) {
        EXPECT_NE(std::find(files.begin(), files.end(), inside), files.end()) << inside;
    }
    expectNoWorkFolder();
}

TEST_F(CliChm, BookNames)
{
    struct Case
    {
        std::vector<std::string> args;
        std::string chm;
    };
    const Case cases[] = {
        {{"--project", " spaced "}, "spaced.chm"},
        {{"--project", "新闻", "--name", "  my book.chm "}, "my book.chm.chm"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"chm", m_strProjectFile, "--out", m_strOut};
        args.insert(args.end(), c.args.begin(), c.args.end());
        CliRun run = runCli(m_temp, args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(files::Exists(m_strOut + "/" + c.chm)) << c.chm;
    }
}

TEST_F(CliChm, Failures)
{
    files::WriteFile(m_temp.file("foreign.wbr"), "not a project file at all");
    struct Case
    {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {{"chm", m_strProjectFile, "--project", "empty", "--out", m_strOut}, 1, "GetProjectInfo() faild !"},
        {{"chm", m_strProjectFile, "--project", "nope", "--out", m_strOut}, 1, "no project named \"nope\""},
        {{"chm", m_temp.file("foreign.wbr"), "--project", "新闻", "--out", m_strOut}, 1, "not a project file"},
        {{"chm", m_temp.file("missing.wbr"), "--project", "新闻", "--out", m_strOut}, 1, "cannot open"},
        {{"chm", m_strProjectFile, "--project", "新闻", "--out", m_temp.file("no/such")}, 1, "compiler failed"},
        {{"chm", m_strProjectFile, "--project", "新闻"}, 2, "usage"},
        {{"chm", m_strProjectFile, "--out", m_strOut}, 2, "usage"},
        {{"chm", "--project", "新闻", "--out", m_strOut}, 2, "usage"},
        {{"chm", m_strProjectFile, "extra", "--project", "新闻", "--out", m_strOut}, 2, "usage"},
        {{"chm", m_strProjectFile, "--project", "新闻", "--out", m_strOut, "--fast"}, 2, "usage"},
        {{"chm", m_strProjectFile, "--out", m_strOut, "--project"}, 2, "usage"},
        {{"chm", m_strProjectFile, "--project", "新闻", "--out", m_strOut, "--name", "  "}, 2, "empty"},
    };
    for (const auto& c : cases) {
        CliRun run = runCli(m_temp, c.args);
        EXPECT_EQ(run.status, c.status) << c.err << ": " << run.err;
        EXPECT_TRUE(contains(run.err, c.err)) << run.err;
    }
    std::vector<std::string> built;
    ListTree(m_strOut, built);
    EXPECT_TRUE(built.empty());
    expectNoWorkFolder();

    CliRun run = runCli(m_temp, {"chm", "--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(contains(run.out, "--project"));
}

TEST_F(CliChm, ARecordNamingAnyOtherFileIsRefused)
{
    saveProjects(m_strProjectFile, {MakeProject("crafted", {MakePage("pw\x1B[2J", "/etc/passwd", "http://h/")})});
    CliRun run = runCli(m_temp, {"chm", m_strProjectFile, "--project", "crafted", "--out", m_strOut});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "page 1 \"pw\\x1B[2J\" of project \"crafted\" is not a saved web page: /etc/passwd"))
        << run.err;
    std::vector<std::string> built;
    ListTree(m_strOut, built);
    EXPECT_TRUE(built.empty());
}

TEST(CliList, ControlCharactersAreShownAsEscapes)
{
    TempFolder temp;
    const std::string path = temp.file("ctl.wbr");
    saveProjects(path, {MakeProject("p\x07", {MakePage("t\x1B]2;x\x07\tz\xC2\x9B", "/f\n.htm", "http://h/\r")})});
    CliRun run = runCli(temp, {"list", path});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "project \"p\\x07\": 1 page\n"
                       "  1. t\\x1B]2;x\\x07\\tz\\u009B\n"
                       "     file: /f\\n.htm\n"
                       "     url:  http://h/\\r\n");
}
