#include "BookFiles.h"

#include "download/AsciiText.h"
#include "platform/CodePage.h"

namespace book
{
namespace
{

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
    return codepage::LabelledTextToUtf8(bytes, codepage::DeclaredCharset(bytes));
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
