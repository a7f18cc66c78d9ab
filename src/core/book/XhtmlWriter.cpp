#include "XhtmlWriter.h"

#include <cstring>
#include <gumbo.h>
#include <memory>
#include <utility>
#include <vector>

#include "download/AsciiText.h"

namespace book
{
namespace
{

// What becomes of an HTML element.
enum class Kind
{
    Drop,          // the element and its content go
    Unwrap,        // the element goes, its content stays
    Phrasing,      // inline element with inline content
    Transparent,   // ins, del: content as the parent's
    Anchor,        // a
    SpanOrDiv,     // an obsolete inline wrapper: span, or div when it holds blocks
    Block,         // block with block content
    BlockPhrasing, // block with inline content: p, h1-h6, pre
    List,          // ul, ol
    ListItem,      // li
    DefList,       // dl
    DefTerm,       // dt (inline content)
    DefData,       // dd
    Table,
    Caption,
    ColGroup,
    Col,
    Section, // thead, tbody, tfoot
    Row,
    Cell,
    Image,
    Break, // br, wbr
    Rule,  // hr
    Head,  // style and link: collected for the head
    Title,
};

struct Rule
{
    Kind kind;
    const char* name; // the element written (null: the tag's own name)
};

Rule ruleFor(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_A:
        return {Kind::Anchor, nullptr};
    case GUMBO_TAG_ABBR:
    case GUMBO_TAG_B:
    case GUMBO_TAG_BDI:
    case GUMBO_TAG_BDO:
    case GUMBO_TAG_CITE:
    case GUMBO_TAG_CODE:
    case GUMBO_TAG_DFN:
    case GUMBO_TAG_EM:
    case GUMBO_TAG_I:
    case GUMBO_TAG_KBD:
    case GUMBO_TAG_MARK:
    case GUMBO_TAG_Q:
    case GUMBO_TAG_S:
    case GUMBO_TAG_SAMP:
    case GUMBO_TAG_SMALL:
    case GUMBO_TAG_SPAN:
    case GUMBO_TAG_STRONG:
    case GUMBO_TAG_SUB:
    case GUMBO_TAG_SUP:
    case GUMBO_TAG_U:
    case GUMBO_TAG_VAR:
        return {Kind::Phrasing, nullptr};
    case GUMBO_TAG_ACRONYM:
        return {Kind::Phrasing, "abbr"};
    case GUMBO_TAG_TT:
        return {Kind::Phrasing, "code"};
    case GUMBO_TAG_STRIKE:
        return {Kind::Phrasing, "s"};
    case GUMBO_TAG_INS:
    case GUMBO_TAG_DEL:
        return {Kind::Transparent, nullptr};
    case GUMBO_TAG_FONT:
    case GUMBO_TAG_BIG:
    case GUMBO_TAG_BLINK:
    case GUMBO_TAG_NOBR:
    case GUMBO_TAG_LABEL:
    case GUMBO_TAG_TIME:
    case GUMBO_TAG_DATA:
    case GUMBO_TAG_OUTPUT:
    case GUMBO_TAG_METER:
    case GUMBO_TAG_PROGRESS:
    case GUMBO_TAG_RUBY:
    case GUMBO_TAG_RB:
    case GUMBO_TAG_RTC:
    case GUMBO_TAG_MULTICOL:
        return {Kind::SpanOrDiv, nullptr};
    case GUMBO_TAG_RT:
    case GUMBO_TAG_RP:
        return {Kind::Unwrap, nullptr};
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_SECTION:
        return {Kind::Block, nullptr};
    // These forbid headings or each other inside them, which pages do not respect.
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_MARQUEE:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_LEGEND:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_HGROUP:
    case GUMBO_TAG_DETAILS:
    case GUMBO_TAG_SUMMARY:
    case GUMBO_TAG_FRAMESET:
        return {Kind::Block, "div"};
    case GUMBO_TAG_P:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_PRE:
        return {Kind::BlockPhrasing, nullptr};
    case GUMBO_TAG_LISTING:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_PLAINTEXT:
        return {Kind::BlockPhrasing, "pre"};
    case GUMBO_TAG_UL:
    case GUMBO_TAG_OL:
        return {Kind::List, nullptr};
    case GUMBO_TAG_DIR:
    case GUMBO_TAG_MENU:
        return {Kind::List, "ul"};
    case GUMBO_TAG_LI:
        return {Kind::ListItem, nullptr};
    case GUMBO_TAG_DL:
        return {Kind::DefList, nullptr};
    case GUMBO_TAG_DT:
        return {Kind::DefTerm, nullptr};
    case GUMBO_TAG_DD:
        return {Kind::DefData, nullptr};
    case GUMBO_TAG_TABLE:
        return {Kind::Table, nullptr};
    case GUMBO_TAG_CAPTION:
        return {Kind::Caption, nullptr};
    case GUMBO_TAG_COLGROUP:
        return {Kind::ColGroup, nullptr};
    case GUMBO_TAG_COL:
        return {Kind::Col, nullptr};
    case GUMBO_TAG_THEAD:
    case GUMBO_TAG_TBODY:
    case GUMBO_TAG_TFOOT:
        return {Kind::Section, nullptr};
    case GUMBO_TAG_TR:
        return {Kind::Row, nullptr};
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
        return {Kind::Cell, nullptr};
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_IMAGE:
        return {Kind::Image, "img"};
    case GUMBO_TAG_BR:
    case GUMBO_TAG_WBR:
        return {Kind::Break, "br"};
    case GUMBO_TAG_HR:
        return {Kind::Rule, nullptr};
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_LINK:
        return {Kind::Head, nullptr};
    case GUMBO_TAG_TITLE:
        return {Kind::Title, nullptr};
    default:
        break;
    }
    return {Kind::Drop, nullptr};
}

// What the children of an element may be.
enum class Ctx
{
    Flow,
    Phrasing,
    List,
    DefList,
    Table,
    ColGroup,
    Section,
    Row,
};

bool isBlockKind(Kind kind)
{
    switch (kind) {
    case Kind::Block:
    case Kind::BlockPhrasing:
    case Kind::List:
    case Kind::ListItem:
    case Kind::DefList:
    case Kind::DefTerm:
    case Kind::DefData:
    case Kind::Table:
    case Kind::Caption:
    case Kind::Section:
    case Kind::Row:
    case Kind::Cell:
    case Kind::Rule:
        return true;
    default:
        return false;
    }
}

std::string_view attribute(const GumboElement& e, const char* name)
{
    const GumboAttribute* a = gumbo_get_attribute(&e.attributes, name);
    return a ? std::string_view(a->value) : std::string_view();
}

bool hasAttribute(const GumboElement& e, const char* name)
{
    return gumbo_get_attribute(&e.attributes, name) != nullptr;
}

std::string_view trimmed(std::string_view text)
{
    const char* blanks = " \t\r\n\f";
    auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// needle is written in lower case.
bool containsNoCase(std::string_view text, std::string_view needle)
{
    return ascii::ToLower(text).find(needle) != std::string::npos;
}

bool isDigits(std::string_view text)
{
    if (text.empty() || text.size() > 9) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

bool isPositive(std::string_view text)
{
    return isDigits(text) && text.find_first_not_of('0') != std::string_view::npos;
}

std::string textOf(const GumboNode* node)
{
    std::string text;
    const GumboVector& children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE || child->type == GUMBO_NODE_CDATA) {
            text += child->v.text.text;
        }
    }
    return text;
}

// Walked with a stack of its own: a page may nest elements far deeper than the call stack allows.
bool hasBlockDescendant(const GumboNode* node)
{
    std::vector<const GumboNode*> pending{node};
    while (!pending.empty()) {
        const GumboNode* parent = pending.back();
        pending.pop_back();
        const GumboVector& children = parent->v.element.children;
        for (unsigned i = 0; i < children.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(children.data[i]);
            if (child->type != GUMBO_NODE_ELEMENT || child->v.element.tag_namespace != GUMBO_NAMESPACE_HTML) {
                continue;
            }
            const Kind kind = ruleFor(child->v.element.tag).kind;
            if (isBlockKind(kind)) {
                return true;
            }
            if (kind != Kind::Drop && kind != Kind::Head && kind != Kind::Title) {
                pending.push_back(child);
            }
        }
    }
    return false;
}

// The text of every written descendant of node, in document order, without their markup.
std::string flatText(const GumboNode* node)
{
    std::string text;
    std::vector<std::pair<const GumboNode*, unsigned>> pending{{node, 0}};
    while (!pending.empty()) {
        auto& [parent, next] = pending.back();
        const GumboVector& children = parent->v.element.children;
        if (next == children.length) {
            pending.pop_back();
            continue;
        }
        const auto* child = static_cast<const GumboNode*>(children.data[next++]);
        if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE || child->type == GUMBO_NODE_CDATA) {
            text += child->v.text.text;
        } else if (child->type == GUMBO_NODE_ELEMENT && child->v.element.tag_namespace == GUMBO_NAMESPACE_HTML) {
            const Kind kind = ruleFor(child->v.element.tag).kind;
            if (kind != Kind::Drop || child->v.element.tag == GUMBO_TAG_UNKNOWN) {
                pending.emplace_back(child, 0);
            }
        }
    }
    return text;
}

// The element's name as written in SVG ("linearGradient", not "lineargradient").
std::string svgName(const GumboElement& e)
{
    std::string name;
    if (e.tag != GUMBO_TAG_UNKNOWN) {
        name = gumbo_normalized_tagname(e.tag);
    } else {
        GumboStringPiece piece = e.original_tag;
        gumbo_tag_from_original_text(&piece);
        name.assign(piece.data, piece.length);
        name = ascii::ToLower(name);
    }
    GumboStringPiece lower{name.data(), name.size()};
    if (const char* adjusted = gumbo_normalize_svg_tagname(&lower)) {
        return adjusted;
    }
    return name;
}

// Elements nested deeper than this are written as their text. Real pages stay far below it.
constexpr int kMaxDepth = 256;

enum class DefListState
{
    None,
    Term,
    Data,
};

// Counts one level of nesting for as long as it lives.
class CDepth
{
public:
    explicit CDepth(int& nDepth)
        : m_nDepth(nDepth)
    {
        ++m_nDepth;
    }
    ~CDepth() { --m_nDepth; }
    CDepth(const CDepth&) = delete;
    CDepth& operator=(const CDepth&) = delete;

private:
    int& m_nDepth;
};

class CWriter
{
public:
    explicit CWriter(IReferenceMap& map)
        : m_map(map)
    {}

    XhtmlPage Write(const GumboNode* root)
    {
        const GumboVector& parts = root->v.element.children;
        for (unsigned i = 0; i < parts.length; ++i) {
            const auto* part = static_cast<const GumboNode*>(parts.data[i]);
            if (part->type != GUMBO_NODE_ELEMENT) {
                continue;
            }
            if (part->v.element.tag == GUMBO_TAG_HEAD) {
                head(part);
            } else if (part->v.element.tag == GUMBO_TAG_BODY) {
                children(part, Ctx::Flow);
            }
        }
        m_page.strBody = std::move(m_out);
        return std::move(m_page);
    }

private:
    void head(const GumboNode* node)
    {
        const GumboVector& items = node->v.element.children;
        for (unsigned i = 0; i < items.length; ++i) {
            const auto* item = static_cast<const GumboNode*>(items.data[i]);
            if (item->type != GUMBO_NODE_ELEMENT) {
                continue;
            }
            const Kind kind = ruleFor(item->v.element.tag).kind;
            if (kind == Kind::Head) {
                headItem(item);
            } else if (kind == Kind::Title && m_page.strTitle.empty()) {
                m_page.strTitle = CollapsedWhiteSpace(textOf(item));
            }
        }
    }

    void headItem(const GumboNode* node)
    {
        const GumboElement& e = node->v.element;
        if (e.tag == GUMBO_TAG_STYLE) {
            const std::string css = style(textOf(node));
            if (!trimmed(css).empty()) {
                m_page.strHead += "<style>" + XmlText(css) + "</style>\n";
            }
            return;
        }
        const std::string rel = " " + std::string(attribute(e, "rel")) + " ";
        if (!containsNoCase(rel, " stylesheet ") || containsNoCase(rel, "alternate")) {
            return;
        }
        const std::string href = m_map.MapResource(attribute(e, "href"), IReferenceMap::Use::StyleSheet);
        if (!href.empty()) {
            m_page.strHead += "<link rel=\"stylesheet\" type=\"text/css\" href=\"" + XmlAttribute(href) + "\"/>\n";
        }
    }

    void children(const GumboNode* node, Ctx ctx)
    {
        const GumboVector& items = node->v.element.children;
        for (unsigned i = 0; i < items.length; ++i) {
            child(static_cast<const GumboNode*>(items.data[i]), ctx);
        }
    }

    void child(const GumboNode* node, Ctx ctx)
    {
        switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_CDATA:
            text(node->v.text.text, ctx, false);
            break;
        case GUMBO_NODE_WHITESPACE:
            text(node->v.text.text, ctx, true);
            break;
        case GUMBO_NODE_ELEMENT:
            element(node, ctx);
            break;
        default:
            break;
        }
    }

    void text(std::string_view value, Ctx ctx, bool bWhiteSpace)
    {
        switch (ctx) {
        case Ctx::Flow:
        case Ctx::Phrasing:
            m_out += XmlText(value);
            break;
        case Ctx::List:
            m_out += bWhiteSpace ? XmlText(value) : "<li>" + XmlText(value) + "</li>";
            break;
        case Ctx::DefList:
            if (bWhiteSpace) {
                m_out += XmlText(value);
            } else {
                definitionData(m_out.size());
                m_out += "<dd>" + XmlText(value) + "</dd>";
            }
            break;
        default:
            break; // tables hold text only in their cells
        }
    }

    // Writes an element that needs a wrapper in a list, or nothing when it is not written anyway.
    void wrapped(const GumboNode* node, const char* wrapper)
    {
        const std::size_t mark = m_out.size();
        m_out += std::string("<") + wrapper + ">";
        const std::size_t inner = m_out.size();
        element(node, Ctx::Flow);
        if (trimmed(std::string_view(m_out).substr(inner)).empty()) {
            m_out.resize(mark);
        } else {
            m_out += std::string("</") + wrapper + ">";
        }
    }

    void element(const GumboNode* node, Ctx ctx)
    {
        const GumboElement& e = node->v.element;
        if (e.tag_namespace == GUMBO_NAMESPACE_MATHML) {
            return;
        }
        if (m_nDepth >= kMaxDepth) {
            // Below this depth only the text stays, so no page can exhaust the call stack.
            m_page.bFlattened = true;
            if (e.tag_namespace == GUMBO_NAMESPACE_HTML) {
                const std::string flat = flatText(node);
                if (!trimmed(flat).empty()) {
                    text(flat, ctx, false);
                }
            }
            return;
        }
        const CDepth depth(m_nDepth);
        const Rule rule = e.tag_namespace == GUMBO_NAMESPACE_SVG ? Rule{Kind::Phrasing, nullptr} : ruleFor(e.tag);
        const bool bUnknown = e.tag_namespace == GUMBO_NAMESPACE_HTML && e.tag == GUMBO_TAG_UNKNOWN;
        if (rule.kind == Kind::Drop && !bUnknown) {
            return;
        }
        if (rule.kind == Kind::Head) {
            headItem(node);
            return;
        }
        if (rule.kind == Kind::Title) {
            return;
        }

        switch (ctx) {
        case Ctx::List:
            if (rule.kind == Kind::ListItem) {
                open("li", e, rule.kind);
                children(node, Ctx::Flow);
                m_out += "</li>";
            } else {
                wrapped(node, "li");
            }
            return;
        case Ctx::DefList: {
            const std::size_t mark = m_out.size();
            if (rule.kind == Kind::DefTerm) {
                open("dt", e, rule.kind);
                children(node, Ctx::Phrasing);
                m_out += "</dt>";
                m_defList = DefListState::Term;
                return;
            }
            if (rule.kind == Kind::DefData) {
                open("dd", e, rule.kind);
                children(node, Ctx::Flow);
                m_out += "</dd>";
            } else {
                wrapped(node, "dd");
            }
            if (m_out.size() != mark) {
                definitionData(mark);
            }
            return;
        }
        case Ctx::Table:
            if (rule.kind == Kind::Caption || rule.kind == Kind::ColGroup || rule.kind == Kind::Section ||
                rule.kind == Kind::Row) {
                break;
            }
            return;
        case Ctx::ColGroup:
            if (rule.kind == Kind::Col) {
                break;
            }
            return;
        case Ctx::Section:
            if (rule.kind == Kind::Row) {
                break;
            }
            return;
        case Ctx::Row:
            if (rule.kind == Kind::Cell) {
                break;
            }
            return;
        default:
            break;
        }

        if (bUnknown) {
            children(node, ctx);
            return;
        }
        if (e.tag_namespace == GUMBO_NAMESPACE_SVG) {
            svg(node, true);
            return;
        }
        const std::string name = rule.name ? rule.name : gumbo_normalized_tagname(e.tag);
        // Inside inline content a block cannot stand: its content stays, ended by a line break.
        if (ctx == Ctx::Phrasing && isBlockKind(rule.kind)) {
            children(node, Ctx::Phrasing);
            if (rule.kind != Kind::Section && rule.kind != Kind::Cell && rule.kind != Kind::ColGroup) {
                m_out += "<br/>";
            }
            return;
        }

        switch (rule.kind) {
        case Kind::Unwrap:
        case Kind::Transparent:
            children(node, ctx);
            return;
        case Kind::Anchor:
            if (!hasAttribute(e, "href") || m_bInLink) {
                // A link target only, or a link inside a link: its content stands beside it. Pages written
                // as XML close <a id="x"/> at once, which an HTML parser does not: the anchor then holds
                // the rest of the page, and copies of it every paragraph.
                anchorTarget(e);
                children(node, ctx);
                return;
            }
            break;
        case Kind::Image:
            image(e);
            return;
        case Kind::Break:
            m_out += "<br/>";
            return;
        case Kind::Rule:
            open("hr", e, rule.kind, true);
            return;
        case Kind::Col:
            open("col", e, rule.kind, true);
            return;
        case Kind::SpanOrDiv: {
            const bool bDiv = ctx == Ctx::Flow && hasBlockDescendant(node);
            const char* wrapper = bDiv ? "div" : "span";
            open(wrapper, e, rule.kind);
            children(node, bDiv ? Ctx::Flow : Ctx::Phrasing);
            m_out += std::string("</") + wrapper + ">";
            return;
        }
        case Kind::ListItem:
        case Kind::DefTerm:
        case Kind::DefData:
            // Outside their list these are plain blocks.
            open("div", e, rule.kind);
            children(node, rule.kind == Kind::DefTerm ? Ctx::Phrasing : Ctx::Flow);
            m_out += "</div>";
            return;
        case Kind::Section:
        case Kind::Row:
        case Kind::Cell:
        case Kind::ColGroup:
        case Kind::Caption:
            if (ctx == Ctx::Flow) {
                // A table part outside a table: keep its content only.
                children(node, Ctx::Flow);
                return;
            }
            break;
        default:
            break;
        }

        if (rule.kind == Kind::DefList) {
            // Groups of terms and their descriptions: a description gets a term before it and a term at
            // the end a description after it (lists of terms only and indenting lists of descriptions
            // only are common).
            open(name, e, rule.kind);
            const DefListState outer = m_defList;
            m_defList = DefListState::None;
            children(node, Ctx::DefList);
            if (m_defList == DefListState::Term) {
                m_out += "<dd></dd>";
            }
            m_defList = outer;
            m_out += "</" + name + ">";
            return;
        }
        if (rule.kind == Kind::Table) {
            table(node, name);
            return;
        }

        Ctx inner = Ctx::Flow;
        switch (rule.kind) {
        case Kind::Phrasing:
        case Kind::BlockPhrasing:
            inner = Ctx::Phrasing;
            break;
        case Kind::Anchor:
            inner = ctx == Ctx::Phrasing ? Ctx::Phrasing : Ctx::Flow;
            break;
        case Kind::List:
            inner = Ctx::List;
            break;
        case Kind::DefList:
            inner = Ctx::DefList;
            break;
        case Kind::Table:
            inner = Ctx::Table;
            break;
        case Kind::ColGroup:
            inner = Ctx::ColGroup;
            break;
        case Kind::Section:
            inner = Ctx::Section;
            break;
        case Kind::Row:
            inner = Ctx::Row;
            break;
        default:
            break;
        }
        open(name, e, rule.kind);
        const bool bOuterLink = m_bInLink;
        m_bInLink = m_bInLink || rule.kind == Kind::Anchor;
        children(node, inner);
        m_bInLink = bOuterLink;
        m_out += "</" + name + ">";
    }

    // An empty anchor with the element's id (or old name), when that id is new in the page.
    void anchorTarget(const GumboElement& e)
    {
        std::string_view id = attribute(e, "id");
        if (id.empty()) {
            id = attribute(e, "name");
        }
        if (!id.empty() && IsXmlNcName(id) && m_page.ids.count(std::string(id)) == 0) {
            m_out += "<a";
            addId(id);
            m_out += "></a>";
        }
    }

    // A description (or what stands for one) was written from mark on in the current definition list.
    void definitionData(std::size_t mark)
    {
        if (m_defList == DefListState::None) {
            m_out.insert(mark, "<dt></dt>");
        }
        m_defList = DefListState::Data;
    }

    // Writes a table with its parts in the order readers require: caption, column groups, head, bodies,
    // foot. A second caption, head or foot becomes a body of its own.
    void table(const GumboNode* node, const std::string& name)
    {
        std::string caption;
        std::string columns;
        std::string head;
        std::string bodies;
        std::string foot;
        const GumboVector& items = node->v.element.children;
        for (unsigned i = 0; i < items.length; ++i) {
            const auto* item = static_cast<const GumboNode*>(items.data[i]);
            if (item->type != GUMBO_NODE_ELEMENT || item->v.element.tag_namespace != GUMBO_NAMESPACE_HTML) {
                continue;
            }
            const GumboElement& part = item->v.element;
            const Kind kind = ruleFor(part.tag).kind;
            std::string* pTarget = &bodies;
            if (kind == Kind::Caption) {
                if (!caption.empty()) {
                    captured(bodies, [&] {
                        m_out += "<tbody><tr><td>";
                        children(item, Ctx::Flow);
                        m_out += "</td></tr></tbody>";
                    });
                    continue;
                }
                pTarget = &caption;
            } else if (kind == Kind::ColGroup) {
                pTarget = &columns;
            } else if (part.tag == GUMBO_TAG_THEAD && head.empty()) {
                pTarget = &head;
            } else if (part.tag == GUMBO_TAG_TFOOT && foot.empty()) {
                pTarget = &foot;
            } else if (kind == Kind::Section) {
                captured(bodies, [&] {
                    open("tbody", part, kind);
                    children(item, Ctx::Section);
                    m_out += "</tbody>";
                });
                continue;
            }
            captured(*pTarget, [&] { child(item, Ctx::Table); });
        }
        open(name, node->v.element, Kind::Table);
        m_out += caption;
        m_out += columns;
        m_out += head;
        m_out += bodies;
        m_out += foot;
        m_out += "</" + name + ">";
    }

    // Runs write with its output appended to target instead of the page.
    template <typename Write> void captured(std::string& target, const Write& write)
    {
        std::swap(m_out, target);
        write();
        std::swap(m_out, target);
    }

    // Writes the start tag with the attributes a reader knows (closed at once for an empty element).
    void open(const std::string& name, const GumboElement& e, Kind kind, bool bEmpty = false)
    {
        m_out += "<" + name;
        std::string_view id = attribute(e, "id");
        if (id.empty() && e.tag == GUMBO_TAG_A) {
            id = attribute(e, "name");
        }
        addId(id);
        for (const char* global : {"class", "title"}) {
            std::string_view value = attribute(e, global);
            if (!value.empty()) {
                addAttribute(global, value);
            }
        }
        const std::string_view dir = attribute(e, "dir");
        if (dir == "ltr" || dir == "rtl" || dir == "auto") {
            addAttribute("dir", dir);
        }
        const std::string css = style(attribute(e, "style"));
        if (!trimmed(css).empty()) {
            addAttribute("style", css);
        }
        const GumboVector& attributes = e.attributes;
        for (unsigned i = 0; i < attributes.length; ++i) {
            const auto* a = static_cast<const GumboAttribute*>(attributes.data[i]);
            const std::string_view an = a->name;
            if (an.size() > 5 && an.substr(0, 5) == "data-" && IsXmlNcName(an)) {
                bool bLower = true;
                for (char c : an) {
                    bLower = bLower && !(c >= 'A' && c <= 'Z');
                }
                if (bLower) {
                    addAttribute(an, a->value);
                }
            }
        }

        if (kind == Kind::Anchor && hasAttribute(e, "href")) {
            const std::string href = m_map.MapLink(trimmed(attribute(e, "href")));
            if (!href.empty()) {
                addAttribute("href", href);
            }
        } else if (kind == Kind::Cell) {
            for (const char* span : {"colspan", "rowspan"}) {
                if (isPositive(attribute(e, span))) {
                    addAttribute(span, attribute(e, span));
                }
            }
            const std::string_view scope = attribute(e, "scope");
            if (e.tag == GUMBO_TAG_TH &&
                (scope == "row" || scope == "col" || scope == "rowgroup" || scope == "colgroup")) {
                addAttribute("scope", scope);
            }
        } else if (kind == Kind::List && e.tag == GUMBO_TAG_OL) {
            std::string_view start = attribute(e, "start");
            if (isDigits(start) || (start.size() > 1 && start[0] == '-' && isDigits(start.substr(1)))) {
                addAttribute("start", start);
            }
            if (hasAttribute(e, "reversed")) {
                addAttribute("reversed", "reversed");
            }
            const std::string_view type = attribute(e, "type");
            if (type == "1" || type == "a" || type == "A" || type == "i" || type == "I") {
                addAttribute("type", type);
            }
        } else if ((kind == Kind::Col || kind == Kind::ColGroup) && isPositive(attribute(e, "span"))) {
            addAttribute("span", attribute(e, "span"));
        }
        m_out += bEmpty ? "/>" : ">";
    }

    void image(const GumboElement& e)
    {
        const std::string src = m_map.MapResource(trimmed(attribute(e, "src")), IReferenceMap::Use::Image);
        if (src.empty()) {
            return;
        }
        m_out += "<img src=\"" + XmlAttribute(src) + "\" alt=\"" + XmlAttribute(attribute(e, "alt")) + "\"";
        std::string_view id = attribute(e, "id");
        addId(id);
        for (const char* size : {"width", "height"}) {
            if (isDigits(attribute(e, size))) {
                addAttribute(size, attribute(e, size));
            }
        }
        for (const char* global : {"class", "title"}) {
            if (!attribute(e, global).empty()) {
                addAttribute(global, attribute(e, global));
            }
        }
        m_out += "/>";
    }

    void svg(const GumboNode* node, bool bRoot)
    {
        const GumboElement& e = node->v.element;
        const std::string name = svgName(e);
        if (name == "script" || name == "foreignObject" || !IsXmlNcName(name)) {
            return;
        }
        if (name == "style" && style(textOf(node)) != textOf(node)) {
            return;
        }
        if (m_nDepth >= kMaxDepth) {
            m_page.bFlattened = true;
            return;
        }
        const CDepth depth(m_nDepth);
        m_page.bSvg = true;
        m_out += "<" + name;
        if (bRoot) {
            m_out += " xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\"";
        }
        const GumboVector& attributes = e.attributes;
        for (unsigned i = 0; i < attributes.length; ++i) {
            const auto* a = static_cast<const GumboAttribute*>(attributes.data[i]);
            const std::string an = a->name;
            if (!IsXmlNcName(an) || ascii::StartsWithNoCase(an, "on")) {
                continue;
            }
            std::string full;
            switch (a->attr_namespace) {
            case GUMBO_ATTR_NAMESPACE_XLINK:
                full = "xlink:" + an;
                break;
            case GUMBO_ATTR_NAMESPACE_XML:
                full = "xml:" + an;
                break;
            case GUMBO_ATTR_NAMESPACE_XMLNS:
                continue;
            default:
                full = an;
                break;
            }
            std::string value = a->value;
            if (full == "id") {
                addId(value);
                continue;
            }
            if (full == "style") {
                value = style(value);
                if (value.empty()) {
                    continue;
                }
            }
            if (an == "href") {
                const std::string_view ref = trimmed(value);
                value = !ref.empty() && ref[0] == '#' ? std::string(ref)
                                                      : m_map.MapResource(ref, IReferenceMap::Use::Image);
                if (value.empty()) {
                    continue;
                }
            }
            addAttribute(full, value);
        }
        m_out += ">";
        const GumboVector& items = e.children;
        for (unsigned i = 0; i < items.length; ++i) {
            const auto* item = static_cast<const GumboNode*>(items.data[i]);
            if (item->type == GUMBO_NODE_ELEMENT) {
                if (item->v.element.tag_namespace == GUMBO_NAMESPACE_SVG) {
                    svg(item, false);
                }
            } else if (item->type == GUMBO_NODE_TEXT || item->type == GUMBO_NODE_WHITESPACE ||
                       item->type == GUMBO_NODE_CDATA) {
                m_out += XmlText(item->v.text.text);
            }
        }
        m_out += "</" + name + ">";
    }

    // Style text with its references inside the book; IE's script in style sheets never stays.
    std::string style(std::string_view css)
    {
        if (trimmed(css).empty() || containsNoCase(css, "expression(")) {
            return {};
        }
        return m_map.MapStyle(css);
    }

    // An id is written when it is a valid XML id and not yet taken in this page.
    void addId(std::string_view id)
    {
        if (id.empty() || !IsXmlNcName(id) || m_page.ids.count(std::string(id)) > 0) {
            return;
        }
        m_page.ids.insert(std::string(id));
        addAttribute("id", id);
    }

    void addAttribute(std::string_view name, std::string_view value)
    {
        m_out += " ";
        m_out += name;
        m_out += "=\"";
        m_out += XmlAttribute(value);
        m_out += "\"";
    }

    IReferenceMap& m_map;
    XhtmlPage m_page;
    std::string m_out;
    int m_nDepth = 0;
    bool m_bInLink = false;                      // inside an <a href>
    DefListState m_defList = DefListState::None; // what the innermost definition list wrote last
};

// Appends the UTF-8 sequence at text[i] when XML allows its character; returns its length.
std::size_t appendXmlChar(std::string_view text, std::size_t i, std::string& out)
{
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20) {
        if (c == '\t' || c == '\n' || c == '\r') {
            out += static_cast<char>(c);
        }
        return 1;
    }
    // U+FFFE and U+FFFF are not characters in XML.
    if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
        (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE) {
        return 3;
    }
    out += static_cast<char>(c);
    return 1;
}

std::string escaped(std::string_view text, bool bAttribute)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (std::size_t i = 0; i < text.size();) {
        switch (text[i]) {
        case '&':
            out += "&amp;";
            ++i;
            break;
        case '<':
            out += "&lt;";
            ++i;
            break;
        case '>':
            out += "&gt;";
            ++i;
            break;
        case '"':
            out += bAttribute ? "&quot;" : "\"";
            ++i;
            break;
        default:
            i += appendXmlChar(text, i, out);
            break;
        }
    }
    return out;
}

// Decodes one UTF-8 character at text[i]; length 0 for an invalid sequence.
char32_t decodeUtf8(std::string_view text, std::size_t i, std::size_t& length)
{
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    length = 0;
    if (n == 0 || i + n > text.size()) {
        return 0;
    }
    char32_t code = n == 1 ? c : n == 2 ? (c & 0x1Fu) : n == 3 ? (c & 0x0Fu) : (c & 0x07u);
    for (std::size_t k = 1; k < n; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (next & 0x3Fu);
    }
    length = n;
    return code;
}

bool isNameStart(char32_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= 0xC0 && c <= 0xD6) ||
           (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
           (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
           (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameChar(char32_t c)
{
    return isNameStart(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

} // namespace

std::string XmlText(std::string_view text)
{
    return escaped(text, false);
}

std::string XmlAttribute(std::string_view text)
{
    return escaped(text, true);
}

bool IsXmlNcName(std::string_view name)
{
    if (name.empty()) {
        return false;
    }
    for (std::size_t i = 0; i < name.size();) {
        std::size_t n = 0;
        const char32_t c = decodeUtf8(name, i, n);
        if (n == 0 || !(i == 0 ? isNameStart(c) : isNameChar(c))) {
            return false;
        }
        i += n;
    }
    return true;
}

std::string CollapsedWhiteSpace(std::string_view text)
{
    std::string out;
    bool bSpace = false;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
            bSpace = !out.empty();
            continue;
        }
        if (bSpace) {
            out += ' ';
            bSpace = false;
        }
        out += c;
    }
    return out;
}

std::string EncodeUri(std::string_view value)
{
    static const char kHex[] = "0123456789ABCDEF";
    auto isHex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
    std::string out;
    bool bFragment = false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        bool bEncode = c <= 0x20 || c >= 0x7F || std::strchr("\"<>\\^`{|}[]", c) != nullptr;
        if (c == '%') {
            bEncode = !(i + 2 < value.size() + 0 && isHex(value[i + 1]) && isHex(value[i + 2]));
        } else if (c == '#') {
            bEncode = bFragment;
            bFragment = true;
        }
        if (bEncode) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

XhtmlPage ConvertToXhtml(std::string_view utf8Html, IReferenceMap& map)
{
    std::unique_ptr<GumboOutput, void (*)(GumboOutput*)> output(
        gumbo_parse_with_options(&kGumboDefaultOptions, utf8Html.data(), utf8Html.size()),
        [](GumboOutput* o) { gumbo_destroy_output(&kGumboDefaultOptions, o); });
    CWriter writer(map);
    return writer.Write(output->root);
}

std::string XhtmlDocument(const std::string& title, const XhtmlPage& page)
{
    std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<!DOCTYPE html>\n"
                      "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\" "
                      "lang=\"zh-CN\" xml:lang=\"zh-CN\">\n"
                      "<head>\n<meta charset=\"UTF-8\"/>\n<title>" +
                      XmlText(title) + "</title>\n";
    doc += page.strHead;
    doc += "</head>\n<body>\n";
    doc += page.strBody;
    doc += "\n</body>\n</html>\n";
    return doc;
}

} // namespace book
