// The page scanner on any bytes: the first line is the page's address, the rest the page. Collects
// links and resources and rewrites the page both ways.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "download/PageScanner.h"
#include "download/Url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto newline = input.find('\n');
    const std::string base(input.substr(0, newline == std::string_view::npos ? 0 : newline));
    const std::string page(newline == std::string_view::npos ? input : input.substr(newline + 1));

    CPageScanner scanner;
    scanner.Reset();
    scanner.SetBaseUrl(base);
    scanner.SetPageName("index");
    scanner.Parse(page.data(), page.size());
    for (const auto& link : scanner.Links()) {
        // Every collected address fits the limit and can travel in a tab-separated page record.
        if (link.size() > url::kMaxAddressLength || link.find_first_of("\t\r\n") != std::string::npos) {
            __builtin_trap();
        }
    }
    for (const auto& resource : scanner.Resources()) {
        (void)CPageScanner::ResourceFileName(resource);
    }
    (void)CPageScanner::Rewrite(page, "index.files", 1);
    (void)CPageScanner::Rewrite(page, "index.files", 0);
    return 0;
}
