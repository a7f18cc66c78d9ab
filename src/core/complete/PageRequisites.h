#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class CCompletePage;

// One file to fetch for a complete page.
struct RequisiteTransfer
{
    std::string strUrl;
    std::string strPath;    // where it goes; nothing is left there when it fails
    std::string strReferer; // the page, or the style sheet that refers to it
    bool bStyleSheet = false;
    bool bOk = false;
    std::string strWhy; // why it failed, in English
    // A sheet's text as it came, when the fetch has it at hand (else it is read from strPath).
    std::optional<std::string> sheetText;
};

// Fetches every transfer of a batch (in any order, several at once if it can) and sets bOk and strWhy.
using RequisiteFetch = std::function<void(std::vector<RequisiteTransfer>&)>;
// Told of each file once it was fetched or failed.
using RequisiteReport = std::function<void(const RequisiteTransfer&)>;

// Saves everything page needs into strFolder (its resource folder): the files it refers to first, then
// what the saved style sheets import and show, round after round until nothing new turns up; then
// writes each sheet rewritten to point at the files beside it. A failed file is reported and the
// references to it keep their web address; nothing else is lost. Stops starting rounds once *pCancel.
void SaveRequisites(CCompletePage& page,
                    const std::string& strFolder,
                    const std::string& strPageUrl,
                    const RequisiteFetch& fetch,
                    const RequisiteReport& report,
                    const std::atomic<bool>* pCancel = nullptr);
