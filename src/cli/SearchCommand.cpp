#include <cstdio>
#include <cstdlib>
#include <string>

#include "Commands.h"
#include "search/SearchIndex.h"

namespace
{

const char kSearchUsage[] =
    "usage: trawlix-cli search QUERY [--project-file FILE] [--project NAME] [--limit N]\n"
    "\n"
    "Finds saved pages whose title or text holds the query, best first: one line per page,\n"
    "FILE<TAB>TITLE<TAB>SNIPPET, with the matches in the snippet between \xE3\x80\x90 and \xE3\x80\x91.\n"
    "Chinese is found at any length (\"\xE9\xBC\xA0\", \"\xE5\x86\x85\xE6\xA0\xB8\"); words, \"quoted phrases\", "
    "word*, -word,\n"
    "AND, OR and NOT work as usual. The index covers every page saved with a project file;\n"
    "--project-file brings that file's pages up to date first and searches only them.\n"
    "\n"
    "  --limit N   at most N hits (default 20, 0 for all)\n"
    "\n"
    "Exit status: 0 pages found, 1 none found (or the index cannot be used), 2 bad arguments or query.\n";

const char kIndexUsage[] = "usage: trawlix-cli index PROJECT-FILE\n"
                           "\n"
                           "Indexes the pages of a project file for search: new pages and pages changed on disk\n"
                           "are read, pages the file no longer lists are dropped. Prints how many pages it holds.\n";

} // namespace

int RunSearch(const CliArgs& args)
{
    std::string strQuery;
    SearchScope scope;
    bool bQuery = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::printf("%s", kSearchUsage);
            return 0;
        }
        if (arg == "--project-file" || arg == "--project" || arg == "--limit") {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "trawlix-cli search: %s needs a value\n\n%s", arg.c_str(), kSearchUsage);
                return 2;
            }
            const std::string& value = args[++i];
            if (arg == "--project-file") {
                scope.m_strProjectFile = value;
            } else if (arg == "--project") {
                scope.m_strProject = value;
            } else {
                char* end = nullptr;
                const long n = std::strtol(value.c_str(), &end, 10);
                if (value.empty() || *end != '\0' || n < 0 || n > 1000000) {
                    std::fprintf(stderr, "trawlix-cli search: --limit takes a whole number, not '%s'\n", value.c_str());
                    return 2;
                }
                scope.m_nLimit = static_cast<int>(n);
            }
            continue;
        }
        if (bQuery || (arg.size() > 1 && arg.rfind("--", 0) == 0)) {
            std::fprintf(stderr, "trawlix-cli search: unexpected argument '%s'\n\n%s", arg.c_str(), kSearchUsage);
            return 2;
        }
        strQuery = arg;
        bQuery = true;
    }
    if (!bQuery) {
        std::fprintf(stderr, "trawlix-cli search: give a query\n\n%s", kSearchUsage);
        return 2;
    }

    CSearchIndex index(CSearchIndex::DefaultPath());
    SearchStatus status;
    if (!scope.m_strProjectFile.empty() && !index.SyncProjectFile(scope.m_strProjectFile, nullptr, &status) &&
        status.m_code != SearchStatus::Code::Ok) {
        std::fprintf(stderr, "trawlix-cli search: %s\n", status.m_strMessage.c_str());
        if (status.m_code != SearchStatus::Code::ProjectFile) {
            return 1;
        }
        status = {};
    }
    std::vector<SearchHit> hits;
    if (!index.Search(strQuery, scope, hits, &status)) {
        std::fprintf(stderr, "trawlix-cli search: %s\n", status.m_strMessage.c_str());
        return status.m_code == SearchStatus::Code::BadQuery ? 2 : 1;
    }
    for (const SearchHit& hit : hits) {
        std::printf("%s\t%s\t%s\n", TerminalSafe(hit.m_strFile).c_str(), TerminalSafe(hit.m_strTitle).c_str(),
                    TerminalSafe(hit.m_strSnippet).c_str());
    }
    std::fflush(stdout);
    return hits.empty() ? 1 : 0;
}

int RunIndex(const CliArgs& args)
{
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::printf("%s", kIndexUsage);
        return 0;
    }
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
        std::fprintf(stderr, "%s", kIndexUsage);
        return 2;
    }
    CSearchIndex index(CSearchIndex::DefaultPath());
    SyncCounts counts;
    SearchStatus status;
    const bool bOk = index.SyncProjectFile(args[0], &counts, &status);
    if (!bOk && status.m_code != SearchStatus::Code::Ok) {
        std::fprintf(stderr, "trawlix-cli index: %s\n", status.m_strMessage.c_str());
    }
    if (bOk || counts.m_nPages > 0) {
        std::printf("%d page%s indexed (%d read, %d dropped)\n", counts.m_nPages, counts.m_nPages == 1 ? "" : "s",
                    counts.m_nRead, counts.m_nRemoved);
    }
    return bOk ? 0 : 1;
}
