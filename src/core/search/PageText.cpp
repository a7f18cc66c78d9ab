#include "PageText.h"

#include <gumbo.h>
#include <memory>
#include <vector>

#include "platform/CodePage.h"

namespace
{

// Elements that flow within a line: text on either side of them reads as one run ("软件<b>包</b>").
bool isInline(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_A:
    case GUMBO_TAG_ABBR:
    case GUMBO_TAG_B:
    case GUMBO_TAG_BDI:
    case GUMBO_TAG_BDO:
    case GUMBO_TAG_BIG:
    case GUMBO_TAG_CITE:
    case GUMBO_TAG_CODE:
    case GUMBO_TAG_DATA:
    case GUMBO_TAG_DFN:
    case GUMBO_TAG_EM:
    case GUMBO_TAG_FONT:
    case GUMBO_TAG_I:
    case GUMBO_TAG_INS:
    case GUMBO_TAG_DEL:
    case GUMBO_TAG_KBD:
    case GUMBO_TAG_LABEL:
    case GUMBO_TAG_MARK:
    case GUMBO_TAG_NOBR:
    case GUMBO_TAG_Q:
    case GUMBO_TAG_RUBY:
    case GUMBO_TAG_S:
    case GUMBO_TAG_SAMP:
    case GUMBO_TAG_SMALL:
    case GUMBO_TAG_SPAN:
    case GUMBO_TAG_STRIKE:
    case GUMBO_TAG_STRONG:
    case GUMBO_TAG_SUB:
    case GUMBO_TAG_SUP:
    case GUMBO_TAG_TIME:
    case GUMBO_TAG_TT:
    case GUMBO_TAG_U:
    case GUMBO_TAG_VAR:
    case GUMBO_TAG_WBR:
        return true;
    default:
        return false;
    }
}

// Elements whose content is not read as text on the page.
bool isHidden(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_RT:
    case GUMBO_TAG_RP:
    case GUMBO_TAG_SVG:
    case GUMBO_TAG_MATH:
        return true;
    default:
        return false;
    }
}

class CTextCollector
{
public:
    void Append(std::string_view text)
    {
        for (const char ch : text) {
            const auto c = static_cast<unsigned char>(ch);
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
                m_bSpace = true;
                continue;
            }
            if (m_bSpace && !m_strText.empty()) {
                m_strText += ' ';
            }
            m_bSpace = false;
            m_strText += ch;
        }
    }
    void Break() { m_bSpace = true; }
    std::string Take() { return std::move(m_strText); }

private:
    std::string m_strText;
    bool m_bSpace = false;
};

void collect(const GumboNode* pRoot, CTextCollector& out)
{
    // An explicit stack: a page of deeply nested markup must not run the thread out of stack.
    struct Step
    {
        const GumboNode* pNode;
        bool bLeaving;
    };
    std::vector<Step> stack{{pRoot, false}};
    while (!stack.empty()) {
        const Step step = stack.back();
        stack.pop_back();
        const GumboNode* pNode = step.pNode;
        if (pNode->type == GUMBO_NODE_TEXT || pNode->type == GUMBO_NODE_WHITESPACE || pNode->type == GUMBO_NODE_CDATA) {
            out.Append(pNode->v.text.text);
            continue;
        }
        if (pNode->type != GUMBO_NODE_ELEMENT && pNode->type != GUMBO_NODE_TEMPLATE &&
            pNode->type != GUMBO_NODE_DOCUMENT) {
            continue;
        }
        const GumboVector* pChildren =
            pNode->type == GUMBO_NODE_DOCUMENT ? &pNode->v.document.children : &pNode->v.element.children;
        const bool bBlock = pNode->type != GUMBO_NODE_DOCUMENT && !isInline(pNode->v.element.tag);
        if (step.bLeaving) {
            if (bBlock) {
                out.Break();
            }
            continue;
        }
        if (pNode->type != GUMBO_NODE_DOCUMENT) {
            if (isHidden(pNode->v.element.tag)) {
                continue;
            }
            if (bBlock) {
                out.Break();
            }
        }
        stack.push_back({pNode, true});
        for (unsigned i = pChildren->length; i-- > 0;) {
            stack.push_back({static_cast<const GumboNode*>(pChildren->data[i]), false});
        }
    }
}

} // namespace

std::string SavedPageText(std::string_view page)
{
    const std::string utf8 = codepage::LabelledTextToUtf8(page, codepage::DeclaredCharset(page));
    std::unique_ptr<GumboOutput, void (*)(GumboOutput*)> output(
        gumbo_parse_with_options(&kGumboDefaultOptions, utf8.data(), utf8.size()),
        [](GumboOutput* o) { gumbo_destroy_output(&kGumboDefaultOptions, o); });
    CTextCollector collector;
    if (output && output->document) {
        collect(output->document, collector);
    }
    return collector.Take();
}
