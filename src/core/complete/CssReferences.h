#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The addresses a style sheet refers to, found by a small tokenizer of our own: comments and strings
// are skipped as the browser skips them, escapes are decoded, and only real url(...) tokens,
// @import targets and the bare strings of image-set() count.
namespace css
{

struct Reference
{
    enum class Kind
    {
        Url,    // url(...) anywhere but after @import: an image, a font, a cursor
        Import, // @import "..." or @import url(...): another style sheet
    };
    Kind kind = Kind::Url;
    std::size_t nBegin = 0; // the token as written: from "url(" to ")", or the string with its quotes
    std::size_t nEnd = 0;   // one past the token
    std::string strValue;   // escapes decoded, surrounding white space of an unquoted url() dropped
    bool bString = false;   // the token is a string (rewritten as one), not url(...)
};

// Every reference of the sheet, in order; the tokens never overlap.
std::vector<Reference> FindReferences(std::string_view sheet);

// The sheet with each reference that replace maps to a value written anew (as url("...") or "...",
// the token's own form); a reference it maps to nullopt stays byte for byte, and so does the rest.
std::string RewriteReferences(std::string_view sheet,
                              const std::vector<Reference>& refs,
                              const std::function<std::optional<std::string>(const Reference&)>& replace);

// value as a url(...) token: bare when nothing in it needs quoting, else in double quotes with escapes.
std::string UrlToken(std::string_view value);
// value as a double-quoted CSS string; "<", ">" and quotes are escaped, so it is safe in a <style> block.
std::string StringToken(std::string_view value);

} // namespace css
