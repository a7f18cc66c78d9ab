#include <cstdio>
#include <string>

#include "BookProject.h"
#include "InterruptGuard.h"
#include "book/EpubBuilder.h"

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

} // namespace

int RunEpub(const CliArgs& args)
{
    BookRequest request;
    if (const int nStatus = ReadBookRequest(args, printUsage, request); nStatus >= 0) {
        return nStatus;
    }

    EpubBuildParams params;
    params.m_strEpubFile = EpubFilePath(request.strFolder, request.strBook);
    params.m_strBookName = request.strBook;
    params.m_strProjectName = request.project.m_strName;
    params.m_pages = request.project.m_pages;
    EpubBuildResult result;
    {
        CInterruptGuard guard;
        result = EpubBuildWorker(
            params, {},
            [](const std::string& file, const std::string& why) {
                std::fprintf(stderr, "warning: skipped the page %s (%s)\n", file.c_str(), why.c_str());
            },
            CInterruptGuard::Flag());
    }
    for (const auto& change : result.m_changes) {
        std::fprintf(stderr, "warning: %s\n", change.c_str());
    }
    if (result.m_code == EpubBuildResult::Code::Cancelled) {
        std::fprintf(stderr, "trawlix-cli: interrupted\n");
        return 1;
    }
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
