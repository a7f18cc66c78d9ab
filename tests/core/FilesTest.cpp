#include "platform/Files.h"

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "TempFolder.h"

TEST(Files, ReadFileStopsAtItsLimitAndRefusesFolders)
{
    TempFolder temp;
    ASSERT_TRUE(files::WriteFile(temp.file("a.txt"), "abcdef"));
    std::string data;
    ASSERT_TRUE(files::ReadFile(temp.file("a.txt"), data));
    EXPECT_EQ(data, "abcdef");
    ASSERT_TRUE(files::ReadFile(temp.file("a.txt"), data, nullptr, 4));
    EXPECT_EQ(data, "abcd");
    // A device that never ends is read only up to the limit.
    ASSERT_TRUE(files::ReadFile("/dev/zero", data, nullptr, 100000));
    EXPECT_EQ(data, std::string(100000, '\0'));

    std::string why;
    EXPECT_FALSE(files::ReadFile(temp.path(), data, &why));
    EXPECT_NE(why.find("folder"), std::string::npos);
}

TEST(Files, WriteFileReplacesWholeOrNotAtAll)
{
    TempFolder temp;
    const std::string path = temp.file("page.htm");
    ASSERT_TRUE(files::WriteFile(path, "the saved page"));

    // The disk fills part way through the next write: the earlier file stays as it was.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit low = old;
    low.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &low), 0);
    std::string why;
    const bool bWritten = files::WriteFile(path, std::string(10000, 'x'), &why);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_DFL);

    EXPECT_FALSE(bWritten);
    EXPECT_NE(why.find("page.htm"), std::string::npos);
    std::string data;
    files::ReadFile(path, data);
    EXPECT_EQ(data, "the saved page");
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(temp.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
}

TEST(Files, WriteFileGoesThroughLinksAndHonoursTheUmask)
{
    TempFolder temp;
    files::CreateFolder(temp.file("real"));
    ASSERT_EQ(::symlink("real/a.htm", temp.file("a.htm").c_str()), 0);
    ASSERT_TRUE(files::WriteFile(temp.file("a.htm"), "through"));
    EXPECT_TRUE(std::filesystem::is_symlink(temp.file("a.htm")));
    std::string data;
    files::ReadFile(temp.file("real/a.htm"), data);
    EXPECT_EQ(data, "through");

    struct Case
    {
        mode_t umask;
        mode_t expected;
    };
    for (const Case& c : {Case{022, 0644}, Case{077, 0600}, Case{002, 0664}}) {
        const mode_t previous = ::umask(c.umask);
        const std::string path = temp.file("m" + std::to_string(c.umask));
        const bool bWritten = files::WriteFile(path, "x");
        std::string tempPath;
        const int fd = files::CreateTempBeside(temp.file("pic.gif"), tempPath);
        ::umask(previous);
        ASSERT_TRUE(bWritten);
        ASSERT_GE(fd, 0);
        ::close(fd);
        struct stat st
        {
        }, tempSt{};
        ::stat(path.c_str(), &st);
        ::stat(tempPath.c_str(), &tempSt);
        EXPECT_EQ(st.st_mode & 0777, c.expected) << std::oct << c.umask;
        EXPECT_EQ(tempSt.st_mode & 0777, c.expected) << std::oct << c.umask;
        EXPECT_EQ(files::FolderOf(tempPath), temp.path());
    }
    // A replaced file keeps its mode.
    const std::string kept = temp.file("kept");
    files::WriteFile(kept, "1");
    ::chmod(kept.c_str(), 0640);
    files::WriteFile(kept, "2");
    struct stat st
    {};
    ::stat(kept.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(Files, TempNamesAreKnownAndOtherNamesAreNot)
{
    TempFolder temp;
    std::string made;
    const int fd = files::CreateTempBeside(temp.file("x.gif"), made);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_TRUE(files::IsTempBesideName(files::FileName(made))) << made;
    for (const char* name : {"x.gif", "x.part-12-3", ".part-12-3", ".x.part-12-", ".x.part--3", ".x.part-1a-3",
                             ".x.part-12-3b", ".hidden", ""}) {
        EXPECT_FALSE(files::IsTempBesideName(name)) << name;
    }
    EXPECT_TRUE(files::IsTempBesideName(".页面.html.part-4242-0"));
}
