#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>

#include "Commands.h"
#include "chm/ChmBuildWorker.h"
#include "chm/ChmWriter.h"
#include "project/ProjectStore.h"

namespace
{

void printUsage(FILE* out)
{
    std::fprintf(out, "usage: trawlix-cli chm PROJECT-FILE --project NAME --out FOLDER [--name BOOK]\n\n"
                      "Builds FOLDER/BOOK.chm from the pages of project NAME (\".chm\" is always added;\n"
                      "BOOK defaults to the project's name). Needs the help compiler chmcmd.\n"
                      "Exit status: 0 built, 1 failed, 2 bad arguments.\n");
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
        if (arg == "--project") {
            if (!value(options.strProject, options.bProject)) {
                return false;
            }
        } else if (arg == "--out") {
            if (!value(options.strOut, options.bOut)) {
                return false;
            }
        } else if (arg == "--name") {
            if (!value(options.strName, options.bName)) {
                return false;
            }
        } else if (!arg.empty() && arg[0] != '-' && options.strFile.empty()) {
            options.strFile = arg;
        } else {
            return false;
        }
    }
    return !options.strFile.empty() && options.bProject && options.bOut;
}

void printOutput(const std::string& text)
{
    // The build's texts end their lines with CR LF for the desktop's output box.
    std::string out;
    std::copy_if(text.begin(), text.end(), std::back_inserter(out), [](char c) { return c != '\r'; });
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

volatile std::sig_atomic_t g_nInterrupt = 0;

void onInterrupt(int nSignal)
{
    g_nInterrupt = nSignal;
}

// While a build runs, Ctrl-C (or a termination request) lets the compiler end, which a Ctrl-C at a
// terminal also stops, and the working folder is removed before the command gives up.
class CInterruptGuard
{
public:
    CInterruptGuard()
    {
        struct sigaction action
        {};
        action.sa_handler = onInterrupt;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        for (int i = 0; i < kCount; ++i) {
            sigaction(kSignals[i], &action, &m_previous[i]);
        }
    }
    ~CInterruptGuard()
    {
        for (int i = 0; i < kCount; ++i) {
            sigaction(kSignals[i], &m_previous[i], nullptr);
        }
    }
    CInterruptGuard(const CInterruptGuard&) = delete;
    CInterruptGuard& operator=(const CInterruptGuard&) = delete;

private:
    static constexpr int kCount = 3;
    static constexpr int kSignals[kCount] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction m_previous[kCount]
    {};
};

} // namespace

int RunChm(const CliArgs& args)
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

    const std::string workFolder = MakeChmWorkFolder();
    if (workFolder.empty()) {
        std::fprintf(stderr, "trawlix-cli: cannot create a working folder for the build\n");
        return 1;
    }
    std::vector<std::string> pageFiles;
    std::vector<std::string> pageTitles;
    for (const auto& page : project->m_pages) {
        pageFiles.push_back(page.m_strLocalFile);
        pageTitles.push_back(page.m_strTitle);
    }
    ChmBuildParams params;
    params.m_strChmFile = ChmFilePath(folder, book);
    params.m_strBookName = project->m_strName;
    params.SetPages(pageFiles, workFolder);
    params.SetTitles(pageTitles);

    ChmBuildResult result;
    {
        CInterruptGuard guard;
        result = ChmBuildWorker(params, printOutput);
        DeleteTree(workFolder);
    }
    if (g_nInterrupt != 0) {
        std::fprintf(stderr, "trawlix-cli: interrupted\n");
        return 1;
    }

    if (result.Succeeded()) {
        std::printf("built %s\n", params.m_strChmFile.c_str());
        return 0;
    }
    if (!result.m_bCompilerStarted) {
        std::fprintf(stderr, "trawlix-cli: cannot start the help compiler %s\n", params.m_strCommand.c_str());
    } else if (result.m_nCompilerStatus != 0) {
        std::fprintf(stderr, "trawlix-cli: the help compiler failed (exit status %d)\n", result.m_nCompilerStatus);
    } else {
        std::fprintf(stderr, "trawlix-cli: the help compiler did not write %s\n", params.m_strChmFile.c_str());
    }
    return 1;
}
