// Makes an EPUB book and a CHM book of the same generated project (200 pages with 10 pictures each)
// and prints how long each takes and how large each book is.
#include <chrono>
#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "BenchProject.h"
#include "book/EpubBuilder.h"
#include "chm/ChmBuildParams.h"
#include "chm/ChmBuildWorker.h"
#include "platform/Files.h"

namespace
{

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long long fileSize(const std::string& path)
{
    struct stat st
    {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

} // namespace

int main()
{
    const BenchProject project = BenchProject::Make("trawlix-bench-epub-");
    if (project.strRoot.empty()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }

    EpubBuildParams epub;
    epub.m_strEpubFile = EpubFilePath(project.strRoot, "bench");
    epub.m_strBookName = "bench";
    epub.m_strProjectName = "bench";
    for (int i = 0; i < BenchProject::kPages; ++i) {
        CProjectInfor page;
        page.m_strTitle = project.titles[static_cast<std::size_t>(i)];
        page.m_strLocalFile = project.pageFiles[static_cast<std::size_t>(i)];
        page.m_strUrl = project.urls[static_cast<std::size_t>(i)];
        epub.m_pages.push_back(page);
    }
    auto start = std::chrono::steady_clock::now();
    const EpubBuildResult epubResult = EpubBuildWorker(epub);
    const double epubSeconds = secondsSince(start);

    const std::string work = files::Join(project.strRoot, "work");
    files::CreateFolder(work);
    ChmBuildParams chm;
    chm.SetPages(project.pageFiles, work);
    chm.SetTitles(project.titles);
    chm.m_strBookName = "bench";
    chm.m_strChmFile = ChmFilePath(project.strRoot, "bench");
    start = std::chrono::steady_clock::now();
    const ChmBuildResult chmResult = ChmBuildWorker(chm, [](const std::string&) {});
    const double chmSeconds = secondsSince(start);

    std::printf("pages: %d, pictures per page: %d, picture size: %zu bytes\n", BenchProject::kPages,
                BenchProject::kImagesPerPage, BenchProject::kImageBytes);
    std::printf("EPUB: %8.3f s, %lld bytes, %d pages, %d pictures%s\n", epubSeconds, fileSize(epub.m_strEpubFile),
                epubResult.m_nPages, epubResult.m_nResources, epubResult.Succeeded() ? "" : " (FAILED)");
    std::printf("CHM:  %8.3f s, %lld bytes (copy, help files and chmcmd)%s\n", chmSeconds, fileSize(chm.m_strChmFile),
                chmResult.Succeeded() ? "" : " (FAILED)");
    if (chmSeconds > 0) {
        std::printf("EPUB takes %.2f of the CHM build's time\n", epubSeconds / chmSeconds);
    }
    files::RemoveTree(project.strRoot);
    return epubResult.Succeeded() && chmResult.Succeeded() ? 0 : 1;
}
