// Builds an e-book from a generated project of 200 pages with 10 images each and prints how long
// each step takes and how large the book is.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "BenchProject.h"
#include "chm/ChmBuildParams.h"
#include "chm/ChmWriter.h"
#include "platform/ChildProcess.h"
#include "platform/Files.h"

namespace
{

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main()
{
    const BenchProject project = BenchProject::Make("trawlix-bench-chm-");
    if (project.strRoot.empty()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    const std::string& root = project.strRoot;
    const std::string work = files::Join(root, "work");
    files::CreateFolder(work);
    const std::vector<std::string>& pageFiles = project.pageFiles;
    const std::vector<std::string>& titles = project.titles;

    ChmBuildParams params;
    params.SetPages(pageFiles, work);
    params.SetTitles(titles);
    params.m_strBookName = "bench";
    params.m_strChmFile = ChmFilePath(root, "bench");

    auto start = std::chrono::steady_clock::now();
    CopyPages(params);
    const double copy = secondsSince(start);

    start = std::chrono::steady_clock::now();
    WriteContents(params);
    WriteProject(params);
    const double write = secondsSince(start);

    start = std::chrono::steady_clock::now();
    std::string output;
    ChildProcessResult result = RunChildProcess({params.m_strCommand, params.m_strProjectFile}, work,
                                                [&](const std::string& chunk) { output += chunk; });
    const double compile = secondsSince(start);

    struct stat st
    {};
    const long long size = ::stat(params.m_strChmFile.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
    std::printf("pages: %d, images per page: %d, image size: %zu bytes\n", BenchProject::kPages,
                BenchProject::kImagesPerPage, BenchProject::kImageBytes);
    std::printf("copy:    %8.3f s\n", copy);
    std::printf("write:   %8.3f s\n", write);
    std::printf("compile: %8.3f s (exit status %d)\n", compile, result.m_nExitStatus);
    std::printf("book:    %lld bytes\n", size);
    files::RemoveTree(root);
    return result.Succeeded() && size > 0 ? 0 : 1;
}
