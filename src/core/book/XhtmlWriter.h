#pragma once

#include <set>
#include <string>
#include <string_view>

// Turns a saved HTML page into a well-formed XHTML document for an e-book: the page is parsed by a
// real HTML5 parser, scripts, event handlers, frames, forms and plug-ins go, obsolete tags become their
// modern equivalents, only attributes a reading system knows stay, and the content model is repaired
// where readers' validators are strict (block content inside phrasing content, stray children of lists
// and tables).
namespace book
{

// Where the page's references go in the book. Called while a page is written; an empty answer drops
// the reference (an image without a picture in the book is dropped whole).
class IReferenceMap
{
public:
    enum class Use
    {
        Image,      // <img src>, <image href> inside SVG
        StyleSheet, // <link rel="stylesheet" href>
    };

    virtual ~IReferenceMap() = default;
    // A hyperlink (<a href>): the value to write.
    virtual std::string MapLink(std::string_view value) = 0;
    // A resource the page embeds: the value to write.
    virtual std::string MapResource(std::string_view value, Use use) = 0;
    // Style text of the page (a style element or attribute) with its url() and @import references made
    // to point inside the book; empty to drop it.
    virtual std::string MapStyle(std::string_view css) = 0;
};

struct XhtmlPage
{
    std::string strHead;       // style elements and style sheet links, for the head
    std::string strBody;       // the body's content
    std::string strTitle;      // the page's own <title>, white space collapsed (empty when it has none)
    std::set<std::string> ids; // every id the written page holds
    bool bSvg = false;         // the page holds inline SVG
    bool bFlattened = false;   // elements nested too deep were written as their text
};

// Parses utf8Html and writes its content as XHTML.
XhtmlPage ConvertToXhtml(std::string_view utf8Html, IReferenceMap& map);

// A whole XHTML document (XML declaration, html with the book's language, head with title) around page.
std::string XhtmlDocument(const std::string& title, const XhtmlPage& page);

// Escapes text for XML content (&, <, >) and drops characters XML 1.0 does not allow.
std::string XmlText(std::string_view text);
// The same for an attribute value in double quotes.
std::string XmlAttribute(std::string_view text);
// True for an XML 1.0 name without a colon (a valid id, element or attribute name).
bool IsXmlNcName(std::string_view name);
// text with each run of HTML white space made one space, none at either end.
std::string CollapsedWhiteSpace(std::string_view text);
// A URI reference safe to write: spaces, quotes, non-ASCII bytes and other characters a URI may not
// hold are percent-encoded; existing escapes stay.
std::string EncodeUri(std::string_view value);

} // namespace book
