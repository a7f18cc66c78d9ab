#include "project/ProjectStore.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "ProjectFixtures.h"
#include "TempFolder.h"
#include "platform/Files.h"
#include "project/ProjectFileAppend.h"

namespace
{

using Code = ProjectFileStatus::Code;

const std::string kSignatureField = std::string("\x1F") + "Qorvane Solutions - StoreObject";

std::string readAll(const std::string& path)
{
    std::string data;
    files::ReadFile(path, data);
    return data;
}

std::vector<CProjectObject> load(const std::string& path, int* result = nullptr, ProjectFileStatus* status = nullptr)
{
    CProjectStore store;
    store.SetPath(path);
    int r = store.Transfer(false);
    if (result) {
        *result = r;
    }
    if (status) {
        *status = store.LastStatus();
    }
    std::vector<CProjectObject> projects;
    store.GetProjects(projects);
    return projects;
}

std::string save(const std::string& path, const std::string& header, const std::vector<CProjectObject>& projects)
{
    CProjectStore store;
    store.SetPath(path);
    store.SetHeaderName(header);
    EXPECT_EQ(store.SetProjects(projects), 1);
    EXPECT_TRUE(store.LastTransferOk()) << store.LastStatus().m_strMessage;
    return readAll(path);
}

void expectSameProjects(const std::vector<CProjectObject>& actual, const std::vector<CProjectObject>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i].m_strName, expected[i].m_strName);
        EXPECT_EQ(actual[i].m_pages, expected[i].m_pages) << "project " << i;
        EXPECT_EQ(actual[i].m_nPageCount, static_cast<int>(expected[i].m_pages.size()));
    }
}

} // namespace

TEST(ProjectStore, WritesTheDocumentedLayout)
{
    TempFolder temp;
    const std::string path = temp.file("a.wbr");
    std::string bytes = save(path, "abc", {MakeProject("p")});
    EXPECT_EQ(bytes, kSignatureField +
                         "\x03"
                         "abc"
                         "\x01"
                         "p" +
                         std::string(4, '\0'));

    // A page: three strings and the bookmark flag, after the page count. Text goes out as GB18030.
    bytes = save(path, "", {MakeProject("所有工程", {MakePage("t", "/x", "u", 1)})});
    EXPECT_EQ(bytes, kSignatureField + std::string("\x00", 1) + "\x08\xCB\xF9\xD3\xD0\xB9\xA4\xB3\xCC" +
                         std::string("\x01\x00\x00\x00", 4) + "\x01t\x02/x\x01u" + std::string("\x01\x00\x00\x00", 4));
}

TEST(ProjectStore, LengthPrefixBoundaries)
{
    struct Case
    {
        size_t length;
        std::string prefix;
    };
    const Case cases[] = {
        {0, std::string("\x00", 1)},
        {254, "\xFE"},
        {255, std::string("\xFF\xFF\x00", 3)},
        {256, std::string("\xFF\x00\x01", 3)},
        {65533, "\xFF\xFD\xFF"},
        {65534, std::string("\xFF\xFF\xFF\xFE\xFF\x00\x00", 7)},
        {70000, std::string("\xFF\xFF\xFF\x70\x11\x01\x00", 7)},
    };
    TempFolder temp;
    const std::string path = temp.file("b.wbr");
    for (const auto& c : cases) {
        const std::string header(c.length, 'h');
        const std::string name(c.length, 'n');
        std::string bytes = save(path, header, {MakeProject(name)});
        EXPECT_EQ(bytes, kSignatureField + c.prefix + header + c.prefix + name + std::string(4, '\0')) << c.length;

        CProjectStore store;
        store.SetPath(path);
        EXPECT_EQ(store.Transfer(false), 1);
        EXPECT_EQ(store.GetHeaderName(), header);
        std::vector<CProjectObject> projects;
        store.GetProjects(projects);
        ASSERT_EQ(projects.size(), 1u);
        EXPECT_EQ(projects[0].m_strName, name) << c.length;
    }
}

TEST(ProjectStore, ReadsWideStrings)
{
    // 0xFF 0xFFFE announces UTF-16LE; its unit count follows in any of the three prefix forms.
    std::string longUnits;
    std::string longUtf8;
    for (int i = 0; i < 300; ++i) {
        longUnits += std::string("\x2D\x4E", 2); // 中
        longUtf8 += "中";
    }
    struct Case
    {
        std::string field;
        std::string utf8;
    };
    const Case cases[] = {
        {std::string("\xFF\xFE\xFF\x02\x2D\x4E\x61\x00", 8), "中a"},
        {std::string("\xFF\xFE\xFF\x00", 4), ""},
        {std::string("\xFF\xFE\xFF\xFF\x2C\x01", 6) + longUnits, longUtf8},
        {std::string("\xFF\xFE\xFF\x02\x3D\xD8\x00\xDE", 8), "\xF0\x9F\x98\x80"}, // a surrogate pair
    };
    TempFolder temp;
    const std::string path = temp.file("w.wbr");
    for (const auto& c : cases) {
        files::WriteFile(path, kSignatureField + std::string("\x00", 1) + c.field + std::string(4, '\0'));
        ProjectFileStatus status;
        auto projects = load(path, nullptr, &status);
        EXPECT_EQ(status.m_code, Code::Ok) << status.m_strMessage;
        ASSERT_EQ(projects.size(), 1u);
        EXPECT_EQ(projects[0].m_strName, c.utf8);
    }
}

TEST(ProjectStore, RoundTripKeepsEveryProjectAndPage)
{
    const std::vector<CProjectObject> projects = {
        MakeProject("新闻",
                    {MakePage("首页 \"引号\" & more", "/home/u/新闻/index.htm", "http://example.com/?a=1&b=2", 0),
                     MakePage("第二页", "/home/u/新闻/2.htm", "http://example.com/2", 1), MakePage("", "", "", 0)}),
        MakeProject("empty"),
        MakeProject("emoji \xF0\x9F\x98\x80", {MakePage(std::string(300, 'x'), "/p", "http://h/", 1)}),
    };
    TempFolder temp;
    const std::string path = temp.file("r.wbr");
    save(path, "所有工程", projects);

    CProjectStore store;
    store.SetPath(path);
    EXPECT_EQ(store.Transfer(false), 1);
    EXPECT_TRUE(store.LastTransferOk());
    EXPECT_EQ(store.GetHeaderName(), "所有工程");
    std::vector<CProjectObject> loaded;
    store.GetProjects(loaded);
    expectSameProjects(loaded, projects);

    // Only the signature and the header: zero projects.
    save(path, "h", {});
    int result = 0;
    EXPECT_TRUE(load(path, &result).empty());
    EXPECT_EQ(result, 1);
}

TEST(ProjectStore, TruncatedFileKeepsTheCompleteProjectsAndSaysWhere)
{
    const std::vector<CProjectObject> projects = {
        MakeProject("one", {MakePage("t1", "/f1", "u1", 1)}),
        MakeProject("two", {MakePage("t2", "/f2", "u2"), MakePage("t3", "/f3", "u3")}),
    };
    TempFolder temp;
    const std::string full = save(temp.file("full.wbr"), "hdr", projects);
    const size_t headerEnd = kSignatureField.size() + 4;
    const size_t firstEnd = headerEnd + 4 + 4 + 3 + 4 + 3 + 4;

    const std::string path = temp.file("cut.wbr");
    for (size_t length = kSignatureField.size(); length < full.size(); ++length) {
        files::WriteFile(path, std::string_view(full).substr(0, length));
        int result = -1;
        ProjectFileStatus status;
        auto loaded = load(path, &result, &status);
        if (length == headerEnd || length == firstEnd) {
            // Cut exactly between records: nothing is missing as far as the file can tell.
            EXPECT_EQ(status.m_code, Code::Ok);
            continue;
        }
        EXPECT_EQ(result, 0) << length;
        EXPECT_EQ(status.m_code, Code::Damaged) << length;
        EXPECT_LE(status.m_nOffset, length);
        EXPECT_NE(status.m_strMessage.find("byte " + std::to_string(status.m_nOffset)), std::string::npos);
        expectSameProjects(loaded, length > firstEnd ? std::vector<CProjectObject>{projects[0]}
                                                     : std::vector<CProjectObject>{});
    }
}

TEST(ProjectStore, LengthsRunningPastTheEndAreDamageNotAllocations)
{
    struct Case
    {
        std::string afterHeader;
        size_t offset; // from the end of the header field
    };
    const Case cases[] = {
        // A name announcing 4 GiB.
        {std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 7) + "abc", 0},
        // A wide name announcing 4 Gi units.
        {std::string("\xFF\xFE\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 11), 0},
        // Two billion pages announced, none present.
        {std::string("\x01p\xFF\xFF\xFF\x7F", 6), 6},
        // A page count field cut short.
        {std::string("\x01p\x01\x00", 4), 2},
    };
    TempFolder temp;
    const std::string path = temp.file("big.wbr");
    const std::string head = kSignatureField + std::string("\x00", 1);
    for (const auto& c : cases) {
        files::WriteFile(path, head + c.afterHeader);
        int result = -1;
        ProjectFileStatus status;
        EXPECT_TRUE(load(path, &result, &status).empty());
        EXPECT_EQ(result, 0);
        EXPECT_EQ(status.m_code, Code::Damaged);
        EXPECT_EQ(status.m_nOffset, head.size() + c.offset);
    }
}

TEST(ProjectStore, FilesThatAreNotProjectFilesAreReportedAndLeftAlone)
{
    TempFolder temp;
    struct Case
    {
        std::string name;
        std::string bytes;
        Code code;
    };
    const Case cases[] = {
        {"other.wbr", "\x1FQorvane Solutions - StoreObjecT\x00", Code::WrongSignature},
        {"text.wbr", "hello world, this is not a project file", Code::WrongSignature},
        {"empty.wbr", "", Code::WrongSignature},
        {"short.wbr", "\x1FQorvane", Code::WrongSignature},
    };
    for (const auto& c : cases) {
        const std::string path = temp.file(c.name);
        files::WriteFile(path, c.bytes);

        // A store that already holds projects keeps them.
        CProjectStore store;
        store.SetPath(temp.file("keep.wbr"));
        store.SetProjects({MakeProject("kept")});
        store.SetPath(path);
        store.Transfer(false);
        EXPECT_EQ(store.LastStatus().m_code, c.code) << c.name;
        EXPECT_FALSE(store.LastTransferOk());
        std::vector<CProjectObject> projects;
        store.GetProjects(projects);
        ASSERT_EQ(projects.size(), 1u);
        EXPECT_EQ(projects[0].m_strName, "kept");
        EXPECT_EQ(readAll(path), c.bytes);
    }

    int result = 0;
    ProjectFileStatus status;
    EXPECT_TRUE(load(temp.file("missing.wbr"), &result, &status).empty());
    EXPECT_EQ(result, 1);
    EXPECT_EQ(status.m_code, Code::CannotOpen);
    EXPECT_NE(status.m_strMessage.find("missing.wbr"), std::string::npos);
    // A folder, or a device that would never end, is not opened.
    for (const std::string& notAFile : {temp.path(), std::string("/dev/zero")}) {
        load(notAFile, &result, &status);
        EXPECT_EQ(status.m_code, Code::CannotOpen) << notAFile;
    }
}

TEST(ProjectStore, FailedSaveLeavesThePreviousFile)
{
    TempFolder temp;
    const std::string path = temp.file("keep.wbr");
    const std::string before = save(path, "h", {MakeProject("old", {MakePage("t", "/f", "u")})});

    // Writing stops part way: the file-size limit is below what the new contents need.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit low = old;
    low.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &low), 0);
    CProjectStore store;
    store.SetPath(path);
    int result = store.SetProjects({MakeProject("new", {MakePage(std::string(10000, 'x'), "/f", "u")})});
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_DFL);

    EXPECT_EQ(result, 0);
    EXPECT_EQ(store.LastStatus().m_code, Code::CannotWrite);
    EXPECT_EQ(readAll(path), before);
    // No half-written file is left beside it.
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(temp.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1u);

    // A target that cannot be replaced (a folder of that name) is reported too.
    const std::string folder = temp.file("folder.wbr");
    files::CreateFolder(folder);
    files::WriteFile(files::Join(folder, "inside"), "x");
    store.SetPath(folder);
    store.Transfer(true);
    EXPECT_EQ(store.LastStatus().m_code, Code::CannotWrite);
    EXPECT_TRUE(files::IsFolder(folder));

    // A folder that does not exist: the file cannot be created.
    store.SetPath(temp.file("no/such/folder.wbr"));
    EXPECT_EQ(store.Transfer(true), 1);
    EXPECT_EQ(store.LastStatus().m_code, Code::CannotOpen);
}

TEST(ProjectFileAppend, CreatesExtendsAndRefusesForeignFiles)
{
    TempFolder temp;
    const std::string path = temp.file("book.wbr");
    ProjectFileStatus status;

    ASSERT_TRUE(AppendPagesToProjectFile(path, "news", {MakePage("a", "/a.htm", "http://h/a")}, &status))
        << status.m_strMessage;
    CProjectStore store;
    store.SetPath(path);
    store.Transfer(false);
    EXPECT_EQ(store.GetHeaderName(), "book");

    ASSERT_TRUE(AppendPagesToProjectFile(path, "other", {MakePage("x", "/x.htm", "http://h/x")}));
    ASSERT_TRUE(AppendPagesToProjectFile(path, "news", {MakePage("b", "/b.htm", "http://h/b", 0)}));
    expectSameProjects(load(path), {
                                       MakeProject("news", {MakePage("a", "/a.htm", "http://h/a"),
                                                            MakePage("b", "/b.htm", "http://h/b")}),
                                       MakeProject("other", {MakePage("x", "/x.htm", "http://h/x")}),
                                   });

    // A file that is not a project file, or a damaged one, is never overwritten.
    for (const std::string& bytes : {std::string("not a project"), kSignatureField + "\x05"
                                                                                     "ab"}) {
        const std::string foreign = temp.file("foreign.wbr");
        files::WriteFile(foreign, bytes);
        EXPECT_FALSE(AppendPagesToProjectFile(foreign, "news", {MakePage("a", "/a", "u")}, &status));
        EXPECT_NE(status.m_code, Code::Ok);
        EXPECT_EQ(readAll(foreign), bytes);
    }

    EXPECT_EQ(ProjectFileTitle("/x/my.book.wbr"), "my.book");
    EXPECT_EQ(ProjectFileTitle("/x.y/noext"), "");
}

TEST(ProjectFileAppend, WritersAtOnceKeepEveryProject)
{
    TempFolder temp;
    const std::string path = temp.file("shared.wbr");
    constexpr int kWriters = 6;
    constexpr int kRounds = 8;
    std::vector<std::thread> writers;
    std::atomic<int> nFailed{0};
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            for (int r = 0; r < kRounds; ++r) {
                const std::string n = std::to_string(r);
                // Waiting is not what is tested here: however slow the machine, no writer gives up.
                if (!AppendPagesToProjectFile(path, "p" + std::to_string(w), {MakePage(n, "/" + n + ".htm", "u")},
                                              nullptr, std::chrono::minutes(5))) {
                    ++nFailed;
                }
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    EXPECT_EQ(nFailed, 0);
    const auto projects = load(path);
    ASSERT_EQ(projects.size(), static_cast<size_t>(kWriters));
    for (const auto& project : projects) {
        EXPECT_EQ(project.m_pages.size(), static_cast<size_t>(kRounds)) << project.m_strName;
    }
}

TEST(ProjectFileAppend, ALockHeldTooLongIsReportedAndTheFileKept)
{
    TempFolder temp;
    const std::string path = temp.file("busy.wbr");
    const std::string before = save(path, "h", {MakeProject("old")});
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);

    ProjectFileStatus status;
    EXPECT_FALSE(
        AppendPagesToProjectFile(path, "new", {MakePage("t", "/t.htm", "u")}, &status, std::chrono::milliseconds(200)));
    EXPECT_EQ(status.m_code, Code::Locked);
    EXPECT_NE(status.m_strMessage.find("another program"), std::string::npos);
    CProjectStore store;
    store.SetPath(path);
    store.SetLockWait(std::chrono::milliseconds(100));
    store.SetProjects({});
    EXPECT_EQ(store.LastStatus().m_code, Code::Locked);
    EXPECT_EQ(readAll(path), before);

    // Released, the next writer goes ahead.
    ::close(fd);
    EXPECT_TRUE(AppendPagesToProjectFile(path, "new", {MakePage("t", "/t.htm", "u")}, &status));
    EXPECT_EQ(load(path).size(), 2u);
}

TEST(ProjectStore, SavesThroughASymbolicLink)
{
    TempFolder temp;
    files::CreateFolder(temp.file("real"));
    const std::string target = temp.file("real/books.wbr");
    save(target, "h", {MakeProject("old")});
    const std::string link = temp.file("link.wbr");
    ASSERT_EQ(::symlink("real/books.wbr", link.c_str()), 0);

    save(link, "h", {MakeProject("saved")});
    ASSERT_TRUE(AppendPagesToProjectFile(link, "added", {MakePage("t", "/t.htm", "u")}));

    EXPECT_TRUE(std::filesystem::is_symlink(link));
    const auto projects = load(target);
    ASSERT_EQ(projects.size(), 2u);
    EXPECT_EQ(projects[0].m_strName, "saved");
    EXPECT_EQ(projects[1].m_strName, "added");
}

TEST(ProjectStore, SavingRemovesTemporaryFilesOfDeadSaves)
{
    TempFolder temp;
    const std::string path = temp.file("x.wbr");
    // A process id that runs nothing now.
    pid_t dead = 4000000;
    while (::kill(dead, 0) == 0 || errno != ESRCH) {
        --dead;
    }
    const std::string ownLive = "x.wbr.~" + std::to_string(::getppid()) + ".3.tmp";
    const std::string stale = "x.wbr.~" + std::to_string(dead) + ".0.tmp";
    const std::string otherFile = "y.wbr.~" + std::to_string(dead) + ".0.tmp";
    const std::string notOurs = "x.wbr.~notes.tmp";
    for (const auto& name : {ownLive, stale, otherFile, notOurs}) {
        files::WriteFile(temp.file(name), "partial");
    }

    save(path, "h", {MakeProject("p")});

    EXPECT_FALSE(files::Exists(temp.file(stale)));
    for (const auto& kept : {ownLive, otherFile, notOurs}) {
        EXPECT_TRUE(files::Exists(temp.file(kept))) << kept;
    }
}

TEST(ProjectFileAppend, NextAddCountFollowsThePagesOfTheProject)
{
    EXPECT_EQ(NextAddCount(std::vector<std::string>{}), 0);
    EXPECT_EQ(NextAddCount({"/s/p/00.htm"}), 1);
    EXPECT_EQ(NextAddCount({"/s/p/00.htm", "/s/p/00_1.htm", "/s/p/3_4.html", "/s/p/a_b.htm"}), 5);

    TempFolder temp;
    const std::string path = temp.file("n.wbr");
    EXPECT_EQ(NextAddCount(path, "p"), 0);
    AppendPagesToProjectFile(path, "p", {MakePage("t", "/s/p/00_2.htm", "u")});
    EXPECT_EQ(NextAddCount(path, "p"), 3);
    EXPECT_EQ(NextAddCount(path, "other"), 0);
    // An empty file, left by a writer that was killed, is a new project file.
    files::WriteFile(temp.file("empty.wbr"), "");
    EXPECT_TRUE(AppendPagesToProjectFile(temp.file("empty.wbr"), "p", {MakePage("t", "/t.htm", "u")}));
    EXPECT_EQ(load(temp.file("empty.wbr")).size(), 1u);
}
