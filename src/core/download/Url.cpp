#include "download/Url.h"

#include <algorithm>

namespace url
{

namespace
{

bool IsAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The scheme of an address: a letter, then letters, digits, "+", "-" or ".", then ":".
// Returns its length, 0 when the text does not start with one.
std::size_t SchemeLength(std::string_view s)
{
    if (s.empty() || !IsAlpha(s[0])) {
        return 0;
    }
    for (std::size_t i = 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == ':') {
            return i;
        }
        if (!IsAlpha(c) && !IsDigit(c) && c != '+' && c != '-' && c != '.') {
            return 0;
        }
    }
    return 0;
}

// Index of the first "/", "?" or "#" (the end of an authority), or s.size().
std::size_t AuthorityEnd(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && s[i] != '/' && s[i] != '?' && s[i] != '#') {
        ++i;
    }
    return i;
}

// One address in its five parts; an undefined part differs from an empty one ("a?" has an empty query).
struct Reference
{
    std::string_view scheme, authority, path, query, fragment;
    bool hasScheme = false, hasAuthority = false, hasQuery = false, hasFragment = false;
};

Reference Parse(std::string_view s)
{
    Reference r;
    if (std::size_t n = SchemeLength(s)) {
        r.scheme = s.substr(0, n);
        r.hasScheme = true;
        s.remove_prefix(n + 1);
    }
    if (s.size() >= 2 && s[0] == '/' && s[1] == '/') {
        s.remove_prefix(2);
        std::size_t end = AuthorityEnd(s);
        r.authority = s.substr(0, end);
        r.hasAuthority = true;
        s.remove_prefix(end);
    }
    std::size_t hash = s.find('#');
    if (hash != std::string_view::npos) {
        r.fragment = s.substr(hash + 1);
        r.hasFragment = true;
        s = s.substr(0, hash);
    }
    std::size_t question = s.find('?');
    if (question != std::string_view::npos) {
        r.query = s.substr(question + 1);
        r.hasQuery = true;
        s = s.substr(0, question);
    }
    r.path = s;
    return r;
}

bool StartsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

// Drops the last segment of out together with the "/" before it.
void PopSegment(std::string& out)
{
    std::size_t slash = out.rfind('/');
    out.erase(slash == std::string::npos ? 0 : slash);
}

std::string RemoveDotSegments(std::string_view in)
{
    std::string out;
    out.reserve(in.size());
    while (!in.empty()) {
        if (StartsWith(in, "../")) {
            in.remove_prefix(3);
        } else if (StartsWith(in, "./")) {
            in.remove_prefix(2);
        } else if (StartsWith(in, "/./")) {
            in.remove_prefix(2);
        } else if (in == "/.") {
            in = "/";
        } else if (StartsWith(in, "/../")) {
            in.remove_prefix(3);
            PopSegment(out);
        } else if (in == "/..") {
            in = "/";
            PopSegment(out);
        } else if (in == "." || in == "..") {
            in = {};
        } else {
            std::size_t end = in.find('/', 1);
            if (end == std::string_view::npos) {
                end = in.size();
            }
            out.append(in.substr(0, end));
            in.remove_prefix(end);
        }
    }
    return out;
}

// Whether a path has a "." or ".." segment for RemoveDotSegments to take out. Most paths have none.
bool HasDotSegment(std::string_view path)
{
    for (std::size_t i = path.find('.'); i != std::string_view::npos; i = path.find('.', i + 1)) {
        if (i > 0 && path[i - 1] != '/') {
            continue;
        }
        std::size_t after = (i + 1 < path.size() && path[i + 1] == '.') ? i + 2 : i + 1;
        if (after == path.size() || path[after] == '/') {
            return true;
        }
    }
    return false;
}

// Appends a path written as head + tail, without its dot segments.
void AppendPath(std::string& out, std::string_view head, std::string_view tail)
{
    const std::size_t start = out.size();
    out.append(head).append(tail);
    std::string_view path = std::string_view(out).substr(start);
    if (HasDotSegment(path)) {
        std::string clean = RemoveDotSegments(path);
        out.resize(start);
        out.append(clean);
    }
}

} // namespace

SplitUrl Split(std::string_view address)
{
    SplitUrl parts;
    std::size_t n = SchemeLength(address);
    if (n == 0 || address.substr(n + 1, 2) != "//") {
        return parts;
    }
    parts.scheme = address.substr(0, n);
    std::string_view rest = address.substr(n + 3);
    std::size_t authorityEnd = AuthorityEnd(rest);
    std::string_view authority = rest.substr(0, authorityEnd);
    rest.remove_prefix(authorityEnd);

    std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        std::string_view userInfo = authority.substr(0, at);
        std::size_t colon = userInfo.find(':');
        parts.user = userInfo.substr(0, colon);
        if (colon != std::string_view::npos) {
            parts.password = userInfo.substr(colon + 1);
        }
        authority.remove_prefix(at + 1);
    }
    std::size_t hostEnd = 0;
    if (!authority.empty() && authority[0] == '[') {
        hostEnd = authority.find(']');
        if (hostEnd == std::string_view::npos) {
            return parts;
        }
        ++hostEnd;
    } else {
        hostEnd = std::min(authority.find(':'), authority.size());
    }
    parts.host = authority.substr(0, hostEnd);
    authority.remove_prefix(hostEnd);
    if (!authority.empty()) {
        if (authority[0] != ':') {
            return parts;
        }
        for (char c : authority.substr(1)) {
            if (!IsDigit(c)) {
                return parts;
            }
        }
        parts.port = authority.substr(1);
    }
    parts.path = rest.substr(0, rest.find('#'));
    parts.ok = true;
    return parts;
}

namespace
{

// A tab or line break has no place in an address, and a tab would split the page record the address
// travels in: each is escaped as the bytes it stands for.
void escapeLineControls(std::string& address)
{
    if (address.find_first_of("\t\r\n") == std::string::npos) {
        return;
    }
    std::string escaped;
    escaped.reserve(address.size() + 8);
    for (char c : address) {
        if (c == '\t') {
            escaped += "%09";
        } else if (c == '\n') {
            escaped += "%0A";
        } else if (c == '\r') {
            escaped += "%0D";
        } else {
            escaped.push_back(c);
        }
    }
    address = std::move(escaped);
}

// Resolves relative against a base already taken apart; pBase is null when there is no usable base.
std::optional<std::string> Resolve(const Reference* pBase, std::string_view relative)
{
    const Reference r = Parse(relative);
    if (!r.hasScheme && pBase == nullptr) {
        return std::nullopt;
    }
    const Reference& b = r.hasScheme ? r : *pBase;

    std::string result;
    result.reserve(b.scheme.size() + b.authority.size() + b.path.size() + relative.size() + 6);
    const Reference& top = r.hasScheme ? r : b;
    result.append(top.scheme).append(1, ':');
    std::string_view query = r.query;
    bool hasQuery = r.hasQuery;
    if (r.hasScheme || r.hasAuthority) {
        if (r.hasAuthority) {
            result.append("//").append(r.authority);
        }
        AppendPath(result, r.path, {});
    } else {
        if (b.hasAuthority) {
            result.append("//").append(b.authority);
        }
        if (r.path.empty()) {
            result.append(b.path);
            if (!r.hasQuery) {
                query = b.query;
                hasQuery = b.hasQuery;
            }
        } else if (r.path[0] == '/') {
            AppendPath(result, r.path, {});
        } else if (b.hasAuthority && b.path.empty()) {
            AppendPath(result, "/", r.path);
        } else {
            std::size_t slash = b.path.rfind('/');
            AppendPath(result, slash == std::string_view::npos ? std::string_view() : b.path.substr(0, slash + 1),
                       r.path);
        }
    }
    if (hasQuery) {
        result.append(1, '?').append(query);
    }
    if (r.hasFragment) {
        result.append(1, '#').append(r.fragment);
    }
    escapeLineControls(result);
    if (result.size() > kMaxAddressLength) {
        return std::nullopt;
    }
    return result;
}

} // namespace

std::optional<std::string> Combine(std::string_view base, std::string_view relative)
{
    const Reference b = Parse(base);
    return Resolve(b.hasScheme ? &b : nullptr, relative);
}

Resolver::Resolver(std::string_view base)
{
    const Reference b = Parse(base);
    if (!b.hasScheme) {
        return;
    }
    m_bValid = true;
    m_strScheme = b.scheme;
    m_strAuthority = b.authority;
    m_bAuthority = b.hasAuthority;
    m_strPath = b.path;
    m_strQuery = b.query;
    m_bQuery = b.hasQuery;
}

std::optional<std::string> Resolver::Resolve(std::string_view relative) const
{
    if (!m_bValid) {
        return url::Resolve(nullptr, relative);
    }
    Reference b;
    b.scheme = m_strScheme;
    b.hasScheme = true;
    b.authority = m_strAuthority;
    b.hasAuthority = m_bAuthority;
    b.path = m_strPath;
    b.query = m_strQuery;
    b.hasQuery = m_bQuery;
    return url::Resolve(&b, relative);
}

} // namespace url
