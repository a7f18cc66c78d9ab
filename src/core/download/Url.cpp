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
        std::size_t end = s.find_first_of("/?#");
        r.authority = s.substr(0, end);
        r.hasAuthority = true;
        s.remove_prefix(end == std::string_view::npos ? s.size() : end);
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
    std::size_t authorityEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authorityEnd);
    rest.remove_prefix(authorityEnd == std::string_view::npos ? rest.size() : authorityEnd);

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

std::optional<std::string> Combine(std::string_view base, std::string_view relative)
{
    Reference r = Parse(relative);
    Reference b;
    if (!r.hasScheme) {
        b = Parse(base);
        if (!b.hasScheme) {
            return std::nullopt;
        }
    }

    std::string_view scheme, authority, query;
    bool hasAuthority = false, hasQuery = false;
    std::string path;
    if (r.hasScheme) {
        scheme = r.scheme;
        authority = r.authority;
        hasAuthority = r.hasAuthority;
        path = RemoveDotSegments(r.path);
        query = r.query;
        hasQuery = r.hasQuery;
    } else {
        scheme = b.scheme;
        if (r.hasAuthority) {
            authority = r.authority;
            hasAuthority = true;
            path = RemoveDotSegments(r.path);
            query = r.query;
            hasQuery = r.hasQuery;
        } else {
            authority = b.authority;
            hasAuthority = b.hasAuthority;
            if (r.path.empty()) {
                path = b.path;
                query = r.hasQuery ? r.query : b.query;
                hasQuery = r.hasQuery || b.hasQuery;
            } else {
                if (r.path[0] == '/') {
                    path = RemoveDotSegments(r.path);
                } else {
                    std::string merged;
                    if (b.hasAuthority && b.path.empty()) {
                        merged = "/";
                    } else {
                        std::size_t slash = b.path.rfind('/');
                        if (slash != std::string_view::npos) {
                            merged = b.path.substr(0, slash + 1);
                        }
                    }
                    merged.append(r.path);
                    path = RemoveDotSegments(merged);
                }
                query = r.query;
                hasQuery = r.hasQuery;
            }
        }
    }

    std::string result;
    result.reserve(scheme.size() + authority.size() + path.size() + query.size() + r.fragment.size() + 6);
    result.append(scheme).append(1, ':');
    if (hasAuthority) {
        result.append("//").append(authority);
    }
    result.append(path);
    if (hasQuery) {
        result.append(1, '?').append(query);
    }
    if (r.hasFragment) {
        result.append(1, '#').append(r.fragment);
    }
    if (result.size() > kMaxAddressLength) {
        return std::nullopt;
    }
    return result;
}

} // namespace url
