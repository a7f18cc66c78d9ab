#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A page a project holds: where it came from and where it lies.
struct HeldPage
{
    std::string strUrl;
    std::string strLocalFile;
};

// The attribute a rewritten link keeps its web address in, so a later pass still knows where it led.
constexpr std::string_view kOriginalHrefAttribute = "data-trawlix-href";

// An address as compared with others: scheme and host in lower case, no default port, "/" for an
// empty path, no fragment. The query stays.
std::string AddressKey(std::string_view address);

// Points the links of one saved page (a/area href, frame/iframe src) that lead to a held page at that
// page's local file, keeping the fragment, and every other link at its absolute address, so no link
// leads to a missing local file. A <base href> goes (its links resolve against it first). Returns the
// page rewritten; unchanged when there was nothing to do.
std::string RewritePageLinks(std::string_view page,
                             const std::string& strPageUrl,
                             const std::string& strPageFile,
                             const std::vector<HeldPage>& held);

// RewritePageLinks over every held page's file that lies inside strProjectFolder once symbolic links
// are resolved (read from disk, written back only when it changed): a record naming a file elsewhere
// (a page added from the local disk, a crafted record) never has that file rewritten. A page may be
// listed more than once (under the address a link named and the one it was fetched from after a
// redirect): each file is rewritten once, against the address of its first entry. stopped is asked
// before each page; when it says so the pass ends there (every file is whole, rewritten or not).
// Returns the number of files rewritten.
int RewriteProjectLinks(const std::vector<HeldPage>& held,
                        const std::string& strProjectFolder,
                        const std::function<bool()>& stopped = {});
