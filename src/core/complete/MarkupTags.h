#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "download/Url.h"

// Reading a page's start tags the way a browser does, for the passes that write some attribute values
// anew and must leave every other byte alone.
namespace markup
{

struct Attr
{
    std::string name;       // lower-case
    std::size_t nLead = 0;  // just after the previous token: removing from here takes the blank too
    std::size_t nBegin = 0; // the name's first character
    std::size_t nEnd = 0;   // one past the value (and its closing quote)
    std::string value;      // character references decoded
    bool bValue = false;    // written with "="
};

struct Tag
{
    std::string name; // lower-case
    std::size_t nBegin = 0;
    std::size_t nNameEnd = 0;
    std::size_t nEnd = 0; // one past ">"
    std::vector<Attr> attrs;

    // The first attribute of that name (a browser ignores later ones); nullptr when none.
    const Attr* Find(std::string_view attrName) const;
    // The attribute's value when it is there and not blank.
    std::optional<std::string> Value(std::string_view attrName) const;
};

// Which elements' contents are text rather than tags.
enum class RawText
{
    Html,      // script, style, title, textarea, iframe and the like, as a browser reads them
    Scripting, // those and noscript, as a browser with scripts on reads them
    None,      // none: every tag is read, as inside <svg> or <math>
};

// Calls onTag for each start tag, in order. Comments (ended as a browser ends them), declarations and
// end tags are skipped; quoted values may hold ">" and blanks; the contents of raw-text elements are
// never read as tags. onStyle, when given, gets the [begin, end) of each style block's contents. Stops
// at a tag the text ends inside of.
void ForEachTag(std::string_view page,
                const std::function<void(Tag&)>& onTag,
                const std::function<void(std::size_t, std::size_t)>& onStyle = nullptr,
                RawText rawText = RawText::Html);

std::string_view Trim(std::string_view s);
// The character references an address or a style attribute may hold (&amp; &lt; &gt; &quot; &apos;
// and numeric ones); others stay as written.
std::string DecodeEntities(std::string_view s);
// A value as it can stand between double quotes in an attribute.
std::string AttributeText(std::string_view s);
// A local path as an address: every byte outside the plain ones escaped, so names with blanks, "#",
// "%" or non-ASCII letters still lead to their file.
std::string PathAsAddress(std::string_view path);
bool IsWebAddress(std::string_view address);
// An address as it may stand in markup or CSS: blanks, control characters, quotes, "<", ">", "`" and
// backslashes percent-encoded, so a decoded value can never close the string, tag or block it is in.
std::string EscapeAddress(std::string_view address);
// The address a page's relative references resolve against: its first <base href> resolved against
// the page's own address, or that address when there is none (or it is no web address).
std::string DocumentBase(std::string_view page, const std::string& strPageUrl);
// Resolves against the page's scheme, host, port and path; a user name and password are not passed on.
url::Resolver ResolverFor(const std::string& strBase);

} // namespace markup
