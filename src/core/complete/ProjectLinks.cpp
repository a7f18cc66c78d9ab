#include "complete/ProjectLinks.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "complete/MarkupTags.h"
#include "download/AsciiText.h"
#include "download/Url.h"
#include "platform/Files.h"

namespace
{

// Saved pages larger than this keep their links as they are.
constexpr std::size_t kMaxPageSize = 64u << 20;

struct Edit
{
    std::size_t nBegin = 0;
    std::size_t nEnd = 0;
    std::string strText;
};

// The way from the folder of fromFile to toFile, as a relative path; empty when there is none.
std::string RelativePath(const std::string& fromFile, const std::string& toFile)
{
    const std::string fromFolder = files::FolderOf(fromFile);
    if (fromFolder == files::FolderOf(toFile)) {
        return files::FileName(toFile);
    }
    return std::filesystem::path(toFile).lexically_relative(fromFolder).generic_string();
}

// The held pages by address key, built once for a whole pass: looking each link up in it keeps a pass
// over a large project linear in its links. The first entry of an address wins.
class CHeldIndex
{
public:
    explicit CHeldIndex(const std::vector<HeldPage>& held)
    {
        m_fileOf.reserve(held.size());
        for (const HeldPage& h : held) {
            m_fileOf.emplace(AddressKey(h.strUrl), h.strLocalFile);
        }
    }

    // The local file of a held page whose file is there, or nullptr.
    const std::string* FileOf(const std::string& strAddress)
    {
        auto it = m_fileOf.find(AddressKey(strAddress));
        if (it == m_fileOf.end()) {
            return nullptr;
        }
        auto known = m_isFile.find(it->second);
        if (known == m_isFile.end()) {
            known = m_isFile.emplace(it->second, files::IsRegularFile(it->second)).first;
        }
        return known->second ? &it->second : nullptr;
    }

private:
    std::unordered_map<std::string, std::string> m_fileOf;
    std::unordered_map<std::string, bool> m_isFile;
};

// The path with every symbolic link and "." or ".." resolved; empty when it does not exist.
std::string resolvedPath(const std::string& path)
{
    std::unique_ptr<char, decltype(&std::free)> p(::realpath(path.c_str(), nullptr), &std::free);
    return p ? std::string(p.get()) : std::string();
}

// Whether a resolved path lies below a resolved folder.
bool isInside(const std::string& strResolved, const std::string& strResolvedFolder)
{
    if (strResolvedFolder.empty()) {
        return false;
    }
    const std::string prefix = strResolvedFolder.back() == '/' ? strResolvedFolder : strResolvedFolder + "/";
    return strResolved.size() > prefix.size() && strResolved.compare(0, prefix.size(), prefix) == 0;
}

std::string
rewriteLinks(std::string_view page, const std::string& strPageUrl, const std::string& strPageFile, CHeldIndex& held);

} // namespace

std::string AddressKey(std::string_view address)
{
    address = address.substr(0, address.find('#'));
    url::SplitUrl parts = url::Split(address);
    if (!parts.ok) {
        return std::string(address);
    }
    const std::string scheme = ascii::ToLower(parts.scheme);
    std::string key = scheme + "://" + ascii::ToLower(parts.host);
    if (!parts.port.empty() && !(scheme == "http" && parts.port == "80") &&
        !(scheme == "https" && parts.port == "443")) {
        key += ":" + parts.port;
    }
    if (parts.path.empty() || parts.path.front() != '/') {
        key += "/";
    }
    return key + parts.path;
}

std::string RewritePageLinks(std::string_view page,
                             const std::string& strPageUrl,
                             const std::string& strPageFile,
                             const std::vector<HeldPage>& held)
{
    CHeldIndex index(held);
    return rewriteLinks(page, strPageUrl, strPageFile, index);
}

namespace
{

std::string
rewriteLinks(std::string_view page, const std::string& strPageUrl, const std::string& strPageFile, CHeldIndex& held)
{
    const url::Resolver pageResolver = markup::ResolverFor(strPageUrl);
    url::Resolver resolver = pageResolver;
    std::vector<Edit> edits;
    bool bBase = false;
    markup::ForEachTag(page, [&](markup::Tag& tag) {
        if (tag.name == "base") {
            // Local links would resolve against it and lead back to the web.
            if (auto href = tag.Value("href"); href && !bBase) {
                bBase = true;
                if (auto resolved = pageResolver.Resolve(markup::Trim(*href))) {
                    resolver = markup::ResolverFor(*resolved);
                }
            }
            edits.push_back({tag.nBegin, tag.nEnd, std::string()});
            return;
        }
        const char* attrName = nullptr;
        if (tag.name == "a" || tag.name == "area") {
            attrName = "href";
        } else if (tag.name == "frame" || tag.name == "iframe") {
            attrName = "src";
        } else {
            return;
        }
        const markup::Attr* attr = tag.Find(attrName);
        if (!attr || !attr->bValue) {
            return;
        }
        const std::string_view written = markup::Trim(attr->value);
        if (written.empty() || written.front() == '#') {
            return;
        }
        const markup::Attr* original = tag.Find(kOriginalHrefAttribute);
        std::string address;
        if (original && markup::IsWebAddress(markup::Trim(original->value))) {
            address = std::string(markup::Trim(original->value));
        } else if (auto resolved = resolver.Resolve(written)) {
            address = *resolved;
        }
        if (!markup::IsWebAddress(address)) {
            return; // mailto:, javascript: and the like stay as they are
        }
        const std::size_t hash = address.find('#');
        const std::string fragment = hash == std::string::npos ? std::string() : address.substr(hash);

        std::string value = address;
        bool bLocal = false;
        if (const std::string* file = held.FileOf(address)) {
            const std::string relative = RelativePath(strPageFile, *file);
            if (!relative.empty()) {
                value = markup::PathAsAddress(relative) + fragment;
                bLocal = true;
            }
        }
        if (value != attr->value) {
            edits.push_back(
                {attr->nBegin, attr->nEnd, std::string(attrName) + "=\"" + markup::AttributeText(value) + "\""});
        }
        const std::string keep = std::string(kOriginalHrefAttribute) + "=\"" + markup::AttributeText(address) + "\"";
        if (bLocal && !original) {
            edits.push_back({attr->nEnd, attr->nEnd, " " + keep});
        } else if (bLocal && original->value != address) {
            edits.push_back({original->nBegin, original->nEnd, keep});
        } else if (!bLocal && original) {
            edits.push_back({original->nLead, original->nEnd, std::string()});
        }
    });
    if (edits.empty()) {
        return std::string(page);
    }
    std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) {
        return a.nBegin != b.nBegin ? a.nBegin < b.nBegin : a.nEnd < b.nEnd;
    });
    std::string out;
    out.reserve(page.size() + page.size() / 8);
    std::size_t from = 0;
    for (const Edit& edit : edits) {
        if (edit.nBegin < from) {
            continue;
        }
        out.append(page.substr(from, edit.nBegin - from));
        out += edit.strText;
        from = edit.nEnd;
    }
    out.append(page.substr(from));
    return out;
}

} // namespace

int RewriteProjectLinks(const std::vector<HeldPage>& held,
                        const std::string& strProjectFolder,
                        const std::function<bool()>& stopped)
{
    const std::string folder = resolvedPath(strProjectFolder);
    if (folder.empty()) {
        return 0;
    }
    CHeldIndex index(held);
    int nRewritten = 0;
    std::unordered_set<std::string> done;
    for (const HeldPage& h : held) {
        if (stopped && stopped()) {
            break;
        }
        if (h.strLocalFile.empty() || !done.insert(h.strLocalFile).second) {
            continue;
        }
        // Only the project's own files are written: the record's path is judged by where it really leads.
        const std::string file = resolvedPath(h.strLocalFile);
        if (file.empty() || !isInside(file, folder)) {
            continue;
        }
        std::string text;
        // A page too large to read whole is left alone rather than written back cut short.
        if (!files::IsRegularFile(file) || !files::ReadFile(file, text, nullptr, kMaxPageSize + 1) ||
            text.size() > kMaxPageSize) {
            continue;
        }
        std::string rewritten = rewriteLinks(text, h.strUrl, h.strLocalFile, index);
        if (rewritten != text && files::WriteFile(file, rewritten)) {
            ++nRewritten;
        }
    }
    return nRewritten;
}
