#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "Commands.h"

namespace
{

struct Command
{
    const char* name;
    int (*run)(const CliArgs&);
    const char* summary;
};

constexpr Command kCommands[] = {
    {"get", RunGet, "download pages into a project folder"},
    {"expand", RunExpand, "show the pages of a numbered address series"},
    {"scan", RunScan, "show a saved page's title, links and resources"},
    {"list", RunList, "list the projects and pages of a project file"},
    {"chm", RunChm, "build a compiled help e-book from a project"},
    {"epub", RunEpub, "make an EPUB 3 e-book from a project"},
    {"search", RunSearch, "find saved pages by the words in them"},
    {"index", RunIndex, "index a project file's pages for search"},
    {"update", RunUpdate, "bring a project up to date: changed and new pages, an interrupted job finished"},
};

void printUsage(FILE* out)
{
    std::fprintf(out, "usage: trawlix-cli COMMAND [ARGS]\n\ncommands:\n");
    for (const auto& c : kCommands) {
        std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
    }
    std::fprintf(out, "\nRun 'trawlix-cli COMMAND --help' for a command's arguments.\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printUsage(stdout);
        return 0;
    }
    for (const auto& c : kCommands) {
        if (name != c.name) {
            continue;
        }
        try {
            return c.run(CliArgs(argv + 2, argv + argc));
        } catch (const std::bad_alloc&) {
            std::fprintf(stderr, "trawlix-cli %s: out of memory\n", c.name);
            return 1;
        }
    }
    std::fprintf(stderr, "trawlix-cli: unknown command '%s'\n\n", name.c_str());
    printUsage(stderr);
    return 2;
}
