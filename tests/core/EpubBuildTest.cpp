// EPUB books made with trawlix-cli epub from a project downloaded from a local site, checked with
// epubcheck and read back with libzip.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <zip.h>

#include <gtest/gtest.h>

#include "ProjectFixtures.h"
#include "RunProcess.h"
#include "TempFolder.h"
#include "TestHttpServer.h"
#include "book/EpubBuilder.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "project/ProjectStore.h"

namespace
{

const char kEpubCheck[] = "/usr/share/java/epubcheck.jar";

struct ZipEntry
{
    std::string strName;
    std::string strData;
    bool bStored = false;
};

// The entries of a zip file in their order.
std::vector<ZipEntry> readZip(const std::string& path)
{
    std::vector<ZipEntry> entries;
    int nError = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &nError);
    if (!archive) {
        return entries;
    }
    const zip_int64_t n = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st);
        ZipEntry entry;
        entry.strName = st.name;
        entry.bStored = st.comp_method == ZIP_CM_STORE;
        entry.strData.resize(st.size);
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        if (file) {
            zip_fread(file, entry.strData.data(), st.size);
            zip_fclose(file);
        }
        entries.push_back(std::move(entry));
    }
    zip_close(archive);
    return entries;
}

std::string entryData(const std::vector<ZipEntry>& entries, const std::string& name)
{
    for (const auto& e : entries) {
        if (e.strName == name) {
            return e.strData;
        }
    }
    return "<missing " + name + ">";
}

std::vector<std::string> allMatches(const std::string& text, const std::string& pattern)
{
    std::vector<std::string> found;
    std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it) {
        found.push_back((*it)[1].str());
    }
    return found;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::string testData(const std::string& name)
{
    std::string data;
    files::ReadFile(std::string(TRAWLIX_TEST_DATA) + "/epub/" + name, data);
    return data;
}

// A page as the site serves it: GB2312, as many Chinese sites still do.
TestHttpResponse gbPage(const std::string& utf8Html)
{
    TestHttpResponse r;
    r.headers = {{"Content-Type", "text/html; charset=gb2312"}};
    r.body = codepage::Utf8ToGb18030(utf8Html);
    return r;
}

class EpubBuildTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const std::string head = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">";
        server.Route("/index.htm",
                     gbPage(head +
                            "<title>目录</title></head><body><a href=\"news.htm\">1</a> <a href=\"chart.htm\">2</a> "
                            "<a href=\"plain.htm\">3</a> <a href=\"old.htm\">4</a></body></html>"));
        server.Route("/news.htm",
                     gbPage(head + "<title>新闻 &amp; 评论</title><style>p { color: #333 }</style>"
                                   "<script>var x = 1;</script></head>"
                                   "<body bgcolor=\"#ffffff\"><h1 align=center>今日新闻</h1>"
                                   "<header><header>头</header></header><p onclick=\"go()\" data-line=\"1\" "
                                   "style=\"margin: 1em\">第一段<img src=\"dot.gif\" border=0 width=\"50%\">"
                                   "<img src=\"red.png\" alt=\"红\"></p>"
                                   "<p><a href=\"chart.htm#fig\">图表</a> <a href=\"old.htm#gone\">旧闻</a> "
                                   "<a href=\"/other.htm\">别处</a> <a href=\"javascript:void(0)\">脚本</a>"
                                   "<img src=\"http://127.0.0.1:1/remote.gif\"></p>"
                                   "<font color=red><div>整段红字</div></font><center>居中</center></body></html>"));
        server.Route("/chart.htm",
                     gbPage(head +
                            "<title>图表</title></head><body>"
                            "<script type=\"text/javascript\">document.write('<p>x</p>')</script>"
                            "<svg viewBox=\"0 0 10 10\" width=\"100\" id=\"fig\"><circle cx=\"5\" cy=\"5\" r=\"4\" "
                            "onclick=\"alert(1)\"/><script>alert(2)</script>"
                            "<linearGradient id=\"g\"><stop offset=\"0\"/></linearGradient></svg>"
                            "<p>说明<img src=\"dot.gif\"></p></body></html>"));
        server.Route("/plain.htm",
                     gbPage(head +
                            "</head><body><span><div>块</div></span><ul><div>项</div>文字<li>真项</li></ul>"
                            "<table border=1><tr><td colspan=2>格</td></tr></table>"
                            "<p id=\"1bad\">坏的标识</p><p id=\"dup\">一</p><p id=\"dup\">二</p></body></html>"));
        server.Route("/old.htm", gbPage(head + "<title>旧 &lt;闻&gt;</title></head><body><a name=\"top\"></a>"
                                               "<marquee>滚动</marquee><tt>代码</tt><a href=\"#top\">回到顶部</a>"
                                               "<a href=\"#none\">无</a></body></html>"));
        server.Route("/dot.gif", TestHttpResponse::Text(testData("dot.gif")));
        server.Route("/red.png", TestHttpResponse::Text(testData("red.png")));
    }

    // Downloads the site into project "新闻" of folder/p.wbr.
    void download()
    {
        ProcessResult run = RunCli({"get", "--top", server.Url("/index.htm"), "--project", "新闻", "--folder",
                                    folder.file("save"), "--project-file", wbr});
        ASSERT_EQ(run.nExitCode, 0) << run.strOut << run.strErr;
    }

    TempFolder folder;
    TestHttpServer server;
    const std::string wbr = folder.file("p.wbr");
};

TEST_F(EpubBuildTest, BookFromADownloadedProjectPassesEpubCheckAndHoldsEveryPageAndPicture)
{
    ASSERT_TRUE(files::Exists(kEpubCheck)) << "install epubcheck (scripts/install-deps.sh --test)";
    download();
    files::CreateFolder(folder.file("out"));

    ProcessResult run =
        RunCli({"epub", wbr, "--project", "新闻", "--out", folder.file("out"), "--name", "新闻 & 评论集"});
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    const std::string book = folder.file("out/新闻 & 评论集.epub");
    // Both pages show dot.gif: the book stores it once.
    EXPECT_EQ(run.strOut, "wrote " + book + " (5 pages, 2 pictures and style sheets)\n");
    EXPECT_EQ(run.strErr, "");

    ProcessResult check = RunProcess({"/usr/bin/java", "-jar", kEpubCheck, book});
    EXPECT_EQ(check.nExitCode, 0) << check.strOut << check.strErr;
    EXPECT_FALSE(contains(check.strOut + check.strErr, "WARNING")) << check.strOut << check.strErr;
    EXPECT_FALSE(contains(check.strOut + check.strErr, "ERROR")) << check.strOut << check.strErr;

    const std::vector<ZipEntry> entries = readZip(book);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries[0].strName, "mimetype");
    EXPECT_TRUE(entries[0].bStored);
    EXPECT_EQ(entries[0].strData, "application/epub+zip");

    // The spine follows the project's order (the top page first) after the cover and the contents.
    const std::string opf = entryData(entries, "EPUB/package.opf");
    EXPECT_EQ(allMatches(opf, "<itemref idref=\"([^\"]+)\""),
              (std::vector<std::string>{"cover", "nav", "p0001", "p0002", "p0003", "p0004", "p0005"}));
    EXPECT_TRUE(contains(opf, "<dc:title>新闻 &amp; 评论集</dc:title>"));
    EXPECT_TRUE(contains(opf, "<dc:identifier id=\"bookid\">urn:uuid:" + EpubBookUuid("新闻", "新闻 & 评论集")));
    EXPECT_TRUE(contains(opf, "<dc:source>" + server.Url("/news.htm") + "</dc:source>"));
    EXPECT_TRUE(contains(opf, "href=\"text/p0003.xhtml\" media-type=\"application/xhtml+xml\" properties=\"svg\""));
    EXPECT_TRUE(std::regex_search(
        opf, std::regex("<meta property=\"dcterms:modified\">\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ</meta>")));

    // Titles decoded from code page 936 (even "目录", whose two characters happen to be valid UTF-8 bytes
    // too), with their entities; a page without one is named after its file.
    const std::string nav = entryData(entries, "EPUB/nav.xhtml");
    EXPECT_EQ(allMatches(nav, "<li><a href=\"text/p\\d+\\.xhtml\">([^<]*)</a></li>"),
              (std::vector<std::string>{"目录", "新闻 &amp; 评论", "图表", "plain.htm", "旧 &lt;闻&gt;"}));
    EXPECT_TRUE(contains(entryData(entries, "EPUB/toc.ncx"), "<text>新闻 &amp; 评论</text>"));
    EXPECT_TRUE(contains(entryData(entries, "EPUB/text/cover.xhtml"), "<h1>新闻 &amp; 评论集</h1>"));

    // Every picture the project holds is in the book, each once, and every page points at it.
    std::map<std::string, std::string> bookFiles;
    for (const auto& e : entries) {
        bookFiles[e.strName] = e.strData;
    }
    const std::string project = folder.file("save/新闻");
    for (const auto& [page, id] :
         std::vector<std::pair<std::string, std::string>>{{"news", "p0002"}, {"chart", "p0003"}}) {
        EXPECT_TRUE(contains(bookFiles["EPUB/text/" + id + ".xhtml"], "<img src=\"../res/p0002/dot.gif\"")) << page;
        std::string saved;
        EXPECT_TRUE(files::ReadFile(project + "/" + page + ".files/dot.gif", saved)) << page;
    }
    EXPECT_EQ(bookFiles["EPUB/res/p0002/dot.gif"], testData("dot.gif"));
    EXPECT_EQ(bookFiles.count("EPUB/res/p0003/dot.gif"), 0u);
    EXPECT_EQ(bookFiles["EPUB/res/p0002/red.png"], testData("red.png"));

    const std::string news = bookFiles["EPUB/text/p0002.xhtml"];
    EXPECT_FALSE(contains(news, "<script")) << news;
    EXPECT_FALSE(contains(news, "onclick")) << news;
    EXPECT_TRUE(contains(news, "<img src=\"../res/p0002/red.png\" alt=\"红\"/>")) << news;
    EXPECT_TRUE(contains(news, "<a href=\"p0003.xhtml#fig\">")) << news; // inside the book, the id exists
    EXPECT_TRUE(contains(news, "<a href=\"p0005.xhtml\">")) << news;     // the id does not exist there
    EXPECT_TRUE(contains(news, "<a href=\"" + server.Url("/other.htm") + "\">")) << news;
    EXPECT_TRUE(contains(news, "<a>脚本</a>")) << news;
    EXPECT_FALSE(contains(news, "remote.gif")) << news;
    EXPECT_TRUE(contains(news, "<div><div>整段红字</div></div>")) << news;
    const std::string chart = bookFiles["EPUB/text/p0003.xhtml"];
    EXPECT_TRUE(contains(chart, "<svg xmlns=\"http://www.w3.org/2000/svg\"")) << chart;
    EXPECT_TRUE(contains(chart, "viewBox=\"0 0 10 10\"")) << chart;
    EXPECT_TRUE(contains(chart, "<linearGradient id=\"g\">")) << chart;
    EXPECT_FALSE(contains(chart, "alert")) << chart;
}

TEST_F(EpubBuildTest, StyleSheetsOfACompletePageComeInsideAndNothingPointsOutside)
{
    TestHttpServer site;
    site.Route("/page.htm", TestHttpResponse::Html(
                                "<html><head><title>样式</title><link rel=\"stylesheet\" href=\"site.css\">"
                                "<style>h1 { background: url(dot.gif) } p { background: url(/gone.gif) }</style></head>"
                                "<body><h1 style=\"background-image: url('red.png')\">标题</h1><p class=\"x\">段</p>"
                                "</body></html>"));
    TestHttpResponse sheet = TestHttpResponse::Text("@import \"more.css\";\n@import url(missing.css);\n"
                                                    "body { background: url(red.png) no-repeat }\n"
                                                    ".x { background: url(\"http://127.0.0.1:1/far.gif\") }\n");
    sheet.headers = {{"Content-Type", "text/css"}};
    site.Route("/site.css", sheet);
    TestHttpResponse more = TestHttpResponse::Text("p { color: #333 }\n");
    more.headers = {{"Content-Type", "text/css"}};
    site.Route("/more.css", more);
    site.Route("/dot.gif", TestHttpResponse::Text(testData("dot.gif")));
    site.Route("/red.png", TestHttpResponse::Text(testData("red.png")));
    ProcessResult get = RunCli({"get", "--complete", "--from", site.Url("/page.htm"), "--project", "样式", "--folder",
                                folder.file("save"), "--project-file", wbr});
    ASSERT_EQ(get.nExitCode, 0) << get.strOut << get.strErr; // the page is saved; missing.css and gone.gif fail
    files::CreateFolder(folder.file("out"));
    ProcessResult run = RunCli({"epub", wbr, "--project", "样式", "--out", folder.file("out")});
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    const std::string book = folder.file("out/样式.epub");

    ProcessResult check = RunProcess({"/usr/bin/java", "-jar", kEpubCheck, book});
    EXPECT_EQ(check.nExitCode, 0) << check.strOut << check.strErr;
    EXPECT_FALSE(contains(check.strOut + check.strErr, "WARNING")) << check.strOut << check.strErr;

    std::map<std::string, std::string> bookFiles;
    for (const auto& e : readZip(book)) {
        bookFiles[e.strName] = e.strData;
    }
    const std::string page = bookFiles["EPUB/text/p0001.xhtml"];
    EXPECT_TRUE(contains(page, "<link rel=\"stylesheet\" type=\"text/css\" href=\"../res/p0001/site.css\"/>")) << page;
    EXPECT_TRUE(contains(page, "h1 { background: url(../res/p0001/dot.gif) } p { background: none }")) << page;
    EXPECT_TRUE(contains(page, "style=\"background-image: url(../res/p0001/red.png)\"")) << page;
    const std::string css = bookFiles["EPUB/res/p0001/site.css"];
    EXPECT_EQ(css, "@import \"more.css\";\n\n"
                   "body { background: url(red.png) no-repeat }\n"
                   ".x { background: none }\n");
    EXPECT_EQ(bookFiles["EPUB/res/p0001/more.css"], "p { color: #333 }\n");
}

TEST_F(EpubBuildTest, TheSameProjectAndNameKeepTheirIdentifier)
{
    EXPECT_EQ(EpubBookUuid("新闻", "书"), EpubBookUuid("新闻", "书"));
    EXPECT_NE(EpubBookUuid("新闻", "书"), EpubBookUuid("新闻", "书2"));
    EXPECT_NE(EpubBookUuid("ab", "c"), EpubBookUuid("a", "bc"));
    EXPECT_TRUE(std::regex_match(EpubBookUuid("p", "b"),
                                 std::regex("[0-9a-f]{8}-[0-9a-f]{4}-5[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}")));
    EXPECT_EQ(EpubFilePath("/d", "书"), "/d/书.epub");
    EXPECT_EQ(EpubFilePath("/d", "书.EPUB"), "/d/书.EPUB");
}

class EpubCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        files::CreateFolders(folder.file("save/p/a.files"));
        files::WriteFile(folder.file("save/p/a.htm"), "<title>A</title><p>a<img src=\"a.files/dot.gif\"></p>");
        files::WriteFile(folder.file("save/p/a.files/dot.gif"), testData("dot.gif"));
        files::WriteFile(folder.file("save/p/b.htm"), "<p>b</p>");
        files::CreateFolder(folder.file("out"));
        CProjectStore store;
        store.SetPath(wbr);
        store.SetProjects({MakeProject("p", {MakePage("A", folder.file("save/p/a.htm"), "http://h/a.htm"),
                                             MakePage("gone", folder.file("save/p/gone.htm"), "http://h/gone.htm"),
                                             MakePage("B", folder.file("save/p/b.htm"), "http://h/b.htm")}),
                           MakeProject("empty"),
                           // A crafted project file: a record naming a file that is no saved page.
                           MakeProject("crafted", {MakePage("A", folder.file("save/p/a.htm"), "http://h/a.htm"),
                                                   MakePage("pw", "/etc/passwd", "http://h/pw")})});
    }

    TempFolder folder;
    const std::string wbr = folder.file("p.wbr");
};

TEST_F(EpubCommandTest, ErrorsAreClearAndOnlyAWrittenBookExitsZero)
{
    files::WriteFile(folder.file("file"), "x");
    struct Case
    {
        std::vector<std::string> args;
        int nExit;
        std::string strErr;
    };
    const Case cases[] = {
        {{"epub", wbr, "--project", "nope", "--out", folder.file("out")}, 1, "has no project named \"nope\""},
        {{"epub", wbr, "--project", "empty", "--out", folder.file("out")}, 1, "GetProjectInfo() faild !\n"},
        {{"epub", wbr, "--project", "crafted", "--out", folder.file("out")}, 1, "is not a saved web page: /etc/passwd"},
        {{"epub", wbr, "--project", "p", "--out", folder.file("missing")}, 1, "does not exist"},
        {{"epub", wbr, "--project", "p", "--out", folder.file("file")}, 1, "does not exist"},
        {{"epub", folder.file("nothing.wbr"), "--project", "p", "--out", folder.file("out")}, 1, "cannot open"},
        {{"epub", wbr, "--project", "p"}, 2, "usage:"},
        {{"epub", wbr, "--project", "p", "--out", folder.file("out"), "--name", "  "}, 2, "must not be empty"},
    };
    for (const auto& c : cases) {
        ProcessResult run = RunCli(c.args);
        EXPECT_EQ(run.nExitCode, c.nExit) << c.args[3] << " " << run.strErr;
        EXPECT_TRUE(contains(run.strErr, c.strErr)) << run.strErr;
        EXPECT_EQ(run.strOut, "");
    }
    EXPECT_FALSE(files::Exists(folder.file("out/nope.epub")));
    EXPECT_FALSE(files::Exists(folder.file("out/empty.epub")));
    EXPECT_FALSE(files::Exists(folder.file("out/crafted.epub")));

    // The desktop program builds through the worker, which refuses such a record as well.
    EpubBuildParams params;
    params.m_strEpubFile = folder.file("out/crafted.epub");
    params.m_strBookName = params.m_strProjectName = "crafted";
    params.m_pages = {MakePage("A", folder.file("save/p/a.htm"), ""), MakePage("pw", "/etc/passwd", "")};
    const EpubBuildResult result = EpubBuildWorker(params);
    EXPECT_EQ(result.m_code, EpubBuildResult::Code::NotAPage);
    EXPECT_EQ(result.m_strRefusedFile, "/etc/passwd");
    EXPECT_FALSE(files::Exists(folder.file("out/crafted.epub")));
}

TEST_F(EpubCommandTest, AnUnreadablePageIsSkippedWithAWarningAndTheBookIsStillMade)
{
    ProcessResult run = RunCli({"epub", wbr, "--project", "p", "--out", folder.file("out"), "--name", "书"});
    EXPECT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(run.strErr, "warning: skipped the page " + folder.file("save/p/gone.htm") + " (no such file)\n");
    EXPECT_EQ(run.strOut,
              "wrote " + folder.file("out/书.epub") + " (2 pages, 1 pictures and style sheets, 1 pages skipped)\n");
    const std::vector<ZipEntry> entries = readZip(folder.file("out/书.epub"));
    const std::string opf = entryData(entries, "EPUB/package.opf");
    EXPECT_EQ(allMatches(opf, "<itemref idref=\"([^\"]+)\""),
              (std::vector<std::string>{"cover", "nav", "p0001", "p0002"}));
    EXPECT_TRUE(contains(entryData(entries, "EPUB/text/p0002.xhtml"), "<p>b</p>"));
}

TEST_F(EpubCommandTest, ContentsShowRenamedTitlesAndDecodeTitlesOfOlderProjectFiles)
{
    files::WriteFile(folder.file("save/p/c.htm"), "<title>C &amp; D</title><p>c</p>");
    CProjectStore store;
    store.SetPath(wbr);
    // A page the user renamed, and one recorded by an earlier version with its reference undecoded.
    store.SetProjects({MakeProject("p", {MakePage("我的标题", folder.file("save/p/a.htm"), "http://h/a.htm"),
                                         MakePage("C &amp; D", folder.file("save/p/c.htm"), "http://h/c.htm")})});
    ProcessResult run = RunCli({"epub", wbr, "--project", "p", "--out", folder.file("out")});
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    const std::string nav = entryData(readZip(folder.file("out/p.epub")), "EPUB/nav.xhtml");
    EXPECT_EQ(allMatches(nav, "<li><a href=\"text/p\\d+\\.xhtml\">([^<]*)</a></li>"),
              (std::vector<std::string>{"我的标题", "C &amp; D"}));
}

TEST_F(EpubCommandTest, AFolderThatCannotBeWrittenFailsAndLeavesAnEarlierBookAlone)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind the super-user";
    }
    files::WriteFile(folder.file("out/p.epub"), "earlier");
    ::chmod(folder.file("out").c_str(), 0555);
    ProcessResult run = RunCli({"epub", wbr, "--project", "p", "--out", folder.file("out")});
    ::chmod(folder.file("out").c_str(), 0755);
    EXPECT_EQ(run.nExitCode, 1);
    EXPECT_TRUE(contains(run.strErr, "not writable")) << run.strErr;
    std::string data;
    files::ReadFile(folder.file("out/p.epub"), data);
    EXPECT_EQ(data, "earlier");
}

// A page saved under a name with dots of its own keeps its pictures (ch01.zh-cn.zh-cn.html beside
// ch01.zh-cn.files, as a download of ch01.zh-cn.html names them).
TEST_F(EpubCommandTest, PagesWithDotsInTheirNamesKeepTheirPictures)
{
    files::CreateFolders(folder.file("save/d/ch01.zh-cn.files"));
    files::WriteFile(folder.file("save/d/ch01.zh-cn.zh-cn.html"),
                     "<title>第一章</title><p><img src=\"ch01.zh-cn.files/fig.png\" alt=\"图\"/></p>");
    files::WriteFile(folder.file("save/d/ch01.zh-cn.files/fig.png"), testData("red.png"));
    CProjectStore store;
    store.SetPath(wbr);
    store.SetProjects({MakeProject("d", {MakePage("第一章", folder.file("save/d/ch01.zh-cn.zh-cn.html"), "")})});
    ProcessResult run = RunCli({"epub", wbr, "--project", "d", "--out", folder.file("out")});
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    std::map<std::string, std::string> bookFiles;
    for (const auto& e : readZip(folder.file("out/d.epub"))) {
        bookFiles[e.strName] = e.strData;
    }
    EXPECT_EQ(bookFiles["EPUB/res/p0001/fig.png"], testData("red.png"));
    EXPECT_TRUE(contains(bookFiles["EPUB/text/p0001.xhtml"], "<img src=\"../res/p0001/fig.png\" alt=\"图\"/>"))
        << bookFiles["EPUB/text/p0001.xhtml"];
}

// Pages of one site carry copies of the same logo and sheet in each .files folder: the book stores each
// content once, and a sheet only shares when what it points at is the same too.
TEST_F(EpubCommandTest, IdenticalFilesAreStoredOnceAndEveryPagePointsAtTheOneCopy)
{
    const std::string sheet = "body { background: url(logo.png) no-repeat }\n";
    const std::string otherPng = testData("red.png") + "another picture";
    std::vector<CProjectInfor> pages;
    for (int i = 1; i <= 4; ++i) {
        const std::string name = "s" + std::to_string(i);
        files::CreateFolders(folder.file("save/s/" + name + ".files/img"));
        files::WriteFile(folder.file("save/s/" + name + ".htm"),
                         "<html><head><title>" + name + "</title><link rel=\"stylesheet\" href=\"" + name +
                             ".files/site.css\"></head><body><img src=\"" + name +
                             ".files/img/logo.png\" alt=\"\"/>"
                             "</body></html>");
        files::WriteFile(folder.file("save/s/" + name + ".files/img/logo.png"), testData("red.png"));
        // The same sheet's bytes everywhere, but the fourth page's logo.png beside it is another picture.
        files::WriteFile(folder.file("save/s/" + name + ".files/site.css"), sheet);
        files::WriteFile(folder.file("save/s/" + name + ".files/logo.png"), i == 4 ? otherPng : testData("red.png"));
        pages.push_back(MakePage(name, folder.file("save/s/" + name + ".htm"), ""));
    }
    CProjectStore store;
    store.SetPath(wbr);
    store.SetProjects({MakeProject("s", pages)});
    ProcessResult run = RunCli({"epub", wbr, "--project", "s", "--out", folder.file("out")});
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    // The red logo, the dot and two sheets.
    EXPECT_EQ(run.strOut, "wrote " + folder.file("out/s.epub") + " (4 pages, 4 pictures and style sheets)\n");
    const std::string book = folder.file("out/s.epub");
    if (files::Exists(kEpubCheck)) {
        ProcessResult check = RunProcess({"/usr/bin/java", "-jar", kEpubCheck, book});
        EXPECT_EQ(check.nExitCode, 0) << check.strOut << check.strErr;
        EXPECT_FALSE(contains(check.strOut + check.strErr, "WARNING")) << check.strOut << check.strErr;
    }

    std::map<std::string, std::string> bookFiles;
    int nRed = 0;
    for (const auto& e : readZip(book)) {
        bookFiles[e.strName] = e.strData;
        nRed += e.strData == testData("red.png") ? 1 : 0;
    }
    EXPECT_EQ(nRed, 1);
    EXPECT_EQ(allMatches(entryData(readZip(book), "EPUB/package.opf"), "href=\"(res/[^\"]+)\""),
              (std::vector<std::string>{"res/p0001/img/logo.png", "res/p0001/site.css", "res/p0004/logo.png",
                                        "res/p0004/site.css"}));
    // Each page's picture and sheet, followed from the page, hold what the page saved.
    for (int i = 1; i <= 4; ++i) {
        const std::string page = bookFiles["EPUB/text/p000" + std::to_string(i) + ".xhtml"];
        const std::vector<std::string> sheets =
            allMatches(page, "<link rel=\"stylesheet\" [^>]*href=\"\\.\\./([^\"]+)\"");
        const std::vector<std::string> images = allMatches(page, "<img src=\"\\.\\./([^\"]+)\"");
        ASSERT_EQ(sheets.size(), 1u) << page;
        ASSERT_EQ(images.size(), 1u) << page;
        EXPECT_EQ(bookFiles["EPUB/" + images[0]], testData("red.png")) << i;
        // The sheet points at the stored copy of what its own folder held.
        const std::string css = bookFiles["EPUB/" + sheets[0]];
        const std::vector<std::string> urls = allMatches(css, "url\\(([^)]+)\\)");
        ASSERT_EQ(urls.size(), 1u) << css;
        const std::string logo =
            std::filesystem::path(files::FolderOf("EPUB/" + sheets[0]) + "/" + urls[0]).lexically_normal().string();
        EXPECT_EQ(bookFiles[logo], i == 4 ? otherPng : testData("red.png")) << i << " " << css;
    }
}

// A project unpacked from an archive may hold links: only plain files inside the page's folder go into
// the book, never what a link leads to elsewhere.
TEST_F(EpubCommandTest, LinksToFilesOutsideThePageFolderStayOutOfTheBook)
{
    files::WriteFile(folder.file("secret.gif"), "GIF89a secret");
    const std::pair<std::string, std::string> links[] = {
        {"/etc/passwd", "save/p/a.files/pw.css"},
        {folder.file("secret.gif"), "save/p/a.files/secret.gif"},
        {"dot.gif", "save/p/a.files/same.gif"}, // inside: taken
        {"/etc", "save/p/b.files"},
        {"/etc/passwd", "save/p/evil.htm"},
    };
    for (const auto& [target, link] : links) {
        ASSERT_EQ(::symlink(target.c_str(), folder.file(link).c_str()), 0) << link;
    }
    CProjectStore store;
    store.SetPath(wbr);
    store.SetProjects({MakeProject("p", {MakePage("A", folder.file("save/p/a.htm"), ""),
                                         MakePage("B", folder.file("save/p/b.htm"), "")}),
                       MakeProject("evil", {MakePage("A", folder.file("save/p/a.htm"), ""),
                                            MakePage("E", folder.file("save/p/evil.htm"), "")})});
    ProcessResult run = RunCli({"epub", wbr, "--project", "p", "--out", folder.file("out")});
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    std::set<std::string> names;
    for (const auto& e : readZip(folder.file("out/p.epub"))) {
        names.insert(e.strName);
        EXPECT_FALSE(contains(e.strData, "root:")) << e.strName;
        EXPECT_FALSE(contains(e.strData, "secret")) << e.strName;
    }
    EXPECT_TRUE(names.count("EPUB/res/p0001/dot.gif")) << "the page's own picture";

    run = RunCli({"epub", wbr, "--project", "evil", "--out", folder.file("out")});
    EXPECT_EQ(run.nExitCode, 1);
    EXPECT_TRUE(contains(run.strErr, "is not a saved web page: " + folder.file("save/p/evil.htm"))) << run.strErr;
    EXPECT_FALSE(files::Exists(folder.file("out/evil.epub")));
}

// The id of a process that has ended.
pid_t endedProcessId()
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(0);
    }
    ::waitpid(pid, nullptr, 0);
    return pid;
}

std::vector<std::string> entriesOf(const std::string& path)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A killed build leaves its temporary book (and what libzip wrote beside it); the next build of that book
// removes what ended processes left. An interrupted build removes its own and keeps the earlier book.
TEST_F(EpubCommandTest, LeftoversOfKilledBuildsGoAndAnInterruptedBuildLeavesNothing)
{
    const std::string dead = std::to_string(endedProcessId());
    for (const std::string& name :
         {".p.epub.part-" + dead + "-0", ".p.epub.part-" + dead + "-0.Ab12Cd", std::string(".p.epub.part-1-0")}) {
        files::WriteFile(folder.file("out/" + name), "half a book");
    }
    ProcessResult run = RunCli({"epub", wbr, "--project", "p", "--out", folder.file("out")});
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    // The first process of the system still runs: its file stays.
    EXPECT_EQ(entriesOf(folder.file("out")), (std::vector<std::string>{".p.epub.part-1-0", "p.epub"}));

    // Enough pages that the book is still being written when the request to stop comes.
    std::vector<CProjectInfor> pages;
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        text += "<p>第" + std::to_string(i) + "段 <b>粗</b> <i>斜</i></p>\n";
    }
    for (int i = 0; i < 200; ++i) {
        const std::string file = folder.file("save/big/" + std::to_string(i) + ".htm");
        files::CreateFolders(files::FolderOf(file));
        files::WriteFile(file, "<title>" + std::to_string(i) + "</title>" + text);
        pages.push_back(MakePage(std::to_string(i), file, ""));
    }
    CProjectStore store;
    store.SetPath(wbr);
    store.SetProjects({MakeProject("big", pages)});
    files::WriteFile(folder.file("out/big.epub"), "earlier");
    for (const int nSignal : {SIGTERM, SIGINT, SIGHUP}) {
        const pid_t pid =
            StartCli({"epub", wbr, "--project", "big", "--out", folder.file("out")}, {}, folder.file("log"));
        ASSERT_GT(pid, 0);
        // Once the temporary book exists, the pages are being written into it.
        const std::string prefix = ".big.epub.part-" + std::to_string(pid) + "-";
        bool bSeen = false;
        for (int n = 0; n < 20000 && !bSeen; ++n) {
            for (const auto& name : entriesOf(folder.file("out"))) {
                bSeen = bSeen || name.rfind(prefix, 0) == 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_TRUE(bSeen);
        ::kill(pid, nSignal);
        EXPECT_EQ(WaitCli(pid), 1) << nSignal;
        EXPECT_EQ(entriesOf(folder.file("out")), (std::vector<std::string>{".p.epub.part-1-0", "big.epub", "p.epub"}))
            << nSignal;
        std::string data;
        files::ReadFile(folder.file("out/big.epub"), data);
        EXPECT_EQ(data, "earlier");
    }
    std::string log;
    files::ReadFile(folder.file("log"), log);
    EXPECT_TRUE(contains(log, "trawlix-cli: interrupted\n")) << log;
}

} // namespace
