#include <cstdio>

#include "Commands.h"
#include "project/ProjectStore.h"

namespace
{

void printUsage(FILE* out)
{
    std::fprintf(out, "usage: trawlix-cli list PROJECT-FILE\n\n"
                      "Lists the projects of a project file (.wbr) and each project's pages:\n"
                      "title, saved file, address and a [bookmark] mark.\n");
}

} // namespace

int RunList(const CliArgs& args)
{
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        printUsage(stdout);
        return 0;
    }
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
        printUsage(stderr);
        return 2;
    }

    CProjectStore store;
    store.SetPath(args[0]);
    store.Transfer(false);
    const ProjectFileStatus& status = store.LastStatus();
    using Code = ProjectFileStatus::Code;
    if (status.m_code == Code::CannotOpen || status.m_code == Code::WrongSignature) {
        std::fprintf(stderr, "trawlix-cli: %s\n", status.m_strMessage.c_str());
        return 1;
    }

    std::vector<CProjectObject> projects;
    store.GetProjects(projects);
    if (projects.empty() && status.m_code == Code::Ok) {
        std::printf("no projects\n");
    }
    for (const auto& project : projects) {
        std::printf("project \"%s\": %zu page%s\n", TerminalSafe(project.m_strName).c_str(), project.m_pages.size(),
                    project.m_pages.size() == 1 ? "" : "s");
        int n = 0;
        for (const auto& page : project.m_pages) {
            std::printf("  %d. %s%s\n", ++n, TerminalSafe(page.m_strTitle).c_str(),
                        page.m_bBookmark ? " [bookmark]" : "");
            std::printf("     file: %s\n", TerminalSafe(page.m_strLocalFile).c_str());
            std::printf("     url:  %s\n", TerminalSafe(page.m_strUrl).c_str());
        }
    }
    std::fflush(stdout);
    if (status.m_code != Code::Ok) {
        // What was read before the damage is shown above; the rest of the file is lost to us.
        std::fprintf(stderr, "trawlix-cli: %s\n", status.m_strMessage.c_str());
        return 1;
    }
    return 0;
}
