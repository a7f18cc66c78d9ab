#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Commands.h"
#include "download/UrlSequence.h"

namespace
{

void printUsage(FILE* out)
{
    std::fprintf(out, "usage: trawlix-cli expand FIRST [LAST] [--add-count N]\n\n"
                      "Shows the pages a download of the address series FIRST .. LAST would fetch: the extension\n"
                      "the pages are saved under, then one line per page, NAME<TAB>ADDRESS.\n"
                      "FIRST and LAST start with http:// or https:// and differ only in one number\n"
                      "(page1.html .. page20.html); one address alone is a one-page list.\n\n"
                      "  --add-count N   number the names as the N-th pages added to an existing project\n");
}

bool parseCount(const std::string& text, int& value)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = std::atoi(text.c_str());
    return true;
}

} // namespace

std::string SeriesRefusalText(const CUrlSequence& sequence)
{
    if (sequence.LastRefusal() == CUrlSequence::Refusal::TooLong) {
        return "series too long: more than " + std::to_string(CUrlSequence::kMaxSeriesLength) + " addresses";
    }
    if (sequence.LastRefusal() == CUrlSequence::Refusal::TooLarge) {
        return "series too long: its addresses would take more than " +
               std::to_string(CUrlSequence::kMaxSeriesBytes / (1024 * 1024)) + " MiB";
    }
    return "not a recognised address series: the addresses must start with http:// or https://\n"
           "and differ only in one number that is not 0 in both";
}

int RunExpand(const CliArgs& args)
{
    std::vector<std::string> addresses;
    int addCount = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            printUsage(stdout);
            return 0;
        }
        if (arg == "--add-count") {
            if (i + 1 >= args.size() || !parseCount(args[i + 1], addCount)) {
                std::fprintf(stderr, "trawlix-cli expand: --add-count needs a whole number of 0 or more\n\n");
                printUsage(stderr);
                return 2;
            }
            ++i;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "trawlix-cli expand: unknown option '%s'\n\n", arg.c_str());
            printUsage(stderr);
            return 2;
        } else {
            addresses.push_back(arg);
        }
    }
    if (addresses.empty() || addresses.size() > 2) {
        printUsage(stderr);
        return 2;
    }
    addresses.resize(2);

    CUrlSequence sequence;
    sequence.SetRange(addresses[0], addresses[1]);
    std::vector<std::string> urls, names;
    std::string ext;
    if (sequence.Expand(urls, names, addCount, ext) != 0) {
        std::fprintf(stderr, "trawlix-cli expand: %s\n", SeriesRefusalText(sequence).c_str());
        return 1;
    }
    std::printf("%s\n", ext.c_str());
    for (std::size_t i = 0; i < urls.size(); ++i) {
        std::printf("%s\t%s\n", names[i].c_str(), urls[i].c_str());
    }
    return 0;
}
