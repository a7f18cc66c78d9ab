#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

// A gzip stream of stored (uncompressed) deflate blocks: a real Content-Encoding a client must undo,
// made without a compression library.
inline std::string GzipStored(const std::string& data)
{
    auto le32 = [](std::string& out, std::uint32_t n) {
        for (int i = 0; i < 4; ++i) {
            out += static_cast<char>((n >> (8 * i)) & 0xFF);
        }
    };
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    std::string out("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
    size_t pos = 0;
    do {
        const size_t n = std::min<size_t>(65535, data.size() - pos);
        out += static_cast<char>(pos + n == data.size() ? 1 : 0);
        out += static_cast<char>(n & 0xFF);
        out += static_cast<char>(n >> 8);
        out += static_cast<char>(~n & 0xFF);
        out += static_cast<char>((~n >> 8) & 0xFF);
        out.append(data, pos, n);
        pos += n;
    } while (pos < data.size());
    le32(out, ~crc);
    le32(out, static_cast<std::uint32_t>(data.size()));
    return out;
}
