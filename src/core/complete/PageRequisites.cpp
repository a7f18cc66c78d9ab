#include "complete/PageRequisites.h"

#include <algorithm>
#include <filesystem>

#include "complete/CompletePage.h"
#include "platform/Files.h"

namespace
{

// Files fetched together: a page pulls at most this many past its limit.
constexpr std::size_t kBatchSize = 16;

std::uint64_t SizeOf(const std::string& strPath)
{
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(strPath, ec);
    return ec ? 0 : static_cast<std::uint64_t>(size);
}

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
    std::uint64_t nPulled = 0;
    for (std::vector<std::size_t> pending = page.Pending(); !pending.empty(); pending = page.Pending()) {
        if (pCancel && pCancel->load()) {
            for (std::size_t i : pending) {
                requisites[i].state = Requisite::State::Skipped;
            }
            break;
        }
        if (nPulled >= kMaxPageBytes) {
            for (std::size_t i : pending) {
                requisites[i].state = Requisite::State::Skipped;
                RequisiteTransfer left;
                left.strUrl = requisites[i].strUrl;
                left.bStyleSheet = requisites[i].bStyleSheet;
                left.bLeftOut = true;
                left.strWhy = "the page's files passed " + std::to_string(kMaxPageBytes >> 20) + " MB";
                report(left);
            }
            break;
        }
        pending.resize(std::min(pending.size(), kBatchSize));
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
            if (!batch[k].bOk) {
                continue;
            }
            nPulled += SizeOf(batch[k].strPath);
            if (!requisite.bStyleSheet) {
                continue;
            }
            std::string text;
            if (!files::ReadFile(batch[k].strPath, text, nullptr, kMaxSheetSize + 1) || text.size() > kMaxSheetSize) {
                continue;
            }
            const std::string sheetUrl = requisite.strUrl; // AddSheet may move the requisites
            page.AddSheet(i, text);
            sheets.push_back(i);
            referers.resize(requisites.size(), sheetUrl);
        }
    }
    for (std::size_t i : sheets) {
        const std::string path = files::Join(strFolder, requisites[i].strFileName);
        std::string text;
        if (files::ReadFile(path, text, nullptr, kMaxSheetSize + 1)) {
            std::string rewritten = page.RewrittenSheet(i, text);
            if (!rewritten.empty() && rewritten != text) {
                files::WriteFile(path, rewritten);
            }
        }
    }
}
