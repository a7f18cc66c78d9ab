// How fast a downloaded page is scanned and rewritten, beside the floor of any scan: finding every "<"
// with memchr. Prints figures; asserts nothing. With a file name as argument it only writes the generated
// page there (for a profiler run of its own).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "download/PageScanner.h"

namespace
{

// A news-like page of about targetSize bytes: nested tables, paragraphs of mixed Chinese and ASCII text,
// links, images, backgrounds, inline and external scripts, comments.
std::string MakePage(std::size_t targetSize)
{
    std::mt19937 random(20240601);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const char* words[] = {"河流", "城市", "the", "river", "报道", "offline", "阅读", "page", "新闻", "archive"};
    std::string page = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"gb2312\">\n<title>新闻 archive</title>\n"
                       "<link rel=\"stylesheet\" href=\"/css/site.css\">\n"
                       "<script src=\"/js/site.js\"></script>\n</head>\n<body background=\"img/bg.gif\">\n";
    int n = 0;
    while (page.size() < targetSize) {
        ++n;
        page += "<div class=\"story\" id=\"s" + std::to_string(n) + "\">\n<table width=\"100%\"><tr>";
        page += "<td background=\"img/cell" + std::to_string(pick(20)) + ".gif\" valign=top>";
        page += "<a href=\"/news/2024/" + std::to_string(n) + ".html\">";
        page += "<img src=\"/pics/thumb" + std::to_string(n) + ".jpg\" width=120 height=90 alt=\"图\"></a></td>\n";
        page += "<td><h2><a href=\"story.asp?id=" + std::to_string(n) + "\">标题 " + std::to_string(n) + "</a></h2>\n";
        for (int p = 0; p < 3; ++p) {
            page += "<p>";
            for (int w = 0; w < 40; ++w) {
                page += words[pick(10)];
                page += ' ';
                if (pick(12) == 0) {
                    page += "<b>重点</b> ";
                }
            }
            page += "</p>\n";
        }
        if (n % 4 == 0) {
            page += "<script type=\"text/javascript\">\nvar x = document.getElementById('s" + std::to_string(n) +
                    "');\nif (x) { x.className += ' seen'; }\n</script>\n";
        }
        if (n % 7 == 0) {
            page += "<!-- ad slot <img src=\"ads/a" + std::to_string(n) + ".gif\"> -->\n";
        }
        page += "<span class=\"more\"><a href=\"http://other.example.org/tag/" + std::to_string(pick(100)) +
                "\">more</a> | <a href=\"#top\">top</a></span></td></tr></table>\n</div>\n";
    }
    page += "</body>\n</html>\n";
    return page;
}

template <typename Work> double BestSeconds(int rounds, Work work)
{
    double best = 1e9;
    for (int i = 0; i < rounds; ++i) {
        auto start = std::chrono::steady_clock::now();
        work();
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string page = MakePage(3'000'000);
    if (argc > 1) {
        std::FILE* out = std::fopen(argv[1], "wb");
        std::fwrite(page.data(), 1, page.size(), out);
        std::fclose(out);
        return 0;
    }
    const double megabytes = static_cast<double>(page.size()) / 1e6;
    constexpr int kRounds = 15;

    std::size_t brackets = 0;
    double memchrSeconds = BestSeconds(kRounds, [&] {
        brackets = 0;
        const char* p = page.data();
        const char* end = p + page.size();
        while ((p = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)))) != nullptr) {
            ++brackets;
            ++p;
        }
    });

    std::size_t links = 0, resources = 0;
    double scanSeconds = BestSeconds(kRounds, [&] {
        CPageScanner scanner;
        scanner.Reset();
        scanner.SetBaseUrl("http://news.example.com/2024/index.html");
        scanner.Parse(page.data(), page.size());
        links = scanner.Links().size();
        resources = scanner.Resources().size();
    });

    std::size_t savedSize = 0;
    double rewriteSeconds =
        BestSeconds(kRounds, [&] { savedSize = CPageScanner::Rewrite(page, "index.files", 0).size(); });
    double keepSeconds =
        BestSeconds(kRounds, [&] { savedSize = CPageScanner::Rewrite(page, "index.files", 1).size(); });

    std::printf("page: %.2f MB, %zu \"<\", %zu links, %zu resources, saved %.2f MB\n", megabytes, brackets, links,
                resources, static_cast<double>(savedSize) / 1e6);
    std::printf("memchr '<' pass      %8.1f MB/s\n", megabytes / memchrSeconds);
    std::printf("scan (Parse)         %8.1f MB/s   %.2f of memchr\n", megabytes / scanSeconds,
                memchrSeconds / scanSeconds);
    std::printf("rewrite, no scripts  %8.1f MB/s   %.2f of memchr\n", megabytes / rewriteSeconds,
                memchrSeconds / rewriteSeconds);
    std::printf("rewrite, keep scripts%8.1f MB/s   %.2f of memchr\n", megabytes / keepSeconds,
                memchrSeconds / keepSeconds);
    return 0;
}
