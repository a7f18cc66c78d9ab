#include "favorites/FavoritesFolder.h"

#include <algorithm>
#include <filesystem>

#include "download/AsciiText.h"
#include "favorites/MenuOrder.h"

namespace favorites
{
namespace
{
constexpr std::size_t kMaxTextBytes = 26;
constexpr std::size_t kShortTextBytes = 23;

bool EndsWithNoCase(const std::string& name, std::string_view ending)
{
    return name.size() > ending.size() &&
           ascii::EqualsNoCase(std::string_view(name).substr(name.size() - ending.size()), ending);
}

int CompareNoCase(const std::string& a, const std::string& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(ascii::ToLower(a[i]));
        const auto cb = static_cast<unsigned char>(ascii::ToLower(b[i]));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
} // namespace

FileKind KindOfFileName(const std::string& name)
{
    if (EndsWithNoCase(name, ".url")) {
        return FileKind::InternetShortcut;
    }
    if (EndsWithNoCase(name, ".desktop")) {
        return FileKind::DesktopEntry;
    }
    return FileKind::None;
}

int ListFavoritesFolder(const std::string& dir, int nFirst, FolderListing& listing)
{
    namespace fs = std::filesystem;
    int nNumber = nFirst;
    std::error_code error;
    fs::directory_iterator it(fs::path(dir), error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code typeError;
        if (it->is_directory(typeError)) {
            if (!name.empty() && name.front() != '.') {
                listing.folders.push_back(name);
            }
        } else if (KindOfFileName(name) != FileKind::None) {
            listing.files.push_back({name, nNumber++});
        }
    }
    return nNumber;
}

std::vector<MenuEntry> OrderFavorites(const FolderListing& listing, const CMenuOrder* order)
{
    std::vector<MenuEntry> menu;
    std::vector<bool> fileUsed(listing.files.size(), false);
    std::vector<bool> folderUsed(listing.folders.size(), false);

    if (order != nullptr) {
        for (const std::uint32_t nIndex : order->Order()) {
            const CMenuOrder::Entry& entry = order->Entries()[nIndex];
            const std::uint16_t a = entry.m_nAttributes;
            // A recorded entry without a name matches nothing, even an item already placed.
            if (entry.m_strName.empty()) {
                continue;
            }
            bool bAdded = false;
            if (a == CMenuOrder::kAttrFile || a == 0) {
                for (std::size_t i = 0; i < listing.files.size(); ++i) {
                    if (!fileUsed[i] && ascii::EqualsNoCase(listing.files[i].strName, entry.m_strName)) {
                        menu.push_back({false, listing.files[i].strName, listing.files[i].nNumber});
                        fileUsed[i] = true;
                        bAdded = true;
                        break;
                    }
                }
            }
            if (!bAdded && (a == CMenuOrder::kAttrFolder || a == CMenuOrder::kAttrFolderAlt || a == 0)) {
                for (std::size_t i = 0; i < listing.folders.size(); ++i) {
                    if (!folderUsed[i] && ascii::EqualsNoCase(listing.folders[i], entry.m_strName)) {
                        menu.push_back({true, listing.folders[i], -1});
                        folderUsed[i] = true;
                    }
                }
            }
        }
    }

    std::vector<std::string> folders;
    for (std::size_t i = 0; i < listing.folders.size(); ++i) {
        if (!folderUsed[i]) {
            folders.push_back(listing.folders[i]);
        }
    }
    std::stable_sort(folders.begin(), folders.end());
    std::vector<FavoriteFile> files;
    for (std::size_t i = 0; i < listing.files.size(); ++i) {
        if (!fileUsed[i]) {
            files.push_back(listing.files[i]);
        }
    }
    std::stable_sort(files.begin(), files.end(), [](const FavoriteFile& a, const FavoriteFile& b) {
        return CompareNoCase(a.strName, b.strName) < 0;
    });
    for (const std::string& folder : folders) {
        menu.push_back({true, folder, -1});
    }
    for (const FavoriteFile& file : files) {
        menu.push_back({false, file.strName, file.nNumber});
    }
    return menu;
}

std::string FavoriteMenuText(const std::string& name, bool bFolder)
{
    std::string text = name;
    if (!bFolder) {
        switch (KindOfFileName(name)) {
        case FileKind::InternetShortcut:
            text.resize(text.size() - 4);
            break;
        case FileKind::DesktopEntry:
            text.resize(text.size() - 8);
            break;
        case FileKind::None:
            break;
        }
    }
    if (text.size() <= kMaxTextBytes) {
        return text;
    }
    std::size_t nCut = kShortTextBytes;
    // Back to the first byte of a UTF-8 character, so no character is left half.
    while (nCut > 0 && (static_cast<unsigned char>(text[nCut]) & 0xC0) == 0x80) {
        --nCut;
    }
    return text.substr(0, nCut) + "...";
}

std::string RelativeFavoritesPath(const std::string& root, const std::string& dir)
{
    std::string base = root;
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    std::string path = dir;
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    if (path == base) {
        return {};
    }
    if (path.size() <= base.size() + 1 || path.compare(0, base.size(), base) != 0 || path[base.size()] != '/') {
        return {};
    }
    return path.substr(base.size() + 1) + "/";
}
} // namespace favorites
