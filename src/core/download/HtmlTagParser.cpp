#include "download/HtmlTagParser.h"

#include <cstring>

namespace
{

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

char ToLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Attribute names and values are cleaned alike: double quotes become spaces and white space is
// trimmed at both ends; names are also lower-cased.
void Clean(const char* pBegin, const char* pEnd, bool bLower, std::string& out)
{
    while (pBegin < pEnd && (IsSpace(*pBegin) || *pBegin == '"')) {
        ++pBegin;
    }
    while (pEnd > pBegin && (IsSpace(pEnd[-1]) || pEnd[-1] == '"')) {
        --pEnd;
    }
    out.assign(pBegin, pEnd);
    for (char& c : out) {
        if (c == '"') {
            c = ' ';
        } else if (bLower) {
            c = ToLower(c);
        }
    }
}

// The first character of [p, pEnd) that ends an unquoted attribute value, or pEnd.
const char* ValueStop(const char* p, const char* pEnd)
{
    for (; p < pEnd; ++p) {
        char c = *p;
        if (c == '"' || c == ' ' || c == '>' || c == '\r' || c == '\n') {
            break;
        }
    }
    return p;
}

} // namespace

int CHtmlTagParser::OnTag(const std::string&, std::size_t, const std::vector<HtmlAttribute>&)
{
    return 1;
}

bool CHtmlTagParser::IsWantedTag(const std::string&)
{
    return false;
}

void CHtmlTagParser::Parse(const char* pText, std::size_t nLength)
{
    m_pText = pText;
    m_nLength = nLength;
    std::size_t pos = 0;
    while (pos < nLength) {
        const char* lt = static_cast<const char*>(std::memchr(pText + pos, '<', nLength - pos));
        if (lt == nullptr) {
            break;
        }
        pos = static_cast<std::size_t>(lt - pText) + 1;
        if (pos >= nLength) {
            break;
        }
        // "< ", "<!" (comments, declarations) and "<>" are not tags.
        char first = pText[pos];
        if (first == ' ' || first == '!' || first == '>') {
            continue;
        }
        const char* gt = static_cast<const char*>(std::memchr(pText + pos, '>', nLength - pos));
        if (gt == nullptr) {
            break;
        }
        const char* nameBegin = pText + pos;
        const char* nameEnd = nameBegin;
        while (nameEnd < gt && *nameEnd != ' ' && *nameEnd != '\r' && *nameEnd != '\n') {
            ++nameEnd;
        }
        m_strTag.assign(nameBegin, nameEnd);
        for (char& c : m_strTag) {
            c = ToLower(c);
        }
        m_attrs.clear();
        if (IsWantedTag(m_strTag)) {
            ReadAttributes(nameEnd, gt);
        }
        pos = static_cast<std::size_t>(gt - pText);
        if (OnTag(m_strTag, pos, m_attrs) == 0) {
            break;
        }
    }
    m_pText = nullptr;
    m_nLength = 0;
}

// Reads name=value pairs from the text between a tag's name and its ">". A name is everything
// since the previous value, so an attribute written without "=" (nowrap) merges into the next name.
void CHtmlTagParser::ReadAttributes(const char* pBegin, const char* pEnd)
{
    const char* cur = pBegin;
    while (cur < pEnd) {
        const char* eq = static_cast<const char*>(std::memchr(cur, '=', static_cast<std::size_t>(pEnd - cur)));
        if (eq == nullptr) {
            break;
        }
        HtmlAttribute& attr = m_attrs.emplace_back();
        Clean(cur, eq, true, attr.name);

        const char* valueBegin = eq + 1;
        while (valueBegin < pEnd && *valueBegin == ' ') {
            ++valueBegin;
        }
        const char* stop = ValueStop(valueBegin, pEnd);
        const char* valueEnd = stop;
        if (stop < pEnd && *stop == '"') {
            // A quoted value runs to the next quote, or to the end of the tag when there is none.
            const char* close =
                static_cast<const char*>(std::memchr(stop + 1, '"', static_cast<std::size_t>(pEnd - stop - 1)));
            valueEnd = close != nullptr ? close : pEnd;
        }
        Clean(valueBegin, valueEnd, false, attr.value);
        cur = valueEnd;
    }
}
