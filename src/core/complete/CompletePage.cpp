#include "complete/CompletePage.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <utility>

#include "complete/MarkupTags.h"
#include "complete/Srcset.h"
#include "download/AsciiText.h"
#include "download/PageScanner.h"

namespace
{

using markup::AttributeText;
using markup::Trim;

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsUtf8WithHighBytes(std::string_view s)
{
    bool bHigh = false;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        bHigh = true;
        if ((c & 0xE0) == 0xC0 && c >= 0xC2) {
            n = 1;
        } else if ((c & 0xF0) == 0xE0) {
            n = 2;
        } else if ((c & 0xF8) == 0xF0 && c <= 0xF4) {
            n = 3;
        } else {
            return false;
        }
        for (std::size_t k = 1; k <= n; ++k) {
            if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += n + 1;
    }
    return bHigh;
}

int HexValue(char c)
{
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

int Base64Value(char c)
{
    return IsAsciiLetter(c)       ? (c <= 'Z' && c >= 'A' ? c - 'A' : c - 'a' + 26)
           : c >= '0' && c <= '9' ? c - '0' + 52
           : c == '+' || c == '-' ? 62
           : c == '/' || c == '_' ? 63
                                  : -1;
}

// The bytes of a picture given as a data: address and the extension its type calls for; false when the
// address is not a picture or cannot be read.
bool DecodeInlinePicture(std::string_view address, std::string& bytes, std::string& ext)
{
    if (!ascii::StartsWithNoCase(address, "data:")) {
        return false;
    }
    const std::size_t comma = address.find(',');
    if (comma == std::string_view::npos) {
        return false;
    }
    const std::string header = ascii::ToLower(address.substr(5, comma - 5));
    const std::string type = header.substr(0, header.find(';'));
    if (type.rfind("image/", 0) != 0) {
        return false;
    }
    const bool bBase64 = header.size() >= 7 && header.compare(header.size() - 7, 7, ";base64") == 0;
    std::string text;
    const std::string_view data = address.substr(comma + 1);
    text.reserve(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] == '%' && i + 2 < data.size() && HexValue(data[i + 1]) >= 0 && HexValue(data[i + 2]) >= 0) {
            text += static_cast<char>(HexValue(data[i + 1]) * 16 + HexValue(data[i + 2]));
            i += 2;
        } else {
            text += data[i];
        }
    }
    if (bBase64) {
        bytes.clear();
        bytes.reserve(text.size() / 4 * 3);
        unsigned nBits = 0;
        int nCount = 0;
        for (char c : text) {
            if (c == '=') {
                break;
            }
            const int v = Base64Value(c);
            if (v < 0) {
                if (IsSpace(c)) {
                    continue;
                }
                return false;
            }
            nBits = (nBits << 6) | static_cast<unsigned>(v);
            nCount += 6;
            if (nCount >= 8) {
                nCount -= 8;
                bytes += static_cast<char>((nBits >> nCount) & 0xFF);
            }
        }
    } else {
        bytes = std::move(text);
    }
    if (bytes.empty()) {
        return false;
    }
    static const std::map<std::string, std::string, std::less<>> kExtensions = {
        {"image/png", ".png"},   {"image/jpeg", ".jpg"},   {"image/jpg", ".jpg"},
        {"image/gif", ".gif"},   {"image/webp", ".webp"},  {"image/svg+xml", ".svg"},
        {"image/bmp", ".bmp"},   {"image/x-icon", ".ico"}, {"image/vnd.microsoft.icon", ".ico"},
        {"image/avif", ".avif"},
    };
    const auto it = kExtensions.find(type);
    ext = it == kExtensions.end() ? std::string(".img") : it->second;
    return true;
}

} // namespace

CCompletePage::CCompletePage(std::string_view page,
                             const std::string& strBaseUrl,
                             const std::string& strRelFolder,
                             bool bKeepScripts)
    : m_strPage(page)
    , m_strBaseUrl(strBaseUrl)
    , m_strRelFolder(strRelFolder)
    , m_bKeepScripts(bKeepScripts)
{
    markup::ForEachTag(
        m_strPage, [this](markup::Tag& tag) { OnTag(tag); },
        [this](std::size_t nBegin, std::size_t nEnd) { OnStyleBlock(nBegin, nEnd); });
    // A <base href> would send the page's local references back to the web; it is removed, and the
    // references resolve against it here instead.
    url::Resolver pageResolver = markup::ResolverFor(m_strBaseUrl);
    std::string base = m_strBaseUrl;
    if (!m_strBaseHref.empty()) {
        if (auto resolved = pageResolver.Resolve(Trim(m_strBaseHref))) {
            base = *resolved;
        }
    }
    m_resolver = markup::ResolverFor(base);
    for (Ref& ref : m_refs) {
        ResolveRef(ref, m_resolver, 0);
    }
    // With the <base> gone, a relative link would lead elsewhere: links take the address the browser
    // gave them.
    if (!m_strBaseHref.empty()) {
        for (const Link& link : m_links) {
            const std::optional<std::string> absolute = m_resolver.Resolve(Trim(link.strValue));
            if (absolute && markup::IsWebAddress(*absolute)) {
                m_edits.push_back({link.nBegin, link.nEnd,
                                   [text = link.strName + "=\"" + AttributeText(*absolute) + "\""] { return text; }});
            }
        }
    }
    m_links.clear();
    m_links.shrink_to_fit();
    std::stable_sort(m_edits.begin(), m_edits.end(), [](const Edit& a, const Edit& b) {
        return a.nBegin != b.nBegin ? a.nBegin < b.nBegin : a.nEnd < b.nEnd;
    });
}

int CCompletePage::AddRef(std::string strValue, bool bSheet)
{
    Ref ref;
    ref.strWritten = std::move(strValue);
    ref.bSheet = bSheet;
    m_refs.push_back(std::move(ref));
    return static_cast<int>(m_refs.size() - 1);
}

void CCompletePage::OnTag(markup::Tag& tag)
{
    auto replaceAttr = [this](const markup::Attr& attr, std::string name, int nRef) {
        // An address we do not fetch keeps the attribute exactly as written.
        std::string raw = name == attr.name ? m_strPage.substr(attr.nBegin, attr.nEnd - attr.nBegin) : std::string();
        m_edits.push_back({attr.nBegin, attr.nEnd, [this, name = std::move(name), raw = std::move(raw), nRef] {
                               if (!raw.empty() && m_refs[static_cast<std::size_t>(nRef)].nRequisite < 0) {
                                   return raw;
                               }
                               return name + "=\"" + AttributeText(Value(nRef, false)) + "\"";
                           }});
    };
    auto removeAttr = [this](const markup::Attr& attr) {
        m_edits.push_back({attr.nLead, attr.nEnd, [] { return std::string(); }});
    };
    auto removeAll = [&](std::initializer_list<std::string_view> names, const markup::Attr* keep) {
        for (const markup::Attr& a : tag.attrs) {
            if (&a != keep && std::find(names.begin(), names.end(), a.name) != names.end()) {
                removeAttr(a);
            }
        }
    };
    // A file that is no longer the one a hash was taken of, or a cross-origin request a local file
    // cannot make, would be refused by the browser.
    auto dropChecks = [&] { removeAll({"integrity", "crossorigin"}, nullptr); };

    const std::string& name = tag.name;
    if (name == "base") {
        if (auto href = tag.Value("href")) {
            if (m_strBaseHref.empty()) {
                m_strBaseHref = *href;
            }
            m_edits.push_back({tag.nBegin, tag.nEnd, [] { return std::string(); }});
            return;
        }
    } else if (name == "link") {
        const markup::Attr* href = tag.Find("href");
        if (href && !Trim(href->value).empty()) {
            std::string rel = " " + ascii::ToLower(tag.Value("rel").value_or("")) + " ";
            for (char& c : rel) {
                c = IsSpace(c) ? ' ' : c;
            }
            const bool bSheet = rel.find(" stylesheet ") != std::string::npos;
            const bool bIcon = rel.find(" icon ") != std::string::npos ||
                               rel.find(" apple-touch-icon ") != std::string::npos ||
                               rel.find(" apple-touch-icon-precomposed ") != std::string::npos ||
                               rel.find(" mask-icon ") != std::string::npos;
            if (bSheet || bIcon) {
                replaceAttr(*href, "href", AddRef(href->value, bSheet));
                dropChecks();
            }
        }
    } else if (name == "img" || name == "source") {
        // Lazy loaders keep the real address in data-* attributes and show a placeholder until a
        // script swaps it in; with scripts off the page must show the real picture.
        const markup::Attr* src = tag.Find("src");
        if (name == "source" && src) {
            return; // a <source> of a video or sound
        }
        if (name == "source" && !tag.Value("srcset") && !tag.Value("data-srcset")) {
            return;
        }
        std::optional<std::string> lazy;
        for (std::string_view lazyName : {"data-src", "data-original", "data-lazy-src"}) {
            if ((lazy = tag.Value(lazyName))) {
                break;
            }
        }
        const markup::Attr* set = tag.Value("data-srcset") ? tag.Find("data-srcset") : tag.Find("srcset");
        if (set && Trim(set->value).empty()) {
            set = nullptr;
        }
        std::optional<std::string> chosen;
        double dDensity = 1.0;
        if (set) {
            const std::vector<srcset::Candidate> candidates = srcset::Parse(set->value);
            if (auto largest = srcset::ChooseLargest(set->value)) {
                chosen = largest;
                for (const srcset::Candidate& c : candidates) {
                    if (c.strUrl == *largest && c.nWidth == 0 && c.dDensity > 1.0) {
                        dDensity = c.dDensity;
                        break;
                    }
                }
            }
        }
        if (!chosen) {
            chosen = lazy;
        }
        if (!chosen && src && !Trim(src->value).empty()) {
            chosen = src->value;
        }
        if (!chosen) {
            return;
        }
        const int nRef = AddRef(*chosen, false);
        std::string density;
        if (dDensity > 1.0) {
            char text[32];
            std::snprintf(text, sizeof text, " %gx", dDensity);
            density = text;
        }
        if (name == "source") {
            // The <picture> still picks among its sources by media and type; each keeps one file.
            m_edits.push_back({set->nBegin, set->nEnd, [this, nRef, density] {
                                   return "srcset=\"" + AttributeText(Value(nRef, false)) + density + "\"";
                               }});
            removeAll({"srcset", "data-srcset", "sizes"}, set);
            dropChecks();
            return;
        }
        if (src) {
            replaceAttr(*src, "src", nRef);
        } else {
            m_edits.push_back({tag.nNameEnd, tag.nNameEnd,
                               [this, nRef] { return " src=\"" + AttributeText(Value(nRef, false)) + "\""; }});
        }
        const markup::Attr* keep = nullptr;
        if (!density.empty()) {
            // A 2x picture as a plain source would be drawn twice as large; one candidate keeps its size.
            keep = set;
            m_edits.push_back({set->nBegin, set->nEnd, [this, nRef, density] {
                                   return "srcset=\"" + AttributeText(Value(nRef, false)) + density + "\"";
                               }});
        }
        removeAll({"srcset", "sizes", "data-srcset", "data-src", "data-original", "data-lazy-src"}, keep);
        if (auto loading = tag.Value("loading"); loading && ascii::EqualsNoCase(Trim(*loading), "lazy")) {
            removeAll({"loading"}, nullptr);
        }
        dropChecks();
    } else if (name == "script") {
        // A script kept runs from its saved file; one stripped is not fetched at all.
        const markup::Attr* src = tag.Find("src");
        if (m_bKeepScripts && src && !Trim(src->value).empty()) {
            replaceAttr(*src, "src", AddRef(src->value, false));
            dropChecks();
        }
    } else if (name == "a" || name == "area" || name == "frame" || name == "iframe" || name == "form") {
        const char* attrName = name == "form" ? "action" : (name == "a" || name == "area") ? "href" : "src";
        if (const markup::Attr* link = tag.Find(attrName); link && link->bValue) {
            m_links.push_back({link->nBegin, link->nEnd, attrName, link->value});
        }
    } else if (name == "input" || name == "embed" || name == "bgsound" || name == "v:imagedata") {
        const markup::Attr* src = tag.Find("src");
        // An embedded document may run scripts of its own: saved beside a page without scripts, it would.
        const bool bImageInput = name == "input" ? ascii::EqualsNoCase(Trim(tag.Value("type").value_or("")), "image")
                                                 : name != "embed" || m_bKeepScripts;
        if (src && bImageInput && !Trim(src->value).empty()) {
            replaceAttr(*src, "src", AddRef(src->value, false));
        }
    } else if (name == "video") {
        if (const markup::Attr* poster = tag.Find("poster"); poster && !Trim(poster->value).empty()) {
            replaceAttr(*poster, "poster", AddRef(poster->value, false));
        }
    }

    if (const markup::Attr* background = tag.Find("background"); background && !Trim(background->value).empty()) {
        replaceAttr(*background, "background", AddRef(background->value, false));
    }
    if (const markup::Attr* style = tag.Find("style"); style && style->bValue) {
        std::vector<css::Reference> refs = css::FindReferences(style->value);
        if (!refs.empty()) {
            std::vector<int> refIndex;
            for (const css::Reference& r : refs) {
                refIndex.push_back(AddRef(r.strValue, r.kind == css::Reference::Kind::Import));
            }
            m_edits.push_back(
                {style->nBegin, style->nEnd,
                 [this, text = style->value, raw = m_strPage.substr(style->nBegin, style->nEnd - style->nBegin),
                  refs = std::move(refs), refIndex = std::move(refIndex)] {
                     std::string css = CssRewritten(text, refs, refIndex, false);
                     return css == text ? raw : "style=\"" + AttributeText(css) + "\"";
                 }});
        }
    }
}

void CCompletePage::OnStyleBlock(std::size_t nBegin, std::size_t nEnd)
{
    std::string text = m_strPage.substr(nBegin, nEnd - nBegin);
    std::vector<css::Reference> refs = css::FindReferences(text);
    if (refs.empty()) {
        return;
    }
    std::vector<int> refIndex;
    for (const css::Reference& r : refs) {
        refIndex.push_back(AddRef(r.strValue, r.kind == css::Reference::Kind::Import));
    }
    m_edits.push_back(
        {nBegin, nEnd, [this, text = std::move(text), refs = std::move(refs), refIndex = std::move(refIndex)] {
             return CssRewritten(text, refs, refIndex, false);
         }});
}

void CCompletePage::ResolveRef(Ref& ref, const url::Resolver& resolver, int nDepth)
{
    std::string_view written = Trim(ref.strWritten);
    if (written.empty() || written.front() == '#') {
        return;
    }
    const std::size_t hash = written.find('#');
    if (hash != std::string_view::npos) {
        ref.strFragment = std::string(written.substr(hash));
        written = written.substr(0, hash);
    }
    std::optional<std::string> absolute = resolver.Resolve(written);
    // data:, javascript: and every other scheme stay as written.
    if (!absolute || !markup::IsWebAddress(*absolute)) {
        ref.strFragment.clear();
        return;
    }
    ref.nRequisite = Register(*absolute, ref.bSheet, nDepth);
}

int CCompletePage::Register(const std::string& strAbsolute, bool bSheet, int nDepth)
{
    if (auto it = m_byUrl.find(strAbsolute); it != m_byUrl.end()) {
        return static_cast<int>(it->second);
    }
    Requisite requisite;
    requisite.strUrl = strAbsolute;
    requisite.bStyleSheet = bSheet;
    requisite.nDepth = nDepth;
    // Counted as they come, not by a look over all earlier ones: a page may name 100,000 pictures.
    if ((bSheet && nDepth > kMaxSheetDepth) || m_nToFetch >= kMaxRequisites) {
        requisite.state = Requisite::State::Skipped;
    } else {
        requisite.strFileName = FileNameFor(strAbsolute, bSheet);
        ++m_nToFetch;
    }
    m_requisites.push_back(std::move(requisite));
    m_byUrl.emplace(strAbsolute, m_requisites.size() - 1);
    return static_cast<int>(m_requisites.size() - 1);
}

std::string CCompletePage::FileNameFor(const std::string& strUrl, bool bSheet)
{
    // The last path segment, without query, in plain characters only: whatever the address says, the
    // file stays a plain name inside the resource folder.
    std::string_view path = strUrl;
    path = path.substr(0, path.find_first_of("?#"));
    const std::size_t scheme = path.find("://");
    if (scheme != std::string_view::npos) {
        const std::size_t slash = path.find('/', scheme + 3);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash);
    }
    std::string_view segment = path.substr(path.rfind('/') == std::string_view::npos ? 0 : path.rfind('/') + 1);
    std::string name;
    for (char c : segment) {
        name += (IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_') ? c : '_';
    }
    while (!name.empty() && name.front() == '.') {
        name.front() = '_';
    }
    if (name.empty() || name.find_first_not_of('_') == std::string::npos) {
        name = bSheet ? "style" : "file";
    }
    if (bSheet && !(name.size() > 4 && ascii::EqualsNoCase(std::string_view(name).substr(name.size() - 4), ".css"))) {
        name += ".css";
    }
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        dot = name.size();
    }
    std::string stem = name.substr(0, dot);
    std::string ext = name.substr(dot);
    if (ext.size() > 12) {
        stem += ext;
        ext.clear();
    }
    if (stem.size() > 80) {
        stem.resize(80);
    }
    name = stem + ext;
    if (m_names.count(ascii::ToLower(name)) != 0) {
        // Many files of one name ("image.php?id=…") try the numbers after the last one given.
        int& n = m_nextNumber[ascii::ToLower(name)];
        n = std::max(n, 2);
        do {
            name = stem + "-" + std::to_string(n++) + ext;
        } while (m_names.count(ascii::ToLower(name)) != 0);
    }
    m_names.insert(ascii::ToLower(name));
    return name;
}

std::vector<std::size_t> CCompletePage::Pending() const
{
    std::vector<std::size_t> pending;
    for (std::size_t i = 0; i < m_requisites.size(); ++i) {
        if (m_requisites[i].state == Requisite::State::Pending) {
            pending.push_back(i);
        }
    }
    return pending;
}

void CCompletePage::AddSheet(std::size_t nIndex, std::string_view text)
{
    if (nIndex >= m_requisites.size() || m_sheets.count(nIndex) != 0) {
        return;
    }
    Sheet sheet;
    sheet.nSize = text.size();
    sheet.refs = css::FindReferences(text);
    if (m_refs.size() + sheet.refs.size() > kMaxReferences) {
        return;
    }
    const url::Resolver resolver = markup::ResolverFor(m_requisites[nIndex].strUrl);
    const int nDepth = m_requisites[nIndex].nDepth + 1;
    for (const css::Reference& r : sheet.refs) {
        const int nRef = AddRef(r.strValue, r.kind == css::Reference::Kind::Import);
        ResolveRef(m_refs[static_cast<std::size_t>(nRef)], resolver, nDepth);
        sheet.refIndex.push_back(nRef);
    }
    m_sheets.emplace(nIndex, std::move(sheet));
}

void CCompletePage::SaveInlinePictures(
    const std::function<bool(const std::string& strFileName, std::string_view bytes)>& write)
{
    std::map<std::string, int, std::less<>> done; // per address: its requisite, or -1 when not stored
    for (Ref& ref : m_refs) {
        if (ref.nRequisite >= 0) {
            continue;
        }
        const std::string_view address = Trim(ref.strWritten);
        if (!ascii::StartsWithNoCase(address, "data:image/")) {
            continue;
        }
        if (auto it = done.find(address); it != done.end()) {
            ref.nRequisite = it->second;
            continue;
        }
        int nRequisite = -1;
        std::string bytes;
        std::string ext;
        if (DecodeInlinePicture(address, bytes, ext)) {
            Requisite requisite;
            requisite.strFileName = FileNameFor("picture" + ext, false);
            if (write(requisite.strFileName, bytes)) {
                requisite.strUrl = std::string(address);
                requisite.state = Requisite::State::Saved;
                m_requisites.push_back(std::move(requisite));
                nRequisite = static_cast<int>(m_requisites.size() - 1);
            }
        }
        done.emplace(std::string(address), nRequisite);
        ref.nRequisite = nRequisite;
        ref.strFragment.clear();
    }
}

std::string CCompletePage::Value(int nRef, bool bInSheet) const
{
    const Ref& ref = m_refs[static_cast<std::size_t>(nRef)];
    if (ref.nRequisite < 0) {
        return ref.strWritten;
    }
    const Requisite& requisite = m_requisites[static_cast<std::size_t>(ref.nRequisite)];
    if (requisite.state != Requisite::State::Saved) {
        // Escapes were decoded on the way in: written back raw, "</style>" in a sheet would end it.
        return markup::EscapeAddress(requisite.strUrl + ref.strFragment);
    }
    // A sheet lies in the resource folder beside the files it refers to.
    const std::string local = bInSheet ? requisite.strFileName : m_strRelFolder + "/" + requisite.strFileName;
    return markup::PathAsAddress(local) + markup::EscapeAddress(ref.strFragment);
}

std::string CCompletePage::CssRewritten(std::string_view text,
                                        const std::vector<css::Reference>& refs,
                                        const std::vector<int>& refIndex,
                                        bool bInSheet) const
{
    return css::RewriteReferences(text, refs, [&](const css::Reference& r) -> std::optional<std::string> {
        const int nRef = refIndex[static_cast<std::size_t>(&r - refs.data())];
        if (nRef < 0 || m_refs[static_cast<std::size_t>(nRef)].nRequisite < 0) {
            return std::nullopt;
        }
        return Value(nRef, bInSheet);
    });
}

std::string CCompletePage::Rewritten() const
{
    std::string out;
    out.reserve(m_strPage.size() + m_strPage.size() / 8);
    std::size_t from = 0;
    for (const Edit& edit : m_edits) {
        if (edit.nBegin < from) {
            continue;
        }
        out.append(m_strPage, from, edit.nBegin - from);
        out += edit.make();
        from = edit.nEnd;
    }
    out.append(m_strPage, from, std::string::npos);
    return out;
}

std::string CCompletePage::RewrittenSheet(std::size_t nIndex, std::string_view original) const
{
    auto it = m_sheets.find(nIndex);
    if (it == m_sheets.end() || it->second.nSize != original.size()) {
        return std::string();
    }
    const Sheet& sheet = it->second;
    std::string text = CssRewritten(original, sheet.refs, sheet.refIndex, true);
    // A saved sheet is read from disk with no header to name its encoding; without a label the browser
    // would read it in the page's code page.
    if (!ascii::StartsWithNoCase(text, "@charset") && text.compare(0, 3, "\xEF\xBB\xBF") != 0 &&
        IsUtf8WithHighBytes(text)) {
        text = "@charset \"UTF-8\";\n" + text;
    }
    return text;
}
