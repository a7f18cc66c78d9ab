#include "complete/CompleteSave.h"

#include "complete/CompletePage.h"
#include "complete/ExecutableContent.h"
#include "platform/Files.h"

bool SaveCompletePage(CCompletePage& complete,
                      const CompleteSaveTarget& target,
                      const RequisiteFetch& fetch,
                      const RequisiteReport& report,
                      const std::atomic<bool>* pCancel,
                      std::string* pWhy)
{
    if (target.bInlinePictures) {
        complete.SaveInlinePictures([&target](const std::string& strFileName, std::string_view bytes) {
            return files::WriteFile(files::Join(target.strResourceFolder, strFileName), bytes);
        });
    }
    SaveRequisites(complete, target.strResourceFolder, target.strPageUrl, fetch, report, pCancel);
    if (pCancel && pCancel->load()) {
        // Its files were cut off: the page would point at files that are not there.
        if (pWhy) {
            *pWhy = "cancelled";
        }
        return false;
    }
    std::string text = complete.Rewritten();
    if (target.bKeepScripts == 0) {
        text = markup::StripExecutable(text);
    }
    return files::WriteFile(target.strPagePath, text, pWhy);
}
