#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <chm_lib.h>
#include <gtest/gtest.h>

#include "ProjectFixtures.h"
#include "RunProcess.h"
#include "TempFolder.h"
#include "TestHttpServer.h"
#include "chm/ChmBuildWorker.h"
#include "chm/ChmWriter.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "project/ProjectStore.h"

namespace
{

std::string readAll(const std::string& path)
{
    std::string data;
    files::ReadFile(path, data);
    return data;
}

void writeFile(const std::string& path, const std::string& data)
{
    files::CreateFolders(files::FolderOf(path));
    ASSERT_TRUE(files::WriteFile(path, data)) << path;
}

// Every file of a compiled book, by its path inside the book ("/a.htm").
std::map<std::string, std::string> readBook(const std::string& path)
{
    std::map<std::string, std::string> contents;
    chmFile* book = chm_open(path.c_str());
    if (!book) {
        ADD_FAILURE() << "chmlib cannot open " << path;
        return contents;
    }
    struct Context
    {
        std::map<std::string, std::string>* contents;
    } context{&contents};
    chm_enumerate(
        book, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES,
        [](chmFile* h, chmUnitInfo* ui, void* c) {
            std::string data(ui->length, '\0');
            if (ui->length > 0) {
                chm_retrieve_object(h, ui, reinterpret_cast<unsigned char*>(data.data()), 0,
                                    static_cast<LONGINT64>(ui->length));
            }
            (*static_cast<Context*>(c)->contents)[ui->path] = data;
            return CHM_ENUMERATOR_CONTINUE;
        },
        &context);
    chm_close(book);
    return contents;
}

// An attribute value of the contents file as the reader shows it.
std::string unescaped(std::string value)
{
    const std::pair<std::string, std::string> entities[] = {
        {"&quot;", "\""}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}};
    for (const auto& [entity, text] : entities) {
        for (auto at = value.find(entity); at != std::string::npos; at = value.find(entity, at + text.size())) {
            value.replace(at, entity.size(), text);
        }
    }
    return value;
}

// The (Name, Local) pairs of a contents file's topics, in order; Local is empty for the book.
std::vector<std::pair<std::string, std::string>> topicsOf(const std::string& hhcBytes)
{
    const std::string hhc = codepage::Gb18030ToUtf8(hhcBytes);
    std::vector<std::pair<std::string, std::string>> topics;
    auto valueAfter = [&](const std::string& key, std::size_t from, std::size_t& end) {
        auto at = hhc.find(key, from);
        if (at == std::string::npos) {
            end = std::string::npos;
            return std::string();
        }
        at += key.size();
        end = hhc.find("\">", at);
        return hhc.substr(at, end - at);
    };
    std::size_t pos = 0;
    for (;;) {
        std::size_t end = 0;
        std::string name = valueAfter("<param name=\"Name\" value=\"", pos, end);
        if (end == std::string::npos) {
            break;
        }
        std::size_t objectEnd = hhc.find("</OBJECT>", end);
        std::size_t localEnd = 0;
        std::string local = valueAfter("<param name=\"Local\" value=\"", end, localEnd);
        if (localEnd == std::string::npos || localEnd > objectEnd) {
            local.clear();
        }
        topics.emplace_back(unescaped(name), local);
        pos = objectEnd;
    }
    return topics;
}

// Saved pages as the download engine leaves them: a page file and its ".files" folder.
struct SavedPage
{
    std::string file;
    std::string title;
    std::map<std::string, std::string> resources; // path inside the resource folder → bytes
};

std::vector<std::string> texts(const std::vector<SavedPage>& pages, bool bTitles)
{
    std::vector<std::string> out;
    for (const auto& p : pages) {
        out.push_back(bTitles ? p.title : p.file);
    }
    return out;
}

class ScopedCacheHome
{
public:
    explicit ScopedCacheHome(const std::string& path)
    {
        if (const char* old = std::getenv("XDG_CACHE_HOME")) {
            m_strOld = old;
            m_bHadOld = true;
        }
        ::setenv("XDG_CACHE_HOME", path.c_str(), 1);
    }
    ~ScopedCacheHome()
    {
        if (m_bHadOld) {
            ::setenv("XDG_CACHE_HOME", m_strOld.c_str(), 1);
        } else {
            ::unsetenv("XDG_CACHE_HOME");
        }
    }

private:
    std::string m_strOld;
    bool m_bHadOld = false;
};

} // namespace

TEST(ChmWriter, CopiesPagesAndWritesBothHelpFiles)
{
    TempFolder temp;
    const std::string one = temp.file("save/新闻");
    const std::string two = temp.file("save/other");
    writeFile(one + "/a.htm", "page a");
    writeFile(one + "/a.files/x.gif", "GIF x");
    writeFile(one + "/a.files/sub/z.css", "css");
    writeFile(one + "/a.files/.x.gif.part-4242-7", "half a GIF"); // left by a killed download: not copied
    writeFile(one + "/b.htm", "page b");                          // no resource folder
    writeFile(one + "/notes", "no extension");
    writeFile(one + "/notes.files/y.png", "PNG y");
    writeFile(two + "/a.htm", "page a of another project"); // same name: shares the copy

    ChmBuildParams params;
    const std::string work = temp.file("work");
    files::CreateFolder(work);
    params.SetPages({one + "/a.htm", one + "/b.htm", one + "/notes", two + "/a.htm"}, work);
    params.SetTitles({"首页 \"引号\"", "第二页 & more", "Notes", "同名"});
    params.m_strChmFile = "/srv/books/book.chm";
    params.m_strBookName = "新闻";
    EXPECT_EQ(params.m_strContentsFile, work + "/Contents.hhc");
    EXPECT_EQ(params.m_strProjectFile, work + "/Myproject.hhp");

    CopyPages(params);
    std::vector<std::string> copied;
    ListTree(work, copied);
    EXPECT_EQ(copied, (std::vector<std::string>{work + "/a.files/sub/z.css", work + "/a.files/x.gif", work + "/a.htm",
                                                work + "/b.htm", work + "/notes", work + "/notes.files/y.png"}));
    EXPECT_TRUE(files::IsFolder(work + "/b.files")); // every page gets a resource folder
    EXPECT_EQ(readAll(work + "/a.htm"), "page a of another project");

    EXPECT_EQ(WriteContents(params), 1);
    EXPECT_EQ(WriteProject(params), 1);
    EXPECT_EQ(readAll(params.m_strContentsFile), readAll(TRAWLIX_TEST_DATA "/chm/Contents.hhc"));
    EXPECT_EQ(readAll(params.m_strProjectFile), readAll(TRAWLIX_TEST_DATA "/chm/Myproject.hhp"));
}

TEST(ChmWriter, ProjectWithoutPagesAndFilesThatCannotBeWritten)
{
    TempFolder temp;
    ChmBuildParams params;
    params.SetPages({}, temp.path());
    params.m_strChmFile = "/b/x.chm";
    EXPECT_EQ(WriteProject(params), 0);
    EXPECT_EQ(readAll(params.m_strProjectFile),
              "[OPTIONS]\r\nCompatibility=1.1 or later\r\nCompiled file=/b/x.chm\r\nContents file=Contents.hhc\r\n");

    params.SetPages({temp.file("a.htm")}, temp.file("missing"));
    int nError = 0;
    EXPECT_EQ(WriteContents(params, &nError), 0);
    EXPECT_EQ(nError, ENOENT);
    nError = 0;
    EXPECT_EQ(WriteProject(params, &nError), 0);
    EXPECT_EQ(nError, ENOENT);
}

// A page record may name a folder or nothing at all: such a page is skipped, never read as a file.
TEST(ChmWriter, PagesThatAreNoFilesAreSkipped)
{
    TempFolder temp;
    writeFile(temp.file("site/dir.htm/inner.txt"), "x");
    ChmBuildParams params;
    params.SetPages({temp.file("site/dir.htm"), temp.file("site/missing.htm"), ""}, temp.file("work"));
    ASSERT_TRUE(files::CreateFolder(temp.file("work")));

    CopyPages(params);

    EXPECT_FALSE(files::Exists(temp.file("work/dir.htm")));
    EXPECT_FALSE(files::Exists(temp.file("work/missing.htm")));
    std::string data;
    std::string why;
    EXPECT_FALSE(files::ReadFile(temp.file("site/dir.htm"), data, &why));
    EXPECT_NE(why.find("folder"), std::string::npos) << why;
}

TEST(ChmWriter, PathHelpers)
{
    struct Case
    {
        std::string path;
        std::string name;
        std::string resources;
    };
    const Case cases[] = {
        {"/s/p/index.htm", "index.htm", "/s/p/index.files"},
        {"/s/my.site/index", "index", "/s/my.site/index.files"},
        {"/s/p/a.b.html", "a.b.html", "/s/p/a.b.files"},
        {"page.htm", "page.htm", "page.files"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileNameOf(c.path), c.name);
        EXPECT_EQ(ResourceFolderOf(c.path), c.resources);
    }
    EXPECT_EQ(ChmFilePath("/out", "book.chm"), "/out/book.chm.chm");
    // The compiler runs in the working folder, so the book's path never stays relative.
    EXPECT_EQ(ChmFilePath("out", "b"), std::filesystem::current_path().string() + "/out/b.chm");

    TempFolder temp;
    std::vector<std::string> list;
    ListTree(temp.file("missing"), list);
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(DeleteTree(temp.file("missing")));
    writeFile(temp.file("tree/a/b/c.txt"), "c");
    EXPECT_TRUE(DeleteTree(temp.file("tree")));
    EXPECT_FALSE(files::Exists(temp.file("tree")));
}

TEST(ChmBuild, BuildsABookThatHoldsEveryPageAndImage)
{
    TempFolder temp;
    ScopedCacheHome cache(temp.file("cache"));
    const std::string project = temp.file("save/新闻");
    const std::vector<SavedPage> pages = {
        {project + "/index.htm",
         "首页",
         {{"logo.gif", std::string("GIF89a\x01\x00\x01\x00\x00\xff", 12)}, {"bg/back.png", "\x89PNG\r\n\x1a\n"}}},
        {project + "/2.htm", "第二页 \"引号\"", {{"pic.jpg", std::string("\xFF\xD8\xFF\xE0 jpeg", 9)}}},
    };
    for (const auto& page : pages) {
        std::string html = "<html><head><title>" + page.title + "</title></head><body>";
        for (const auto& [name, bytes] : page.resources) {
            html += "<img src=\"" + files::FileName(ResourceFolderOf(page.file)) + "/" + name + "\">";
        }
        writeFile(page.file, html + "</body></html>");
        for (const auto& [name, bytes] : page.resources) {
            writeFile(files::Join(ResourceFolderOf(page.file), name), bytes);
        }
    }
    // The documents folder of a Chinese desktop.
    const std::string outFolder = temp.file("文档");
    files::CreateFolder(outFolder);

    const std::string work = MakeChmWorkFolder();
    ASSERT_FALSE(work.empty());
    EXPECT_EQ(files::FolderOf(work), temp.file("cache/trawlix"));
    const std::string otherWork = MakeChmWorkFolder();
    EXPECT_NE(otherWork, work);
    DeleteTree(otherWork);

    ChmBuildParams params;
    params.m_strChmFile = ChmFilePath(outFolder, "新闻");
    params.m_strBookName = "新闻";
    params.SetPages(texts(pages, false), work);
    params.SetTitles(texts(pages, true));
    std::vector<std::string> output;
    ChmBuildResult result = ChmBuildWorker(params, [&](const std::string& text) { output.push_back(text); });

    EXPECT_TRUE(result.Succeeded()) << result.m_nCompilerStatus;
    ASSERT_GE(output.size(), 3u);
    EXPECT_EQ(output[0], "开始拷贝文件,请稍后.......\r\n");
    EXPECT_EQ(output[1], "开始生成工程文件,请稍后.......\r\n");
    EXPECT_EQ(output[2], "开始生成CHM文档,请稍后.......\r\n");
    EXPECT_TRUE(DeleteTree(work));

    auto book = readBook(outFolder + "/新闻.chm");
    for (const auto& page : pages) {
        const std::string name = files::FileName(page.file);
        EXPECT_EQ(book["/" + name], readAll(page.file)) << name;
        for (const auto& [resource, bytes] : page.resources) {
            const std::string inside = "/" + files::FileName(ResourceFolderOf(page.file)) + "/" + resource;
            ASSERT_TRUE(book.count(inside)) << inside;
            EXPECT_EQ(book[inside], bytes);
        }
    }
    ASSERT_TRUE(book.count("/Contents.hhc"));
    EXPECT_EQ(topicsOf(book["/Contents.hhc"]), (std::vector<std::pair<std::string, std::string>>{
                                                   {"新闻", ""}, {"首页", "index.htm"}, {"第二页 \"引号\"", "2.htm"}}));
}

TEST(ChmBuild, FailuresAreNotSuccess)
{
    TempFolder temp;
    writeFile(temp.file("p/a.htm"), "<html><body>a</body></html>");
    const std::string outFolder = temp.file("out");
    files::CreateFolder(outFolder);

    struct Case
    {
        std::string what;
        std::string command;
        std::vector<std::string> pages;
        std::string chmFile;
        bool bStarted;
    };
    const Case cases[] = {
        {"no compiler", "trawlix-no-such-compiler", {temp.file("p/a.htm")}, outFolder + "/a.chm", false},
        {"no output folder", kChmCompiler, {temp.file("p/a.htm")}, temp.file("nowhere/a.chm"), true},
        // The compiler stops at the missing page but has already begun the book.
        {"missing page", kChmCompiler, {temp.file("p/a.htm"), temp.file("p/gone.htm")}, outFolder + "/b.chm", true},
    };
    for (const auto& c : cases) {
        const std::string work = files::MakeUniqueFolder(temp.path(), "work-");
        ChmBuildParams params;
        params.m_strCommand = c.command;
        params.m_strChmFile = c.chmFile;
        params.m_strBookName = "book";
        params.SetPages(c.pages, work);
        params.SetTitles(std::vector<std::string>(c.pages.size(), "t"));
        std::vector<std::string> output;
        ChmBuildResult result = ChmBuildWorker(params, [&](const std::string& text) { output.push_back(text); });

        EXPECT_FALSE(result.Succeeded()) << c.what;
        EXPECT_EQ(result.m_bCompilerStarted, c.bStarted) << c.what;
        EXPECT_TRUE(result.m_bContentsWritten && result.m_bProjectWritten) << c.what;
        if (!c.bStarted) {
            EXPECT_EQ(output,
                      (std::vector<std::string>{"开始拷贝文件,请稍后.......\r\n", "开始生成工程文件,请稍后.......\r\n",
                                                "create   process   error!"}));
        } else {
            EXPECT_NE(result.m_nCompilerStatus, 0) << c.what;
        }
    }
}

TEST(ChmBuild, AFailedBuildNeverTakesThePlaceOfTheBook)
{
    TempFolder temp;
    writeFile(temp.file("p/a.htm"), "<html><body>a</body></html>");
    const std::string outFolder = temp.file("out");
    files::CreateFolder(outFolder);
    const std::string book = outFolder + "/b.chm";
    auto build = [&](const std::vector<std::string>& pages) {
        ChmBuildParams params;
        params.m_strChmFile = book;
        params.m_strBookName = "book";
        params.SetPages(pages, files::MakeUniqueFolder(temp.path(), "work-"));
        params.SetTitles(std::vector<std::string>(pages.size(), "t"));
        return ChmBuildWorker(params, {});
    };
    auto outFolderEntries = [&] {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(outFolder)) {
            names.push_back(e.path().filename().string());
        }
        return names;
    };

    // A first build that fails (the compiler stops at a missing page) leaves nothing.
    EXPECT_FALSE(build({temp.file("p/a.htm"), temp.file("p/gone.htm")}).Succeeded());
    EXPECT_TRUE(outFolderEntries().empty());

    ASSERT_TRUE(build({temp.file("p/a.htm")}).Succeeded());
    const std::string good = readAll(book);
    ASSERT_FALSE(good.empty());
    // A rebuild that fails keeps the good book, and no temporary file beside it.
    EXPECT_FALSE(build({temp.file("p/a.htm"), temp.file("p/gone.htm")}).Succeeded());
    EXPECT_EQ(readAll(book), good);
    EXPECT_EQ(outFolderEntries(), std::vector<std::string>{"b.chm"});
}

TEST(ChmBuild, OnlySavedPagesGoIntoABook)
{
    TempFolder temp;
    writeFile(temp.file("p/a.htm"), "a");
    writeFile(temp.file("p/b.SHTML"), "b");
    writeFile(temp.file("p/c.php"), "c");
    files::CreateFolder(temp.file("p/c.files"));
    writeFile(temp.file("p/notes.txt"), "secret");
    writeFile(temp.file("p/noext"), "secret");
    files::CreateFolder(temp.file("p/noext.files"));
    files::CreateFolder(temp.file("p/folder.htm"));
    struct Case
    {
        std::string path;
        bool bTaken;
    };
    const Case cases[] = {
        {temp.file("p/a.htm"), true},
        {temp.file("p/b.SHTML"), true},
        {temp.file("p/c.php"), true},
        {temp.file("p/missing.htm"), true},
        {"/etc/passwd", false},
        {temp.file("p/notes.txt"), false},
        {temp.file("p/noext"), false},
        {temp.file("p/folder.htm"), false},
        {"/dev/zero", false},
        {temp.file("p/evil.htm"), false},
        {temp.file("p/alias.htm"), true},
    };
    // A link to a file outside the page's folder is no page of the project; one to a page beside it is.
    ASSERT_EQ(::symlink("/etc/passwd", temp.file("p/evil.htm").c_str()), 0);
    ASSERT_EQ(::symlink("a.htm", temp.file("p/alias.htm").c_str()), 0);
    for (const auto& c : cases) {
        EXPECT_EQ(MayGoIntoBook(c.path), c.bTaken) << c.path;
    }

    ChmBuildParams params;
    params.m_strChmFile = temp.file("leak.chm");
    params.m_strBookName = "book";
    params.SetPages({temp.file("p/a.htm"), "/etc/passwd"}, files::MakeUniqueFolder(temp.path(), "work-"));
    params.SetTitles({"a", "crafted"});
    std::string output;
    ChmBuildResult result = ChmBuildWorker(params, [&](const std::string& text) { output += text; });
    EXPECT_EQ(result.m_nRefusedPage, 1);
    EXPECT_FALSE(result.m_bCompilerStarted);
    EXPECT_NE(output.find("/etc/passwd"), std::string::npos);
    EXPECT_FALSE(files::Exists(temp.file("leak.chm")));
}

// A series saved by the download engine, through the project file, into a book read back with chmlib: a
// page name with dots of its own keeps its pictures, and titles read as their pages show them.
TEST(ChmBuild, ABookOfADownloadedSeriesKeepsPicturesAndReadableTitles)
{
    TempFolder temp;
    ScopedCacheHome cache(temp.file("cache"));
    TestHttpServer server;
    const std::string nbsp = "\xC2\xA0";
    std::vector<std::string> titles;
    for (int n = 1; n <= 2; ++n) {
        const std::string number = std::to_string(n);
        titles.push_back("第" + nbsp + number + nbsp + "章 \"引号\" & <更多>");
        server.Route("/doc/ch0" + number + ".zh-cn.html",
                     TestHttpResponse::Html("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                                            "charset=utf-8\"><title>第" +
                                            nbsp + number +
                                            "&#160;章 &quot;引号&quot; &amp; &lt;更多&gt;</title>"
                                            "</head><body><img src=\"img/fig" +
                                            number + ".png\"></body></html>"));
        server.Route("/doc/img/fig" + number + ".png", TestHttpResponse::Text("\x89PNG figure " + number));
    }
    const std::string wbr = temp.file("book.wbr");
    ProcessResult get =
        RunCli({"get", "--from", server.Url("/doc/ch01.zh-cn.html"), "--to", server.Url("/doc/ch02.zh-cn.html"),
                "--project", "手册", "--folder", temp.path(), "--project-file", wbr});
    ASSERT_EQ(get.nExitCode, 0) << get.strErr;

    CProjectStore store;
    store.SetPath(wbr);
    ASSERT_EQ(store.Transfer(false), 1);
    std::vector<CProjectObject> projects;
    store.GetProjects(projects);
    ASSERT_EQ(projects.size(), 1u);
    ASSERT_EQ(projects[0].m_pages.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(projects[0].m_pages[i].m_strTitle, titles[i]);
    }

    ProcessResult chm = RunCli({"chm", wbr, "--project", "手册", "--out", temp.path(), "--name", "手册"});
    ASSERT_EQ(chm.nExitCode, 0) << chm.strErr << chm.strOut;
    auto book = readBook(temp.file("手册.chm"));
    for (int i = 0; i < 2; ++i) {
        const std::string page = files::FileName(projects[0].m_pages[i].m_strLocalFile);
        EXPECT_EQ(page, "ch0" + std::to_string(i + 1) + ".zh-cn.zh-cn.html");
        ASSERT_TRUE(book.count("/" + page)) << page;
        // The picture is where the page's reference points.
        const std::string& html = book["/" + page];
        const auto src = html.find("src=\"");
        ASSERT_NE(src, std::string::npos);
        const std::string reference = html.substr(src + 5, html.find('"', src + 5) - src - 5);
        ASSERT_TRUE(book.count("/" + reference)) << reference << " of " << page;
        EXPECT_EQ(book["/" + reference], "\x89PNG figure " + std::to_string(i + 1));
    }
    ASSERT_TRUE(book.count("/Contents.hhc"));
    const auto topics = topicsOf(book["/Contents.hhc"]);
    ASSERT_EQ(topics.size(), 3u);
    EXPECT_EQ(topics[1].first, titles[0]);
    EXPECT_EQ(topics[2].first, titles[1]);
}

namespace
{

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
    std::error_code error;
    for (const auto& e : std::filesystem::directory_iterator(path, error)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

// A project unpacked from an archive may hold links: only plain files inside the page's folder go into
// the book, never what a link leads to elsewhere.
TEST(ChmBuild, LinksToFilesOutsideThePageFolderStayOutOfTheBook)
{
    TempFolder temp;
    writeFile(temp.file("p/a.htm"), "<html><body><img src=\"a.files/dot.gif\"></body></html>");
    writeFile(temp.file("p/a.files/dot.gif"), "GIF89a dot");
    writeFile(temp.file("p/b.htm"), "<html><body>b</body></html>");
    writeFile(temp.file("secret.gif"), "GIF89a secret");
    const std::pair<std::string, std::string> links[] = {
        {"/etc/passwd", "p/a.files/pw.css"},
        {temp.file("secret.gif"), "p/a.files/secret.gif"},
        {"dot.gif", "p/a.files/same.gif"}, // inside: taken
        {"/etc", "p/b.files"},
    };
    for (const auto& [target, link] : links) {
        ASSERT_EQ(::symlink(target.c_str(), temp.file(link).c_str()), 0) << link;
    }
    ChmBuildParams params;
    params.m_strChmFile = temp.file("book.chm");
    params.m_strBookName = "book";
    params.SetPages({temp.file("p/a.htm"), temp.file("p/b.htm")}, files::MakeUniqueFolder(temp.path(), "work-"));
    params.SetTitles({"a", "b"});
    ASSERT_TRUE(ChmBuildWorker(params, {}).Succeeded());
    auto book = readBook(temp.file("book.chm"));
    for (const auto& [name, data] : book) {
        EXPECT_EQ(data.find("root:"), std::string::npos) << name;
        EXPECT_EQ(data.find("secret"), std::string::npos) << name;
    }
    EXPECT_EQ(book["/a.files/dot.gif"], "GIF89a dot");
    EXPECT_EQ(book["/a.files/same.gif"], "GIF89a dot");
}

// A copy that fails (here the file size limit stands in for a full disk) fails the build with its cause;
// the earlier book stays and nothing is left behind.
TEST(ChmBuild, AFailedCopyFailsTheBuildWithItsCauseAndKeepsTheBook)
{
    TempFolder temp;
    writeFile(temp.file("p/a.htm"), "<html><body><img src=\"a.files/big.png\"></body></html>");
    writeFile(temp.file("p/a.files/big.png"), "\x89PNG\r\n\x1a\n" + std::string(256 * 1024, 'x'));
    writeFile(temp.file("out/a.chm"), "earlier");
    const std::string wbr = temp.file("p.wbr");
    CProjectStore store;
    store.SetPath(wbr);
    store.SetProjects({MakeProject("a", {MakePage("A", temp.file("p/a.htm"), "")})});

    // The limit applies to the command alone; past it a write fails as on a full disk.
    ProcessResult run =
        RunProcess({"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 128; exec \"$0\" chm \"$1\" --project a --out \"$2\"",
                    TRAWLIX_CLI_PATH, wbr, temp.file("out")},
                   {"XDG_CACHE_HOME=" + temp.file("cache")});
    EXPECT_EQ(run.nExitCode, 1) << run.strOut << run.strErr;
    EXPECT_NE(run.strErr.find("trawlix-cli: cannot copy the pages for the build: cannot write "), std::string::npos)
        << run.strErr;
    EXPECT_NE(run.strErr.find("big.png: File too large"), std::string::npos) << run.strErr;
    EXPECT_NE(run.strOut.find("拷贝文件失败"), std::string::npos) << run.strOut;
    EXPECT_EQ(readAll(temp.file("out/a.chm")), "earlier");
    EXPECT_EQ(entriesOf(temp.file("out")), std::vector<std::string>{"a.chm"});
    EXPECT_TRUE(entriesOf(temp.file("cache/trawlix")).empty());
}

// A killed build leaves its working folder and its temporary book; the next build removes what ended
// processes left. An interrupted build removes its own and keeps the earlier book.
TEST(ChmBuild, LeftoversOfKilledBuildsGoAndAnInterruptedBuildLeavesNothing)
{
    TempFolder temp;
    ScopedCacheHome cache(temp.file("cache"));
    const std::string dead = std::to_string(endedProcessId());
    writeFile(temp.file("cache/trawlix/chm-" + dead + "-Ab12Cd/page.htm"), "copy");
    writeFile(temp.file("cache/trawlix/chm-1-Ab12Cd/page.htm"), "the first process of the system still runs");
    writeFile(temp.file("cache/trawlix/chm-Ab12Cd/page.htm"), "no process id: left alone");
    writeFile(temp.file("out/.b.chm.part-" + dead + "-0"), "half a book");
    writeFile(temp.file("out/.b.chm.part-1-0"), "a book being written");
    writeFile(temp.file("p/a.htm"), "<html><body>a</body></html>");

    const std::string work = MakeChmWorkFolder();
    EXPECT_EQ(files::FileName(work).rfind("chm-" + std::to_string(::getpid()) + "-", 0), 0u) << work;
    std::vector<std::string> kept{"chm-1-Ab12Cd", "chm-Ab12Cd", files::FileName(work)};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(entriesOf(temp.file("cache/trawlix")), kept);
    ChmBuildParams params;
    params.m_strChmFile = temp.file("out/b.chm");
    params.m_strBookName = "book";
    params.SetPages({temp.file("p/a.htm")}, work);
    params.SetTitles({"a"});
    ASSERT_TRUE(ChmBuildWorker(params, {}).Succeeded());
    EXPECT_EQ(entriesOf(temp.file("out")), (std::vector<std::string>{".b.chm.part-1-0", "b.chm"}));
    DeleteTree(work);
    DeleteTree(temp.file("cache/trawlix/chm-1-Ab12Cd"));
    DeleteTree(temp.file("cache/trawlix/chm-Ab12Cd"));

    // Enough to copy that the build is still copying or compiling when the request to stop comes.
    std::vector<CProjectInfor> pages;
    for (int i = 0; i < 60; ++i) {
        const std::string page = temp.file("big/" + std::to_string(i) + ".htm");
        writeFile(page, "<html><body><img src=\"" + std::to_string(i) + ".files/p.png\"></body></html>");
        writeFile(temp.file("big/" + std::to_string(i) + ".files/p.png"),
                  "\x89PNG\r\n\x1a\n" + std::string(512 * 1024, static_cast<char>(i)));
        pages.push_back(MakePage(std::to_string(i), page, ""));
    }
    const std::string wbr = temp.file("big.wbr");
    CProjectStore store;
    store.SetPath(wbr);
    store.SetProjects({MakeProject("big", pages)});
    const std::string good = readAll(temp.file("out/b.chm"));
    for (const int nSignal : {SIGTERM, SIGINT, SIGHUP}) {
        const pid_t pid = StartCli({"chm", wbr, "--project", "big", "--out", temp.file("out"), "--name", "b"},
                                   {"XDG_CACHE_HOME=" + temp.file("cache")}, temp.file("log"));
        ASSERT_GT(pid, 0);
        const std::string prefix = "chm-" + std::to_string(pid) + "-";
        bool bSeen = false;
        for (int n = 0; n < 20000 && !bSeen; ++n) {
            for (const auto& name : entriesOf(temp.file("cache/trawlix"))) {
                bSeen = bSeen || name.rfind(prefix, 0) == 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_TRUE(bSeen);
        ::kill(pid, nSignal);
        EXPECT_EQ(WaitCli(pid), 1) << nSignal;
        EXPECT_TRUE(entriesOf(temp.file("cache/trawlix")).empty()) << nSignal;
        EXPECT_EQ(entriesOf(temp.file("out")), (std::vector<std::string>{".b.chm.part-1-0", "b.chm"})) << nSignal;
        EXPECT_EQ(readAll(temp.file("out/b.chm")), good) << nSignal;
    }
    EXPECT_NE(readAll(temp.file("log")).find("trawlix-cli: interrupted\n"), std::string::npos)
        << readAll(temp.file("log"));
}
