#pragma once

#include <atomic>
#include <string>

#include "complete/PageRequisites.h"

class CCompletePage;

// Where and how one fetched page is saved complete.
struct CompleteSaveTarget
{
    std::string strPageUrl;        // the address the page came from (after redirection)
    std::string strResourceFolder; // the page's resource folder, existing
    std::string strPagePath;       // the page file
    int bKeepScripts = 1;
    // Pictures the page holds as data: addresses are written out as files of the resource folder.
    bool bInlinePictures = false;
};

// Saves page complete: everything it needs into the resource folder (reported one by one), then the
// page itself rewritten to point at the saved files, with everything a browser would run taken out
// unless scripts are kept. False,
// with a reason in pWhy, when the page file cannot be written, or when *pCancel cut its files off (the
// page is not written then).
bool SaveCompletePage(CCompletePage& page,
                      const CompleteSaveTarget& target,
                      const RequisiteFetch& fetch,
                      const RequisiteReport& report,
                      const std::atomic<bool>* pCancel = nullptr,
                      std::string* pWhy = nullptr);
