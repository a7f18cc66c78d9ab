#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CCompletePage;

// What one page may pull in files, all its pictures, fonts and sheets together.
constexpr std::uint64_t kMaxPageBytes = std::uint64_t{256} << 20;
// A style sheet larger than this is saved as it came, not read for its references.
constexpr std::size_t kMaxSheetSize = 16u << 20;

// One file to fetch for a complete page.
struct RequisiteTransfer
{
    std::string strUrl;
    std::string strPath;    // where it goes; nothing is left there when it fails
    std::string strReferer; // the page, or the style sheet that refers to it
    bool bStyleSheet = false;
    bool bOk = false;
    bool bLeftOut = false; // not fetched: the page had pulled as much as it may
    std::string strWhy;    // why it failed or was left out, in English
};

// Fetches every transfer of a batch (in any order, several at once if it can) and sets bOk and strWhy.
using RequisiteFetch = std::function<void(std::vector<RequisiteTransfer>&)>;
// Told of each file once it was fetched or failed.
using RequisiteReport = std::function<void(const RequisiteTransfer&)>;

// Saves everything page needs into strFolder (its resource folder): the files it refers to first, then
// what the saved style sheets import and show, round after round until nothing new turns up; then
// writes each sheet rewritten to point at the files beside it. A failed file is reported and the
// references to it keep their web address; nothing else is lost. A sheet's text is read from its file
// when it arrives and again when it is rewritten, never held for the whole page. Once the page's files
// reach kMaxPageBytes the rest are left out (reported, keeping their web address). Stops starting
// batches once *pCancel.
void SaveRequisites(CCompletePage& page,
                    const std::string& strFolder,
                    const std::string& strPageUrl,
                    const RequisiteFetch& fetch,
                    const RequisiteReport& report,
                    const std::atomic<bool>* pCancel = nullptr);
