#include "download/PageNames.h"

#include <set>

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "download/UrlSequence.h"
#include "platform/Files.h"

TEST(PageNames, EveryPageOfAJobGetsAFileOfItsOwn)
{
    struct Case
    {
        std::string what;
        std::vector<std::string> names;
        std::string ext;
        std::vector<std::string> expected;
        std::string expectedExt;
    };
    const Case cases[] = {
        {"a series numbered in a folder",
         {"0003", "0003", "0003", "0003", "0003"},
         "/0003.html",
         {"0003", "0002", "0003_2", "0004", "0005"},
         ".html"},
        {"a clash name that a link's own name already has",
         {"0003", "a", "0002", "0003"},
         ".htm",
         {"0003", "a", "0002", "0004"},
         ".htm"},
        {"names that would leave the folder", {"..", "", "a/b", "001"}, ".htm", {"001", "002", "003", "0004"}, ".htm"},
        {"fresh names that are taken too",
         {"0004", "0004_2", "z", "0004"},
         ".htm",
         {"0004", "0004_2", "z", "0004_3"},
         ".htm"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> names = c.names;
        std::string ext = c.ext;
        EXPECT_TRUE(MakePageNamesUnique(names, ext, ""));
        EXPECT_EQ(names, c.expected) << c.what;
        EXPECT_EQ(ext, c.expectedExt) << c.what;
    }
}

TEST(PageNames, PagesAndFoldersOfEarlierJobsAreTaken)
{
    TempFolder project;
    files::WriteFile(project.file("00.htm"), "earlier page");
    files::CreateFolder(project.file("a.files"));
    std::vector<std::string> names = {"00", "a", "b"};
    std::string ext = ".htm";
    EXPECT_TRUE(MakePageNamesUnique(names, ext, project.path()));
    EXPECT_EQ(names, (std::vector<std::string>{"00_2", "a_2", "b"}));
}

TEST(PageNames, ALongListIsNamedQuicklyAndStopsWhenAsked)
{
    // 100,000 pages of one name: each lookup is hashed, so this takes a moment, not minutes.
    std::vector<std::string> names(100000, "index");
    std::string ext = ".html";
    EXPECT_TRUE(MakePageNamesUnique(names, ext, ""));
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());

    std::vector<std::string> stopped(100000, "index");
    int nAsked = 0;
    EXPECT_FALSE(MakePageNamesUnique(stopped, ext, "", [&] { return ++nAsked == 3; }));
    EXPECT_EQ(nAsked, 3);
}
