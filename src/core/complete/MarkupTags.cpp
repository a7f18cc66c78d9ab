#include "complete/MarkupTags.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <utility>

#include "download/AsciiText.h"
#include "download/PageScanner.h"
#include "platform/CodePage.h"

namespace markup
{

namespace
{

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr std::string_view kRawTextTags[] = {"script", "style",   "textarea", "title",   "xmp",
                                             "iframe", "noembed", "noframes", "noscript"};

bool IsRawText(const std::string& name, RawText rawText)
{
    if (rawText == RawText::None) {
        return false;
    }
    const auto end = rawText == RawText::Scripting ? std::end(kRawTextTags) : std::end(kRawTextTags) - 1;
    return std::find(std::begin(kRawTextTags), end, name) != end;
}

// One past the end of the comment whose "<!--" is at lt, as a browser ends it: "<!-->" and "<!--->"
// are whole comments, and "--!>" ends one as "-->" does. npos when the text ends inside it.
std::size_t CommentEnd(std::string_view t, std::size_t lt)
{
    for (std::size_t p = t.find("--", lt + 2); p != std::string_view::npos; p = t.find("--", p + 1)) {
        if (p + 2 < t.size() && t[p + 2] == '>') {
            return p + 3;
        }
        if (p > lt + 2 && p + 3 < t.size() && t[p + 2] == '!' && t[p + 3] == '>') {
            return p + 4;
        }
    }
    return std::string_view::npos;
}

// Reads the start tag whose "<" is at lt, the way browsers read it: quoted values may hold ">" and
// blanks, and either quote. False when the text ends before the tag does.
bool ReadTag(std::string_view t, std::size_t lt, Tag& tag)
{
    std::size_t p = lt + 1;
    while (p < t.size() && !IsSpace(t[p]) && t[p] != '/' && t[p] != '>') {
        ++p;
    }
    tag.name = ascii::ToLower(t.substr(lt + 1, p - lt - 1));
    tag.nBegin = lt;
    tag.nNameEnd = p;
    for (;;) {
        const std::size_t lead = p;
        while (p < t.size() && (IsSpace(t[p]) || t[p] == '/')) {
            ++p;
        }
        if (p >= t.size()) {
            return false;
        }
        if (t[p] == '>') {
            tag.nEnd = p + 1;
            return true;
        }
        Attr attr;
        attr.nLead = lead;
        attr.nBegin = p;
        ++p; // a name may start with "="
        while (p < t.size() && !IsSpace(t[p]) && t[p] != '/' && t[p] != '>' && t[p] != '=') {
            ++p;
        }
        attr.name = ascii::ToLower(t.substr(attr.nBegin, p - attr.nBegin));
        std::size_t q = p;
        while (q < t.size() && IsSpace(t[q])) {
            ++q;
        }
        if (q < t.size() && t[q] == '=') {
            ++q;
            while (q < t.size() && IsSpace(t[q])) {
                ++q;
            }
            if (q >= t.size()) {
                return false;
            }
            attr.bValue = true;
            if (t[q] == '"' || t[q] == '\'') {
                const std::size_t close = t.find(t[q], q + 1);
                if (close == std::string_view::npos) {
                    return false;
                }
                attr.value = DecodeEntities(t.substr(q + 1, close - q - 1));
                p = close + 1;
            } else {
                const std::size_t begin = q;
                while (q < t.size() && !IsSpace(t[q]) && t[q] != '>') {
                    ++q;
                }
                attr.value = DecodeEntities(t.substr(begin, q - begin));
                p = q;
            }
        }
        attr.nEnd = p;
        tag.attrs.push_back(std::move(attr));
    }
}

} // namespace

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsSpace(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsSpace(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// The character references an address or a style attribute may hold; others stay as written.
std::string DecodeEntities(std::string_view s)
{
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''},
    };
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        std::string_view rest = s.substr(i + 1);
        bool bDone = false;
        for (const auto& [name, c] : kNamed) {
            if (ascii::StartsWithNoCase(rest, name)) {
                out += c;
                i += name.size();
                bDone = true;
                break;
            }
        }
        if (!bDone && !rest.empty() && rest[0] == '#') {
            const bool bHex = rest.size() > 1 && (rest[1] == 'x' || rest[1] == 'X');
            std::size_t k = bHex ? 2 : 1;
            std::uint32_t cp = 0;
            std::size_t nDigits = 0;
            // A browser reads any number of leading zeros: "&#0000000106;" is a "j" too.
            while (k + 1 < rest.size() && rest[k] == '0' && rest[k + 1] >= '0' &&
                   (rest[k + 1] <= '9' || (bHex && std::isxdigit(static_cast<unsigned char>(rest[k + 1]))))) {
                ++k;
            }
            for (; k < rest.size() && nDigits < 8; ++k, ++nDigits) {
                const char c = rest[k];
                int v = -1;
                if (c >= '0' && c <= '9') {
                    v = c - '0';
                } else if (bHex && c >= 'a' && c <= 'f') {
                    v = c - 'a' + 10;
                } else if (bHex && c >= 'A' && c <= 'F') {
                    v = c - 'A' + 10;
                }
                if (v < 0) {
                    break;
                }
                cp = cp * (bHex ? 16 : 10) + static_cast<std::uint32_t>(v);
            }
            if (nDigits > 0) {
                if (k < rest.size() && rest[k] == ';') {
                    ++k;
                }
                codepage::AppendUtf8(out, cp);
                i += k;
                bDone = true;
            }
        }
        if (!bDone) {
            out += '&';
        }
    }
    return out;
}

// A value written into a double-quoted attribute; "<" and ">" are written as references too, so no
// reading of the page can take a decoded value for markup.
std::string AttributeText(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c == '&') {
            out += "&amp;";
        } else if (c == '"') {
            out += "&quot;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else {
            out += c;
        }
    }
    return out;
}

// A local path as an address: every byte outside the plain ones escaped, so names with spaces, "#",
// "%" or non-ASCII letters still lead to their file.
std::string PathAsAddress(std::string_view path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (IsAsciiLetter(c) || (c >= '0' && c <= '9') ||
            std::string_view("-._~!$&'()*+,;=:@/").find(c) != std::string_view::npos) {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out;
}

std::string EscapeAddress(std::string_view address)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(address.size());
    for (char c : address) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F || std::string_view("\"'<>`\\").find(c) != std::string_view::npos) {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

bool IsWebAddress(std::string_view address)
{
    return ascii::StartsWithNoCase(address, "http://") || ascii::StartsWithNoCase(address, "https://");
}

// Resolves against the page's scheme, host, port and path; a user name and password are not passed on.
url::Resolver ResolverFor(const std::string& strBase)
{
    url::SplitUrl parts = url::Split(strBase);
    if (!parts.ok) {
        return url::Resolver();
    }
    std::string base = ascii::ToLower(parts.scheme) + "://" + parts.host;
    if (!parts.port.empty()) {
        base += ":" + parts.port;
    }
    return url::Resolver(base + parts.path);
}

std::string DocumentBase(std::string_view page, const std::string& strPageUrl)
{
    std::optional<std::string> href;
    ForEachTag(page, [&](Tag& tag) {
        if (!href && tag.name == "base") {
            href = tag.Value("href");
        }
    });
    if (href) {
        if (auto resolved = ResolverFor(strPageUrl).Resolve(Trim(*href)); resolved && IsWebAddress(*resolved)) {
            return *resolved;
        }
    }
    return strPageUrl;
}

const Attr* Tag::Find(std::string_view attrName) const
{
    for (const Attr& a : attrs) {
        if (a.name == attrName) {
            return &a;
        }
    }
    return nullptr;
}

std::optional<std::string> Tag::Value(std::string_view attrName) const
{
    const Attr* a = Find(attrName);
    if (!a || Trim(a->value).empty()) {
        return std::nullopt;
    }
    return a->value;
}

void ForEachTag(std::string_view t,
                const std::function<void(Tag&)>& onTag,
                const std::function<void(std::size_t, std::size_t)>& onStyle,
                RawText rawText)
{
    std::size_t i = 0;
    while (i < t.size()) {
        const std::size_t lt = t.find('<', i);
        if (lt == std::string_view::npos || lt + 1 >= t.size()) {
            return;
        }
        if (t.compare(lt, 4, "<!--") == 0) {
            const std::size_t end = CommentEnd(t, lt);
            if (end == std::string_view::npos) {
                return;
            }
            i = end;
            continue;
        }
        const char next = t[lt + 1];
        if (next == '!' || next == '?' || next == '/') {
            const std::size_t gt = t.find('>', lt + 2);
            if (gt == std::string_view::npos) {
                return;
            }
            i = gt + 1;
            continue;
        }
        if (!IsAsciiLetter(next)) {
            i = lt + 1;
            continue;
        }
        Tag tag;
        if (!ReadTag(t, lt, tag)) {
            return;
        }
        onTag(tag);
        i = tag.nEnd;
        if (IsRawText(tag.name, rawText)) {
            // Nothing inside a script or style block is a tag.
            const std::ptrdiff_t close = CPageScanner::FindNoCase(t, "</" + tag.name, tag.nEnd);
            const std::size_t end = close < 0 ? t.size() : static_cast<std::size_t>(close);
            if (tag.name == "style" && onStyle) {
                onStyle(tag.nEnd, end);
            }
            if (close < 0) {
                return;
            }
            i = end;
        }
    }
}

} // namespace markup
