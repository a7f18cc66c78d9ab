#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Splitting and resolving web addresses (RFC 3986), byte for byte: nothing is decoded, encoded or
// escaped, so an address keeps exactly the characters the page wrote.
namespace url
{

// The longest absolute address we resolve to; a longer one is not used.
constexpr std::size_t kMaxAddressLength = 1000;

struct SplitUrl
{
    std::string scheme;   // as written ("HTTP" stays "HTTP")
    std::string user;     // user name, when the address carries one
    std::string password; // password, when the address carries one
    std::string host;     // IPv6 literals keep their brackets
    std::string port;     // digits as written; empty when none
    std::string path;     // path with its query ("/a/b.html?x=1"), fragment left out; may be empty
    bool ok = false;      // false: no scheme, no "//" authority, or a port that is not a number
};

// Splits "scheme://[user[:password]@]host[:port][/path][?query][#fragment]".
SplitUrl Split(std::string_view address);

// Resolves relative against base (RFC 3986 section 5.2): dot segments are removed, nothing is
// escaped but a tab or line break ("%09", "%0A", "%0D"), which no address may hold. nullopt when the result would be
// longer than kMaxAddressLength, or when relative has no scheme and base cannot serve as a base (it has none either).
std::optional<std::string> Combine(std::string_view base, std::string_view relative);

// A base address taken apart once, for resolving many references against it: Resolve(relative)
// gives what Combine(base, relative) gives.
class Resolver
{
public:
    Resolver() = default; // no base: only absolute references resolve
    explicit Resolver(std::string_view base);
    std::optional<std::string> Resolve(std::string_view relative) const;

private:
    std::string m_strScheme, m_strAuthority, m_strPath, m_strQuery;
    bool m_bValid = false, m_bAuthority = false, m_bQuery = false;
};

} // namespace url
