#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct HtmlAttribute
{
    std::string name; // lower-case
    std::string value;
};

// A small tag tokenizer: one pass over the text, each tag's lower-cased name handed to OnTag, and
// for the tags a subclass wants, its attributes too. It never fails: unmatched "<", missing ">"
// or missing quotes only end the scan or cut a value short. It does not decode entities and knows
// nothing of comments or scripts: "<!--" is skipped, but a tag inside a comment is read.
class CHtmlTagParser
{
public:
    virtual ~CHtmlTagParser() = default;

    // nPos is the index of the tag's closing ">". Returning 0 ends the scan.
    virtual int OnTag(const std::string& strTag, std::size_t nPos, const std::vector<HtmlAttribute>& attrs);
    // Attributes are read only for tags this accepts.
    virtual bool IsWantedTag(const std::string& strTag);

    // Scans nLength bytes of pText and nothing beyond.
    void Parse(const char* pText, std::size_t nLength);

protected:
    // The text being parsed, valid during Parse only (not owned).
    const char* m_pText = nullptr;
    std::size_t m_nLength = 0;

private:
    void ReadAttributes(const char* pBegin, const char* pEnd);

    std::string m_strTag;
    std::vector<HtmlAttribute> m_attrs;
    std::vector<HtmlAttribute> m_spare; // attributes of earlier tags, reused for their buffers
};
