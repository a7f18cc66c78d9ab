#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "complete/MarkupTags.h"
#include "download/HttpFetcher.h"
#include "download/PageScanner.h"
#include "download/PageTitle.h"
#include "platform/CodePage.h"
#include "platform/Files.h"

namespace
{

void printUsage(FILE* out)
{
    std::fprintf(out, "usage: trawlix-cli scan FILE [--base URL]\n\n"
                      "Shows what a download would take from a page saved in FILE: its title, the links it\n"
                      "would follow and the resources it would save, as absolute addresses in page order.\n\n"
                      "  --base URL   the address the page came from; relative references resolve against\n"
                      "               it (without it only absolute addresses are shown)\n");
}

// One entry per line: a line break inside a title would read as another entry.
std::string oneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

} // namespace

int RunScan(const CliArgs& args)
{
    std::string path, base;
    bool havePath = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            printUsage(stdout);
            return 0;
        }
        if (arg == "--base" && i + 1 < args.size()) {
            base = args[++i];
        } else if (arg.empty() || arg[0] == '-' || havePath) {
            printUsage(stderr);
            return 2;
        } else {
            path = arg;
            havePath = true;
        }
    }
    if (!havePath) {
        printUsage(stderr);
        return 2;
    }

    // The page as a download sees it: no more than the largest body a fetch accepts, ending at its
    // first zero byte.
    std::string page;
    std::string why;
    if (files::Exists(path) && !files::IsFolder(path) && !files::IsRegularFile(path)) {
        // A pipe or a device could block or go on for ever.
        why = path + " is not a plain file";
    }
    if (!why.empty() || !files::ReadFile(path, page, &why, CHttpFetcher::kMaxBodySize)) {
        std::fprintf(stderr, "trawlix-cli scan: cannot read the page: %s\n", why.c_str());
        return 1;
    }
    page.resize(std::min(page.size(), page.find('\0')));
    CPageScanner scanner;
    scanner.Reset();
    // Relative references resolve as a browser resolves them: against the page's <base href>, if any.
    scanner.SetBaseUrl(markup::DocumentBase(page, base));
    scanner.Parse(page.data(), page.size());

    std::printf("title: %s\n", TerminalSafe(oneLine(DecodeCharacterReferences(codepage::LabelledTextToUtf8(
                                                scanner.Title(), codepage::DeclaredCharset(page)))))
                                   .c_str());
    std::printf("links:\n");
    for (const auto& link : scanner.Links()) {
        std::printf("  %s\n", TerminalSafe(link).c_str());
    }
    std::printf("resources:\n");
    for (const auto& resource : scanner.Resources()) {
        std::printf("  %s\n", TerminalSafe(resource).c_str());
    }
    return 0;
}
