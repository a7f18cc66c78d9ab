#include "complete/PageRequisites.h"

#include "complete/CompletePage.h"
#include "platform/Files.h"

namespace
{

// A style sheet larger than this is saved as it came, not read for its references.
constexpr std::size_t kMaxSheetSize = 16u << 20;

} // namespace

void SaveRequisites(CCompletePage& page,
                    const std::string& strFolder,
                    const std::string& strPageUrl,
                    const RequisiteFetch& fetch,
                    const RequisiteReport& report,
                    const std::atomic<bool>* pCancel)
{
    std::vector<Requisite>& requisites = page.Requisites();
    // Who asked for each file: the page, or the sheet that refers to it.
    std::vector<std::string> referers(requisites.size(), strPageUrl);
    std::vector<std::size_t> sheets;
    for (std::vector<std::size_t> pending = page.Pending(); !pending.empty(); pending = page.Pending()) {
        if (pCancel && pCancel->load()) {
            for (std::size_t i : pending) {
                requisites[i].state = Requisite::State::Skipped;
            }
            break;
        }
        std::vector<RequisiteTransfer> batch;
        batch.reserve(pending.size());
        for (std::size_t i : pending) {
            RequisiteTransfer transfer;
            transfer.strUrl = requisites[i].strUrl;
            transfer.strPath = files::Join(strFolder, requisites[i].strFileName);
            transfer.strReferer = i < referers.size() ? referers[i] : strPageUrl;
            transfer.bStyleSheet = requisites[i].bStyleSheet;
            batch.push_back(std::move(transfer));
        }
        fetch(batch);
        for (std::size_t k = 0; k < pending.size(); ++k) {
            const std::size_t i = pending[k];
            Requisite& requisite = requisites[i];
            requisite.state = batch[k].bOk ? Requisite::State::Saved : Requisite::State::Failed;
            report(batch[k]);
            if (!batch[k].bOk || !requisite.bStyleSheet) {
                continue;
            }
            std::string text;
            if (batch[k].sheetText) {
                text = std::move(*batch[k].sheetText);
            } else if (!files::ReadFile(batch[k].strPath, text, nullptr, kMaxSheetSize + 1)) {
                continue;
            }
            if (text.size() > kMaxSheetSize) {
                continue;
            }
            const std::string sheetUrl = requisite.strUrl; // AddSheet may move the requisites
            page.AddSheet(i, std::move(text));
            sheets.push_back(i);
            referers.resize(requisites.size(), sheetUrl);
        }
    }
    for (std::size_t i : sheets) {
        files::WriteFile(files::Join(strFolder, requisites[i].strFileName), page.RewrittenSheet(i));
    }
}
