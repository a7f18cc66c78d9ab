// The bookmark-file reader on any bytes, then a write-read round trip of what it read: the tree and
// its count survive unchanged.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "favorites/BookmarkFile.h"

namespace
{

bool same(const favorites::BookmarkNode& a, const favorites::BookmarkNode& b)
{
    if (a.bFolder != b.bFolder || a.children.size() != b.children.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.children.size(); ++i) {
        if (!same(a.children[i], b.children[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const favorites::BookmarkNode tree =
        favorites::ParseBookmarkFile(std::string_view(reinterpret_cast<const char*>(data), size));
    const favorites::BookmarkNode again = favorites::ParseBookmarkFile(favorites::WriteBookmarkFile(tree));
    if (favorites::CountBookmarks(again) != favorites::CountBookmarks(tree) || !same(tree, again)) {
        __builtin_trap();
    }
    return 0;
}
