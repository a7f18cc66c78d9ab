#include "CodePage.h"

#include <cerrno>
#include <vector>

#include <iconv.h>

#include "download/AsciiText.h"

namespace codepage
{
namespace
{

// Converts with iconv; on an invalid or unrepresentable input sequence calls onBad(in, left, out)
// which must consume input and may append output. Returns the converted text.
template <typename OnBad> std::string convert(const char* to, const char* from, std::string_view input, OnBad onBad)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return {};
    }
    std::string out;
    out.reserve(input.size() + input.size() / 2 + 16);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    std::vector<char> chunk(64 * 1024);
    while (inLeft > 0) {
        char* outPtr = chunk.data();
        size_t outLeft = chunk.size();
        size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(chunk.data(), chunk.size() - outLeft);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) {
                continue;
            }
            // EILSEQ or EINVAL (truncated sequence at the end).
            onBad(in, inLeft, out);
        }
    }
    // Flush any shift state.
    char* outPtr = chunk.data();
    size_t outLeft = chunk.size();
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(chunk.data(), chunk.size() - outLeft);
    iconv_close(cd);
    return out;
}

// Length of the UTF-8 sequence starting at p (1 for an invalid lead byte), bounded by left. Overlong
// forms, surrogates and code points past U+10FFFF are invalid, as no converter accepts them.
size_t utf8SequenceLength(const unsigned char* p, size_t left)
{
    unsigned char c = p[0];
    size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
    if (n > left || c == 0xC0 || c == 0xC1 || c > 0xF4) {
        return 1;
    }
    for (size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return 1;
        }
    }
    if ((c == 0xE0 && p[1] < 0xA0) || (c == 0xED && p[1] > 0x9F) || (c == 0xF0 && p[1] < 0x90) ||
        (c == 0xF4 && p[1] > 0x8F)) {
        return 1;
    }
    return n;
}

unsigned decodeUtf8(const unsigned char* p, size_t n)
{
    switch (n) {
    case 2:
        return ((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu);
    case 3:
        return ((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
    case 4:
        return ((p[0] & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
    default:
        return p[0];
    }
}

const char kReplacementUtf8[] = "\xEF\xBF\xBD";

} // namespace

void AppendUtf8(std::string& out, std::uint32_t code)
{
    if (code == 0 || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        code = 0xFFFD;
    }
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool IsValidUtf8(std::string_view text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    size_t left = text.size();
    while (left > 0) {
        size_t n = utf8SequenceLength(p, left);
        if (n == 1 && p[0] >= 0x80) {
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

std::string PageTextToUtf8(std::string_view text)
{
    return IsValidUtf8(text) ? std::string(text) : Gb18030ToUtf8(text);
}

bool CharsetToUtf8(std::string_view text, const std::string& charset, std::string& out)
{
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    iconv_close(cd);
    out = convert("UTF-8", charset.c_str(), text, [](char*& in, size_t& left, std::string& converted) {
        converted += kReplacementUtf8;
        ++in;
        --left;
    });
    return true;
}

std::string DeclaredCharset(std::string_view page)
{
    const std::string head = ascii::ToLower(page.substr(0, 4096));
    for (std::size_t at = head.find("charset"); at != std::string::npos; at = head.find("charset", at + 7)) {
        std::size_t i = at + 7;
        while (i < head.size() && (head[i] == ' ' || head[i] == '\t')) {
            ++i;
        }
        if (i >= head.size() || head[i] != '=') {
            continue;
        }
        ++i;
        while (i < head.size() && (head[i] == ' ' || head[i] == '\t' || head[i] == '"' || head[i] == '\'')) {
            ++i;
        }
        std::size_t end = i;
        while (end < head.size() && ((head[end] >= 'a' && head[end] <= 'z') || (head[end] >= '0' && head[end] <= '9') ||
                                     head[end] == '-' || head[end] == '_' || head[end] == '.' || head[end] == ':')) {
            ++end;
        }
        if (end > i) {
            return head.substr(i, end - i);
        }
    }
    return {};
}

std::string LabelledTextToUtf8(std::string_view text, const std::string& label)
{
    if (label.empty() || label == "utf-8" || label == "utf8") {
        return PageTextToUtf8(text);
    }
    if (label == "gb2312" || label == "gbk" || label == "gb18030" || label == "x-gbk" || label == "cp936" ||
        label == "euc-cn" || label == "x-euc-cn") {
        return Gb18030ToUtf8(text);
    }
    std::string out;
    const bool bLatin = label == "iso-8859-1" || label == "latin1" || label == "us-ascii" || label == "ascii";
    if (CharsetToUtf8(text, bLatin ? "WINDOWS-1252" : label, out)) {
        return out;
    }
    return PageTextToUtf8(text);
}

std::string Utf8ToGb18030(std::string_view utf8)
{
    return convert("GB18030", "UTF-8", utf8, [](char*& in, size_t& left, std::string& out) {
        // An invalid UTF-8 byte: GB18030 can encode U+FFFD, so write it and skip the byte.
        out += "\x84\x31\xA4\x37";
        ++in;
        --left;
    });
}

std::string Gb18030ToUtf8(std::string_view gb)
{
    return convert("UTF-8", "GB18030", gb, [](char*& in, size_t& left, std::string& out) {
        // Code page 936 writes the euro sign as the single byte 0x80, which GB18030 leaves undefined.
        out += static_cast<unsigned char>(*in) == 0x80 ? "\xE2\x82\xAC" : kReplacementUtf8;
        ++in;
        --left;
    });
}

std::string Cp936ToUtf8(std::string_view cp936)
{
    return convert("UTF-8", "CP936", cp936, [](char*& in, size_t& left, std::string& out) {
        out += kReplacementUtf8;
        ++in;
        --left;
    });
}

std::string Utf16LeToUtf8(std::string_view utf16le)
{
    return convert("UTF-8", "UTF-16LE", utf16le, [](char*& in, size_t& left, std::string& out) {
        out += kReplacementUtf8;
        size_t step = left >= 2 ? 2 : left;
        in += step;
        left -= step;
    });
}

std::string Utf8ToCp936WithReferences(std::string_view utf8)
{
    return convert("CP936", "UTF-8", utf8, [](char*& in, size_t& left, std::string& out) {
        const auto* p = reinterpret_cast<const unsigned char*>(in);
        size_t n = utf8SequenceLength(p, left);
        unsigned code = (n == 1 && p[0] >= 0x80) ? 0xFFFDu : decodeUtf8(p, n);
        out += "&#" + std::to_string(code) + ";";
        in += n;
        left -= n;
    });
}

} // namespace codepage
