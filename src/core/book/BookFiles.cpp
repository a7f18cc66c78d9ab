#include "BookFiles.h"

#include "download/AsciiText.h"
#include "platform/CodePage.h"

namespace book
{
namespace
{

// The label after the first "charset" in the page's head ("gb2312", "utf-8"), in lower case.
std::string declaredCharset(std::string_view bytes)
{
    const std::string head = ascii::ToLower(bytes.substr(0, 4096));
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

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWithNoCase(const std::string& name, std::string_view suffix)
{
    return name.size() >= suffix.size() &&
           ascii::EqualsNoCase(std::string_view(name).substr(name.size() - suffix.size()), suffix);
}

} // namespace

std::string DecodePage(std::string_view bytes)
{
    if (startsWith(bytes, "\xEF\xBB\xBF")) {
        return codepage::PageTextToUtf8(bytes.substr(3));
    }
    std::string out;
    if (startsWith(bytes, "\xFF\xFE") && codepage::CharsetToUtf8(bytes.substr(2), "UTF-16LE", out)) {
        return out;
    }
    if (startsWith(bytes, "\xFE\xFF") && codepage::CharsetToUtf8(bytes.substr(2), "UTF-16BE", out)) {
        return out;
    }
    std::string label = declaredCharset(bytes);
    if (label == "utf-8" || label == "utf8" || label.empty()) {
        return codepage::PageTextToUtf8(bytes);
    }
    if (label == "gb2312" || label == "gbk" || label == "gb18030" || label == "x-gbk" || label == "cp936" ||
        label == "euc-cn" || label == "x-euc-cn") {
        return codepage::Gb18030ToUtf8(bytes);
    }
    // As browsers do, Latin-1 and ASCII labels read as Windows-1252.
    if (label == "iso-8859-1" || label == "latin1" || label == "us-ascii" || label == "ascii") {
        label = "WINDOWS-1252";
    }
    if (codepage::CharsetToUtf8(bytes, label, out)) {
        return out;
    }
    return codepage::PageTextToUtf8(bytes);
}

std::string CoreMediaType(const std::string& fileName, std::string_view head)
{
    if (startsWith(head, "GIF87a") || startsWith(head, "GIF89a")) {
        return "image/gif";
    }
    if (startsWith(head, "\x89PNG\r\n\x1A\n")) {
        return "image/png";
    }
    if (startsWith(head, "\xFF\xD8\xFF")) {
        return "image/jpeg";
    }
    if (endsWithNoCase(fileName, ".svg")) {
        return head.find("<svg") != std::string_view::npos ? "image/svg+xml" : std::string();
    }
    if (endsWithNoCase(fileName, ".css")) {
        return "text/css";
    }
    if (startsWith(head, "wOFF")) {
        return "font/woff";
    }
    if (startsWith(head, "wOF2")) {
        return "font/woff2";
    }
    if (startsWith(head, "OTTO")) {
        return "font/otf";
    }
    if (startsWith(head, std::string_view("\x00\x01\x00\x00", 4)) && endsWithNoCase(fileName, ".ttf")) {
        return "font/ttf";
    }
    return {};
}

} // namespace book
