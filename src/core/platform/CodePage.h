#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Text is UTF-8 in memory. Files that carry an 8-bit Chinese code page are written and read as
// GB18030, which agrees with code page 936 on every character that code page has and can hold all others.
namespace codepage
{

// UTF-8 → GB18030. Invalid UTF-8 sequences become U+FFFD first, so nothing is silently dropped.
std::string Utf8ToGb18030(std::string_view utf8);
// GB18030 (or code page 936) → UTF-8. Undecodable bytes become U+FFFD.
std::string Gb18030ToUtf8(std::string_view gb);
// UTF-16LE code units → UTF-8.
std::string Utf16LeToUtf8(std::string_view utf16le);
// UTF-8 → code page 936. A character the code page lacks becomes an HTML numeric character
// reference ("&#NNNNN;") rather than being lost or turned into "?".
std::string Utf8ToCp936WithReferences(std::string_view utf8);
// Code page 936 → UTF-8 (undecodable bytes become U+FFFD).
std::string Cp936ToUtf8(std::string_view cp936);
// Appends one character as UTF-8; zero, a surrogate or a value beyond U+10FFFF appends U+FFFD.
void AppendUtf8(std::string& out, std::uint32_t code);
// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view text);
// Text taken from a page whose code page is not known (a title, say): kept when it is valid UTF-8,
// otherwise read as GB18030, the code page saved pages are stored in.
std::string PageTextToUtf8(std::string_view text);
// Text in the named character set (an iconv or web label such as "big5" or "iso-8859-1") → UTF-8,
// undecodable bytes becoming U+FFFD. False, with out untouched, when the set is unknown.
bool CharsetToUtf8(std::string_view text, const std::string& charset, std::string& out);
// The label after the first "charset=" in a page's first 4 KiB ("gb2312", "utf-8"), in lower case;
// empty when the page declares none.
std::string DeclaredCharset(std::string_view page);
// Text from a page that declares the given label → UTF-8: the Chinese labels read as GB18030, Latin-1
// and ASCII as Windows-1252 (as browsers do), others through iconv. Without a label, with "utf-8" or
// with one iconv does not know, as PageTextToUtf8.
std::string LabelledTextToUtf8(std::string_view text, const std::string& label);

} // namespace codepage
