// The complete-page reader on any bytes: the first line is the page's address, then the page, then
// (after each line "--sheet--") the text of one style sheet it asks for. Every decoded value written
// back must stay escaped: the page and each sheet come out with no more "<" than they went in with,
// and a page stripped of scripts holds nothing left to run. In that pass the page's data: pictures are
// written out as files first.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "complete/CompletePage.h"
#include "complete/CssReferences.h"
#include "complete/ExecutableContent.h"

namespace
{

std::size_t CountLt(std::string_view text)
{
    std::size_t n = 0;
    for (char c : text) {
        n += c == '<' ? 1 : 0;
    }
    return n;
}

void Check(bool bOk)
{
    if (!bOk) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto newline = input.find('\n');
    const std::string base(input.substr(0, newline == std::string_view::npos ? 0 : newline));
    input = newline == std::string_view::npos ? input : input.substr(newline + 1);
    std::vector<std::string_view> parts;
    constexpr std::string_view kSeparator = "\n--sheet--\n";
    for (std::size_t at = input.find(kSeparator); at != std::string_view::npos; at = input.find(kSeparator)) {
        parts.push_back(input.substr(0, at));
        input = input.substr(at + kSeparator.size());
    }
    parts.push_back(input);
    const std::string_view page = parts[0];

    // The sheet reader alone: each reference written back as its own decoded value.
    for (std::size_t k = 1; k < parts.size(); ++k) {
        const std::vector<css::Reference> refs = css::FindReferences(parts[k]);
        const std::string out =
            css::RewriteReferences(parts[k], refs, [](const css::Reference& r) { return r.strValue; });
        Check(CountLt(out) <= CountLt(parts[k]));
    }

    for (bool bKeepScripts : {true, false}) {
        CCompletePage complete(page, base, "index.files", bKeepScripts);
        if (!bKeepScripts) {
            // Pictures given as data: addresses become files of the page's folder, under plain names.
            complete.SaveInlinePictures([](const std::string& strFileName, std::string_view bytes) {
                Check(!strFileName.empty() && strFileName[0] != '.' &&
                      strFileName.find_first_of("/\\") == std::string::npos && !bytes.empty());
                return true;
            });
        }
        std::size_t nextSheet = 1;
        std::vector<std::size_t> sheets;
        for (int round = 0; round < 4 && !complete.Pending().empty(); ++round) {
            for (std::size_t i : complete.Pending()) {
                // Every third file fails, so web addresses are written back too.
                Requisite& requisite = complete.Requisites()[i];
                requisite.state = i % 3 == 2 ? Requisite::State::Failed : Requisite::State::Saved;
                if (requisite.state == Requisite::State::Saved && requisite.bStyleSheet && nextSheet < parts.size()) {
                    sheets.push_back(i);
                    complete.AddSheet(i, parts[nextSheet++]);
                }
            }
        }
        const std::string rewritten = complete.Rewritten();
        Check(CountLt(rewritten) <= CountLt(page));
        for (std::size_t k = 0; k < sheets.size(); ++k) {
            Check(CountLt(complete.RewrittenSheet(sheets[k], parts[k + 1])) <= CountLt(parts[k + 1]));
        }
        if (!bKeepScripts) {
            Check(!markup::HasExecutable(markup::StripExecutable(rewritten)));
        }
    }
    return 0;
}
