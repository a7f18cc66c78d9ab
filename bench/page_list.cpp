// How long a job takes to build its page list before the first fetch: a top page with 100,000 links
// scanned, and 100,000 page names made fit for files (all alike, as a series numbered in a folder
// gives them, and all different). Prints figures only.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "download/PageNames.h"
#include "download/PageScanner.h"

namespace
{

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main()
{
    constexpr int kLinks = 100000;
    std::string page = "<html><body>";
    for (int i = 0; i < kLinks; ++i) {
        page += "<a href=\"d" + std::to_string(i % 100) + "/page.html?id=" + std::to_string(i) + "\">x</a>\n";
    }
    page += "</body></html>";

    auto start = std::chrono::steady_clock::now();
    CPageScanner scanner;
    scanner.Reset();
    scanner.SetBaseUrl("http://example.test/top/index.html");
    scanner.Parse(page.data(), page.size());
    std::printf("scan of a top page with %zu links: %.3f s\n", scanner.Links().size(), secondsSince(start));

    for (const bool bAlike : {true, false}) {
        std::vector<std::string> names;
        names.reserve(kLinks);
        for (int i = 0; i < kLinks; ++i) {
            names.push_back(bAlike ? std::string("index") : "p" + std::to_string(i));
        }
        std::string ext = ".html";
        start = std::chrono::steady_clock::now();
        MakePageNamesUnique(names, ext, "");
        std::printf("%d page names (%s) made unique: %.3f s\n", kLinks, bAlike ? "all alike" : "all different",
                    secondsSince(start));
    }
    return 0;
}
