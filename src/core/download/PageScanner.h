#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "download/HtmlTagParser.h"
#include "download/Url.h"

class CHttpSession;

// Collects a page's title, the pages it links to and the resources it shows (images, backgrounds,
// sounds, embedded objects), all as absolute addresses in document order, duplicates kept; then
// downloads the resources and writes the page rewritten to point at the saved copies.
//
// One scanner serves one page: Reset, set the base address (and for saving, the page name and
// resource folder), Parse, then read the results.
class CPageScanner : public CHtmlTagParser
{
public:
    CPageScanner();

    // Empties the lists and sets the title back to "Untitled".
    void Reset();
    // The address the page came from (after redirection); relative references resolve against it.
    void SetBaseUrl(const std::string& strUrl);
    void SetPageName(const std::string& strName);
    // Full path of the page's resource folder, without a trailing "/".
    void SetResourceFolder(const std::string& strFolder);
    // Links with a fragment ("page.html#top") are collected as the page without it, instead of being
    // dropped; a link to a fragment of the page itself is still dropped. Off by default.
    void SetFollowFragments(bool bFollow) { m_bFollowFragments = bFollow; }

    const std::vector<std::string>& Resources() const { return m_resources; }
    const std::vector<std::string>& Links() const { return m_links; }
    const std::string& Title() const { return m_strTitle; }

    int OnTag(const std::string& strTag, std::size_t nPos, const std::vector<HtmlAttribute>& attrs) override;
    bool IsWantedTag(const std::string& strTag) override;

    // Whether an address may be a page or a resource we save, judged by its file extension: pages,
    // images and sounds of known kinds, anything without an extension or ending in ".com", and
    // anything whose extension holds "=" (a script with a query).
    static bool IsFollowable(const std::string& strUrl);
    // The text after the last "/" of an address (the whole address when it has none).
    static std::string ResourceFileName(const std::string& strUrl);
    // Index of the first match of needle at or after start, ignoring ASCII letter case; -1 for none.
    static std::ptrdiff_t FindNoCase(std::string_view text, std::string_view needle, std::size_t start);
    // The replacement for the attribute value starting at pos (just after its "="): relFolder and the
    // value's last path segment, in double quotes. pos is left on the last character the value took
    // (its closing quote, or its last character), so copying resumes at pos + 1.
    static std::string LocalValue(std::string_view text, std::size_t& pos, const std::string& relFolder);
    // The page as saved: image sources and background attributes pointed into relFolder, and script
    // blocks (with event handlers and javascript: addresses) removed unless bKeepScripts. Works on the
    // text found, whatever the scan collected.
    static std::string Rewrite(std::string_view page, const std::string& relFolder, int bKeepScripts);
    // Drops every script block together with the one character after its "</script>"; an unclosed block
    // takes the rest of the page with it.
    static std::string StripScripts(std::string_view page);

    // Rewrites the page (up to its first zero byte) and writes it next to the resource folder, as the
    // page name plus strExt. False, with a reason in pWhy, when the file cannot be written or its name
    // would leave the project folder.
    bool RewriteAndSave(const std::string& relFolder,
                        std::string_view page,
                        const std::string& strExt,
                        int bKeepScripts,
                        std::string* pWhy = nullptr);

    // Downloads one collected resource into the resource folder, under its ResourceFileName. False,
    // with a reason in pWhy, when the download fails (no file is left then) or when that name is not
    // a plain file name (empty, ".", "..", or holding "/" or a backslash); then nothing is fetched.
    bool DownloadResource(const std::string& strUrl,
                          CHttpSession* pSession = nullptr,
                          const std::atomic<bool>* pCancel = nullptr,
                          std::string* pWhy = nullptr);

private:
    std::string m_strBaseUrl;
    url::Resolver m_resolver; // against scheme://host[:port]/path of the base address
    std::string m_strTitle;
    std::string m_strPageName;
    std::string m_strResourceFolder;
    std::vector<std::string> m_resources;
    std::vector<std::string> m_links;
    bool m_bFollowFragments = false;
};
