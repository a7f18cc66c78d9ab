#include "complete/ProjectLinks.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

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
    std::map<std::string, std::string> fileOf;
    for (const HeldPage& h : held) {
        fileOf.emplace(AddressKey(h.strUrl), h.strLocalFile);
    }
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
        if (auto it = fileOf.find(AddressKey(address)); it != fileOf.end() && files::IsRegularFile(it->second)) {
            const std::string relative = RelativePath(strPageFile, it->second);
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

int RewriteProjectLinks(const std::vector<HeldPage>& held)
{
    int nRewritten = 0;
    std::set<std::string> done;
    for (const HeldPage& h : held) {
        if (h.strLocalFile.empty() || !done.insert(h.strLocalFile).second) {
            continue;
        }
        std::string text;
        // A page too large to read whole is left alone rather than written back cut short.
        if (!files::IsRegularFile(h.strLocalFile) ||
            !files::ReadFile(h.strLocalFile, text, nullptr, kMaxPageSize + 1) || text.size() > kMaxPageSize) {
            continue;
        }
        std::string rewritten = RewritePageLinks(text, h.strUrl, h.strLocalFile, held);
        if (rewritten != text && files::WriteFile(h.strLocalFile, rewritten)) {
            ++nRewritten;
        }
    }
    return nRewritten;
}
