#include <algorithm>
#include <cstdio>
#include <string>

#include "Commands.h"
#include "book/EpubBuilder.h"
#include "project/ProjectStore.h"

namespace
{

void printUsage(FILE* out)
{
    std::fprintf(out, "usage: trawlix-cli epub PROJECT-FILE --project NAME --out FOLDER [--name BOOK]\n\n"
                      "Makes FOLDER/BOOK.epub, an EPUB 3 book of the pages of project NAME in their order\n"
                      "(BOOK defaults to the project's name; \".epub\" is added unless BOOK ends with it).\n"
                      "A page that cannot be read is skipped with a warning.\n"
                      "Exit status: 0 written, 1 failed, 2 bad arguments.\n");
}

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

int RunEpub(const CliArgs& args)
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
    const std::string book = trimmed(options.bName ? options.strName : options.strProject);
    const std::string folder = trimmed(options.strOut);
    if (book.empty() || folder.empty()) {
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

    EpubBuildParams params;
    params.m_strEpubFile = EpubFilePath(folder, book);
    params.m_strBookName = book;
    params.m_strProjectName = project->m_strName;
    params.m_pages = project->m_pages;
    const EpubBuildResult result = EpubBuildWorker(params, {}, [](const std::string& file, const std::string& why) {
        std::fprintf(stderr, "warning: skipped the page %s (%s)\n", file.c_str(), why.c_str());
    });
    if (!result.Succeeded()) {
        std::fprintf(stderr, "trawlix-cli: %s\n", result.m_strMessage.c_str());
        return 1;
    }
    std::printf("wrote %s (%d pages, %d pictures and style sheets", params.m_strEpubFile.c_str(), result.m_nPages,
                result.m_nResources);
    if (result.m_nSkipped > 0) {
        std::printf(", %d pages skipped", result.m_nSkipped);
    }
    std::printf(")\n");
    return 0;
}
