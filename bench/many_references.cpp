// Work that grows with the references of one page or the pages of one project: a page naming 100,000
// distinct pictures (100,000 of one file name, told apart by their queries) read for a complete save,
// and the end-of-job link pass over a project of 10,000 pages that all link to each other's
// neighbours. Prints figures only.
#include <chrono>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "complete/CompletePage.h"
#include "complete/ProjectLinks.h"
#include "platform/Files.h"

namespace
{

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main()
{
    for (const int nPictures : {10000, 100000}) {
        std::string page = "<html><body>";
        for (int i = 0; i < nPictures; ++i) {
            page += "<img src=\"/img/picture.php?id=" + std::to_string(i) + "\">\n";
        }
        page += "</body></html>";
        const auto start = std::chrono::steady_clock::now();
        CCompletePage complete(page, "http://example.test/page.html", "page.files");
        std::printf("complete reading of a page with %d distinct pictures (%zu kept): %.3f s\n", nPictures,
                    complete.Pending().size(), secondsSince(start));
    }

    constexpr int kPages = 10000;
    const std::string folder = files::MakeUniqueFolder("/tmp", "trawlix-bench-links-");
    if (folder.empty()) {
        std::fprintf(stderr, "cannot make a folder under /tmp\n");
        return 1;
    }
    std::vector<HeldPage> held;
    held.reserve(kPages);
    for (int i = 0; i < kPages; ++i) {
        const std::string file = folder + "/p" + std::to_string(i) + ".html";
        std::string text = "<html><body>";
        for (int k = 1; k <= 5; ++k) {
            text += "<a href=\"p" + std::to_string((i + k) % kPages) + ".html\">next</a>";
        }
        files::WriteFile(file, text + "</body></html>");
        held.push_back({"http://example.test/p" + std::to_string(i) + ".html", file});
    }
    for (int nPass = 1; nPass <= 2; ++nPass) {
        const auto start = std::chrono::steady_clock::now();
        const int nRewritten = RewriteProjectLinks(held, folder);
        std::printf("link pass %d over %d pages (%d rewritten): %.3f s\n", nPass, kPages, nRewritten,
                    secondsSince(start));
    }
    files::RemoveTree(folder);
    return 0;
}
