#pragma once

#include <string>
#include <string_view>

// Reading what a project saved, for a book.
namespace book
{

// A saved page's bytes as UTF-8: from its byte-order mark, else its declared charset, else UTF-8 when
// the bytes are valid UTF-8, else code page 936 (GB18030), the one the engine stores pages in.
std::string DecodePage(std::string_view bytes);

// The media type of a picture, style sheet or font a reading system must support, judged from the
// file's first bytes (pictures) or its name (style sheets, fonts); empty for anything else, which a
// book cannot carry without a fallback.
std::string CoreMediaType(const std::string& fileName, std::string_view head);

} // namespace book
