// Search over saved pages: the tokenizer, the page text, queries against a small project in GB2312 and
// UTF-8, the index following the project, a damaged index, and trawlix-cli search and index.
#include "search/SearchIndex.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <map>
#include <mutex>
#include <set>

#include <gtest/gtest.h>

#include "ProjectFixtures.h"
#include "RunProcess.h"
#include "TempFolder.h"
#include "TestHttpServer.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "project/ProjectStore.h"
#include "search/PageText.h"
#include "search/SearchQueue.h"
#include "search/SearchService.h"
#include "search/SearchTokenizer.h"

namespace
{

// The terms of text, a colocated one marked with "+".
std::string terms(const std::string& text, bool bQuery)
{
    std::string out;
    search::Tokenize(text, bQuery, [&](std::string_view term, int, int, bool bColocated) {
        out += (out.empty() ? "" : " ") + std::string(bColocated ? "+" : "") + std::string(term);
        return true;
    });
    return out;
}

void saveProjects(const std::string& path, const std::vector<CProjectObject>& projects)
{
    CProjectStore store;
    store.SetPath(path);
    store.SetProjects(projects);
    ASSERT_TRUE(store.LastTransferOk());
}

std::set<std::string> namesOf(const std::vector<SearchHit>& hits)
{
    std::set<std::string> names;
    for (const SearchHit& hit : hits) {
        names.insert(files::FileName(hit.m_strFile));
    }
    return names;
}

// A small saved project: pages in GB2312 (as the engine stores them) and in UTF-8.
class SearchProject : public ::testing::Test
{
protected:
    void SetUp() override
    {
        files::CreateFolders(folder.file("save/书"));
        writePage("gb.htm", codepage::Utf8ToGb18030(
                                "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
                                "<title>工具</title><style>.kernel{}</style></head><body><p>软件包管理工具介绍。</p>"
                                "<p>无线鼠标</p><p>The Kernel&nbsp;Module</p><script>var hidden = '脚本';</script>"
                                "</body></html>"));
        writePage("utf.htm", "<html><head><meta charset=\"utf-8\"><title>指南</title></head><body>"
                             "<h1>Linux内核开发指南</h1><p>kernel hacking</p><p><b>软件</b>包 &#x5185;存</p>"
                             "<p>ＸＹＺ工具</p><!-- 注释 comment --></body></html>");
        writePage("other.htm", "<html><body><div>软件</div><div>包管理</div><p>老鼠 modules</p></body></html>");
        saveProjects(wbr, {MakeProject("书", {MakePage("国标", page("gb.htm"), "http://h/gb"),
                                              MakePage("统一码", page("utf.htm"), "http://h/utf"),
                                              MakePage("其他", page("other.htm"), "http://h/other")})});
    }

    void writePage(const std::string& name, const std::string& bytes)
    {
        ASSERT_TRUE(files::WriteFile(page(name), bytes));
    }
    std::string page(const std::string& name) const { return folder.file("save/书/" + name); }

    std::set<std::string> find(const std::string& query, SearchScope scope = {})
    {
        std::vector<SearchHit> hits;
        SearchStatus status;
        EXPECT_TRUE(index.Search(query, scope, hits, &status)) << query << ": " << status.m_strMessage;
        return namesOf(hits);
    }

    TempFolder folder;
    const std::string wbr = folder.file("p.wbr");
    CSearchIndex index{folder.file("data/search.sqlite")};
};

} // namespace

TEST(SearchTokenizer, SplitsChineseIntoCharactersAndPairsAndWordsLowerCased)
{
    struct Case
    {
        const char* text;
        bool bQuery;
        const char* expected;
    };
    const Case cases[] = {
        {"软件包", false, "软 +软件 件 +件包 包"},
        {"软件包", true, "软件 件包 包"},
        {"鼠", true, "鼠"},
        {"Linux内核 Ｋernel１", false, "linux 内 +内核 核 kernel1"},
        {"ÀB-c_d", false, "àb c d"},
        {"かな 한국", false, "か +かな な 한 +한국 국"},
        {"“引号”，标点。", false, "引 +引号 号 标 +标点 点"},
        {"\xFF\xFE bad", false, "bad"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(terms(c.text, c.bQuery), c.expected) << c.text;
    }
}

TEST(SavedPageText, KeepsWhatAReaderSees)
{
    struct Case
    {
        std::string page;
        const char* expected;
    };
    const Case cases[] = {
        {"<title>t</title><p>a <b>b</b>c</p><p>d</p>", "a bc d"},
        {"<body><script>x()</script><style>p{}</style><noscript>n</noscript>可见", "可见"},
        {"&lt;&amp;&#20013;&#x6587;&nbsp;x", "<&中文\xC2\xA0x"},
        {codepage::Utf8ToGb18030("<meta charset=gb2312><body>中文</body>"), "中文"},
        {"<p>软件<span>包</span></p><!-- 注释 -->", "软件包"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SavedPageText(c.page), c.expected) << c.page;
    }
}

TEST(SearchQuery, TurnsWhatAUserTypesIntoFts5)
{
    const std::pair<const char*, const char*> cases[] = {
        {"内核", "\"内核\""},
        {"example.com a*", "\"example.com\" \"a\"*"},
        {"\"kernel module\" -老鼠", "( \"kernel module\" ) NOT \"老鼠\""},
        {"a OR (b AND c)", "\"a\" OR ( \"b\" AND \"c\" )"},
        {"-only", ""},
        {"，。 ", ""},
    };
    for (const auto& [query, expected] : cases) {
        EXPECT_EQ(CSearchIndex::Fts5Query(query), expected) << query;
    }
}

TEST_F(SearchProject, FindsExactlyThePagesWhoseTextHoldsTheQuery)
{
    SyncCounts counts;
    ASSERT_TRUE(index.SyncProjectFile(wbr, &counts));
    EXPECT_EQ(counts.m_nPages, 3);
    using Set = std::set<std::string>;
    const std::pair<const char*, Set> cases[] = {
        {"鼠", {"gb.htm", "other.htm"}},
        {"内核", {"utf.htm"}},
        {"软件包", {"gb.htm", "utf.htm"}},
        {"软件包管理", {"gb.htm"}},
        {"核开发指", {"utf.htm"}},
        {"内存", {"utf.htm"}},
        {"kernel", {"gb.htm", "utf.htm"}},
        {"KeRnEl", {"gb.htm", "utf.htm"}},
        {"\"kernel module\"", {"gb.htm"}},
        {"module", {"gb.htm"}},
        {"modul*", {"gb.htm", "other.htm"}},
        {"ｘｙｚ", {"utf.htm"}},
        {"xyz工具", {"utf.htm"}},
        {"工具", {"gb.htm", "utf.htm"}},
        {"统一码", {"utf.htm"}},
        {"鼠 -老鼠", {"gb.htm"}},
        {"kernel OR 老鼠", {"gb.htm", "utf.htm", "other.htm"}},
        {"hidden", {}},
        {"脚本", {}},
        {"注释", {}},
        {"老虎", {}},
    };
    for (const auto& [query, expected] : cases) {
        EXPECT_EQ(find(query), expected) << query;
    }
}

TEST_F(SearchProject, MarksTheMatchInTheSnippet)
{
    ASSERT_TRUE(index.SyncProjectFile(wbr, nullptr));
    std::vector<SearchHit> hits;
    ASSERT_TRUE(index.Search("软件包管理", {}, hits));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].m_strFile, page("gb.htm"));
    EXPECT_EQ(hits[0].m_strTitle, "国标");
    EXPECT_EQ(hits[0].m_strProject, "书");
    EXPECT_EQ(hits[0].m_strProjectFile, wbr);
    EXPECT_NE(hits[0].m_strSnippet.find("【软件包管理】工具"), std::string::npos) << hits[0].m_strSnippet;
    ASSERT_TRUE(index.Search("鼠", {"", "", 1}, hits));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_TRUE(hits[0].m_strSnippet.find("【鼠】标") != std::string::npos ||
                hits[0].m_strSnippet.find("老【鼠】") != std::string::npos)
        << hits[0].m_strSnippet;
    SearchStatus status;
    EXPECT_FALSE(index.Search("a OR", {}, hits, &status));
    EXPECT_EQ(status.m_code, SearchStatus::Code::BadQuery);
    EXPECT_FALSE(index.Search("-only", {}, hits, &status));
    EXPECT_EQ(status.m_code, SearchStatus::Code::BadQuery);
}

TEST_F(SearchProject, FollowsJobsRenamesDeletesAndFilesChangedOnDisk)
{
    ASSERT_TRUE(index.SyncProjectFile(wbr, nullptr));

    // A second job's page, indexed as it is saved.
    writePage("new.htm", "<p>第二次任务的新页面</p>");
    {
        CSearchQueue queue(index);
        queue.Add(wbr, "书", MakePage("新", page("new.htm"), "http://h/new"));
        queue.Wait();
        EXPECT_EQ(find("新页面"), (std::set<std::string>{"new.htm"}));
    }

    // The project renamed, one page moved to another project, one deleted, in the project file.
    saveProjects(wbr, {MakeProject("书架", {MakePage("国标", page("gb.htm"), "http://h/gb"),
                                            MakePage("新", page("new.htm"), "http://h/new")}),
                       MakeProject("杂", {MakePage("统一码2", page("utf.htm"), "http://h/utf")})});
    SyncCounts counts;
    ASSERT_TRUE(index.SyncProjectFile(wbr, &counts));
    EXPECT_EQ(counts.m_nPages, 3);
    EXPECT_EQ(counts.m_nRemoved, 1);
    EXPECT_EQ(counts.m_nRead, 0);
    EXPECT_EQ(find("老鼠"), (std::set<std::string>{}));
    EXPECT_EQ(find("工具", {"", "书架", 0}), (std::set<std::string>{"gb.htm"}));
    EXPECT_EQ(find("工具", {"", "杂", 0}), (std::set<std::string>{"utf.htm"}));
    EXPECT_EQ(find("统一码2"), (std::set<std::string>{"utf.htm"}));
    EXPECT_EQ(find("工具", {"", "书", 0}), (std::set<std::string>{}));

    // The tree's own edits.
    index.RenameProject(wbr, "杂", "杂项");
    index.MovePage(page("new.htm"), wbr, "杂项");
    index.RetitlePage(page("gb.htm"), "改名");
    EXPECT_EQ(find("新页面", {wbr, "杂项", 0}), (std::set<std::string>{"new.htm"}));
    EXPECT_EQ(find("改名"), (std::set<std::string>{"gb.htm"}));
    index.RemovePage(page("new.htm"));
    EXPECT_EQ(find("新页面"), (std::set<std::string>{}));
    index.RemoveProject(wbr, "杂项");
    EXPECT_EQ(find("工具"), (std::set<std::string>{"gb.htm"}));

    // A page found whose file changed on disk is read again; one whose file is gone is dropped.
    writePage("gb.htm", "<p>换了内容的页面 replaced</p>");
    EXPECT_EQ(find("工具"), (std::set<std::string>{}));
    EXPECT_EQ(find("replaced"), (std::set<std::string>{"gb.htm"}));
    ASSERT_EQ(std::remove(page("gb.htm").c_str()), 0);
    EXPECT_EQ(find("replaced"), (std::set<std::string>{}));
}

TEST_F(SearchProject, FollowsTheProjectsAWindowHolds)
{
    const auto hitsOf = [this](const std::string& query) {
        std::vector<SearchHit> hits;
        EXPECT_TRUE(index.Search(query, {}, hits)) << query;
        return hits;
    };
    // Projects never saved: their pages are found under no project file.
    const CProjectObject book = MakeProject(
        "书", {MakePage("国标", page("gb.htm"), "http://h/gb"), MakePage("统一码", page("utf.htm"), "http://h/utf")});
    index.SyncProjects("", {book});
    std::vector<SearchHit> hits = hitsOf("工具");
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].m_strProjectFile, "");

    // Saved as a file, the pages go with it; what the file does not hold goes with the unsaved projects.
    writePage("loose.htm", "<p>未保存的页面</p>");
    index.AddPage("", "书", MakePage("散", page("loose.htm"), "http://h/loose"));
    index.SyncProjects(wbr, {book});
    index.SyncProjects("", {});
    hits = hitsOf("工具");
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].m_strProjectFile, wbr);
    EXPECT_EQ(namesOf(hitsOf("未保存")), (std::set<std::string>{}));

    // The tree's edits: a project renamed, a page retitled and moved, a page dropped, a local page added.
    SyncCounts counts;
    index.SyncProjects(wbr,
                       {MakeProject("书架", {MakePage("新标题", page("gb.htm"), "http://h/gb")}),
                        MakeProject("本地", {MakePage("其他", page("other.htm"), page("other.htm"))})},
                       &counts);
    EXPECT_EQ(counts.m_nPages, 2);
    EXPECT_EQ(counts.m_nRead, 1);
    EXPECT_EQ(counts.m_nRemoved, 1);
    EXPECT_EQ(find("工具", {"", "书架", 0}), (std::set<std::string>{"gb.htm"}));
    EXPECT_EQ(find("新标题"), (std::set<std::string>{"gb.htm"}));
    EXPECT_EQ(find("老鼠", {wbr, "本地", 0}), (std::set<std::string>{"other.htm"}));
    EXPECT_EQ(find("内核"), (std::set<std::string>{}));

    // Marks of the caller's choosing around the matches.
    SearchScope marked;
    marked.m_strMatchOpen = "<";
    marked.m_strMatchClose = ">";
    ASSERT_TRUE(index.Search("鼠标", marked, hits));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_NE(hits[0].m_strSnippet.find("<鼠标>"), std::string::npos) << hits[0].m_strSnippet;
}

TEST_F(SearchProject, ServiceIndexesAndAnswersOnThreadsOfItsOwn)
{
    const std::string strIndex = folder.file("data/search.sqlite");
    // A file that is no index at all: the service rebuilds it before its first query, from the project
    // files the index knew.
    {
        CSearchIndex first(strIndex);
        ASSERT_TRUE(first.SyncProjectFile(wbr, nullptr));
    }
    ASSERT_TRUE(files::WriteFile(strIndex, std::string(8192, 'x')));

    std::mutex mutex;
    std::condition_variable arrived;
    std::map<std::uint64_t, std::set<std::string>> results;
    int nIndexed = 0;
    {
        CSearchService service(
            strIndex,
            [&] {
                std::lock_guard guard(mutex);
                ++nIndexed;
            },
            [&](std::uint64_t nQuery, std::vector<SearchHit> hits, SearchStatus status) {
                EXPECT_EQ(status.m_code, SearchStatus::Code::Ok) << status.m_strMessage;
                std::lock_guard guard(mutex);
                results[nQuery] = namesOf(hits);
                arrived.notify_all();
            });
        const auto await = [&](std::uint64_t nQuery) {
            std::unique_lock lock(mutex);
            EXPECT_TRUE(arrived.wait_for(lock, std::chrono::seconds(30), [&] { return results.count(nQuery) > 0; }));
            return results[nQuery];
        };
        EXPECT_EQ(await(service.Search("鼠", {})), (std::set<std::string>{"gb.htm", "other.htm"}));

        writePage("new.htm", "<p>刚保存的页面</p>");
        service.AddPage(wbr, "书", MakePage("新", page("new.htm"), "http://h/new"));
        service.WaitIndexed();
        EXPECT_EQ(await(service.Search("刚保存", {})), (std::set<std::string>{"new.htm"}));
        service.SyncProjects(wbr, {MakeProject("书", {MakePage("新", page("new.htm"), "http://h/new")})});
        service.WaitIndexed();
        EXPECT_EQ(await(service.Search("鼠", {})), (std::set<std::string>{}));
    }
    EXPECT_GE(nIndexed, 3);
}

TEST_F(SearchProject, RebuildsADamagedIndexFromTheProjectFiles)
{
    const std::string strIndex = folder.file("data/search.sqlite");
    struct Damage
    {
        const char* what;
        size_t nOffset;
    };
    for (const Damage& damage : {Damage{"header", 0}, Damage{"pages", 4096}}) {
        {
            CSearchIndex first(strIndex);
            ASSERT_TRUE(first.SyncProjectFile(wbr, nullptr));
            std::vector<SearchHit> hits;
            ASSERT_TRUE(first.Search("鼠", {}, hits));
        }
        std::string bytes;
        ASSERT_TRUE(files::ReadFile(strIndex, bytes));
        ASSERT_GT(bytes.size(), damage.nOffset + 1) << damage.what;
        for (size_t i = damage.nOffset; i < bytes.size(); ++i) {
            bytes[i] = static_cast<char>(0x5A ^ (i * 31));
        }
        {
            std::ofstream out(strIndex, std::ios::binary | std::ios::trunc);
            out << bytes;
        }
        CSearchIndex again(strIndex);
        std::vector<SearchHit> hits;
        SearchStatus status;
        EXPECT_TRUE(again.Search("鼠", {}, hits, &status)) << damage.what << ": " << status.m_strMessage;
        EXPECT_EQ(namesOf(hits), (std::set<std::string>{"gb.htm", "other.htm"})) << damage.what;
    }
}

TEST_F(SearchProject, CommandLineSearchAndIndex)
{
    const std::vector<std::string> env{"XDG_DATA_HOME=" + folder.file("xdg")};
    ProcessResult run = RunCli({"index", wbr}, env);
    EXPECT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(run.strOut, "3 pages indexed (3 read, 0 dropped)\n");

    run = RunCli({"search", "软件包管理"}, env);
    EXPECT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(run.strOut.substr(0, run.strOut.find("\t", page("gb.htm").size() + 1) + 1), page("gb.htm") + "\t国标\t");
    EXPECT_NE(run.strOut.find("【软件包管理】"), std::string::npos);
    EXPECT_EQ(std::count(run.strOut.begin(), run.strOut.end(), '\n'), 1);

    run = RunCli({"search", "工具", "--project-file", wbr, "--project", "书", "--limit", "1"}, env);
    EXPECT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(std::count(run.strOut.begin(), run.strOut.end(), '\n'), 1);

    const std::pair<std::vector<std::string>, int> statuses[] = {
        {{"search", "老虎"}, 1},
        {{"search", "工具", "--project", "别的"}, 1},
        {{"search"}, 2},
        {{"search", "a", "b"}, 2},
        {{"search", "工具", "--limit", "x"}, 2},
        {{"search", "a OR"}, 2},
        {{"index"}, 2},
        {{"index", folder.file("missing.wbr")}, 1},
    };
    for (const auto& [args, expected] : statuses) {
        run = RunCli(args, env);
        EXPECT_EQ(run.nExitCode, expected) << args.back() << ": " << run.strErr;
        if (expected == 1) {
            EXPECT_EQ(run.strOut, "");
        }
    }
}

TEST(SearchGet, PagesSavedWithAProjectFileAreFoundAtOnce)
{
    TempFolder folder;
    TestHttpServer server;
    server.Route("/1.htm", TestHttpResponse::Html("<html><head><meta charset=\"utf-8\"><title>一</title></head>"
                                                  "<body>保存后立即可以搜索</body></html>"));
    const std::vector<std::string> env{"XDG_DATA_HOME=" + folder.file("xdg")};
    const std::string wbr = folder.file("p.wbr");
    ProcessResult run = RunCli({"get", "--from", server.Url("/1.htm"), "--project", "p", "--folder",
                                folder.file("save"), "--project-file", wbr},
                               env);
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    run = RunCli({"search", "立即"}, env);
    EXPECT_EQ(run.nExitCode, 0) << run.strErr;
    CProjectStore store;
    store.SetPath(wbr);
    store.Transfer(false);
    std::vector<CProjectObject> projects;
    store.GetProjects(projects);
    ASSERT_EQ(projects.size(), 1u);
    ASSERT_EQ(projects[0].m_pages.size(), 1u);
    EXPECT_EQ(run.strOut.substr(0, run.strOut.find('\t')), projects[0].m_pages[0].m_strLocalFile);
}
