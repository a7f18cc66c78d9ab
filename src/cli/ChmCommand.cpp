#include <algorithm>
#include <cstdio>
#include <string>

#include "BookProject.h"
#include "InterruptGuard.h"
#include "chm/ChmBuildWorker.h"
#include "chm/ChmWriter.h"

namespace
{

void printUsage(FILE* out)
{
    std::fprintf(out, "usage: trawlix-cli chm PROJECT-FILE --project NAME --out FOLDER [--name BOOK]\n\n"
                      "Builds FOLDER/BOOK.chm from the pages of project NAME (\".chm\" is always added;\n"
                      "BOOK defaults to the project's name). Needs the help compiler chmcmd.\n"
                      "Exit status: 0 built, 1 failed, 2 bad arguments.\n");
}

void printOutput(const std::string& text)
{
    // The build's texts end their lines with CR LF for the desktop's output box.
    std::string out;
    std::copy_if(text.begin(), text.end(), std::back_inserter(out), [](char c) { return c != '\r'; });
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

} // namespace

int RunChm(const CliArgs& args)
{
    BookRequest request;
    if (const int nStatus = ReadBookRequest(args, printUsage, request); nStatus >= 0) {
        return nStatus;
    }
    const CProjectObject& project = request.project;

    // Taken before the working folder exists, so a request to stop that comes at any moment removes it.
    // Ctrl-C at a terminal stops the compiler too; a termination request lets it end.
    CInterruptGuard guard;
    const std::string workFolder = MakeChmWorkFolder();
    if (workFolder.empty()) {
        std::fprintf(stderr, "trawlix-cli: cannot create a working folder for the build\n");
        return 1;
    }
    std::vector<std::string> pageFiles;
    std::vector<std::string> pageTitles;
    for (const auto& page : project.m_pages) {
        pageFiles.push_back(page.m_strLocalFile);
        pageTitles.push_back(page.m_strTitle);
    }
    ChmBuildParams params;
    params.m_strChmFile = ChmFilePath(request.strFolder, request.strBook);
    params.m_strBookName = project.m_strName;
    params.SetPages(pageFiles, workFolder);
    params.SetTitles(pageTitles);

    const ChmBuildResult result = ChmBuildWorker(params, printOutput, {}, CInterruptGuard::Flag());
    DeleteTree(workFolder);
    if (CInterruptGuard::Interrupted()) {
        std::fprintf(stderr, "trawlix-cli: interrupted\n");
        return 1;
    }
    if (!result.m_bCopied) {
        std::fprintf(stderr, "trawlix-cli: cannot copy the pages for the build: %s\n", result.m_strCopyError.c_str());
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
