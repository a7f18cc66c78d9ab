#pragma once

#include <string>
#include <vector>

class CMenuOrder;

// The favorites folder as a menu: which names of a folder are listed, the numbers its favorites get,
// the order of the items and their texts. No window is needed for any of it.
namespace favorites
{
// Favorite number n is chosen with the command id kFirstFavoriteId + n; ids up to kLastFavoriteId open a
// favorite, so a favorite numbered above kLastFavoriteId - kFirstFavoriteId is listed but opens nothing.
constexpr int kFirstFavoriteId = 4992;
constexpr int kLastFavoriteId = 24576;
constexpr int FavoriteCommandId(int nNumber)
{
    return kFirstFavoriteId + nNumber;
}
constexpr bool IsFavoriteCommand(int nId)
{
    return nId >= kFirstFavoriteId && nId <= kLastFavoriteId;
}

enum class FileKind
{
    None,
    InternetShortcut, // ".url"
    DesktopEntry,     // ".desktop"
};
// By the name's ending, without regard to case.
FileKind KindOfFileName(const std::string& name);

struct FavoriteFile
{
    std::string strName; // as found on disk
    int nNumber = 0;
};

struct FolderListing
{
    std::vector<std::string> folders; // in the file system's order
    std::vector<FavoriteFile> files;  // in the file system's order, numbered in that order
};

// Lists a folder: its sub-folders that are not hidden (a name starting with ".") and its favorite files
// (hidden ones too, as a desktop lists them). Files are numbered from nFirst; returns the next free number.
// A folder that cannot be read lists nothing.
int ListFavoritesFolder(const std::string& dir, int nFirst, FolderListing& listing);

struct MenuEntry
{
    bool bFolder = false;
    std::string strName; // the file or folder name
    int nNumber = -1;    // files only
};

// The menu order of a listed folder. The recorded order (when order is not null) comes first: each
// recorded name adds the file of that name (attribute 0x20 or 0), or else every folder of that name
// (attribute 0x10, 0x14 or 0), names compared without regard to case, each listed item at most once.
// Then the folders not yet placed, sorted by their bytes, then the files not yet placed, sorted without
// regard to ASCII case; both sorts keep the listing's order among equal names.
std::vector<MenuEntry> OrderFavorites(const FolderListing& listing, const CMenuOrder* order);

// An item's menu text: a file's name without its ".url" or ".desktop"; more than 26 bytes are shortened
// to their first 23 and "...", cut before a character rather than inside it.
std::string FavoriteMenuText(const std::string& name, bool bFolder);

// The path of folder dir below root with a trailing "/" ("" for root itself), as the order records'
// keys use it; empty when dir does not lie in root.
std::string RelativeFavoritesPath(const std::string& root, const std::string& dir);
} // namespace favorites
