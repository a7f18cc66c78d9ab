#include "download/HtmlTagParser.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "download/AsciiText.h"

namespace
{

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The characters that end a tag name: ">", blank, carriage return, line feed.
constexpr auto kEndsName = [] {
    std::array<bool, 256> ends{};
    ends['>'] = ends[' '] = ends['\r'] = ends['\n'] = true;
    return ends;
}();

// The first c in [p, end), or end. Tags lie a few dozen bytes apart, so an inline vector loop beats a
// call to memchr for each of them.
const char* FindByte(const char* p, const char* end, char c)
{
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(c);
    for (; end - p >= 16; p += 16) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(block, wanted));
        if (mask != 0) {
            return p + __builtin_ctz(static_cast<unsigned>(mask));
        }
    }
#endif
    for (; p < end; ++p) {
        if (*p == c) {
            return p;
        }
    }
    return end;
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
    if (bLower) {
        for (char& c : out) {
            c = c == '"' ? ' ' : ascii::ToLower(c);
        }
    } else if (std::memchr(out.data(), '"', out.size()) != nullptr) {
        std::replace(out.begin(), out.end(), '"', ' ');
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
        const char* lt = FindByte(pText + pos, pText + nLength, '<');
        if (lt == pText + nLength) {
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
        // Most tags are short ("<p>", "</td>"): reading the name often finds the ">" without a search.
        const char* nameBegin = pText + pos;
        const char* textEnd = pText + nLength;
        const char* nameEnd = nameBegin;
        while (nameEnd < textEnd && !kEndsName[static_cast<unsigned char>(*nameEnd)]) {
            ++nameEnd;
        }
        const char* gt = nameEnd;
        if (gt < textEnd && *gt != '>') {
            gt = FindByte(gt, textEnd, '>');
        }
        if (gt == textEnd) {
            break;
        }
        m_strTag.resize(static_cast<std::size_t>(nameEnd - nameBegin));
        for (std::size_t k = 0; k < m_strTag.size(); ++k) {
            m_strTag[k] = ascii::ToLower(nameBegin[k]);
        }
        if (!m_attrs.empty()) {
            // Keep the value buffers of the last tag's attributes for the next one.
            for (auto& attr : m_attrs) {
                m_spare.push_back(std::move(attr));
            }
            m_attrs.clear();
        }
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
        const char* eq = FindByte(cur, pEnd, '=');
        if (eq == pEnd) {
            break;
        }
        if (m_spare.empty()) {
            m_attrs.emplace_back();
        } else {
            m_attrs.push_back(std::move(m_spare.back()));
            m_spare.pop_back();
        }
        HtmlAttribute& attr = m_attrs.back();
        Clean(cur, eq, true, attr.name);

        const char* valueBegin = eq + 1;
        while (valueBegin < pEnd && *valueBegin == ' ') {
            ++valueBegin;
        }
        const char* stop = ValueStop(valueBegin, pEnd);
        const char* valueEnd = stop;
        if (stop < pEnd && *stop == '"') {
            // A quoted value runs to the next quote, or to the end of the tag when there is none.
            valueEnd = FindByte(stop + 1, pEnd, '"');
        }
        Clean(valueBegin, valueEnd, false, attr.value);
        cur = valueEnd;
    }
}
