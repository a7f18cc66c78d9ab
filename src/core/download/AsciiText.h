#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Letter case of the ASCII letters only: markup, schemes and labels are ASCII, and a byte of a
// multibyte character is never changed whatever the process's locale.
namespace ascii
{

inline char ToLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string ToLower(std::string_view s)
{
    std::string out(s);
    for (char& c : out) {
        c = ToLower(c);
    }
    return out;
}

// prefix is written in lower case.
inline bool StartsWithNoCase(std::string_view s, std::string_view prefix)
{
    if (s.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (ToLower(s[i]) != prefix[i]) {
            return false;
        }
    }
    return true;
}

inline bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ToLower(a[i]) != ToLower(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace ascii
