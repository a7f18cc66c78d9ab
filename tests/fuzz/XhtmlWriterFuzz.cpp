// The e-book writer on any page: the document it writes must be well-formed XML, whatever the page
// nests or leaves open. A small checker of our own counts start and end tags and looks at names,
// attributes and entities; every reference the page makes goes through a map that keeps some and drops
// others, as a book's index does.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "book/XhtmlWriter.h"

namespace
{

class CMap final : public book::IReferenceMap
{
public:
    std::string MapLink(std::string_view value) override { return value.size() % 2 ? std::string(value) : ""; }
    std::string MapResource(std::string_view value, Use) override
    {
        return value.size() % 2 ? "../res/" + book::EncodeUri(value) : "";
    }
    std::string MapStyle(std::string_view css) override { return std::string(css); }
};

void Check(bool bOk)
{
    if (!bOk) {
        __builtin_trap();
    }
}

bool isNameChar(char c)
{
    return c == ':' || c == '-' || c == '_' || c == '.' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           (c >= '0' && c <= '9') || static_cast<unsigned char>(c) >= 0x80;
}

// The body's tags balance and nest, "<" only starts a tag, "&" only an entity, every attribute is quoted.
void CheckWellFormed(std::string_view xml)
{
    std::vector<std::string_view> open;
    std::size_t i = 0;
    while (i < xml.size()) {
        const char c = xml[i];
        if (c == '&') {
            const auto semi = xml.find(';', i);
            const std::string_view entity = xml.substr(i, semi == std::string_view::npos ? 0 : semi - i + 1);
            Check(entity == "&amp;" || entity == "&lt;" || entity == "&gt;" || entity == "&quot;");
            i += entity.size();
            continue;
        }
        Check(c != '>');
        if (c != '<') {
            Check(static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r');
            ++i;
            continue;
        }
        const bool bEnd = i + 1 < xml.size() && xml[i + 1] == '/';
        std::size_t n = i + (bEnd ? 2 : 1);
        const std::size_t nameBegin = n;
        while (n < xml.size() && isNameChar(xml[n])) {
            ++n;
        }
        const std::string_view name = xml.substr(nameBegin, n - nameBegin);
        Check(!name.empty() && name.find(':') == name.rfind(':'));
        if (bEnd) {
            Check(!open.empty() && open.back() == name && n < xml.size() && xml[n] == '>');
            open.pop_back();
            i = n + 1;
            continue;
        }
        // Attributes: name="value" with no "<" or raw quote inside.
        while (n < xml.size() && xml[n] == ' ') {
            ++n;
            const std::size_t attributeBegin = n;
            while (n < xml.size() && isNameChar(xml[n])) {
                ++n;
            }
            Check(n > attributeBegin && n + 1 < xml.size() && xml[n] == '=' && xml[n + 1] == '"');
            const auto close = xml.find('"', n + 2);
            Check(close != std::string_view::npos);
            Check(xml.substr(n + 2, close - n - 2).find('<') == std::string_view::npos);
            n = close + 1;
        }
        if (n + 1 < xml.size() && xml[n] == '/' && xml[n + 1] == '>') {
            i = n + 2;
            continue;
        }
        Check(n < xml.size() && xml[n] == '>');
        open.push_back(name);
        i = n + 1;
    }
    Check(open.empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CMap map;
    const book::XhtmlPage page = book::ConvertToXhtml(std::string_view(reinterpret_cast<const char*>(data), size), map);
    CheckWellFormed(page.strBody);
    for (const auto& id : page.ids) {
        Check(book::IsXmlNcName(id));
    }
    // The head holds only style elements and style sheet links.
    std::string_view head = page.strHead;
    while (!head.empty()) {
        Check(head.substr(0, 7) == "<style>" || head.substr(0, 6) == "<link ");
        const auto line = head.find(head.substr(0, 7) == "<style>" ? "</style>\n" : "/>\n");
        Check(line != std::string_view::npos);
        head.remove_prefix(line + (head.substr(0, 7) == "<style>" ? 9 : 3));
    }
    (void)book::XhtmlDocument(page.strTitle, page);
    return 0;
}
