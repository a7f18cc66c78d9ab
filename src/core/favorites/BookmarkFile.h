#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The bookmark file every browser imports and exports (<!DOCTYPE NETSCAPE-Bookmark-file-1>): nested
// <DL> lists whose <DT> items are a folder (<H3>name</H3> followed by its own <DL>) or a bookmark
// (<A HREF="address">title</A>).
namespace favorites
{
struct BookmarkNode
{
    bool bFolder = false;
    std::string strTitle; // UTF-8
    std::string strUrl;   // bookmarks only
    std::vector<BookmarkNode> children;
};

// Reads a bookmark file into a root folder (whose title is empty). It never fails: unknown markup is
// skipped, a bookmark without an address is dropped, and a file that is not UTF-8 is read as GB18030.
BookmarkNode ParseBookmarkFile(std::string_view html);
// Writes a tree (the root's own title is not written) as a UTF-8 bookmark file.
std::string WriteBookmarkFile(const BookmarkNode& root);
// Bookmarks in a tree, folders not counted.
int CountBookmarks(const BookmarkNode& root);

// The recorded order of a favorites folder by its relative path ("" or "新闻/"), as raw bytes; empty
// when there is none.
using OrderRecordFn = std::function<std::string(const std::string& relPath)>;

// The favorites below root as a tree, in menu order: Internet shortcuts and desktop entries that point
// at an address become bookmarks, sub-folders folders. Folders reached through a symbolic link are not
// entered (they may lead back up).
BookmarkNode CollectFavorites(const std::string& root, const OrderRecordFn& orderRecord);

struct ImportResult
{
    int nImported = 0;
    int nSkipped = 0; // already there: the same address in the same folder
    int nFailed = 0;  // a file or folder that could not be written
};
// Writes a tree into the favorites folder root: each folder becomes a sub-folder (merged with one of the
// same name), each bookmark an Internet shortcut named after its title. A title already taken by another
// address gets a number: "title (2).url".
ImportResult ImportBookmarks(const BookmarkNode& tree, const std::string& root);

// A title made usable as a file name: no "/" or control characters, no leading dot, at most 200 bytes;
// fallback when nothing is left.
std::string SafeFavoriteName(std::string_view title, std::string_view fallback);
} // namespace favorites
