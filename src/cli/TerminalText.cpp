#include <cstdio>
#include <string>

#include "Commands.h"

std::string TerminalSafe(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        char escaped[8] = {};
        if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080 to U+009F: control characters that some terminals obey (U+009B starts a command).
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned char>(text[++i]));
            out += escaped;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}
