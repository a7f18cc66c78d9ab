#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Builds favorites order records byte by byte, damaged ones included.
namespace orderbytes
{
inline void put(std::string& out, std::uint32_t value, int nBytes)
{
    for (int i = 0; i < nBytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// One entry with an 8-bit name (or, when wide, the name's ASCII letters as UTF-16). nSize 0 means the
// entry's real length.
inline std::string entry(std::uint32_t nPosition,
                         std::uint16_t nAttributes,
                         const std::string& name,
                         bool bWide = false,
                         std::uint32_t nSize = 0)
{
    std::string body;
    put(body, nPosition, 4);
    put(body, 0, 2);
    put(body, bWide ? 0x04 : 0, 2);
    put(body, 0, 4);
    put(body, 0, 2);
    put(body, 0, 2);
    put(body, nAttributes, 2);
    for (const char c : name) {
        body += c;
        if (bWide) {
            body += '\0';
        }
    }
    body.append(bWide ? 2 : 1, '\0');
    body += "8.3NAME";
    body += '\0';
    std::string out;
    put(out, nSize != 0 ? nSize : static_cast<std::uint32_t>(body.size() + 4), 4);
    return out + body;
}

inline std::string record(std::uint32_t nCount, const std::vector<std::string>& entries)
{
    std::string out(8, '\0');
    put(out, 1, 4);
    put(out, 2, 4);
    put(out, nCount, 4);
    for (const std::string& e : entries) {
        out += e;
    }
    return out;
}

inline std::string record(const std::vector<std::string>& entries)
{
    return record(static_cast<std::uint32_t>(entries.size()), entries);
}
} // namespace orderbytes
