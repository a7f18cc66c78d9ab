#include "favorites/BookmarkFile.h"

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "favorites/FavoriteFiles.h"
#include "favorites/MenuOrder.h"
#include "platform/CodePage.h"
#include "platform/Files.h"

using namespace favorites;

namespace
{
// One line per node: indentation by depth, "[title]" for a folder, "title -> address" for a bookmark.
std::string outline(const BookmarkNode& node, int nDepth = 0)
{
    std::string out;
    for (const BookmarkNode& child : node.children) {
        out += std::string(static_cast<std::size_t>(nDepth) * 2, ' ');
        out += child.bFolder ? "[" + child.strTitle + "]\n" : child.strTitle + " -> " + child.strUrl + "\n";
        if (child.bFolder) {
            out += outline(child, nDepth + 1);
        }
    }
    return out;
}

// As a common browser writes it: upper-case tags, unclosed <DT> and <p>, attributes, descriptions.
const char* const kBrowserFile = R"(<!DOCTYPE NETSCAPE-Bookmark-file-1>
<!-- This is an automatically generated file. <DL><A HREF="http://in-comment/">no</A> -->
<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=UTF-8">
<TITLE>Bookmarks</TITLE>
<H1>Bookmarks</H1>
<DL><p>
    <DT><H3 ADD_DATE="1700000000" PERSONAL_TOOLBAR_FOLDER="true">书签栏</H3>
    <DL><p>
        <DT><A HREF="https://news.example.cn/?a=1&amp;b=2" ADD_DATE="1700000001" ICON="data:image/png;base64,AAA=">新闻 &amp; 评论</A>
        <DD>a description that is not a bookmark
        <DT><H3>Empty</H3>
        <DL><p>
        </DL><p>
        <DT><H3>Deep</H3>
        <DL><p>
            <DT><a href='http://deep.example/x y' >Deep <b>one</b></a>
        </DL><p>
    </DL><p>
    <DT><A HREF="">no address</A>
    <DT><A>no href either</A>
    <DT><A HREF=http://unquoted.example/>Unquoted</A>
    <DT><H3>Heading without a list</H3>
    <DT><A HREF="http://after.example/">After &#x4E2D;&#25991;</A>
</DL><p>
)";
} // namespace

TEST(BookmarkFile, ReadsWhatBrowsersWrite)
{
    const BookmarkNode root = ParseBookmarkFile(kBrowserFile);
    EXPECT_EQ(outline(root), "[书签栏]\n"
                             "  新闻 & 评论 -> https://news.example.cn/?a=1&b=2\n"
                             "  [Empty]\n"
                             "  [Deep]\n"
                             "    Deep one -> http://deep.example/x y\n"
                             "Unquoted -> http://unquoted.example/\n"
                             "[Heading without a list]\n"
                             "After 中文 -> http://after.example/\n");
    EXPECT_EQ(CountBookmarks(root), 4);
}

TEST(BookmarkFile, DamagedFilesReadWhatTheyHold)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"<DL><p><DT><A HREF=\"http://a/\">A", "A -> http://a/\n"},
        {"</DL></DL><DT><A HREF=\"http://a/\">A</A></DL>", "A -> http://a/\n"},
        {"<DL><DT><H3>F</H3><DL><DT><A HREF=\"http://b/\">B</A>", "[F]\n  B -> http://b/\n"},
        {"<A HREF=\"http://c/", ""},
        {"<<<>>>&#99999999999;&bogus;", ""},
    };
    for (const auto& [html, expected] : cases) {
        SCOPED_TRACE(html);
        EXPECT_EQ(outline(ParseBookmarkFile(html)), expected);
    }
    // A file in the Chinese code page.
    const std::string gb = codepage::Utf8ToGb18030("<DT><A HREF=\"http://g/\">国标</A>");
    EXPECT_EQ(outline(ParseBookmarkFile(gb)), "国标 -> http://g/\n");
}

TEST(BookmarkFile, WrittenFilesReadBackTheSameTree)
{
    const BookmarkNode root = ParseBookmarkFile(kBrowserFile);
    const std::string written = WriteBookmarkFile(root);
    EXPECT_EQ(written.rfind("<!DOCTYPE NETSCAPE-Bookmark-file-1>", 0), 0u);
    EXPECT_NE(written.find("&amp;b=2"), std::string::npos);
    EXPECT_EQ(outline(ParseBookmarkFile(written)), outline(root));
}

TEST(BookmarkFile, ImportWritesShortcutsAndSkipsDuplicates)
{
    TempFolder temp;
    const std::string root = temp.file("Favorites");
    ASSERT_TRUE(files::CreateFolders(root + "/书签栏"));
    // Already there: the same address under another name, and another address under a wanted name.
    ASSERT_TRUE(WriteInternetShortcut(root + "/书签栏/old name.url", "https://news.example.cn/?a=1&b=2"));
    ASSERT_TRUE(WriteInternetShortcut(root + "/Unquoted.url", "http://other.example/"));

    const BookmarkNode tree = ParseBookmarkFile(kBrowserFile);
    const ImportResult first = ImportBookmarks(tree, root);
    EXPECT_EQ(first.nImported, 3);
    EXPECT_EQ(first.nSkipped, 1);
    EXPECT_EQ(first.nFailed, 0);
    EXPECT_EQ(ReadInternetShortcut(root + "/书签栏/Deep/Deep one.url"), "http://deep.example/x y");
    EXPECT_EQ(ReadInternetShortcut(root + "/Unquoted (2).url"), "http://unquoted.example/");
    EXPECT_EQ(ReadInternetShortcut(root + "/After 中文.url"), "http://after.example/");
    EXPECT_TRUE(files::IsFolder(root + "/书签栏/Empty"));
    EXPECT_TRUE(files::IsFolder(root + "/Heading without a list"));

    const ImportResult again = ImportBookmarks(tree, root);
    EXPECT_EQ(again.nImported, 0);
    EXPECT_EQ(again.nSkipped, 4);

    // Exported in menu order, then read back: the favorites as they are now.
    const BookmarkNode exported = ParseBookmarkFile(WriteBookmarkFile(CollectFavorites(root, {})));
    EXPECT_EQ(outline(exported), "[Heading without a list]\n"
                                 "[书签栏]\n"
                                 "  [Deep]\n"
                                 "    Deep one -> http://deep.example/x y\n"
                                 "  [Empty]\n"
                                 "  old name -> https://news.example.cn/?a=1&b=2\n"
                                 "After 中文 -> http://after.example/\n"
                                 // Names are sorted with their endings: " (2).url" before ".url".
                                 "Unquoted (2) -> http://unquoted.example/\n"
                                 "Unquoted -> http://other.example/\n");
}

TEST(BookmarkFile, ExportFollowsTheRecordedOrderAndSkipsWhatHasNoAddress)
{
    TempFolder temp;
    const std::string root = temp.path();
    ASSERT_TRUE(WriteInternetShortcut(root + "/a.url", "http://a/"));
    ASSERT_TRUE(WriteInternetShortcut(root + "/b.url", "http://b/"));
    ASSERT_TRUE(files::WriteFile(root + "/empty.url", "[InternetShortcut]\n"));
    ASSERT_TRUE(files::WriteFile(root + "/site.desktop", "[Desktop Entry]\nType=Link\nURL=http://d/\n"));
    ASSERT_TRUE(files::WriteFile(root + "/app.desktop", "[Desktop Entry]\nType=Application\nExec=true\n"));
    ASSERT_TRUE(files::CreateFolder(root + "/Sub"));
    ASSERT_TRUE(files::Exists(root + "/Sub"));
    std::string record = WriteMenuOrder({{"b.url", false}, {"Sub", true}, {"a.url", false}});
    const BookmarkNode tree =
        CollectFavorites(root, [&](const std::string& rel) { return rel.empty() ? record : std::string(); });
    EXPECT_EQ(outline(tree), "b -> http://b/\n[Sub]\na -> http://a/\nsite -> http://d/\n");
}

TEST(BookmarkFile, TitlesBecomeSafeFileNames)
{
    EXPECT_EQ(SafeFavoriteName("a/b\tc", "x"), "a_bc");
    EXPECT_EQ(SafeFavoriteName(" ..hidden ", "x"), "hidden");
    EXPECT_EQ(SafeFavoriteName("..", "x"), "x");
    EXPECT_EQ(SafeFavoriteName("", "无标题"), "无标题");
    const std::string longName = SafeFavoriteName(std::string(300, 'a') + "中", "x");
    EXPECT_EQ(longName, std::string(200, 'a'));
    EXPECT_EQ(SafeFavoriteName(std::string(199, 'a') + "中", "x"), std::string(199, 'a'));
}
