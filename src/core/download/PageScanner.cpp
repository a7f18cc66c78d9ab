#include "download/PageScanner.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "download/ResourceDownload.h"
#include "download/Url.h"
#include "platform/Files.h"

namespace
{

constexpr const char* kUntitled = "Untitled";

enum class TagKind
{
    None,
    Link,     // a page we may follow
    Resource, // something the page shows
    Title,
};

TagKind KindOf(const std::string& tag)
{
    switch (tag.size()) {
    case 1:
        return tag[0] == 'a' ? TagKind::Link : TagKind::None;
    case 2:
        return tag == "td" ? TagKind::Resource : TagKind::None;
    case 3:
        return tag == "img" ? TagKind::Resource : TagKind::None;
    case 4:
        if (tag == "area") {
            return TagKind::Link;
        }
        return (tag == "meta" || tag == "body") ? TagKind::Resource : TagKind::None;
    case 5:
        if (tag == "frame") {
            return TagKind::Link;
        }
        if (tag == "title") {
            return TagKind::Title;
        }
        return tag == "embed" ? TagKind::Resource : TagKind::None;
    case 7:
        return tag == "bgsound" ? TagKind::Resource : TagKind::None;
    case 11:
        return tag == "v:imagedata" ? TagKind::Resource : TagKind::None;
    default:
        return TagKind::None;
    }
}

char ToLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string ToLower(std::string_view s)
{
    std::string out(s);
    for (char& c : out) {
        c = ToLower(c);
    }
    return out;
}

// The value of the first attribute with either name; nullptr when there is none.
const std::string* FirstOf(const std::vector<HtmlAttribute>& attrs, std::string_view a, std::string_view b)
{
    for (const auto& attr : attrs) {
        if (attr.name == a || attr.name == b) {
            return &attr.value;
        }
    }
    return nullptr;
}

bool TailMatchesNoCase(const char* text, std::string_view needle)
{
    for (std::size_t k = 0; k < needle.size(); ++k) {
        if (ToLower(text[k]) != ToLower(needle[k])) {
            return false;
        }
    }
    return true;
}

// The saved page and each resource must land inside their folder.
bool IsSafeFileName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string_view::npos;
}

// Points every src= after a marker into the resource folder (image sources, vector-markup images).
std::string
RewriteSources(std::string_view text, std::string_view marker, std::size_t srcOffset, const std::string& relFolder)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    std::size_t p = 0;
    for (;;) {
        std::ptrdiff_t tag = CPageScanner::FindNoCase(text, marker, p);
        if (tag < 0) {
            break;
        }
        // Not limited to the tag: a source-less img takes the next src= of any later tag.
        std::ptrdiff_t src = CPageScanner::FindNoCase(text, "src=", static_cast<std::size_t>(tag) + srcOffset);
        if (src < 0) {
            break;
        }
        std::size_t value = static_cast<std::size_t>(src) + 4;
        out.append(text.substr(p, value - p));
        out.append(CPageScanner::LocalValue(text, value, relFolder));
        p = value + 1;
    }
    if (p < text.size()) {
        out.append(text.substr(p));
    }
    return out;
}

std::string RewriteBackgrounds(std::string_view text, const std::string& relFolder)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    std::size_t p = 0;
    for (;;) {
        std::ptrdiff_t found = CPageScanner::FindNoCase(text, "background=", p);
        if (found < 0) {
            break;
        }
        std::size_t value = static_cast<std::size_t>(found) + 11;
        out.append(text.substr(p, value - p));
        out.append(CPageScanner::LocalValue(text, value, relFolder));
        p = value + 1;
    }
    if (p < text.size()) {
        out.append(text.substr(p));
    }
    return out;
}

// Drops every script block together with the one character after its "</script>" (usually the line
// break that ended it); an unclosed block takes the rest of the page with it.
std::string StripScripts(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t p = 0;
    for (;;) {
        std::ptrdiff_t open = CPageScanner::FindNoCase(text, "<script", p);
        if (open < 0) {
            break;
        }
        out.append(text.substr(p, static_cast<std::size_t>(open) - p));
        std::ptrdiff_t close = CPageScanner::FindNoCase(text, "</script>", static_cast<std::size_t>(open) + 1);
        if (close < 0) {
            return out;
        }
        p = static_cast<std::size_t>(close) + 10;
    }
    if (p < text.size()) {
        out.append(text.substr(p));
    }
    return out;
}

} // namespace

CPageScanner::CPageScanner()
    : m_strTitle(kUntitled)
{}

void CPageScanner::Reset()
{
    m_resources.clear();
    m_links.clear();
    m_strTitle = kUntitled;
}

void CPageScanner::SetBaseUrl(const std::string& strUrl)
{
    m_strBaseUrl = strUrl;
    // References resolve against the page's own scheme, host, port and path; a user name and
    // password in the page's address are not handed on to other addresses.
    url::SplitUrl parts = url::Split(strUrl);
    if (!parts.ok) {
        m_strResolveBase.clear();
        return;
    }
    m_strResolveBase = ToLower(parts.scheme) + "://" + parts.host;
    if (!parts.port.empty()) {
        m_strResolveBase += ":" + parts.port;
    }
    m_strResolveBase += parts.path;
}

void CPageScanner::SetPageName(const std::string& strName)
{
    m_strPageName = strName;
}

void CPageScanner::SetResourceFolder(const std::string& strFolder)
{
    m_strResourceFolder = strFolder;
}

bool CPageScanner::IsWantedTag(const std::string& strTag)
{
    return KindOf(strTag) != TagKind::None;
}

int CPageScanner::OnTag(const std::string& strTag, std::size_t nPos, const std::vector<HtmlAttribute>& attrs)
{
    switch (KindOf(strTag)) {
    case TagKind::Title: {
        // Only the first title counts (unless it read literally "Untitled"); its text is taken raw.
        if (m_strTitle != kUntitled) {
            break;
        }
        std::size_t begin = nPos + 1;
        std::size_t end = begin;
        while (end < m_nLength && m_pText[end] != '<' && m_pText[end] != '\0') {
            ++end;
        }
        m_strTitle.assign(m_pText + std::min(begin, end), m_pText + end);
        break;
    }
    case TagKind::Resource: {
        const std::string* value = FirstOf(attrs, "src", "background");
        if (value == nullptr) {
            break;
        }
        // The saved file has no query or fragment, so neither has the address we collect.
        std::string address = value->substr(0, value->find('?'));
        address.resize(std::min(address.size(), address.find('#')));
        if (!IsFollowable(address)) {
            break;
        }
        if (auto absolute = url::Combine(m_strResolveBase, address)) {
            m_resources.push_back(std::move(*absolute));
        }
        break;
    }
    case TagKind::Link: {
        const std::string* value = FirstOf(attrs, "src", "href");
        // Anchored links are never followed.
        if (value == nullptr || !IsFollowable(*value) || value->find('#') != std::string::npos) {
            break;
        }
        if (ToLower(std::string_view(*value).substr(0, 7)) == "mailto:") {
            m_resources.push_back(ToLower(*value));
            break;
        }
        if (auto absolute = url::Combine(m_strResolveBase, *value)) {
            m_links.push_back(std::move(*absolute));
        }
        break;
    }
    case TagKind::None:
        break;
    }
    return 1;
}

bool CPageScanner::IsFollowable(const std::string& strUrl)
{
    static constexpr std::array<std::string_view, 13> kExtensions = {
        ".htm", ".html", ".shtm", ".htms", ".shtml", ".gif", ".jpg", ".png", ".jpeg", ".wav", ".avi", ".au", ".asp",
    };
    // The extension of the last path component, as a file path: from its last "." to the end, so a
    // query belongs to it.
    std::size_t componentStart = strUrl.find_last_of("/\\");
    componentStart = componentStart == std::string::npos ? 0 : componentStart + 1;
    std::size_t dot = strUrl.rfind('.');
    if (dot == std::string::npos || dot < componentStart) {
        return true;
    }
    std::string ext = ToLower(std::string_view(strUrl).substr(dot));
    if (ext == ".com" || ext.find('=') != std::string::npos) {
        return true;
    }
    return std::find(kExtensions.begin(), kExtensions.end(), ext) != kExtensions.end();
}

std::string CPageScanner::ResourceFileName(const std::string& strUrl)
{
    std::size_t slash = strUrl.rfind('/');
    return slash == std::string::npos ? strUrl : strUrl.substr(slash + 1);
}

std::ptrdiff_t CPageScanner::FindNoCase(std::string_view text, std::string_view needle, std::size_t start)
{
    if (start > text.size() || needle.size() > text.size() - start) {
        return -1;
    }
    if (needle.empty()) {
        return static_cast<std::ptrdiff_t>(start);
    }
    const char* data = text.data();
    const std::size_t lastStart = text.size() - needle.size();
    const std::string_view rest = needle.substr(1);
    const char lower = ToLower(needle[0]);
    const char upper = (lower >= 'a' && lower <= 'z') ? static_cast<char>(lower - 'a' + 'A') : lower;

    // Candidates come from memchr on the first character, in both cases when it is a letter.
    auto next = [&](char c, std::size_t from) -> std::size_t {
        if (from > lastStart) {
            return std::string_view::npos;
        }
        const void* hit = std::memchr(data + from, c, lastStart - from + 1);
        return hit == nullptr ? std::string_view::npos : static_cast<std::size_t>(static_cast<const char*>(hit) - data);
    };
    std::size_t nextLower = next(lower, start);
    std::size_t nextUpper = lower == upper ? std::string_view::npos : next(upper, start);
    for (;;) {
        std::size_t at = std::min(nextLower, nextUpper);
        if (at == std::string_view::npos) {
            return -1;
        }
        if (TailMatchesNoCase(data + at + 1, rest)) {
            return static_cast<std::ptrdiff_t>(at);
        }
        if (at == nextLower) {
            nextLower = next(lower, at + 1);
        } else {
            nextUpper = next(upper, at + 1);
        }
    }
}

std::string CPageScanner::LocalValue(std::string_view text, std::size_t& pos, const std::string& relFolder)
{
    const std::size_t start = std::min(pos, text.size());
    std::size_t rawEnd = text.find_first_of("\" >\r\n", start);
    std::size_t last = 0; // the last character the value took
    if (rawEnd == std::string_view::npos) {
        rawEnd = text.size();
        last = rawEnd - 1;
    } else if (text[rawEnd] == '"') {
        std::size_t close = text.find('"', rawEnd + 1);
        if (close != std::string_view::npos) {
            rawEnd = close;
            last = close;
        } else {
            // An unclosed quote: end the value like an unquoted one rather than swallow the page.
            rawEnd = std::min(text.find_first_of(" >\r\n", rawEnd + 1), text.size());
            last = rawEnd - 1;
        }
    } else {
        last = rawEnd - 1;
    }

    std::string_view raw = text.substr(start, rawEnd - start);
    while (!raw.empty() && raw.front() == '"') {
        raw.remove_prefix(1);
    }
    while (!raw.empty() && raw.back() == '"') {
        raw.remove_suffix(1);
    }
    std::size_t slash = raw.rfind('/');
    std::string out;
    out.reserve(relFolder.size() + raw.size() + 3);
    out.append(1, '"').append(relFolder);
    if (slash == std::string_view::npos) {
        out.append(1, '/').append(raw);
    } else {
        out.append(raw.substr(slash));
    }
    out.append(1, '"');
    pos = last;
    return out;
}

std::string CPageScanner::Rewrite(std::string_view page, const std::string& relFolder, int bKeepScripts)
{
    std::string text = RewriteSources(page, "<img", 4, relFolder);
    text = RewriteSources(text, "<v:imagedata", 13, relFolder);
    text = RewriteBackgrounds(text, relFolder);
    if (bKeepScripts == 0) {
        text = StripScripts(text);
    }
    return text;
}

bool CPageScanner::RewriteAndSave(
    const std::string& relFolder, std::string_view page, const std::string& strExt, int bKeepScripts, std::string* pWhy)
{
    std::string fileName = m_strPageName + strExt;
    if (!IsSafeFileName(fileName)) {
        if (pWhy) {
            *pWhy = "unsafe file name: \"" + fileName + "\"";
        }
        return false;
    }
    std::size_t slash = m_strResourceFolder.rfind('/');
    std::string path =
        (slash == std::string::npos ? std::string() : m_strResourceFolder.substr(0, slash + 1)) + fileName;
    page = page.substr(0, page.find('\0'));
    return files::WriteFile(path, Rewrite(page, relFolder, bKeepScripts), pWhy);
}

bool CPageScanner::DownloadResource(const std::string& strUrl,
                                    CHttpSession* pSession,
                                    const std::atomic<bool>* pCancel,
                                    std::string* pWhy)
{
    std::string fileName = ResourceFileName(strUrl);
    if (!IsSafeFileName(fileName)) {
        if (pWhy) {
            *pWhy = "unsafe file name: \"" + fileName + "\"";
        }
        return false;
    }
    return DownloadUrlToFile(strUrl, m_strResourceFolder + "/" + fileName, pSession, pCancel, pWhy);
}
