#include "complete/CssReferences.h"

#include <cstdint>

#include "download/AsciiText.h"
#include "platform/CodePage.h"

namespace css
{

namespace
{

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsNewline(char c)
{
    return c == '\n' || c == '\r' || c == '\f';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool IsNameStart(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || u >= 0x80;
}

bool IsNameChar(char c)
{
    return IsNameStart(c) || IsDigit(c) || c == '-';
}

// A backslash starts an escape unless a line break follows it.
bool IsEscape(std::string_view t, std::size_t i)
{
    return i < t.size() && t[i] == '\\' && (i + 1 >= t.size() || !IsNewline(t[i + 1]));
}

// i is on the backslash; leaves i after the escape.
void ConsumeEscape(std::string_view t, std::size_t& i, std::string& out)
{
    ++i;
    if (i >= t.size()) {
        codepage::AppendUtf8(out, 0xFFFD);
        return;
    }
    if (HexValue(t[i]) < 0) {
        out += t[i++];
        return;
    }
    std::uint32_t cp = 0;
    for (int n = 0; n < 6 && i < t.size() && HexValue(t[i]) >= 0; ++n, ++i) {
        cp = cp * 16 + static_cast<std::uint32_t>(HexValue(t[i]));
    }
    // One white space character ends a hex escape and belongs to it.
    if (i < t.size() && IsSpace(t[i])) {
        i += (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n') ? 2 : 1;
    }
    codepage::AppendUtf8(out, cp);
}

bool StartsName(std::string_view t, std::size_t i)
{
    if (i >= t.size()) {
        return false;
    }
    if (t[i] == '-') {
        return i + 1 < t.size() && (IsNameStart(t[i + 1]) || t[i + 1] == '-' || IsEscape(t, i + 1));
    }
    return IsNameStart(t[i]) || IsEscape(t, i);
}

bool StartsNumber(std::string_view t, std::size_t i)
{
    auto digitAt = [&t](std::size_t k) { return k < t.size() && IsDigit(t[k]); };
    std::size_t k = i;
    if (k < t.size() && (t[k] == '+' || t[k] == '-')) {
        ++k;
    }
    return digitAt(k) || (k < t.size() && t[k] == '.' && digitAt(k + 1));
}

std::string ConsumeName(std::string_view t, std::size_t& i)
{
    std::string name;
    while (i < t.size()) {
        if (IsNameChar(t[i])) {
            name += t[i++];
        } else if (IsEscape(t, i)) {
            ConsumeEscape(t, i, name);
        } else {
            break;
        }
    }
    return name;
}

// i is on the opening quote. False for a string broken by a line break (i is left on it); a string
// cut off by the end of the sheet still counts, as it does for the browser.
bool ConsumeString(std::string_view t, std::size_t& i, std::string& out)
{
    const char quote = t[i++];
    while (i < t.size()) {
        const char c = t[i];
        if (c == quote) {
            ++i;
            return true;
        }
        if (IsNewline(c)) {
            return false;
        }
        if (c == '\\') {
            if (i + 1 >= t.size()) {
                ++i;
            } else if (IsNewline(t[i + 1])) {
                i += (t[i + 1] == '\r' && i + 2 < t.size() && t[i + 2] == '\n') ? 3 : 2; // a continued line
            } else {
                ConsumeEscape(t, i, out);
            }
            continue;
        }
        out += c;
        ++i;
    }
    return true;
}

// Skips the rest of a malformed url( ... ) up to its ")".
void SkipBadUrl(std::string_view t, std::size_t& i)
{
    std::string ignored;
    while (i < t.size()) {
        if (t[i] == ')') {
            ++i;
            return;
        }
        if (IsEscape(t, i)) {
            ConsumeEscape(t, i, ignored);
        } else {
            ++i;
        }
    }
}

bool IsNonPrintable(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u <= 0x08 || u == 0x0B || (u >= 0x0E && u <= 0x1F) || u == 0x7F;
}

// i is on the first character after "url(" and its white space. False for a malformed address, which
// the browser ignores too.
bool ConsumeUnquotedUrl(std::string_view t, std::size_t& i, std::string& out)
{
    while (i < t.size()) {
        const char c = t[i];
        if (c == ')') {
            ++i;
            return true;
        }
        if (IsSpace(c)) {
            while (i < t.size() && IsSpace(t[i])) {
                ++i;
            }
            if (i >= t.size()) {
                return true;
            }
            if (t[i] == ')') {
                ++i;
                return true;
            }
            SkipBadUrl(t, i);
            return false;
        }
        if (c == '"' || c == '\'' || c == '(' || IsNonPrintable(c) || (c == '\\' && !IsEscape(t, i))) {
            SkipBadUrl(t, i);
            return false;
        }
        if (c == '\\') {
            ConsumeEscape(t, i, out);
        } else {
            out += c;
            ++i;
        }
    }
    return true;
}

bool IsImageSet(const std::string& name)
{
    return name == "image-set" || name == "-webkit-image-set";
}

} // namespace

std::vector<Reference> FindReferences(std::string_view t)
{
    std::vector<Reference> refs;
    std::vector<std::string> functions; // names of the open functions; "" for a plain parenthesis
    bool bImport = false;               // after @import, until its target, ";" or a block
    std::size_t i = 0;
    while (i < t.size()) {
        const char c = t[i];
        if (c == '/' && i + 1 < t.size() && t[i + 1] == '*') {
            const std::size_t close = t.find("*/", i + 2);
            i = close == std::string_view::npos ? t.size() : close + 2;
            continue;
        }
        if (c == '"' || c == '\'') {
            const std::size_t begin = i;
            std::string value;
            if (!ConsumeString(t, i, value)) {
                continue;
            }
            if (bImport || (!functions.empty() && IsImageSet(functions.back()))) {
                refs.push_back({bImport ? Reference::Kind::Import : Reference::Kind::Url, begin, i, value, true});
                bImport = false;
            }
            continue;
        }
        if (c == '@' && StartsName(t, i + 1)) {
            ++i;
            bImport = ascii::ToLower(ConsumeName(t, i)) == "import";
            continue;
        }
        if (c == '#') {
            // A hash such as #url( is not a function.
            ++i;
            ConsumeName(t, i);
            continue;
        }
        if (StartsNumber(t, i)) {
            // A dimension such as 10url( is not a function either.
            ++i;
            while (i < t.size() && (IsDigit(t[i]) || t[i] == '.')) {
                ++i;
            }
            if (i + 1 < t.size() && (t[i] == 'e' || t[i] == 'E') &&
                (IsDigit(t[i + 1]) ||
                 ((t[i + 1] == '+' || t[i + 1] == '-') && i + 2 < t.size() && IsDigit(t[i + 2])))) {
                i += 2;
                while (i < t.size() && IsDigit(t[i])) {
                    ++i;
                }
            }
            if (StartsName(t, i)) {
                ConsumeName(t, i);
            }
            continue;
        }
        if (StartsName(t, i)) {
            const std::size_t begin = i;
            const std::string name = ascii::ToLower(ConsumeName(t, i));
            if (i >= t.size() || t[i] != '(') {
                continue;
            }
            ++i;
            if (name != "url") {
                functions.push_back(name);
                continue;
            }
            std::size_t j = i;
            while (j < t.size() && IsSpace(t[j])) {
                ++j;
            }
            std::string value;
            if (j < t.size() && (t[j] == '"' || t[j] == '\'')) {
                // url("...") is a function holding a string: the reference only when ")" follows it.
                i = j;
                if (!ConsumeString(t, i, value)) {
                    functions.push_back(name);
                    continue;
                }
                while (i < t.size() && IsSpace(t[i])) {
                    ++i;
                }
                if (i < t.size() && t[i] == ')') {
                    ++i;
                    refs.push_back({bImport ? Reference::Kind::Import : Reference::Kind::Url, begin, i, value, false});
                    bImport = false;
                } else {
                    functions.push_back(name);
                }
                continue;
            }
            i = j;
            if (ConsumeUnquotedUrl(t, i, value)) {
                refs.push_back({bImport ? Reference::Kind::Import : Reference::Kind::Url, begin, i, value, false});
                bImport = false;
            }
            continue;
        }
        if (c == '(') {
            functions.emplace_back();
        } else if (c == ')') {
            if (!functions.empty()) {
                functions.pop_back();
            }
        } else if (c == ';' || c == '{' || c == '}') {
            bImport = false;
            if (c != ';') {
                functions.clear();
            }
        }
        ++i;
    }
    return refs;
}

std::string StringToken(std::string_view value)
{
    std::string out = "\"";
    for (char c : value) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\a ";
            break;
        case '\r':
            out += "\\d ";
            break;
        case '\f':
            out += "\\c ";
            break;
        // In a <style> block "</style>" would end the sheet and start markup, whatever quotes it stands in.
        case '<':
            out += "\\3c ";
            break;
        case '>':
            out += "\\3e ";
            break;
        case '\'':
            out += "\\27 ";
            break;
        default:
            out += c;
        }
    }
    out += '"';
    return out;
}

std::string UrlToken(std::string_view value)
{
    bool bBare = !value.empty();
    for (char c : value) {
        if (IsSpace(c) || c == '"' || c == '\'' || c == '(' || c == ')' || c == '\\' || c == '<' || c == '>' ||
            IsNonPrintable(c)) {
            bBare = false;
            break;
        }
    }
    return bBare ? "url(" + std::string(value) + ")" : "url(" + StringToken(value) + ")";
}

std::string RewriteReferences(std::string_view sheet,
                              const std::vector<Reference>& refs,
                              const std::function<std::optional<std::string>(const Reference&)>& replace)
{
    std::string out;
    out.reserve(sheet.size() + sheet.size() / 8);
    std::size_t from = 0;
    for (const Reference& ref : refs) {
        if (ref.nBegin < from || ref.nEnd > sheet.size()) {
            continue;
        }
        std::optional<std::string> value = replace(ref);
        if (!value) {
            continue;
        }
        out.append(sheet.substr(from, ref.nBegin - from));
        out += ref.bString ? StringToken(*value) : UrlToken(*value);
        from = ref.nEnd;
    }
    out.append(sheet.substr(from));
    return out;
}

} // namespace css
