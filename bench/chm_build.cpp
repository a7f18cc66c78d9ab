// Builds an e-book from a generated project of 200 pages with 10 images each and prints how long
// each step takes and how large the book is.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "chm/ChmBuildParams.h"
#include "chm/ChmWriter.h"
#include "platform/ChildProcess.h"
#include "platform/Files.h"

namespace
{

constexpr int kPages = 200;
constexpr int kImagesPerPage = 10;
constexpr std::size_t kImageBytes = 4096;

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main()
{
    const char* tmp = std::getenv("TMPDIR");
    const std::string root = files::MakeUniqueFolder(tmp && *tmp ? tmp : "/tmp", "trawlix-bench-chm-");
    if (root.empty()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    const std::string project = files::Join(root, "save/project");
    const std::string work = files::Join(root, "work");
    files::CreateFolders(project);
    files::CreateFolder(work);

    std::vector<std::string> pageFiles;
    std::vector<std::string> titles;
    unsigned seed = 12345;
    for (int i = 0; i < kPages; ++i) {
        const std::string name = "page" + std::to_string(i);
        std::string html = "<html><head><title>第" + std::to_string(i) + "页</title></head><body>";
        files::CreateFolder(files::Join(project, name + ".files"));
        for (int j = 0; j < kImagesPerPage; ++j) {
            std::string image(kImageBytes, '\0');
            for (auto& c : image) {
                seed = seed * 1103515245u + 12345u;
                c = static_cast<char>(seed >> 24);
            }
            const std::string imageName = "img" + std::to_string(j) + ".gif";
            files::WriteFile(files::Join(project, name + ".files/" + imageName), image);
            html += "<p>Paragraph " + std::to_string(j) + " of page " + std::to_string(i) + ".</p><img src=\"" + name +
                    ".files/" + imageName + "\">";
        }
        const std::string page = files::Join(project, name + ".htm");
        files::WriteFile(page, html + "</body></html>");
        pageFiles.push_back(page);
        titles.push_back("第" + std::to_string(i) + "页");
    }

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
    std::printf("pages: %d, images per page: %d, image size: %zu bytes\n", kPages, kImagesPerPage, kImageBytes);
    std::printf("copy:    %8.3f s\n", copy);
    std::printf("write:   %8.3f s\n", write);
    std::printf("compile: %8.3f s (exit status %d)\n", compile, result.m_nExitStatus);
    std::printf("book:    %lld bytes\n", size);
    files::RemoveTree(root);
    return result.Succeeded() && size > 0 ? 0 : 1;
}
