#include "download/PageScanner.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "complete/ExecutableContent.h"
#include "download/AsciiText.h"
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

// Whether tag is first followed by rest, where rest is a string literal.
template <std::size_t N> bool Is(const std::string& tag, char first, const char (&rest)[N])
{
    return tag.size() == N && tag[0] == first && std::memcmp(tag.data() + 1, rest, N - 1) == 0;
}

// Called twice for every tag of a page: most tags (closing ones above all) are turned away by their
// first character.
TagKind KindOf(const std::string& tag)
{
    if (tag.empty()) {
        return TagKind::None;
    }
    switch (tag[0]) {
    case 'a':
        return (tag.size() == 1 || Is(tag, 'a', "rea")) ? TagKind::Link : TagKind::None;
    case 'f':
        return Is(tag, 'f', "rame") ? TagKind::Link : TagKind::None;
    case 't':
        if (Is(tag, 't', "itle")) {
            return TagKind::Title;
        }
        return Is(tag, 't', "d") ? TagKind::Resource : TagKind::None;
    case 'i':
        return Is(tag, 'i', "mg") ? TagKind::Resource : TagKind::None;
    case 'b':
        return (Is(tag, 'b', "ody") || Is(tag, 'b', "gsound")) ? TagKind::Resource : TagKind::None;
    case 'm':
        return Is(tag, 'm', "eta") ? TagKind::Resource : TagKind::None;
    case 'e':
        return Is(tag, 'e', "mbed") ? TagKind::Resource : TagKind::None;
    case 'v':
        return Is(tag, 'v', ":imagedata") ? TagKind::Resource : TagKind::None;
    default:
        return TagKind::None;
    }
}

bool Followable(std::string_view address)
{
    static constexpr std::array<std::string_view, 13> kExtensions = {
        ".htm", ".html", ".shtm", ".htms", ".shtml", ".gif", ".jpg", ".png", ".jpeg", ".wav", ".avi", ".au", ".asp",
    };
    // The extension of the last path component, as a file path: from its last "." to the end, so a
    // query belongs to it.
    std::size_t dot = address.size();
    while (dot > 0 && address[dot - 1] != '.') {
        if (address[dot - 1] == '/' || address[dot - 1] == '\\') {
            return true; // no "." in the last component
        }
        --dot;
    }
    if (dot == 0) {
        return true;
    }
    --dot;
    std::string_view ext = address.substr(dot);
    if (ext.find('=') != std::string_view::npos) {
        return true;
    }
    char lower[8];
    if (ext.size() > sizeof lower) {
        return false;
    }
    for (std::size_t i = 0; i < ext.size(); ++i) {
        lower[i] = ascii::ToLower(ext[i]);
    }
    std::string_view lowered(lower, ext.size());
    return lowered == ".com" || std::find(kExtensions.begin(), kExtensions.end(), lowered) != kExtensions.end();
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
        if (ascii::ToLower(text[k]) != ascii::ToLower(needle[k])) {
            return false;
        }
    }
    return true;
}

// Index of the first blank, ">", line break or (with bQuote) double quote at or after start; npos for none.
std::size_t ValueEnd(std::string_view text, std::size_t start, bool bQuote)
{
    for (std::size_t i = start; i < text.size(); ++i) {
        char c = text[i];
        if (c == ' ' || c == '>' || c == '\r' || c == '\n' || (bQuote && c == '"')) {
            return i;
        }
    }
    return std::string_view::npos;
}

// The saved page and each resource must land inside their folder.
bool IsSafeFileName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string_view::npos;
}

// Points attribute values into the resource folder. The value rewritten is the one right after each
// marker, or with bNextSource, the one after the next "src=" from srcOffset characters past the marker.
std::string RewriteValues(std::string_view text,
                          std::string_view marker,
                          bool bNextSource,
                          std::size_t srcOffset,
                          const std::string& relFolder)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    std::size_t p = 0;
    for (;;) {
        std::ptrdiff_t found = CPageScanner::FindNoCase(text, marker, p);
        if (found < 0) {
            break;
        }
        std::size_t value = static_cast<std::size_t>(found) + marker.size();
        if (bNextSource) {
            // Not limited to the tag: a source-less img takes the next src= of any later tag.
            std::ptrdiff_t src = CPageScanner::FindNoCase(text, "src=", static_cast<std::size_t>(found) + srcOffset);
            if (src < 0) {
                break;
            }
            value = static_cast<std::size_t>(src) + 4;
        }
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
std::string StripScriptBlocks(std::string_view text)
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
        m_resolver = url::Resolver();
        return;
    }
    std::string base = ascii::ToLower(parts.scheme) + "://" + parts.host;
    if (!parts.port.empty()) {
        base += ":" + parts.port;
    }
    base += parts.path;
    m_resolver = url::Resolver(base);
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
    // Without attributes only a title has something to give; this turns away most tags quickly.
    if (attrs.empty() && !Is(strTag, 't', "itle")) {
        return 1;
    }
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
        std::string_view address = *value;
        address = address.substr(0, address.find('?'));
        address = address.substr(0, address.find('#'));
        if (!Followable(address)) {
            break;
        }
        if (auto absolute = m_resolver.Resolve(address)) {
            m_resources.push_back(std::move(*absolute));
        }
        break;
    }
    case TagKind::Link: {
        const std::string* value = FirstOf(attrs, "src", "href");
        if (value == nullptr) {
            break;
        }
        std::string_view link = *value;
        if (m_bFollowFragments) {
            link = link.substr(0, link.find('#'));
            if (link.empty()) {
                break;
            }
        }
        // Anchored links are never followed.
        if (!Followable(link) || link.find('#') != std::string_view::npos) {
            break;
        }
        if (ascii::StartsWithNoCase(link, "mailto:")) {
            m_resources.push_back(ascii::ToLower(link));
            break;
        }
        if (auto absolute = m_resolver.Resolve(link)) {
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
    return Followable(strUrl);
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
    const std::size_t end = text.size() - needle.size() + 1; // candidates lie below this
    const std::string_view rest = needle.substr(1);
    const char lower = ascii::ToLower(needle[0]);
    std::size_t i = start;

    if (lower < 'a' || lower > 'z') {
        while (i < end) {
            const void* hit = std::memchr(data + i, lower, end - i);
            if (hit == nullptr) {
                return -1;
            }
            i = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
            if (TailMatchesNoCase(data + i + 1, rest)) {
                return static_cast<std::ptrdiff_t>(i);
            }
            ++i;
        }
        return -1;
    }

    // A letter matches in either case: with bit 0x20 set, both cases of it equal the lower one.
#if defined(__SSE2__)
    const __m128i caseBit = _mm_set1_epi8(0x20);
    const __m128i wanted = _mm_set1_epi8(lower);
    for (; i + 16 <= end; i += 16) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(block, caseBit), wanted)));
        while (mask != 0) {
            std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
            if (TailMatchesNoCase(data + at + 1, rest)) {
                return static_cast<std::ptrdiff_t>(at);
            }
            mask &= mask - 1;
        }
    }
#endif
    for (; i < end; ++i) {
        if ((data[i] | 0x20) == lower && TailMatchesNoCase(data + i + 1, rest)) {
            return static_cast<std::ptrdiff_t>(i);
        }
    }
    return -1;
}

std::string CPageScanner::LocalValue(std::string_view text, std::size_t& pos, const std::string& relFolder)
{
    const std::size_t start = std::min(pos, text.size());
    std::size_t rawEnd = ValueEnd(text, start, true);
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
            rawEnd = std::min(ValueEnd(text, rawEnd + 1, false), text.size());
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
    std::string text = RewriteValues(page, "<img", true, 4, relFolder);
    text = RewriteValues(text, "<v:imagedata", true, 13, relFolder);
    text = RewriteValues(text, "background=", false, 0, relFolder);
    if (bKeepScripts == 0) {
        // The script blocks go as they always have; what else a browser would run (event handlers,
        // javascript: addresses, scripts the plain search misses) goes after them.
        text = markup::StripExecutable(StripScriptBlocks(text));
    }
    return text;
}

std::string CPageScanner::StripScripts(std::string_view page)
{
    return StripScriptBlocks(page);
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
