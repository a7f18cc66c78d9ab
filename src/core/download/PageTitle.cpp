#include "PageTitle.h"

#include <cstdint>
#include <utility>

#include "platform/CodePage.h"

namespace
{

// The named references pages put in titles, by their code points.
constexpr std::pair<std::string_view, char32_t> kNamed[] = {
    {"amp", U'&'},     {"lt", U'<'},      {"gt", U'>'},      {"quot", U'"'},    {"apos", U'\''},    {"nbsp", 0xA0},
    {"copy", 0xA9},    {"reg", 0xAE},     {"trade", 0x2122}, {"middot", 0xB7},  {"hellip", 0x2026}, {"mdash", 0x2014},
    {"ndash", 0x2013}, {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"ldquo", 0x201C}, {"rdquo", 0x201D},  {"laquo", 0xAB},
    {"raquo", 0xBB},   {"times", 0xD7},   {"divide", 0xF7},  {"deg", 0xB0},     {"plusmn", 0xB1},   {"sect", 0xA7},
    {"para", 0xB6},    {"bull", 0x2022},  {"ensp", 0x2002},  {"emsp", 0x2003},  {"thinsp", 0x2009}, {"yen", 0xA5},
    {"euro", 0x20AC},  {"pound", 0xA3},   {"cent", 0xA2},    {"iexcl", 0xA1},   {"iquest", 0xBF},   {"larr", 0x2190},
    {"rarr", 0x2192},  {"uarr", 0x2191},  {"darr", 0x2193},  {"shy", 0xAD},
};

// The character of the reference body between "&" and ";" ("#160", "#xA0", "nbsp"); 0 when none.
char32_t ReferencedCharacter(std::string_view body)
{
    if (body.size() >= 2 && body[0] == '#') {
        const bool bHex = body[1] == 'x' || body[1] == 'X';
        std::string_view digits = body.substr(bHex ? 2 : 1);
        if (digits.empty() || digits.size() > 8) {
            return 0;
        }
        std::uint32_t n = 0;
        for (char c : digits) {
            int d = -1;
            if (c >= '0' && c <= '9') {
                d = c - '0';
            } else if (bHex && c >= 'a' && c <= 'f') {
                d = c - 'a' + 10;
            } else if (bHex && c >= 'A' && c <= 'F') {
                d = c - 'A' + 10;
            }
            if (d < 0) {
                return 0;
            }
            n = n * (bHex ? 16 : 10) + static_cast<std::uint32_t>(d);
        }
        if (n == 0 || n > 0x10FFFF || (n >= 0xD800 && n <= 0xDFFF)) {
            return 0;
        }
        return n;
    }
    for (const auto& [name, c] : kNamed) {
        if (body == name) {
            return c;
        }
    }
    return 0;
}

} // namespace

std::string DecodeCharacterReferences(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t amp = text.find('&', pos);
        if (amp == std::string_view::npos) {
            break;
        }
        out.append(text, pos, amp - pos);
        // Reference bodies are short; a longer run before ";" is plain text.
        const size_t semi = text.find(';', amp + 1);
        const char32_t c = semi != std::string_view::npos && semi - amp <= 12
                               ? ReferencedCharacter(text.substr(amp + 1, semi - amp - 1))
                               : 0;
        if (c == 0) {
            out += '&';
            pos = amp + 1;
            continue;
        }
        codepage::AppendUtf8(out, c);
        pos = semi + 1;
    }
    out.append(text.substr(std::min(pos, text.size())));
    return out;
}

std::string PageTitleText(std::string_view title)
{
    return PageTitleText(title, {});
}

std::string PageTitleText(std::string_view title, std::string_view page)
{
    std::string text = DecodeCharacterReferences(codepage::LabelledTextToUtf8(title, codepage::DeclaredCharset(page)));
    for (char& c : text) {
        if ((static_cast<unsigned char>(c) < 0x20) || c == 0x7F) {
            c = ' ';
        }
    }
    return text;
}

std::string EscapeMarkupText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}
