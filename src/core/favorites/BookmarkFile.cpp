#include "favorites/BookmarkFile.h"

#include <filesystem>
#include <set>

#include "download/AsciiText.h"
#include "download/PageTitle.h"
#include "favorites/FavoriteFiles.h"
#include "favorites/FavoritesFolder.h"
#include "favorites/MenuOrder.h"
#include "platform/CodePage.h"
#include "platform/Files.h"

namespace favorites
{
namespace
{
constexpr std::size_t kMaxNameBytes = 200;
// Deeper folders than this are neither read nor written: a safe stop for damaged or looping trees.
constexpr int kMaxDepth = 64;

std::string DecodeEntities(std::string_view text)
{
    static const std::pair<std::string_view, std::string_view> kNamed[] = {
        {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}, {"nbsp", " "}};
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t nSemi = text[i] == '&' ? text.find(';', i) : std::string_view::npos;
        if (nSemi == std::string_view::npos || nSemi - i > 10) {
            out += text[i];
            continue;
        }
        const std::string name = ascii::ToLower(text.substr(i + 1, nSemi - i - 1));
        bool bDone = false;
        if (name.size() > 1 && name[0] == '#') {
            const bool bHex = name[1] == 'x';
            const std::string digits = name.substr(bHex ? 2 : 1);
            if (!digits.empty() &&
                digits.find_first_not_of(bHex ? "0123456789abcdef" : "0123456789") == std::string::npos) {
                codepage::AppendUtf8(out,
                                     static_cast<std::uint32_t>(std::min(std::stoull(digits, nullptr, bHex ? 16 : 10),
                                                                         static_cast<unsigned long long>(0x110000))));
                bDone = true;
            }
        } else {
            for (const auto& [entity, value] : kNamed) {
                if (name == entity) {
                    out += value;
                    bDone = true;
                }
            }
        }
        if (bDone) {
            i = nSemi;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Text of an element's content: tags dropped, entities decoded, white space runs made one space.
std::string InnerText(std::string_view html)
{
    std::string plain;
    bool bInTag = false;
    for (const char c : html) {
        if (c == '<') {
            bInTag = true;
        } else if (c == '>') {
            bInTag = false;
        } else if (!bInTag) {
            plain += c;
        }
    }
    const std::string decoded = DecodeEntities(plain);
    std::string out;
    for (const char c : decoded) {
        const bool bSpace = c == ' ' || c == '\t' || c == '\r' || c == '\n';
        if (bSpace) {
            if (!out.empty() && out.back() != ' ') {
                out += ' ';
            }
        } else {
            out += c;
        }
    }
    if (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

// The value of an attribute in the text of a tag (between its name and ">"), quoted or not.
std::string AttributeValue(std::string_view tag, std::string_view wanted)
{
    std::size_t i = 0;
    while (i < tag.size()) {
        while (i < tag.size() &&
               (tag[i] == ' ' || tag[i] == '\t' || tag[i] == '\r' || tag[i] == '\n' || tag[i] == '/')) {
            ++i;
        }
        const std::size_t nNameStart = i;
        while (i < tag.size() && tag[i] != '=' && tag[i] != ' ' && tag[i] != '\t' && tag[i] != '\r' && tag[i] != '\n') {
            ++i;
        }
        const std::string_view name = tag.substr(nNameStart, i - nNameStart);
        while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t')) {
            ++i;
        }
        std::string_view value;
        if (i < tag.size() && tag[i] == '=') {
            ++i;
            while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t')) {
                ++i;
            }
            if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
                const char quote = tag[i++];
                const std::size_t nClose = tag.find(quote, i);
                const std::size_t nEnd = nClose == std::string_view::npos ? tag.size() : nClose;
                value = tag.substr(i, nEnd - i);
                i = nEnd + 1;
            } else {
                const std::size_t nStart = i;
                while (i < tag.size() && tag[i] != ' ' && tag[i] != '\t' && tag[i] != '\r' && tag[i] != '\n') {
                    ++i;
                }
                value = tag.substr(nStart, i - nStart);
            }
        }
        if (!name.empty() && ascii::EqualsNoCase(name, wanted)) {
            std::string decoded = DecodeEntities(value);
            std::erase_if(decoded, [](char c) { return c == '\r' || c == '\n'; });
            return decoded;
        }
        if (name.empty() && i < tag.size()) {
            ++i;
        }
    }
    return {};
}

// Finds "</name" from pos without regard to case; npos when there is none.
std::size_t FindClosing(std::string_view html, std::size_t pos, std::string_view name)
{
    for (std::size_t at = html.find("</", pos); at != std::string_view::npos; at = html.find("</", at + 2)) {
        if (ascii::StartsWithNoCase(html.substr(at + 2), name)) {
            return at;
        }
    }
    return std::string_view::npos;
}

void WriteNode(const BookmarkNode& folder, int nDepth, std::string& out)
{
    const std::string indent(static_cast<std::size_t>(nDepth) * 4, ' ');
    out += indent + "<DL><p>\n";
    for (const BookmarkNode& child : folder.children) {
        if (child.bFolder) {
            out += indent + "    <DT><H3>" + EscapeMarkupText(child.strTitle) + "</H3>\n";
            WriteNode(child, nDepth + 1, out);
        } else {
            out += indent + "    <DT><A HREF=\"" + EscapeMarkupText(child.strUrl) + "\">" +
                   EscapeMarkupText(child.strTitle) + "</A>\n";
        }
    }
    out += indent + "</DL><p>\n";
}

std::string TitleOfFile(const std::string& name)
{
    switch (KindOfFileName(name)) {
    case FileKind::InternetShortcut:
        return name.substr(0, name.size() - 4);
    case FileKind::DesktopEntry:
        return name.substr(0, name.size() - 8);
    case FileKind::None:
        break;
    }
    return name;
}

void CollectFolder(
    const std::string& root, const std::string& dir, const OrderRecordFn& orderRecord, int nDepth, BookmarkNode& node)
{
    FolderListing listing;
    ListFavoritesFolder(dir, 0, listing);
    CMenuOrder order;
    const std::string record = orderRecord ? orderRecord(RelativeFavoritesPath(root, dir)) : std::string();
    const bool bOrdered = !record.empty() && order.ReadOrder(record) != 0;
    for (const MenuEntry& entry : OrderFavorites(listing, bOrdered ? &order : nullptr)) {
        const std::string path = files::Join(dir, entry.strName);
        if (entry.bFolder) {
            std::error_code error;
            if (nDepth >= kMaxDepth || std::filesystem::is_symlink(path, error)) {
                continue;
            }
            BookmarkNode folder;
            folder.bFolder = true;
            folder.strTitle = entry.strName;
            CollectFolder(root, path, orderRecord, nDepth + 1, folder);
            node.children.push_back(std::move(folder));
            continue;
        }
        BookmarkNode bookmark;
        bookmark.strTitle = TitleOfFile(entry.strName);
        if (KindOfFileName(entry.strName) == FileKind::InternetShortcut) {
            bookmark.strUrl = ReadInternetShortcut(path);
        } else {
            const DesktopEntry desktop = ReadDesktopEntry(path);
            if (desktop.kind == DesktopEntry::Kind::Link) {
                bookmark.strUrl = desktop.strTarget;
            }
        }
        if (!bookmark.strUrl.empty()) {
            node.children.push_back(std::move(bookmark));
        }
    }
}

// Addresses of the Internet shortcuts already in a folder.
std::set<std::string> AddressesIn(const std::string& dir)
{
    std::set<std::string> addresses;
    FolderListing listing;
    ListFavoritesFolder(dir, 0, listing);
    for (const FavoriteFile& file : listing.files) {
        const std::string path = files::Join(dir, file.strName);
        if (KindOfFileName(file.strName) == FileKind::InternetShortcut) {
            addresses.insert(ReadInternetShortcut(path));
        } else if (const DesktopEntry desktop = ReadDesktopEntry(path); desktop.kind == DesktopEntry::Kind::Link) {
            addresses.insert(desktop.strTarget);
        }
    }
    return addresses;
}

void ImportFolder(const BookmarkNode& folder, const std::string& dir, int nDepth, ImportResult& result)
{
    std::set<std::string> addresses = AddressesIn(dir);
    for (const BookmarkNode& child : folder.children) {
        if (child.bFolder) {
            const std::string name = SafeFavoriteName(child.strTitle, "新建文件夹");
            std::string path = files::Join(dir, name);
            for (int n = 2; files::Exists(path) && !files::IsFolder(path); ++n) {
                path = files::Join(dir, name + " (" + std::to_string(n) + ")");
            }
            if (nDepth >= kMaxDepth || !files::CreateFolder(path)) {
                result.nFailed += CountBookmarks(child);
                continue;
            }
            ImportFolder(child, path, nDepth + 1, result);
            continue;
        }
        if (addresses.count(child.strUrl) != 0) {
            ++result.nSkipped;
            continue;
        }
        const std::string name = SafeFavoriteName(child.strTitle, "无标题");
        std::string path = files::Join(dir, name + ".url");
        for (int n = 2; files::Exists(path); ++n) {
            path = files::Join(dir, name + " (" + std::to_string(n) + ").url");
        }
        if (!WriteInternetShortcut(path, child.strUrl)) {
            ++result.nFailed;
            continue;
        }
        addresses.insert(child.strUrl);
        ++result.nImported;
    }
}
} // namespace

BookmarkNode ParseBookmarkFile(std::string_view input)
{
    std::string converted;
    if (!codepage::IsValidUtf8(input)) {
        converted = codepage::Gb18030ToUtf8(input);
        input = converted;
    }
    BookmarkNode root;
    root.bFolder = true;
    // The folders whose lists are open; a list without a heading before it continues the list it is in.
    std::vector<BookmarkNode*> open{&root};
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t nPendingFolder = kNone; // a child of open.back() whose <DL> may follow

    std::size_t i = 0;
    while ((i = input.find('<', i)) != std::string_view::npos) {
        if (input.compare(i, 4, "<!--") == 0) {
            const std::size_t nEnd = input.find("-->", i + 4);
            i = nEnd == std::string_view::npos ? input.size() : nEnd + 3;
            continue;
        }
        std::size_t nName = i + 1;
        const bool bClosing = nName < input.size() && input[nName] == '/';
        if (bClosing) {
            ++nName;
        }
        std::size_t nNameEnd = nName;
        while (nNameEnd < input.size() && std::isalnum(static_cast<unsigned char>(input[nNameEnd]))) {
            ++nNameEnd;
        }
        const std::string name = ascii::ToLower(input.substr(nName, nNameEnd - nName));
        // The tag's end, with quoted attribute values skipped whole.
        std::size_t nTagEnd = nNameEnd;
        char quote = 0;
        for (; nTagEnd < input.size(); ++nTagEnd) {
            const char c = input[nTagEnd];
            if (quote != 0) {
                quote = c == quote ? 0 : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                break;
            }
        }
        if (nTagEnd >= input.size()) {
            break;
        }
        const std::string_view attributes = input.substr(nNameEnd, nTagEnd - nNameEnd);
        i = nTagEnd + 1;
        BookmarkNode* top = open.back();
        if (bClosing) {
            if (name == "dl" && open.size() > 1) {
                open.pop_back();
                nPendingFolder = kNone;
            }
            continue;
        }
        if (name == "dl") {
            open.push_back(nPendingFolder != kNone ? &top->children[nPendingFolder] : top);
            nPendingFolder = kNone;
        } else if (name == "h3" || name == "a") {
            const std::size_t nClose = FindClosing(input, i, name);
            const std::size_t nContentEnd = nClose == std::string_view::npos ? input.size() : nClose;
            BookmarkNode node;
            node.bFolder = name == "h3";
            node.strTitle = InnerText(input.substr(i, nContentEnd - i));
            if (!node.bFolder) {
                node.strUrl = AttributeValue(attributes, "href");
            }
            i = nContentEnd;
            if (!node.bFolder && node.strUrl.empty()) {
                continue;
            }
            top->children.push_back(std::move(node));
            nPendingFolder = name == "h3" ? top->children.size() - 1 : kNone;
        }
    }
    return root;
}

std::string WriteBookmarkFile(const BookmarkNode& root)
{
    std::string out = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                      "<!-- This is an automatically generated file.\n"
                      "     It will be read and overwritten.\n"
                      "     DO NOT EDIT! -->\n"
                      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                      "<TITLE>Bookmarks</TITLE>\n"
                      "<H1>Bookmarks</H1>\n";
    WriteNode(root, 0, out);
    return out;
}

int CountBookmarks(const BookmarkNode& root)
{
    int n = 0;
    for (const BookmarkNode& child : root.children) {
        n += child.bFolder ? CountBookmarks(child) : 1;
    }
    return n;
}

BookmarkNode CollectFavorites(const std::string& root, const OrderRecordFn& orderRecord)
{
    BookmarkNode tree;
    tree.bFolder = true;
    CollectFolder(root, root, orderRecord, 0, tree);
    return tree;
}

ImportResult ImportBookmarks(const BookmarkNode& tree, const std::string& root)
{
    ImportResult result;
    if (!files::CreateFolders(root)) {
        result.nFailed = CountBookmarks(tree);
        return result;
    }
    ImportFolder(tree, root, 0, result);
    return result;
}

std::string SafeFavoriteName(std::string_view title, std::string_view fallback)
{
    std::string name;
    for (const char c : title) {
        if (c == '/') {
            name += '_';
        } else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
            name += c;
        }
    }
    const std::size_t nFirst = name.find_first_not_of(" .");
    name = nFirst == std::string::npos ? std::string() : name.substr(nFirst);
    while (!name.empty() && name.back() == ' ') {
        name.pop_back();
    }
    if (name.size() > kMaxNameBytes) {
        std::size_t nCut = kMaxNameBytes;
        while (nCut > 0 && (static_cast<unsigned char>(name[nCut]) & 0xC0) == 0x80) {
            --nCut;
        }
        name.resize(nCut);
    }
    return name.empty() ? std::string(fallback) : name;
}
} // namespace favorites
