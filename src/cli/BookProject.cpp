#include "BookProject.h"

#include <algorithm>
#include <vector>

#include "chm/ChmWriter.h"
#include "project/ProjectStore.h"

namespace
{

std::string trimmed(const std::string& text)
{
    const char* blanks = " \t\r\n\v\f";
    auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

struct Options
{
    std::string strFile;
    std::string strProject;
    std::string strOut;
    std::string strName;
    bool bProject = false;
    bool bOut = false;
    bool bName = false;
};

// False when the arguments do not make a command.
bool parse(const CliArgs& args, Options& options)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& target, bool& seen) {
            if (seen || i + 1 >= args.size()) {
                return false;
            }
            seen = true;
            target = args[++i];
            return true;
        };
        bool bOk = true;
        if (arg == "--project") {
            bOk = value(options.strProject, options.bProject);
        } else if (arg == "--out") {
            bOk = value(options.strOut, options.bOut);
        } else if (arg == "--name") {
            bOk = value(options.strName, options.bName);
        } else if (!arg.empty() && arg[0] != '-' && options.strFile.empty()) {
            options.strFile = arg;
        } else {
            bOk = false;
        }
        if (!bOk) {
            return false;
        }
    }
    return !options.strFile.empty() && options.bProject && options.bOut;
}

} // namespace

int ReadBookRequest(const CliArgs& args, void (*printUsage)(FILE*), BookRequest& request)
{
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        printUsage(stdout);
        return 0;
    }
    Options options;
    if (!parse(args, options)) {
        printUsage(stderr);
        return 2;
    }
    request.strFile = options.strFile;
    request.strBook = trimmed(options.bName ? options.strName : options.strProject);
    request.strFolder = trimmed(options.strOut);
    if (request.strBook.empty() || request.strFolder.empty()) {
        std::fprintf(stderr, "trawlix-cli: the book's name and the output folder must not be empty\n");
        return 2;
    }

    CProjectStore store;
    store.SetPath(options.strFile);
    store.Transfer(false);
    if (!store.LastTransferOk()) {
        std::fprintf(stderr, "trawlix-cli: %s\n", store.LastStatus().m_strMessage.c_str());
        return 1;
    }
    std::vector<CProjectObject> projects;
    store.GetProjects(projects);
    auto project = std::find_if(projects.begin(), projects.end(),
                                [&](const CProjectObject& p) { return p.m_strName == options.strProject; });
    if (project == projects.end()) {
        std::fprintf(stderr, "trawlix-cli: %s has no project named \"%s\"\n", options.strFile.c_str(),
                     options.strProject.c_str());
        return 1;
    }
    if (project->m_pages.empty()) {
        std::fprintf(stderr, "GetProjectInfo() faild !\n");
        return 1;
    }

    // Only pages go into a book: a record naming any other file (a crafted project file) stops the build.
    for (std::size_t i = 0; i < project->m_pages.size(); ++i) {
        const CProjectInfor& page = project->m_pages[i];
        if (!MayGoIntoBook(page.m_strLocalFile)) {
            std::fprintf(stderr,
                         "trawlix-cli: page %zu \"%s\" of project \"%s\" is not a saved web page: %s\n"
                         "(a book takes .htm, .html and .shtml files and pages saved beside their .files "
                         "folder); no book was built\n",
                         i + 1, TerminalSafe(page.m_strTitle).c_str(), TerminalSafe(project->m_strName).c_str(),
                         TerminalSafe(page.m_strLocalFile).c_str());
            return 1;
        }
    }
    request.project = std::move(*project);
    return -1;
}
