#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "complete/CssReferences.h"
#include "download/Url.h"

namespace markup
{
struct Tag;
}

// One file a complete page needs besides itself: a style sheet, a font, an image, an icon.
struct Requisite
{
    enum class State
    {
        Pending, // not fetched yet
        Saved,
        Failed,
        Skipped, // past the depth or count limit: left pointing at the web
    };
    std::string strUrl;      // absolute http(s) address, without its fragment
    std::string strFileName; // a plain file name inside the page's resource folder, unique within it
    bool bStyleSheet = false;
    int nDepth = 0; // 0: the page refers to it; n: a sheet n imports deep does
    State state = State::Pending;
};

// A page saved "complete": besides the images the plain rules keep, its style sheets (and what they
// import and show), the largest picture of each srcset, lazily loaded images, icons, and pictures
// of any type. The page's tags are read properly (quotes of both kinds, comments, script and style
// contents), and only the attribute values concerned are written anew; every other byte stays.
//
// Use: construct over the page text, fetch Pending() into the resource folder (reading each saved
// sheet back with AddSheet, which may add further requisites), then take Rewritten() and the sheets'
// RewrittenSheet(), read from their files again. A reference whose file could not be saved is written as its absolute
// address, so the saved page never points at a missing local file.
class CCompletePage
{
public:
    // Imports deeper than this are left pointing at the web (a sheet importing itself ends at once).
    static constexpr int kMaxSheetDepth = 8;
    // A page needing more files than this keeps the rest as web addresses.
    static constexpr std::size_t kMaxRequisites = 2000;
    // A sheet that would bring the page's references past this many is saved as it came, not read:
    // each reference read is kept until the page is written.
    static constexpr std::size_t kMaxReferences = 100000;

    // relFolder is the resource folder as the page refers to it ("index.files"). Script files are saved
    // only for a page that keeps its scripts.
    CCompletePage(std::string_view page,
                  const std::string& strBaseUrl,
                  const std::string& strRelFolder,
                  bool bKeepScripts = true);
    CCompletePage(const CCompletePage&) = delete;
    CCompletePage& operator=(const CCompletePage&) = delete;

    std::vector<Requisite>& Requisites() { return m_requisites; }
    const std::vector<Requisite>& Requisites() const { return m_requisites; }
    // Indexes of the requisites still Pending, in the order found.
    std::vector<std::size_t> Pending() const;

    // A style sheet requisite arrived with this text: its references become requisites too. Only where
    // they stand is kept, not the text.
    void AddSheet(std::size_t nIndex, std::string_view text);
    // Pictures the page holds inline (data: addresses of an image type) become files of the resource
    // folder: write is asked to store each distinct one under the name given, and the references to
    // those it stored point at the file from then on. Call before the sheets are saved.
    void SaveInlinePictures(const std::function<bool(const std::string& strFileName, std::string_view bytes)>& write);
    // The page with its references pointed at the saved files.
    std::string Rewritten() const;
    // A saved sheet, given the same text again, with its references pointed at the files beside it;
    // empty when none was added or the text is not the one added.
    std::string RewrittenSheet(std::size_t nIndex, std::string_view text) const;

private:
    struct Ref
    {
        std::string strWritten; // the value as the page wrote it (entities decoded)
        std::string strFragment;
        bool bSheet = false;
        int nRequisite = -1; // -1: not something we fetch (data:, javascript:, "#x", another scheme)
    };
    struct Edit
    {
        std::size_t nBegin = 0;
        std::size_t nEnd = 0;
        std::function<std::string()> make;
    };
    // A link (a, area, frame, iframe, form) to point at its absolute address when the page had a <base>.
    struct Link
    {
        std::size_t nBegin = 0;
        std::size_t nEnd = 0;
        std::string strName;
        std::string strValue;
    };
    struct Sheet
    {
        std::size_t nSize = 0;
        std::vector<css::Reference> refs;
        std::vector<int> refIndex; // per reference, into m_refs or -1
    };
    void OnTag(markup::Tag& tag);
    void OnStyleBlock(std::size_t nBegin, std::size_t nEnd);
    int AddRef(std::string strValue, bool bSheet);
    void ResolveRef(Ref& ref, const url::Resolver& resolver, int nDepth);
    int Register(const std::string& strAbsolute, bool bSheet, int nDepth);
    std::string FileNameFor(const std::string& strUrl, bool bSheet);
    // The value a reference takes in the page (bInSheet false) or in a sheet of the resource folder.
    std::string Value(int nRef, bool bInSheet) const;
    std::string CssRewritten(std::string_view text,
                             const std::vector<css::Reference>& refs,
                             const std::vector<int>& refIndex,
                             bool bInSheet) const;

    std::string m_strPage;
    std::string m_strBaseUrl;
    std::string m_strRelFolder;
    bool m_bKeepScripts = true;
    std::string m_strBaseHref; // the first <base href>, removed from the saved page
    std::vector<Link> m_links;
    url::Resolver m_resolver;
    std::vector<Ref> m_refs;
    std::vector<Edit> m_edits;
    std::vector<Requisite> m_requisites;
    std::map<std::string, std::size_t> m_byUrl;
    std::size_t m_nToFetch = 0;              // requisites registered to be fetched (not skipped)
    std::set<std::string> m_names;           // lower-cased, so names differ on any file system
    std::map<std::string, int> m_nextNumber; // per lower-cased name: the number its next clash tries first
    std::map<std::size_t, Sheet> m_sheets;
};
