#include "favorites/FavoritesFolder.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "OrderRecordBytes.h"
#include "TempFolder.h"
#include "favorites/FavoriteFiles.h"
#include "favorites/MenuOrder.h"
#include "platform/Files.h"

using namespace favorites;

namespace
{
// "D:" a folder, "F:n" a file numbered n.
std::vector<std::string> describe(const std::vector<MenuEntry>& menu)
{
    std::vector<std::string> out;
    for (const MenuEntry& e : menu) {
        out.push_back(e.bFolder ? "D:" + e.strName : "F:" + e.strName + ":" + std::to_string(e.nNumber));
    }
    return out;
}

FolderListing listing(std::vector<std::string> folders, std::vector<std::string> fileNames, int nFirst = 0)
{
    FolderListing l;
    l.folders = std::move(folders);
    for (const std::string& name : fileNames) {
        l.files.push_back({name, nFirst++});
    }
    return l;
}
} // namespace

TEST(FavoritesFolder, ListsFavoritesAndVisibleFoldersNumberedInListingOrder)
{
    TempFolder temp;
    for (const char* name : {"a.url", "B.URL", "x.desktop", "notes.txt", ".hidden.url", "noext"}) {
        ASSERT_TRUE(files::WriteFile(temp.file(name), "[InternetShortcut]\nURL=http://h/\n"));
    }
    ASSERT_TRUE(files::CreateFolder(temp.file("Sub")));
    ASSERT_TRUE(files::CreateFolder(temp.file(".cache")));
    ASSERT_TRUE(files::CreateFolder(temp.file("dir.url")));
    FolderListing l;
    EXPECT_EQ(ListFavoritesFolder(temp.path(), 7, l), 11);
    std::vector<std::string> fileNames;
    for (const FavoriteFile& f : l.files) {
        fileNames.push_back(f.strName);
        EXPECT_EQ(f.nNumber, 7 + static_cast<int>(&f - l.files.data()));
    }
    std::sort(fileNames.begin(), fileNames.end());
    EXPECT_EQ(fileNames, (std::vector<std::string>{".hidden.url", "B.URL", "a.url", "x.desktop"}));
    std::sort(l.folders.begin(), l.folders.end());
    EXPECT_EQ(l.folders, (std::vector<std::string>{"Sub", "dir.url"}));

    FolderListing none;
    EXPECT_EQ(ListFavoritesFolder(temp.file("missing"), 3, none), 3);
    EXPECT_TRUE(none.files.empty() && none.folders.empty());
}

TEST(FavoritesFolder, OrderFollowsTheRecordThenSortsTheRest)
{
    using orderbytes::entry;
    using orderbytes::record;
    struct Case
    {
        const char* what;
        std::string bytes; // empty: no record
        std::vector<std::string> expected;
    };
    // Listed as the file system gives them: B.url numbered 0, a.url 1, c.url 2.
    const FolderListing l = listing({"Sub", "Abc"}, {"B.url", "a.url", "c.url"});
    const Case cases[] = {
        {"no record: folders sorted by bytes, then files without regard to case",
         "",
         {"D:Abc", "D:Sub", "F:a.url:1", "F:B.url:0", "F:c.url:2"}},
        {"a record",
         record({entry(0, 0x20, "B.url"), entry(1, 0x10, "Sub"), entry(2, 0x20, "A.URL")}),
         {"F:B.url:0", "D:Sub", "F:a.url:1", "D:Abc", "F:c.url:2"}},
        {"attribute 0x21 matches nothing",
         record({entry(0, 0x21, "c.url")}),
         {"D:Abc", "D:Sub", "F:a.url:1", "F:B.url:0", "F:c.url:2"}},
        {"attribute 0 takes a file first, else folders",
         record({entry(0, 0, "sub"), entry(1, 0, "c.url")}),
         {"D:Sub", "F:c.url:2", "D:Abc", "F:a.url:1", "F:B.url:0"}},
        {"a file entry does not take a folder",
         record({entry(0, 0x20, "Sub")}),
         {"D:Abc", "D:Sub", "F:a.url:1", "F:B.url:0", "F:c.url:2"}},
        {"a gap repeats entry 0 without adding it twice",
         record({entry(0, 0x20, "c.url"), entry(2, 0x14, "Abc"), entry(5, 0x20, "a.url")}),
         {"F:c.url:2", "D:Abc", "D:Sub", "F:a.url:1", "F:B.url:0"}},
        {"names that are no longer there",
         record({entry(0, 0x20, "gone.url"), entry(1, 0x10, "Old")}),
         {"D:Abc", "D:Sub", "F:a.url:1", "F:B.url:0", "F:c.url:2"}},
        {"an entry without a name",
         record({entry(0, 0x20, "")}),
         {"D:Abc", "D:Sub", "F:a.url:1", "F:B.url:0", "F:c.url:2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CMenuOrder order;
        const bool bOrdered = !c.bytes.empty() && order.ReadOrder(c.bytes) == 1;
        EXPECT_EQ(describe(OrderFavorites(l, bOrdered ? &order : nullptr)), c.expected);
    }
}

TEST(FavoritesFolder, SortsKeepTheListingOrderAmongEqualNames)
{
    const FolderListing l = listing({}, {"x.url", "X.url", "x.URL"});
    EXPECT_EQ(describe(OrderFavorites(l, nullptr)), (std::vector<std::string>{"F:x.url:0", "F:X.url:1", "F:x.URL:2"}));
}

TEST(FavoritesFolder, MenuTextsDropTheEndingAndShortenLongNames)
{
    const std::string thirty = "abcdefghijklmnopqrstuvwxyz1234";
    struct Case
    {
        std::string name;
        bool bFolder;
        std::string text;
    };
    const Case cases[] = {
        {"a.url", false, "a"},
        {"Mail.DESKTOP", false, "Mail"},
        {"v1.0", true, "v1.0"},
        {std::string(26, 'x') + ".url", false, std::string(26, 'x')},
        {thirty + ".url", false, "abcdefghijklmnopqrstuvw..."},
        {thirty, true, "abcdefghijklmnopqrstuvw..."},
        // 8 Chinese characters are 24 bytes; the cut falls inside the eighth and moves before it.
        {
            "新浪网新闻中心国内新闻.url",
            false,
            "新浪网新闻中心...",
        },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FavoriteMenuText(c.name, c.bFolder), c.text);
    }
}

TEST(FavoritesFolder, RelativePathsOfFolders)
{
    EXPECT_EQ(RelativeFavoritesPath("/f/Favorites", "/f/Favorites"), "");
    EXPECT_EQ(RelativeFavoritesPath("/f/Favorites/", "/f/Favorites/新闻/"), "新闻/");
    EXPECT_EQ(RelativeFavoritesPath("/f/Favorites", "/f/Favorites/a/b"), "a/b/");
    EXPECT_EQ(RelativeFavoritesPath("/f/Favorites", "/f/FavoritesX/a"), "");
}

TEST(FavoriteFiles, InternetShortcutsAreReadLikeProfiles)
{
    TempFolder temp;
    struct Case
    {
        const char* what;
        std::string text;
        std::string url;
    };
    const Case cases[] = {
        {"plain", "[InternetShortcut]\r\nURL=http://a.example/x?y=1\r\n", "http://a.example/x?y=1"},
        {"other sections and case",
         "\xEF\xBB\xBF[DEFAULT]\nBASEURL=http://no/\n[internetshortcut]\n url = http://b/ \n", "http://b/"},
        {"quoted", "[InternetShortcut]\nURL=\"http://q/\"\n", "http://q/"},
        {"no URL key", "[InternetShortcut]\nIconIndex=1\n", ""},
        {"URL in another section", "[Other]\nURL=http://x/\n", ""},
        {"empty file", "", ""},
        {"binary junk", std::string("\0\xff[\n=\n]", 7), ""},
        {"very long", "[InternetShortcut]\nURL=http://h/" + std::string(5000, 'a') + "\n",
         "http://h/" + std::string(2090, 'a')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(files::WriteFile(temp.file("s.url"), c.text));
        EXPECT_EQ(ReadInternetShortcut(temp.file("s.url")), c.url);
    }
    EXPECT_EQ(ReadInternetShortcut(temp.file("missing.url")), "");
    EXPECT_EQ(ReadInternetShortcut(temp.path()), "");

    ASSERT_TRUE(WriteInternetShortcut(temp.file("w.url"), "http://w/\r\nURL=http://evil/"));
    EXPECT_EQ(ReadInternetShortcut(temp.file("w.url")), "http://w/URL=http://evil/");
}

TEST(FavoriteFiles, DesktopEntriesPointAtAddressesOrPrograms)
{
    TempFolder temp;
    struct Case
    {
        const char* what;
        std::string text;
        DesktopEntry::Kind kind;
        std::string target;
    };
    const Case cases[] = {
        {"link", "[Desktop Entry]\nType=Link\nName=X\nURL=https://x/\n", DesktopEntry::Kind::Link, "https://x/"},
        {"application", "[Desktop Entry]\nName=Y\nType=Application\nExec=/usr/bin/y %U\n",
         DesktopEntry::Kind::Application, "/usr/bin/y %U"},
        {"link without URL", "[Desktop Entry]\nType=Link\n", DesktopEntry::Kind::None, ""},
        {"keys of another group", "[Desktop Action new]\nType=Link\nURL=http://no/\n", DesktopEntry::Kind::None, ""},
        {"directory", "[Desktop Entry]\nType=Directory\n", DesktopEntry::Kind::None, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(files::WriteFile(temp.file("e.desktop"), c.text));
        const DesktopEntry entry = ReadDesktopEntry(temp.file("e.desktop"));
        EXPECT_EQ(entry.kind, c.kind);
        EXPECT_EQ(entry.strTarget, c.target);
    }
}

TEST(FavoriteFiles, ExecLinesSplitWithoutAShell)
{
    using Args = std::vector<std::string>;
    EXPECT_EQ(SplitDesktopExec("/usr/bin/prog --new %U"), (Args{"/usr/bin/prog", "--new"}));
    EXPECT_EQ(SplitDesktopExec("\"/opt/my app/run\" \"a \\\"b\\\"\" 100%%"),
              (Args{"/opt/my app/run", "a \"b\"", "100%"}));
    EXPECT_EQ(SplitDesktopExec("sh -c 'x; y'"), (Args{"sh", "-c", "'x;", "y'"}));
    EXPECT_EQ(SplitDesktopExec("\"unclosed"), Args{});
    EXPECT_EQ(SplitDesktopExec("  "), Args{});
}
